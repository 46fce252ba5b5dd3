#pragma once

#include <QDialog>
#include <QPoint>

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
    // 100 ends the busy state and closes the dialog a second later.
    void showProcess(int value);

protected:
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    std::unique_ptr<Ui::tftpServer> ui;
    std::unique_ptr<tftp::TftpDaemon> m_daemon;
    std::thread m_serverThread;
    bool m_busy = false;
    QPoint m_dragOffset;
};
