#pragma once

// The C ABI of the USB flashing library (libRKUpgrade.so, RKUpgrade.dll on Windows). The program
// loads the library at run time by path and looks every entry point up by name; the virtual
// loader device (sim/flasher) implements the same ABI. Wide strings are UTF-16 (char16_t),
// never wchar_t, which is 4 bytes here. Records keep their packing on every platform.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 1)

// Initialisation record: nine 32-bit words. The program passes all 0 except word[6] and word[7],
// which are 30.
typedef struct RKInitParams
{
    uint32_t word[9];
} RKInitParams;

// One device found by RK_ScanDeviceW. The array belongs to the library and stays valid until the
// next scan or RK_Uninitialize.
typedef struct RKDeviceRecord
{
    uint32_t vendorId;
    uint32_t productId;
    char16_t path[262]; // NUL-terminated, "usb-loader:<serial>"
    uint32_t mode;      // 1: the device takes a boot loader and firmware
    uint32_t location;
    uint32_t reserved[1];
} RKDeviceRecord;

#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(RKInitParams) == 36, "init record is nine words");
static_assert(sizeof(RKDeviceRecord) == 544, "device record size");
static_assert(offsetof(RKDeviceRecord, path) == 8, "device path at byte 8");
static_assert(offsetof(RKDeviceRecord, mode) == 532, "mode at byte 532");
#endif

enum { RK_DEVICE_MODE_LOADER = 1, RK_SECTOR_SIZE = 512 };

// Every entry point returns int. Unless stated, 0 is success and a negative value a failure.
// RK_InitializeW returns nonzero on success, RK_ScanDeviceW the number of devices.
typedef int (*RK_InitializeW_t)(RKInitParams params, int logEnabled, const char16_t *logDir, void *progress,
                                void *prompt);
typedef int (*RK_ScanDeviceW_t)(RKDeviceRecord **devices);
typedef int (*RKD_DownloadBoot_W_t)(const char16_t *device, const char16_t *loaderPath);
typedef int (*RKD_ReadLBA_W_t)(const char16_t *device, uint32_t firstSector, uint32_t sectorCount, uint8_t *buffer);
typedef int (*RKD_WriteLBA_W_t)(const char16_t *device, uint32_t firstSector, uint32_t sectorCount,
                                const uint8_t *data);
typedef int (*RK_SetFirmwareW_t)(const char16_t *firmwarePath);
typedef int (*RK_UpgradeW_t)(const char16_t *device);
typedef int (*RK_UnlockDeviceW_t)(const char16_t *device);
typedef int (*RK_Uninitialize_t)(void);
typedef int (*RK_WaitDevice_t)(int timeoutMs);
typedef int (*RK_EraseFlash_t)(void);
typedef int (*RK_ReadCustomData_t)(uint8_t *buffer, int size, int offset);
typedef int (*RK_WriteCustomData_t)(const uint8_t *data, int size, int offset);
typedef int (*RK_ReadSN_t)(char *buffer, int size);
typedef int (*RK_WriteSN_t)(const char *text, int size);
typedef int (*RK_ReadMAC_t)(uint8_t *buffer, int size);
typedef int (*RK_WriteMAC_t)(const uint8_t *data, int size);
typedef int (*RK_ReadWifi_t)(uint8_t *buffer, int size);
typedef int (*RK_WriteWifi_t)(const uint8_t *data, int size);
typedef int (*RK_ReadBT_t)(uint8_t *buffer, int size);
typedef int (*RK_WriteBT_t)(const uint8_t *data, int size);
typedef int (*RK_ClearAllInfo_t)(void);
typedef int (*RK_ResetRockusb_t)(int flags, int reserved);

#ifdef __cplusplus
}
#endif
