#include "camera/ParamItems.h"

#include "camera/Control_Single.h"
#include "camera/ValueText.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

namespace ParamItems {

namespace {

using ValueText::Kind;

enum class Shown : uint8_t { G16, G6, Dec, Hex };

// count values of one kind, shown one way.
struct Run
{
    Kind kind;
    int count;
    Shown shown;
};

// Where a record's values lie: from offset on, run after run (a run of count 0 ends the list).
struct Fields
{
    int offset;
    std::array<Run, 4> runs;
};

enum class Form : uint8_t { Numbers, Text, ReadOnlyText, PulseCount, Registers };
enum class Join : uint8_t { CommaBlank, Comma, PulseGroups };
// The page's selectors at the head of a write record.
enum class Prefix : uint8_t { None, Mode, ModeRange };

using Reader = SdkStatus (*)(Control_Single &, const Selectors &, Record &);
using Writer = SdkStatus (*)(Control_Single &, const Record &);

struct Item
{
    const char *name;
    Form form;
    Reader read;
    Writer write; // null: read only
    Fields shown; // the values of a read record
    Join join;
    Fields parts; // where a write's parts go
    Prefix prefix;
    int writeBytes;
    int minParts, maxParts;
    bool hexRule;        // "0x" on the first part makes every part hexadecimal
    bool overlay;        // the parts do not cover the record: they are laid over the camera's
    const char *message; // a wrong count
};

template <typename T> Record recordOf(const T &value)
{
    return Record(reinterpret_cast<const char *>(&value), int(sizeof value));
}

template <typename T> T valueOf(const Record &record)
{
    T value{};
    std::memcpy(&value, record.constData(), std::min(sizeof value, size_t(record.size())));
    return value;
}

template <typename T, typename Call> SdkStatus take(Record &record, T value, Call call)
{
    const SdkStatus status = call(value);
    if (status == LX2_OK)
        record = recordOf(value);
    return status;
}

SdkStatus readText(Control_Single &c, PropertyId id, Record &record)
{
    char buffer[64] = {};
    int32_t length = 63;
    const SdkStatus status = c.getProperty(id, buffer, &length);
    if (status == LX2_OK)
        record = Record(buffer, int(strnlen(buffer, sizeof buffer)));
    return status;
}

template <size_t N> SdkStatus readBytes(Control_Single &c, PropertyId id, Record &record, Record request = {})
{
    std::array<uint8_t, N> buffer{};
    std::memcpy(buffer.data(), request.constData(), std::min(size_t(request.size()), N));
    int32_t length = int32_t(N);
    const SdkStatus status = c.getProperty(id, buffer.data(), &length);
    if (status == LX2_OK)
        record = recordOf(buffer);
    return status;
}

SdkStatus writeBytes(Control_Single &c, PropertyId id, const Record &record)
{
    return c.setProperty(id, record.constData(), int32_t(record.size()));
}

// The IMU offset reads take their selector from the text box: the number in it, or, when it
// still holds a whole record (six parts), that record's selector.
uint8_t boxByte(const Selectors &s)
{
    const QStringList parts = split(s.boxText);
    const QString number = parts.size() == 1 ? parts[0] : parts.size() == 6 ? parts[1] : s.boxText.trimmed();
    return uint8_t(number.toInt(nullptr, 10) & 0xFF);
}

using D9 = std::array<double, 9>;
using D8 = std::array<double, 8>;
using D3 = std::array<double, 3>;
using B2 = std::array<uint8_t, 2>;
using B4 = std::array<uint8_t, 4>;
using B11 = std::array<uint8_t, 11>;
using F9 = std::array<float, 9>;
using W12 = std::array<uint16_t, 12>;
using W18 = std::array<uint16_t, 18>;

#define READ(T, init, call)                                                                                            \
    [](Control_Single &c, const Selectors &s, Record &r) -> SdkStatus {                                                \
        (void)s;                                                                                                       \
        T v{};                                                                                                         \
        init;                                                                                                          \
        return take(r, v, [&](T &v) { return call; });                                                                 \
    }
#define WRITE(T, call)                                                                                                 \
    [](Control_Single &c, const Record &r) -> SdkStatus {                                                              \
        T v = valueOf<T>(r);                                                                                           \
        return call;                                                                                                   \
    }
#define TEXT_READ(id) [](Control_Single &c, const Selectors &, Record &r) { return readText(c, id, r); }
#define TEXT_WRITE(id) [](Control_Single &c, const Record &r) { return writeBytes(c, id, r); }

constexpr Fields none{0, {}};
constexpr Fields runOf(Kind kind, int count, Shown shown, int offset = 0)
{
    return {offset, {{{kind, count, shown}}}};
}

constexpr int many = INT_MAX;

const Item items[count] = {
    {"Depth Intrinsic", Form::Numbers, READ(D9, , c.getIntrinsics(0, v.data())),
     WRITE(D9, c.setIntrinsics(0, v.data())), runOf(Kind::F64, 9, Shown::G16), Join::CommaBlank,
     runOf(Kind::F64, 9, Shown::G16), Prefix::None, 72, 9, 9, false, false, "Intrinsic is valid!"},
    {"Depth Distortion", Form::Numbers, READ(D8, , c.getDistortion(0, v.data())),
     WRITE(D8, c.setDistortion(0, v.data())), runOf(Kind::F64, 8, Shown::G16), Join::CommaBlank,
     runOf(Kind::F64, 8, Shown::G16), Prefix::None, 64, 8, 8, false, false, "Distortion is valid!"},
    {"RGB Intrinsic", Form::Numbers, READ(D9, , c.getIntrinsics(1, v.data())), WRITE(D9, c.setIntrinsics(1, v.data())),
     runOf(Kind::F64, 9, Shown::G16), Join::CommaBlank, runOf(Kind::F64, 9, Shown::G16), Prefix::None, 72, 9, 9, false,
     false, "Intrinsic is valid!"},
    {"RGB Distortion", Form::Numbers, READ(D8, , c.getDistortion(1, v.data())), WRITE(D8, c.setDistortion(1, v.data())),
     runOf(Kind::F64, 8, Shown::G16), Join::CommaBlank, runOf(Kind::F64, 8, Shown::G16), Prefix::None, 64, 8, 8, false,
     false, "Distortion is valid!"},
    {"RotationMat", Form::Numbers, READ(D9, , c.getRotation(v.data())), WRITE(D9, c.setRotation(v.data())),
     runOf(Kind::F64, 9, Shown::G16), Join::CommaBlank, runOf(Kind::F64, 9, Shown::G16), Prefix::None, 72, 9, 9, false,
     false, "Rotation is valid!"},
    {"TransferMat", Form::Numbers, READ(D3, , c.getTranslation(v.data())), WRITE(D3, c.setTranslation(v.data())),
     runOf(Kind::F64, 3, Shown::G16), Join::CommaBlank, runOf(Kind::F64, 3, Shown::G16), Prefix::None, 24, 3, 3, false,
     false, "CameraTransfer is valid!"},
    {"EMat", Form::Numbers, READ(D9, , c.getEMat(v.data())), WRITE(D9, c.setEMat(v.data())),
     runOf(Kind::F64, 9, Shown::G16), Join::CommaBlank, runOf(Kind::F64, 9, Shown::G16), Prefix::None, 72, 9, 9, false,
     false, "Rotation is valid!"},
    {"FMat", Form::Numbers, READ(D9, , c.getFMat(v.data())), WRITE(D9, c.setFMat(v.data())),
     runOf(Kind::F64, 9, Shown::G16), Join::CommaBlank, runOf(Kind::F64, 9, Shown::G16), Prefix::None, 72, 9, 9, false,
     false, "Rotation is valid!"},
    // The write: the count, then the page's mode and range, then the second part's low byte.
    {"PulseCount",
     Form::PulseCount,
     READ(PulseCountTable, , c.getPulseCount(&v)),
     WRITE(PulseCountSet, c.setPulseCount(&v)),
     runOf(Kind::U16, 10, Shown::Dec),
     Join::PulseGroups,
     {0, {{{Kind::U16, 1, Shown::Dec}, {Kind::U8, 1, Shown::Dec}}}},
     Prefix::None,
     int(sizeof(PulseCountSet)),
     1,
     many,
     false,
     false,
     "PulseCount is valid!"},
    {"OffSet", Form::Numbers,
     READ(OffsetRecord, (v.depthMode = uint8_t(s.depthMode), v.position = uint8_t(s.depthRange)), c.getOffSet(&v)),
     WRITE(OffsetRecord, c.setOffSet(&v)), runOf(Kind::S16, 49, Shown::Dec, 2), Join::CommaBlank,
     runOf(Kind::S16, 49, Shown::Dec, 2), Prefix::ModeRange, int(sizeof(OffsetRecord)), 49, 49, true, false,
     "OffSet is valid!"},
    // Read with the 4-byte request in the buffer that receives the values.
    {"HTP", Form::Numbers,
     READ(W18, reinterpret_cast<uint8_t *>(v.data())[0] = uint8_t(s.depthMode), c.getHTP(v.data())),
     WRITE(HtpRecord, c.setHTP(&v)), runOf(Kind::U16, 18, Shown::Hex), Join::CommaBlank,
     runOf(Kind::U16, 18, Shown::Hex, 1), Prefix::Mode, int(sizeof(HtpRecord)), 18, 18, true, false, "HTP is valid!"},
    {"MaxDepth", Form::Numbers, READ(MeasuringRange, v.depthMode = uint8_t(s.depthMode), c.getMaxDepth(&v)),
     WRITE(MeasuringRange, c.setMaxDepth(&v)), runOf(Kind::U16, 9, Shown::Dec, 1), Join::CommaBlank,
     runOf(Kind::U16, 9, Shown::Dec, 1), Prefix::Mode, int(sizeof(MeasuringRange)), 9, 9, true, false,
     "MaxDepth is valid!"},
    {"SN", Form::Text, TEXT_READ(LX2_PROP_SN), TEXT_WRITE(LX2_PROP_SN), none, Join::CommaBlank, none, Prefix::None, 0,
     0, 0, false, false, nullptr},
    {"FWVer", Form::ReadOnlyText, TEXT_READ(LX2_PROP_FW_VER), nullptr, none, Join::CommaBlank, none, Prefix::None, 0, 0,
     0, false, false, nullptr},
    {"HMVer", Form::ReadOnlyText, TEXT_READ(LX2_PROP_HM_VER), nullptr, none, Join::CommaBlank, none, Prefix::None, 0, 0,
     0, false, false, nullptr},
    {"PCBA", Form::Text, TEXT_READ(LX2_PROP_PCBA), TEXT_WRITE(LX2_PROP_PCBA), none, Join::CommaBlank, none,
     Prefix::None, 0, 0, 0, false, false, nullptr},
    {"WorkMode", Form::Numbers, READ(SdkWorkMode, , c.getWorkMode(&v)), WRITE(SdkWorkMode, c.setWorkMode(v)),
     runOf(Kind::U8, 5, Shown::Dec), Join::CommaBlank, runOf(Kind::U8, 5, Shown::Dec), Prefix::None,
     int(sizeof(SdkWorkMode)), 5, 5, false, false, "LED is valid!"},
    // Read as four bytes, the first two shown; written as two.
    {"IR_S2_Enable", Form::Numbers, READ(B4, , c.getIR_S2_Enable(v.data())), WRITE(uint32_t, c.setIR_S2_Enable(v)),
     runOf(Kind::U8, 2, Shown::Dec), Join::Comma, runOf(Kind::U8, 2, Shown::Dec), Prefix::None, 2, 2, 2, true, false,
     "IRS2 is valid!"},
    // Read: the gain; written: the gain and a third byte.
    {"GmmGain",
     Form::Numbers,
     READ(uint16_t, , c.getGmmGain(&v)),
     WRITE(uint32_t, c.setGmmGain(v)),
     runOf(Kind::U16, 1, Shown::Dec),
     Join::CommaBlank,
     {0, {{{Kind::U16, 1, Shown::Dec}, {Kind::U8, 1, Shown::Dec}}}},
     Prefix::None,
     int(sizeof(GmmGainRecord)),
     2,
     2,
     true,
     false,
     "IRS2 is valid!"},
    {"GmmParams", Form::Numbers, READ(W12, , c.getGmmParams(v.data())), WRITE(W12, c.setGmmParams(v.data())),
     runOf(Kind::U16, 12, Shown::Hex), Join::CommaBlank, runOf(Kind::U16, 12, Shown::Hex), Prefix::None, 24, 12, 12,
     true, false, "GMMParams is valid!"},
    {"AccSensitivity",
     Form::Numbers,
     READ(F9, , c.getAccSensitivity(v.data())),
     WRITE(F9, c.setAccSensitivity(v.data())),
     {0, {{{Kind::F32, 8, Shown::G16}, {Kind::F32, 1, Shown::G6}}}},
     Join::CommaBlank,
     runOf(Kind::F32, 9, Shown::G16),
     Prefix::None,
     36,
     9,
     9,
     false,
     false,
     "AccSensitivity is valid!"},
    {"GyroSensitivity",
     Form::Numbers,
     READ(F9, , c.getGyroSensitivity(v.data())),
     WRITE(F9, c.setGyroSensitivity(v.data())),
     {0, {{{Kind::F32, 8, Shown::G16}, {Kind::F32, 1, Shown::G6}}}},
     Join::CommaBlank,
     runOf(Kind::F32, 9, Shown::G16),
     Prefix::None,
     36,
     9,
     9,
     false,
     false,
     "GyroSensitivity is valid!"},
    {"RegVal", Form::Registers, nullptr, nullptr, none, Join::CommaBlank, none, Prefix::None, 0, 0, 0, true, false,
     nullptr},
    // The temperature and four signed bytes; the record's further bytes stay as the camera has them.
    {"AccOffsetTemp",
     Form::Numbers,
     READ(B11, , c.getAccOffsetTemp(v.data())),
     WRITE(B11, c.setAccOffsetTemp(v.data())),
     {0, {{{Kind::U8, 1, Shown::Dec}, {Kind::S8, 4, Shown::Dec}}}},
     Join::CommaBlank,
     {0, {{{Kind::U8, 1, Shown::Dec}, {Kind::S8, 4, Shown::Dec}}}},
     Prefix::None,
     11,
     5,
     5,
     false,
     true,
     "AccOffsetTemp is valid!"},
    // The temperature, two floats and two bytes: the whole 11-byte record.
    {"GyroOffsetTemp",
     Form::Numbers,
     READ(B11, , c.getGyroOffsetTemp(v.data())),
     WRITE(B11, c.setGyroOffsetTemp(v.data())),
     {0, {{{Kind::U8, 1, Shown::Dec}, {Kind::F32, 2, Shown::G6}, {Kind::U8, 2, Shown::Dec}}}},
     Join::CommaBlank,
     {0, {{{Kind::U8, 1, Shown::Dec}, {Kind::F32, 2, Shown::G6}, {Kind::U8, 2, Shown::Dec}}}},
     Prefix::None,
     11,
     5,
     5,
     false,
     false,
     "AccOffsetTemp is valid!"},
    {"AccOffset",
     Form::Numbers,
     READ(ImuOffset, v.selector = boxByte(s), c.getAccOffset(&v)),
     WRITE(ImuOffset, c.setAccOffset(&v)),
     {0, {{{Kind::U8, 2, Shown::Dec}, {Kind::S8, 1, Shown::Dec}, {Kind::F32, 3, Shown::G16}}}},
     Join::CommaBlank,
     {0, {{{Kind::U8, 2, Shown::Dec}, {Kind::S8, 1, Shown::Dec}, {Kind::F32, 3, Shown::G16}}}},
     Prefix::None,
     int(sizeof(ImuOffset)),
     6,
     6,
     false,
     false,
     "AccOffsetTemp is valid!"},
    {"GyroOffset",
     Form::Numbers,
     READ(ImuOffset, v.selector = boxByte(s), c.getGyroOffset(&v)),
     WRITE(ImuOffset, c.setGyroOffset(&v)),
     {0, {{{Kind::U8, 2, Shown::Dec}, {Kind::S8, 1, Shown::Dec}, {Kind::F32, 3, Shown::G16}}}},
     Join::CommaBlank,
     {0, {{{Kind::U8, 2, Shown::Dec}, {Kind::S8, 1, Shown::Dec}, {Kind::F32, 3, Shown::G16}}}},
     Prefix::None,
     int(sizeof(ImuOffset)),
     6,
     6,
     false,
     false,
     "AccOffsetTemp is valid!"},
    {"LD", Form::Numbers, READ(B2, , c.getLD(v.data())), WRITE(B2, c.setLD(v.data())), runOf(Kind::U8, 2, Shown::Dec),
     Join::CommaBlank, runOf(Kind::U8, 2, Shown::Dec), Prefix::None, 2, 2, 2, false, false, "LED is valid!"},
    {"TAL", Form::Numbers, READ(B2, , c.getTAL(v.data())), WRITE(B2, c.setTAL(v.data())),
     runOf(Kind::U8, 2, Shown::Dec), Join::CommaBlank, runOf(Kind::U8, 2, Shown::Dec), Prefix::None, 2, 2, 2, false,
     false, "LED is valid!"},
    {"FlashType", Form::ReadOnlyText, TEXT_READ(LX2_PROP_FLASH_TYPE), nullptr, none, Join::CommaBlank, none,
     Prefix::None, 0, 0, 0, false, false, nullptr},
    {"TALDelay",
     Form::Numbers,
     READ(TalDelay, , c.getTALDelay(&v)),
     WRITE(TalDelay, c.setTALDelay(reinterpret_cast<const uint8_t *>(&v), v.delay, v.enable)),
     {0,
      {{{Kind::U16, 2, Shown::Dec},
        {Kind::U32, 1, Shown::Dec},
        {Kind::U16, 1, Shown::Dec},
        {Kind::U8, 1, Shown::Dec}}}},
     Join::Comma,
     {0,
      {{{Kind::U16, 2, Shown::Dec},
        {Kind::U32, 1, Shown::Dec},
        {Kind::U16, 1, Shown::Dec},
        {Kind::U8, 1, Shown::Dec}}}},
     Prefix::None,
     int(sizeof(TalDelay)),
     5,
     5,
     true,
     false,
     "LED is valid!"},
    {"SN-net", Form::Text, TEXT_READ(LX2_PROP_SN_NET), TEXT_WRITE(LX2_PROP_SN_NET), none, Join::CommaBlank, none,
     Prefix::None, 0, 0, 0, false, false, nullptr},
    {"MAC Address-net", Form::Text, TEXT_READ(LX2_PROP_MAC_NET), TEXT_WRITE(LX2_PROP_MAC_NET), none, Join::CommaBlank,
     none, Prefix::None, 0, 0, 0, false, false, nullptr},
    {"Software Version-net", Form::Text, TEXT_READ(LX2_PROP_SW_VER_NET), TEXT_WRITE(LX2_PROP_SW_VER_NET), none,
     Join::CommaBlank, none, Prefix::None, 0, 0, 0, false, false, nullptr},
    {"IP", Form::Text, TEXT_READ(LX2_PROP_IP), TEXT_WRITE(LX2_PROP_IP), none, Join::CommaBlank, none, Prefix::None, 0,
     0, 0, false, false, nullptr},
    {"SubNetMask", Form::Text, TEXT_READ(LX2_PROP_SUBNET_MASK), TEXT_WRITE(LX2_PROP_SUBNET_MASK), none,
     Join::CommaBlank, none, Prefix::None, 0, 0, 0, false, false, nullptr},
    // Three 16-bit values; a write of two keeps the third.
    {"DSP", Form::Numbers,
     [](Control_Single &c, const Selectors &, Record &r) { return readBytes<6>(c, LX2_PROP_DSP, r); },
     [](Control_Single &c, const Record &r) { return writeBytes(c, LX2_PROP_DSP, r); }, runOf(Kind::U16, 3, Shown::Dec),
     Join::Comma, runOf(Kind::U16, 3, Shown::Dec), Prefix::None, 6, 2, 3, false, true, "LED is valid!"},
    {"RangeOffset", Form::Numbers,
     [](Control_Single &c, const Selectors &s, Record &r) {
         return readBytes<sizeof(RangeOffsetRecord)>(c, LX2_PROP_RANGE_OFFSET, r, Record(1, char(s.depthMode)));
     },
     [](Control_Single &c, const Record &r) { return writeBytes(c, LX2_PROP_RANGE_OFFSET, r); },
     runOf(Kind::U16, 9, Shown::Dec, 1), Join::CommaBlank, runOf(Kind::U16, 9, Shown::Dec, 1), Prefix::Mode,
     int(sizeof(RangeOffsetRecord)), 9, 9, true, false, "MaxDepth is valid!"},
    {"WDRPulseCount",
     Form::Numbers,
     READ(WdrPulseCount, , c.getWDRPulseCount(&v)),
     WRITE(WdrPulseCount, c.setWDRPulseCount(v)),
     {0, {{{Kind::U16, 3, Shown::Dec}, {Kind::U8, 1, Shown::Dec}}}},
     Join::Comma,
     {0, {{{Kind::U16, 3, Shown::Dec}, {Kind::U8, 1, Shown::Dec}}}},
     Prefix::None,
     int(sizeof(WdrPulseCount)),
     4,
     4,
     true,
     false,
     "MaxDepth is valid!"},
    {"DataModeList", Form::Numbers,
     [](Control_Single &c, const Selectors &, Record &r) { return readBytes<34>(c, LX2_PROP_DATA_MODE_LIST, r); },
     [](Control_Single &c, const Record &r) { return writeBytes(c, LX2_PROP_DATA_MODE_LIST, r); },
     runOf(Kind::U8, 34, Shown::Dec), Join::CommaBlank, runOf(Kind::U8, 34, Shown::Dec), Prefix::None, 34, 3, 34, true,
     false, "MaxDepth is valid!"},
    {"RangeList", Form::Numbers,
     [](Control_Single &c, const Selectors &, Record &r) { return readBytes<11>(c, LX2_PROP_RANGE_LIST, r); },
     [](Control_Single &c, const Record &r) { return writeBytes(c, LX2_PROP_RANGE_LIST, r); },
     runOf(Kind::U8, 11, Shown::Dec), Join::CommaBlank, runOf(Kind::U8, 11, Shown::Dec), Prefix::None, 11, 3, 11, true,
     false, "MaxDepth is valid!"},
};

const Item *itemAt(int index)
{
    return index >= 0 && index < count ? &items[index] : nullptr;
}

int fieldsBytes(const Fields &fields)
{
    int bytes = fields.offset;
    for (const Run &run : fields.runs)
        bytes += run.count * ValueText::bytesOf(run.kind);
    return bytes;
}

template <typename T> T load(const char *at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

QString showValue(const char *at, Kind kind, Shown shown)
{
    int64_t integer = 0;
    double floating = 0;
    switch (kind) {
    case Kind::U8:
        integer = load<uint8_t>(at);
        break;
    case Kind::S8:
        integer = load<int8_t>(at);
        break;
    case Kind::U16:
        integer = load<uint16_t>(at);
        break;
    case Kind::S16:
        integer = load<int16_t>(at);
        break;
    case Kind::U32:
        integer = load<uint32_t>(at);
        break;
    case Kind::F32:
        floating = double(load<float>(at));
        break;
    case Kind::F64:
        floating = load<double>(at);
        break;
    }
    switch (shown) {
    case Shown::G16:
        return ValueText::g16(floating);
    case Shown::G6:
        return ValueText::g6(floating);
    case Shown::Hex:
        return ValueText::hex(uint64_t(integer));
    case Shown::Dec:
        break;
    }
    return ValueText::dec(integer);
}

void storeValue(char *at, Kind kind, const ValueText::Converted &v)
{
    const auto put = [at](auto value) { std::memcpy(at, &value, sizeof value); };
    switch (kind) {
    case Kind::U8:
        put(uint8_t(v.integer));
        break;
    case Kind::S8:
        put(int8_t(v.integer));
        break;
    case Kind::U16:
        put(uint16_t(v.integer));
        break;
    case Kind::S16:
        put(int16_t(v.integer));
        break;
    case Kind::U32:
        put(uint32_t(v.integer));
        break;
    case Kind::F32:
        put(float(v.floating));
        break;
    case Kind::F64:
        put(v.floating);
        break;
    }
}

QString badPart(int number, const QString &part, const QString &item, const ValueText::Converted &c, Kind kind,
                bool hex)
{
    if (c.fault == ValueText::Converted::NotANumber)
        return QStringLiteral("Part %1 (\"%2\") of %3 is not a number. Nothing was written.")
            .arg(number)
            .arg(part, item);
    return QStringLiteral("Part %1 (\"%2\") of %3 is outside %4. Nothing was written.")
        .arg(number)
        .arg(part, item, ValueText::rangeOf(kind, hex));
}

// Converts parts into the fields from fields.offset on; the first bad part refuses them all.
std::optional<QString> pack(const QStringList &parts, const Fields &fields, bool hex, const QString &item,
                            Record &record)
{
    int number = 0, at = fields.offset;
    for (const Run &run : fields.runs) {
        for (int k = 0; k < run.count && number < parts.size(); ++k, ++number) {
            const ValueText::Converted c = ValueText::convert(parts[number], run.kind, hex);
            if (c.fault != ValueText::Converted::None)
                return badPart(number + 1, parts[number], item, c, run.kind, hex);
            storeValue(record.data() + at, run.kind, c);
            at += ValueText::bytesOf(run.kind);
        }
    }
    return std::nullopt;
}

QString joined(const QStringList &values, Join join)
{
    if (join == Join::Comma)
        return values.join(QLatin1Char(','));
    if (join == Join::CommaBlank)
        return values.join(QLatin1String(", "));
    QString text;
    for (int i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += i == 1 || i == 4 || i == 7 ? QStringLiteral(",\n") : QStringLiteral(", ");
        text += values[i];
    }
    return text;
}

bool isText(const Item &item)
{
    return item.form == Form::Text || item.form == Form::ReadOnlyText;
}

// Registers: 16-bit numbers, all hexadecimal when the first part has "0x".
Registers registerParts(const QStringList &parts)
{
    Registers r;
    const bool hex = !parts.isEmpty() && ValueText::hasHexPrefix(parts.first());
    std::vector<uint16_t> numbers;
    for (int i = 0; i < parts.size(); ++i) {
        const ValueText::Converted c = ValueText::convert(parts[i], Kind::U16, hex);
        if (c.fault != ValueText::Converted::None) {
            r.refusal = badPart(i + 1, parts[i], QStringLiteral("RegVal"), c, Kind::U16, hex);
            return r;
        }
        numbers.push_back(uint16_t(c.integer));
    }
    r.addresses = std::move(numbers);
    return r;
}

} // namespace

QString name(int index)
{
    const Item *item = itemAt(index);
    return item ? QString::fromLatin1(item->name) : QString();
}

int indexOf(const QString &itemName)
{
    for (int i = 0; i < count; ++i)
        if (itemName.compare(QLatin1String(items[i].name), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool writable(int index)
{
    const Item *item = itemAt(index);
    return item && (item->write || item->form == Form::Registers);
}

QStringList split(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral(",|\\s+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

QStringList values(int index, const Record &record)
{
    const Item *item = itemAt(index);
    if (!item || isText(*item) || record.size() < fieldsBytes(item->shown))
        return {};
    QStringList shown;
    int at = item->shown.offset;
    for (const Run &run : item->shown.runs)
        for (int k = 0; k < run.count; ++k, at += ValueText::bytesOf(run.kind))
            shown << showValue(record.constData() + at, run.kind, run.shown);
    return shown;
}

QString show(int index, const Record &record)
{
    const Item *item = itemAt(index);
    if (!item)
        return {};
    if (isText(*item))
        return QString::fromLatin1(record.constData(), int(strnlen(record.constData(), size_t(record.size()))));
    return joined(values(index, record), item->join);
}

Built build(int index, const QString &text, const Selectors &selectors, const Record *current)
{
    Built built;
    const Item *item = itemAt(index);
    if (!item || !item->write) {
        built.refusal = QStringLiteral("%1 cannot be written.").arg(name(index));
        return built;
    }
    const QString itemName = QString::fromLatin1(item->name);
    if (item->form == Form::Text) {
        // Every character must be one byte: anything else would reach the camera garbled.
        for (const QChar ch : text)
            if (ch.unicode() > 0xFF) {
                built.refusal = QStringLiteral("%1 takes Latin-1 characters only; \"%2\" is not one. "
                                               "Nothing was written.")
                                    .arg(itemName, QString(ch));
                return built;
            }
        built.record = text.toLatin1();
        return built;
    }
    const QStringList parts = split(text);
    if (parts.size() < item->minParts || parts.size() > item->maxParts) {
        built.refusal = QString::fromLatin1(item->message);
        return built;
    }
    built.record = current && item->overlay ? *current : Record(item->writeBytes, '\0');
    built.record.resize(item->writeBytes);
    if (item->prefix != Prefix::None)
        built.record[0] = char(selectors.depthMode);
    if (item->prefix == Prefix::ModeRange)
        built.record[1] = char(selectors.depthRange);
    const bool hex = item->hexRule && ValueText::hasHexPrefix(parts.first());
    if (item->form == Form::PulseCount) {
        // The count, the page's mode and range, and the second part's low byte (0 when absent).
        PulseCountSet set{};
        set.depthMode = uint8_t(selectors.depthMode);
        set.rangeIndex = uint8_t(selectors.depthRange);
        built.record = recordOf(set);
        Record values(3, '\0');
        if (std::optional<QString> bad = pack(parts.mid(0, 2), item->parts, hex, itemName, values)) {
            built.refusal = bad;
            return built;
        }
        std::memcpy(built.record.data(), values.constData(), 2);
        built.record[int(offsetof(PulseCountSet, reserved))] = values[2];
        return built;
    }
    if (std::optional<QString> bad = pack(parts, item->parts, hex, itemName, built.record))
        built.refusal = bad;
    return built;
}

Registers registerWrite(const QString &text)
{
    const QStringList parts = split(text);
    Registers r;
    if (parts.size() >= 31)
        r.refusal = QStringLiteral("Too many parameters, up to 15 addrs, 15 values!");
    else if (parts.size() % 2 != 0)
        r.refusal = QStringLiteral("The number of addresses and the number of values are not equal!");
    else if (parts.isEmpty())
        r.refusal = QStringLiteral("Please input addrs!");
    if (r.refusal)
        return r;
    Registers numbers = registerParts(parts);
    if (numbers.refusal)
        return numbers;
    for (size_t i = 0; i < numbers.addresses.size(); i += 2) {
        r.addresses.push_back(numbers.addresses[i]);
        r.values.push_back(numbers.addresses[i + 1]);
    }
    return r;
}

Registers registerRead(const QString &text)
{
    const QStringList parts = split(text);
    Registers r;
    if (parts.isEmpty())
        r.refusal = QStringLiteral("Please input addrs!");
    else if (parts.size() > 31)
        r.refusal = QStringLiteral("Too many parameters, up to 31 addrs!");
    if (r.refusal)
        return r;
    return registerParts(parts);
}

QString showRegisters(const std::vector<uint16_t> &addresses, const std::vector<uint16_t> &values)
{
    QString text;
    for (size_t i = 0; i < addresses.size() && i < values.size(); ++i)
        text += QStringLiteral("0x%1, 0x%2\n")
                    .arg(addresses[i], 4, 16, QLatin1Char('0'))
                    .arg(values[i], 4, 16, QLatin1Char('0'));
    return text;
}

SdkStatus readRecord(Control_Single &camera, int index, const Selectors &selectors, Record &record)
{
    record.clear();
    const Item *item = itemAt(index);
    if (!item || !item->read)
        return LX2_E_INVALID_PARAM;
    return item->read(camera, selectors, record);
}

ReadResult read(Control_Single &camera, int index, const Selectors &selectors)
{
    ReadResult result;
    if (index == RegVal) {
        Registers r = registerRead(selectors.boxText);
        if (r.refusal) {
            result.refusal = r.refusal;
            return result;
        }
        std::vector<uint16_t> values(r.addresses.size(), 0);
        result.status = camera.getRegVal(r.addresses.data(), values.data(), uint32_t(r.addresses.size()));
        if (result.status == LX2_OK)
            result.text = showRegisters(r.addresses, values);
        return result;
    }
    Record record;
    result.status = readRecord(camera, index, selectors, record);
    if (result.status == LX2_OK)
        result.text = show(index, record);
    return result;
}

WriteResult write(Control_Single &camera, int index, const QString &text, const Selectors &selectors)
{
    WriteResult result;
    const Item *item = itemAt(index);
    if (!item || !writable(index))
        return result; // read-only items: the button does nothing
    const QString itemName = QString::fromLatin1(item->name);
    const auto failed = [&](SdkStatus status) {
        result.status = status;
        result.failure = QStringLiteral("Writing %1 failed: the camera answered %2.").arg(itemName).arg(status);
        return result;
    };
    if (item->form == Form::Registers) {
        const Registers r = registerWrite(text);
        if (r.refusal) {
            result.refusal = r.refusal;
            return result;
        }
        const SdkStatus status = camera.setRegVal(r.addresses.data(), r.values.data(), uint32_t(r.addresses.size()));
        return status == LX2_OK ? result : failed(status);
    }
    const Built checked = build(index, text, selectors);
    if (checked.refusal) {
        result.refusal = checked.refusal;
        return result;
    }
    Record current;
    if (item->overlay) {
        const SdkStatus status = readRecord(camera, index, selectors, current);
        if (status != LX2_OK) {
            result.status = status;
            result.failure = QStringLiteral("%1 was not written: its stored bytes could not be read first "
                                            "(the camera answered %2).")
                                 .arg(itemName)
                                 .arg(status);
            return result;
        }
    }
    const Built built = item->overlay ? build(index, text, selectors, &current) : checked;
    const SdkStatus status = item->write(camera, built.record);
    return status == LX2_OK ? result : failed(status);
}

} // namespace ParamItems
