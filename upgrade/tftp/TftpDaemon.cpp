#include "upgrade/tftp/TftpDaemon.h"

#include "upgrade/tftp/TftpLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace tftp {

namespace {

// The datagrams and log lines of one transfer.
class SocketOutput : public TransferOutput
{
public:
    SocketOutput(UdpSocket &socket, TransferObserver *observer, int transfer)
        : m_socket(socket)
        , m_observer(observer)
        , m_transfer(transfer)
    {}

    void send(const Endpoint &to, const uint8_t *data, size_t size) override { m_socket.sendTo(to, data, size); }
    void log(const char *line) override { logQuiet(line); }
    void progress(int percent) override
    {
        if (m_observer)
            m_observer->progress(m_transfer, percent);
    }

private:
    UdpSocket &m_socket;
    TransferObserver *m_observer;
    int m_transfer;
};

void sendError(UdpSocket &socket, const Endpoint &to, uint16_t code, const char *message)
{
    const auto packet = errorPacket(code, message);
    socket.sendTo(to, packet.data(), packet.size());
}

// An error answer from a socket of its own, for requests that get no transfer.
void replyError(const Endpoint &to, uint16_t code, const char *message)
{
    UdpSocket socket = UdpSocket::create();
    if (socket.valid())
        sendError(socket, to, code, message);
}

std::string addressText(uint32_t address)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xff, (address >> 8) & 0xff,
                  address & 0xff);
    return text;
}

std::atomic<int> transfersStarted{0};

