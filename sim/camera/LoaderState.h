#pragma once

#include "sim/camera/SimConfig.h"

#include <cstdint>
#include <string>
#include <vector>

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

// A camera waiting in its loader, as its announcement says.
struct Announcement
{
    std::string path, serial, model, uri, firmware, flashType;
    // Which announcement this is: a camera handed to its loader again gets a new file.
    uint64_t inode = 0;
    int64_t changedNs = 0;
};

// Every camera announced with "state = loader", by file name.
std::vector<Announcement> inLoader();
// Rewrites the announcement with "state = done" and the flashed version (quoted: it holds only
// printable ASCII other than '"'), so that the camera comes back with it.
bool sendBack(const Announcement &camera, const std::string &firmware);

} // namespace LoaderState
} // namespace sim
