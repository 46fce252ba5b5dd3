#pragma once

#include "camera/sdk/quillon_types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Firmware image file: a 32-byte header, then the payload.
//   0  "QFW1"               magic
//   4  u32 model code       the camera model the image is built for (LX2_MODEL_...)
//   8  char[16] version     NUL-padded
//  24  u32 payload size     the file is exactly 32 + payload size bytes, payload at least 1 byte
//  28  u32 CRC-32           IEEE CRC-32 of the payload
// All numbers little-endian.
struct FirmwareImage
{
    int32_t model = 0;
    std::string version;
    uint32_t payloadSize = 0;
};

constexpr size_t firmwareHeaderSize = 32;
constexpr size_t firmwareMaxSize = 256u << 20;

uint32_t crc32(const uint8_t *data, size_t size);
uint32_t readLe32(const uint8_t *p);
void writeLe32(uint8_t *p, uint32_t v);
// The whole file when its size is within smallest..largest bytes.
bool readImageFile(const std::string &path, size_t smallest, size_t largest, std::vector<uint8_t> &file,
                   std::string &why);
std::vector<uint8_t> buildFirmwareImage(int32_t model, const std::string &version, const std::vector<uint8_t> &payload);
// The frame firmware images and boot loaders share: a 4-byte magic, the model code at byte 4, the
// payload's size and CRC-32 as the header's last 8 bytes, then exactly that payload. False, with
// the reason, for another kind of file, a wrong size or checksum, or another model.
bool checkImageFrame(const std::vector<uint8_t> &file, const char *magic, size_t headerSize, int32_t model,
                     const char *kind, std::string &why);
// True when the file is a sound image for the model; why says what is wrong otherwise.
bool checkFirmwareImage(const std::string &path, int32_t model, FirmwareImage &image, std::string &why);
// The same for an image already in memory (one fetched over the network).
bool checkFirmwareImage(const std::vector<uint8_t> &file, int32_t model, FirmwareImage &image, std::string &why);

} // namespace sim
