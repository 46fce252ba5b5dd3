/* Functions of the Quillon camera SDK (libquillon_api.so). Every function returns an
 * SdkStatus: 0 is success, anything else a failure code.
 * Only the camera controller (camera/) and the virtual SDK (sim/) call the SDK: their targets
 * define LUMIDESK_SDK_DOOR. Everything else goes through Control_Single. */
#ifndef QUILLON_API_H
#define QUILLON_API_H

#if !defined(LUMIDESK_SDK_DOOR)
#error "only camera/ and sim/ call the camera SDK: use Control_Single (camera/Control_Single.h)"
#endif

#include "camera/sdk/quillon_types.h"

#if defined(_WIN32)
#define LX2_API __declspec(dllexport)
#else
#define LX2_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Lifecycle and enumeration */
LX2_API SdkStatus Lx2_Initialize(void);
LX2_API SdkStatus Lx2_Shutdown(void);
LX2_API SdkStatus Lx2_GetDeviceCount(uint32_t *count);
LX2_API SdkStatus Lx2_GetDeviceInfo(SdkDeviceInfo *info, uint32_t index);
LX2_API SdkStatus Lx2_GetDeviceListInfo(SdkDeviceInfo *infos, uint32_t count);
LX2_API SdkStatus Lx2_OpenDevice(const char *uri, SdkHandle *handle);
LX2_API SdkStatus Lx2_CloseDevice(SdkHandle handle);
LX2_API SdkStatus Lx2_StartStream(SdkHandle handle, uint32_t index);
LX2_API SdkStatus Lx2_StopStream(SdkHandle handle, uint32_t index);
LX2_API SdkStatus Lx2_SetColorPixelFormat(SdkHandle handle, uint32_t index, int32_t format);

/* Frames and geometry */
LX2_API SdkStatus Lx2_ReadNextFrame(SdkHandle handle, uint32_t index, FrameReadyFlags *flags);
LX2_API SdkStatus Lx2_GetFrame(SdkHandle handle, uint32_t index, FrameKind kind, SdkFrame *frame);
LX2_API SdkStatus Lx2_ConvertDepthFrameToWorldVector(SdkHandle handle, uint32_t index, const SdkFrame *depthFrame,
                                                     WorldPoint *points);
LX2_API SdkStatus Lx2_GetCameraParameters(SdkHandle handle, uint32_t index, int32_t sensor,
                                          CameraIntrinsics *intrinsics);

/* Firmware upgrade */
LX2_API SdkStatus Lx2_SetUpgradeStatusCallback(SdkHandle handle, uint32_t index, UpgradeStatusCallback callback);
LX2_API SdkStatus Lx2_StartUpgradeFirmWare(SdkHandle handle, uint32_t index, const char *imagePath);

/* Properties: the get length is in/out (the SDK stores the bytes written). */
LX2_API SdkStatus Lx2_GetProperty(SdkHandle handle, uint32_t index, PropertyId id, void *buffer, int32_t *length);
LX2_API SdkStatus Lx2_SetProperty(SdkHandle handle, uint32_t index, PropertyId id, const void *buffer, int32_t length);

