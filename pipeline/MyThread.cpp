#include "MyThread.h"

#include "Control_Single.h"
#include "DisplaySwitches.h"
#include "FrameConvert.h"
#include "PipelineStats.h"

#include <QFile>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr int wdrDataMode = 11;
constexpr int lastSaveIndex = 99999999;

} // namespace

MyThread::MyThread(QObject *parent)
    : QThread(parent)
{
}

MyThread::~MyThread()
{
    requestStop();
    wait();
}

void MyThread::startReading()
{
    m_deviceType = Control_Single::getInstance()->getDeviceType();
    m_freshStart = true;
    m_readingEnabled = true;
}

void MyThread::stopReading()
{
    m_readingEnabled = false;
    // Wait for a cycle in progress: once this returns, the reader touches no frame of the
    // camera, which may then be closed.
    std::lock_guard<std::mutex> guard(m_frameLock);
}

bool MyThread::takeFrames(bool wantDepth, cv::Mat &depth, bool wantIr, cv::Mat &ir, bool wantRgb, cv::Mat &rgb,
                          bool wantMappedRgb, cv::Mat &mappedRgb, bool wantMappedDepth, cv::Mat &mappedDepth,
                          bool wantMappedIr, cv::Mat &mappedIr)
{
    std::lock_guard<std::mutex> guard(m_frameLock);
    if (!m_framesReady)
        return false;
    const auto give = [](bool want, const cv::Mat &from, cv::Mat &to) {
        if (want)
            from.copyTo(to);
    };
    give(wantDepth, m_depthCopy, depth);
    give(wantIr, m_irCopy, ir);
    give(wantRgb, m_rgbCopy, rgb);
    give(wantMappedRgb, m_mappedRgbCopy, mappedRgb);
    give(wantMappedDepth, m_mappedDepthCopy, mappedDepth);
    give(wantMappedIr, m_mappedIrCopy, mappedIr);
    m_framesReady = false;
    return true;
}

void MyThread::run()
{
    for (;;) {
        if (m_stopRequested) {
            emit sglclose();
            return;
        }
        if (!m_readingEnabled) {
            msleep(100);
            continue;
        }
        if (m_freshStart.exchange(false))
            m_linkWatch.reset();
        FrameReadyFlags flags = 0;
        const SdkStatus status = Control_Single::getInstance()->ReadNext(&flags);
        if (m_linkWatch.lostAfter(status, LinkWatch::Clock::now())) {
            m_readingEnabled = false; // a dead handle is not asked again
            emit cameraLost(status);
            continue;
        }
        if (status != 0) {
            msleep(5);
            continue;
        }
        readCycle(flags);
        PipelineStats::count(PipelineStats::FrameSetsRead);
    }
}

bool MyThread::fetch(int kind, int cvType, cv::Mat &view, cv::Mat &copy, SdkFrame &frame)
{
    std::memset(&frame, 0, sizeof frame);
    m_lastStatus = Control_Single::getInstance()->GetFrame(FrameKind(kind), &frame);
    if (m_lastStatus != 0 || !frame.frameData)
        return false;
    // A record whose size does not fit its buffer is not read.
    const size_t bytes = size_t(frame.width) * frame.height * CV_ELEM_SIZE(cvType);
    if (bytes == 0 || (frame.dataSize != 0 && frame.dataSize < bytes))
        return false;
    view = cv::Mat(frame.height, frame.width, cvType, frame.frameData);
    view.copyTo(copy);
    return true;
}

void MyThread::readCycle(uint32_t ready)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    std::lock_guard<std::mutex> guard(m_frameLock);
    if (!m_readingEnabled)
        return; // stopped between the read and the lock
    Fetched got;
    SdkFrame frame;
    SdkFrame depthFrame{};

    if ((sw.showMappedRgb || sw.pointCloudRgb) && (ready & mappedRGBReady))
        got.mappedRgb = fetch(MappedRGBFrame, CV_8UC3, m_mappedRgb, m_mappedRgbCopy, frame);
    if (sw.showMappedDepth && (ready & mappedDepthReady))
        got.mappedDepth = fetch(MappedDepthFrame, CV_16UC1, m_mappedDepth, m_mappedDepthCopy, frame);
    if (sw.showMappedIr && (ready & mappedIRReady))
        got.mappedIr = fetch(MappedIRFrame, CV_16UC1, m_mappedIr, m_mappedIrCopy, frame);
    if (sw.appliedDataMode == wdrDataMode && sw.wdrStyle == 0) {
        if (ready & wdrDepthReady)
            got.wdrDepth = fetch(WDRDepthFrame, CV_16UC1, m_depth, m_depthCopy, depthFrame);
    } else if (ready & depthReady) {
        got.depth = fetch(DepthFrame, CV_16UC1, m_depth, m_depthCopy, depthFrame);
    }
    if (sw.showIr && (ready & irReady))
        got.ir = fetch(IRFrame, CV_16UC1, m_ir, m_irCopy, frame);
    if (sw.showRgb && (ready & rgbReady))
        got.rgb = fetch(RGBFrame, CV_8UC3, m_rgb, m_rgbCopy, frame);

    if (sw.saveState.loadAcquire() == 1) {
        // Failures count per saving cycle: one left over from an earlier request (a
        // continuous run stopped by the panel) must not spoil the next report.
        sw.clearSaveFailures();
        const SaveTarget target = sw.saveTarget();
        if (saveImages(got, target)) {
            if (sw.continuousSave) {
                const int next = sw.saveIndex + 1;
                sw.saveIndex = next > lastSaveIndex ? 0 : next;
            } else {
                // Only from a depth frame of this cycle: a record left over from an earlier
                // cycle no longer points at valid pixels.
                if (sw.showPointCloud && !m_depth.empty() && depthFrame.frameData)
                    writePointCloud(depthFrame, target);
                sw.saveState.storeRelease(2);
            }
        }
    }

    if (m_lastStatus == 0 && sw.refreshRequest == 2) {
        emit RefreshRGB();
        sw.refreshRequest = 0;
    }
    m_framesReady = true;
}

