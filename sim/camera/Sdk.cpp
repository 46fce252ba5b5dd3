#include "sim/camera/Sdk.h"

#include "sim/camera/FirmwareImage.h"

#include <cstdio>
#include <cstring>

namespace sim {

Sdk &Sdk::get()
{
    static Sdk *sdk = new Sdk;
    return *sdk;
}

SdkStatus Sdk::initialize()
{
    std::lock_guard<std::mutex> lock(m);
    if (initialized)
        return LX2_OK;
    SimConfig loaded;
    std::string error;
    if (!SimConfig::load(loaded, error)) {
        // The SDK has no other channel to say what is wrong with its configuration.
        std::fprintf(stderr, "quillon_api: %s\n", error.c_str());
        return LX2_E_FAILED;
    }
    faults.setRules(loaded.faults);
    if (const int32_t st = faults.check("Lx2_Initialize"))
        return st;
    config = loaded;
    const Timing timing{config.frameTimeoutMs, config.rebootMs, config.tftpWaitSeconds};
    devices.clear();
    for (const DeviceConfig &d : config.devices)
        devices.push_back(std::make_shared<Device>(d, timing));
    handles.clear();
    {
        std::lock_guard<std::mutex> ul(upgradeLock);
        cancelUpgrades = false;
    }
    initialized = true;
    return LX2_OK;
}

SdkStatus Sdk::shutdown()
{
    std::vector<std::thread> running;
    {
        std::lock_guard<std::mutex> lock(m);
        if (!initialized)
            return LX2_E_NOT_INITIALIZED;
        initialized = false;
        for (auto &d : devices) {
            d->wakeReaders();
            d->stopFetch(); // its thread never waits for this lock
        }
        handles.clear();
        devices.clear();
        std::lock_guard<std::mutex> ul(upgradeLock);
        cancelUpgrades = true;
        running.swap(upgrades);
    }
    upgradeWake.notify_all();
    for (auto &t : running)
        if (t.joinable())
            t.join();
    faults.reset();
    return LX2_OK;
}

std::vector<std::shared_ptr<Device>> Sdk::listed()
{
    std::vector<std::shared_ptr<Device>> out;
    for (auto &d : devices)
        if (d->present())
            out.push_back(d);
    return out;
}

SdkStatus Sdk::deviceCount(uint32_t *count)
{
    std::lock_guard<std::mutex> lock(m);
    if (!initialized)
        return LX2_E_NOT_INITIALIZED;
    if (!count)
        return LX2_E_NULL_POINTER;
    *count = uint32_t(listed().size());
    return LX2_OK;
}

SdkStatus Sdk::deviceInfo(SdkDeviceInfo *info, uint32_t index)
{
    std::lock_guard<std::mutex> lock(m);
    if (!initialized)
        return LX2_E_NOT_INITIALIZED;
    if (!info)
        return LX2_E_NULL_POINTER;
    const auto list = listed();
    if (index >= list.size())
        return LX2_E_INVALID_PARAM;
    *info = list[index]->info();
    return LX2_OK;
}

SdkStatus Sdk::deviceListInfo(SdkDeviceInfo *infos, uint32_t count)
{
    std::lock_guard<std::mutex> lock(m);
    if (!initialized)
        return LX2_E_NOT_INITIALIZED;
    if (!infos && count)
        return LX2_E_NULL_POINTER;
    const auto list = listed();
    // A camera that left since the count was taken leaves an empty record (type 0).
    for (uint32_t i = 0; i < count; ++i)
        infos[i] = i < list.size() ? list[i]->info() : SdkDeviceInfo{};
    return LX2_OK;
}

SdkStatus Sdk::open(const char *uri, SdkHandle *handle)
{
    std::lock_guard<std::mutex> lock(m);
    if (!initialized)
        return LX2_E_NOT_INITIALIZED;
    if (!uri || !handle)
        return LX2_E_NULL_POINTER;
    for (auto &d : listed()) {
        if (d->config().type == LX2_MODEL_NONE || d->config().uri != uri)
            continue;
        uint32_t epoch = 0;
        if (const SdkStatus st = d->open(epoch))
            return st;
        *handle = nextHandle++;
        handles[*handle] = Connection{d, epoch};
        return LX2_OK;
    }
    return LX2_E_NOT_FOUND;
}

SdkStatus Sdk::close(SdkHandle handle)
{
    std::shared_ptr<Device> device;
    uint32_t epoch = 0;
    {
        std::lock_guard<std::mutex> lock(m);
        if (!initialized)
            return LX2_E_NOT_INITIALIZED;
        const auto it = handles.find(handle);
        if (it == handles.end())
            return LX2_E_INVALID_DEVICE;
        device = it->second.device;
        epoch = it->second.epoch;
        handles.erase(it);
    }
    device->close(epoch);
    return LX2_OK;
}

SdkStatus Sdk::lookup(SdkHandle handle, uint32_t streamIndex, std::shared_ptr<Device> &device, uint32_t &epoch)
{
    std::lock_guard<std::mutex> lock(m);
    if (!initialized)
        return LX2_E_NOT_INITIALIZED;
    const auto it = handles.find(handle);
    if (it == handles.end())
        return LX2_E_INVALID_DEVICE;
    if (streamIndex != 0) // every camera has one stream
        return LX2_E_INVALID_PARAM;
    device = it->second.device;
    epoch = it->second.epoch;
    return LX2_OK;
}

SdkStatus Sdk::startUpgrade(SdkHandle handle, uint32_t streamIndex, const char *path)
{
    std::shared_ptr<Device> device;
    uint32_t epoch = 0;
    if (const SdkStatus st = lookup(handle, streamIndex, device, epoch))
        return st;
    const UpgradeStatusCallback callback = device->upgradeCallback();
    if (!callback)
        return LX2_E_NO_CALLBACK;
    if (!path || !*path)
        return LX2_E_NULL_POINTER;
    if (std::strlen(path) > 260)
        return LX2_E_PATH_TOO_LONG;
    FirmwareImage image;
    std::string why;
    if (!checkFirmwareImage(path, device->config().model->code, image, why)) {
        std::fprintf(stderr, "quillon_api: %s: %s\n", path, why.c_str());
        return LX2_E_IMAGE_CHECK;
    }
    std::string running;
    if (const SdkStatus st = device->beginUpgrade(epoch, running))
        return st;
    int stepMs;
    {
        std::lock_guard<std::mutex> lock(m);
        stepMs = config.upgradeStepMs;
    }
    {
        std::lock_guard<std::mutex> lock(upgradeLock);
        upgrades.emplace_back(&Sdk::runUpgrade, this, device, image.version, callback, stepMs);
    }
    return image.version == running ? LX2_UPGRADE_SAME_VERSION : LX2_OK;
}

bool Sdk::pause(int ms)
{
    std::unique_lock<std::mutex> lock(upgradeLock);
    return !upgradeWake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return cancelUpgrades; });
}

// Copies, checks and installs the image, reporting each stage; then the camera reboots.
void Sdk::runUpgrade(std::shared_ptr<Device> device, std::string version, UpgradeStatusCallback callback, int stepMs)
{
    const int failAt = device->config().upgradeFailAtStage;
    std::vector<std::pair<int, int>> steps = {{2, 0}, {3, 25}, {3, 50}, {3, 75}, {3, 100}, {4, 0}};
    for (int percent = 0; percent <= 100; percent += 10)
        steps.emplace_back(5, percent);
    steps.insert(steps.end(), {{6, 0}, {7, 0}, {8, 0}});
    for (const auto &[stage, value] : steps) {
        if (!pause(stepMs))
            return;
        if (stage == failAt) {
            callback(stage, -1);
            device->endUpgrade(std::string()); // it reboots into the old firmware
            return;
        }
        callback(stage, value);
    }
    device->endUpgrade(version);
}

} // namespace sim
