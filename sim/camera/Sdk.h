#pragma once

#include "sim/camera/Device.h"
#include "sim/camera/Faults.h"
#include "sim/camera/SimConfig.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace sim {

// The SDK's process-wide state: the configured cameras, the open handles and running upgrades.
// Created on first use and never destroyed, so a program that exits without Lx2_Shutdown
// does not wait for (or abort on) an upgrade thread.
class Sdk
{
public:
    static Sdk &get();

    SdkStatus initialize();
    SdkStatus shutdown();

    SdkStatus deviceCount(uint32_t *count);
    SdkStatus deviceInfo(SdkDeviceInfo *info, uint32_t index);
    SdkStatus deviceListInfo(SdkDeviceInfo *infos, uint32_t count);
    SdkStatus open(const char *uri, SdkHandle *handle);
    SdkStatus close(SdkHandle handle);
    SdkStatus lookup(SdkHandle handle, uint32_t streamIndex, std::shared_ptr<Device> &device, uint32_t &epoch);
    SdkStatus startUpgrade(SdkHandle handle, uint32_t streamIndex, const char *path);

    Faults faults;

private:
    Sdk() = default;
    std::vector<std::shared_ptr<Device>> listed(); // attached cameras, in configuration order
    void runUpgrade(std::shared_ptr<Device> device, std::string version, UpgradeStatusCallback callback, int stepMs);
    bool pause(int ms); // one upgrade step; false when the SDK shuts down

    struct Connection
    {
        std::shared_ptr<Device> device;
        uint32_t epoch = 0;
    };

    std::mutex m;
    bool initialized = false;
    SimConfig config;
    std::vector<std::shared_ptr<Device>> devices;
    std::map<SdkHandle, Connection> handles;
    SdkHandle nextHandle = 1;

    std::mutex upgradeLock;
    std::condition_variable upgradeWake;
    bool cancelUpgrades = false;
    std::vector<std::thread> upgrades;
};

} // namespace sim
