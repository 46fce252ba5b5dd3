#pragma once

#include <QString>

#include <sdk/quillon_api.h>

#include <atomic>
#include <cstdint>
#include <mutex>

// A flag or number shared by the GUI and the pipeline threads without a lock: one aligned
// byte or word, read and written with relaxed atomics so that a reader sees either the old
// or the new value.
template <typename T>
class Shared
{
public:
    constexpr Shared(T initial = T{}) noexcept : m_value(initial) {}
    Shared(const Shared &) = delete;
    Shared &operator=(const Shared &) = delete;

    operator T() const noexcept { return m_value.load(std::memory_order_relaxed); }
    Shared &operator=(T value) noexcept
    {
        m_value.store(value, std::memory_order_relaxed);
        return *this;
    }
    // For hand-shakes that publish other data along with the value.
    void storeRelease(T value) noexcept { m_value.store(value, std::memory_order_release); }
    T loadAcquire() const noexcept { return m_value.load(std::memory_order_acquire); }

private:
    std::atomic<T> m_value;
};

// Where the frame reader writes a save set. Prepared by the GUI before it requests a save.
struct SaveTarget
{
    QString stamp;    // name of the set's folder, "yyyy_MM_dd_hh_mm_ss"
    QString rootDir;  // folder of the set
    QString dirDepth, dirIr, dirRgb, dirWdrDepth, dirMappedRgb, dirMappedDepth, dirMappedIr;
};

// The one process-wide set of switches through which the GUI steers the frame pipeline and
// the pipeline reports a completed save.
struct DisplaySwitches
{
    static DisplaySwitches &instance();

    // View and conversion switches.
    Shared<bool> showDepth{true};
    Shared<bool> showIr{false};
    Shared<bool> showRgb{true};
    Shared<bool> showMappedRgb{false};
    Shared<bool> showMappedDepth{false};
    Shared<bool> showMappedIr{false};
    Shared<bool> showPointCloud{false};
    Shared<bool> pointCloudRgb{false};
    Shared<bool> measureOn{false};
    Shared<bool> blackBackground{true};
    Shared<int32_t> colourMapMin{250};
    Shared<int32_t> colourMapMax{1450};
    Shared<int32_t> rangeMaxDepth{0};
    Shared<int32_t> wdrStyle{0};
    Shared<int32_t> currentDataMode{0};
    Shared<int32_t> appliedDataMode{0};
    Shared<int32_t> currentRangeIndex{0};

    // Markers (image columns and rows; (0, 0) means not placed yet), view geometry and
    // full-screen state.
    Shared<int32_t> depthMarkerX{0}, depthMarkerY{0};
    Shared<int32_t> irMarkerX{0}, irMarkerY{0};
    Shared<bool> secondMarkerOn{false};
    Shared<int32_t> secondMarkerX{0}, secondMarkerY{0};
    Shared<int32_t> pointCloudActive{0};
    Shared<int32_t> pointCloudViewWidth{640}, pointCloudViewHeight{480};
    Shared<int32_t> panX{0}, panY{0};
    Shared<bool> depthFullScreen{false}, irFullScreen{false}, rgbFullScreen{false}, pointCloudFullScreen{false};

    // Saving: 1 = requested, 2 = completed, 3 = idle. The GUI writes the target first and
    // then stores 1 with release; the reader loads with acquire before reading the target.
    Shared<int32_t> saveState{0};
    Shared<bool> continuousSave{false};
    Shared<int32_t> saveIndex{1};
    // Count of files in the current save request that could not be written, and the first
    // such path: a failed write is reported instead of "Save success".
    Shared<int32_t> saveFailures{0};

    // Loader upgrade done: 2 asks the reader for a device-information refresh.
    Shared<int32_t> refreshRequest{0};

    // The record of the current depth range (GUI thread only).
    MeasuringRange currentMeasuringRange{};

    void setSaveTarget(const SaveTarget &target);
    SaveTarget saveTarget() const;
    void setFirstSaveFailure(const QString &path); // keeps the first one of a request
    QString firstSaveFailure() const;
    void clearSaveFailures();

    // Back to the start-up values (tests).
    void resetToDefaults();

private:
    DisplaySwitches() = default;

    // The texts are read by the reader thread while the GUI may prepare the next request;
    // a small lock keeps a late reader from seeing a half-written text.
    mutable std::mutex m_textLock;
    SaveTarget m_target;
    QString m_firstFailure;
};