bool MyThread::writeImage(const cv::Mat &image, const QString &dir, bool jpeg)
{
    if (image.empty())
        return false;
    const int index = DisplaySwitches::instance().saveIndex;
    const QString path = FrameConvert::saveFileName(dir, index, jpeg ? QStringLiteral("jpg") : QStringLiteral("png"));
    const std::vector<int> params = jpeg ? std::vector<int>{cv::IMWRITE_JPEG_QUALITY, 100}
                                         : std::vector<int>{cv::IMWRITE_PNG_COMPRESSION, 0};
    bool written = false;
    try {
        if (image.type() == CV_8UC3) {
            // Files hold B, G, R; convert a copy rather than the SDK's buffer.
            cv::Mat bgr;
            cv::cvtColor(image, bgr, cv::COLOR_RGB2BGR);
            written = cv::imwrite(QFile::encodeName(path).toStdString(), bgr, params);
        } else {
            written = cv::imwrite(QFile::encodeName(path).toStdString(), image, params);
        }
    } catch (const cv::Exception &) {
        written = false;
    }
    if (!written)
        DisplaySwitches::instance().setFirstSaveFailure(path);
    return true; // a file was due: the set counts as saved even when the write failed
}

bool MyThread::saveImages(const Fetched &got, const SaveTarget &target)
{
    const DisplaySwitches &sw = DisplaySwitches::instance();
    bool saved = false;
    const auto save = [&](bool fetched, const cv::Mat &image, const QString &dir, bool jpeg) {
        if (fetched && writeImage(image, dir, jpeg))
            saved = true;
    };
    if (m_deviceType == DeviceTypeCode::Brio) {
        // This model delivers its depth and IR registered to the colour image.
        if (got.rgb && got.mappedIr && got.mappedDepth) {
            save(true, m_mappedDepth, target.dirMappedDepth, false);
            save(true, m_mappedIr, target.dirMappedIr, false);
            save(true, m_rgb, target.dirRgb, true);
        } else if (!sw.showMappedDepth && !sw.showMappedIr && got.rgb) {
            save(true, m_rgb, target.dirRgb, true);
        }
        return saved;
    }
    save(got.mappedRgb, m_mappedRgb, target.dirMappedRgb, false);
    save(got.mappedDepth, m_mappedDepth, target.dirMappedDepth, false);
    save(got.mappedIr, m_mappedIr, target.dirMappedIr, false);
    save(got.depth, m_depth, target.dirDepth, false);
    save(got.wdrDepth, m_depth, target.dirWdrDepth, false);
    save(got.rgb, m_rgb, target.dirRgb, true);
    save(got.ir, m_ir, target.dirIr, false);
    return saved;
}

void MyThread::writePointCloud(SdkFrame &depthFrame, const SaveTarget &target)
{
    const QString path = QStringLiteral("%1/PointCloud_%2.txt").arg(target.rootDir, target.stamp);
    const size_t count = size_t(depthFrame.width) * depthFrame.height;
    std::unique_ptr<WorldPoint[]> points(new WorldPoint[count]());
    if (Control_Single::getInstance()->convertDepthToWorld(&depthFrame, points.get()) != 0) {
        DisplaySwitches::instance().setFirstSaveFailure(path);
        return;
    }
    std::string text;
    text.reserve(count * 16);
    for (size_t i = 0; i < count; ++i) {
        const WorldPoint &p = points[i];
        if (p.z != 0.0f && p.z != 65535.0f)
            FrameConvert::appendPointLine(text, p.x, p.y, p.z);
    }
    std::FILE *file = std::fopen(QFile::encodeName(path).constData(), "wb");
    const bool written = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file && std::fclose(file) != 0)
        DisplaySwitches::instance().setFirstSaveFailure(path);
    else if (!written)
        DisplaySwitches::instance().setFirstSaveFailure(path);
}
