#pragma once

#include "camera/sdk/quillon_types.h"

#include <optional>

class Control_Single;
struct DisplaySwitches;

// The six image toggles of the panel in their exclusive pairs: each plain image and the
// image mapped onto its grid take the same place in the view, so checking one unchecks its
// partner. The mapped images also switch the camera's mapper. Plain data, no widgets.
namespace ViewToggles {

enum View { RgbImage, DepthImage, IrImage, MappedRgb, MappedDepth, MappedIr, ViewCount };

using Mapper = SdkStatus (Control_Single::*)(int);

struct Toggle
{
    const char *control; // object name of its check box
    View partner;
    Mapper mapper;                  // the camera switch it drives, or null
    bool mapperServesColouredCloud; // the coloured point cloud needs the mapper on: leave it alone then
    bool needsColour;               // a camera without a colour sensor ignores it
};

const Toggle &toggle(View view);

// Records the view as shown or not. Returns the partner to uncheck: the one shown beside a
// view being checked.
std::optional<View> show(View view, bool on, DisplaySwitches &switches);

// The mapper call the view's change makes now, or null.
Mapper mapperFor(View view, const DisplaySwitches &switches);

} // namespace ViewToggles
