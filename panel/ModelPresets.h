#pragma once

#include "panel/ShownImages.h"
#include "panel/ToggleStep.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// Which of the panel's controls each camera model shows and enables when it opens. Every
// model's row names every control that any model's layout shows, hides, enables or disables,
// so that applying it in full undoes whatever the previous camera left. Plain data, no widgets.
namespace ModelPresets {

enum class Shown : uint8_t {
    Yes,
    No,
    UnlessBasicUser, // hidden for user type 0
    FullUserOnly,    // shown for user type 255 only
};

enum class Enabled : uint8_t {
    Keep, // left to the data mode and the other controls
    Yes,
    No,
    UnlessBasicUser,
};

struct ControlState
{
    QString control; // the widget's object name
    Shown shown;
    Enabled enabled;
};

using Row = std::vector<ControlState>;

// The row of a camera model (DeviceTypeCode); empty for a model without a layout of its own.
Row rowFor(int32_t deviceType);

// The controls that depend on the user type alone, applied before any model's row.
Row commonRow();

// A list entry a model selects when it opens.
struct Selection
{
    const char *control; // object name of the combo box
    int index;
};

// What opening a model sets besides its row, in this order.
struct Start
{
    std::optional<ShownImages::Set> shown; // the images shown
    std::vector<Selection> selections;     // each selected, and its slot run once more
    ControlSteps steps;                    // check boxes set
    bool loadsWdr = false;                 // the WDR output mode comes from the settings
    bool clearsDepthLimit = false;         // no largest depth and data mode 0 until the camera says
};

// The start of a camera model; nothing for a model without a layout of its own.
Start startFor(int32_t deviceType);

bool isShown(Shown shown, int userType);
// Not for Enabled::Keep.
bool isEnabled(Enabled enabled, int userType);

} // namespace ModelPresets
