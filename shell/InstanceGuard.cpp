#include "shell/InstanceGuard.h"

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

InstanceGuard::InstanceGuard(const QString &key, QObject *parent)
    : QObject(parent)
    , m_key(key)
{}

InstanceGuard::~InstanceGuard()
{
    release();
}

bool InstanceGuard::acquire()
{
    if (m_fd >= 0)
        return true;
    // One token per user, as each desktop session had its own segment on the original system.
    const QByteArray name = m_key.toUtf8() + '.' + QByteArray::number(uint(::getuid()));
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (size_t(name.size()) + 1 > sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path + 1, name.constData(), size_t(name.size())); // sun_path[0] = 0: abstract
    const socklen_t len = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(name.size()));

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&addr), len) != 0) {
        ::close(fd); // EADDRINUSE: another copy holds it; anything else counts the same
        return false;
    }
    m_fd = fd;
    return true;
}

void InstanceGuard::release()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}
