#pragma once

#include "pipeline/FrameKinds.h"
#include "pipeline/FrameSet.h"
#include "pipeline/ProcessingCycle.h"

#include <QThread>

#include <opencv2/core.hpp>

#include <atomic>
#include <mutex>

class MyThread;

// The processing thread: takes the newest raw frames from the reader and turns them into
// display images (colour-mapped depth with its marker and label, grey IR, colour), keeping
// raw copies for the point-cloud view and the depth measurement.
class AlgoThread : public QThread
{
    Q_OBJECT

public:
    explicit AlgoThread(QObject *parent = nullptr);
    ~AlgoThread() override;

    // Starts the reader and this thread; threads that already run are left alone.
    void startThreads();
    void startProcessing();
    void stopProcessing();
    // Ends both threads cooperatively and waits for them.
    void shutdown();

    bool getPointCloudFrames(cv::Mat &depth, cv::Mat &ir, cv::Mat &mappedRgb);
    // Copies of the display images of the given kinds; false before the first cycle. Kinds
    // not asked for are left untouched.
    bool getDisplayImages(const FrameKinds &kinds, FrameSet &images);
    bool getDisplayImages(bool wantDepth, cv::Mat &depth, bool wantIr, cv::Mat &ir, bool wantRgb, cv::Mat &rgb,
                          bool wantMappedRgb, cv::Mat &mappedRgb, bool wantMappedDepth, cv::Mat &mappedDepth,
                          bool wantMappedIr, cv::Mat &mappedIr);
    // The raw depth of the rectangle, clipped to the image; false before the first cycle,
    // without a measurement frame, or when nothing of the rectangle lies inside it.
    bool getMeasureRegion(cv::Mat &out, int x, int y, int width, int height);

    MyThread *reader() const { return m_reader; }

    // The view calls this as it takes a refresh. Until then no further refresh is sent, so a
    // view slower than the cycles shows the newest images instead of working off a queue.
    void refreshTaken() { m_refreshPending = false; }

    // One cycle on the given frames, as if the reader had handed them over (tests and
    // benchmarks drive the views with it).
    void processFrames(const RawFrames &frames);

signals:
    void PointCloudUpdateSignal();
    void sigRefresh();
    void sglclose();
    void cameraLost(int status); // the reader's, handed on to the GUI thread

public slots:
    void closeOK();

protected:
    void run() override;

private:
    MyThread *m_reader;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_refreshPending{false};

    FrameSet m_input; // filled by the reader's hand-over; this thread only

    std::mutex m_lock; // guards everything below
    bool m_ready = false;
    ProcessingCycle m_cycle;
    CycleImages m_images;
};
