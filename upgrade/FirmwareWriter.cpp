#include "upgrade/FirmwareWriter.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <vector>

FirmwareWriter::FirmwareWriter(Device &device, StatusReport status, ProgressReport progress)
    : m_device(device)
    , m_status(std::move(status))
    , m_progress(std::move(progress))
{}

bool FirmwareWriter::write(const QString &path, uint32_t startSector)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
    return write(file, startSector);
}

bool FirmwareWriter::write(QIODevice &image, uint32_t startSector)
{
    m_failure.clear();
    if (!image.isOpen() || !image.isReadable() || image.isSequential())
        return fail(QStringLiteral("the image cannot be read from its start"));
    const int64_t size = image.size();
    // Nothing a camera could boot from; writing nothing would still end as a success.
    if (size <= 0)
        return fail(QStringLiteral("the image is empty"));
    if (!image.seek(0))
        return fail(QStringLiteral("cannot go to the image's start"));
    if (!runPass(Pass::Write, image, size, startSector))
        return false;
    if (size <= UncheckedSize)
        return true;
    if (!image.seek(UncheckedSize))
        return fail(QStringLiteral("cannot go to byte %1 of the image").arg(UncheckedSize));
    return runPass(Pass::Check, image, size, startSector + UncheckedSize / SectorSize);
}

int FirmwareWriter::percentOf(int64_t position, int64_t size)
{
    const int64_t sizeKiB = size / 1024;
    if (sizeKiB == 0)
        return position >= size ? 100 : 0;
    return int(position / 1024 * 100 / sizeKiB);
}

bool FirmwareWriter::runPass(Pass pass, QIODevice &image, int64_t size, uint32_t startSector)
{
    std::vector<uint8_t> chunk(ChunkSize), readBack(ChunkSize);
    const bool writing = pass == Pass::Write;
    int64_t position = writing ? 0 : UncheckedSize;
    uint32_t sector = startSector;
    int shown = -1;
    while (position < size) {
        std::fill(chunk.begin(), chunk.end(), 0);
        const int length = int(std::min<int64_t>(ChunkSize, size - position));
        const uint32_t sectors = uint32_t((length + SectorSize - 1) / SectorSize);
        if (image.read(reinterpret_cast<char *>(chunk.data()), length) != length)
            return fail(QStringLiteral("short read of the image at byte %1").arg(position));
        if (writing) {
            if (const int status = m_device.writeSectors(sector, sectors, chunk.data()); status != 0)
                return fail(
                    QStringLiteral("writing %1 sectors at %2 failed (%3)").arg(sectors).arg(sector).arg(status));
        } else {
            std::fill(readBack.begin(), readBack.end(), 0);
            if (const int status = m_device.readSectors(sector, sectors, readBack.data()); status != 0)
                return fail(
                    QStringLiteral("reading %1 sectors at %2 failed (%3)").arg(sectors).arg(sector).arg(status));
            if (std::memcmp(chunk.data(), readBack.data(), size_t(length)) != 0)
                return fail(QStringLiteral("sectors %1 to %2 read back differ").arg(sector).arg(sector + sectors - 1));
        }
        position += length;
        sector += sectors;
        const int percent = percentOf(position, size);
        if (percent != shown) {
            shown = percent;
            const QString text =
                writing ? QStringLiteral("write firmware...%1 percent") : QStringLiteral("check firmware...%1 percent");
            m_status(text.arg(percent));
            if (writing)
                m_progress(percent);
        }
    }
    return true;
}

bool FirmwareWriter::fail(const QString &why)
{
    m_failure = why;
    return false;
}
