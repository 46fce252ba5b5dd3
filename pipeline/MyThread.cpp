#include "pipeline/MyThread.h"

#include "camera/Control_Single.h"
#include "pipeline/DisplaySwitches.h"
#include "pipeline/FrameSaver.h"
#include "pipeline/PipelineStats.h"

#include <cstring>

namespace {

constexpr int wdrDataMode = 11;

} // namespace

MyThread::MyThread(QObject *parent)
    : QThread(parent)
{}

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

bool MyThread::takeFrames(const FrameKinds &kinds, FrameSet &frames)
{
    std::lock_guard<std::mutex> guard(m_frameLock);
    if (!m_framesReady)
        return false;
    m_copies.copyTo(kinds, frames);
    m_framesReady = false;
    return true;
}

bool MyThread::takeFrames(bool wantDepth, cv::Mat &depth, bool wantIr, cv::Mat &ir, bool wantRgb, cv::Mat &rgb,
                          bool wantMappedRgb, cv::Mat &mappedRgb, bool wantMappedDepth, cv::Mat &mappedDepth,
                          bool wantMappedIr, cv::Mat &mappedIr)
{
    return FrameSet::fillSeparate(
        [this](const FrameKinds &kinds, FrameSet &frames) { return takeFrames(kinds, frames); }, wantDepth, depth,
        wantIr, ir, wantRgb, rgb, wantMappedRgb, mappedRgb, wantMappedDepth, mappedDepth, wantMappedIr, mappedIr);
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
    // One reading of the view switches serves the whole cycle, saving included.
    const FrameKinds::Switches shown = FrameKinds::Switches::current();
    const FrameKinds kinds = FrameKinds::fetched(shown);
    Fetched got;
    SdkFrame frame;
    SdkFrame depthFrame{};

    if (kinds.mappedRgb && (ready & mappedRGBReady))
        got.mappedRgb = fetch(MappedRGBFrame, CV_8UC3, m_sdk.mappedRgb, m_copies.mappedRgb, frame);
    if (kinds.mappedDepth && (ready & mappedDepthReady))
        got.mappedDepth = fetch(MappedDepthFrame, CV_16UC1, m_sdk.mappedDepth, m_copies.mappedDepth, frame);
    if (kinds.mappedIr && (ready & mappedIRReady))
        got.mappedIr = fetch(MappedIRFrame, CV_16UC1, m_sdk.mappedIr, m_copies.mappedIr, frame);
    if (kinds.depth) {
        if (sw.appliedDataMode == wdrDataMode && sw.wdrStyle == 0) {
            if (ready & wdrDepthReady)
                got.wdrDepth = fetch(WDRDepthFrame, CV_16UC1, m_sdk.depth, m_copies.depth, depthFrame);
        } else if (ready & depthReady) {
            got.depth = fetch(DepthFrame, CV_16UC1, m_sdk.depth, m_copies.depth, depthFrame);
        }
    }
    if (kinds.ir && (ready & irReady))
        got.ir = fetch(IRFrame, CV_16UC1, m_sdk.ir, m_copies.ir, frame);
    if (kinds.rgb && (ready & rgbReady))
        got.rgb = fetch(RGBFrame, CV_8UC3, m_sdk.rgb, m_copies.rgb, frame);

    // One copy of the request serves the whole cycle: a run stopped while its files are
    // written must not end as a single save.
    const SaveRequest request = sw.saveRequest();
    if (request.pending) {
        saveCycle(got, shown, depthFrame, request);
    } else if (m_saver.holdsWorkSpace()) {
        m_saver.release();
    }

    if (m_lastStatus == 0 && sw.refreshRequest == 2) {
        emit RefreshRGB();
        sw.refreshRequest = 0;
    }
    m_framesReady = true;
}

void MyThread::saveCycle(const Fetched &got, const FrameKinds::Switches &shown, SdkFrame &depthFrame,
                         const SaveRequest &request)
{
    QString failedPath;
    if (!saveImages(got, shown, request, failedPath))
        return; // nothing of this cycle was due: the next one tries again
    // Only from a depth frame of this cycle: a record left over from an earlier cycle no
    // longer points at valid pixels.
    if (!request.continuous && shown.showPointCloud && !m_sdk.depth.empty() && depthFrame.frameData)
        m_saver.writePointCloud(
            depthFrame, QStringLiteral("%1/PointCloud_%2.txt").arg(request.target.rootDir, request.target.stamp),
            failedPath);
    DisplaySwitches::instance().finishSaveCycle(request, failedPath);
}

bool MyThread::saveImages(const Fetched &got, const FrameKinds::Switches &shown, const SaveRequest &request,
                          QString &failedPath)
{
    const SaveTarget &target = request.target;
    bool saved = false;
    // A file that was due counts as saved even when it could not be written: the failure is
    // reported instead.
    // A kind without a folder in this set (not shown when the save was asked for) is not saved.
    const auto save = [&](bool fetched, const cv::Mat &image, const QString &dir, bool jpeg) {
        if (!fetched || image.empty() || dir.isEmpty())
            return;
        m_saver.writeImage(image, dir, jpeg, request.index, failedPath);
        saved = true;
    };
    if (m_deviceType == DeviceTypeCode::Brio) {
        // This model delivers its depth and IR registered to the colour image.
        if (got.rgb && got.mappedIr && got.mappedDepth) {
            save(true, m_sdk.mappedDepth, target.dirMappedDepth, false);
            save(true, m_sdk.mappedIr, target.dirMappedIr, false);
            save(true, m_sdk.rgb, target.dirRgb, true);
        } else if (!shown.showMappedDepth && !shown.showMappedIr && got.rgb) {
            save(true, m_sdk.rgb, target.dirRgb, true);
        }
        return saved;
    }
    save(got.mappedRgb, m_sdk.mappedRgb, target.dirMappedRgb, false);
    save(got.mappedDepth, m_sdk.mappedDepth, target.dirMappedDepth, false);
    save(got.mappedIr, m_sdk.mappedIr, target.dirMappedIr, false);
    save(got.depth, m_sdk.depth, target.dirDepth, false);
    save(got.wdrDepth, m_sdk.depth, target.dirWdrDepth, false);
    save(got.rgb, m_sdk.rgb, target.dirRgb, true);
    save(got.ir, m_sdk.ir, target.dirIr, false);
    return saved;
}
