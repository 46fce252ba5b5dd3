#include "sim/flasher/LoaderDevice.h"

#include "sim/camera/BootImage.h"
#include "sim/camera/FirmwareImage.h"
#include "sim/flasher/FlasherCodes.h"
#include "sim/flasher/FlasherLog.h"
#include "sim/flasher/WideText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sim {

namespace {

using namespace flasher;

// In loader mode the camera answers with a product id of its own.
constexpr uint32_t loaderVendorId = 0x2bc5, loaderProductBase = 0x0500;

std::string sectorText(int64_t sector)
{
    return "sector " + std::to_string(sector);
}

} // namespace

void LoaderInfo::clear()
{
    serialNumber.clear();
    mac.fill(0xFF);
    wifi.fill(0xFF);
    bluetooth.fill(0xFF);
    custom.fill(0xFF);
}

std::unique_ptr<LoaderDevice> LoaderDevice::create(const LoaderState::Announcement &camera, const DeviceConfig *config)
{
    const ModelInfo *info = modelByName(camera.model);
    if (!info || (camera.flashType != "nand" && camera.flashType != "nor"))
        return nullptr;
    auto d = std::make_unique<LoaderDevice>();
    d->camera = camera;
    d->path = utf16FromAscii("usb-loader:" + camera.serial);
    d->model = info->code;
    d->bytes = camera.flashType == "nand" ? nandCapacity : norCapacity;
    d->info.clear();
    d->info.serialNumber = camera.serial;
    unsigned m[6];
    if (config && std::sscanf(config->mac.c_str(), "%2x%*1[:-]%2x%*1[:-]%2x%*1[:-]%2x%*1[:-]%2x%*1[:-]%2x", &m[0],
                              &m[1], &m[2], &m[3], &m[4], &m[5]) == 6)
        for (int i = 0; i < 6; ++i)
            d->info.mac[i] = uint8_t(m[i]);
    d->applyFaults(config);
    return d;
}

bool LoaderDevice::isPath(const char16_t *given) const
{
    return sameWideText(given, path);
}

bool LoaderDevice::sameAnnouncement(const LoaderState::Announcement &other) const
{
    return other.serial == camera.serial && other.inode == camera.inode && other.changedNs == camera.changedNs;
}

RKDeviceRecord LoaderDevice::record(uint32_t location) const
{
    RKDeviceRecord r{};
    r.vendorId = loaderVendorId;
    r.productId = loaderProductBase + uint32_t(model);
    std::copy(path.begin(), path.end(), r.path); // at most "usb-loader:" and 31 characters
    r.location = location;
    r.mode = RK_DEVICE_MODE_LOADER;
    return r;
}

void LoaderDevice::applyFaults(const DeviceConfig *config)
{
    failWriteAt = config ? config->loaderFailWriteAtSector : -1;
    flipBitAt = config ? config->loaderFlipBitAtSector : -1;
    loseAt = config ? config->loaderLoseAtSector : -1;
}

int LoaderDevice::downloadBoot(const std::string &loaderPath, FlasherLog &log)
{
    if (gone)
        return DeviceGone;
    bootLoader = false; // whatever ran before is replaced
    BootImage boot;
    std::string why;
    if (!checkBootImage(loaderPath, model, camera.flashType, boot, why)) {
        log.say(camera.serial + ": boot loader " + loaderPath + " refused: " + why);
        return BadBootLoader;
    }
    const std::string flash = camera.path.substr(0, camera.path.size() - 4) + ".flash";
    if (!store.isOpen() && !store.open(flash, bytes, why)) {
        log.say(camera.serial + ": flash store " + why);
        return IoError;
    }
    bootLoader = true;
    log.note(camera.serial + ": boot loader " + loaderPath + " running");
    return Ok;
}

int LoaderDevice::ready(uint32_t first, uint32_t count) const
{
    if (gone)
        return DeviceGone;
    if (!bootLoader)
        return NoBootLoader;
    return uint64_t(first) + count > store.sectors() ? OutOfRange : Ok;
}

int LoaderDevice::write(uint32_t first, uint32_t count, const uint8_t *data, FlasherLog &log)
{
    if (const int st = ready(first, count))
        return st;
    const uint64_t end = uint64_t(first) + count;
    auto covers = [&](int64_t sector) { return sector >= int64_t(first) && sector < int64_t(end); };
    if (covers(loseAt)) {
        gone = true;
        bootLoader = false;
        store.close();
        log.say(camera.serial + ": the device stopped answering at " + sectorText(loseAt) + " (loaderLoseAtSector)");
        return DeviceGone;
    }
    if (covers(failWriteAt)) {
        log.say(camera.serial + ": write of sectors " + std::to_string(first) + " to " + std::to_string(end - 1) +
                " failed at " + sectorText(failWriteAt) + " (loaderFailWriteAtSector)");
        return IoError;
    }
    const bool flip = covers(flipBitAt);
    if (!store.write(first, count, data, flip ? flipBitAt : -1)) {
        log.say(camera.serial + ": flash store write failed: " + std::strerror(errno));
        return IoError;
    }
    if (flip)
        log.note(camera.serial + ": " + sectorText(flipBitAt) + " stored with a flipped bit (loaderFlipBitAtSector)");
    return Ok;
}

int LoaderDevice::read(uint32_t first, uint32_t count, uint8_t *buffer)
{
    if (const int st = ready(first, count))
        return st;
    return store.read(first, count, buffer) ? Ok : IoError;
}

int LoaderDevice::erase()
{
    if (const int st = ready(0, 0))
        return st;
    return store.erase() ? Ok : IoError;
}

bool LoaderDevice::checkImage(std::string &version, std::string &why)
{
    std::vector<uint8_t> file;
    if (!store.readBytes(0, firmwareHeaderSize, file)) {
        why = "the flash cannot be read";
        return false;
    }
    if (std::memcmp(file.data(), "QFW1", 4) != 0) {
        why = "no firmware image at sector 0";
        return false;
    }
    const uint64_t size = firmwareHeaderSize + uint64_t(readLe32(&file[24]));
    if (size > bytes) {
        why = "the image header claims more than the flash holds";
        return false;
    }
    FirmwareImage image;
    if (!store.readBytes(0, size_t(size), file) || !checkFirmwareImage(file, model, image, why))
        return false;
    version = image.version;
    return true;
}

bool LoaderDevice::reset(FlasherLog &log)
{
    bootLoader = false;
    std::string version, why;
    bool good = checkImage(version, why);
    if (good && !LoaderState::sendBack(camera, version)) {
        why = "version \"" + version + "\" cannot be announced, or the announcement cannot be written";
        good = false;
    }
    if (good)
        log.say(camera.serial + ": reset: firmware " + version + " checked, the camera boots it");
    else
        log.say(camera.serial + ": reset: the image in flash was refused (" + why +
                "); the camera stays in its loader");
    return good;
}

} // namespace sim
