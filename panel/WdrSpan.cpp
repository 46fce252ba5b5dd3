#include "panel/WdrSpan.h"

std::optional<WdrSpan> WdrSpan::of(const WdrOutputMode &mode)
{
    uint32_t far = 0;
    if (mode.totalRange == 2)
        far = mode.range2;
    else if (mode.totalRange == 3)
        far = mode.range3;
    if (far == 0)
        return std::nullopt;
    return WdrSpan{int(mode.range1), int(far)};
}

DepthRanges::Limits WdrSpan::limits(const DepthRanges::Limits &current, const MeasuringRange *nearRecord,
                                    const MeasuringRange *farRecord) const
{
    DepthRanges::Limits result = current;
    if (nearRecord)
        result.colourMapMin = DepthRanges::limitsOf(*nearRecord, nearRange).colourMapMin;
    if (farRecord) {
        const DepthRanges::Limits far = DepthRanges::limitsOf(*farRecord, farRange);
        result.colourMapMax = far.colourMapMax;
        result.maxDepth = far.maxDepth;
    }
    return result;
}
