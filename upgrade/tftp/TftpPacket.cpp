#include "upgrade/tftp/TftpPacket.h"

#include <cstring>

namespace tftp {

namespace {

uint16_t read16(const uint8_t *p)
{
    return uint16_t((p[0] << 8) | p[1]);
}

void append16(std::vector<uint8_t> &out, uint16_t value)
{
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value & 0xff));
}

void appendText(std::vector<uint8_t> &out, const std::string &text)
{
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

// The NUL-terminated text starting at pos, if its terminator lies within the datagram
// and the text is at most maxLength bytes long; pos then moves past the terminator.
bool takeText(const uint8_t *data, size_t size, size_t &pos, size_t maxLength, std::string &out)
{
    if (pos >= size)
        return false;
    const void *nul = std::memchr(data + pos, 0, size - pos);
    if (!nul)
        return false;
    const size_t length = size_t(static_cast<const uint8_t *>(nul) - (data + pos));
    if (length > maxLength)
        return false;
    out.assign(reinterpret_cast<const char *>(data + pos), length);
    pos += length + 1;
    return true;
}

} // namespace

uint16_t opcodeOf(const uint8_t *data, size_t size)
{
    return size < 2 ? 0 : read16(data);
}

bool parseRequest(const uint8_t *data, size_t size, ReadRequest &out)
{
    size_t pos = 2;
    return size >= 2 && takeText(data, size, pos, maxNameLength, out.name) &&
           takeText(data, size, pos, maxModeLength, out.mode);
}

bool parseAck(const uint8_t *data, size_t size, uint16_t &block)
{
    if (size < 4 || read16(data) != OpAck)
        return false;
    block = read16(data + 2);
    return true;
}

bool parseError(const uint8_t *data, size_t size, uint16_t &code, std::string &message)
{
    if (size < 4 || read16(data) != OpError)
        return false;
    code = read16(data + 2);
    const auto *text = reinterpret_cast<const char *>(data + 4);
    message.assign(text, strnlen(text, size - 4));
    return true;
}

void writeDataHeader(uint8_t *out, uint16_t block)
{
    out[0] = 0;
    out[1] = OpData;
    out[2] = uint8_t(block >> 8);
    out[3] = uint8_t(block & 0xff);
}

std::vector<uint8_t> errorPacket(uint16_t code, const char *message)
{
    std::vector<uint8_t> out;
    append16(out, OpError);
    append16(out, code);
    appendText(out, message);
    return out;
}

std::vector<uint8_t> ackPacket(uint16_t block)
{
    std::vector<uint8_t> out;
    append16(out, OpAck);
    append16(out, block);
    return out;
}

std::vector<uint8_t> requestPacket(uint16_t opcode, const std::string &name, const std::string &mode)
{
    std::vector<uint8_t> out;
    append16(out, opcode);
    appendText(out, name);
    appendText(out, mode);
    return out;
}

} // namespace tftp
