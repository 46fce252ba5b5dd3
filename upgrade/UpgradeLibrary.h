#pragma once

#include "upgrade/rkusb/RKUpgradeApi.h"

#include <QString>

#include <memory>

class QLibrary;

// The USB flashing library, loaded at run time by path. It counts as loaded only when every
// one of its 23 entry points is there; a library that lacks one is unloaded again, so no
// half-working vendor build is ever called.
class UpgradeLibrary
{
public:
    // One pointer per entry point, in the order they are looked up.
    struct Entries
    {
        RK_InitializeW_t RK_InitializeW = nullptr;
        RK_ScanDeviceW_t RK_ScanDeviceW = nullptr;
        RKD_DownloadBoot_W_t RKD_DownloadBoot_W = nullptr;
        RKD_ReadLBA_W_t RKD_ReadLBA_W = nullptr;
        RKD_WriteLBA_W_t RKD_WriteLBA_W = nullptr;
        RK_SetFirmwareW_t RK_SetFirmwareW = nullptr;
        RK_UpgradeW_t RK_UpgradeW = nullptr;
        RK_UnlockDeviceW_t RK_UnlockDeviceW = nullptr;
        RK_Uninitialize_t RK_Uninitialize = nullptr;
        RK_WaitDevice_t RK_WaitDevice = nullptr;
        RK_EraseFlash_t RK_EraseFlash = nullptr;
        RK_ReadCustomData_t RK_ReadCustomData = nullptr;
        RK_WriteCustomData_t RK_WriteCustomData = nullptr;
        RK_ReadSN_t RK_ReadSN = nullptr;
        RK_WriteSN_t RK_WriteSN = nullptr;
        RK_ReadMAC_t RK_ReadMAC = nullptr;
        RK_WriteMAC_t RK_WriteMAC = nullptr;
        RK_ReadWifi_t RK_ReadWifi = nullptr;
        RK_WriteWifi_t RK_WriteWifi = nullptr;
        RK_ReadBT_t RK_ReadBT = nullptr;
        RK_WriteBT_t RK_WriteBT = nullptr;
        RK_ClearAllInfo_t RK_ClearAllInfo = nullptr;
        RK_ResetRockusb_t RK_ResetRockusb = nullptr;
    };

    // The library at path with all its entry points; null (and the reason logged) when it
    // cannot be loaded or lacks one.
    static std::unique_ptr<UpgradeLibrary> load(const QString &path);

    // Entry points that live elsewhere (a test's own); at least those the worker calls, with
    // RK_InitializeW and RK_Uninitialize.
    explicit UpgradeLibrary(const Entries &entries);
    // Uninitialises the library when it was initialised, then unloads it.
    ~UpgradeLibrary();
    UpgradeLibrary(const UpgradeLibrary &) = delete;
    UpgradeLibrary &operator=(const UpgradeLibrary &) = delete;

    // RK_InitializeW with the program's record, logging into logDir. True when it took it.
    bool initialize(const QString &logDir);
    bool initialised() const { return m_initialised; }

    const Entries &entries() const { return m_entries; }
    QString path() const { return m_path; }

private:
    UpgradeLibrary(std::unique_ptr<QLibrary> module, const Entries &entries);

    std::unique_ptr<QLibrary> m_module; // none for entries supplied from outside
    Entries m_entries;
    QString m_path;
    bool m_initialised = false;
};
