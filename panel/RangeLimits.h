#pragma once

#include "panel/DepthRanges.h"

#include <QStringList>

#include "camera/sdk/quillon_types.h"

class Control_Single;
struct DisplaySwitches;

// The camera's measuring ranges as the views use them: the depth-range list, and the
// colour-map limits and largest accepted depth that a range, or the span of a WDR output
// mode, puts into the display switches. No widgets.
namespace RangeLimits {

// The list's labels from the camera's three measuring-range records (DepthRanges::entries); a
// record the camera cannot give counts as uncalibrated.
QStringList listLabels(Control_Single &camera, bool fullUser);

// Reads range's record into the switches: the current record and its limits. False, with
// nothing changed, when the camera cannot say.
bool apply(Control_Single &camera, DisplaySwitches &switches, int range);

// The same across the span of a WDR output mode (WdrSpan): the lower end from the near
// range's record, the upper end and the largest depth from the far range's; a record the
// camera cannot give leaves its part. False, with nothing read, when the mode spans nothing.
bool applyWdr(Control_Single &camera, DisplaySwitches &switches, const WdrOutputMode &mode);

// The WDR output mode of the settings file's first block, as the camera takes it.
WdrOutputMode configuredWdr();

} // namespace RangeLimits
