#pragma once

#include "panel/CameraSwitches.h"

#include "camera/sdk/quillon_types.h"

#include <array>
#include <cstdint>

class Control_Single;
class QWidget;

// The camera settings the panel stands for, as a value. A camera that was unplugged comes
// back with its start-up settings; the panel then writes these back so that the user finds
// the camera as they left it.
struct PanelSettings
{
    int32_t deviceType = 0;
    int dataModeIndex = -1; // the data-mode list, or the work-mode list of a Brio
    int rangeIndex = -1;    // the depth range (Range0..Range8) chosen in the list
    int rgbResolution = -1;
    int brioResolution = -1;
    int mirror = -1;
    int threshold = -1;
    bool mapDepthToRgb = false;                   // the mapper also runs for the coloured point cloud
    std::array<bool, CameraSwitches::Count> on{}; // per switch of CameraSwitches::all()

    // The settings panel's controls show now, found by their object names, for the camera
    // model deviceType.
    static PanelSettings readFrom(const QWidget &panel, int32_t deviceType);

    // Writes now to the camera: every mirrored setting, and every other one that differs
    // from opened (the panel as it was right after the camera opened).
    static void restore(Control_Single &camera, const PanelSettings &now, const PanelSettings &opened,
                        const WdrOutputMode &wdr);
};
