#include "sim/camera/SimConfig.h"

#include "sim/camera/ConfigValues.h"
#include "sim/camera/DeviceKeys.h"
#include "sim/camera/Faults.h"
#include "sim/camera/Ini.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

// Where a configuration goes wrong: its line and the reason.
struct Problem
{
    int line = 0;
    std::string why;
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

bool parseFaults(const IniSection &sec, SimConfig &out, Problem &problem)
{
    for (const IniEntry &e : sec.entries) {
        FaultRule rule;
        if (!parseFault(e, rule, problem))
            return false;
        out.faults.push_back(rule);
    }
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

// The [sim] keys: a time from 0 to `most` in its unit, or a switch.
struct SimKey
{
    const char *name; // lower case
    int SimConfig::*field;
    long long most;
    const char *unit;
    bool SimConfig::*flag;
};

constexpr SimKey simKeys[] = {
    {"frametimeoutms", &SimConfig::frameTimeoutMs, 60000, "milliseconds", nullptr},
    {"rebootms", &SimConfig::rebootMs, 600000, "milliseconds", nullptr},
    {"upgradestepms", &SimConfig::upgradeStepMs, 60000, "milliseconds", nullptr},
    {"tftpwaitseconds", &SimConfig::tftpWaitSeconds, 3600, "seconds", nullptr},
    {"loaderrefuseinit", nullptr, 0, nullptr, &SimConfig::loaderRefuseInit},
};

bool parseSim(const IniSection &sec, SimConfig &out, Problem &problem)
{
    for (const IniEntry &e : sec.entries) {
        const SimKey *key =
            std::find_if(std::begin(simKeys), std::end(simKeys), [&](const SimKey &k) { return e.key == k.name; });
        if (key == std::end(simKeys)) {
            problem = {e.line, e.name + ": unknown key"};
            return false;
        }
        if (key->flag) {
            if (!parseBool(e.value, out.*key->flag)) {
                problem = {e.line, e.name + ": expected yes or no"};
                return false;
            }
            continue;
        }
        long long n = 0;
        if (!parseWhole(e.value, 0, key->most, n)) {
            problem = {e.line, e.name + ": expected " + key->unit + " from 0 to " + std::to_string(key->most)};
            return false;
        }
        out.*key->field = int(n);
    }
    return true;
}

bool applyDeviceKey(const IniEntry &e, DeviceConfig &d, Problem &problem)
{
    if (DeviceKeys::apply(e, d, problem.why))
        return true;
    problem.line = e.line;
    return false;
}

// Known only once the whole section is read, so a mistake on a later line is reported first.
bool checkDataMode(const IniSection &sec, const DeviceConfig &d, Problem &problem)
{
    const ModelInfo &info = *d.model;
    if (std::find(info.dataModes.begin(), info.dataModes.end(), d.dataMode) != info.dataModes.end())
        return true;
    const IniEntry *e = sec.find("datamode");
    std::string modes;
    for (int m : info.dataModes)
        modes += (modes.empty() ? "" : ", ") + std::to_string(m);
    problem = {e ? e->line : sec.line, "dataMode " + std::to_string(d.dataMode) + " is not one of the " + info.name +
                                           "'s data modes (" + modes + ")"};
    return false;
}

// Two cameras with one serial number or uri could not be told apart when opened.
bool checkUnique(const IniSection &sec, const DeviceConfig &d, const std::vector<DeviceConfig> &others,
                 Problem &problem)
{
    constexpr std::pair<const char *, std::string DeviceConfig::*> names[] = {{"serial", &DeviceConfig::serial},
                                                                              {"uri", &DeviceConfig::uri}};
    for (const DeviceConfig &other : others) {
        for (const auto &[key, field] : names) {
            if (other.*field != d.*field)
                continue;
            const IniEntry *e = sec.find(key);
            problem = {e ? e->line : sec.line, "[" + sec.name + "]: " + key + " " + d.*field + " is already the " +
                                                   key + " of [" + other.section + "]"};
            return false;
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
    // Identity and size first: the serial number and resolutions shape the defaults.
    DeviceConfig first;
    if (const IniEntry *e = sec.find("serial"); e && !applyDeviceKey(*e, first, problem))
        return false;
    DeviceConfig d = defaultsFor(*info, int(out.devices.size()), sec.name, first.serial);
    if (const size_t slash = out.source.rfind('/'); slash != std::string::npos)
        d.configFolder = slash == 0 ? "/" : out.source.substr(0, slash);
    for (const char *size : {"depthwidth", "depthheight", "colourwidth", "colourheight"})
        if (const IniEntry *e = sec.find(size); e && !applyDeviceKey(*e, d, problem))
            return false;
    d.calibration = factoryCalibration(d);
    for (const IniEntry &e : sec.entries)
        if (!applyDeviceKey(e, d, problem))
            return false;
    if (!checkDataMode(sec, d, problem))
        return false;
    if (!info->hasColour)
        d.hasColour = false;
    if (!checkUnique(sec, d, out.devices, problem))
        return false;
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
        bool ok = false;
        if (name == "sim")
            ok = parseSim(sec, out, problem);
        else if (name == "faults")
            ok = parseFaults(sec, out, problem);
        else if (name.compare(0, 6, "device") == 0)
            ok = parseDevice(sec, out, problem);
        else
            problem = {sec.line, "unknown section [" + sec.name + "]"};
        if (!ok)
            return false;
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
