#include "pipeline/PipelineStats.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

std::atomic<uint64_t> counters[PipelineStats::CounterCount];

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

} // namespace

bool PipelineStats::enabled()
{
    static const bool on = [] {
        const char *value = std::getenv("LUMIDESK_STATS");
        return value && std::strcmp(value, "1") == 0;
    }();
    return on;
}

void PipelineStats::count(Counter counter)
{
    if (enabled())
        counters[counter].fetch_add(1, std::memory_order_relaxed);
}

const char *PipelineStats::intervalText(double seconds, char *buffer, int size)
{
    static double lastCpu = 0.0;
    const double cpu = processCpuSeconds();
    double rate[CounterCount];
    for (int i = 0; i < CounterCount; ++i)
        rate[i] = seconds > 0 ? double(counters[i].exchange(0, std::memory_order_relaxed)) / seconds : 0.0;
    std::snprintf(buffer, size_t(size),
                  "pipeline: %.1f frame sets/s, %.1f processing cycles/s, %.1f refreshes/s, %.2f CPU s", rate[0],
                  rate[1], rate[2], cpu - lastCpu);
    lastCpu = cpu;
    return buffer;
}
