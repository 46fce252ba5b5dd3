#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Boot loader image that a camera in its USB loader takes before its flash can be written:
//   0  "QBL1"               magic
//   4  u32 model code       the camera model the loader is built for (LX2_MODEL_...)
//   8  char[8] flash type   "nand" or "nor", NUL-padded
//  16  u32 payload size     the file is exactly 24 + payload size bytes, payload at least 1 byte
//  20  u32 CRC-32           IEEE CRC-32 of the payload
// All numbers little-endian.
struct BootImage
{
    int32_t model = 0;
    std::string flashType;
    uint32_t payloadSize = 0;
};

constexpr size_t bootHeaderSize = 24;
constexpr size_t bootMaxSize = 8u << 20; // a boot loader is a few hundred KiB

std::vector<uint8_t> buildBootImage(int32_t model, const std::string &flashType, const std::vector<uint8_t> &payload);
// True when the file is a sound boot loader for the model and flash type; why says what is
// wrong otherwise.
bool checkBootImage(const std::string &path, int32_t model, const std::string &flashType, BootImage &image,
                    std::string &why);

} // namespace sim
