#pragma once

#include "sim/camera/TftpSource.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct TftpTiming
{
    std::chrono::milliseconds retry{1000}; // between read requests; silence before an ACK goes again
    int waitSeconds = 60;                  // read requests go out for this long while no server answers
    int maxAckRepeats = 5;                 // while receiving: the last ACK again, then it gives up
};

struct TftpFaults
{
    long dropEvery = 0;        // every Nth DATA received is ignored, so the server sends it again
    long stallAfterBlocks = 0; // after N blocks the camera answers nothing more
};

// A camera's TFTP read client (RFC 1350: octet mode, 512-byte blocks, lock-step ACKs) on a UDP
// socket bound to 127.0.0.1. It sends to nothing beyond the loopback, whatever it is given.
class TftpClient
{
public:
    enum class Phase { Asking, Receiving }; // the last one stays when fetch() returns

    TftpClient(const TftpSource &source, const TftpTiming &timing, const TftpFaults &faults);
    ~TftpClient();
    TftpClient(const TftpClient &) = delete;
    TftpClient &operator=(const TftpClient &) = delete;

    // Blocks until the file is received, fails, or cancel(). why says what went wrong.
    bool fetch(std::vector<uint8_t> &file, std::string &why);
    // From any thread: fetch() returns at once.
    void cancel();
    bool cancelled() const { return m_cancelled.load(); }

    // For anyone watching, from any thread.
    Phase phase() const { return m_phase.load(); }
    uint32_t requests() const { return m_requests.load(); }
    uint32_t blocks() const { return m_blocks.load(); }
    uint32_t dropped() const { return m_dropped.load(); }

private:
    struct Peer
    {
        uint32_t address = 0;
        uint16_t port = 0;
        bool operator==(const Peer &o) const { return address == o.address && port == o.port; }
    };
    enum class Step { Continue, Done, Failed };

    bool sendTo(const Peer &to, const std::vector<uint8_t> &packet);
    Step onDatagram(const Peer &from, const uint8_t *data, size_t size, std::vector<uint8_t> &file, bool &tookBlock,
                    std::string &why);
    Step onSilence(std::string &why);

    TftpSource m_source;
    TftpTiming m_timing;
    TftpFaults m_faults;
    int m_socket = -1;
    int m_wake = -1;
    std::atomic<bool> m_cancelled{false};
    std::atomic<Phase> m_phase{Phase::Asking};
    std::atomic<uint32_t> m_requests{0}, m_blocks{0}, m_dropped{0};

    // The transfer, on the fetching thread only.
    Peer m_peer;         // the server's transfer port, once its first DATA came
    uint16_t m_next = 1; // the block awaited; wraps from 65535 to 0
    std::vector<uint8_t> m_lastAck;
    int m_ackRepeats = 0;
    uint64_t m_dataSeen = 0;
};

} // namespace sim
