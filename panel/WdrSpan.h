#pragma once

#include "panel/DepthRanges.h"

#include "camera/sdk/quillon_types.h"

#include <optional>

// The depth ranges a WDR output mode takes in turn, seen from the colour map: it runs from
// the near (first) range's lower end to the far (last) range's upper end. Plain value.
struct WdrSpan
{
    int nearRange = 0;
    int farRange = 0;

    // range1 to range2 for two ranges, range1 to range3 for three; none for any other count
    // or when the far range is Range0.
    static std::optional<WdrSpan> of(const WdrOutputMode &mode);

    // The limits across the span: the lower end from the near range's record, the upper end
    // and the largest depth from the far range's. A record the camera could not give (null)
    // leaves its part of current as it is.
    DepthRanges::Limits limits(const DepthRanges::Limits &current, const MeasuringRange *nearRecord,
                               const MeasuringRange *farRecord) const;
};
