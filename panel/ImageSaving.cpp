#include "panel/ImageSaving.h"

#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "panel/SaveFolders.h"
#include "pipeline/DisplaySwitches.h"
#include "shell/AppPaths.h"

#include <QDateTime>

namespace ImageSaving {

void start(bool continuous)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    const bool brio = Control_Single::getInstance()->getDeviceType() == Brio;
    const QString stamp = SaveFolders::stampOf(QDateTime::currentDateTime());
    sw.requestSave(SaveFolders::prepare(AppPaths::appDir(), stamp, SaveFolders::fromSwitches(brio)), continuous);
}

void stop()
{
    DisplaySwitches::instance().stopSave();
}

std::optional<Abandoned> abandon()
{
    bool continuous = false;
    int written = 0;
    if (!DisplaySwitches::instance().abandonSave(continuous, written))
        return std::nullopt;
    return Abandoned{continuous, lostCameraText(continuous, written)};
}

QString lostCameraText(bool continuous, int written)
{
    if (!continuous)
        return QStringLiteral("Save failed: the camera was lost before a frame set arrived");
    return QStringLiteral("Save stopped: the camera was lost\n%1 %2 written")
        .arg(written)
        .arg(written == 1 ? QStringLiteral("set") : QStringLiteral("sets"));
}

} // namespace ImageSaving
