#include "devices/DeviceList.h"

#include "camera/Control_Single.h"
#include "camera/DeviceModels.h"
#include "shell/MessageBoxes.h"
#include "ui_DeviceList.h"

#include <QDebug>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int connectDelayMs = 10; // lets "connecting ..." paint before the blocking open
constexpr int returnWatchMs = 1000;

} // namespace

DeviceList::DeviceList(QWidget *parent, int scanDelayMs)
    : QWidget(parent)
    , ui(std::make_unique<Ui::DeviceList>())
    , m_scanDelayMs(scanDelayMs)
    , m_returnWatch(new QTimer(this))
{
    ui->setupUi(this);
    ui->label->setText(QStringLiteral("scaning ..."));
    ui->btn_Stop->setEnabled(false);
    ui->btn_Start->setEnabled(false);
    ui->btn_Sync->setEnabled(false);
    m_uri.clear();
    scheduleScan();

    connect(ui->btn_Start, &QPushButton::clicked, this, &DeviceList::slotToStart);
    connect(ui->btn_Stop, &QPushButton::clicked, this, &DeviceList::slotToStop);
    connect(ui->btn_Sync, &QPushButton::clicked, this, &DeviceList::slotToSync);

    if (Control_Single::getInstance()->initializeSDK() != 0)
        MessageBoxes::information(nullptr, QStringLiteral("Init Error"), QStringLiteral("Not find Camera!"),
                                  QMessageBox::Yes, QMessageBox::Yes);

    ui->treeWidget->setColumnCount(1);
    ui->treeWidget->setHeaderHidden(true);
    connect(ui->treeWidget, &QTreeWidget::itemClicked, this, &DeviceList::itemClick);
    connect(ui->treeWidget, &QTreeWidget::itemDoubleClicked, this, &DeviceList::itemDoubleClick);
    ui->treeWidget->setContextMenuPolicy(Qt::CustomContextMenu);

    m_returnWatch->setInterval(returnWatchMs);
    connect(m_returnWatch, &QTimer::timeout, this, &DeviceList::reopenWhenBack);
}

DeviceList::~DeviceList()
{
    (void)Control_Single::getInstance()->shutdownSDK();
}

void DeviceList::scheduleScan()
{
    QTimer::singleShot(m_scanDelayMs, this, &DeviceList::SlotTimeOut);
    m_scanning = true;
}

void DeviceList::showListState()
{
    ui->label->setText(ui->treeWidget->topLevelItemCount() > 0 ? QStringLiteral("select one device")
                                                               : QStringLiteral("no device, scan again"));
}

void DeviceList::SlotTimeOut()
{
    if (m_scanning) {
        const std::vector<SdkDeviceInfo> cameras = Control_Single::getInstance()->getDeviceList();
        if (!cameras.empty()) {
            ui->treeWidget->clear();
            for (const SdkDeviceInfo &info : cameras) {
                qDebug() << info.deviceType;
                if (!DeviceModels::modelRowText(info.deviceType).isEmpty())
                    qDebug() << uriOf(info);
            }
            for (const DeviceModels::Group &group : DeviceModels::groupCameras(cameras)) {
                auto *top = new QTreeWidgetItem(ui->treeWidget, QStringList(group.title));
                for (const QString &camera : group.cameras)
                    new QTreeWidgetItem(top, QStringList(camera));
            }
            ui->treeWidget->expandAll();
        }
    }
    ui->btn_Sync->setEnabled(true);
    m_scanning = false;
    showListState();
}

void DeviceList::slotToSync()
{
    ui->treeWidget->setEnabled(true);
    if (m_scanning) {
        // Cancel: the pending timer still fires, but finds nothing to do.
        showListState();
        m_scanning = false;
        return;
    }
    ui->label->setText(QStringLiteral("scaning ..."));
    scheduleScan();
}

