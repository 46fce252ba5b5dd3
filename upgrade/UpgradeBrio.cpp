#include "upgrade/UpgradeBrio.h"

#include "ui_UpgradeBrio.h"

#include "camera/Control_Single.h"
#include "shell/AppPaths.h"
#include "shell/MessageBoxes.h"
#include "upgrade/FirmwareChooser.h"
#include "upgrade/UpgradeTexts.h"
#include "upgrade/WindowDrag.h"

#include <QDebug>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QPointer>

#include <atomic>

namespace {

// The dialog that shows the reports. Read and written on the GUI thread only.
QPointer<UpgradeBrio> &currentDialog()
{
    static QPointer<UpgradeBrio> dialog;
    return dialog;
}

// Lives in the GUI thread from the first dialog on and is never destroyed, so that a report
// from the SDK's thread always has a live receiver; what it delivers to is decided there.
std::atomic<QObject *> reportRelay{nullptr};

} // namespace

UpgradeBrio::UpgradeBrio(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::UpgradeBrio>())
{
    ui->setupUi(this); // joins on_pushButton_Firemware_clicked by name
    WindowDrag::makeFramelessModal(this);
    ui->pushButton_Close->setIcon(QIcon(QStringLiteral(":/DepthStudio/Resources/dialog_close.png")));
    ui->pushButton_Firemware->setIcon(QIcon(QStringLiteral(":/DepthStudio/Resources/file_open.png")));
    hide();

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("label_Status"));
    m_status->setGeometry(80, 180, 460, 20);

    if (!reportRelay.load(std::memory_order_acquire))
        reportRelay.store(new QObject, std::memory_order_release); // kept until the process ends
    currentDialog() = this;

    connect(ui->pushButton_Close, &QPushButton::clicked, this, &UpgradeBrio::slotBNClose_Clicked);
    connect(ui->pushButton_Cancel, &QPushButton::clicked, this, &UpgradeBrio::slotBNClose_Clicked);
    connect(ui->pushButton_Update, &QPushButton::clicked, this, &UpgradeBrio::slotBNUpdate_Clicked);
}

UpgradeBrio::~UpgradeBrio() = default; // the current-dialog pointer clears itself

int UpgradeBrio::exec()
{
    ui->progressBar->setValue(0);
    ui->pushButton_Update->setEnabled(true);
    return QDialog::exec();
}

void UpgradeBrio::statusCallback(int32_t stage, int32_t value)
{
    const QString text = UpgradeTexts::stage(stage, value);
    const int progress = UpgradeTexts::progressOf(stage, value);
    qDebug() << text;
    QObject *relay = reportRelay.load(std::memory_order_acquire);
    if (!relay)
        return; // no dialog was ever built: the log is all
    QMetaObject::invokeMethod(
        relay,
        [text, progress] {
            if (UpgradeBrio *dialog = currentDialog())
                dialog->showReport(text, progress);
        },
        Qt::QueuedConnection);
}

UpgradeBrio::FilePicker UpgradeBrio::setFilePicker(FilePicker picker)
{
    return FirmwareChooser::setPicker(std::move(picker));
}

void UpgradeBrio::slotBNClose_Clicked()
{
    close();
}

void UpgradeBrio::slotBNUpdate_Clicked()
{
    if (m_firmwarePath.isEmpty()) {
        MessageBoxes::warning(this, QStringLiteral("Warning"), QStringLiteral("Firmware is empty!"), QMessageBox::Ok);
        return;
    }
    Control_Single *camera = Control_Single::getInstance();
    QString text;
    if (camera->SetUpgradeStatusCallback(&UpgradeBrio::statusCallback) != 0) {
        text = QStringLiteral("Callback error, retry");
    } else {
        // The SDK opens the file by this name: the local 8-bit form, as every file name here.
        const QByteArray path = QFile::encodeName(m_firmwarePath);
        text = UpgradeTexts::startResult(camera->StartUpgradeFirmWare(path.constData()));
    }
    qDebug() << text;
    m_status->setText(text);
}

void UpgradeBrio::on_pushButton_Firemware_clicked()
{
    const QString folder =
        AppPaths::appDir() + QStringLiteral("//Upgrade") + QStringLiteral("/") + QStringLiteral("Upgrade");
    const QString chosen = FirmwareChooser::choose(this, folder);
    if (!chosen.isEmpty())
        m_firmwarePath = chosen;
    ui->lineEdit_Firmware->setText(m_firmwarePath);
}

void UpgradeBrio::showReport(const QString &text, int progress)
{
    m_status->setText(text);
    if (progress >= 0)
        ui->progressBar->setValue(progress);
}

void UpgradeBrio::paintEvent(QPaintEvent *) {}
