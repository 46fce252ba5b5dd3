#include "sim/flasher/FlashStore.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr size_t scratchSize = 64 * 1024;

void invert(uint8_t *p, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        word = ~word;
        std::memcpy(p + i, &word, 8);
    }
    for (; i < n; ++i)
        p[i] = uint8_t(~p[i]);
}

bool writeAll(int fd, const uint8_t *p, size_t n, off_t at)
{
    while (n > 0) {
        const ssize_t done = pwrite(fd, p, n, at);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        p += done;
        n -= size_t(done);
        at += done;
    }
    return true;
}

// A store cut short by someone else reads as erased beyond its end.
bool readAll(int fd, uint8_t *p, size_t n, off_t at)
{
    while (n > 0) {
        const ssize_t done = pread(fd, p, n, at);
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0)
            return false;
        if (done == 0) {
            std::memset(p, 0, n);
            return true;
        }
        p += done;
        n -= size_t(done);
        at += done;
    }
    return true;
}

} // namespace

FlashStore::~FlashStore()
{
    close();
}

bool FlashStore::open(const std::string &path, uint64_t size, std::string &why)
{
    close();
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    struct stat info
    {
    };
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        (uint64_t(info.st_size) != size && ftruncate(fd, off_t(size)) != 0)) {
        why = path + ": " + (fd >= 0 && !S_ISREG(info.st_mode) ? "not a regular file" : std::strerror(errno));
        close();
        return false;
    }
    capacity = size;
    scratch.resize(scratchSize);
    return true;
}

void FlashStore::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool FlashStore::write(uint64_t first, uint64_t count, const uint8_t *data, int64_t flipSector)
{
    const size_t perPiece = scratchSize / sectorSize;
    for (uint64_t done = 0; done < count;) {
        const size_t n = size_t(std::min<uint64_t>(perPiece, count - done));
        const size_t bytes = n * sectorSize;
        std::memcpy(scratch.data(), data + done * sectorSize, bytes);
        invert(scratch.data(), bytes);
        const uint64_t sector = first + done;
        if (flipSector >= 0 && uint64_t(flipSector) >= sector && uint64_t(flipSector) < sector + n)
            scratch[(uint64_t(flipSector) - sector) * sectorSize] ^= 0x01;
        if (!writeAll(fd, scratch.data(), bytes, off_t(sector * sectorSize)))
            return false;
        done += n;
    }
    return true;
}

bool FlashStore::read(uint64_t first, uint64_t count, uint8_t *buffer)
{
    const size_t bytes = size_t(count * sectorSize);
    if (!readAll(fd, buffer, bytes, off_t(first * sectorSize)))
        return false;
    invert(buffer, bytes);
    return true;
}

bool FlashStore::readBytes(uint64_t offset, size_t size, std::vector<uint8_t> &out)
{
    out.resize(size);
    if (!readAll(fd, out.data(), size, off_t(offset)))
        return false;
    invert(out.data(), size);
    return true;
}

bool FlashStore::erase()
{
    // Holes read as erased flash.
    return ftruncate(fd, 0) == 0 && ftruncate(fd, off_t(capacity)) == 0;
}

} // namespace sim
