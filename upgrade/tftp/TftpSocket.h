#pragma once

#include "upgrade/tftp/TftpTransfer.h"

#include <sys/types.h>

namespace tftp {

// An IPv4 UDP socket. Move-only; closes its descriptor.
class UdpSocket
{
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(UdpSocket &&other) noexcept;
    UdpSocket &operator=(UdpSocket &&other) noexcept;

    // A new unbound socket; the system picks its port on the first send. Invalid on
    // failure, with errno set.
    static UdpSocket create();

    bool valid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    bool bind(const Endpoint &local);
    Endpoint localEndpoint() const;
    bool sendTo(const Endpoint &to, const uint8_t *data, size_t size);
    // One datagram, cut to capacity; -1 with errno set on failure.
    ssize_t receiveFrom(uint8_t *buffer, size_t capacity, Endpoint &from);

    enum class Wait { Readable, TimedOut, Woken, Failed };
    // Waits up to timeoutMs for a datagram, or until wakeFd (when given) becomes readable.
    Wait waitReadable(int timeoutMs, int wakeFd = -1) const;

private:
    explicit UdpSocket(int fd)
        : m_fd(fd)
    {}
    int m_fd = -1;
};

} // namespace tftp