void runTransfer(Transfer &transfer, UdpSocket &socket)
{
    uint8_t buffer[maxDatagram];
    transfer.start(Clock::now());
    while (!transfer.finished()) {
        const Clock::time_point now = Clock::now();
        if (now >= transfer.deadline()) {
            transfer.onTimeout(now);
            continue;
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(transfer.deadline() - now);
        const UdpSocket::Wait result = socket.waitReadable(int(wait.count()));
        if (result == UdpSocket::Wait::Readable) {
            Endpoint from;
            const ssize_t n = socket.receiveFrom(buffer, sizeof buffer, from);
            if (n >= 0)
                transfer.onDatagram(from, buffer, size_t(n), Clock::now());
        } else if (result == UdpSocket::Wait::Failed) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

} // namespace

TftpDaemon::TftpDaemon(DaemonConfig config, TransferObserver *observer)
    : m_config(std::move(config))
    , m_folder(m_config.root)
    , m_observer(observer)
{
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

TftpDaemon::~TftpDaemon()
{
    stop();
    reap(true);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

TftpDaemon::Listen TftpDaemon::open()
{
    m_listen = UdpSocket::create();
    Listen result = Listen::Listening;
    if (!m_listen.valid()) {
        m_error = errno;
        logf("socket() error, errno[%d], info: %s\n", m_error, std::strerror(m_error));
        result = Listen::NoSocket;
    } else {
        const int on = 1;
        if (::setsockopt(m_listen.fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
            logf("setsockopt() error, errno[%d], info: %s\n", errno, std::strerror(errno));
        if (!m_listen.bind(m_config.listen)) {
            m_error = errno;
            logf("bind() error, errno[%d], info: %s\n", m_error, std::strerror(m_error));
            m_listen = UdpSocket();
            result = Listen::CannotBind;
        }
    }
    if (result != Listen::Listening)
        logf("getlistensock error: %d\n", int(result));
    return result;
}

void TftpDaemon::stop()
{
    m_running.store(false);
    const uint64_t one = 1;
    if (m_wakeFd >= 0) {
        const ssize_t n = ::write(m_wakeFd, &one, sizeof one); // async-signal-safe
        (void)n;
    }
}

void TftpDaemon::run()
{
    if (!m_listen.valid())
        return;
    uint8_t buffer[maxDatagram];
    while (true) {
        switch (m_listen.waitReadable(m_config.listenWaitMs, m_wakeFd)) {
        case UdpSocket::Wait::TimedOut:
            logf("server died , restart...\n");
            break;
        case UdpSocket::Wait::Readable: {
            Endpoint from;
            const ssize_t n = m_listen.receiveFrom(buffer, sizeof buffer, from);
            if (n < 0)
                logf("error3\n");
            else
                dispatch(buffer, size_t(n), from);
            break;
        }
        case UdpSocket::Wait::Failed:
            logf("error3\n");
            break;
        case UdpSocket::Wait::Woken:
            break;
        }
        reap(false);
        if (!m_running.load())
            break;
    }
    reap(true);
    m_listen = UdpSocket();
    logFlush();
}

void TftpDaemon::dispatch(const uint8_t *data, size_t size, const Endpoint &from)
{
    switch (opcodeOf(data, size)) {
    case OpRrq: {
        reap(false);
        std::vector<uint8_t> request(data, data + size);
        size_t fromHost = 0;
        for (const Worker &worker : m_workers) {
            if (worker.done.load())
                continue;
            // Retransmitted by a requester that has not seen our first DATA yet.
            if (worker.peer == from && worker.request == request) {
                logf("repeated request from %s:%u\n", addressText(from.address).c_str(), unsigned(from.port));
                return;
            }
            fromHost += worker.peer.address == from.address;
        }
        if (fromHost >= m_config.maxTransfersPerHost) {
            replyError(from, ErrNotDefined, "Too many transfers from this host");
            logf("too many transfers from %s\n", addressText(from.address).c_str());
            return;
        }
        if (m_workers.size() >= m_config.maxTransfers) {
            replyError(from, ErrNotDefined, "Server busy");
            logf("server busy\n");
            return;
        }
        Worker &worker = m_workers.emplace_back();
        worker.peer = from;
        worker.request = std::move(request);
        try {
            worker.thread = std::thread([this, &worker] {
                ::pthread_setname_np(::pthread_self(), "tftp transfer"); // as ps and top show it
                serveRead(worker.request, worker.peer);
                worker.done.store(true);
            });
        } catch (const std::system_error &) {
            m_workers.pop_back();
            replyError(from, ErrNotDefined, "Server busy");
            logf("server busy\n");
        }
        break;
    }
    case OpWrq:
        logf("WRQ\n");
        break;
    default:
        replyError(from, ErrNotDefined, "Unknown error");
        logf("UNKNOWN CMD\n");
        break;
    }
}

void TftpDaemon::reap(bool all)
{
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (all || it->done.load()) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

void TftpDaemon::serveRead(const std::vector<uint8_t> &datagram, const Endpoint &from)
{
    logf("retset\n");
    UdpSocket socket = UdpSocket::create();
    if (!socket.valid()) {
        logf("socket() error, errno[%d], info: %s\n", errno, std::strerror(errno));
        return;
    }
    // Bound to one address, answer from it too.
    if (m_config.listen.address != 0)
        socket.bind(Endpoint{m_config.listen.address, 0});

    ReadRequest request;
    if (!parseRequest(datagram.data(), datagram.size(), request)) {
        logf("illegal request\n");
        sendError(socket, from, ErrIllegalOperation, "Illegal TFTP operation");
        return;
    }
    const TftpFolder::Opened opened = m_folder.open(request.name);
    if (opened.outcome == TftpFolder::Outcome::AccessViolation) {
        logf("access violation: %s\n", printable(request.name).c_str());
        sendError(socket, from, ErrAccessViolation, "Access violation");
        return;
    }
    if (opened.outcome == TftpFolder::Outcome::NotFound) {
        logf("file not exit\n");
        sendError(socket, from, ErrFileNotFound, "Request file is not exist");
        return;
    }

    const int number = ++transfersStarted;
    if (m_observer)
        m_observer->started(number, request.name);
    FileSource file(opened.fd, opened.size);
    SocketOutput output(socket, m_observer, number);
    Transfer transfer(from, file, output, m_config.timing);
    runTransfer(transfer, socket);
    logFlush();
    if (m_observer)
        m_observer->ended(number, transfer.state() == Transfer::State::Complete);
}

} // namespace tftp
