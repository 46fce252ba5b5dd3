#include "upgrade/UpdateDesc.h"

#include "ui_UpdateDesc.h"

#include "pipeline/DisplaySwitches.h"
#include "shell/AppPaths.h"
#include "shell/MessageBoxes.h"
#include "upgrade/FirmwareChooser.h"
#include "upgrade/UpgradeLibrary.h"
#include "upgrade/WindowDrag.h"
#include "upgrade/Worker.h"

#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QThread>
#include <QTimer>

namespace {

// The vendor's RKUpgrade.dll, as this platform names a shared library.
const QString libraryFileName = QStringLiteral("libRKUpgrade.so");

} // namespace

UpdateDesc::UpdateDesc(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::UpdateDesc>())
{
    ui->setupUi(this); // joins on_pushButton_Firemware_clicked by name
    WindowDrag::makeFramelessModal(this);
    ui->pushButton_Close->setIcon(QIcon(QStringLiteral(":/DepthStudio/Resources/dialog_close.png")));
    ui->pushButton_Firemware->setIcon(QIcon(QStringLiteral(":/DepthStudio/Resources/file_open.png")));
    ui->progressBar->hide();
    hide();
    connect(ui->pushButton_Close, &QPushButton::clicked, this, &UpdateDesc::slotBNClose_Clicked);
    connect(ui->pushButton_Cancel, &QPushButton::clicked, this, &UpdateDesc::slotBNClose_Clicked);
    connect(ui->pushButton_Update, &QPushButton::clicked, this, &UpdateDesc::slotBNUpdate_Clicked);

    // Images are the user's files: they live with the other data. The library is part of the
    // installation.
    m_upgradeDir = AppPaths::appDir() + QStringLiteral("//Upgrade");
    m_logDir = m_upgradeDir + QStringLiteral("/Log/");
    if (!QDir().mkpath(m_logDir))
        qWarning() << "UpdateDesc: cannot create" << m_logDir;

    m_library = UpgradeLibrary::load(libraryPath());
    if (!m_library)
        return; // said at the start

    m_worker = new Worker;
    m_worker->setLibrary(m_library.get());
    m_thread = new QThread(this);
    connect(this, &UpdateDesc::sigUpgrade, m_worker, &Worker::slotUpgrade);
    connect(m_worker, &Worker::sigStatus, this, &UpdateDesc::slotStatus);
    connect(m_worker, &Worker::sigProgress, this, &UpdateDesc::slotProgress);
    connect(m_worker, &Worker::sigWorkFinish, this, &UpdateDesc::slotWorkFinish);
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    m_worker->moveToThread(m_thread);
    m_thread->start();

    m_library->initialize(m_logDir);
}

UpdateDesc::~UpdateDesc()
{
    stopWorker();
    m_library.reset(); // uninitialises when it was initialised
}

void UpdateDesc::stopWorker()
{
    if (!m_thread)
        return;
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    m_worker = nullptr;
}

QString UpdateDesc::libraryPath()
{
    return AppPaths::installFilePath(QStringLiteral("Upgrade/") + libraryFileName);
}

void UpdateDesc::setFlashType(const QString &type)
{
    m_flashType = type;
    ui->progressBar->show();
    m_prepared = true;
}

void UpdateDesc::setFirmwarePath(const QString &path)
{
    m_firmwarePath = path;
    ui->lineEdit_Firmware->setText(m_firmwarePath);
}

void UpdateDesc::setLoaderPath(const QString &path)
{
    m_loaderPath = path;
}

void UpdateDesc::slotBNClose_Clicked()
{
    close();
}

void UpdateDesc::slotBNUpdate_Clicked()
{
    const auto warn = [this](const char *text) {
        MessageBoxes::warning(this, QStringLiteral("Warning"), QString::fromLatin1(text), QMessageBox::Ok);
    };
    if (m_firmwarePath.isEmpty())
        return warn("Firmware is empty!");
    if (m_loaderPath.isEmpty())
        return warn("Loader is empty!");
    if (!m_library)
        return warn("RKUpgrade did not be loaded!");
    if (!m_library->initialised())
        return warn("Loader did not initialize!");
    if (!m_firmwarePath.contains(m_flashType) || !m_loaderPath.contains(m_flashType))
        return warn("Please check file!");

    m_busy = true;
    ui->progressBar->setValue(0); // a second try starts from nothing
    ui->progressBar->show();
    setControlsEnabled(false);
    m_worker->setPaths(m_firmwarePath, m_loaderPath);
    emit sigUpgrade();
}

void UpdateDesc::on_pushButton_Firemware_clicked()
{
    // Images are looked for in Upgrade/Upgrade; a folder nobody made would leave the dialog
    // wherever it pleases, so then it opens where the entry found the images.
    QString start = m_upgradeDir + QStringLiteral("/") + QStringLiteral("Upgrade");
    if (!QFileInfo(start).isDir())
        start = m_upgradeDir;
    const QString chosen = FirmwareChooser::choose(this, start);
    if (!chosen.isEmpty())
        m_firmwarePath = chosen;
    ui->lineEdit_Firmware->setText(m_firmwarePath);
}

void UpdateDesc::slotStatus(QString info)
{
    showStatus(info);
}

void UpdateDesc::slotProgress(int value)
{
    ui->progressBar->setValue(value);
}

void UpdateDesc::slotWorkFinish(bool status)
{
    setControlsEnabled(true);
    if (!status) {
        // busy stays set: closing now still asks, since the camera is left in its loader.
        showStatus(QStringLiteral("Failed, please make sure installed the driver and try again."));
        return;
    }
    m_busy = false;
    showStatus(QStringLiteral("Success, restart is under way, please wait a moment."));
    ui->progressBar->hide();
    // The frame reader asks the panel for the new device information once the camera is back.
    DisplaySwitches::instance().refreshRequest = 2;
    QTimer::singleShot(1000, this, &UpdateDesc::slotOutTimer);
}

void UpdateDesc::slotOutTimer()
{
    close();
}

void UpdateDesc::showStatus(const QString &text)
{
    qDebug() << "UpdateDesc:" << text;
    ui->label_Status->setText(text);
}

void UpdateDesc::setControlsEnabled(bool enabled)
{
    ui->pushButton_Firemware->setEnabled(enabled);
    ui->pushButton_Update->setEnabled(enabled);
    ui->pushButton_Cancel->setEnabled(enabled);
}

void UpdateDesc::closeEvent(QCloseEvent *event)
{
    if (m_busy && MessageBoxes::question(this, QStringLiteral("Exit"), QStringLiteral("Upgrading, Confirm the exit?"),
                                         QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    event->accept();
}
