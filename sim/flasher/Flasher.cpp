#include "sim/flasher/Flasher.h"

#include "sim/camera/FirmwareImage.h"
#include "sim/flasher/FlasherCodes.h"
#include "sim/flasher/WideText.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace sim {

using namespace flasher;

namespace {

constexpr int maxSerialNumber = 63;
constexpr auto waitStep = std::chrono::milliseconds(50);

const DeviceConfig *configured(const SimConfig &config, const std::string &serial)
{
    for (const DeviceConfig &d : config.devices)
        if (d.serial == serial)
            return &d;
    return nullptr;
}

std::array<uint8_t, 6> LoaderInfo::*addressField(Flasher::Address which)
{
    switch (which) {
    case Flasher::Address::Mac:
        return &LoaderInfo::mac;
    case Flasher::Address::Wifi:
        return &LoaderInfo::wifi;
    default:
        return &LoaderInfo::bluetooth;
    }
}

} // namespace

Flasher &Flasher::get()
{
    static Flasher flasher; // closes the flash stores when the library is unloaded
    return flasher;
}

template <typename F> int Flasher::onDevice(const char16_t *path, F &&f)
{
    std::lock_guard<std::mutex> lock(m);
    if (!initialised)
        return NotInitialised;
    if (!path)
        return InvalidParam;
    LoaderDevice *d = find(path);
    if (!d)
        return NoDevice;
    if (d->lost())
        return DeviceGone;
    return f(*d);
}

template <typename F> int Flasher::onInfo(F &&f)
{
    std::lock_guard<std::mutex> lock(m);
    if (!initialised)
        return NotInitialised;
    LoaderDevice *d = first();
    return d ? f(d->info) : NoDevice;
}

LoaderDevice *Flasher::find(const char16_t *path)
{
    for (auto &d : devices)
        if (d->isPath(path))
            return d.get();
    return nullptr;
}

LoaderDevice *Flasher::first()
{
    for (auto &d : devices)
        if (!d->lost())
            return d.get();
    return nullptr;
}

void Flasher::remove(const LoaderDevice *device)
{
    devices.erase(std::remove_if(devices.begin(), devices.end(), [&](const auto &d) { return d.get() == device; }),
                  devices.end());
}

void Flasher::release()
{
    initialised = false;
    devices.clear();
    records.clear();
    records.shrink_to_fit();
    firmwarePath.clear();
    configError.clear();
    log.close();
}

int Flasher::initialize(int logEnabled, const char16_t *logDir)
{
    std::lock_guard<std::mutex> lock(m);
    release();
    SimConfig config;
    std::string error;
    if (!SimConfig::load(config, error)) {
        log.say(error);
        return 0;
    }
    std::string folder;
    if (logEnabled && logDir && utf8FromUtf16(logDir, folder))
        log.open(folder);
    if (config.loaderRefuseInit) {
        log.say("initialisation refused (loaderRefuseInit)");
        log.close();
        return 0;
    }
    initialised = true;
    log.note("initialised");
    return 1;
}

int Flasher::uninitialize()
{
    std::lock_guard<std::mutex> lock(m);
    if (!initialised)
        return NotInitialised;
    log.note("uninitialised");
    release();
    return Ok;
}

// Under the lock. A device keeps its boot loader and open store from scan to scan while its
// announcement stays the same; a lost one stays unlisted until the camera is announced afresh.
int Flasher::rescan()
{
    SimConfig config;
    std::string error;
    const bool haveConfig = SimConfig::load(config, error);
    if (!haveConfig && error != configError)
        log.say(error + "; the loader faults stay as they were");
    configError = haveConfig ? std::string() : error;

    std::vector<std::unique_ptr<LoaderDevice>> next;
    for (const LoaderState::Announcement &a : LoaderState::inLoader()) {
        auto known =
            std::find_if(devices.begin(), devices.end(), [&](const auto &d) { return d && d->sameAnnouncement(a); });
        const DeviceConfig *settings = haveConfig ? configured(config, a.serial) : nullptr;
        std::unique_ptr<LoaderDevice> d =
            known != devices.end() ? std::move(*known) : LoaderDevice::create(a, settings);
        if (!d)
            continue;
        if (haveConfig)
            d->applyFaults(settings);
        next.push_back(std::move(d));
    }
    devices = std::move(next);
    records.clear();
    for (const auto &d : devices)
        if (!d->lost())
            records.push_back(d->record(uint32_t(records.size() + 1)));
    return int(records.size());
}

int Flasher::scan(RKDeviceRecord **out)
{
    std::lock_guard<std::mutex> lock(m);
    if (!initialised)
        return NotInitialised;
    if (!out)
        return InvalidParam;
    const int n = rescan();
    *out = n > 0 ? records.data() : nullptr;
    return n;
}

int Flasher::waitDevice(int timeoutMs)
{
    if (timeoutMs < 0)
        return InvalidParam;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m);
            if (!initialised)
                return NotInitialised;
            if (const int n = rescan())
                return n;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return Timeout;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(waitStep, deadline - now));
    }
}

int Flasher::downloadBoot(const char16_t *device, const char16_t *loaderPath)
{
    return onDevice(device, [&](LoaderDevice &d) {
        std::string path;
        if (!utf8FromUtf16(loaderPath, path) || path.empty())
            return int(InvalidParam);
        return d.downloadBoot(path, log);
    });
}

