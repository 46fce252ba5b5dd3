#include "pipeline/DepthMeasurement.h"

DepthMeasurement::DepthMeasurement(int window, int period)
{
    reset(window, period);
}

void DepthMeasurement::reset(int window, int period)
{
    m_window = window;
    m_period = period;
    // One period of window x window samples per frame fits; bounded so that a huge window
    // cannot exhaust memory.
    // In double: the largest window and period overflow 64-bit integers.
    const double capacity = double(window) * window * period + 1;
    m_ring = std::make_unique<QCycleQueue>(nullptr, int(qBound<double>(2, capacity, (1 << 24) + 1)));
    m_periodFrames = 0;
}

bool DepthMeasurement::addFrame(const cv::Mat &region, int rangeMax, Result &result)
{
    bool pushed = false;
    if (region.type() == CV_16UC1) {
        for (int y = 0; y < region.rows; ++y) {
            const auto *row = region.ptr<uint16_t>(y);
            for (int x = 0; x < region.cols; ++x) {
                if (row[x] > 0 && row[x] <= rangeMax) {
                    m_ring->push(row[x]);
                    pushed = true;
                }
            }
        }
    }
    if (!pushed)
        ++m_emptyFrames;
    if (++m_periodFrames != m_period)
        return false;

    if (m_emptyFrames < 10) {
        const double mean = m_ring->mean();
        const double sd = m_ring->stdDev();
        result = {QString::number(mean, 'g', 6), QString::number(sd, 'g', 6), QString::number(sd * 100 / mean, 'g', 6)};
    } else {
        result = {QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")};
    }
    m_periodFrames = 0;
    m_emptyFrames = 0;
    m_ring->reset();
    return true;
}
