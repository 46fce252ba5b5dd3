#include "Faults.h"

#include "Ini.h"

namespace sim {

void Faults::setRules(const std::vector<FaultRule> &newRules)
{
    std::string sig;
    for (const FaultRule &r : newRules)
        sig += r.function + ' ' + std::to_string(r.status) + ' ' + std::to_string(int(r.mode)) + ' ' +
               std::to_string(r.count) + ';';
    std::lock_guard<std::mutex> lock(m);
    if (sig != signature)
        calls.clear();
    signature = sig;
    rules = newRules;
}

void Faults::reset()
{
    std::lock_guard<std::mutex> lock(m);
    calls.clear();
}

int32_t Faults::check(const char *function)
{
    std::lock_guard<std::mutex> lock(m);
    if (rules.empty())
        return 0;
    const std::string name = toLower(function);
    for (const FaultRule &r : rules) {
        if (r.function != name)
            continue;
        const long n = ++calls[name]; // this call's number, from 1
        switch (r.mode) {
        case FaultRule::Always:
            return r.status;
        case FaultRule::Times:
            return n <= r.count ? r.status : 0;
        case FaultRule::After:
            return n > r.count ? r.status : 0;
        }
    }
    return 0;
}

} // namespace sim
