#include "sim/camera/TftpSource.h"

#include <algorithm>

namespace sim {

namespace {

constexpr size_t maxFileName = 127;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool allDigits(const std::string &s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Decimal only, at most `digits` digits, from lo to hi.
bool number(const std::string &s, size_t digits, unsigned long lo, unsigned long hi, unsigned long &out)
{
    if (!allDigits(s) || s.size() > digits)
        return false;
    out = std::stoul(s);
    return out >= lo && out <= hi;
}

// Four decimal parts from 0 to 255.
bool dottedQuad(const std::string &text, uint32_t &address)
{
    uint32_t value = 0;
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t dot = part < 3 ? text.find('.', start) : text.size();
        unsigned long byte = 0;
        if (dot == std::string::npos || !number(text.substr(start, dot - start), 3, 0, 255, byte))
            return false;
        value = value << 8 | uint32_t(byte);
        start = dot + 1;
    }
    address = value;
    return true;
}

// A word of the text as a message may show it.
std::string shown(const std::string &word)
{
    std::string out = word.substr(0, 64);
    for (char &c : out)
        if (c < ' ' || c == 0x7f)
            c = '?';
    return out + (word.size() > 64 ? "..." : "");
}

} // namespace

std::string TftpSource::server() const
{
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xff) + "." +
           std::to_string((address >> 8) & 0xff) + "." + std::to_string(address & 0xff) + ":" + std::to_string(port);
}

bool TftpSource::parseServer(const std::string &text, uint32_t &address, uint16_t &port, std::string &why)
{
    const size_t colon = text.find(':');
    const std::string host = text.substr(0, colon);
    unsigned long p = 69;
    if (colon != std::string::npos && !number(text.substr(colon + 1), 5, 1, 65535, p)) {
        why = "'" + shown(text.substr(colon + 1)) + "' is no port (1 to 65535)";
        return false;
    }
    uint32_t a = 0;
    if (!dottedQuad(host, a)) {
        why = "'" + shown(host) + "' is no dotted IPv4 address (the camera looks up no names)";
        return false;
    }
    if (a >> 24 != 127) {
        why = host + " is not on the loopback (127.0.0.0/8), the only network a virtual camera has";
        return false;
    }
    address = a;
    port = uint16_t(p);
    return true;
}

bool TftpSource::validFile(const std::string &name)
{
    return !name.empty() && name.size() <= maxFileName &&
           std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

bool TftpSource::parseHandover(const std::string &text, const std::string &defaultServer,
                               const std::string &defaultFile, TftpSource &out, std::string &why)
{
    std::string words[3];
    size_t count = 0;
    for (size_t i = 0; i < text.size();) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && !isBlank(text[end]))
            ++end;
        if (count < 3)
            words[count] = text.substr(i, end - i);
        ++count;
        i = end;
    }
    if (count != 0 && count != 2) {
        why = "expected '<address>[:<port>] <file>', or no text for the configured server";
        return false;
    }
    const std::string &serverText = count ? words[0] : defaultServer;
    const std::string &file = count ? words[1] : defaultFile;
    TftpSource source;
    if (!parseServer(serverText, source.address, source.port, why))
        return false;
    if (!validFile(file)) {
        why = "file name '" + shown(file) + "': expected 1 to 127 printable ASCII characters without blanks";
        return false;
    }
    source.file = file;
    out = source;
    return true;
}

} // namespace sim
