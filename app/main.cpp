#include "devices/DepthStudio.h"
#include "shell/MessageBoxes.h"
#include "shell/SingleApplication.h"
#include "shell/logMessageHandler.h"

#include <QDebug>
#include <QString>

int main(int argc, char *argv[])
{
    SingleApplication app(argc, argv);
    qInstallMessageHandler(logMessageHandler);

    if (!app.claimSingleInstance()) {
        MessageBoxes::warning(nullptr, QStringLiteral("Waring"), QStringLiteral("The Other Instance is Running!"),
                              QMessageBox::Yes, QMessageBox::Yes);
        return -42;
    }

    qDebug() << QStringLiteral("version  %1").arg(QStringLiteral("2.3.8.3"));

    DepthStudio window;
    window.show();
    return app.exec();
}
