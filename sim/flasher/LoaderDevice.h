#pragma once

#include "sim/camera/LoaderState.h"
#include "sim/camera/SimConfig.h"
#include "sim/flasher/FlashStore.h"

#include "upgrade/rkusb/RKUpgradeApi.h"

#include <array>
#include <memory>
#include <string>

namespace sim {

class FlasherLog;

// What the loader keeps beside the flash: the texts and addresses a factory tool writes.
struct LoaderInfo
{
    static constexpr int customSize = 4096;
    std::string serialNumber;
    std::array<uint8_t, 6> mac, wifi, bluetooth;
    std::array<uint8_t, customSize> custom;

    void clear(); // all erased: no serial number, every byte 0xFF
};

// One camera waiting in its USB loader, as the other end of the cable sees it: its boot loader,
// its flash store and the faults the simulator's configuration gives it.
class LoaderDevice
{
public:
    // Room for a 32 MiB image and more on either kind of flash.
    static constexpr uint64_t nandCapacity = 128ull << 20;
    static constexpr uint64_t norCapacity = 64ull << 20;

    // Null for an announcement of an unknown model or flash type.
    static std::unique_ptr<LoaderDevice> create(const LoaderState::Announcement &camera, const DeviceConfig *config);

    const LoaderState::Announcement &announcement() const { return camera; }
    const std::string &serial() const { return camera.serial; }
    bool isPath(const char16_t *path) const;
    bool sameAnnouncement(const LoaderState::Announcement &other) const;
    RKDeviceRecord record(uint32_t location) const;
    uint64_t capacity() const { return bytes; }

    void applyFaults(const DeviceConfig *config); // none without a configured camera
    bool lost() const { return gone; }
    bool booted() const { return bootLoader; }

    int downloadBoot(const std::string &loaderPath, FlasherLog &log);
    int write(uint32_t first, uint32_t count, const uint8_t *data, FlasherLog &log);
    int read(uint32_t first, uint32_t count, uint8_t *buffer);
    int erase();
    // Boots the image in flash. True when the camera took it and left its loader; otherwise it
    // stays there without a boot loader.
    bool reset(FlasherLog &log);

    LoaderInfo info;

private:
    int ready(uint32_t first, uint32_t count) const;
    bool checkImage(std::string &version, std::string &why);

    LoaderState::Announcement camera;
    std::u16string path;
    int32_t model = 0;
    uint64_t bytes = 0;
    int64_t failWriteAt = -1, flipBitAt = -1, loseAt = -1;
    bool bootLoader = false;
    bool gone = false;
    FlashStore store;
};

} // namespace sim
