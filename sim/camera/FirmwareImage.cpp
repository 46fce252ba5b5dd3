#include "sim/camera/FirmwareImage.h"

#include <cstring>
#include <fstream>

namespace sim {

uint32_t readLe32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void writeLe32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

bool readImageFile(const std::string &path, size_t smallest, size_t largest, std::vector<uint8_t> &file,
                   std::string &why)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "cannot be read";
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0);
    if (size < std::streamoff(smallest) || size > std::streamoff(largest)) {
        why = "size out of range";
        return false;
    }
    file.resize(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char *>(file.data()), size)) {
        why = "cannot be read";
        return false;
    }
    return true;
}

uint32_t crc32(const uint8_t *data, size_t size)
{
    static const auto table = [] {
        std::vector<uint32_t> t(256);
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::vector<uint8_t> buildFirmwareImage(int32_t model, const std::string &version, const std::vector<uint8_t> &payload)
{
    std::vector<uint8_t> file(firmwareHeaderSize + payload.size(), 0);
    std::memcpy(file.data(), "QFW1", 4);
    writeLe32(&file[4], uint32_t(model));
    std::memcpy(&file[8], version.data(), std::min<size_t>(version.size(), 15));
    writeLe32(&file[24], uint32_t(payload.size()));
    writeLe32(&file[28], crc32(payload.data(), payload.size()));
    std::copy(payload.begin(), payload.end(), file.begin() + firmwareHeaderSize);
    return file;
}

bool checkImageFrame(const std::vector<uint8_t> &file, const char *magic, size_t headerSize, int32_t model,
                     const char *kind, std::string &why)
{
    if (file.size() <= headerSize || std::memcmp(file.data(), magic, 4) != 0) {
        why = std::string("not a ") + kind;
        return false;
    }
    const uint32_t payloadSize = readLe32(&file[headerSize - 8]);
    if (payloadSize + headerSize != file.size()) {
        why = "truncated or padded";
        return false;
    }
    if (crc32(&file[headerSize], payloadSize) != readLe32(&file[headerSize - 4])) {
        why = "checksum mismatch";
        return false;
    }
    if (int32_t(readLe32(&file[4])) != model) {
        why = "built for another camera model";
        return false;
    }
    return true;
}

bool checkFirmwareImage(const std::string &path, int32_t model, FirmwareImage &image, std::string &why)
{
    std::vector<uint8_t> file;
    return readImageFile(path, firmwareHeaderSize + 1, firmwareMaxSize, file, why) &&
           checkFirmwareImage(file, model, image, why);
}

bool checkFirmwareImage(const std::vector<uint8_t> &file, int32_t model, FirmwareImage &image, std::string &why)
{
    if (file.size() < firmwareHeaderSize + 1 || file.size() > firmwareMaxSize) {
        why = "size out of range";
        return false;
    }
    if (!checkImageFrame(file, "QFW1", firmwareHeaderSize, model, "firmware image", why))
        return false;
    image.model = model;
    image.version.assign(reinterpret_cast<const char *>(&file[8]),
                         strnlen(reinterpret_cast<const char *>(&file[8]), 16));
    image.payloadSize = uint32_t(file.size() - firmwareHeaderSize);
    if (image.version.empty()) {
        why = "no version";
        return false;
    }
    return true;
}

} // namespace sim