/* Switches: 0 off, anything else on */
LX2_API SdkStatus Lx2_SetDepthFrameEnabled(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetIrFrameEnabled(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetRgbFrameEnabled(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetSpatialFilterEnabled(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetTimeFilterEnabled(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetDepthDistortionCorrectionEnabled(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetIrDistortionCorrectionEnabled(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetRGBDistortionCorrectionEnabled(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetComputeRealDepthCorrectionEnabled(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetMapperEnabledDepthToRGB(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetMapperEnabledRGBToDepth(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetMapperEnabledRGBToIR(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetSynchronizeEnabled(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetSlaveModeEnabled(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetAntiInterferenceEnabled(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetDSPEnabled(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetLowPowerModeEnabled(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetRgbAecEnabled(SdkHandle handle, uint32_t index, int32_t enable);
LX2_API SdkStatus Lx2_SetTofAecEnabled(SdkHandle handle, uint32_t index, int32_t enable);

LX2_API SdkStatus Lx2_GetComputeRealDepthCorrectionEnabled(SdkHandle handle, uint32_t index, uint8_t *enabled);
LX2_API SdkStatus Lx2_GetDepthDistortionCorrectionEnabled(SdkHandle handle, uint32_t index, uint8_t *enabled);
LX2_API SdkStatus Lx2_GetIrDistortionCorrectionEnabled(SdkHandle handle, uint32_t index, uint8_t *enabled);
LX2_API SdkStatus Lx2_GetRGBDistortionCorrectionEnabled(SdkHandle handle, uint32_t index, uint8_t *enabled);
LX2_API SdkStatus Lx2_GetMapperEnabledDepthToRGB(SdkHandle handle, uint32_t index, uint8_t *enabled);
LX2_API SdkStatus Lx2_GetMapperEnabledRGBToDepth(SdkHandle handle, uint32_t index, uint8_t *enabled);
LX2_API SdkStatus Lx2_GetMapperEnabledRGBToIR(SdkHandle handle, uint32_t index, uint8_t *enabled);
LX2_API SdkStatus Lx2_GetSpatialFilterEnabled(SdkHandle handle, uint32_t index, uint8_t *enabled);
LX2_API SdkStatus Lx2_GetSynchronizeEnabled(SdkHandle handle, uint32_t index, uint8_t *enabled);
LX2_API SdkStatus Lx2_GetTimeFilterEnabled(SdkHandle handle, uint32_t index, uint8_t *enabled);

/* Stream configuration */
LX2_API SdkStatus Lx2_SetImageMirror(SdkHandle handle, uint32_t index, int32_t mirror); /* 0..3 */
LX2_API SdkStatus Lx2_SetWDRStyle(SdkHandle handle, uint32_t index, int32_t style);
LX2_API SdkStatus Lx2_SetWDROutputMode(SdkHandle handle, uint32_t index, const WdrOutputMode *mode);
LX2_API SdkStatus Lx2_SetDataMode(SdkHandle handle, uint32_t index, StreamDataMode mode);
LX2_API SdkStatus Lx2_GetDataMode(SdkHandle handle, uint32_t index, StreamDataMode *mode);
LX2_API SdkStatus Lx2_SetDepthRange(SdkHandle handle, uint32_t index, DepthRangeIndex range);
LX2_API SdkStatus Lx2_GetDepthRange(SdkHandle handle, uint32_t index, DepthRangeIndex *range);
LX2_API SdkStatus Lx2_SetThreshold(SdkHandle handle, uint32_t index, int32_t threshold);
LX2_API SdkStatus Lx2_GetThreshold(SdkHandle handle, uint32_t index, uint16_t *threshold);
LX2_API SdkStatus Lx2_GetRGBResolution(SdkHandle handle, uint32_t index, uint16_t *resolution); /* 0..3 */
LX2_API SdkStatus Lx2_SetRgbExplosureTimeAndGain(SdkHandle handle, uint32_t index, float exposureSeconds, float gain);
/* The range argument is a DepthRangeIndex; the record of its depth mode is returned. */
LX2_API SdkStatus Lx2_GetMeasuringRange(SdkHandle handle, uint32_t index, int32_t range, MeasuringRange *record);
LX2_API SdkStatus Lx2_GetFrameMode(SdkHandle handle, uint32_t index, FrameKind kind, SdkFrameMode *mode);
LX2_API SdkStatus Lx2_GetPulseCount(SdkHandle handle, uint32_t index, uint32_t *pulseCount);
LX2_API SdkStatus Lx2_SetWDRPulseCount(SdkHandle handle, uint32_t index, WdrPulseCount pulseCount);
LX2_API SdkStatus Lx2_GetWDRPulseCount(SdkHandle handle, uint32_t index, WdrPulseCount *pulseCount);

/* Registers: count address/value pairs (1..64). */
LX2_API SdkStatus Lx2_SetRegVal(SdkHandle handle, uint32_t index, const uint16_t *addresses, const uint16_t *values,
                                uint32_t count);
LX2_API SdkStatus Lx2_GetRegVal(SdkHandle handle, uint32_t index, const uint16_t *addresses, uint16_t *values,
                                uint32_t count);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* QUILLON_API_H */
