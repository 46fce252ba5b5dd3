#pragma once

#include "sim/camera/SimConfig.h"

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

    // The SDK's entry points, the only names a rule can take.
    static const std::vector<std::string> &sdkFunctions();
    // name as the SDK spells it (name in any case), or empty.
    static std::string sdkFunction(const std::string &name);
    // The entry point a misspelt name most likely means, or empty.
    static std::string nearestSdkFunction(const std::string &name);

private:
    std::mutex m;
    std::vector<FaultRule> rules;
    std::string signature;
    std::map<std::string, long> calls;
};

} // namespace sim
