#include "pipeline/ImageWidget.h"

#include "pipeline/AlgoThread.h"
#include "pipeline/DisplaySwitches.h"
#include "pipeline/FrameConvert.h"
#include "pipeline/PipelineStats.h"
#include "pipeline/ThrDGLWidget.h"
#include "shell/MessageBoxes.h"
#include "ui_ImageWidget.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

namespace {

QString foldSheet(const char *image)
{
    return QStringLiteral("QPushButton{border-image: url(:/DepthStudio/Resources/%1);}").arg(QLatin1String(image));
}

void setVisibleIfChanged(QWidget *widget, bool visible)
{
    if (widget->isVisible() != visible)
        widget->setVisible(visible);
}

} // namespace

ImageWidget::ImageWidget(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ImageWidget>())
{
    ui->setupUi(this);
    m_depthArea = {ui->widget_depth, ui->depth};
    m_irArea = {ui->widget_ir_2, ui->ir_2};
    m_rgbArea = {ui->widget_rgb, ui->rgb};

    m_processing = new AlgoThread(this);
    connect(m_processing, &AlgoThread::sigRefresh, this, &ImageWidget::ReadFrame);
    connect(m_processing, &AlgoThread::sglclose, this, &ImageWidget::closeOK);
    connect(m_processing, &AlgoThread::cameraLost, this, &ImageWidget::sglCameraLost);

    m_pointCloudView = new ThrDGLWidget;
    ui->horizontalLayout_pointcloud->addWidget(m_pointCloudView);
    for (QObject *object : watchedObjects())
        object->installEventFilter(this);

    DisplaySwitches &sw = DisplaySwitches::instance();
    sw.pointCloudViewWidth = ui->widget_pointcloud->width() - 1;
    sw.pointCloudViewHeight = ui->widget_pointcloud->height() - 1;

    m_leftRightButton = new QPushButton(this);
    m_topBottomButton = new QPushButton(this);
    m_leftRightButton->setObjectName(QStringLiteral("leftRightButton"));
    m_topBottomButton->setObjectName(QStringLiteral("topBottomButton"));
    m_leftRightButton->setStyleSheet(foldSheet("left.png"));
    m_topBottomButton->setStyleSheet(foldSheet("down.png"));
    connect(m_leftRightButton, &QPushButton::clicked, this, &ImageWidget::slotLeftRight);
    connect(m_topBottomButton, &QPushButton::clicked, this, &ImageWidget::slotTopBottom);
    placeFoldButtons();
    m_leftRightButton->hide();
    m_topBottomButton->hide();

    ui->widget_ir->hide();
    ui->widget_ir_2->hide();
    ui->widget_pointcloud->hide();

    if (PipelineStats::enabled()) {
        auto *timer = new QTimer(this);
        auto *clock = new QElapsedTimer;
        clock->start();
        connect(timer, &QTimer::timeout, this, [clock] {
            char text[160];
            qDebug() << PipelineStats::intervalText(clock->restart() / 1000.0, text, int(sizeof text));
        });
        connect(this, &QObject::destroyed, [clock] { delete clock; });
        timer->start(5000);
    }
}

ImageWidget::~ImageWidget()
{
    // The threads read the views' switches; end them before anything else goes.
    m_processing->shutdown();
    delete m_pointCloudView;
}

QList<QObject *> ImageWidget::watchedObjects() const
{
    return {ui->widget_depth, ui->depth,      ui->widget_ir,         ui->ir,          ui->widget_ir_2,
            ui->ir_2,         ui->widget_rgb, ui->widget_pointcloud, m_pointCloudView};
}

void ImageWidget::start()
{
    m_pointCloudView->setSource(m_processing);
    m_processing->startThreads();
}

void ImageWidget::slotopenCamera()
{
    m_leftRightButton->show();
    m_topBottomButton->show();
    m_processing->startProcessing();
}

void ImageWidget::slotcloseCamera()
{
    m_leftRightButton->hide();
    m_topBottomButton->hide();
    m_processing->stopProcessing();
}

void ImageWidget::slotPointCloud(int state)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    if (state == Qt::Checked) {
        ui->widget_pointcloud->show();
        sw.pointCloudActive = 1;
        sw.pointCloudViewWidth = ui->widget_pointcloud->width() - 1;
        sw.pointCloudViewHeight = ui->widget_pointcloud->height() - 1;
        if (!m_cloudConnection)
            m_cloudConnection =
                connect(m_processing, &AlgoThread::PointCloudUpdateSignal, m_pointCloudView, &ThrDGLWidget::updateGL);
        sw.showPointCloud = true;
    } else if (state == Qt::Unchecked) {
        sw.showPointCloud = false;
        disconnect(m_cloudConnection);
        m_cloudConnection = {};
        sw.pointCloudActive = 0;
        ui->widget_pointcloud->hide();
    }
}

