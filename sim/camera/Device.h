#pragma once

#include "sim/camera/DeviceState.h"
#include "sim/camera/Renderer.h"
#include "sim/camera/Replay.h"
#include "sim/camera/TftpClient.h"

#include "camera/sdk/quillon_types.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace sim {

struct Timing
{
    int frameTimeoutMs = 200;
    int rebootMs = 4000;
    int tftpWaitSeconds = 60;
};

// What a network camera's firmware fetch is doing or came to.
struct FetchStatus
{
    enum State { None, Asking, Receiving, Installed, Failed };
    State state = None;
    uint32_t requests = 0, blocks = 0, dropped = 0;
};

// One virtual camera: its stored state, its connection and its stream. Settings calls take
// the state lock only briefly; a read waits for its frame without it and renders from a copy
// of the settings, so a settings call never waits for a frame.
class Device
{
public:
    using Clock = std::chrono::steady_clock;

    Device(const DeviceConfig &config, const Timing &timing);
    ~Device(); // stops a running fetch
    Device(const Device &) = delete;
    Device &operator=(const Device &) = delete;

    const DeviceConfig &config() const { return cfg; }
    bool present(); // attached and not rebooting or in its loader
    SdkDeviceInfo info();

    // Connection; epoch identifies one opening, so a handle dies with its connection.
    SdkStatus open(uint32_t &epoch);
    SdkStatus close(uint32_t epoch);
    SdkStatus startStream(uint32_t epoch);
    SdkStatus stopStream(uint32_t epoch);

    SdkStatus readNextFrame(uint32_t epoch, FrameReadyFlags *flags);
    SdkStatus getFrame(uint32_t epoch, FrameKind kind, SdkFrame *frame);
    SdkStatus convertToWorld(uint32_t epoch, const SdkFrame *frame, WorldPoint *points);
    SdkStatus frameMode(uint32_t epoch, FrameKind kind, SdkFrameMode *mode);
    SdkStatus cameraParameters(uint32_t epoch, int32_t sensor, CameraIntrinsics *out);

    // Runs f(DeviceState &) under the state lock when the connection is alive.
    template <typename F> SdkStatus withState(uint32_t epoch, F &&f)
    {
        std::lock_guard<std::mutex> lock(m);
        if (const SdkStatus st = checkConnection(epoch))
            return st;
        return f(state);
    }

    SdkStatus getProperty(uint32_t epoch, PropertyId id, void *buffer, int32_t *length);
    // The upgrade hand-over text sends a network camera to fetch its firmware over TFTP.
    SdkStatus setProperty(uint32_t epoch, PropertyId id, const void *buffer, int32_t length);

    // Upgrade support.
    SdkStatus setUpgradeCallback(uint32_t epoch, UpgradeStatusCallback cb);
    UpgradeStatusCallback upgradeCallback();
    SdkStatus beginUpgrade(uint32_t epoch, std::string &runningVersion);
    void endUpgrade(const std::string &newFirmware); // reboots; empty keeps the running version

    FetchStatus fetchStatus();

    void wakeReaders(); // the SDK shuts down
    void stopFetch();   // ... and with it a fetch: it ends before this returns
    // Reads inside their wait for a frame set.
    int waitingReaders();

private:
    SdkStatus checkConnection(uint32_t epoch) const;
    void dropConnection(); // the camera went away: handles die, readers wake
    void enterLoader();
    void reboot(); // away for the reboot time; the connection dies
    SdkStatus startFetch(const TftpSource &source);
    void runFetch(TftpClient *client, TftpSource source);
    uint32_t kindsOf(int64_t set) const;
    uint32_t replayKinds() const;
    std::chrono::microseconds framePeriod() const;
    RenderParams renderParams(int64_t set, uint32_t kinds) const;

    DeviceConfig cfg;
    Timing timing;

    std::mutex m; // guards everything below except the render state
    std::condition_variable wake;
    int readersWaiting = 0;
    DeviceState state;
    bool opened = false;
    bool streaming = false;
    uint32_t epoch = 0;
    bool lost = false;        // the open connection died with the camera
    bool unplugged = false;   // gone after its frame budget
    bool powerCycled = false; // replugged: its settings start afresh at the next open
    Clock::time_point absentUntil{};
    bool inLoader = false;
    bool upgrading = false;
    UpgradeStatusCallback callback = nullptr;
    // The firmware fetch: its thread ends with `fetching` cleared under the lock.
    std::unique_ptr<TftpClient> fetcher;
    std::thread fetchThread;
    bool fetching = false;
    bool fetchStopped = false;
    FetchStatus::State fetchEnd = FetchStatus::None;
    Clock::time_point streamStart{};
    int64_t nextSet = 0;
    long setsDelivered = 0;
    int front = 0;
    bool frontValid = false;
    bool freshStream = false; // the time filter forgets the last stream

    std::mutex readLock; // one reader at a time; guards the renderer and the back frame set
    Renderer renderer;
    FrameSet sets[2];
    std::unique_ptr<Replay> replay; // frame sets from a recording instead of the renderer
};

} // namespace sim