void DeviceList::itemClick(QTreeWidgetItem *item, int column)
{
    if (!item || !item->parent())
        return;
    m_uri = item->text(column);
    qDebug() << m_uri;
    if (!ui->btn_Start->isEnabled())
        ui->btn_Start->setEnabled(true);
    ui->label->setText(QStringLiteral("selected:%1").arg(m_uri));
}

void DeviceList::itemDoubleClick(QTreeWidgetItem *item, int column)
{
    if (!item || !item->parent())
        return;
    m_uri = item->text(column);
    qDebug() << m_uri;
    ui->label->setText(QStringLiteral("selected:%1").arg(m_uri));
    ui->btn_Start->setEnabled(false);
    ui->treeWidget->setEnabled(false);
    slotToStart();
}

void DeviceList::slotToStart()
{
    if (m_uri.isEmpty())
        return;
    ui->label->setText(QStringLiteral("connecting ..."));
    QTimer::singleShot(connectDelayMs, this, &DeviceList::slotOutTimer);
}

void DeviceList::slotOutTimer()
{
    qDebug() << m_uri;
    if (Control_Single::getInstance()->initializeORB(m_uri) != 0) {
        MessageBoxes::information(nullptr, QStringLiteral("Init Error"),
                                  QStringLiteral("Can not open Camera, Please try again"), QMessageBox::Yes);
        return;
    }
    ui->btn_Stop->setEnabled(true);
    ui->btn_Sync->setEnabled(false);
    ui->treeWidget->setEnabled(false);
    ui->btn_Start->setEnabled(false);
    emit sglopenCamera();
    emit sgluri(m_uri);
    repaint();
}

void DeviceList::slotConnected()
{
    ui->btn_Start->setEnabled(false);
    ui->label->setText(QStringLiteral("connected:%1").arg(m_uri));
    repaint();
}

void DeviceList::slotToStop()
{
    if (m_uri.isEmpty())
        return;
    qDebug() << "DeviceList::slotToStop";
    emit sglcloseCamera();
    if (m_lost) { // its handle is closed already; stop waiting for it
        m_lost = false;
        m_returnWatch->stop();
    } else {
        const SdkStatus status = Control_Single::getInstance()->shutdownORB();
        qDebug() << "DeviceList::slotToStop"
                 << "shutdownORB" << status;
    }
    ui->btn_Stop->setEnabled(false);
    ui->btn_Start->setEnabled(false);
    ui->btn_Sync->setEnabled(true);
    ui->treeWidget->setEnabled(false);
    ui->label->setText(QStringLiteral("unconnected:%1").arg(m_uri));
    ui->treeWidget->clear();
    repaint();
}

void DeviceList::slotCameraLost(int status)
{
    if (m_lost || !ui->btn_Stop->isEnabled())
        return; // stopped meanwhile, or already waiting for it
    m_lost = true;
    qDebug() << "DeviceList::slotCameraLost" << m_uri << status;
    emit sglcameraLost();
    const SdkStatus closed = Control_Single::getInstance()->shutdownORB();
    qDebug() << "DeviceList::slotCameraLost"
             << "shutdownORB" << closed;
    ui->label->setText(QStringLiteral("unconnected:%1").arg(m_uri));
    m_returnWatch->start();
    repaint();
}

// The same camera is the one the connection would pick: its uri contains the chosen text.
void DeviceList::reopenWhenBack()
{
    Control_Single *camera = Control_Single::getInstance();
    const std::vector<SdkDeviceInfo> listed = camera->getDeviceList();
    const bool back = std::any_of(listed.begin(), listed.end(),
                                  [this](const SdkDeviceInfo &info) { return uriOf(info).contains(m_uri); });
    if (!back || camera->initializeORB(m_uri) != 0)
        return; // try again at the next tick
    m_lost = false;
    m_returnWatch->stop();
    qDebug() << "DeviceList::reopenWhenBack" << m_uri;
    emit sglreopenCamera();
    emit sgluri(m_uri);
    repaint();
}