void ImageWidget::slotresetCyckeQueue(int window, int period)
{
    std::lock_guard<std::mutex> guard(m_ringLock);
    m_measurement.reset(window, period);
}

void ImageWidget::soltreFlash()
{
    for (Area *area : {&m_depthArea, &m_irArea, &m_rgbArea})
        area->ratioCols = area->ratioRows = 0.0f;
}

void ImageWidget::slotLeftRight()
{
    m_leftRightState = m_leftRightState == 1 ? 0 : 1;
    m_leftRightButton->setStyleSheet(foldSheet(m_leftRightState ? "left.png" : "right.png"));
    emit sglLeftRight(m_leftRightState);
}

void ImageWidget::slotTopBottom()
{
    m_topBottomState = m_topBottomState == 1 ? 0 : 1;
    m_topBottomButton->setStyleSheet(foldSheet(m_topBottomState ? "down.png" : "up.png"));
    emit sglTopBottom(m_topBottomState);
}

void ImageWidget::placeFoldButtons()
{
    m_leftRightButton->setGeometry(0, 0, 14, 22);
    m_topBottomButton->setGeometry(width() - 22, height() - 14, 22, 14);
}

void ImageWidget::ReadFrame()
{
    m_processing->refreshTaken();
    DisplaySwitches &sw = DisplaySwitches::instance();
    placeFoldButtons();
    if (sw.measureOn)
        measure();

    setVisibleIfChanged(ui->widget_pointcloud, sw.showPointCloud);
    setVisibleIfChanged(ui->widget_depth, sw.showDepth || sw.showMappedDepth);
    setVisibleIfChanged(ui->widget_ir_2, sw.showIr || sw.showMappedIr);
    setVisibleIfChanged(ui->widget_rgb, sw.showRgb || sw.showMappedRgb);

    if (sw.showPointCloud) {
        if (sw.pointCloudViewWidth != ui->widget_pointcloud->width()) {
            sw.pointCloudViewWidth = ui->widget_pointcloud->width();
            m_pointCloudView->updateViewSize();
        }
        if (sw.pointCloudViewHeight != ui->widget_pointcloud->height()) {
            sw.pointCloudViewHeight = ui->widget_pointcloud->height();
            m_pointCloudView->updateViewSize();
        }
    }
    if (sw.pointCloudFullScreen)
        return;

    if (!m_processing->getDisplayImages(FrameKinds::wanted(FrameKinds::Switches::current()), m_images))
        return;
    PipelineStats::count(PipelineStats::RefreshesShown);

    // Mapped first, plain last: with both on, the plain image stays visible.
    if (sw.showMappedIr)
        showImage(m_irArea, m_images.mappedIr);
    if (sw.showIr)
        showImage(m_irArea, m_images.ir);
    if (sw.irFullScreen)
        return;
    if (sw.showMappedDepth)
        showImage(m_depthArea, m_images.mappedDepth);
    if (sw.showDepth)
        showImage(m_depthArea, m_images.depth);
    if (sw.depthFullScreen)
        return;
    if (sw.showMappedRgb)
        showImage(m_rgbArea, m_images.mappedRgb);
    if (sw.showRgb)
        showImage(m_rgbArea, m_images.rgb);
    if (sw.rgbFullScreen)
        return;

    // Acquire: the reader publishes its report with the completed state.
    if (sw.saveState.loadAcquire() == 2)
        announceSave();
}

void ImageWidget::announceSave()
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    // Idle before the box: the box's own event loop runs further refreshes.
    sw.saveState = 3;
    const SaveReport report = sw.takeSaveReport();
    if (report.failedPath.isEmpty()) {
        MessageBoxes::information(nullptr, QStringLiteral("Notice"), QStringLiteral("Save success"));
        return;
    }
    // The reader has ended the run; the panel follows before the user reads why.
    if (report.continuous)
        emit sglSaveStopped();
    MessageBoxes::warning(nullptr, QStringLiteral("Warning"), report.failureText());
}

