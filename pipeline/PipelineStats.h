#pragma once

#include <atomic>
#include <cstdint>

// Rates of the pipeline for tuning and end-to-end checks: with LUMIDESK_STATS=1 in the
// environment the image view logs, every 5 s, the frame sets read, processing cycles and
// refreshes shown per second and the process CPU seconds of the interval. Off by default;
// counting is then skipped.
namespace PipelineStats {

bool enabled();

enum Counter { FrameSetsRead, ProcessingCycles, RefreshesShown, CounterCount };

void count(Counter counter);

// Reads and clears the counters; returns the log text for an interval of the given length.
// The first call measures CPU time from process start.
const char *intervalText(double seconds, char *buffer, int size);

} // namespace PipelineStats
