#include "sim/camera/Device.h"

#include "sim/camera/FirmwareImage.h"
#include "sim/camera/LoaderState.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>

namespace sim {

namespace {

uint32_t serialHash(const std::string &s)
{
    uint32_t h = 2166136261u;
    for (unsigned char c : s)
        h = (h ^ c) * 16777619u;
    return h;
}

} // namespace

Device::Device(const DeviceConfig &config, const Timing &t)
    : cfg(config)
    , timing(t)
    , state(config)
{
    if (!cfg.replay.empty())
        replay = std::make_unique<Replay>(cfg.replay, cfg.model->code == LX2_MODEL_BRIO, cfg.fps, cfg.serial);
}

Device::~Device()
{
    stopFetch();
}

bool Device::present()
{
    std::lock_guard<std::mutex> lock(m);
    if (unplugged || Clock::now() < absentUntil)
        return false;
    if (inLoader) {
        std::string flashed;
        switch (LoaderState::poll(cfg.serial, flashed)) {
        case LoaderState::Status::InLoader:
            return false;
        case LoaderState::Status::Done:
            if (!flashed.empty())
                state.installFirmware(flashed);
            inLoader = false;
            reboot(); // it boots the flashed image first
            return Clock::now() >= absentUntil;
        case LoaderState::Status::Absent: // someone power-cycled it
            break;
        }
        inLoader = false;
    }
    return true;
}

SdkDeviceInfo Device::info()
{
    std::lock_guard<std::mutex> lock(m);
    SdkDeviceInfo info{};
    info.vendorId = cfg.vendorId;
    info.productId = cfg.productId;
    info.deviceType = cfg.type;
    std::strncpy(info.uri, cfg.uri.c_str(), sizeof info.uri - 1);
    std::strncpy(info.serialNumber, cfg.serial.c_str(), sizeof info.serialNumber - 1);
    std::strncpy(info.firmwareVersion, state.firmware().c_str(), sizeof info.firmwareVersion - 1);
    info.connection = cfg.model->network ? 1 : 0;
    return info;
}

SdkStatus Device::checkConnection(uint32_t e) const
{
    if (e == epoch && opened)
        return LX2_OK;
    if (e == epoch && lost)
        return LX2_E_DEVICE_GONE;
    return LX2_E_INVALID_DEVICE;
}

void Device::dropConnection()
{
    opened = false;
    streaming = false;
    lost = true;
    frontValid = false;
    if (replay)
        replay->stop(); // and a read waiting for its next set wakes
    wake.notify_all();
}

void Device::enterLoader()
{
    inLoader = true;
    dropConnection();
    LoaderState::announce(cfg, state.firmware());
}

void Device::reboot()
{
    absentUntil = Clock::now() + std::chrono::milliseconds(timing.rebootMs);
    if (opened)
        dropConnection();
}

SdkStatus Device::open(uint32_t &e)
{
    std::lock_guard<std::mutex> lock(m);
    if (opened)
        return LX2_E_BUSY;
    if (std::exchange(powerCycled, false))
        state.powerOn();
    opened = true;
    lost = false;
    streaming = false;
    frontValid = false;
    setsDelivered = 0;
    e = ++epoch;
    return LX2_OK;
}

SdkStatus Device::close(uint32_t e)
{
    std::lock_guard<std::mutex> lock(m);
    if (e != epoch)
        return LX2_E_INVALID_DEVICE;
    if (replay)
        replay->stop();
    // Closing a connection the camera already dropped is fine: it frees the handle.
    opened = false;
    streaming = false;
    lost = false;
    frontValid = false;
    wake.notify_all();
    return LX2_OK;
}

SdkStatus Device::startStream(uint32_t e)
{
    std::lock_guard<std::mutex> lock(m);
    if (const SdkStatus st = checkConnection(e))
        return st;
    if (!streaming) {
        streaming = true;
        streamStart = Clock::now();
        nextSet = 0;
        frontValid = false;
        freshStream = true;
        if (replay)
            replay->start();
    }
    return LX2_OK;
}

SdkStatus Device::stopStream(uint32_t e)
{
    std::lock_guard<std::mutex> lock(m);
    if (const SdkStatus st = checkConnection(e))
        return st;
    if (!streaming)
        return LX2_E_NOT_STREAMING;
    streaming = false;
    if (replay)
        replay->stop();
    wake.notify_all();
    return LX2_OK;
}

void Device::wakeReaders()
{
    std::lock_guard<std::mutex> lock(m);
    dropConnection();
    lost = false;
}

int Device::waitingReaders()
{
    std::lock_guard<std::mutex> lock(m);
    return readersWaiting;
}

uint32_t Device::kindsOf(int64_t set) const
{
    const DeviceSettings &s = state.settings;
    if (s.lowPower || s.slave) // standby, or waiting for a trigger nobody sends
        return 0;
    bool depth = false, ir = false, colour = false, halfRate = false;
    switch (s.dataMode) {
    case LX2_DATA_DEPTH_RGB_30:
    case LX2_DATA_NO_CORRECTION_30:
    case LX2_DATA_WDR_DEPTH:
        depth = colour = true;
        break;
    case LX2_DATA_IR_RGB_30:
        ir = colour = true;
        break;
    case LX2_DATA_DEPTH_IR_30:
        depth = ir = true;
        break;
    case LX2_DATA_DEPTH_IR_15_RGB_30:
    case LX2_DATA_WORK_DEPTH_IR_15_RGB_30:
        depth = ir = colour = halfRate = true;
        break;
    case LX2_DATA_WORK_RGB_30:
        colour = true;
        break;
    default:
        break;
    }
    const bool colourSensor = colour && cfg.hasColour;
    if (halfRate && (set & 1))
        depth = ir = false;
    depth = depth && s.depthEnabled;
    ir = ir && s.irEnabled;
    colour = colourSensor && s.rgbEnabled;
    uint32_t kinds = 0;
    if (depth)
        kinds |= (s.dataMode == LX2_DATA_WDR_DEPTH && s.wdrStyle == 0) ? wdrDepthReady : depthReady;
    if (ir)
        kinds |= irReady;
    if (colour)
        kinds |= rgbReady;
    if (colourSensor) {
        if (depth && colour && s.mapDepthToRgb)
            kinds |= mappedRGBReady;
        if (depth && s.mapRgbToDepth)
            kinds |= mappedDepthReady;
        if (ir && s.mapRgbToIr)
            kinds |= mappedIRReady;
    }
    return kinds;
}

// A recording brings the kinds it holds; the camera's stream switches still turn them off, and
// a model without a colour sensor shows no colour.
uint32_t Device::replayKinds() const
{
    if (!kindsOf(0))
        return 0; // standby, waiting for a trigger, or every stream off
    const DeviceSettings &s = state.settings;
    uint32_t kinds = 0;
    if (s.depthEnabled)
        kinds |= depthReady | wdrDepthReady;
    if (s.irEnabled)
        kinds |= irReady;
    if (cfg.hasColour) {
        if (s.rgbEnabled)
            kinds |= rgbReady;
        if (s.rgbEnabled && s.depthEnabled)
            kinds |= mappedRGBReady;
        if (s.depthEnabled)
            kinds |= mappedDepthReady;
        if (s.irEnabled)
            kinds |= mappedIRReady;
    }
    return kinds;
}

std::chrono::microseconds Device::framePeriod() const
{
    return replay ? replay->period() : std::chrono::microseconds(1000000 / cfg.fps);
}

RenderParams Device::renderParams(int64_t set, uint32_t kinds) const
{
    const DeviceSettings &s = state.settings;
    RenderParams p;
    p.kinds = kinds;
    p.sceneTime = double(set) / cfg.fps;
    p.noiseSeed = serialHash(cfg.serial) ^ uint32_t(set * 2654435761u);
    p.calibration = state.renderCalibration();
    p.calibrationVersion = state.calibrationVersion();
    p.depthWidth = cfg.depthWidth;
    p.depthHeight = cfg.depthHeight;
    p.colourNativeWidth = cfg.colourWidth;
    p.colourNativeHeight = cfg.colourHeight;
    if (!DeviceState::rgbResolutionSize(s.rgbResolution, p.colourWidth, p.colourHeight) ||
        p.colourWidth > cfg.colourWidth || p.colourHeight > cfg.colourHeight) {
        p.colourWidth = cfg.colourWidth;
        p.colourHeight = cfg.colourHeight;
    }
    const bool raw = s.dataMode == LX2_DATA_NO_CORRECTION_30;
    p.depthUndistort = s.depthUndistort && !raw;
    p.realDepth = s.realDepth && !raw;
    p.irUndistort = s.irUndistort;
    p.rgbUndistort = s.rgbUndistort;
    p.mirror = s.mirror;
    p.rgbBrightness = s.rgbAec ? 1.0f : std::clamp(std::round(s.exposure / 0.01f * s.gain * 32) / 32, 0.1f, 4.0f);

    auto part = [&](int range) {
        const MeasuringRange r = state.measuringRange(range / 3);
        RangePart rp;
        rp.depthMax = r.depthMax[range % 3];
        rp.noiseScale = std::max(0.3f, rp.depthMax / 3000.0f);
        return rp;
    };
    int range = s.depthRange;
    if (s.dataMode == LX2_DATA_WDR_DEPTH) {
        const int n = int(std::clamp<uint32_t>(s.wdr.totalRange, 1, 3));
        const int wdrRanges[3] = {int(s.wdr.range1), int(s.wdr.range2), int(s.wdr.range3)};
        const int counts[3] = {s.wdr.range1Count, s.wdr.range2Count, s.wdr.range3Count};
        if (s.wdrStyle == 0) {
            p.rangeParts = n;
            for (int k = 0; k < n; ++k)
                p.ranges[k] = part(wdrRanges[k]);
            std::sort(p.ranges.begin(), p.ranges.begin() + n,
                      [](const RangePart &a, const RangePart &b) { return a.depthMax < b.depthMax; });
        } else {
            // One range per frame set, each repeated its count.
            int total = 0;
            for (int k = 0; k < n; ++k)
                total += std::max(1, counts[k]);
            int slot = int(set % total), k = 0;
            while (slot >= std::max(1, counts[k]))
                slot -= std::max(1, counts[k++]);
            range = wdrRanges[k];
        }
    }
    if (p.rangeParts == 1)
        p.ranges[0] = part(range);
    p.amplitudeThreshold = s.threshold * 2;
    p.irGain = s.tofAec ? 1.0f : std::clamp(state.pulseCount(range) / 1000.0f, 0.2f, 3.0f);
    p.irAmbient = !state.irBackgroundSuppressed();
    p.spatialFilter = s.spatialFilter;
    p.timeFilter = s.timeFilter;
    return p;
}

SdkStatus Device::readNextFrame(uint32_t e, FrameReadyFlags *flags)
{
    if (!flags)
        return LX2_E_NULL_POINTER;
    std::lock_guard<std::mutex> reader(readLock);
    std::unique_lock<std::mutex> lock(m);
    if (const SdkStatus st = checkConnection(e))
        return st;
    if (!streaming)
        return LX2_E_NOT_STREAMING;

    const auto period = framePeriod();
    const auto deadline = Clock::now() + period + std::chrono::milliseconds(timing.frameTimeoutMs);
    const uint32_t myEpoch = epoch;
    auto interrupted = [&] { return epoch != myEpoch || !opened || !streaming; };
    auto waitUntil = [&](Clock::time_point until) {
        ++readersWaiting;
        const bool woken = wake.wait_until(lock, until, interrupted);
        --readersWaiting;
        return woken;
    };
    for (;;) {
        auto now = Clock::now();
        // A reader that fell behind gets the newest set, as from a real camera.
        if (now - (streamStart + nextSet * period) > 2 * period)
            nextSet = (now - streamStart) / period;
        const auto due = streamStart + nextSet * period;
        if (due > deadline) {
            waitUntil(deadline);
            if (const SdkStatus st = checkConnection(e))
                return st;
            return streaming ? LX2_E_TIMEOUT : LX2_E_NOT_STREAMING;
        }
        if (waitUntil(due)) {
            if (const SdkStatus st = checkConnection(e))
                return st;
            return LX2_E_NOT_STREAMING;
        }
        if (Clock::now() < due)
            continue;
        const int64_t set = nextSet++;
        if (cfg.dropEvery > 0 && (set + 1) % cfg.dropEvery == 0)
            return LX2_E_TIMEOUT; // lost on the way
        const uint32_t kinds = replay ? replayKinds() : kindsOf(set);
        if (!kinds)
            continue; // nothing scheduled in this slot
        if (cfg.unplugAfterFrames > 0 && setsDelivered >= cfg.unplugAfterFrames) {
            if (cfg.replugAfterSeconds > 0)
                absentUntil = Clock::now() + std::chrono::milliseconds(long(cfg.replugAfterSeconds * 1000));
            else
                unplugged = true;
            powerCycled = true;
            dropConnection();
            return LX2_E_DEVICE_GONE;
        }
        FrameSet &back = sets[1 - front];
        bool got = true;
        if (replay) {
            lock.unlock();
            got = replay->take(set, deadline, back);
        } else {
            const RenderParams params = renderParams(set, kinds);
            const bool restart = std::exchange(freshStream, false);
            lock.unlock();
            if (restart)
                renderer.resetHistory();
            renderer.render(params, back);
        }
        back.index = uint32_t(set);
        back.timestampUs = uint64_t(set) * period.count();
        lock.lock();
        if (const SdkStatus st = checkConnection(e))
            return st;
        if (!streaming)
            return LX2_E_NOT_STREAMING;
        if (!got)
            return LX2_E_TIMEOUT; // the recording is behind, or has nothing left to play
        back.flags &= kinds;
        if (!back.flags)
            continue; // only kinds this camera does not send now
        front = 1 - front;
        frontValid = true;
        ++setsDelivered;
        *flags = back.flags;
        return LX2_OK;
    }
}

SdkStatus Device::getFrame(uint32_t e, FrameKind kind, SdkFrame *frame)
{
    std::lock_guard<std::mutex> lock(m);
    if (const SdkStatus st = checkConnection(e))
        return st;
    if (!frame)
        return LX2_E_NULL_POINTER;
    const uint32_t bit = readyBitOf(kind);
    if (!bit)
        return LX2_E_INVALID_PARAM;
    if (!frontValid || !(sets[front].flags & bit))
        return LX2_E_NO_FRAME;
    FrameSet &f = sets[front];
    Image &img = f.images[kind];
    std::memset(frame, 0, sizeof *frame);
    frame->kind = kind;
    frame->frameIndex = f.index;
    frame->bytesPerPixel = uint8_t(img.bytesPerPixel);
    frame->dataSize = uint32_t(img.data.size());
    frame->frameData = img.data.data();
    frame->timestampUs = f.timestampUs;
    frame->width = uint16_t(img.width);
    frame->height = uint16_t(img.height);
    return LX2_OK;
}

SdkStatus Device::convertToWorld(uint32_t e, const SdkFrame *frame, WorldPoint *points)
{
    Lens lens;
    {
        std::lock_guard<std::mutex> lock(m);
        if (const SdkStatus st = checkConnection(e))
            return st;
        lens = state.renderCalibration().depth;
    }
    if (!frame || !points || !frame->frameData)
        return LX2_E_NULL_POINTER;
    const int w = frame->width, h = frame->height;
    if (w == 0 || h == 0)
        return LX2_E_INVALID_PARAM;
    // Intrinsics belong to the sensor's full grid; a frame of another size scales them.
    const double sx = double(w) / cfg.depthWidth, sy = double(h) / cfg.depthHeight;
    const double fx = lens.fx * sx, fy = lens.fy * sy, cx = lens.cx * sx, cy = lens.cy * sy;
    const auto *depth = static_cast<const uint16_t *>(frame->frameData);
    for (int v = 0; v < h; ++v) {
        const float y = float((v - cy) / fy);
        for (int u = 0; u < w; ++u) {
            const size_t i = size_t(v) * w + u;
            const float z = depth[i];
            points[i] = WorldPoint{float((u - cx) / fx) * z, y * z, z};
        }
    }
    return LX2_OK;
}

SdkStatus Device::frameMode(uint32_t e, FrameKind kind, SdkFrameMode *mode)
{
    std::lock_guard<std::mutex> lock(m);
    if (const SdkStatus st = checkConnection(e))
        return st;
    if (!mode)
        return LX2_E_NULL_POINTER;
    const DeviceSettings &s = state.settings;
    const bool halfRate = s.dataMode == LX2_DATA_DEPTH_IR_15_RGB_30 || s.dataMode == LX2_DATA_WORK_DEPTH_IR_15_RGB_30;
    const int fps = replay ? int(std::lround(1e6 / double(framePeriod().count()))) : cfg.fps;
    const uint8_t tofFps = uint8_t(halfRate && !replay ? fps / 2 : fps);
    switch (kind) {
    case DepthFrame:
        *mode = SdkFrameMode{0, 1, uint16_t(cfg.depthWidth), uint16_t(cfg.depthHeight), tofFps, 0};
        return LX2_OK;
    case IRFrame:
        *mode = SdkFrameMode{1, 1, uint16_t(cfg.depthWidth), uint16_t(cfg.depthHeight), tofFps, 1};
        return LX2_OK;
    case RGBFrame: {
        if (!cfg.hasColour)
            return LX2_E_NOT_SUPPORTED;
        int w, h;
        DeviceState::rgbResolutionSize(s.rgbResolution, w, h);
        *mode = SdkFrameMode{2, 1, uint16_t(w), uint16_t(h), uint8_t(fps), 2};
        return LX2_OK;
    }
    default:
        return LX2_E_INVALID_PARAM;
    }
}

SdkStatus Device::cameraParameters(uint32_t e, int32_t sensor, CameraIntrinsics *out)
{
    std::lock_guard<std::mutex> lock(m);
    if (const SdkStatus st = checkConnection(e))
        return st;
    if (!out)
        return LX2_E_NULL_POINTER;
    if (sensor == LX2_SENSOR_DEPTH) {
        *out = state.intrinsics(LX2_SENSOR_DEPTH);
        return LX2_OK;
    }
    if (sensor != LX2_SENSOR_COLOR)
        return LX2_E_INVALID_PARAM;
    if (!cfg.hasColour)
        return LX2_E_NOT_SUPPORTED;
    // The colour lens as seen at the current colour resolution.
    CameraIntrinsics c = state.intrinsics(LX2_SENSOR_COLOR);
    Lens l;
    l.fx = c.fx;
    l.fy = c.fy;
    l.cx = c.cx;
    l.cy = c.cy;
    int w, h;
    DeviceState::rgbResolutionSize(state.settings.rgbResolution, w, h);
    l = l.scaledTo(cfg.colourWidth, cfg.colourHeight, w, h);
    c.fx = l.fx;
    c.fy = l.fy;
    c.cx = l.cx;
    c.cy = l.cy;
    *out = c;
    return LX2_OK;
}

SdkStatus Device::getProperty(uint32_t e, PropertyId id, void *buffer, int32_t *length)
{
    std::lock_guard<std::mutex> lock(m);
    if (const SdkStatus st = checkConnection(e))
        return st;
    if (std::find(cfg.failPropertyReads.begin(), cfg.failPropertyReads.end(), id) != cfg.failPropertyReads.end())
        return cfg.failPropertyStatus;
    return state.getProperty(id, buffer, length);
}

SdkStatus Device::setProperty(uint32_t e, PropertyId id, const void *buffer, int32_t length)
{
    std::lock_guard<std::mutex> lock(m);
    if (const SdkStatus st = checkConnection(e))
        return st;
    // A text the camera cannot act on is refused whole, before anything goes out.
    const bool fetch = id == PropertyTable::UpgradeHandover.id && cfg.model->network && length >= 0 &&
                       length <= PropertyStore::handoverCapacity && (buffer || length == 0);
    TftpSource source;
    if (fetch) {
        if (fetching || upgrading)
            return LX2_E_BUSY;
        std::string text = length ? std::string(static_cast<const char *>(buffer), size_t(length)) : std::string();
        text = text.substr(0, text.find('\0'));
        std::string why;
        if (!TftpSource::parseHandover(text, cfg.tftpServer, cfg.tftpFile, source, why)) {
            std::fprintf(stderr, "quillon_api: %s: firmware fetch refused: %s; nothing sent\n", cfg.serial.c_str(),
                         why.c_str());
            return LX2_E_INVALID_PARAM;
        }
    }
    bool toLoader = false;
    const SdkStatus st = state.setProperty(id, buffer, length, toLoader);
    if (toLoader)
        enterLoader();
    if (st == LX2_OK && fetch)
        return startFetch(source);
    return st;
}

// Under the lock.
SdkStatus Device::startFetch(const TftpSource &source)
{
    if (fetchStopped)
        return LX2_E_FAILED;
    if (fetchThread.joinable())
        fetchThread.join(); // the last fetch has ended: it cleared `fetching`
    const TftpTiming tftpTiming{std::chrono::milliseconds(1000), timing.tftpWaitSeconds, 5};
    fetcher = std::make_unique<TftpClient>(source, tftpTiming, TftpFaults{cfg.tftpDropEvery, cfg.tftpStallAfterBlocks});
    try {
        fetchThread = std::thread(&Device::runFetch, this, fetcher.get(), source);
    } catch (const std::system_error &error) {
        std::fprintf(stderr, "quillon_api: %s: firmware fetch not started: %s\n", cfg.serial.c_str(), error.what());
        fetchEnd = FetchStatus::Failed;
        return LX2_E_FAILED;
    }
    fetching = true;
    return LX2_OK;
}

// The fetch's own thread: the download, the image check, then a reboot into the new firmware.
void Device::runFetch(TftpClient *client, TftpSource source)
{
    std::vector<uint8_t> file;
    std::string why;
    FirmwareImage image;
    const bool good = client->fetch(file, why) && checkFirmwareImage(file, cfg.model->code, image, why);
    std::lock_guard<std::mutex> lock(m);
    if (good) {
        state.installFirmware(image.version);
        reboot();
        fetchEnd = FetchStatus::Installed;
    } else {
        // A camera checks the image before it writes its flash: the running firmware stays.
        fetchEnd = FetchStatus::Failed;
        if (!client->cancelled())
            std::fprintf(stderr, "quillon_api: %s: firmware %s from %s: %s; it keeps firmware %s\n", cfg.serial.c_str(),
                         source.file.c_str(), source.server().c_str(), why.c_str(), state.firmware().c_str());
    }
    fetching = false;
}

FetchStatus Device::fetchStatus()
{
    std::lock_guard<std::mutex> lock(m);
    FetchStatus status;
    status.state = fetchEnd;
    if (fetcher) {
        if (fetching)
            status.state = fetcher->phase() == TftpClient::Phase::Asking ? FetchStatus::Asking : FetchStatus::Receiving;
        status.requests = fetcher->requests();
        status.blocks = fetcher->blocks();
        status.dropped = fetcher->dropped();
    }
    return status;
}

void Device::stopFetch()
{
    std::thread running;
    {
        std::lock_guard<std::mutex> lock(m);
        fetchStopped = true;
        if (fetcher)
            fetcher->cancel();
        running = std::move(fetchThread);
    }
    if (running.joinable())
        running.join();
}

SdkStatus Device::setUpgradeCallback(uint32_t e, UpgradeStatusCallback cb)
{
    std::lock_guard<std::mutex> lock(m);
    if (const SdkStatus st = checkConnection(e))
        return st;
    callback = cb;
    return LX2_OK;
}

UpgradeStatusCallback Device::upgradeCallback()
{
    std::lock_guard<std::mutex> lock(m);
    return callback;
}

SdkStatus Device::beginUpgrade(uint32_t e, std::string &runningVersion)
{
    std::lock_guard<std::mutex> lock(m);
    if (const SdkStatus st = checkConnection(e))
        return st;
    if (upgrading || fetching)
        return LX2_E_BUSY;
    upgrading = true;
    runningVersion = state.firmware();
    return LX2_OK;
}

void Device::endUpgrade(const std::string &newFirmware)
{
    std::lock_guard<std::mutex> lock(m);
    upgrading = false;
    if (!newFirmware.empty())
        state.installFirmware(newFirmware);
    reboot();
}

} // namespace sim
