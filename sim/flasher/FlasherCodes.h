#pragma once

// What the virtual loader device's entry points return: 0 for success, a negative code for a
// failure. RK_InitializeW returns 1 when initialised and 0 when not; RK_ScanDeviceW and
// RK_WaitDevice return the number of devices when they find any.
namespace sim::flasher {

enum Code : int {
    Ok = 0,
    NotInitialised = -1, // RK_InitializeW has not succeeded (or RK_Uninitialize came since)
    InvalidParam = -2,   // a null pointer, a count of 0, a size out of range, an unreadable text
    NoDevice = -3,       // no such device in loader mode (not in the last scan)
    DeviceGone = -4,     // the device stopped answering (loaderLoseAtSector)
    NoBootLoader = -5,   // the device has no boot loader yet
    OutOfRange = -6,     // sectors beyond the device's flash
    BadBootLoader = -7,  // the boot loader image was refused
    IoError = -8,        // the flash store failed, or the write failed (loaderFailWriteAtSector)
    BadImage = -9,       // at reset, or in RK_UpgradeW: the image in flash was refused
    Timeout = -10,       // RK_WaitDevice found no device in time
};

} // namespace sim::flasher
