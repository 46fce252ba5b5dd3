// The C entry points of the virtual camera SDK. Each checks the call faults first, then hands
// the call to the SDK state or to the camera behind the handle.

#include "sim/camera/Sdk.h"

#include "camera/sdk/quillon_api.h"
#include "sim/camera/quillon_sim_api.h"

#include <cmath>

using sim::Device;
using sim::DeviceSettings;
using sim::DeviceState;
using sim::Sdk;

namespace {

// Runs f(Device &, epoch) for the camera behind the handle.
template <typename F> SdkStatus onDevice(SdkHandle handle, uint32_t index, F &&f)
{
    std::shared_ptr<Device> device;
    uint32_t epoch = 0;
    if (const SdkStatus st = Sdk::get().lookup(handle, index, device, epoch))
        return st;
    return f(*device, epoch);
}

// Runs f(DeviceState &) under the camera's lock.
template <typename F> SdkStatus onState(SdkHandle handle, uint32_t index, F &&f)
{
    return onDevice(handle, index, [&](Device &d, uint32_t epoch) { return d.withState(epoch, f); });
}

template <typename F> SdkStatus onSettings(SdkHandle handle, uint32_t index, F &&f)
{
    return onState(handle, index, [&](DeviceState &s) { return f(s.settings); });
}

template <typename T> SdkStatus readInto(T *out, const T &value)
{
    if (!out)
        return LX2_E_NULL_POINTER;
    *out = value;
    return LX2_OK;
}

} // namespace

#define LX2_FAULT()                                                                                                    \
    if (const int32_t injected = Sdk::get().faults.check(__func__))                                                    \
    return injected

#define LX2_SWITCH(name, field)                                                                                        \
    extern "C" LX2_API SdkStatus name(SdkHandle handle, uint32_t index, int32_t enable)                                \
    {                                                                                                                  \
        LX2_FAULT();                                                                                                   \
        return onSettings(handle, index, [&](DeviceSettings &s) {                                                      \
            s.field = enable != 0;                                                                                     \
            return LX2_OK;                                                                                             \
        });                                                                                                            \
    }

#define LX2_SWITCH_GET(name, field)                                                                                    \
    extern "C" LX2_API SdkStatus name(SdkHandle handle, uint32_t index, uint8_t *enabled)                              \
    {                                                                                                                  \
        LX2_FAULT();                                                                                                   \
        return onSettings(handle, index, [&](DeviceSettings &s) { return readInto(enabled, uint8_t(s.field)); });      \
    }

// A setting that takes a whole number from lo to hi.
#define LX2_RANGED(name, type, field, lo, hi)                                                                          \
    extern "C" LX2_API SdkStatus name(SdkHandle handle, uint32_t index, type value)                                    \
    {                                                                                                                  \
        LX2_FAULT();                                                                                                   \
        if (value < (lo) || value > (hi))                                                                              \
            return LX2_E_INVALID_PARAM;                                                                                \
        return onSettings(handle, index, [&](DeviceSettings &s) {                                                      \
            s.field = static_cast<decltype(s.field)>(value);                                                           \
            return LX2_OK;                                                                                             \
        });                                                                                                            \
    }

