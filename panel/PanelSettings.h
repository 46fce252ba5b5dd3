#pragma once

#include <QString>

#include "camera/sdk/quillon_types.h"

#include <array>
#include <functional>

class Control_Single;

// The camera settings the panel stands for, as a value. A camera that was unplugged comes
// back with its start-up settings; the panel then writes these back so that the user finds
// the camera as they left it.
struct PanelSettings
{
    // A check box of the panel and how its state reaches the camera. Mirrored switches are
    // filled from the camera when it opens, so they always say what the camera should have;
    // the others only count where the user changed them since the open.
    struct Switch
    {
        const char *control; // object name in the panel's form
        void (*write)(Control_Single &camera, bool on);
        bool mirrored;
    };
    static constexpr int SwitchCount = 22;
    static const std::array<Switch, SwitchCount> &switches();

    int32_t deviceType = 0;
    int dataModeIndex = -1; // the data-mode list, or the work-mode list of a Brio
    int rangeIndex = -1;    // the depth range (Range0..Range8) chosen in the list
    int rgbResolution = -1;
    int brioResolution = -1;
    int mirror = -1;
    int threshold = -1;
    bool mapDepthToRgb = false; // the mapper also runs for the coloured point cloud
    std::array<bool, SwitchCount> on{};

    // Writes now to the camera: every mirrored setting, and every other one that differs
    // from opened (the panel as it was right after the camera opened).
    static void restore(Control_Single &camera, const PanelSettings &now, const PanelSettings &opened,
                        const WdrOutputMode &wdr);
};
