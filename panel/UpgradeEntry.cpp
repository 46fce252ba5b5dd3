#include "panel/UpgradeEntry.h"

#include "camera/CameraIdentity.h"
#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "panel/Gb18030.h"
#include "shell/AppPaths.h"
#include "shell/MessageBoxes.h"
#include "upgrade/LoaderFiles.h"
#include "upgrade/UpdateDesc.h"
#include "upgrade/UpgradeBrio.h"
#include "upgrade/tftpServer.h"

#include <QDebug>
#include <QDir>
#include <QPointer>
#include <QThread>

namespace UpgradeEntry {

namespace {

// Created, run and destroyed here; the pointer guards against the parent taking it along.
template <typename Dialog> void runDialog(QWidget *parent)
{
    QPointer<Dialog> dialog = new Dialog(parent);
    dialog->exec();
    delete dialog;
}

// The camera is told where to fetch its image. One that refuses would never ask the server:
// the user is told so and decides whether to open it anyway.
bool handOverToNetworkCamera(Control_Single &camera, QWidget *parent, const QString &paramsText)
{
    const QByteArray text = paramsText.toLatin1();
    const SdkStatus status = camera.setProperty(PropertyTable::UpgradeHandover.id, text.constData(), text.size());
    qDebug() << "UpgradeEntry: upgrade hand-over" << text << "status" << status;
    if (status == LX2_OK)
        return true;
    return MessageBoxes::question(parent, QStringLiteral("Upgrade"),
                                  QStringLiteral("The camera did not take the upgrade hand-over \"%1\" (status %2), "
                                                 "so it may never ask for its image. Open the TFTP server anyway?")
                                      .arg(paramsText)
                                      .arg(status)) == QMessageBox::Yes;
}

// Alta: the camera is handed to its USB loader (work mode 16) and the loader dialog flashes
// it. Once the dialog has been prepared, the program cannot hand a camera over again while it
// runs.
void runLoader(Control_Single &camera, QWidget *parent, const Loader &loader)
{
    UpdateDesc &dialog = loader.dialog;
    if (dialog.isPrepared()) {
        MessageBoxes::information(nullptr, QStringLiteral("Warning"),
                                  QStringLiteral("The current device can not enter into upgraded mode. Please "
                                                 "reconnect the camera and reopen TarvikLumidesk, then try again."),
                                  QMessageBox::Yes);
        return;
    }
    if (MessageBoxes::question(
            parent, Gb18030::decoded("Upgrade"),
            Gb18030::decoded("This will make the camera enter into upgraded mode, are you sure to upgrade?"),
            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;

    const QString flashType = LoaderFiles::flashType(CameraIdentity::flashType(camera));
    dialog.setFlashType(flashType);
    const QString folder = AppPaths::appDir() + QStringLiteral("//Upgrade");
    if (const QString name = LoaderFiles::firstContaining(folder, QStringLiteral("*.bin"), flashType); !name.isEmpty())
        dialog.setLoaderPath(folder + QStringLiteral("//%1").arg(name));
    if (const QString name = LoaderFiles::firstContaining(folder, QStringLiteral("*.img"), flashType); !name.isEmpty())
        dialog.setFirmwarePath(folder + QStringLiteral("//%1").arg(name));

    SdkWorkMode mode{};
    (void)camera.getWorkMode(&mode);
    mode.mode = LX2_WORK_MODE_LOADER;
    const SdkStatus status = camera.setWorkMode(mode);
    qDebug() << "UpgradeEntry: work mode" << mode.mode << "status" << status;
    if (status != LX2_OK) {
        // Otherwise the user would wait for a dialog that never comes.
        MessageBoxes::warning(parent, QStringLiteral("Warning"),
                              QStringLiteral("The camera could not enter its upgrade mode (status %1). Please "
                                             "reconnect the camera and reopen TarvikLumidesk, then try again.")
                                  .arg(status));
        return;
    }
    loader.closeCamera();
    QThread::msleep(100); // the camera on its way to the loader
    dialog.exec();
}

} // namespace

void run(Control_Single &camera, QWidget *parent, const QString &paramsText, const Loader &loader)
{
    switch (camera.getDeviceType()) {
    case Brio:
        runDialog<UpgradeBrio>(parent);
        break;
    case Dune:
    case Eske:
        if (handOverToNetworkCamera(camera, parent, paramsText))
            runDialog<tftpServer>(parent);
        break;
    case Alta:
        runLoader(camera, parent, loader);
        break;
    default: // Cima and EskeAlias have no button
        break;
    }
}

} // namespace UpgradeEntry
