#include "pipeline/AlgoThread.h"

#include "pipeline/DisplaySwitches.h"
#include "pipeline/MyThread.h"
#include "pipeline/PipelineStats.h"

#include <QDebug>

AlgoThread::AlgoThread(QObject *parent)
    : QThread(parent)
    , m_reader(new MyThread(this))
{
    connect(m_reader, &MyThread::sglclose, this, &AlgoThread::closeOK);
    connect(m_reader, &MyThread::cameraLost, this, &AlgoThread::cameraLost);
}

AlgoThread::~AlgoThread()
{
    shutdown();
}

void AlgoThread::startThreads()
{
    if (!m_reader->isRunning())
        m_reader->start(QThread::InheritPriority);
    if (!isRunning())
        start(QThread::InheritPriority);
}

void AlgoThread::startProcessing()
{
    m_reader->startReading();
    m_running = true;
}

void AlgoThread::stopProcessing()
{
    m_reader->stopReading();
    m_running = false;
}

void AlgoThread::shutdown()
{
    m_stopRequested = true;
    wait();
    m_reader->requestStop();
    m_reader->wait();
}

void AlgoThread::closeOK()
{
    m_reader->requestStop();
    m_reader->wait();
    emit sglclose();
}

bool AlgoThread::getPointCloudFrames(cv::Mat &depth, cv::Mat &ir, cv::Mat &mappedRgb)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_ready)
        return false;
    m_images.cloudDepth.copyTo(depth);
    m_images.cloudIr.copyTo(ir);
    m_images.cloudMappedRgb.copyTo(mappedRgb);
    return true;
}

bool AlgoThread::getDisplayImages(const FrameKinds &kinds, FrameSet &images)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_ready)
        return false;
    m_images.display.copyTo(kinds, images);
    return true;
}

bool AlgoThread::getDisplayImages(bool wantDepth, cv::Mat &depth, bool wantIr, cv::Mat &ir, bool wantRgb, cv::Mat &rgb,
                                  bool wantMappedRgb, cv::Mat &mappedRgb, bool wantMappedDepth, cv::Mat &mappedDepth,
                                  bool wantMappedIr, cv::Mat &mappedIr)
{
    return FrameSet::fillSeparate(
        [this](const FrameKinds &kinds, FrameSet &images) { return getDisplayImages(kinds, images); }, wantDepth, depth,
        wantIr, ir, wantRgb, rgb, wantMappedRgb, mappedRgb, wantMappedDepth, mappedDepth, wantMappedIr, mappedIr);
}

bool AlgoThread::getMeasureRegion(cv::Mat &out, int x, int y, int width, int height)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const cv::Mat &depth = m_images.measureDepth;
    if (!m_ready || depth.empty())
        return false;
    // The window is checked in label pixels but cut in image pixels: keep the part that
    // lies inside the image.
    const cv::Rect region = cv::Rect(x, y, width, height) & cv::Rect(0, 0, depth.cols, depth.rows);
    if (region.empty())
        return false;
    depth(region).copyTo(out);
    return true;
}

void AlgoThread::run()
{
    qDebug() << "AlgoThread::run" << QThread::currentThreadId();
    while (!m_stopRequested) {
        if (!m_running) {
            msleep(100);
            continue;
        }
        if (!m_reader->takeFrames(FrameKinds::wanted(FrameKinds::Switches::current()), m_input)) {
            msleep(5);
            continue;
        }
        processFrames(m_input);
        PipelineStats::count(PipelineStats::ProcessingCycles);
        msleep(30);
        if (!m_refreshPending.exchange(true)) {
            emit PointCloudUpdateSignal();
            emit sigRefresh();
        }
    }
}

void AlgoThread::processFrames(const RawFrames &frames)
{
    DisplaySwitches &shared = DisplaySwitches::instance();
    std::lock_guard<std::mutex> guard(m_lock);
    CycleSwitches sw = CycleSwitches::fromDisplaySwitches();
    const cv::Point depthMarker = sw.depthMarker;
    const cv::Point irMarker = sw.irMarker;
    m_cycle.run(frames, sw, m_images);
    // Write a marker back only when the cycle moved it, so that a click landing during the
    // cycle is not overwritten with the old position.
    if (sw.depthMarker != depthMarker) {
        shared.depthMarkerX = sw.depthMarker.x;
        shared.depthMarkerY = sw.depthMarker.y;
    }
    if (sw.irMarker != irMarker) {
        shared.irMarkerX = sw.irMarker.x;
        shared.irMarkerY = sw.irMarker.y;
    }
    m_ready = true;
}
