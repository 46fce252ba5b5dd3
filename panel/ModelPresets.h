#pragma once

#include <QString>

#include <cstdint>
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

bool isShown(Shown shown, int userType);
// Not for Enabled::Keep.
bool isEnabled(Enabled enabled, int userType);

} // namespace ModelPresets
