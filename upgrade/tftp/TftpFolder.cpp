#include "upgrade/tftp/TftpFolder.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tftp {

namespace {

constexpr size_t readAhead = 64 * 1024;

bool realPath(const std::string &path, std::string &out)
{
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return false;
    out = resolved;
    std::free(resolved);
    return true;
}

// There, but not ours to read: not to be reported as missing.
TftpFolder::Opened failed(TftpFolder::Opened result)
{
    if (errno == EACCES || errno == EPERM)
        result.outcome = TftpFolder::Outcome::AccessViolation;
    return result;
}

} // namespace

FileSource::FileSource(int fd, uint64_t size)
    : m_fd(fd)
    , m_size(size)
    , m_buffer(readAhead)
{}

FileSource::~FileSource()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

long FileSource::read(uint8_t *out, size_t max)
{
    if (m_begin == m_end) {
        ssize_t n;
        do
            n = ::read(m_fd, m_buffer.data(), m_buffer.size());
        while (n < 0 && errno == EINTR);
        if (n <= 0)
            return long(n);
        m_begin = 0;
        m_end = size_t(n);
    }
    const size_t n = std::min(max, m_end - m_begin);
    std::copy_n(m_buffer.data() + m_begin, n, out);
    m_begin += n;
    return long(n);
}

TftpFolder::TftpFolder(std::string root)
    : m_root(std::move(root))
{}

TftpFolder::Opened TftpFolder::open(const std::string &requested) const
{
    Opened result;
    std::string name = requested;
    std::replace(name.begin(), name.end(), '\\', '/');
    if ((!name.empty() && name.front() == '/') || name.find("..") != std::string::npos) {
        result.outcome = Outcome::AccessViolation;
        return result;
    }

    std::string root;
    std::string path;
    if (!realPath(m_root, root) || !realPath(root + '/' + name, path))
        return failed(result); // no folder, no such file, or a folder we may not look into
    if (path.compare(0, root.size() + 1, root + '/') != 0) {
        result.outcome = path == root ? Outcome::NotFound : Outcome::AccessViolation;
        return result;
    }

    // Non-blocking so that a FIFO cannot stall the open; only regular files are served.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return failed(result);
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return result;
    }
    ::fcntl(fd, F_SETFL, O_RDONLY);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    result.outcome = Outcome::Opened;
    result.fd = fd;
    result.size = uint64_t(info.st_size);
    return result;
}

} // namespace tftp
