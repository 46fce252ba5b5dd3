#include "SimConfig.h"

#include "Ini.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
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
    std::snprintf(mac, sizeof mac, "02:51:%02x:%02x:%02x:%02x", h & 255, (h >> 8) & 255, (h >> 16) & 255, ordinal & 255);
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

bool parseLong(const std::string &text, long lo, long hi, long &out)
{
    const std::string t = trim(text);
    if (t.empty())
        return false;
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(t.c_str(), &end, 0);
    if (errno || *end || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

bool parseDoubles(const std::string &text, size_t minCount, size_t maxCount, std::vector<double> &out)
{
    out.clear();
    for (const std::string &part : splitList(text)) {
        char *end = nullptr;
        errno = 0;
        const double v = std::strtod(part.c_str(), &end);
        if (errno || *end || !std::isfinite(v))
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

class DeviceParser
{
public:
    DeviceParser(DeviceConfig &d, std::string &error)
        : d(d)
        , error(error)
    {
    }

    bool apply(const IniEntry &e)
    {
        const std::string &v = e.value;
        long n = 0;
        bool b = false;
        std::vector<double> list;
        const std::string &k = e.key;
        auto fail = [&](const std::string &why) {
            error = "line " + std::to_string(e.line) + ": " + e.key + ": " + why;
            return false;
        };
        auto integer = [&](long lo, long hi, auto &field) {
            if (!parseLong(v, lo, hi, n))
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
        auto text = [&](std::string &field, size_t max) {
            if (v.size() > max)
                return fail("longer than " + std::to_string(max) + " characters");
            field = v;
            return true;
        };
        if (k == "model" || k == "type")
            return true; // handled first
        if (k == "uri")
            return text(d.uri, 255);
        if (k == "serial")
            return text(d.serial, 31);
        if (k == "firmware")
            return text(d.firmware, 15);
        if (k == "hardware")
            return text(d.hardware, 63);
        if (k == "pcba")
            return text(d.pcba, 63);
        if (k == "flashtype")
            return text(d.flashType, 63);
        if (k == "mac")
            return text(d.mac, 63);
        if (k == "ip")
            return text(d.ip, 63);
        if (k == "subnetmask")
            return text(d.subnetMask, 63);
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
            if (!parseDoubles(v, 3, 3, list))
                return fail("expected depthMax, effectiveMin, effectiveMax");
            for (double x : list)
                if (x < 0 || x > 65535)
                    return fail("millimetres must lie in 0..65535");
            d.ranges[r / 3].depthMax[r % 3] = uint16_t(list[0]);
            d.ranges[r / 3].effectiveMin[r % 3] = uint16_t(list[1]);
            d.ranges[r / 3].effectiveMax[r % 3] = uint16_t(list[2]);
            return true;
        }
        if (k == "uncalibratedranges") {
            for (const std::string &part : splitList(v)) {
                if (!parseLong(part, 0, 8, n))
                    return fail("expected range numbers 0..8");
                d.ranges[n / 3].effectiveMax[n % 3] = 0;
                d.ranges[n / 3].effectiveMin[n % 3] = 0;
            }
            return true;
        }
        if (k == "depthintrinsics" || k == "colourintrinsics") {
            if (!parseDoubles(v, 4, 4, list) || list[0] <= 1 || list[1] <= 1)
                return fail("expected fx, fy, cx, cy (pixels, full resolution)");
            Lens &l = k[0] == 'd' ? d.calibration.depth : d.calibration.colour;
            l.fx = list[0];
            l.fy = list[1];
            l.cx = list[2];
            l.cy = list[3];
            return true;
        }
        if (k == "depthdistortion" || k == "colourdistortion") {
            if (!parseDoubles(v, 1, 8, list))
                return fail("expected up to 8 coefficients k1 k2 p1 p2 k3 k4 k5 k6");
            Lens &l = k[0] == 'd' ? d.calibration.depth : d.calibration.colour;
            l.dist = {};
            for (size_t i = 0; i < list.size(); ++i)
                l.dist[i] = list[i];
            return true;
        }
        if (k == "rotation") {
            if (!parseDoubles(v, 3, 3, list))
                return fail("expected three angles in degrees about x, y, z");
            d.calibration.rotation = rotationFromEulerDegrees(list[0], list[1], list[2]);
            return true;
        }
        if (k == "translation") {
            if (!parseDoubles(v, 3, 3, list))
                return fail("expected x, y, z in millimetres");
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
            return integer(0, LONG_MAX, d.unplugAfterFrames);
        if (k == "replugafterseconds") {
            if (!parseDoubles(v, 1, 1, list) || list[0] < 0)
                return fail("expected seconds");
            d.replugAfterSeconds = list[0];
            return true;
        }
        if (k == "failpropertyreads") {
            d.failPropertyReads.clear();
            for (const std::string &part : splitList(v)) {
                if (!parseLong(part, 0, 0xFFFFFFFFL, n))
                    return fail("expected property ids such as 0xF0000004");
                d.failPropertyReads.push_back(uint32_t(n));
            }
            return true;
        }
        if (k == "failpropertystatus")
            return integer(INT32_MIN, INT32_MAX, d.failPropertyStatus);
        if (k == "upgradefailatstage")
            return integer(0, 8, d.upgradeFailAtStage);
        return fail("unknown key");
    }

private:
    DeviceConfig &d;
    std::string &error;
};

bool parseFault(const IniEntry &e, FaultRule &rule, std::string &error)
{
    const std::vector<std::string> parts = splitList(e.value);
    long n = 0;
    rule.function = e.key;
    auto fail = [&] {
        error = "line " + std::to_string(e.line) + ": " + e.key +
                ": expected '<status>', '<status> times <N>' or '<status> after <N>'";
        return false;
    };
    if (parts.empty() || !parseLong(parts[0], INT32_MIN, INT32_MAX, n) || n == 0)
        return fail();
    rule.status = int32_t(n);
    if (parts.size() == 1)
        return true;
    if (parts.size() != 3 || !parseLong(parts[2], 0, LONG_MAX, n))
        return fail();
    const std::string word = toLower(parts[1]);
    if (word == "times")
        rule.mode = FaultRule::Times;
    else if (word == "after")
        rule.mode = FaultRule::After;
    else
        return fail();
    rule.count = n;
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
    const IniFile ini = IniFile::parse(text);
    if (!ini.error.empty()) {
        error = ini.error;
        return false;
    }
    if (!ini.sections[0].entries.empty()) {
        error = "line " + std::to_string(ini.sections[0].entries[0].line) + ": key outside a section";
        return false;
    }
    for (size_t s = 1; s < ini.sections.size(); ++s) {
        IniSection sec = ini.sections[s];
        for (IniEntry &e : sec.entries)
            if (auto at = e.key.find("color"); at != std::string::npos)
                e.key.replace(at, 5, "colour");
        const std::string name = toLower(sec.name);
        if (name == "sim") {
            for (const IniEntry &e : sec.entries) {
                long n = 0;
                int *field = e.key == "frametimeoutms" ? &out.frameTimeoutMs
                             : e.key == "rebootms"     ? &out.rebootMs
                             : e.key == "upgradestepms" ? &out.upgradeStepMs
                                                        : nullptr;
                if (!field) {
                    error = "line " + std::to_string(e.line) + ": " + e.key + ": unknown key";
                    return false;
                }
                if (!parseLong(e.value, 0, 600000, n)) {
                    error = "line " + std::to_string(e.line) + ": " + e.key + ": expected milliseconds";
                    return false;
                }
                *field = int(n);
            }
        } else if (name == "faults") {
            for (const IniEntry &e : sec.entries) {
                FaultRule rule;
                if (!parseFault(e, rule, error))
                    return false;
                // Keys are stored in lower case; the SDK's names are matched without case.
                out.faults.push_back(rule);
            }
        } else if (name.compare(0, 6, "device") == 0) {
            const IniEntry *model = sec.find("model");
            const ModelInfo *info = model ? modelByName(model->value) : nullptr;
            if (!info) {
                error = "line " + std::to_string(model ? model->line : sec.line) + ": [" + sec.name +
                        "]: model must be one of Alta, Brio, Cima, Dune, Eske, EskeAlias";
                return false;
            }
            const int ordinal = int(out.devices.size());
            std::string serial;
            if (const IniEntry *e = sec.find("serial")) {
                if (e->value.empty() || e->value.size() > 31) {
                    error = "line " + std::to_string(e->line) + ": serial: expected 1 to 31 characters";
                    return false;
                }
                serial = e->value;
            }
            // Identity and size first: the serial number and resolutions shape the defaults.
            DeviceConfig d = defaultsFor(*info, ordinal, sec.name, serial);
            for (const char *dim : {"depthwidth", "depthheight", "colourwidth", "colourheight"})
                if (const IniEntry *e = sec.find(dim))
                    if (!DeviceParser(d, error).apply(*e))
                        return false;
            d.calibration = factoryCalibration(d);
            for (const IniEntry &e : sec.entries)
                if (!DeviceParser(d, error).apply(e))
                    return false;
            if (const IniEntry *type = sec.find("type")) {
                long n = 0;
                if (!parseLong(type->value, INT32_MIN, INT32_MAX, n)) {
                    error = "line " + std::to_string(type->line) + ": type: expected a model code";
                    return false;
                }
                d.type = int32_t(n);
            }
            bool modeKnown = false;
            for (int m : info->dataModes)
                modeKnown |= m == d.dataMode;
            if (!modeKnown) {
                error = "[" + sec.name + "]: dataMode " + std::to_string(d.dataMode) + " is not one of the " +
                        info->name + "'s data modes";
                return false;
            }
            if (!info->hasColour)
                d.hasColour = false;
            out.devices.push_back(d);
        } else {
            error = "line " + std::to_string(sec.line) + ": unknown section [" + sec.name + "]";
            return false;
        }
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
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!parse(text.str(), path, out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

} // namespace sim
