#include "sim/camera/BootImage.h"

#include "sim/camera/FirmwareImage.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

constexpr size_t flashTypeField = 8;

} // namespace

std::vector<uint8_t> buildBootImage(int32_t model, const std::string &flashType, const std::vector<uint8_t> &payload)
{
    std::vector<uint8_t> file(bootHeaderSize + payload.size(), 0);
    std::memcpy(file.data(), "QBL1", 4);
    writeLe32(&file[4], uint32_t(model));
    std::memcpy(&file[8], flashType.data(), std::min(flashType.size(), flashTypeField - 1));
    writeLe32(&file[16], uint32_t(payload.size()));
    writeLe32(&file[20], crc32(payload.data(), payload.size()));
    std::copy(payload.begin(), payload.end(), file.begin() + bootHeaderSize);
    return file;
}

bool checkBootImage(const std::string &path, int32_t model, const std::string &flashType, BootImage &image,
                    std::string &why)
{
    std::vector<uint8_t> file;
    if (!readImageFile(path, bootHeaderSize + 1, bootMaxSize, file, why))
        return false;
    if (!checkImageFrame(file, "QBL1", bootHeaderSize, model, "boot loader image", why))
        return false;
    image.model = model;
    const char *type = reinterpret_cast<const char *>(&file[8]);
    image.flashType.assign(type, strnlen(type, flashTypeField));
    image.payloadSize = uint32_t(file.size() - bootHeaderSize);
    if (image.flashType != flashType) {
        why = "built for " + (image.flashType.empty() ? std::string("no") : image.flashType) +
              " flash, the camera has " + flashType;
        return false;
    }
    return true;
}

} // namespace sim
