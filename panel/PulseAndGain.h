#pragma once

#include "camera/sdk/quillon_types.h"

#include <optional>

class Control_Single;

// The pulse count of a depth range and the GMM gain, as the panel's "Get" and "Set" show and
// send them. No widgets.
namespace PulseAndGain {

struct Values
{
    std::optional<int> pulseCount; // the low 16 bits of the camera's count
    std::optional<int> gmmGain;
};

// What the camera says; a value it cannot give stays empty.
Values read(Control_Single &camera);

// The pulse-count record for range: the count, range's depth mode and the range itself.
PulseCountSet record(int pulseCount, int range);

// Sends the pulse count for range, then the gain; nothing when both are 0 (nothing entered).
// False when nothing was sent.
bool write(Control_Single &camera, int pulseCount, int gmmGain, int range);

} // namespace PulseAndGain
