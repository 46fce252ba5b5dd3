#include "panel/UpgradeEntry.h"

#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "shell/MessageBoxes.h"
#include "upgrade/UpgradeBrio.h"
#include "upgrade/tftpServer.h"

#include <QDebug>
#include <QPointer>

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

// Alta's USB loader path is not built yet: the button says so.
void runLoader(QWidget *parent)
{
    MessageBoxes::information(parent, QStringLiteral("Upgrade"),
                              QStringLiteral("Upgrading this camera through its USB loader is not available yet."));
}

} // namespace

void run(Control_Single &camera, QWidget *parent, const QString &paramsText)
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
        runLoader(parent);
        break;
    default: // Cima and EskeAlias have no button
        break;
    }
}

} // namespace UpgradeEntry
