#include "sim/camera/Faults.h"

#include "sim/camera/Ini.h"

#include <algorithm>

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

const std::vector<std::string> &Faults::sdkFunctions()
{
    static const std::vector<std::string> names = {"Lx2_Initialize",
                                                   "Lx2_Shutdown",
                                                   "Lx2_GetDeviceCount",
                                                   "Lx2_GetDeviceInfo",
                                                   "Lx2_GetDeviceListInfo",
                                                   "Lx2_OpenDevice",
                                                   "Lx2_CloseDevice",
                                                   "Lx2_StartStream",
                                                   "Lx2_StopStream",
                                                   "Lx2_SetColorPixelFormat",
                                                   "Lx2_ReadNextFrame",
                                                   "Lx2_GetFrame",
                                                   "Lx2_ConvertDepthFrameToWorldVector",
                                                   "Lx2_GetCameraParameters",
                                                   "Lx2_SetUpgradeStatusCallback",
                                                   "Lx2_StartUpgradeFirmWare",
                                                   "Lx2_GetProperty",
                                                   "Lx2_SetProperty",
                                                   "Lx2_SetDepthFrameEnabled",
                                                   "Lx2_SetIrFrameEnabled",
                                                   "Lx2_SetRgbFrameEnabled",
                                                   "Lx2_SetSpatialFilterEnabled",
                                                   "Lx2_SetTimeFilterEnabled",
                                                   "Lx2_SetDepthDistortionCorrectionEnabled",
                                                   "Lx2_SetIrDistortionCorrectionEnabled",
                                                   "Lx2_SetRGBDistortionCorrectionEnabled",
                                                   "Lx2_SetComputeRealDepthCorrectionEnabled",
                                                   "Lx2_SetMapperEnabledDepthToRGB",
                                                   "Lx2_SetMapperEnabledRGBToDepth",
                                                   "Lx2_SetMapperEnabledRGBToIR",
                                                   "Lx2_SetSynchronizeEnabled",
                                                   "Lx2_SetSlaveModeEnabled",
                                                   "Lx2_SetAntiInterferenceEnabled",
                                                   "Lx2_SetDSPEnabled",
                                                   "Lx2_SetLowPowerModeEnabled",
                                                   "Lx2_SetRgbAecEnabled",
                                                   "Lx2_SetTofAecEnabled",
                                                   "Lx2_GetComputeRealDepthCorrectionEnabled",
                                                   "Lx2_GetDepthDistortionCorrectionEnabled",
                                                   "Lx2_GetIrDistortionCorrectionEnabled",
                                                   "Lx2_GetRGBDistortionCorrectionEnabled",
                                                   "Lx2_GetMapperEnabledDepthToRGB",
                                                   "Lx2_GetMapperEnabledRGBToDepth",
                                                   "Lx2_GetMapperEnabledRGBToIR",
                                                   "Lx2_GetSpatialFilterEnabled",
                                                   "Lx2_GetSynchronizeEnabled",
                                                   "Lx2_GetTimeFilterEnabled",
                                                   "Lx2_SetImageMirror",
                                                   "Lx2_SetWDRStyle",
                                                   "Lx2_SetWDROutputMode",
                                                   "Lx2_SetDataMode",
                                                   "Lx2_GetDataMode",
                                                   "Lx2_SetDepthRange",
                                                   "Lx2_GetDepthRange",
                                                   "Lx2_SetThreshold",
                                                   "Lx2_GetThreshold",
                                                   "Lx2_GetRGBResolution",
                                                   "Lx2_SetRgbExplosureTimeAndGain",
                                                   "Lx2_GetMeasuringRange",
                                                   "Lx2_GetFrameMode",
                                                   "Lx2_GetPulseCount",
                                                   "Lx2_SetWDRPulseCount",
                                                   "Lx2_GetWDRPulseCount",
                                                   "Lx2_SetRegVal",
                                                   "Lx2_GetRegVal"};
    return names;
}

std::string Faults::sdkFunction(const std::string &name)
{
    const std::string wanted = toLower(name);
    for (const std::string &f : sdkFunctions())
        if (toLower(f) == wanted)
            return f;
    return {};
}

std::string Faults::nearestSdkFunction(const std::string &name)
{
    // Edit distance without case; a name more than three edits away is no typo.
    const std::string a = toLower(name);
    std::string best;
    size_t bestDistance = 4;
    for (const std::string &f : sdkFunctions()) {
        const std::string b = toLower(f);
        std::vector<size_t> row(b.size() + 1);
        for (size_t j = 0; j <= b.size(); ++j)
            row[j] = j;
        for (size_t i = 1; i <= a.size(); ++i) {
            size_t diagonal = row[0];
            row[0] = i;
            for (size_t j = 1; j <= b.size(); ++j) {
                const size_t above = row[j];
                row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
                diagonal = above;
            }
        }
        if (row[b.size()] < bestDistance) {
            bestDistance = row[b.size()];
            best = f;
        }
    }
    return best;
}

} // namespace sim
