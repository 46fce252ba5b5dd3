#include "devices/DepthStudio.h"

#include "chrome/FramelessHelper.h"
#include "chrome/MyTitleBar.h"
#include "devices/DeviceList.h"
#include "panel/CtlWidget.h"
#include "pipeline/AlgoThread.h"
#include "pipeline/ImageWidget.h"
#include "pipeline/MyThread.h"
#include "shell/MessageBoxes.h"
#include "ui_DepthStudio.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>

namespace {

template <typename Layout> void placeInto(QWidget *container, QWidget *child)
{
    auto *layout = new Layout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(child);
}

} // namespace

DepthStudio::DepthStudio(QWidget *parent)
    : titlebarWindow(parent)
    , ui(std::make_unique<Ui::DepthStudio>())
{
    ui->setupUi(this);
    m_titleBar->raise();

    m_frameless = new FramelessHelper(this);
    m_frameless->activateOn(this);
    m_frameless->setTitleHeight(m_titleBar->height());
    m_frameless->setWidgetMovable(true);
    m_frameless->setWidgetResizable(true);

    m_deviceList = new DeviceList(this);
    placeInto<QVBoxLayout>(ui->widget_list, m_deviceList);
    connect(m_deviceList, &DeviceList::sgluri, this, &DepthStudio::sloturi);
    ui->widget_ctl->hide();

    m_imageWidget = new ImageWidget;
    connect(m_imageWidget, &ImageWidget::sglLeftRight, this, &DepthStudio::slotLeftRight);
    connect(m_imageWidget, &ImageWidget::sglTopBottom, this, &DepthStudio::slotTopBottom);
    placeInto<QHBoxLayout>(ui->widget_image, m_imageWidget);

    m_ctlWidget = new CtlWidget;
    connect(m_ctlWidget, &CtlWidget::sglopenCamera, m_imageWidget, &ImageWidget::slotopenCamera);
    connect(m_ctlWidget, &CtlWidget::sglcloseCamera, m_imageWidget, &ImageWidget::slotcloseCamera);
    connect(m_ctlWidget, &CtlWidget::sglPointCloud, m_imageWidget, &ImageWidget::slotPointCloud);
    connect(m_ctlWidget, &CtlWidget::sglresetCyckeQueue, m_imageWidget, &ImageWidget::slotresetCyckeQueue);
    connect(m_ctlWidget, &CtlWidget::sglreFlash, m_imageWidget, &ImageWidget::soltreFlash);
    connect(m_imageWidget, &ImageWidget::sglMeasure, m_ctlWidget, &CtlWidget::slotMeasure);
    connect(m_imageWidget, &ImageWidget::sglSaveStopped, m_ctlWidget, &CtlWidget::slotSaveStopped);
    connect(m_deviceList, &DeviceList::sglopenCamera, m_ctlWidget, &CtlWidget::openCamera);
    connect(m_deviceList, &DeviceList::sglcloseCamera, m_ctlWidget, &CtlWidget::closeCamera);
    // A camera that goes away is shown as lost and reopened when it returns.
    connect(m_imageWidget, &ImageWidget::sglCameraLost, m_deviceList, &DeviceList::slotCameraLost);
    connect(m_deviceList, &DeviceList::sglcameraLost, m_ctlWidget, &CtlWidget::cameraLost);
    connect(m_deviceList, &DeviceList::sglreopenCamera, m_ctlWidget, &CtlWidget::reopenCamera);
    connect(m_ctlWidget, &CtlWidget::sglopenCamera, m_deviceList, &DeviceList::slotConnected);
    connect(m_ctlWidget, &CtlWidget::sglUpgrade, m_deviceList, &DeviceList::slotToStop);
    // Back from a loader upgrade, the camera's first frames bring the panel its new identity.
    connect(m_imageWidget->processing()->reader(), &MyThread::RefreshRGB, m_ctlWidget, &CtlWidget::SlotRefreshRGB);
    placeInto<QHBoxLayout>(ui->widget_ctl, m_ctlWidget);
}

// Only reached when the event loop ends without the close question (tests): the device
// list's destructor then shuts the camera SDK down.
DepthStudio::~DepthStudio() = default;

void DepthStudio::sloturi(QString uri)
{
    if (!uri.isEmpty()) {
        m_imageWidget->start();
        ui->widget_ctl->show();
    }
    repaint();
}

void DepthStudio::slotLeftRight(int value)
{
    ui->widget_list->setVisible(value != 0);
}

void DepthStudio::slotTopBottom(int value)
{
    ui->widget_ctl->setVisible(value != 0);
}

void DepthStudio::closeEvent(QCloseEvent *event)
{
    if (MessageBoxes::question(this, QStringLiteral("Exit"), QStringLiteral("Confirm the exit?"),
                               QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    event->accept();
    // Ends at once from inside the handler: nothing after the event loop in main runs. No
    // static destructors either, which could run while the stack-held application still lives.
    std::fflush(nullptr);
    std::_Exit(0);
}
