#include "upgrade/UpgradeLibrary.h"

#include <QDebug>
#include <QLibrary>

namespace {

// Calls visit(name, slot) for every entry point, in the order the library is searched; stops at
// the first visit that answers false. True when every visit did.
template <typename Visit> bool eachEntry(UpgradeLibrary::Entries &e, Visit visit)
{
#define LUMIDESK_RK_ENTRY(name) visit(#name, e.name)
    return LUMIDESK_RK_ENTRY(RK_InitializeW) && LUMIDESK_RK_ENTRY(RK_ScanDeviceW) &&
           LUMIDESK_RK_ENTRY(RKD_DownloadBoot_W) && LUMIDESK_RK_ENTRY(RKD_ReadLBA_W) &&
           LUMIDESK_RK_ENTRY(RKD_WriteLBA_W) && LUMIDESK_RK_ENTRY(RK_SetFirmwareW) && LUMIDESK_RK_ENTRY(RK_UpgradeW) &&
           LUMIDESK_RK_ENTRY(RK_UnlockDeviceW) && LUMIDESK_RK_ENTRY(RK_Uninitialize) &&
           LUMIDESK_RK_ENTRY(RK_WaitDevice) && LUMIDESK_RK_ENTRY(RK_EraseFlash) &&
           LUMIDESK_RK_ENTRY(RK_ReadCustomData) && LUMIDESK_RK_ENTRY(RK_WriteCustomData) &&
           LUMIDESK_RK_ENTRY(RK_ReadSN) && LUMIDESK_RK_ENTRY(RK_WriteSN) && LUMIDESK_RK_ENTRY(RK_ReadMAC) &&
           LUMIDESK_RK_ENTRY(RK_WriteMAC) && LUMIDESK_RK_ENTRY(RK_ReadWifi) && LUMIDESK_RK_ENTRY(RK_WriteWifi) &&
           LUMIDESK_RK_ENTRY(RK_ReadBT) && LUMIDESK_RK_ENTRY(RK_WriteBT) && LUMIDESK_RK_ENTRY(RK_ClearAllInfo) &&
           LUMIDESK_RK_ENTRY(RK_ResetRockusb);
#undef LUMIDESK_RK_ENTRY
}

} // namespace

std::unique_ptr<UpgradeLibrary> UpgradeLibrary::load(const QString &path)
{
    auto module = std::make_unique<QLibrary>(path);
    if (!module->load()) {
        qWarning() << "UpgradeLibrary: cannot load" << path << module->errorString();
        return nullptr;
    }
    Entries entries;
    const char *missing = nullptr;
    const bool complete = eachEntry(entries, [&](const char *name, auto &slot) {
        slot = reinterpret_cast<std::decay_t<decltype(slot)>>(module->resolve(name));
        if (!slot)
            missing = name;
        return slot != nullptr;
    });
    if (!complete) {
        qWarning() << "UpgradeLibrary:" << path << "has no entry point" << missing;
        module->unload();
        return nullptr;
    }
    return std::unique_ptr<UpgradeLibrary>(new UpgradeLibrary(std::move(module), entries));
}

UpgradeLibrary::UpgradeLibrary(const Entries &entries)
    : UpgradeLibrary(nullptr, entries)
{}

UpgradeLibrary::UpgradeLibrary(std::unique_ptr<QLibrary> module, const Entries &entries)
    : m_module(std::move(module))
    , m_entries(entries)
    , m_path(m_module ? m_module->fileName() : QString())
{}

UpgradeLibrary::~UpgradeLibrary()
{
    if (m_initialised)
        m_entries.RK_Uninitialize();
    if (m_module)
        m_module->unload();
}

bool UpgradeLibrary::initialize(const QString &logDir)
{
    RKInitParams params{};
    params.word[6] = 30;
    params.word[7] = 30;
    const int result =
        m_entries.RK_InitializeW(params, 1, reinterpret_cast<const char16_t *>(logDir.utf16()), nullptr, nullptr);
    m_initialised = result != 0;
    if (!m_initialised)
        qWarning() << "UpgradeLibrary: RK_InitializeW refused, log folder" << logDir;
    return m_initialised;
}
