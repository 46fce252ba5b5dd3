#pragma once

#include "sim/flasher/FlasherLog.h"
#include "sim/flasher/LoaderDevice.h"

#include "upgrade/rkusb/RKUpgradeApi.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

// The virtual loader device behind the flashing library's entry points: the cameras the state
// folder announces in loader mode, found by RK_ScanDeviceW and then named by their path. One lock
// serialises every call (initialisation comes from one thread, the flashing from another). The
// simulator's configuration is read at initialisation and at each scan, never per sector.
class Flasher
{
public:
    static Flasher &get();

    int initialize(int logEnabled, const char16_t *logDir);
    int uninitialize();
    int scan(RKDeviceRecord **devices);
    int waitDevice(int timeoutMs);

    int downloadBoot(const char16_t *device, const char16_t *loaderPath);
    int writeLba(const char16_t *device, uint32_t first, uint32_t count, const uint8_t *data);
    int readLba(const char16_t *device, uint32_t first, uint32_t count, uint8_t *buffer);
    int unlock(const char16_t *device);
    int setFirmware(const char16_t *firmwarePath);
    int upgrade(const char16_t *device);
    int eraseFlash();
    int reset();

    // The information area of the first device in loader mode.
    int readCustomData(uint8_t *buffer, int size, int offset);
    int writeCustomData(const uint8_t *data, int size, int offset);
    int readSerialNumber(char *buffer, int size);
    int writeSerialNumber(const char *text, int size);
    enum class Address { Mac, Wifi, Bluetooth };
    int readAddress(Address which, uint8_t *buffer, int size);
    int writeAddress(Address which, const uint8_t *data, int size);
    int clearInfo();

private:
    void release();
    int rescan();
    LoaderDevice *find(const char16_t *path);
    LoaderDevice *first();
    void remove(const LoaderDevice *device); // it left its loader
    template <typename F> int onDevice(const char16_t *path, F &&f);
    template <typename F> int onInfo(F &&f);

    std::mutex m;
    bool initialised = false;
    FlasherLog log;
    std::string configError; // said once until it changes
    std::vector<std::unique_ptr<LoaderDevice>> devices;
    std::vector<RKDeviceRecord> records; // the array the last scan handed out
    std::string firmwarePath;
};

} // namespace sim