int Flasher::writeLba(const char16_t *device, uint32_t first, uint32_t count, const uint8_t *data)
{
    return onDevice(device, [&](LoaderDevice &d) {
        return !data || count == 0 ? int(InvalidParam) : d.write(first, count, data, log);
    });
}

int Flasher::readLba(const char16_t *device, uint32_t first, uint32_t count, uint8_t *buffer)
{
    return onDevice(device, [&](LoaderDevice &d) {
        return !buffer || count == 0 ? int(InvalidParam) : d.read(first, count, buffer);
    });
}

int Flasher::unlock(const char16_t *device)
{
    return onDevice(device, [](LoaderDevice &) { return int(Ok); }); // a virtual loader is never locked
}

int Flasher::setFirmware(const char16_t *path)
{
    std::lock_guard<std::mutex> lock(m);
    if (!initialised)
        return NotInitialised;
    std::string text;
    if (!utf8FromUtf16(path, text) || text.empty())
        return InvalidParam;
    firmwarePath = text;
    return Ok;
}

// The whole sequence in one call: the image set with RK_SetFirmwareW is written from sector 0,
// read back, and the device reset.
int Flasher::upgrade(const char16_t *device)
{
    return onDevice(device, [&](LoaderDevice &d) {
        if (firmwarePath.empty())
            return int(InvalidParam);
        if (!d.booted())
            return int(NoBootLoader);
        std::vector<uint8_t> image;
        std::string why;
        if (!readImageFile(firmwarePath, 1, d.capacity(), image, why)) {
            log.say(d.serial() + ": firmware " + firmwarePath + ": " + why);
            return int(InvalidParam);
        }
        const size_t size = image.size();
        const uint32_t sectors = uint32_t((size + FlashStore::sectorSize - 1) / FlashStore::sectorSize);
        image.resize(size_t(sectors) * FlashStore::sectorSize, 0);
        std::vector<uint8_t> back(image.size());
        if (const int st = d.write(0, sectors, image.data(), log))
            return st;
        if (const int st = d.read(0, sectors, back.data()))
            return st;
        if (std::memcmp(image.data(), back.data(), size) != 0) {
            log.say(d.serial() + ": firmware " + firmwarePath + ": the flash reads back different bytes");
            return int(IoError);
        }
        if (!d.reset(log))
            return int(BadImage);
        remove(&d);
        return int(Ok);
    });
}

int Flasher::eraseFlash()
{
    std::lock_guard<std::mutex> lock(m);
    if (!initialised)
        return NotInitialised;
    LoaderDevice *d = first();
    return d ? d->erase() : NoDevice;
}

int Flasher::reset()
{
    std::lock_guard<std::mutex> lock(m);
    if (!initialised)
        return NotInitialised;
    std::vector<LoaderDevice *> booted;
    for (auto &d : devices)
        if (d->booted() && !d->lost())
            booted.push_back(d.get());
    if (booted.empty()) {
        log.note("reset: no device has a boot loader");
        return NoDevice;
    }
    int result = Ok;
    for (LoaderDevice *d : booted) {
        if (d->reset(log))
            remove(d);
        else
            result = BadImage;
    }
    return result;
}

int Flasher::readCustomData(uint8_t *buffer, int size, int offset)
{
    return onInfo([&](LoaderInfo &info) {
        if (!buffer || size <= 0 || offset < 0 || offset > LoaderInfo::customSize ||
            size > LoaderInfo::customSize - offset)
            return int(InvalidParam);
        std::memcpy(buffer, info.custom.data() + offset, size_t(size));
        return int(Ok);
    });
}

int Flasher::writeCustomData(const uint8_t *data, int size, int offset)
{
    return onInfo([&](LoaderInfo &info) {
        if (!data || size <= 0 || offset < 0 || offset > LoaderInfo::customSize ||
            size > LoaderInfo::customSize - offset)
            return int(InvalidParam);
        std::memcpy(info.custom.data() + offset, data, size_t(size));
        return int(Ok);
    });
}

int Flasher::readSerialNumber(char *buffer, int size)
{
    return onInfo([&](LoaderInfo &info) {
        if (!buffer || size <= 0 || info.serialNumber.size() >= size_t(size))
            return int(InvalidParam);
        std::memcpy(buffer, info.serialNumber.c_str(), info.serialNumber.size() + 1);
        return int(Ok);
    });
}

int Flasher::writeSerialNumber(const char *text, int size)
{
    return onInfo([&](LoaderInfo &info) {
        if (!text || size <= 0 || size > maxSerialNumber)
            return int(InvalidParam);
        const size_t length = strnlen(text, size_t(size));
        if (length == 0)
            return int(InvalidParam);
        info.serialNumber.assign(text, length);
        return int(Ok);
    });
}

int Flasher::readAddress(Address which, uint8_t *buffer, int size)
{
    return onInfo([&](LoaderInfo &info) {
        const auto &address = info.*addressField(which);
        if (!buffer || size < int(address.size()))
            return int(InvalidParam);
        std::copy(address.begin(), address.end(), buffer);
        return int(Ok);
    });
}

int Flasher::writeAddress(Address which, const uint8_t *data, int size)
{
    return onInfo([&](LoaderInfo &info) {
        auto &address = info.*addressField(which);
        if (!data || size != int(address.size()))
            return int(InvalidParam);
        std::copy(data, data + address.size(), address.begin());
        return int(Ok);
    });
}

int Flasher::clearInfo()
{
    return onInfo([](LoaderInfo &info) {
        info.clear();
        return int(Ok);
    });
}

} // namespace sim
