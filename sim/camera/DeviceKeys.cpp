#include "sim/camera/DeviceKeys.h"

#include "sim/camera/ConfigValues.h"
#include "sim/camera/Recording.h"
#include "sim/camera/TftpSource.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace sim {

namespace {

using D = DeviceConfig;
using C = Calibration;

// A value as its key's kind reads it.
struct Value
{
    explicit Value(const std::string &text)
        : text(text)
    {}

    const std::string &text;
    long long whole = 0;
    double number = 0;
    bool yes = false;
    std::vector<long long> wholes;
    std::vector<double> numbers;
};

enum Kind {
    First,   // read before the other keys, when the section starts
    Whole,   // a whole number from lo to hi
    Number,  // a number from lo to hi, fractions allowed
    YesNo,   // yes or no, on or off, true or false, 1 or 0
    Word,    // at most hi characters, no blanks
    Text,    // at most hi characters
    Form,    // text whose form the key's check knows
    Wholes,  // fewest to most whole numbers, each from lo to hi
    Numbers, // fewest to most numbers, each from lo to hi
};

using Check = bool (*)(const DeviceConfig &, const Value &);
using Put = void (*)(DeviceConfig &, const Value &);
using MadeReason = std::string (*)(const DeviceConfig &);

// Why a value is refused: a fixed text, one made from the record, or none for the kind's own.
struct Reason
{
    constexpr Reason(std::nullptr_t = nullptr) {}
    constexpr Reason(const char *text)
        : text(text)
        , given(true)
    {}
    constexpr Reason(MadeReason made)
        : made(made)
        , given(true)
    {}
    const char *text = nullptr;
    MadeReason made = nullptr;
    bool given = false;
};

struct Key
{
    const char *name; // lower case, spelt "colour"
    Kind kind;
    long long lo, hi;
    size_t fewest, most; // how many numbers a list holds
    Check check;         // the key's own rule beyond its kind and range
    Put put;             // where the value goes in the record
    Reason reason;
};

constexpr size_t any = SIZE_MAX;

// ---- where values go ----

template <auto Field> void to(DeviceConfig &d, const Value &v)
{
    auto &field = d.*Field;
    using T = std::remove_reference_t<decltype(field)>;
    if constexpr (std::is_same_v<T, bool>)
        field = v.yes;
    else if constexpr (std::is_same_v<T, std::string>)
        field = v.text;
    else if constexpr (std::is_floating_point_v<T>)
        field = v.number;
    else
        field = static_cast<T>(v.whole);
}

template <auto Field> void lowerTo(DeviceConfig &d, const Value &v)
{
    d.*Field = toLower(v.text);
}

// Ranges 0..8 are three per depth mode.
template <int N> void range(DeviceConfig &d, const Value &v)
{
    RangeSet &set = d.ranges[N / 3];
    set.depthMax[N % 3] = uint16_t(v.wholes[0]);
    set.effectiveMin[N % 3] = uint16_t(v.wholes[1]);
    set.effectiveMax[N % 3] = uint16_t(v.wholes[2]);
}

void uncalibrated(DeviceConfig &d, const Value &v)
{
    for (long long n : v.wholes)
        d.ranges[n / 3].effectiveMax[n % 3] = d.ranges[n / 3].effectiveMin[n % 3] = 0;
}

template <Lens Calibration::*L> void intrinsics(DeviceConfig &d, const Value &v)
{
    Lens &lens = d.calibration.*L;
    lens.fx = v.numbers[0];
    lens.fy = v.numbers[1];
    lens.cx = v.numbers[2];
    lens.cy = v.numbers[3];
}

template <Lens Calibration::*L> void distortion(DeviceConfig &d, const Value &v)
{
    Lens &lens = d.calibration.*L;
    lens.dist = {};
    std::copy(v.numbers.begin(), v.numbers.end(), lens.dist.begin());
}

void rotation(DeviceConfig &d, const Value &v)
{
    d.calibration.rotation = rotationFromEulerDegrees(v.numbers[0], v.numbers[1], v.numbers[2]);
}

void translation(DeviceConfig &d, const Value &v)
{
    d.calibration.translation = Vec3{v.numbers[0], v.numbers[1], v.numbers[2]};
}

void replayFolder(DeviceConfig &d, const Value &v)
{
    d.replay = Recording::resolve(v.text, d.configFolder);
}

void propertyIds(DeviceConfig &d, const Value &v)
{
    d.failPropertyReads.clear();
    for (long long id : v.wholes)
        d.failPropertyReads.push_back(uint32_t(id));
}

// ---- rules of their own ----

bool serialForm(const DeviceConfig &, const Value &v)
{
    return plainSerial(v.text);
}

bool nandOrNor(const DeviceConfig &, const Value &v)
{
    const std::string t = toLower(v.text);
    return t == "nand" || t == "nor";
}

bool macForm(const DeviceConfig &, const Value &v)
{
    return macAddress(v.text);
}

bool ipForm(const DeviceConfig &, const Value &v)
{
    return ipv4Address(v.text);
}

bool loopbackServer(const DeviceConfig &, const Value &v)
{
    uint32_t address = 0;
    uint16_t port = 0;
    std::string why;
    return TftpSource::parseServer(v.text, address, port, why);
}

bool tftpFileName(const DeviceConfig &, const Value &v)
{
    return TftpSource::validFile(v.text);
}

bool recorded(const DeviceConfig &d, const Value &v)
{
    Recording recording;
    return Recording::scan(Recording::resolve(v.text, d.configFolder), d.model && d.model->code == LX2_MODEL_BRIO,
                           recording);
}

bool ordered(const DeviceConfig &, const Value &v)
{
    return v.wholes[1] <= v.wholes[2] && v.wholes[2] <= v.wholes[0];
}

// 0 would report success with nothing read.
bool nonZero(const DeviceConfig &, const Value &v)
{
    return v.whole != 0;
}

// The upgrade's stages start at 2.
bool noStageOne(const DeviceConfig &, const Value &v)
{
    return v.whole != 1;
}

// Focal lengths and the centre at the sensor's full size.
template <int DeviceConfig::*Width, int DeviceConfig::*Height> bool fitsImage(const DeviceConfig &d, const Value &v)
{
    const std::vector<double> &n = v.numbers;
    return n[0] > 1 && n[0] <= 100000 && n[1] > 1 && n[1] <= 100000 && n[2] >= 0 && n[2] <= d.*Width && n[3] >= 0 &&
           n[3] <= d.*Height;
}

template <int DeviceConfig::*Width, int DeviceConfig::*Height> std::string lensRule(const DeviceConfig &d)
{
    return "expected fx, fy (above 1, up to 100000), cx (0 to " + std::to_string(d.*Width) + "), cy (0 to " +
           std::to_string(d.*Height) + ") in pixels at full size";
}

constexpr Check depthFits = fitsImage<&D::depthWidth, &D::depthHeight>;
constexpr Check colourFits = fitsImage<&D::colourWidth, &D::colourHeight>;
constexpr MadeReason depthLensRule = lensRule<&D::depthWidth, &D::depthHeight>;
constexpr MadeReason colourLensRule = lensRule<&D::colourWidth, &D::colourHeight>;

constexpr const char *rangeRule = "expected depthMax, effectiveMin, effectiveMax in whole millimetres from 0 to 65535, "
                                  "with effectiveMin <= effectiveMax <= depthMax";
constexpr const char *distortionRule = "expected 1 to 8 coefficients k1 k2 p1 p2 k3 k4 k5 k6, each from -100 to 100";

// One row per key. dataMode must also be one of the model's own modes: checked once the whole
// section is read.
// clang-format off
constexpr Key keys[] = {
    // name                kind     lo           hi          count   check       where it goes               reason
    {"model",              First,   0,           0,          0, 0,   nullptr,    nullptr,                    nullptr},
    {"type",               Whole,   0,           255,        0, 0,   nullptr,    to<&D::type>,               nullptr},
    {"uri",                Word,    0,           255,        0, 0,   nullptr,    to<&D::uri>,                nullptr},
    {"serial",             Form,    0,           0,          0, 0,   serialForm, to<&D::serial>,
     "expected 1 to 31 letters, digits, '-', '_' or '.'"},
    {"firmware",           Word,    0,           15,         0, 0,   nullptr,    to<&D::firmware>,           nullptr},
    {"hardware",           Text,    0,           63,         0, 0,   nullptr,    to<&D::hardware>,           nullptr},
    {"pcba",               Text,    0,           63,         0, 0,   nullptr,    to<&D::pcba>,               nullptr},
    {"flashtype",          Form,    0,           0,          0, 0,   nandOrNor,  lowerTo<&D::flashType>,
     "expected nand or nor"},
    {"mac",                Form,    0,           0,          0, 0,   macForm,    to<&D::mac>,
     "expected six hex pairs such as 02:51:0a:1b:2c:03"},
    {"ip",                 Form,    0,           0,          0, 0,   ipForm,     to<&D::ip>,
     "expected an IPv4 address such as 192.168.1.80"},
    {"subnetmask",         Form,    0,           0,          0, 0,   ipForm,     to<&D::subnetMask>,
     "expected an IPv4 address such as 192.168.1.80"},
    {"depthwidth",         Whole,   16,          1280,       0, 0,   nullptr,    to<&D::depthWidth>,         nullptr},
    {"depthheight",        Whole,   16,          960,        0, 0,   nullptr,    to<&D::depthHeight>,        nullptr},
    {"colour",             YesNo,   0,           0,          0, 0,   nullptr,    to<&D::hasColour>,          nullptr},
    {"colourwidth",        Whole,   320,         1920,       0, 0,   nullptr,    to<&D::colourWidth>,        nullptr},
    {"colourheight",       Whole,   240,         1080,       0, 0,   nullptr,    to<&D::colourHeight>,       nullptr},
    {"rgbresolution",      Whole,   0,           3,          0, 0,   nullptr,    to<&D::rgbResolution>,      nullptr},
    {"fps",                Whole,   1,           60,         0, 0,   nullptr,    to<&D::fps>,                nullptr},
    {"datamode",           Whole,   0,           255,        0, 0,   nullptr,    to<&D::dataMode>,           nullptr},
    {"depthrange",         Whole,   0,           8,          0, 0,   nullptr,    to<&D::depthRange>,         nullptr},
    {"range0",             Wholes,  0,           65535,      3, 3,   ordered,    range<0>,                   rangeRule},
    {"range1",             Wholes,  0,           65535,      3, 3,   ordered,    range<1>,                   rangeRule},
    {"range2",             Wholes,  0,           65535,      3, 3,   ordered,    range<2>,                   rangeRule},
    {"range3",             Wholes,  0,           65535,      3, 3,   ordered,    range<3>,                   rangeRule},
    {"range4",             Wholes,  0,           65535,      3, 3,   ordered,    range<4>,                   rangeRule},
    {"range5",             Wholes,  0,           65535,      3, 3,   ordered,    range<5>,                   rangeRule},
    {"range6",             Wholes,  0,           65535,      3, 3,   ordered,    range<6>,                   rangeRule},
    {"range7",             Wholes,  0,           65535,      3, 3,   ordered,    range<7>,                   rangeRule},
    {"range8",             Wholes,  0,           65535,      3, 3,   ordered,    range<8>,                   rangeRule},
    {"uncalibratedranges", Wholes,  0,           8,          0, any, nullptr,    uncalibrated,
     "expected range numbers 0..8"},
    {"depthintrinsics",    Numbers, -1000000000, 1000000000, 4, 4,   depthFits,  intrinsics<&C::depth>,
     depthLensRule},
    {"colourintrinsics",   Numbers, -1000000000, 1000000000, 4, 4,   colourFits, intrinsics<&C::colour>,
     colourLensRule},
    {"depthdistortion",    Numbers, -100,        100,        1, 8,   nullptr,    distortion<&C::depth>,
     distortionRule},
    {"colourdistortion",   Numbers, -100,        100,        1, 8,   nullptr,    distortion<&C::colour>,
     distortionRule},
    {"rotation",           Numbers, -180,        180,        3, 3,   nullptr,    rotation,
     "expected three angles about x, y, z, each from -180 to 180 degrees"},
    {"translation",        Numbers, -1000,       1000,       3, 3,   nullptr,    translation,
     "expected x, y, z, each from -1000 to 1000 millimetres"},
    {"spatialfilter",      YesNo,   0,           0,          0, 0,   nullptr,    to<&D::spatialFilter>,      nullptr},
    {"timefilter",         YesNo,   0,           0,          0, 0,   nullptr,    to<&D::timeFilter>,         nullptr},
    {"mapdepthtorgb",      YesNo,   0,           0,          0, 0,   nullptr,    to<&D::mapDepthToRgb>,      nullptr},
    {"maprgbtodepth",      YesNo,   0,           0,          0, 0,   nullptr,    to<&D::mapRgbToDepth>,      nullptr},
    {"maprgbtoir",         YesNo,   0,           0,          0, 0,   nullptr,    to<&D::mapRgbToIr>,         nullptr},
    {"factoryreset",       YesNo,   0,           0,          0, 0,   nullptr,    to<&D::factoryReset>,       nullptr},
    {"replay",             Form,    0,           0,          0, 0,   recorded,   replayFolder,
     "expected a folder of frame sets saved by \"Continuous Save\" (sub-folders such as depth, ir and rgb holding "
     "00000001.png, 00000001.jpg and on); a relative folder starts at this file's folder"},
    {"dropevery",          Whole,   0,           1000000,    0, 0,   nullptr,    to<&D::dropEvery>,          nullptr},
    {"unplugafterframes",  Whole,   0,           1000000000, 0, 0,   nullptr,    to<&D::unplugAfterFrames>,  nullptr},
    {"replugafterseconds", Number,  0,           86400,      0, 0,   nullptr,    to<&D::replugAfterSeconds>,
     "expected seconds from 0 to 86400"},
    {"failpropertyreads",  Wholes,  0,           0xFFFFFFFF, 0, any, nullptr,    propertyIds,
     "expected property ids from 0 to 0xFFFFFFFF, such as 0xF0000004"},
    {"failpropertystatus", Whole,   INT32_MIN,   INT32_MAX,  0, 0,   nonZero,    to<&D::failPropertyStatus>,
     "expected a non-zero status from -2147483648 to 2147483647"},
    {"upgradefailatstage", Whole,   0,           8,          0, 0,   noStageOne, to<&D::upgradeFailAtStage>,
     "expected 0 (never) or a stage from 2 to 8"},
    {"tftpserver",         Form,    0,           0,          0, 0,   loopbackServer, to<&D::tftpServer>,
     "expected a loopback address 127.x.x.x, optionally with :<port> (1 to 65535); a virtual camera reaches only "
     "this machine"},
    {"tftpfile",           Form,    0,           0,          0, 0,   tftpFileName, to<&D::tftpFile>,
     "expected 1 to 127 printable ASCII characters without blanks"},
    {"tftpdropevery",      Whole,   0,           1000000,    0, 0,   nullptr,    to<&D::tftpDropEvery>,      nullptr},
    {"tftpstallafterblocks", Whole, 0,           1000000000, 0, 0,   nullptr,    to<&D::tftpStallAfterBlocks>, nullptr},
    {"loaderfailwriteatsector", Whole, 0,        0xFFFFFFFF, 0, 0,   nullptr,    to<&D::loaderFailWriteAtSector>, nullptr},
    {"loaderflipbitatsector", Whole, 0,          0xFFFFFFFF, 0, 0,   nullptr,    to<&D::loaderFlipBitAtSector>, nullptr},
    {"loaderloseatsector", Whole,   0,           0xFFFFFFFF, 0, 0,   nullptr,    to<&D::loaderLoseAtSector>, nullptr},
};
// clang-format on

// Kinds that say their own reason; any other row, and any row with a rule of its own, gives one.
constexpr bool saysWhy(const Key &key)
{
    const bool kindSays =
        key.kind == First || key.kind == Whole || key.kind == YesNo || key.kind == Word || key.kind == Text;
    return key.reason.given || (kindSays && !key.check);
}

constexpr bool everyKeySaysWhy()
{
    for (const Key &key : keys)
        if (!saysWhy(key))
            return false;
    return true;
}

static_assert(everyKeySaysWhy(), "a device key of this kind, or with a rule of its own, needs its reason");

// ---- the interpreter ----

const Key *find(const std::string &name)
{
    for (const Key &key : keys)
        if (name == key.name)
            return &key;
    return nullptr;
}

bool read(const Key &key, Value &v)
{
    const std::string &t = v.text;
    switch (key.kind) {
    case First:
    case Form:
        return true;
    case Whole:
        return parseWhole(t, key.lo, key.hi, v.whole);
    case Number:
        return parseNumber(t, double(key.lo), double(key.hi), v.number);
    case YesNo:
        return parseBool(t, v.yes);
    case Word:
        return t.size() <= size_t(key.hi) && !hasBlank(t);
    case Text:
        return t.size() <= size_t(key.hi);
    case Wholes:
        return parseWholes(t, key.fewest, key.most, key.lo, key.hi, v.wholes);
    case Numbers:
        return parseNumbers(t, key.fewest, key.most, double(key.lo), double(key.hi), v.numbers);
    }
    return false;
}

std::string reason(const Key &key, const DeviceConfig &d)
{
    if (key.reason.made)
        return key.reason.made(d);
    if (key.reason.text)
        return key.reason.text;
    const std::string lo = std::to_string(key.lo), hi = std::to_string(key.hi);
    switch (key.kind) {
    case Whole:
        return "expected a whole number from " + lo + " to " + hi;
    case YesNo:
        return "expected yes or no";
    case Word:
        return "expected at most " + hi + " characters without blanks";
    case Text:
        return "longer than " + hi + " characters";
    default:
        return {}; // every other row says its reason
    }
}

} // namespace

bool DeviceKeys::apply(const IniEntry &entry, DeviceConfig &device, std::string &why)
{
    const Key *key = find(entry.key);
    if (!key) {
        why = entry.name + ": unknown key";
        return false;
    }
    Value value(entry.value);
    if (!read(*key, value) || (key->check && !key->check(device, value))) {
        why = entry.name + ": " + reason(*key, device);
        return false;
    }
    if (key->put)
        key->put(device, value);
    return true;
}

} // namespace sim
