#include "sim/camera/ConfigValues.h"

#include "sim/camera/Ini.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace sim {

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

bool parseWholes(const std::string &text, size_t minCount, size_t maxCount, long long lo, long long hi,
                 std::vector<long long> &out)
{
    out.clear();
    for (const std::string &part : splitList(text)) {
        long long v = 0;
        if (!parseWhole(part, lo, hi, v))
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

bool hasBlank(const std::string &s)
{
    return s.find_first_of(" \t") != std::string::npos;
}

bool plainSerial(const std::string &s)
{
    return !s.empty() && s.size() <= 31 && std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
               c == '.';
    });
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

} // namespace sim
