#include "pipeline/SaveFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace SaveFile {

bool write(const QString &path, const void *data, size_t size)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false; // nothing was created or changed
    const char *next = static_cast<const char *>(data);
    size_t left = size;
    while (left > 0) {
        const ssize_t n = ::write(fd, next, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        next += n;
        left -= size_t(n);
    }
    // Some file systems report a failed write only when the file is closed.
    const bool closed = ::close(fd) == 0;
    if (left == 0 && closed)
        return true;
    ::unlink(name.constData());
    return false;
}

} // namespace SaveFile