extern "C" {

LX2_API SdkStatus Lx2_Initialize(void)
{
    // Faults for this call are checked once the configuration that names them is read.
    return Sdk::get().initialize();
}

LX2_API SdkStatus Lx2_Shutdown(void)
{
    LX2_FAULT();
    return Sdk::get().shutdown();
}

LX2_API SdkStatus Lx2_GetDeviceCount(uint32_t *count)
{
    LX2_FAULT();
    return Sdk::get().deviceCount(count);
}

LX2_API SdkStatus Lx2_GetDeviceInfo(SdkDeviceInfo *info, uint32_t index)
{
    LX2_FAULT();
    return Sdk::get().deviceInfo(info, index);
}

LX2_API SdkStatus Lx2_GetDeviceListInfo(SdkDeviceInfo *infos, uint32_t count)
{
    LX2_FAULT();
    return Sdk::get().deviceListInfo(infos, count);
}

LX2_API SdkStatus Lx2_OpenDevice(const char *uri, SdkHandle *handle)
{
    LX2_FAULT();
    return Sdk::get().open(uri, handle);
}

LX2_API SdkStatus Lx2_CloseDevice(SdkHandle handle)
{
    LX2_FAULT();
    return Sdk::get().close(handle);
}

LX2_API SdkStatus Lx2_StartStream(SdkHandle handle, uint32_t index)
{
    LX2_FAULT();
    return onDevice(handle, index, [](Device &d, uint32_t e) { return d.startStream(e); });
}

LX2_API SdkStatus Lx2_StopStream(SdkHandle handle, uint32_t index)
{
    LX2_FAULT();
    return onDevice(handle, index, [](Device &d, uint32_t e) { return d.stopStream(e); });
}

LX2_API SdkStatus Lx2_SetColorPixelFormat(SdkHandle handle, uint32_t index, int32_t format)
{
    LX2_FAULT();
    return onState(handle, index,
                   [&](DeviceState &) { return format == LX2_PIXEL_RGB888 ? LX2_OK : LX2_E_NOT_SUPPORTED; });
}

LX2_API SdkStatus Lx2_ReadNextFrame(SdkHandle handle, uint32_t index, FrameReadyFlags *flags)
{
    LX2_FAULT();
    return onDevice(handle, index, [&](Device &d, uint32_t e) { return d.readNextFrame(e, flags); });
}

LX2_API SdkStatus Lx2_GetFrame(SdkHandle handle, uint32_t index, FrameKind kind, SdkFrame *frame)
{
    LX2_FAULT();
    return onDevice(handle, index, [&](Device &d, uint32_t e) { return d.getFrame(e, kind, frame); });
}

LX2_API SdkStatus Lx2_ConvertDepthFrameToWorldVector(SdkHandle handle, uint32_t index, const SdkFrame *depthFrame,
                                                     WorldPoint *points)
{
    LX2_FAULT();
    return onDevice(handle, index, [&](Device &d, uint32_t e) { return d.convertToWorld(e, depthFrame, points); });
}

LX2_API SdkStatus Lx2_GetCameraParameters(SdkHandle handle, uint32_t index, int32_t sensor,
                                          CameraIntrinsics *intrinsics)
{
    LX2_FAULT();
    return onDevice(handle, index, [&](Device &d, uint32_t e) { return d.cameraParameters(e, sensor, intrinsics); });
}

LX2_API SdkStatus Lx2_SetUpgradeStatusCallback(SdkHandle handle, uint32_t index, UpgradeStatusCallback callback)
{
    LX2_FAULT();
    return onDevice(handle, index, [&](Device &d, uint32_t e) { return d.setUpgradeCallback(e, callback); });
}

LX2_API SdkStatus Lx2_StartUpgradeFirmWare(SdkHandle handle, uint32_t index, const char *imagePath)
{
    LX2_FAULT();
    return Sdk::get().startUpgrade(handle, index, imagePath);
}

LX2_API SdkStatus Lx2_GetProperty(SdkHandle handle, uint32_t index, PropertyId id, void *buffer, int32_t *length)
{
    LX2_FAULT();
    return onDevice(handle, index, [&](Device &d, uint32_t e) { return d.getProperty(e, id, buffer, length); });
}

LX2_API SdkStatus Lx2_SetProperty(SdkHandle handle, uint32_t index, PropertyId id, const void *buffer, int32_t length)
{
    LX2_FAULT();
    return onDevice(handle, index, [&](Device &d, uint32_t e) { return d.setProperty(e, id, buffer, length); });
}

LX2_SWITCH(Lx2_SetDepthFrameEnabled, depthEnabled)
LX2_SWITCH(Lx2_SetIrFrameEnabled, irEnabled)
LX2_SWITCH(Lx2_SetRgbFrameEnabled, rgbEnabled)
LX2_SWITCH(Lx2_SetSpatialFilterEnabled, spatialFilter)
LX2_SWITCH(Lx2_SetTimeFilterEnabled, timeFilter)
LX2_SWITCH(Lx2_SetDepthDistortionCorrectionEnabled, depthUndistort)
LX2_SWITCH(Lx2_SetIrDistortionCorrectionEnabled, irUndistort)
LX2_SWITCH(Lx2_SetRGBDistortionCorrectionEnabled, rgbUndistort)
LX2_SWITCH(Lx2_SetComputeRealDepthCorrectionEnabled, realDepth)
LX2_SWITCH(Lx2_SetMapperEnabledDepthToRGB, mapDepthToRgb)
LX2_SWITCH(Lx2_SetMapperEnabledRGBToDepth, mapRgbToDepth)
LX2_SWITCH(Lx2_SetMapperEnabledRGBToIR, mapRgbToIr)
LX2_SWITCH(Lx2_SetSynchronizeEnabled, synchronize)
LX2_SWITCH(Lx2_SetSlaveModeEnabled, slave)
LX2_SWITCH(Lx2_SetAntiInterferenceEnabled, antiInterference)
LX2_SWITCH(Lx2_SetDSPEnabled, dsp)
LX2_SWITCH(Lx2_SetLowPowerModeEnabled, lowPower)
LX2_SWITCH(Lx2_SetRgbAecEnabled, rgbAec)
LX2_SWITCH(Lx2_SetTofAecEnabled, tofAec)

LX2_SWITCH_GET(Lx2_GetComputeRealDepthCorrectionEnabled, realDepth)
LX2_SWITCH_GET(Lx2_GetDepthDistortionCorrectionEnabled, depthUndistort)
LX2_SWITCH_GET(Lx2_GetIrDistortionCorrectionEnabled, irUndistort)
LX2_SWITCH_GET(Lx2_GetRGBDistortionCorrectionEnabled, rgbUndistort)
LX2_SWITCH_GET(Lx2_GetMapperEnabledDepthToRGB, mapDepthToRgb)
LX2_SWITCH_GET(Lx2_GetMapperEnabledRGBToDepth, mapRgbToDepth)
LX2_SWITCH_GET(Lx2_GetMapperEnabledRGBToIR, mapRgbToIr)
LX2_SWITCH_GET(Lx2_GetSpatialFilterEnabled, spatialFilter)
LX2_SWITCH_GET(Lx2_GetSynchronizeEnabled, synchronize)
LX2_SWITCH_GET(Lx2_GetTimeFilterEnabled, timeFilter)

LX2_RANGED(Lx2_SetImageMirror, int32_t, mirror, 0, 3)
LX2_RANGED(Lx2_SetWDRStyle, int32_t, wdrStyle, 0, 1)
LX2_RANGED(Lx2_SetDepthRange, DepthRangeIndex, depthRange, 0, 8)
LX2_RANGED(Lx2_SetThreshold, int32_t, threshold, 0, 255)

LX2_API SdkStatus Lx2_SetWDROutputMode(SdkHandle handle, uint32_t index, const WdrOutputMode *mode)
{
    LX2_FAULT();
    if (!mode)
        return LX2_E_NULL_POINTER;
    const WdrOutputMode m = *mode;
    const uint32_t ranges[3] = {m.range1, m.range2, m.range3};
    const uint8_t counts[3] = {m.range1Count, m.range2Count, m.range3Count};
    if (m.totalRange < 1 || m.totalRange > 3)
        return LX2_E_INVALID_PARAM;
    for (uint32_t k = 0; k < m.totalRange; ++k)
        if (ranges[k] > 8 || counts[k] == 0)
            return LX2_E_INVALID_PARAM;
    return onSettings(handle, index, [&](DeviceSettings &s) {
        s.wdr = m;
        return LX2_OK;
    });
}

LX2_API SdkStatus Lx2_SetDataMode(SdkHandle handle, uint32_t index, StreamDataMode mode)
{
    LX2_FAULT();
    return onState(handle, index, [&](DeviceState &s) { return s.setDataMode(mode); });
}

LX2_API SdkStatus Lx2_GetDataMode(SdkHandle handle, uint32_t index, StreamDataMode *mode)
{
    LX2_FAULT();
    return onSettings(handle, index, [&](DeviceSettings &s) { return readInto(mode, StreamDataMode(s.dataMode)); });
}

LX2_API SdkStatus Lx2_GetDepthRange(SdkHandle handle, uint32_t index, DepthRangeIndex *range)
{
    LX2_FAULT();
    return onSettings(handle, index, [&](DeviceSettings &s) { return readInto(range, DepthRangeIndex(s.depthRange)); });
}

LX2_API SdkStatus Lx2_GetThreshold(SdkHandle handle, uint32_t index, uint16_t *threshold)
{
    LX2_FAULT();
    return onSettings(handle, index, [&](DeviceSettings &s) { return readInto(threshold, s.threshold); });
}

LX2_API SdkStatus Lx2_GetRGBResolution(SdkHandle handle, uint32_t index, uint16_t *resolution)
{
    LX2_FAULT();
    return onState(handle, index, [&](DeviceState &s) -> SdkStatus {
        if (!s.config().hasColour)
            return LX2_E_NOT_SUPPORTED;
        return readInto(resolution, uint16_t(s.settings.rgbResolution));
    });
}

LX2_API SdkStatus Lx2_SetRgbExplosureTimeAndGain(SdkHandle handle, uint32_t index, float exposureSeconds, float gain)
{
    LX2_FAULT();
    if (!std::isfinite(exposureSeconds) || !std::isfinite(gain) || exposureSeconds <= 0 || exposureSeconds > 1 ||
        gain < 0.1f || gain > 64)
        return LX2_E_INVALID_PARAM;
    return onState(handle, index, [&](DeviceState &s) {
        if (!s.config().hasColour)
            return LX2_E_NOT_SUPPORTED;
        s.settings.exposure = exposureSeconds;
        s.settings.gain = gain;
        return LX2_OK;
    });
}

LX2_API SdkStatus Lx2_GetMeasuringRange(SdkHandle handle, uint32_t index, int32_t range, MeasuringRange *record)
{
    LX2_FAULT();
    if (range < 0 || range > 8)
        return LX2_E_INVALID_PARAM;
    return onState(handle, index, [&](DeviceState &s) { return readInto(record, s.measuringRange(range / 3)); });
}

LX2_API SdkStatus Lx2_GetFrameMode(SdkHandle handle, uint32_t index, FrameKind kind, SdkFrameMode *mode)
{
    LX2_FAULT();
    return onDevice(handle, index, [&](Device &d, uint32_t e) { return d.frameMode(e, kind, mode); });
}

LX2_API SdkStatus Lx2_GetPulseCount(SdkHandle handle, uint32_t index, uint32_t *pulseCount)
{
    LX2_FAULT();
    return onState(handle, index,
                   [&](DeviceState &s) { return readInto(pulseCount, uint32_t(s.pulseCount(s.settings.depthRange))); });
}

LX2_API SdkStatus Lx2_SetWDRPulseCount(SdkHandle handle, uint32_t index, WdrPulseCount pulseCount)
{
    LX2_FAULT();
    if (pulseCount.rangeCount < 1 || pulseCount.rangeCount > 3)
        return LX2_E_INVALID_PARAM;
    return onSettings(handle, index, [&](DeviceSettings &s) {
        s.wdrPulse = pulseCount;
        return LX2_OK;
    });
}

LX2_API SdkStatus Lx2_GetWDRPulseCount(SdkHandle handle, uint32_t index, WdrPulseCount *pulseCount)
{
    LX2_FAULT();
    return onSettings(handle, index, [&](DeviceSettings &s) { return readInto(pulseCount, s.wdrPulse); });
}

LX2_API SdkStatus Lx2_SetRegVal(SdkHandle handle, uint32_t index, const uint16_t *addresses, const uint16_t *values,
                                uint32_t count)
{
    LX2_FAULT();
    return onState(handle, index, [&](DeviceState &s) { return s.writeRegisters(addresses, values, count); });
}

LX2_API SdkStatus Lx2_GetRegVal(SdkHandle handle, uint32_t index, const uint16_t *addresses, uint16_t *values,
                                uint32_t count)
{
    LX2_FAULT();
    return onState(handle, index, [&](DeviceState &s) { return s.readRegisters(addresses, values, count); });
}

LX2_API SdkStatus LxSim_GetWaitingReaders(SdkHandle handle, uint32_t index, uint32_t *count)
{
    return onDevice(handle, index, [&](Device &d, uint32_t) { return readInto(count, uint32_t(d.waitingReaders())); });
}

static_assert(int(sim::FetchStatus::Asking) == LXSIM_FETCH_ASKING &&
              int(sim::FetchStatus::Failed) == LXSIM_FETCH_FAILED);

LX2_API SdkStatus LxSim_GetFirmwareFetch(SdkHandle handle, uint32_t index, LxSimFetch *fetch)
{
    return onDevice(handle, index, [&](Device &d, uint32_t) {
        const sim::FetchStatus s = d.fetchStatus();
        return readInto(fetch, LxSimFetch{int32_t(s.state), s.requests, s.blocks, s.dropped});
    });
}

} // extern "C"
