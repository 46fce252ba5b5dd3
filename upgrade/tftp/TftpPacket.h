#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// TFTP packets (RFC 1350): all 16-bit fields in network byte order.
namespace tftp {

enum Opcode : uint16_t { OpRrq = 1, OpWrq = 2, OpData = 3, OpAck = 4, OpError = 5 };

enum ErrorCode : uint16_t {
    ErrNotDefined = 0,
    ErrFileNotFound = 1,
    ErrAccessViolation = 2,
    ErrIllegalOperation = 4,
    ErrUnknownTransferId = 5,
};

constexpr size_t blockSize = 512;
constexpr size_t dataHeaderSize = 4;
constexpr size_t maxDataPacket = dataHeaderSize + blockSize;
// A received datagram is read into a buffer of this size; longer ones are cut.
constexpr size_t maxDatagram = 1024;
constexpr size_t maxNameLength = 127;
constexpr size_t maxModeLength = 11;

// The opcode of a datagram; 0 when it is too short to hold one.
uint16_t opcodeOf(const uint8_t *data, size_t size);

struct ReadRequest
{
    std::string name;
    std::string mode; // read and ignored: every file goes out as it is stored
};

// Parses an RRQ (or WRQ) datagram. Returns false when a terminating NUL is missing or the
// name or mode is longer than the server keeps; nothing past size is read. Options after
// the mode are ignored.
bool parseRequest(const uint8_t *data, size_t size, ReadRequest &out);

// The block number of an ACK datagram; false for anything else or a datagram too short.
bool parseAck(const uint8_t *data, size_t size, uint16_t &block);

// The code and message of an ERROR datagram; false when it is too short to hold a code. A
// message without its terminating NUL is taken up to the end of the datagram.
bool parseError(const uint8_t *data, size_t size, uint16_t &code, std::string &message);

// Writes the DATA header in front of the payload; out must hold maxDataPacket bytes.
void writeDataHeader(uint8_t *out, uint16_t block);

std::vector<uint8_t> errorPacket(uint16_t code, const char *message);
std::vector<uint8_t> ackPacket(uint16_t block);
std::vector<uint8_t> requestPacket(uint16_t opcode, const std::string &name, const std::string &mode);

} // namespace tftp
