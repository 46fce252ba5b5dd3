#pragma once

#include "panel/ShownImages.h"
#include "panel/ToggleStep.h"

#include <optional>

// What choosing a Brio work mode ("DepthAndIR15_RGB30", "RGB30", "StandBy") does to the
// panel: the stream and point-cloud check boxes, the images shown and the colour resolution.
// Plain data, no widgets.
namespace BrioWorkModes {

struct Row
{
    ControlSteps steps;                    // applied first, in order
    std::optional<ShownImages::Set> shown; // then the show switches
    int rgbResolution = -1;                // then this entry of the "RGB:" list, -1 for none
    ControlSteps afterwards;               // applied last
};

// The row of work-mode list entry index; a row that changes nothing for any other index.
Row rowFor(int index);

// The camera's data mode for work-mode list entry index.
int dataModeOf(int index);

} // namespace BrioWorkModes