void ImageWidget::showImage(Area &area, const cv::Mat &image)
{
    if (image.empty() || (image.type() != CV_8UC3 && image.type() != CV_8UC1))
        return;
    const QSize areaSize = area.container->size();
    if (areaSize.isEmpty())
        return;
    const float rc = float(image.cols) / areaSize.width();
    const float rr = float(image.rows) / areaSize.height();
    if (rc != area.ratioCols || rr != area.ratioRows) {
        area.ratioCols = rc;
        area.ratioRows = rr;
        area.label->setGeometry(FrameConvert::labelGeometry(areaSize, QSize(image.cols, image.rows)));
    }
    const bool colour = image.channels() == 3;
    const QImage wrapped(image.data, image.cols, image.rows, int(image.step),
                         colour ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    area.label->setPixmap(
        QPixmap::fromImage(wrapped).scaled(area.label->size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

void ImageWidget::measure()
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    if (!sw.secondMarkerOn)
        return;
    std::lock_guard<std::mutex> guard(m_ringLock);
    const int window = m_measurement.window();
    const int h = window / 2;
    cv::Mat region;
    if (!m_processing->getMeasureRegion(region, sw.secondMarkerX - h, sw.secondMarkerY - h, window, window))
        return;
    DepthMeasurement::Result result;
    if (m_measurement.addFrame(region, sw.rangeMaxDepth, result))
        emit sglMeasure(result.mean, result.stdDev, result.percent);
}

void ImageWidget::toggleFullScreen(QWidget *area)
{
    if (area->isFullScreen()) {
        area->setWindowFlags(Qt::SubWindow);
        area->showNormal();
    } else {
        area->setWindowFlags(Qt::Window);
        area->showFullScreen();
    }
}

bool ImageWidget::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseMove)
        return QWidget::eventFilter(watched, event);

    DisplaySwitches &sw = DisplaySwitches::instance();
    const auto *mouse = static_cast<QMouseEvent *>(event);
    const bool left = mouse->buttons() == Qt::LeftButton;
    const bool right = mouse->buttons() == Qt::RightButton;
    const QPoint pos = mouse->pos();
    const auto imagePoint = [&](QLabel *label, const cv::Mat &image) {
        return image.empty() ? cv::Point(0, 0)
                             : FrameConvert::labelToImage(pos, label->size(), QSize(image.cols, image.rows));
    };
    const bool onCloud = watched == ui->widget_pointcloud || watched == m_pointCloudView;

    if (type == QEvent::MouseButtonDblClick && left) {
        if (onCloud) {
            toggleFullScreen(ui->widget_pointcloud);
            sw.pointCloudFullScreen = ui->widget_pointcloud->isFullScreen();
        } else if (watched == ui->widget_rgb) {
            toggleFullScreen(ui->widget_rgb);
            if (sw.showRgb)
                sw.rgbFullScreen = ui->widget_rgb->isFullScreen();
        } else if (watched == ui->widget_ir || watched == ui->widget_ir_2) {
            auto *area = static_cast<QWidget *>(watched);
            toggleFullScreen(area);
            sw.irFullScreen = area->isFullScreen();
        } else if (watched == ui->widget_depth) {
            toggleFullScreen(ui->widget_depth);
            if (sw.showDepth)
                sw.depthFullScreen = ui->widget_depth->isFullScreen();
        }
    } else if (right && onCloud && (type == QEvent::MouseButtonPress || type == QEvent::MouseMove)) {
        sw.panX = pos.x() - ui->widget_pointcloud->width() / 2;
        sw.panY = ui->widget_pointcloud->height() / 2 - pos.y();
    } else if (type == QEvent::MouseButtonPress && right && (watched == ui->ir || watched == ui->ir_2)) {
        const cv::Point p = imagePoint(static_cast<QLabel *>(watched), m_images.ir);
        sw.irMarkerX = p.x;
        sw.irMarkerY = p.y;
    } else if (type == QEvent::MouseButtonPress && right && watched == ui->depth) {
        const cv::Point p = imagePoint(ui->depth, m_images.depth);
        sw.depthMarkerX = p.x;
        sw.depthMarkerY = p.y;
    } else if (type == QEvent::MouseButtonPress && left && watched == ui->depth && sw.measureOn) {
        const cv::Point p = imagePoint(ui->depth, m_images.depth);
        sw.secondMarkerX = p.x;
        sw.secondMarkerY = p.y;
        int half;
        {
            std::lock_guard<std::mutex> guard(m_ringLock);
            half = m_measurement.window() / 2;
        }
        const QSize label = ui->depth->size();
        sw.secondMarkerOn = pos.x() - half > 0 && pos.y() - half > 0 && pos.x() + half < label.width() &&
                            pos.y() + half < label.height();
    }
    return QWidget::eventFilter(watched, event);
}

void ImageWidget::closeOK()
{
    m_processing->shutdown();
    for (QObject *object : watchedObjects())
        object->removeEventFilter(this);
    emit sglclose();
}
