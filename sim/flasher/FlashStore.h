#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// The flash of a camera in its USB loader: a file of `capacity` bytes in 512-byte sectors, open
// from the boot loader's download until the device goes. Bytes are stored inverted, so that the
// file's holes read as erased flash (0xFF) and a fresh store costs no disk space.
class FlashStore
{
public:
    static constexpr uint32_t sectorSize = 512;

    FlashStore() = default;
    ~FlashStore();
    FlashStore(const FlashStore &) = delete;
    FlashStore &operator=(const FlashStore &) = delete;

    bool open(const std::string &path, uint64_t capacity, std::string &why);
    void close();
    bool isOpen() const { return fd >= 0; }
    uint64_t sectors() const { return capacity / sectorSize; }

    // Sectors within the store; flipSector (when covered) is stored with its first bit flipped.
    bool write(uint64_t first, uint64_t count, const uint8_t *data, int64_t flipSector);
    bool read(uint64_t first, uint64_t count, uint8_t *buffer);
    bool readBytes(uint64_t offset, size_t size, std::vector<uint8_t> &out);
    bool erase();

private:
    int fd = -1;
    uint64_t capacity = 0;
    std::vector<uint8_t> scratch;
};

} // namespace sim
