#pragma once

#include "pipeline/QCycleQueue.h"

#include <QString>

#include <opencv2/core.hpp>

#include <memory>

// Depth statistics of a square window over a period of frames: mean, standard deviation
// and the deviation in percent of the mean. Not locked: the owner serialises access.
class DepthMeasurement
{
public:
    struct Result
    {
        QString mean, stdDev, percent;
    };

    DepthMeasurement(int window = 10, int period = 50);

    // New window and period: a fresh ring of window * window * period + 1 slots and a new
    // period; the count of empty frames is kept.
    void reset(int window, int period);
    int window() const { return m_window; }
    int period() const { return m_period; }
    int ringSlots() const { return m_ring->size(); }

    // Adds the depths d of one frame's window with 0 < d <= rangeMax. Returns true at the
    // end of a period, with the result filled ("0" three times when 10 or more frames of the
    // period gave no sample).
    bool addFrame(const cv::Mat &region, int rangeMax, Result &result);

private:
    std::unique_ptr<QCycleQueue> m_ring;
    int m_window;
    int m_period;
    int m_periodFrames = 0;
    int m_emptyFrames = 0;
};
