#pragma once

#include "upgrade/TftpUpgradeState.h"

#include <QDialog>
#include <QTimer>

#include <memory>
#include <thread>

namespace Ui {
class tftpServer;
}
namespace tftp {
class TftpDaemon;
}

// The frameless dialog that serves the Upgrade folder over TFTP while a network camera
// fetches its firmware, showing the requested file and the progress.
class tftpServer : public QDialog
{
    Q_OBJECT

public:
    explicit tftpServer(QWidget *parent = nullptr);
    // Stops the server and waits for it and its running transfers.
    ~tftpServer() override;

public slots:
    // Starts the one server of this dialog; a second call does nothing. Always 0.
    int startTftpd();
    // Sets the progress bar. The dialog closes a second after the upgrade's end, which the
    // transfers report themselves: any one transfer's 100 is not that end.
    void showProcess(int value);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void transferStarted(int transfer);
    void transferProgress(int transfer, int percent);
    void transferEnded(int transfer, bool complete);

    std::unique_ptr<Ui::tftpServer> ui;
    std::unique_ptr<tftp::TftpDaemon> m_daemon;
    std::thread m_serverThread;
    bool m_busy = false;
    TftpUpgradeState m_upgrade;
    QTimer m_closeTimer;
};
