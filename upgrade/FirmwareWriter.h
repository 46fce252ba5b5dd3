#pragma once

#include <QString>

#include <cstdint>
#include <functional>

class QIODevice;

// Writes a firmware image to a loader device sector by sector and reads it back to check it.
// Knows nothing of the flashing library: the device is whatever answers sector writes and
// reads, so the passes run as well against memory as against a camera.
//
// Both passes go in chunks of 16 KiB (32 sectors of 512 bytes); the last chunk is padded with
// zeros to whole sectors. The check pass leaves the first 32 KiB alone: the camera checks the
// image's head itself when it boots.
class FirmwareWriter
{
public:
    // The far end: sectors in, sectors out. Both answer 0 on success.
    class Device
    {
    public:
        virtual ~Device() = default;
        virtual int writeSectors(uint32_t firstSector, uint32_t sectorCount, const uint8_t *data) = 0;
        virtual int readSectors(uint32_t firstSector, uint32_t sectorCount, uint8_t *buffer) = 0;
    };

    enum : int { SectorSize = 512, ChunkSize = 16384, UncheckedSize = 32768 };

    // status: each text to show; progress: the write pass's percentage for the bar.
    using StatusReport = std::function<void(const QString &text)>;
    using ProgressReport = std::function<void(int percent)>;

    FirmwareWriter(Device &device, StatusReport status, ProgressReport progress);

    // Writes and checks the image at path (or already open for reading, seekable) from
    // startSector on. True only when both passes went through; otherwise failure() says why.
    bool write(const QString &path, uint32_t startSector);
    bool write(QIODevice &image, uint32_t startSector);

    QString failure() const { return m_failure; }

    // The percentage shown when position bytes of size have gone, counted in whole KiB. An image
    // under 1 KiB shows 100 once it is all through and 0 before.
    static int percentOf(int64_t position, int64_t size);

private:
    enum class Pass { Write, Check };
    bool runPass(Pass pass, QIODevice &image, int64_t size, uint32_t startSector);
    bool fail(const QString &why);

    Device &m_device;
    StatusReport m_status;
    ProgressReport m_progress;
    QString m_failure;
};
