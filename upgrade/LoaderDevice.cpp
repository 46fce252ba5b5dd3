#include "upgrade/LoaderDevice.h"

#include "upgrade/UpgradeLibrary.h"

LoaderDevice::LoaderDevice(const UpgradeLibrary &library, std::u16string path)
    : m_library(library)
    , m_path(std::move(path))
{}

int LoaderDevice::writeSectors(uint32_t firstSector, uint32_t sectorCount, const uint8_t *data)
{
    return m_library.entries().RKD_WriteLBA_W(m_path.c_str(), firstSector, sectorCount, data);
}

int LoaderDevice::readSectors(uint32_t firstSector, uint32_t sectorCount, uint8_t *buffer)
{
    return m_library.entries().RKD_ReadLBA_W(m_path.c_str(), firstSector, sectorCount, buffer);
}
