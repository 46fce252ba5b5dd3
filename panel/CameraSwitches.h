#pragma once

#include <array>

class Control_Single;

// The panel's check boxes that switch a camera setting, and how each state reaches the
// camera: the box's slot writes it so, and a camera that comes back is given it so again.
// Plain data, no widgets.
struct CameraSwitches
{
    // Mirrored switches are filled from the camera when it opens, so they always say what the
    // camera should have; the others only count where the user changed them since the open.
    struct Switch
    {
        const char *control; // object name in the panel's form
        void (*write)(Control_Single &camera, bool on);
        bool mirrored;
    };
    static constexpr int Count = 22;
    static const std::array<Switch, Count> &all();

    // Writes the switch of the check box with that object name; false for a name not listed.
    static bool write(const char *control, Control_Single &camera, bool on);
};
