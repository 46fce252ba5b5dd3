// The C entry points of the virtual loader device: each hands its call to the Flasher. Every
// definition is checked against the program's function types, so the two cannot drift apart.

#include "sim/flasher/Flasher.h"

#include "upgrade/rkusb/RKUpgradeApi.h"

#include <type_traits>

using sim::Flasher;

#define RK_EXPORT extern "C" __attribute__((visibility("default")))

RK_EXPORT int RK_InitializeW(RKInitParams, int logEnabled, const char16_t *logDir, void *, void *)
{
    return Flasher::get().initialize(logEnabled, logDir);
}

RK_EXPORT int RK_ScanDeviceW(RKDeviceRecord **devices)
{
    return Flasher::get().scan(devices);
}

RK_EXPORT int RKD_DownloadBoot_W(const char16_t *device, const char16_t *loaderPath)
{
    return Flasher::get().downloadBoot(device, loaderPath);
}

RK_EXPORT int RKD_ReadLBA_W(const char16_t *device, uint32_t firstSector, uint32_t sectorCount, uint8_t *buffer)
{
    return Flasher::get().readLba(device, firstSector, sectorCount, buffer);
}

RK_EXPORT int RKD_WriteLBA_W(const char16_t *device, uint32_t firstSector, uint32_t sectorCount, const uint8_t *data)
{
    return Flasher::get().writeLba(device, firstSector, sectorCount, data);
}

RK_EXPORT int RK_SetFirmwareW(const char16_t *firmwarePath)
{
    return Flasher::get().setFirmware(firmwarePath);
}

RK_EXPORT int RK_UpgradeW(const char16_t *device)
{
    return Flasher::get().upgrade(device);
}

RK_EXPORT int RK_UnlockDeviceW(const char16_t *device)
{
    return Flasher::get().unlock(device);
}

RK_EXPORT int RK_Uninitialize(void)
{
    return Flasher::get().uninitialize();
}

RK_EXPORT int RK_WaitDevice(int timeoutMs)
{
    return Flasher::get().waitDevice(timeoutMs);
}

RK_EXPORT int RK_EraseFlash(void)
{
    return Flasher::get().eraseFlash();
}

RK_EXPORT int RK_ReadCustomData(uint8_t *buffer, int size, int offset)
{
    return Flasher::get().readCustomData(buffer, size, offset);
}

RK_EXPORT int RK_WriteCustomData(const uint8_t *data, int size, int offset)
{
    return Flasher::get().writeCustomData(data, size, offset);
}

RK_EXPORT int RK_ReadSN(char *buffer, int size)
{
    return Flasher::get().readSerialNumber(buffer, size);
}

RK_EXPORT int RK_WriteSN(const char *text, int size)
{
    return Flasher::get().writeSerialNumber(text, size);
}

RK_EXPORT int RK_ReadMAC(uint8_t *buffer, int size)
{
    return Flasher::get().readAddress(Flasher::Address::Mac, buffer, size);
}

RK_EXPORT int RK_WriteMAC(const uint8_t *data, int size)
{
    return Flasher::get().writeAddress(Flasher::Address::Mac, data, size);
}

RK_EXPORT int RK_ReadWifi(uint8_t *buffer, int size)
{
    return Flasher::get().readAddress(Flasher::Address::Wifi, buffer, size);
}

RK_EXPORT int RK_WriteWifi(const uint8_t *data, int size)
{
    return Flasher::get().writeAddress(Flasher::Address::Wifi, data, size);
}

RK_EXPORT int RK_ReadBT(uint8_t *buffer, int size)
{
    return Flasher::get().readAddress(Flasher::Address::Bluetooth, buffer, size);
}

RK_EXPORT int RK_WriteBT(const uint8_t *data, int size)
{
    return Flasher::get().writeAddress(Flasher::Address::Bluetooth, data, size);
}

RK_EXPORT int RK_ClearAllInfo(void)
{
    return Flasher::get().clearInfo();
}

// Reboots every device that runs a boot loader; flags and reserved are not used.
RK_EXPORT int RK_ResetRockusb(int, int)
{
    return Flasher::get().reset();
}

#define RK_SAME_TYPE(name) static_assert(std::is_same_v<decltype(&name), name##_t>, #name " differs from its type")
RK_SAME_TYPE(RK_InitializeW);
RK_SAME_TYPE(RK_ScanDeviceW);
RK_SAME_TYPE(RKD_DownloadBoot_W);
RK_SAME_TYPE(RKD_ReadLBA_W);
RK_SAME_TYPE(RKD_WriteLBA_W);
RK_SAME_TYPE(RK_SetFirmwareW);
RK_SAME_TYPE(RK_UpgradeW);
RK_SAME_TYPE(RK_UnlockDeviceW);
RK_SAME_TYPE(RK_Uninitialize);
RK_SAME_TYPE(RK_WaitDevice);
RK_SAME_TYPE(RK_EraseFlash);
RK_SAME_TYPE(RK_ReadCustomData);
RK_SAME_TYPE(RK_WriteCustomData);
RK_SAME_TYPE(RK_ReadSN);
RK_SAME_TYPE(RK_WriteSN);
RK_SAME_TYPE(RK_ReadMAC);
RK_SAME_TYPE(RK_WriteMAC);
RK_SAME_TYPE(RK_ReadWifi);
RK_SAME_TYPE(RK_WriteWifi);
RK_SAME_TYPE(RK_ReadBT);
RK_SAME_TYPE(RK_WriteBT);
RK_SAME_TYPE(RK_ClearAllInfo);
RK_SAME_TYPE(RK_ResetRockusb);
