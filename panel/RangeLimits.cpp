#include "panel/RangeLimits.h"

#include "camera/Control_Single.h"
#include "panel/WdrSpan.h"
#include "pipeline/DisplaySwitches.h"
#include "shell/ToolSettings.h"

namespace RangeLimits {

namespace {

// The record of range, which also becomes the current one.
bool read(Control_Single &camera, DisplaySwitches &switches, int range, MeasuringRange &record)
{
    if (camera.getMeasuringRange(range, &record) != 0)
        return false;
    switches.currentMeasuringRange = record;
    return true;
}

void write(DisplaySwitches &switches, const DepthRanges::Limits &limits)
{
    switches.colourMapMin = limits.colourMapMin;
    switches.colourMapMax = limits.colourMapMax;
    switches.rangeMaxDepth = limits.maxDepth;
}

} // namespace

QStringList listLabels(Control_Single &camera, bool fullUser)
{
    MeasuringRange modes[3];
    for (int m = 0; m < 3; ++m) {
        modes[m] = MeasuringRange{};
        modes[m].depthMode = uint8_t(m);
        if (camera.getMaxDepth(&modes[m]) != 0) {
            modes[m] = MeasuringRange{};
            modes[m].depthMode = uint8_t(m);
        }
    }
    QStringList labels;
    for (const DepthRanges::Entry &entry : DepthRanges::entries(modes, fullUser))
        labels << entry.label;
    return labels;
}

bool apply(Control_Single &camera, DisplaySwitches &switches, int range)
{
    MeasuringRange record{};
    if (!read(camera, switches, range, record))
        return false;
    write(switches, DepthRanges::limitsOf(record, range));
    return true;
}

bool applyWdr(Control_Single &camera, DisplaySwitches &switches, const WdrOutputMode &mode)
{
    const std::optional<WdrSpan> span = WdrSpan::of(mode);
    if (!span)
        return false;
    MeasuringRange nearRecord{}, farRecord{};
    const bool nearRead = read(camera, switches, span->nearRange, nearRecord);
    const bool farRead = read(camera, switches, span->farRange, farRecord);
    const DepthRanges::Limits current{switches.colourMapMin, switches.colourMapMax, switches.rangeMaxDepth};
    write(switches, span->limits(current, nearRead ? &nearRecord : nullptr, farRead ? &farRecord : nullptr));
    return true;
}

WdrOutputMode configuredWdr()
{
    const ToolSettings::WdrOutputMode set = ToolSettings::getInstance().wdrOutputMode(1);
    return WdrOutputMode{set.totalRange,  set.range1, set.range1Count, set.range2,
                         set.range2Count, set.range3, set.range3Count};
}

} // namespace RangeLimits
