#pragma once

#include "pipeline/FrameKinds.h"
#include "pipeline/FrameSaver.h"
#include "pipeline/FrameSet.h"
#include "pipeline/LinkWatch.h"

#include <QThread>

#include <opencv2/core.hpp>

#include <atomic>
#include <mutex>
#include <vector>

struct SaveRequest;
struct SdkFrame;

// The frame reader: waits for each frame set, fetches the kinds the views want, keeps deep
// copies for the processing thread and writes the files of a requested save.
class MyThread : public QThread
{
    Q_OBJECT

public:
    explicit MyThread(QObject *parent = nullptr);
    ~MyThread() override;

    void startReading();
    void stopReading();
    // Ends run() at the next cycle; run() then emits sglclose.
    void requestStop() { m_stopRequested = true; }
    bool isReading() const { return m_readingEnabled; }

    // Deep copies of the newest frame set, for the kinds asked for. False when nothing new
    // arrived since the last call; kinds not asked for are left untouched.
    bool takeFrames(const FrameKinds &kinds, FrameSet &frames);
    bool takeFrames(bool wantDepth, cv::Mat &depth, bool wantIr, cv::Mat &ir, bool wantRgb, cv::Mat &rgb,
                    bool wantMappedRgb, cv::Mat &mappedRgb, bool wantMappedDepth, cv::Mat &mappedDepth,
                    bool wantMappedIr, cv::Mat &mappedIr);

signals:
    void RefreshRGB();
    void sglclose();
    // The camera stopped answering for good (unplugged, or its reads fail without end); the
    // reader has stopped reading. Emitted once per loss.
    void cameraLost(int status);

protected:
    void run() override;

private:
    struct Fetched
    {
        bool mappedRgb = false, mappedDepth = false, mappedIr = false;
        bool depth = false, wdrDepth = false, ir = false, rgb = false;
    };

    void readCycle(uint32_t readyFlags);
    bool fetch(int kind, int cvType, cv::Mat &view, cv::Mat &copy, SdkFrame &frame);
    void saveCycle(const Fetched &got, const FrameKinds::Switches &shown, SdkFrame &depthFrame,
                   const SaveRequest &request);
    bool saveImages(const Fetched &got, const FrameKinds::Switches &shown, const SaveRequest &request,
                    QString &failedPath);

    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_readingEnabled{false};
    std::atomic<int> m_deviceType{0};
    std::atomic<bool> m_freshStart{false};
    LinkWatch m_linkWatch; // the reader's thread only
    int m_lastStatus = 0;

    std::mutex m_frameLock; // guards everything below
    bool m_framesReady = false;
    FrameSet m_sdk;    // over the SDK's buffers, valid until the next read
    FrameSet m_copies; // deep copies, for the processing thread

    // Its work space is kept between the cycles of a save and freed after it.
    FrameSaver m_saver;
};
