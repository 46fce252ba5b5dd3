#pragma once

#include "upgrade/tftp/TftpFolder.h"
#include "upgrade/tftp/TftpSocket.h"

#include <atomic>
#include <list>
#include <string>
#include <thread>
#include <vector>

namespace tftp {

// Told about each transfer of a file, on the transfer's own thread. Several transfers may
// run at once; each has a number of its own, unique in the process.
class TransferObserver
{
public:
    virtual ~TransferObserver() = default;
    virtual void started(int transfer, const std::string &name) = 0;
    // 100 only when the requester has acknowledged the whole file.
    virtual void progress(int transfer, int percent) = 0;
    // complete: the whole file was acknowledged; otherwise it failed or was given up.
    virtual void ended(int transfer, bool complete) = 0;
};

struct DaemonConfig
{
    std::string root;        // the folder files are served from
    Endpoint listen{0, 69};  // address 0: every interface
    int listenWaitMs = 2000; // how often the idle loop looks up
    TransferTiming timing;
    size_t maxTransfers = 16; // running at once; more requests are told the server is busy
    // Running at once for one client address, so that one host cannot take every slot.
    size_t maxTransfersPerHost = 4;
};

// A read-only TFTP server: one listening socket, one thread per read request, each with
// a socket of its own (its transfer identifier). A request repeated by a requester whose
// transfer runs is not served twice: the running transfer's own retransmission answers it.
class TftpDaemon
{
public:
    explicit TftpDaemon(DaemonConfig config, TransferObserver *observer = nullptr);
    // Stops the loop if it still runs; whoever runs run() on another thread must have
    // joined it first.
    ~TftpDaemon();
    TftpDaemon(const TftpDaemon &) = delete;
    TftpDaemon &operator=(const TftpDaemon &) = delete;

    // What opening the listening socket came to; the failures' values are the codes the log
    // line "getlistensock error: %d" shows.
    enum class Listen : int { Listening = 0, NoSocket = -1, CannotBind = -2 };
    // On a failure lastError() holds errno.
    [[nodiscard]] Listen open();
    int lastError() const { return m_error; }
    uint16_t port() const { return m_listen.localEndpoint().port; }

    // Serves until stop(); then waits for the running transfers and closes the socket.
    void run();
    // From any thread, or from a signal handler.
    void stop();

private:
    struct Worker
    {
        std::atomic<bool> done{false};
        Endpoint peer;
        std::vector<uint8_t> request;
        std::thread thread;
    };

    void dispatch(const uint8_t *data, size_t size, const Endpoint &from);
    void serveRead(const std::vector<uint8_t> &datagram, const Endpoint &from);
    void reap(bool all);

    DaemonConfig m_config;
    TftpFolder m_folder;
    TransferObserver *m_observer;
    UdpSocket m_listen;
    int m_wakeFd = -1;
    int m_error = 0;
    std::atomic<bool> m_running{true};
    std::list<Worker> m_workers; // touched by the loop's thread only
};

} // namespace tftp
