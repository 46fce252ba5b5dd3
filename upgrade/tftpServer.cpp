#include "upgrade/tftpServer.h"

#include "ui_tftpServer.h"

#include "shell/AppPaths.h"
#include "shell/MessageBoxes.h"
#include "shell/ToolSettings.h"
#include "upgrade/WindowDrag.h"
#include "upgrade/tftp/TftpDaemon.h"
#include "upgrade/tftpNotify.h"

#include <QCloseEvent>
#include <QFile>
#include <QStyle>
#include <QTimer>

#include <cstring>

tftpServer::tftpServer(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::tftpServer>())
{
    ui->setupUi(this);
    WindowDrag::makeFramelessModal(this);
    ui->pushButton_Close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    hide();

    connect(ui->pushButton_Close, &QPushButton::clicked, this, &QWidget::close);
    connect(ui->pushButton_Cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(ui->pushButton_Start, &QPushButton::clicked, this, &tftpServer::startTftpd);
    m_closeTimer.setSingleShot(true);
    m_closeTimer.setInterval(1000);
    connect(&m_closeTimer, &QTimer::timeout, this, &QWidget::close);
    // Transfers report from their own threads. The name shown is the newest transfer's.
    const tftpNotify *notify = tftpNotify::instance();
    connect(notify, &tftpNotify::sigFileName, ui->lineEdit_FileName, &QLineEdit::setText, Qt::QueuedConnection);
    connect(notify, &tftpNotify::sigTransferStarted, this, &tftpServer::transferStarted, Qt::QueuedConnection);
    connect(notify, &tftpNotify::sigTransferProgress, this, &tftpServer::transferProgress, Qt::QueuedConnection);
    connect(notify, &tftpNotify::sigTransferEnded, this, &tftpServer::transferEnded, Qt::QueuedConnection);
}

tftpServer::~tftpServer()
{
    if (m_daemon) {
        m_daemon->stop();
        m_serverThread.join();
    }
}

int tftpServer::startTftpd()
{
    if (m_daemon)
        return 0;

    tftp::DaemonConfig config;
    config.root = QFile::encodeName(AppPaths::filePath(QStringLiteral("Upgrade"))).toStdString();
    config.listen.port = uint16_t(ToolSettings::getInstance().tftpPort());
    auto daemon = std::make_unique<tftp::TftpDaemon>(config, tftpNotify::instance());
    if (daemon->open() != tftp::TftpDaemon::Listen::Listening) {
        // Without this the dialog would sit there busy, serving nothing. Start may be
        // pressed again once the port is free.
        MessageBoxes::warning(this, QStringLiteral("Warning"),
                              QStringLiteral("The TFTP server cannot listen on UDP port %1: %2")
                                  .arg(config.listen.port)
                                  .arg(QString::fromLocal8Bit(std::strerror(daemon->lastError()))));
        return 0;
    }
    m_daemon = std::move(daemon);
    m_busy = true;
    m_serverThread = std::thread([daemon = m_daemon.get()] { daemon->run(); });
    return 0;
}

void tftpServer::showProcess(int value)
{
    ui->progressBar->setValue(value);
}

void tftpServer::transferStarted(int transfer)
{
    // The camera fetches again (or another file): not done after all.
    m_upgrade.started(transfer);
    m_closeTimer.stop();
    m_busy = true;
    showProcess(0);
}

void tftpServer::transferProgress(int transfer, int percent)
{
    const int shown = m_upgrade.progress(transfer, percent);
    if (shown >= 0)
        showProcess(shown);
}

void tftpServer::transferEnded(int transfer, bool complete)
{
    if (m_upgrade.ended(transfer, complete)) {
        m_busy = false;
        m_closeTimer.start();
    }
}

void tftpServer::closeEvent(QCloseEvent *event)
{
    if (m_busy && MessageBoxes::question(this, QStringLiteral("Exit"), QStringLiteral("Upgrading, Confirm the exit?"),
                                         QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    event->accept();
}
