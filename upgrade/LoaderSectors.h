#pragma once

#include "upgrade/FirmwareWriter.h"

#include <string>

class UpgradeLibrary;

// The sectors of one device in its USB loader, reached through the flashing library by the
// device's path.
class LoaderSectors : public FirmwareWriter::Device
{
public:
    LoaderSectors(const UpgradeLibrary &library, std::u16string path);

    int writeSectors(uint32_t firstSector, uint32_t sectorCount, const uint8_t *data) override;
    int readSectors(uint32_t firstSector, uint32_t sectorCount, uint8_t *buffer) override;

private:
    const UpgradeLibrary &m_library;
    std::u16string m_path;
};
