#include "sim/camera/TftpClient.h"

#include "sim/camera/FirmwareImage.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

enum : uint16_t { OpRrq = 1, OpData = 3, OpAck = 4, OpError = 5 };
constexpr size_t blockSize = 512;

uint16_t be16(const uint8_t *p)
{
    return uint16_t(p[0] << 8 | p[1]);
}

void put16(std::vector<uint8_t> &out, uint16_t v)
{
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

std::vector<uint8_t> ack(uint16_t block)
{
    std::vector<uint8_t> p;
    put16(p, OpAck);
    put16(p, block);
    return p;
}

std::vector<uint8_t> error(uint16_t code, const std::string &message)
{
    std::vector<uint8_t> p;
    put16(p, OpError);
    put16(p, code);
    p.insert(p.end(), message.begin(), message.end());
    p.push_back(0);
    return p;
}

// An ERROR's message as a log line may show it: printable, and not without end.
std::string messageOf(const uint8_t *data, size_t size)
{
    std::string text;
    for (size_t i = 4; i < size && data[i] && text.size() < 100; ++i)
        text += data[i] >= ' ' && data[i] < 0x7f ? char(data[i]) : '?';
    return text;
}

} // namespace

TftpClient::TftpClient(const TftpSource &source, const TftpTiming &timing, const TftpFaults &faults)
    : m_source(source)
    , m_timing(timing)
    , m_faults(faults)
{
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

TftpClient::~TftpClient()
{
    if (m_wake >= 0)
        ::close(m_wake);
}

void TftpClient::cancel()
{
    m_cancelled.store(true);
    const uint64_t one = 1;
    if (m_wake >= 0) {
        const ssize_t n = ::write(m_wake, &one, sizeof one);
        (void)n;
    }
}

// The one way out: a virtual camera's network is the loopback.
bool TftpClient::sendTo(const Peer &to, const std::vector<uint8_t> &packet)
{
    if (to.address >> 24 != 127 || to.port == 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(to.address);
    address.sin_port = htons(to.port);
    return ::sendto(m_socket, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr *>(&address),
                    sizeof address) == ssize_t(packet.size());
}

bool TftpClient::fetch(std::vector<uint8_t> &file, std::string &why)
{
    file.clear();
    m_phase = Phase::Asking;
    const Peer server{m_source.address, m_source.port};
    if (server.address >> 24 != 127) {
        why = "the server is not on the loopback; nothing sent";
        return false;
    }
    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_socket < 0 || m_wake < 0 || ::bind(m_socket, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
        why = std::string("no UDP socket on 127.0.0.1: ") + std::strerror(errno);
        if (m_socket >= 0)
            ::close(m_socket);
        m_socket = -1;
        return false;
    }

    std::vector<uint8_t> request;
    put16(request, OpRrq);
    request.insert(request.end(), m_source.file.begin(), m_source.file.end());
    request.push_back(0);
    for (char c : std::string("octet"))
        request.push_back(uint8_t(c));
    request.push_back(0);

    Step step = Step::Continue;
    Clock::time_point due = Clock::now(); // of the next request, or of the silence limit
    uint8_t buffer[1500];
    while (step == Step::Continue) {
        if (m_cancelled.load()) {
            why = "cancelled";
            step = Step::Failed;
            break;
        }
        Clock::time_point now = Clock::now();
        if (now >= due) {
            if (m_phase.load() == Phase::Asking) {
                // The first request, then one a second for waitSeconds.
                if (m_requests.load() > uint32_t(m_timing.waitSeconds)) {
                    why = "no answer from " + m_source.server() + " in " + std::to_string(m_timing.waitSeconds) + " s";
                    step = Step::Failed;
                    break;
                }
                sendTo(server, request);
                ++m_requests;
            } else {
                step = onSilence(why);
                if (step != Step::Continue)
                    break;
            }
            due = now + m_timing.retry;
        }
        pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_wake, POLLIN, 0}};
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now).count();
        // A pending socket error is read (and so cleared) like a datagram.
        if (::poll(fds, 2, int(std::max<long long>(0, wait))) <= 0 || !(fds[0].revents & (POLLIN | POLLERR)))
            continue;
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t n =
            ::recvfrom(m_socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from), &fromSize);
        if (n < 0 || from.sin_family != AF_INET)
            continue;
        bool tookBlock = false;
        step = onDatagram(Peer{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)}, buffer, size_t(n), file, tookBlock,
                          why);
        if (tookBlock) // the silence counts from the newest block; stray datagrams do not put it off
            due = Clock::now() + m_timing.retry;
    }
    ::close(m_socket);
    m_socket = -1;
    if (step != Step::Done)
        file.clear();
    return step == Step::Done;
}

TftpClient::Step TftpClient::onSilence(std::string &why)
{
    if (m_ackRepeats >= m_timing.maxAckRepeats) {
        why = "the server sent nothing after block " + std::to_string(m_blocks.load());
        return Step::Failed;
    }
    ++m_ackRepeats;
    sendTo(m_peer, m_lastAck);
    return Step::Continue;
}

TftpClient::Step TftpClient::onDatagram(const Peer &from, const uint8_t *data, size_t size, std::vector<uint8_t> &file,
                                        bool &tookBlock, std::string &why)
{
    if (size < 4)
        return Step::Continue;
    const uint16_t opcode = be16(data);
    const bool receiving = m_phase.load() == Phase::Receiving;
    if (receiving && !(from == m_peer)) {
        // Someone else's transfer: told so, and never answered an ERROR (they would bounce).
        if (opcode != OpError)
            sendTo(from, error(5, "Unknown transfer ID"));
        return Step::Continue;
    }
    if (opcode == OpError) {
        why = "the server answered error " + std::to_string(be16(data + 2)) + " '" + messageOf(data, size) + "'";
        return Step::Failed;
    }
    if (opcode != OpData || size > 4 + blockSize)
        return Step::Continue;
    const uint16_t block = be16(data + 2);
    if (!receiving && block != 1)
        return Step::Continue;
    if (m_faults.dropEvery > 0 && ++m_dataSeen % uint64_t(m_faults.dropEvery) == 0) {
        ++m_dropped;
        return Step::Continue;
    }
    if (!receiving) {
        // Its first DATA names the server's transfer port.
        m_peer = from;
        m_phase = Phase::Receiving;
    }
    if (block == uint16_t(m_next - 1) && !m_lastAck.empty()) { // our ACK went missing: the server sent it again
        sendTo(m_peer, m_lastAck);
        return Step::Continue;
    }
    if (block != m_next)
        return Step::Continue;
    const size_t payload = size - 4;
    if (file.size() + payload > firmwareMaxSize) {
        sendTo(m_peer, error(3, "Disk full or allocation exceeded"));
        why = "the file is larger than a firmware image can be (256 MiB)";
        return Step::Failed;
    }
    file.insert(file.end(), data + 4, data + size);
    m_lastAck = ack(block);
    sendTo(m_peer, m_lastAck);
    ++m_next;
    ++m_blocks;
    m_ackRepeats = 0;
    tookBlock = true;
    if (payload < blockSize)
        return Step::Done;
    if (m_faults.stallAfterBlocks > 0 && m_blocks.load() >= uint64_t(m_faults.stallAfterBlocks)) {
        why = "stopped answering after " + std::to_string(m_blocks.load()) + " blocks (tftpStallAfterBlocks)";
        return Step::Failed;
    }
    return Step::Continue;
}

} // namespace sim
