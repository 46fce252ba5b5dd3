#include "sim/camera/SimConfig.h"

#include "sim/camera/Faults.h"
#include "sim/camera/Ini.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>

namespace sim {

namespace {

const std::vector<ModelInfo> &models()
{
    static const std::vector<ModelInfo> table = {
        {"Alta", LX2_MODEL_ALTA, true, false, {0, 1, 2, 4, 10, 11}},
        {"Brio", LX2_MODEL_BRIO, true, false, {100, 101, 102}},
        {"Cima", LX2_MODEL_CIMA, false, false, {0, 1, 2, 11}},
        {"Dune", LX2_MODEL_DUNE, false, true, {0, 1, 2, 11}},
        {"Eske", LX2_MODEL_ESKE, false, true, {0, 1, 2, 11}},
        {"EskeAlias", LX2_MODEL_ESKE_ALIAS, false, false, {0, 1, 2, 11}},
    };
    return table;
}

const char *serialPrefix(int32_t code)
{
    switch (code) {
    case LX2_MODEL_ALTA:
        return "ALT";
    case LX2_MODEL_BRIO:
        return "BRI";
    case LX2_MODEL_CIMA:
        return "CIM";
    case LX2_MODEL_DUNE:
        return "DUN";
    default:
        return "ESK";
    }
}

uint32_t textHash(const std::string &s)
{
    uint32_t h = 2166136261u;
    for (unsigned char c : s)
        h = (h ^ c) * 16777619u;
    return h;
}

// A plausible factory calibration; small differences per serial number, as between units.
Calibration factoryCalibration(const DeviceConfig &d)
{
    const uint32_t h = textHash(d.serial);
    auto jitter = [h](int shift, double scale) { return ((int((h >> shift) & 15) - 7) / 7.0) * scale; };
    Calibration c;
    const double ds = d.depthWidth / 640.0;
    c.depth.fx = (524.0 + jitter(0, 4)) * ds;
    c.depth.fy = (524.5 + jitter(4, 4)) * ds;
    c.depth.cx = (319.5 + jitter(8, 3)) * ds;
    c.depth.cy = (239.5 + jitter(12, 3)) * (d.depthHeight / 480.0);
    c.depth.dist = {-0.215, 0.081, 0.0011, -0.0007, -0.012, 0, 0, 0};
    const double cs = d.colourWidth / 1920.0;
    c.colour.fx = (1386.0 + jitter(16, 6)) * cs;
    c.colour.fy = (1385.0 + jitter(20, 6)) * cs;
    c.colour.cx = (959.5 + jitter(24, 5)) * cs;
    c.colour.cy = (539.5 + jitter(28, 5)) * (d.colourHeight / 1080.0);
    c.colour.dist = {0.092, -0.176, 0.0006, 0.0004, 0.071, 0, 0, 0};
    c.rotation = rotationFromEulerDegrees(0.25 + jitter(2, 0.1), -0.4 + jitter(6, 0.1), 0.1);
    c.translation = Vec3{-25.0 + jitter(10, 0.5), 0.3, 0.8};
    return c;
}

std::array<RangeSet, 3> defaultRanges()
{
    std::array<RangeSet, 3> r;
    r[0] = RangeSet{{1500, 2500, 4000}, {1300, 2300, 3700}, {150, 200, 300}};
    r[1] = RangeSet{{2000, 3500, 5500}, {1800, 3200, 5100}, {200, 300, 400}};
    r[2] = RangeSet{{3000, 5000, 8000}, {2700, 4600, 7400}, {300, 400, 500}};
    return r;
}

DeviceConfig defaultsFor(const ModelInfo &m, int ordinal, const std::string &section, std::string serial = {})
{
    DeviceConfig d;
    d.section = section;
    d.model = &m;
    d.type = m.code;
    d.hasColour = m.hasColour;
    d.productId = uint16_t(0x0400 + m.code);
    if (serial.empty()) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%s2301%c%04d", serialPrefix(m.code), char('A' + m.code - 1), 17 + ordinal);
        serial = buf;
    }
    d.serial = serial;
    d.firmware = "2.1." + std::to_string(3 + m.code);
    d.hardware = "HW-" + std::string(serialPrefix(m.code)) + "-B2";
    d.pcba = "PCBA-" + d.serial.substr(0, std::min<size_t>(8, d.serial.size()));
    d.flashType = "nand";
    char mac[24];
    const uint32_t h = textHash(d.serial);
    std::snprintf(mac, sizeof mac, "02:51:%02x:%02x:%02x:%02x", h & 255, (h >> 8) & 255, (h >> 16) & 255,
                  ordinal & 255);
    d.mac = mac;
    d.ip = "192.168.1." + std::to_string(80 + ordinal);
    d.subnetMask = "255.255.255.0";
    if (m.network)
        d.uri = "net:" + d.ip + ":5005";
    else {
        char uri[96];
        std::snprintf(uri, sizeof uri, "usb&2bc5&%04x&%s&1-%d", d.productId, d.serial.c_str(), ordinal + 1);
        d.uri = uri;
    }
    if (m.code == LX2_MODEL_BRIO) {
        d.depthWidth = 320;
        d.depthHeight = 240;
        d.rgbResolution = 2;
        d.mapRgbToDepth = d.mapRgbToIr = true;
    }
    d.dataMode = m.dataModes.front();
    d.ranges = defaultRanges();
    d.calibration = factoryCalibration(d);
    return d;
}

// ---- value parsing ----

// Where a configuration goes wrong: its line and the reason.
struct Problem
{
    int line = 0;
    std::string why;
};

// Decimal, or hexadecimal after 0x; a leading zero does not switch to octal.
bool parseWhole(const std::string &text, long long lo, long long hi, long long &out)
{
    const std::string t = trim(text);
    if (t.empty())
        return false;
    const size_t sign = t[0] == '+' || t[0] == '-' ? 1 : 0;
    const bool hex = t.size() > sign + 1 && t[sign] == '0' && (t[sign + 1] == 'x' || t[sign + 1] == 'X');
    errno = 0;
    char *end = nullptr;
    const long long v = std::strtoll(t.c_str(), &end, hex ? 16 : 10);
    if (errno || end == t.c_str() || *end || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

// A decimal point whatever the program's locale (a Qt program takes the user's).
bool parseNumber(const std::string &text, double lo, double hi, double &out)
{
    std::string t = trim(text);
    if (!t.empty() && t[0] == '+')
        t.erase(0, 1);
    if (t.empty() || t[0] == '+')
        return false;
    double v = 0;
    const char *last = t.data() + t.size();
    const auto [end, ec] = std::from_chars(t.data(), last, v);
    if (ec != std::errc() || end != last || !std::isfinite(v) || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

// minCount..maxCount numbers from lo to hi, separated by ',' or blanks.
bool parseNumbers(const std::string &text, size_t minCount, size_t maxCount, double lo, double hi,
                  std::vector<double> &out)
{
    out.clear();
    for (const std::string &part : splitList(text)) {
        double v = 0;
        if (!parseNumber(part, lo, hi, v))
            return false;
        out.push_back(v);
    }
    return out.size() >= minCount && out.size() <= maxCount;
}

bool parseBool(const std::string &text, bool &out)
{
    const std::string t = toLower(trim(text));
    if (t == "1" || t == "yes" || t == "true" || t == "on") {
        out = true;
        return true;
    }
    if (t == "0" || t == "no" || t == "false" || t == "off") {
        out = false;
        return true;
    }
    return false;
}

// Serial numbers also name files in the state folder: plain characters only.
bool plainSerial(const std::string &s)
{
    return !s.empty() && s.size() <= 31 && std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
               c == '.';
    });
}

const char *const serialRule = "expected 1 to 31 letters, digits, '-', '_' or '.'";

bool hasBlank(const std::string &s)
{
    return s.find_first_of(" \t") != std::string::npos;
}

bool macAddress(const std::string &s)
{
    if (s.size() != 17)
        return false;
    for (size_t i = 0; i < s.size(); ++i) {
        const bool separator = i % 3 == 2;
        if (separator ? s[i] != s[2] || (s[i] != ':' && s[i] != '-') : !std::isxdigit(static_cast<unsigned char>(s[i])))
            return false;
    }
    return true;
}

bool ipv4Address(const std::string &s)
{
    in_addr address{};
    return inet_pton(AF_INET, s.c_str(), &address) == 1;
}

class DeviceParser
{
public:
    DeviceParser(DeviceConfig &d, Problem &problem)
        : d(d)
        , problem(problem)
    {}

    bool apply(const IniEntry &e)
    {
        const std::string &v = e.value;
        long long n = 0;
        bool b = false;
        std::vector<double> list;
        const std::string &k = e.key;
        auto fail = [&](const std::string &why) {
            problem = {e.line, e.name + ": " + why};
            return false;
        };
        auto integer = [&](long long lo, long long hi, auto &field) {
            if (!parseWhole(v, lo, hi, n))
                return fail("expected a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
            field = static_cast<std::remove_reference_t<decltype(field)>>(n);
            return true;
        };
        auto flag = [&](bool &field) {
            if (!parseBool(v, b))
                return fail("expected yes or no");
            field = b;
            return true;
        };
        // One word (no blanks) of at most `max` characters: the record field it fills.
        auto word = [&](std::string &field, size_t max) {
            if (v.size() > max || hasBlank(v))
                return fail("expected at most " + std::to_string(max) + " characters without blanks");
            field = v;
            return true;
        };
        auto text = [&](std::string &field, size_t max) {
            if (v.size() > max)
                return fail("longer than " + std::to_string(max) + " characters");
            field = v;
            return true;
        };
        auto lens = [&](Lens &l, int width, int height) {
            if (!parseNumbers(v, 4, 4, -1e9, 1e9, list) || list[0] <= 1 || list[0] > 100000 || list[1] <= 1 ||
                list[1] > 100000 || list[2] < 0 || list[2] > width || list[3] < 0 || list[3] > height)
                return fail("expected fx, fy (above 1, up to 100000), cx (0 to " + std::to_string(width) +
                            "), cy (0 to " + std::to_string(height) + ") in pixels at full size");
            l.fx = list[0];
            l.fy = list[1];
            l.cx = list[2];
            l.cy = list[3];
            return true;
        };
        auto distortion = [&](Lens &l) {
            if (!parseNumbers(v, 1, 8, -100, 100, list))
                return fail("expected 1 to 8 coefficients k1 k2 p1 p2 k3 k4 k5 k6, each from -100 to 100");
            l.dist = {};
            for (size_t i = 0; i < list.size(); ++i)
                l.dist[i] = list[i];
            return true;
        };
        if (k == "model")
            return true; // handled first
        if (k == "type")
            return integer(0, 255, d.type);
        if (k == "uri")
            return word(d.uri, 255);
        if (k == "serial") {
            if (!plainSerial(v))
                return fail(serialRule);
            d.serial = v;
            return true;
        }
        if (k == "firmware")
            return word(d.firmware, 15);
        if (k == "hardware")
            return text(d.hardware, 63);
        if (k == "pcba")
            return text(d.pcba, 63);
        if (k == "flashtype") {
            const std::string t = toLower(v);
            if (t != "nand" && t != "nor")
                return fail("expected nand or nor");
            d.flashType = t;
            return true;
        }
        if (k == "mac") {
            if (!macAddress(v))
                return fail("expected six hex pairs such as 02:51:0a:1b:2c:03");
            d.mac = v;
            return true;
        }
        if (k == "ip" || k == "subnetmask") {
            if (!ipv4Address(v))
                return fail("expected an IPv4 address such as 192.168.1.80");
            (k == "ip" ? d.ip : d.subnetMask) = v;
            return true;
        }
        if (k == "depthwidth")
            return integer(16, 1280, d.depthWidth);
        if (k == "depthheight")
            return integer(16, 960, d.depthHeight);
        if (k == "colour")
            return flag(d.hasColour);
        if (k == "colourwidth")
            return integer(320, 1920, d.colourWidth);
        if (k == "colourheight")
            return integer(240, 1080, d.colourHeight);
        if (k == "rgbresolution")
            return integer(0, 3, d.rgbResolution);
        if (k == "fps")
            return integer(1, 60, d.fps);
        if (k == "datamode")
            return integer(0, 255, d.dataMode);
        if (k == "depthrange")
            return integer(0, 8, d.depthRange);
        if (k.size() == 6 && k.compare(0, 5, "range") == 0 && k[5] >= '0' && k[5] <= '8') {
            const int r = k[5] - '0';
            const std::vector<std::string> parts = splitList(v);
            long long mm[3] = {};
            bool ok = parts.size() == 3;
            for (size_t i = 0; ok && i < 3; ++i)
                ok = parseWhole(parts[i], 0, 65535, mm[i]);
            if (!ok || mm[1] > mm[2] || mm[2] > mm[0])
                return fail("expected depthMax, effectiveMin, effectiveMax in whole millimetres from 0 to 65535, "
                            "with effectiveMin <= effectiveMax <= depthMax");
            d.ranges[r / 3].depthMax[r % 3] = uint16_t(mm[0]);
            d.ranges[r / 3].effectiveMin[r % 3] = uint16_t(mm[1]);
            d.ranges[r / 3].effectiveMax[r % 3] = uint16_t(mm[2]);
            return true;
        }
        if (k == "uncalibratedranges") {
            for (const std::string &part : splitList(v)) {
                if (!parseWhole(part, 0, 8, n))
                    return fail("expected range numbers 0..8");
                d.ranges[n / 3].effectiveMax[n % 3] = 0;
                d.ranges[n / 3].effectiveMin[n % 3] = 0;
            }
            return true;
        }
        if (k == "depthintrinsics")
            return lens(d.calibration.depth, d.depthWidth, d.depthHeight);
        if (k == "colourintrinsics")
            return lens(d.calibration.colour, d.colourWidth, d.colourHeight);
        if (k == "depthdistortion")
            return distortion(d.calibration.depth);
        if (k == "colourdistortion")
            return distortion(d.calibration.colour);
        if (k == "rotation") {
            if (!parseNumbers(v, 3, 3, -180, 180, list))
                return fail("expected three angles about x, y, z, each from -180 to 180 degrees");
            d.calibration.rotation = rotationFromEulerDegrees(list[0], list[1], list[2]);
            return true;
        }
        if (k == "translation") {
            if (!parseNumbers(v, 3, 3, -1000, 1000, list))
                return fail("expected x, y, z, each from -1000 to 1000 millimetres");
            d.calibration.translation = Vec3{list[0], list[1], list[2]};
            return true;
        }
        if (k == "spatialfilter")
            return flag(d.spatialFilter);
        if (k == "timefilter")
            return flag(d.timeFilter);
        if (k == "mapdepthtorgb")
            return flag(d.mapDepthToRgb);
        if (k == "maprgbtodepth")
            return flag(d.mapRgbToDepth);
        if (k == "maprgbtoir")
            return flag(d.mapRgbToIr);
        if (k == "dropevery")
            return integer(0, 1000000, d.dropEvery);
        if (k == "unplugafterframes")
            return integer(0, 1000000000, d.unplugAfterFrames);
        if (k == "replugafterseconds") {
            double seconds = 0;
            if (!parseNumber(v, 0, 86400, seconds))
                return fail("expected seconds from 0 to 86400");
            d.replugAfterSeconds = seconds;
            return true;
        }
        if (k == "failpropertyreads") {
            d.failPropertyReads.clear();
            for (const std::string &part : splitList(v)) {
                if (!parseWhole(part, 0, 0xFFFFFFFFLL, n))
                    return fail("expected property ids from 0 to 0xFFFFFFFF, such as 0xF0000004");
                d.failPropertyReads.push_back(uint32_t(n));
            }
            return true;
        }
        if (k == "failpropertystatus") {
            // 0 would report success with nothing read.
            if (!parseWhole(v, INT32_MIN, INT32_MAX, n) || n == 0)
                return fail("expected a non-zero status from -2147483648 to 2147483647");
            d.failPropertyStatus = int32_t(n);
            return true;
        }
        if (k == "upgradefailatstage") {
            if (!parseWhole(v, 0, 8, n) || n == 1)
                return fail("expected 0 (never) or a stage from 2 to 8");
            d.upgradeFailAtStage = int(n);
            return true;
        }
        return fail("unknown key");
    }

private:
    DeviceConfig &d;
    Problem &problem;
};

bool parseFault(const IniEntry &e, FaultRule &rule, Problem &problem)
{
    const std::string function = Faults::sdkFunction(e.name);
    if (function.empty()) {
        const std::string nearest = Faults::nearestSdkFunction(e.name);
        problem = {e.line, e.name + ": no such SDK function" +
                               (nearest.empty() ? std::string() : " (did you mean " + nearest + "?)")};
        return false;
    }
    const std::vector<std::string> parts = splitList(e.value);
    long long n = 0;
    rule.function = e.key;
    auto fail = [&] {
        problem = {e.line, e.name + ": expected '<status>', '<status> times <N>' or '<status> after <N>' "
                                    "(status a non-zero 32-bit number, N from 0 to 1000000000)"};
        return false;
    };
    if (parts.empty() || !parseWhole(parts[0], INT32_MIN, INT32_MAX, n) || n == 0)
        return fail();
    rule.status = int32_t(n);
    if (parts.size() == 1)
        return true;
    if (parts.size() != 3 || !parseWhole(parts[2], 0, 1000000000, n))
        return fail();
    const std::string word = toLower(parts[1]);
    if (word == "times")
        rule.mode = FaultRule::Times;
    else if (word == "after")
        rule.mode = FaultRule::After;
    else
        return fail();
    rule.count = long(n);
    return true;
}

std::string programFolder()
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    std::string path(buf, size_t(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// A configuration is a few kilobytes; a larger file is something else.
constexpr size_t maxConfigSize = 1 << 20;

bool readConfigFile(const std::string &path, std::string &text, std::string &why)
{
    struct stat info
    {
    };
    if (stat(path.c_str(), &info) != 0) {
        why = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        why = "is a folder, not a file";
        return false;
    }
    if (!S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode)) {
        why = "is not a regular file";
        return false;
    }
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        why = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    text.clear();
    char buf[65536];
    size_t n = 0;
    while (text.size() <= maxConfigSize && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    const int readErrno = errno;
    std::fclose(f);
    if (failed) {
        why = std::string("cannot be read: ") + std::strerror(readErrno);
        return false;
    }
    if (text.size() > maxConfigSize) {
        why = "larger than 1 MiB, not a configuration file";
        return false;
    }
    return true;
}

// Sections and keys name things once; "color" spellings count as "colour".
bool checkNames(IniFile &ini, Problem &problem)
{
    std::map<std::string, int> sections;
    for (size_t s = 1; s < ini.sections.size(); ++s) {
        IniSection &sec = ini.sections[s];
        const std::string name = toLower(sec.name);
        if (const auto [it, added] = sections.emplace(name, sec.line); !added) {
            problem = {sec.line, "section [" + sec.name + "] is already on line " + std::to_string(it->second)};
            return false;
        }
        const bool device = name.compare(0, 6, "device") == 0;
        std::map<std::string, int> keys;
        for (IniEntry &e : sec.entries) {
            if (auto at = e.key.find("color"); device && at != std::string::npos)
                e.key.replace(at, 5, "colour");
            if (const auto [it, added] = keys.emplace(e.key, e.line); !added) {
                problem = {e.line, e.name + ": already set on line " + std::to_string(it->second)};
                return false;
            }
        }
    }
    return true;
}

bool parseDevice(const IniSection &sec, SimConfig &out, Problem &problem)
{
    const IniEntry *model = sec.find("model");
    const ModelInfo *info = model ? modelByName(model->value) : nullptr;
    if (!info) {
        problem = {model ? model->line : sec.line,
                   "[" + sec.name + "]: model must be one of Alta, Brio, Cima, Dune, Eske, EskeAlias"};
        return false;
    }
    const int ordinal = int(out.devices.size());
    std::string serial;
    if (const IniEntry *e = sec.find("serial")) {
        if (!plainSerial(e->value)) {
            problem = {e->line, e->name + ": " + serialRule};
            return false;
        }
        serial = e->value;
    }
    // Identity and size first: the serial number and resolutions shape the defaults.
    DeviceConfig d = defaultsFor(*info, ordinal, sec.name, serial);
    for (const char *dim : {"depthwidth", "depthheight", "colourwidth", "colourheight"})
        if (const IniEntry *e = sec.find(dim))
            if (!DeviceParser(d, problem).apply(*e))
                return false;
    d.calibration = factoryCalibration(d);
    for (const IniEntry &e : sec.entries)
        if (!DeviceParser(d, problem).apply(e))
            return false;
    if (std::find(info->dataModes.begin(), info->dataModes.end(), d.dataMode) == info->dataModes.end()) {
        const IniEntry *e = sec.find("datamode");
        std::string modes;
        for (int m : info->dataModes)
            modes += (modes.empty() ? "" : ", ") + std::to_string(m);
        problem = {e ? e->line : sec.line, "dataMode " + std::to_string(d.dataMode) + " is not one of the " +
                                               info->name + "'s data modes (" + modes + ")"};
        return false;
    }
    if (!info->hasColour)
        d.hasColour = false;
    // Two cameras with one serial number or uri could not be told apart when opened.
    for (const DeviceConfig &other : out.devices) {
        for (const char *key : {"serial", "uri"}) {
            const bool serialKey = key[0] == 's';
            if ((serialKey ? other.serial : other.uri) != (serialKey ? d.serial : d.uri))
                continue;
            const IniEntry *e = sec.find(key);
            problem = {e ? e->line : sec.line, "[" + sec.name + "]: " + key + " " + (serialKey ? d.serial : d.uri) +
                                                   " is already the " + key + " of [" + other.section + "]"};
            return false;
        }
    }
    out.devices.push_back(d);
    return true;
}

bool parseSections(const std::string &text, SimConfig &out, Problem &problem)
{
    IniFile ini = IniFile::parse(text);
    if (!ini.error.empty()) {
        problem = {ini.errorLine, ini.error};
        return false;
    }
    if (!ini.sections[0].entries.empty()) {
        problem = {ini.sections[0].entries[0].line, "key outside a section"};
        return false;
    }
    if (!checkNames(ini, problem))
        return false;
    for (size_t s = 1; s < ini.sections.size(); ++s) {
        const IniSection &sec = ini.sections[s];
        const std::string name = toLower(sec.name);
        if (name == "sim") {
            for (const IniEntry &e : sec.entries) {
                long long n = 0;
                const long long most = e.key == "rebootms" ? 600000 : 60000;
                int *field = e.key == "frametimeoutms"  ? &out.frameTimeoutMs
                             : e.key == "rebootms"      ? &out.rebootMs
                             : e.key == "upgradestepms" ? &out.upgradeStepMs
                                                        : nullptr;
                if (!field) {
                    problem = {e.line, e.name + ": unknown key"};
                    return false;
                }
                if (!parseWhole(e.value, 0, most, n)) {
                    problem = {e.line, e.name + ": expected milliseconds from 0 to " + std::to_string(most)};
                    return false;
                }
                *field = int(n);
            }
        } else if (name == "faults") {
            for (const IniEntry &e : sec.entries) {
                FaultRule rule;
                if (!parseFault(e, rule, problem))
                    return false;
                out.faults.push_back(rule);
            }
        } else if (name.compare(0, 6, "device") == 0) {
            if (!parseDevice(sec, out, problem))
                return false;
        } else {
            problem = {sec.line, "unknown section [" + sec.name + "]"};
            return false;
        }
    }
    return true;
}

} // namespace

const ModelInfo *modelByName(const std::string &name)
{
    for (const ModelInfo &m : models())
        if (toLower(name) == toLower(m.name))
            return &m;
    return nullptr;
}

const ModelInfo *modelByCode(int32_t code)
{
    for (const ModelInfo &m : models())
        if (m.code == code)
            return &m;
    return nullptr;
}

SimConfig SimConfig::builtIn()
{
    SimConfig c;
    c.source = "built-in";
    const char *names[] = {"Alta", "Brio", "Cima", "Dune", "Eske"};
    int ordinal = 0;
    for (const char *name : names) {
        DeviceConfig d = defaultsFor(*modelByName(name), ordinal, name);
        if (d.type == LX2_MODEL_CIMA) // ranges nobody has calibrated yet
            for (int r : {5, 8})
                d.ranges[r / 3].effectiveMax[r % 3] = d.ranges[r / 3].effectiveMin[r % 3] = 0;
        c.devices.push_back(d);
        ++ordinal;
    }
    return c;
}

bool SimConfig::parse(const std::string &text, const std::string &source, SimConfig &out, std::string &error)
{
    out = SimConfig{};
    out.source = source;
    Problem problem;
    if (!parseSections(text, out, problem)) {
        error = source + ":" + std::to_string(problem.line) + ": " + problem.why;
        return false;
    }
    return true;
}

bool SimConfig::load(SimConfig &out, std::string &error)
{
    std::string path;
    if (const char *env = std::getenv("QUILLON_SIM_CONFIG"); env && *env) {
        path = env;
    } else {
        path = programFolder() + "/quillon_sim.ini";
        if (access(path.c_str(), F_OK) != 0) {
            out = builtIn();
            return true;
        }
    }
    std::string text;
    if (!readConfigFile(path, text, error)) {
        error = path + ": " + error;
        return false;
    }
    return parse(text, path, out, error);
}

} // namespace sim
