#include "upgrade/tftp/TftpSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tftp {

namespace {

sockaddr_in toSockaddr(const Endpoint &endpoint)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(endpoint.address);
    address.sin_port = htons(endpoint.port);
    return address;
}

Endpoint fromSockaddr(const sockaddr_in &address)
{
    return Endpoint{ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
}

} // namespace

UdpSocket::~UdpSocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

UdpSocket::UdpSocket(UdpSocket &&other) noexcept
    : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

UdpSocket &UdpSocket::operator=(UdpSocket &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

UdpSocket UdpSocket::create()
{
    return UdpSocket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
}

bool UdpSocket::bind(const Endpoint &local)
{
    const sockaddr_in address = toSockaddr(local);
    return ::bind(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
}

Endpoint UdpSocket::localEndpoint() const
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return {};
    return fromSockaddr(address);
}

bool UdpSocket::sendTo(const Endpoint &to, const uint8_t *data, size_t size)
{
    const sockaddr_in address = toSockaddr(to);
    ssize_t n;
    do
        n = ::sendto(m_fd, data, size, 0, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    while (n < 0 && errno == EINTR);
    return n == ssize_t(size);
}

ssize_t UdpSocket::receiveFrom(uint8_t *buffer, size_t capacity, Endpoint &from)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ssize_t n;
    do
        n = ::recvfrom(m_fd, buffer, capacity, 0, reinterpret_cast<sockaddr *>(&address), &length);
    while (n < 0 && errno == EINTR);
    if (n >= 0)
        from = fromSockaddr(address);
    return n;
}

UdpSocket::Wait UdpSocket::waitReadable(int timeoutMs, int wakeFd) const
{
    pollfd fds[2] = {{m_fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    int n;
    do // a signal that should stop the wait also wakes wakeFd
        n = ::poll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return Wait::Failed;
    if (n == 0)
        return Wait::TimedOut;
    if (wakeFd >= 0 && fds[1].revents)
        return Wait::Woken;
    return Wait::Readable;
}

} // namespace tftp
