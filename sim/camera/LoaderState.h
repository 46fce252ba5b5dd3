#pragma once

#include "sim/camera/SimConfig.h"

#include <string>

namespace sim {

// The shared state folder ($QUILLON_SIM_STATE) through which a camera handed to its USB loader
// meets the virtual loader device. A camera in loader mode is announced as
// <folder>/loader/<serial>.ini; the loader side rewrites the file with "state = done" (and
// "firmware = <version>" when it flashed an image) to send the camera back.
namespace LoaderState {

// Also home of the cameras' flash files (Flash).
std::string folder();
bool announce(const DeviceConfig &device, const std::string &firmware);

enum class Status { Absent, InLoader, Done };
// Done: the file is consumed and newFirmware holds the flashed version (empty if none given).
Status poll(const std::string &serial, std::string &newFirmware);

} // namespace LoaderState
} // namespace sim
