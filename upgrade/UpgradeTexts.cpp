#include "upgrade/UpgradeTexts.h"

namespace UpgradeTexts {

namespace {

const QString ok = QStringLiteral("OK");

} // namespace

QString startResult(SdkStatus result)
{
    switch (result) {
    case LX2_OK:
        return QStringLiteral("Upgrade start.");
    case LX2_UPGRADE_SAME_VERSION:
        return QStringLiteral("Upgrade start, but bVer is same.");
    case LX2_E_INVALID_DEVICE:
        return QStringLiteral("Device is invalid.");
    case LX2_E_NULL_POINTER:
        return QStringLiteral("pImgPath is null.");
    case LX2_E_IMAGE_CHECK:
        return QStringLiteral("FirmWare check failed.");
    case LX2_E_PATH_TOO_LONG:
        return QStringLiteral("pImgPath is too long(260).");
    case LX2_E_NO_CALLBACK:
        return QStringLiteral("Please Set UpgradeCallback first .");
    default:
        return QStringLiteral("Upgrade failed. Others errors.");
    }
}

QString stage(int32_t stage, int32_t value)
{
    if (value == -1)
        return QStringLiteral("upgrade failed,wait for the device to reboot");
    switch (stage) {
    case 2:
        return QStringLiteral("DEVICE_PRE_UPGRADE_IMG_COPY status: %1").arg(ok);
    case 3:
        return QStringLiteral("DEVICE_UPGRADE_IMG_CHECK_DOING status : ") + QString::number(value);
    case 4:
        return QStringLiteral("DEVICE_PRE_UPGRADE_IMG_COPY status:%1").arg(ok);
    case 5:
        return QStringLiteral("DEVICE_UPGRADE_UPGRAD_DOING percent:%1%").arg(value);
    case 6:
        return QStringLiteral("DEVICE_UPGRADE_RECHECK_DOING %1").arg(ok);
    case 7:
        return QStringLiteral("DEVICE_UPGRADE_RECHECK_DONE:%1").arg(ok);
    case 8:
        return QStringLiteral("DEVICE_UPGRADE_UPGRAD_DONE:%1,%2")
            .arg(ok, QStringLiteral("wait for the device to reboot"));
    default:
        return QStringLiteral("other stage:%1").arg(stage);
    }
}

int progressOf(int32_t stage, int32_t value)
{
    if (value == -1)
        return -1;
    if (stage == 5)
        return qBound(0, int(value), 100);
    if (stage == 8)
        return 100;
    return -1;
}

} // namespace UpgradeTexts
