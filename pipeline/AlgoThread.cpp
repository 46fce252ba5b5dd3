#include "AlgoThread.h"

#include "DisplaySwitches.h"
#include "FrameConvert.h"
#include "MyThread.h"
#include "PipelineStats.h"

#include <QDebug>

#include <opencv2/imgproc.hpp>

using namespace FrameConvert;

AlgoThread::AlgoThread(QObject *parent)
    : QThread(parent)
    , m_reader(new MyThread(this))
{
    connect(m_reader, &MyThread::sglclose, this, &AlgoThread::closeOK);
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
    m_cloudDepth.copyTo(depth);
    m_cloudIr.copyTo(ir);
    m_cloudMappedRgb.copyTo(mappedRgb);
    return true;
}

bool AlgoThread::getDisplayImages(bool wantDepth, cv::Mat &depth, bool wantIr, cv::Mat &ir, bool wantRgb,
                                  cv::Mat &rgb, bool wantMappedRgb, cv::Mat &mappedRgb, bool wantMappedDepth,
                                  cv::Mat &mappedDepth, bool wantMappedIr, cv::Mat &mappedIr)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_ready)
        return false;
    const auto give = [](bool want, const cv::Mat &from, cv::Mat &to) {
        if (want)
            from.copyTo(to);
    };
    give(wantDepth, m_depthImage, depth);
    give(wantIr, m_irImage, ir);
    give(wantRgb, m_rgbImage, rgb);
    give(wantMappedRgb, m_mappedRgbImage, mappedRgb);
    give(wantMappedDepth, m_mappedDepthImage, mappedDepth);
    give(wantMappedIr, m_mappedIrImage, mappedIr);
    return true;
}

bool AlgoThread::getMeasureRegion(cv::Mat &out, int x, int y, int width, int height)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_ready || m_measureDepth.empty())
        return false;
    // The window is checked in label pixels but cut in image pixels: keep the part that
    // lies inside the image.
    const cv::Rect region = cv::Rect(x, y, width, height) & cv::Rect(0, 0, m_measureDepth.cols, m_measureDepth.rows);
    if (region.empty())
        return false;
    m_measureDepth(region).copyTo(out);
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
        const DisplaySwitches &sw = DisplaySwitches::instance();
        const bool cloud = sw.showPointCloud;
        if (!m_reader->takeFrames(sw.showDepth || cloud, m_depth, sw.showIr || cloud, m_ir, sw.showRgb, m_rgb,
                                  sw.showMappedRgb || sw.pointCloudRgb, m_mappedRgb, sw.showMappedDepth,
                                  m_mappedDepth, sw.showMappedIr, m_mappedIr)) {
            msleep(5);
            continue;
        }
        processCycle();
        PipelineStats::count(PipelineStats::ProcessingCycles);
        msleep(30);
        emit PointCloudUpdateSignal();
        emit sigRefresh();
    }
}

void AlgoThread::processCycle()
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    std::lock_guard<std::mutex> guard(m_lock);
    const bool cloud = sw.showPointCloud;
    const int min = sw.colourMapMin;
    const int max = sw.colourMapMax;
    const bool black = sw.blackBackground;

    if (sw.measureOn && !m_depth.empty())
        m_depth.copyTo(m_measureDepth);
    if (cloud) {
        if (!m_depth.empty())
            m_depth.copyTo(m_cloudDepth);
        if (!m_ir.empty())
            m_ir.copyTo(m_cloudIr);
        if (!m_mappedRgb.empty())
            m_mappedRgb.copyTo(m_cloudMappedRgb);
    }

    if ((sw.showDepth || cloud) && !m_depth.empty() && m_depth.type() == CV_16UC1) {
        const cv::Point marker = placedMarker({sw.depthMarkerX, sw.depthMarkerY}, m_depth.size());
        sw.depthMarkerX = marker.x;
        sw.depthMarkerY = marker.y;
        const int value = m_depth.at<uint16_t>(marker);
        cv::Mat image = colourMapDepth(m_depth, min, max, black);
        drawDepthMarker(image, marker, value);
        if (sw.measureOn && sw.secondMarkerOn)
            drawSecondMarker(image, {sw.secondMarkerX, sw.secondMarkerY});
        cv::cvtColor(image, m_depthImage, cv::COLOR_BGR2RGB);
    }
    if ((sw.showIr || cloud) && !m_ir.empty() && m_ir.type() == CV_16UC1) {
        const cv::Point marker = placedMarker({sw.irMarkerX, sw.irMarkerY}, m_ir.size());
        sw.irMarkerX = marker.x;
        sw.irMarkerY = marker.y;
        const int value = m_ir.at<uint16_t>(marker);
        m_irImage = irToGrey(m_ir);
        drawIrMarker(m_irImage, marker, value);
    }
    if (sw.showRgb && !m_rgb.empty())
        m_rgb.copyTo(m_rgbImage);
    if ((sw.showMappedRgb || cloud) && !m_mappedRgb.empty())
        m_mappedRgb.copyTo(m_mappedRgbImage);
    if (sw.showMappedDepth && !m_mappedDepth.empty())
        cv::cvtColor(colourMapDepth(m_mappedDepth, min, max, black), m_mappedDepthImage, cv::COLOR_BGR2RGB);
    if (sw.showMappedIr && !m_mappedIr.empty())
        m_mappedIrImage = irToGrey(m_mappedIr);
    m_ready = true;
}
