#pragma once

#include <QString>

#include "camera/sdk/quillon_types.h"

#include <atomic>
#include <cstdint>
#include <mutex>

// A flag or number shared by the GUI and the pipeline threads without a lock: one aligned
// byte or word, read and written with relaxed atomics so that a reader sees either the old
// or the new value.
template <typename T> class Shared
{
public:
    constexpr Shared(T initial = T{}) noexcept
        : m_value(initial)
    {}
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
    QString stamp;   // name of the set's folder, "yyyy_MM_dd_hh_mm_ss"
    QString rootDir; // folder of the set
    QString dirDepth, dirIr, dirRgb, dirWdrDepth, dirMappedRgb, dirMappedDepth, dirMappedIr;
};

// The save request as the frame reader found it at one moment; a reader cycle works from one
// such copy throughout, so a request changed meanwhile cannot mix two requests in one cycle.
struct SaveRequest
{
    bool pending = false; // a save is requested (state 1)
    bool continuous = false;
    int32_t index = 1;   // running number of this cycle's files
    uint32_t serial = 0; // which request this is
    SaveTarget target;
};

// How a save ended, for the notice: success when failedPath is empty. A continuous run is
// reported only when it failed, with the sets written before.
struct SaveReport
{
    QString failedPath; // the first file that could not be written
    bool continuous = false;
    int setsWritten = 0;
    int setsFailed = 0;

    // "Save failed: <path>", and for a continuous run a second line with the set counts.
    QString failureText() const;
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
    // The GUI changes a request only through requestSave and stopSave, the reader reads it
    // only through saveRequest, so that it never sees half of a change.
    Shared<int32_t> saveState{0};
    Shared<bool> continuousSave{false};
    Shared<int32_t> saveIndex{1};

    // Loader upgrade done: 2 asks the reader for a device-information refresh.
    Shared<int32_t> refreshRequest{0};

    // The record of the current depth range (GUI thread only).
    MeasuringRange currentMeasuringRange{};

    void setSaveTarget(const SaveTarget &target);
    SaveTarget saveTarget() const;

    // GUI: a new request for target, numbered from 1; a continuous one runs until stopped.
    void requestSave(const SaveTarget &target, bool continuous);
    // GUI: withdraws the request (idle, not continuous); a completed save still awaiting its
    // notice keeps it.
    void stopSave();
    // Reader: the request as it stands.
    SaveRequest saveRequest() const;
    // Reader: the files of request's cycle are written; failedPath is the first that could
    // not be, or empty. A single save completes; a continuous run counts the set and moves on
    // to the next number, or ends at its first failed set. A failure is reported even when
    // the request was withdrawn during the cycle; a request replaced by a newer one is left
    // alone.
    void finishSaveCycle(const SaveRequest &request, const QString &failedPath);
    // GUI: ends a save still waiting for frame sets (the camera has gone). Returns whether one
    // was pending; setsWritten tells how many sets a continuous run had written by then.
    bool abandonSave(bool &continuous, int &setsWritten);
    // GUI: the report of the save that completed, which is then forgotten.
    SaveReport takeSaveReport();

    // Back to the start-up values (tests).
    void resetToDefaults();

private:
    DisplaySwitches() = default;

    // The texts are read by the reader thread while the GUI may prepare the next request;
    // a small lock keeps a late reader from seeing a half-written text, and keeps a request
    // and its flags together.
    mutable std::mutex m_textLock;
    SaveTarget m_target;
    uint32_t m_saveSerial = 0;
    int m_setsWritten = 0; // sets of the current request written so far
    SaveReport m_report;
};
