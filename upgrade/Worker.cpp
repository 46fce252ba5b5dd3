#include "upgrade/Worker.h"

#include "upgrade/FirmwareWriter.h"
#include "upgrade/LoaderSectors.h"
#include "upgrade/UpgradeLibrary.h"

#include <QDebug>

#include <algorithm>
#include <iterator>
#include <thread>

namespace {

// The record's path up to its NUL; a record without one ends at its field's end.
std::u16string devicePath(const RKDeviceRecord &record)
{
    const char16_t *end = std::find(std::begin(record.path), std::end(record.path), u'\0');
    return std::u16string(std::begin(record.path), end);
}

const char16_t *utf16(const QString &text)
{
    return reinterpret_cast<const char16_t *>(text.utf16());
}

} // namespace

Worker::Worker(QObject *parent)
    : QObject(parent)
{}

void Worker::setPaths(const QString &firmwarePath, const QString &loaderPath)
{
    m_firmwarePath = firmwarePath;
    m_loaderPath = loaderPath;
}

void Worker::slotUpgrade()
{
    emit sigWorkFinish(upgrade());
}

bool Worker::upgrade()
{
    m_status.clear();
    if (!m_library) {
        report(QStringLiteral("Please init the Upgrade Library!"));
        return false;
    }
    const UpgradeLibrary::Entries &rk = m_library->entries();

    RKDeviceRecord *devices = nullptr;
    const int count = rk.RK_ScanDeviceW(&devices);
    if (count <= 0 || !devices) {
        report(QStringLiteral("No found device!"));
        return false;
    }
    // The array is the library's and lasts until its next scan: the path is copied out.
    const RKDeviceRecord *const first = devices, *const end = devices + count;
    const RKDeviceRecord *target =
        std::find_if(first, end, [](const RKDeviceRecord &d) { return d.mode == RK_DEVICE_MODE_LOADER; });
    if (target == end) {
        report(QStringLiteral("No found device to upgrade!"));
        return false;
    }
    const std::u16string device = devicePath(*target);

    report(QStringLiteral("Download Boot ..."));
    if (const int status = rk.RKD_DownloadBoot_W(device.c_str(), utf16(m_loaderPath)); status != 0) {
        qWarning() << "Worker: RKD_DownloadBoot_W" << m_loaderPath << "answered" << status;
        report(QStringLiteral("Download Boot failed!"));
        return false;
    }
    report(QStringLiteral("Download Boot ok"));
    std::this_thread::sleep_for(m_bootPause);

    LoaderSectors sectors(*m_library, device);
    FirmwareWriter writer(
        sectors, [this](const QString &text) { report(text); }, [this](int percent) { emit sigProgress(percent); });
    if (!writer.write(m_firmwarePath, 0)) {
        qWarning() << "Worker: firmware" << m_firmwarePath << "not written:" << writer.failure();
        report(QStringLiteral("Download firmware failed!"));
        return false;
    }

    // The device checks the image as it restarts; one it refuses leaves it in its loader, where
    // the user can flash again while the dialog is open. That is no success.
    if (const int status = rk.RK_ResetRockusb(0, 0); status < 0) {
        qWarning() << "Worker: RK_ResetRockusb answered" << status;
        report(QStringLiteral("Reset device failed!"));
        return false;
    }
    report(QStringLiteral("upgrade success!"));
    return true;
}

void Worker::report(const QString &text)
{
    m_status = text;
    emit sigStatus(text);
}
