#pragma once

#include "upgrade/tftp/TftpPacket.h"

#include <array>
#include <chrono>
#include <cstdint>

namespace tftp {

using Clock = std::chrono::steady_clock;

// An IPv4 address and UDP port, both in host byte order.
struct Endpoint
{
    uint32_t address = 0;
    uint16_t port = 0;

    friend bool operator==(const Endpoint &a, const Endpoint &b) { return a.address == b.address && a.port == b.port; }
    friend bool operator!=(const Endpoint &a, const Endpoint &b) { return !(a == b); }
};

// The bytes of the file being served, read front to back.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    // The size when the file was opened; the transfer sends exactly this many bytes.
    virtual uint64_t size() const = 0;
    // Up to max bytes; 0 at the end; -1 with errno set on failure.
    virtual long read(uint8_t *out, size_t max) = 0;
};

// Where a transfer's effects go.
class TransferOutput
{
public:
    virtual ~TransferOutput() = default;
    virtual void send(const Endpoint &to, const uint8_t *data, size_t size) = 0;
    virtual void log(const char *line) = 0;
    // Percent of the file sent; 100 only once the last block is acknowledged.
    virtual void progress(int percent) = 0;
};

struct TransferTiming
{
    std::chrono::milliseconds retransmitAfter{3000};
    // Time-outs survived in a whole transfer, not per block.
    int maxRetransmissions = 5;
};

// One read transfer in lock-step: DATA k goes out, and only the ACK for k moves on to k+1.
// An ERROR from the requester ends it at once; so does a file that no longer has the size
// it was opened with (the requester is told).
// Knows nothing of sockets or clocks; the caller feeds it datagrams, time-outs and the time.
class Transfer
{
public:
    enum class State { Idle, AwaitingAck, Complete, Failed };

    Transfer(const Endpoint &peer, ByteSource &file, TransferOutput &out, TransferTiming timing = {});

    void start(Clock::time_point now);
    void onDatagram(const Endpoint &from, const uint8_t *data, size_t size, Clock::time_point now);
    // Call when the deadline has passed without the awaited ACK.
    void onTimeout(Clock::time_point now);

    State state() const { return m_state; }
    bool finished() const { return m_state == State::Complete || m_state == State::Failed; }
    // When the outstanding block is sent again; counted from its last send, so stray
    // datagrams do not postpone it.
    Clock::time_point deadline() const { return m_deadline; }
    uint16_t block() const { return m_block; }

private:
    void sendNewBlock(Clock::time_point now);
    void transmit(Clock::time_point now);
    void readFailed();
    void fileChanged(uint64_t size);
    void fail(uint16_t code, const char *message);
    void logf(const char *format, ...) __attribute__((format(printf, 2, 3)));

    Endpoint m_peer;
    ByteSource &m_file;
    TransferOutput &m_out;
    TransferTiming m_timing;
    State m_state = State::Idle;
    uint16_t m_block = 1; // wraps from 65535 to 0
    bool m_anyAcked = false;
    bool m_last = false;
    int m_retransmissions = 0;
    uint64_t m_bytesSent = 0;
    Clock::time_point m_deadline{};
    std::array<uint8_t, maxDataPacket> m_packet{};
    size_t m_packetSize = 0;
};

} // namespace tftp
