#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// Console output plus each benchmark's time per iteration (the median when repeated), keyed
// by its name ("BM_X", or "BM_X/<args>" with arguments), so that main can print ratios after
// the table.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> time;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            const bool aggregate = run.run_type == Run::RT_Aggregate;
            if ((aggregate && run.aggregate_name == "median") || (!aggregate && run.iterations > 0)) {
                const std::string &args = run.run_name.args;
                time[run.run_name.function_name + (args.empty() ? "" : "/" + args)] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};
