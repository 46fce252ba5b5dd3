#include "upgrade/LoaderSectors.h"

#include "upgrade/UpgradeLibrary.h"

LoaderSectors::LoaderSectors(const UpgradeLibrary &library, std::u16string path)
    : m_library(library)
    , m_path(std::move(path))
{}

int LoaderSectors::writeSectors(uint32_t firstSector, uint32_t sectorCount, const uint8_t *data)
{
    return m_library.entries().RKD_WriteLBA_W(m_path.c_str(), firstSector, sectorCount, data);
}

int LoaderSectors::readSectors(uint32_t firstSector, uint32_t sectorCount, uint8_t *buffer)
{
    return m_library.entries().RKD_ReadLBA_W(m_path.c_str(), firstSector, sectorCount, buffer);
}
