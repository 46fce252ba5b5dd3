#pragma once

#include "SimConfig.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

// Call faults from the [faults] section. Call counts survive a failing Lx2_Initialize and a
// re-initialisation with the same rules, so "times" and "after" mean what they say across
// the program's retries; Lx2_Shutdown or new rules start them afresh.
class Faults
{
public:
    void setRules(const std::vector<FaultRule> &rules);
    void reset();
    // The status the call must fail with, or 0.
    int32_t check(const char *function);

private:
    std::mutex m;
    std::vector<FaultRule> rules;
    std::string signature;
    std::map<std::string, long> calls;
};

} // namespace sim
