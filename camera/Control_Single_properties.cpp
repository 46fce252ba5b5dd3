// The setting wrappers of Control_Single: one SDK call each, with the controller's handle and
// stream index, the property's id and the length the SDK expects. No logging, no retries.

#include "camera/Control_Single.h"
#include "camera/sdk/quillon_api.h"

#include <cstring>

namespace {

constexpr int32_t calibrationRecord = 76;

// Payload bytes each calibration selector uses.
size_t calibrationBytes(uint32_t selector)
{
    switch (selector) {
    case LX2_CALIB_DEPTH_DISTORTION:
    case LX2_CALIB_COLOR_DISTORTION:
        return 8 * sizeof(double);
    case LX2_CALIB_TRANSLATION:
        return 3 * sizeof(double);
    default:
        return 9 * sizeof(double);
    }
}

uint32_t intrinsicsSelector(int sensor)
{
    return sensor == 1 ? LX2_CALIB_COLOR_INTRINSICS : LX2_CALIB_DEPTH_INTRINSICS;
}

uint32_t distortionSelector(int sensor)
{
    return sensor == 1 ? LX2_CALIB_COLOR_DISTORTION : LX2_CALIB_DEPTH_DISTORTION;
}

} // namespace

SdkStatus Control_Single::getFixed(PropertyId id, void *record, int32_t length)
{
    return Lx2_GetProperty(deviceHandle, streamIndex, id, record, &length);
}

SdkStatus Control_Single::setFixed(PropertyId id, const void *record, int32_t length)
{
    return Lx2_SetProperty(deviceHandle, streamIndex, id, record, length);
}

// ---- records with a fixed length ----

bool Control_Single::getAccOffset(ImuOffset *record)
{
    return getFixed(LX2_PROP_ACC_OFFSET, record, 15) != 0;
}

bool Control_Single::setAccOffset(const ImuOffset *record)
{
    return setFixed(LX2_PROP_ACC_OFFSET, record, 15) != 0;
}

bool Control_Single::getGyroOffset(ImuOffset *record)
{
    return getFixed(LX2_PROP_GYRO_OFFSET, record, 15) != 0;
}

bool Control_Single::setGyroOffset(const ImuOffset *record)
{
    return setFixed(LX2_PROP_GYRO_OFFSET, record, 15) != 0;
}

bool Control_Single::getAccOffsetTemp(uint8_t record[11])
{
    return getFixed(LX2_PROP_ACC_OFFSET_TEMP, record, 11) != 0;
}

bool Control_Single::setAccOffsetTemp(const uint8_t record[11])
{
    return setFixed(LX2_PROP_ACC_OFFSET_TEMP, record, 11) != 0;
}

bool Control_Single::getGyroOffsetTemp(uint8_t record[11])
{
    return getFixed(LX2_PROP_GYRO_OFFSET_TEMP, record, 11) != 0;
}

bool Control_Single::setGyroOffsetTemp(const uint8_t record[11])
{
    return setFixed(LX2_PROP_GYRO_OFFSET_TEMP, record, 11) != 0;
}

bool Control_Single::getAccSensitivity(float values[9])
{
    return getFixed(LX2_PROP_ACC_SENSITIVITY, values, 36) != 0;
}

bool Control_Single::setAccSensitivity(const float values[9])
{
    return setFixed(LX2_PROP_ACC_SENSITIVITY, values, 36) != 0;
}

bool Control_Single::getGyroSensitivity(float values[9])
{
    return getFixed(LX2_PROP_GYRO_SENSITIVITY, values, 36) != 0;
}

bool Control_Single::setGyroSensitivity(const float values[9])
{
    return setFixed(LX2_PROP_GYRO_SENSITIVITY, values, 36) != 0;
}

bool Control_Single::getGmmParams(uint16_t values[12])
{
    return getFixed(LX2_PROP_GMM_PARAMS, values, 24) != 0;
}

bool Control_Single::setGmmParams(const uint16_t values[12])
{
    return setFixed(LX2_PROP_GMM_PARAMS, values, 24) != 0;
}

bool Control_Single::getGmmGain(uint16_t *gain)
{
    return getFixed(LX2_PROP_GMM_GAIN, gain, 2) != 0;
}

bool Control_Single::setGmmGain(uint32_t record)
{
    return setFixed(LX2_PROP_GMM_GAIN, &record, 3) != 0; // little-endian: the low 3 bytes
}

bool Control_Single::getIR_S2_Enable(uint8_t record[4])
{
    return getFixed(LX2_PROP_IR_S2_ENABLE, record, 4) != 0;
}

bool Control_Single::setIR_S2_Enable(uint32_t record)
{
    return setFixed(LX2_PROP_IR_S2_ENABLE, &record, 2) != 0;
}

SdkStatus Control_Single::getHTP(void *record)
{
    return getFixed(LX2_PROP_HTP, record, 4);
}

SdkStatus Control_Single::setHTP(const void *record)
{
    return setFixed(LX2_PROP_HTP, record, 37);
}

SdkStatus Control_Single::getOffSet(void *record)
{
    return getFixed(LX2_PROP_OFFSET, record, 100);
}

SdkStatus Control_Single::setOffSet(const void *record)
{
    return setFixed(LX2_PROP_OFFSET, record, 100);
}

SdkStatus Control_Single::getMaxDepth(MeasuringRange *record)
{
    return getFixed(LX2_PROP_MAX_DEPTH, record, 19);
}

SdkStatus Control_Single::setMaxDepth(const MeasuringRange *record)
{
    return setFixed(LX2_PROP_MAX_DEPTH, record, 19);
}

SdkStatus Control_Single::getLD(uint8_t record[2])
{
    return getFixed(LX2_PROP_LD, record, 0);
}

SdkStatus Control_Single::setLD(const uint8_t record[2])
{
    return setFixed(LX2_PROP_LD, record, 2);
}

SdkStatus Control_Single::getTAL(uint8_t record[2])
{
    return getFixed(LX2_PROP_TAL, record, 0);
}

SdkStatus Control_Single::setTAL(const uint8_t record[2])
{
    return setFixed(LX2_PROP_TAL, record, 2);
}

SdkStatus Control_Single::setTALSwitch(uint8_t on)
{
    return setFixed(LX2_PROP_TAL, &on, 1);
}

SdkStatus Control_Single::setISA(uint8_t on)
{
    return setFixed(LX2_PROP_ISA, &on, 1);
}

SdkStatus Control_Single::getWorkMode(SdkWorkMode *record)
{
    return getFixed(LX2_PROP_WORK_MODE, record, 5);
}

SdkStatus Control_Single::setWorkMode(SdkWorkMode record)
{
    return setFixed(LX2_PROP_WORK_MODE, &record, 5);
}

SdkStatus Control_Single::getPulseCount(PulseCountTable *table)
{
    return getFixed(LX2_PROP_PULSE_COUNT, table, 20);
}

SdkStatus Control_Single::setPulseCount(const PulseCountSet *record)
{
    return setFixed(LX2_PROP_PULSE_COUNT, record, 5);
}

SdkStatus Control_Single::getDataModeProperty(uint8_t *mode)
{
    return getFixed(LX2_PROP_DATA_MODE, mode, 1);
}

SdkStatus Control_Single::setDataModeProperty(uint8_t mode)
{
    return setFixed(LX2_PROP_DATA_MODE, &mode, 1);
}

SdkStatus Control_Single::getTALDelay(TalDelay *record)
{
    return getFixed(LX2_PROP_TAL_DELAY, record, 11);
}

SdkStatus Control_Single::setTALDelay(const uint8_t head[8], uint16_t delay, uint8_t enable)
{
    uint8_t record[11];
    std::memcpy(record, head, 8);
    std::memcpy(record + 8, &delay, 2);
    record[10] = enable;
    return setFixed(LX2_PROP_TAL_DELAY, record, 11);
}

// ---- texts, buffer and length from the caller ----

SdkStatus Control_Single::getSN(char *buffer, int32_t length)
{
    return getFixed(LX2_PROP_SN, buffer, length);
}

SdkStatus Control_Single::setSN(const char *text, int32_t length)
{
    return setFixed(LX2_PROP_SN, text, length);
}

SdkStatus Control_Single::getFWVer(char *buffer, int32_t length)
{
    return getFixed(LX2_PROP_FW_VER, buffer, length);
}

SdkStatus Control_Single::getHMVer(char *buffer, int32_t length)
{
    return getFixed(LX2_PROP_HM_VER, buffer, length);
}

SdkStatus Control_Single::getPCBA(char *buffer, int32_t length)
{
    return getFixed(LX2_PROP_PCBA, buffer, length);
}

SdkStatus Control_Single::setPCBA(const char *text, int32_t length)
{
    return setFixed(LX2_PROP_PCBA, text, length);
}

SdkStatus Control_Single::getFlashType(char *buffer, int32_t length)
{
    return getFixed(LX2_PROP_FLASH_TYPE, buffer, length);
}

// ---- calibration block: selector, then the payload ----

SdkStatus Control_Single::getCalibration(uint32_t selector, void *payload, size_t bytes)
{
    CalibrationBlock block;
    std::memset(&block, 0, sizeof block);
    block.selector = selector;
    const SdkStatus status = getFixed(LX2_PROP_CALIBRATION, &block, calibrationRecord);
    if (status == 0)
        std::memcpy(payload, block.data, bytes);
    return status;
}

SdkStatus Control_Single::setCalibration(uint32_t selector, const void *payload, size_t bytes)
{
    CalibrationBlock block;
    std::memset(&block, 0, sizeof block);
    block.selector = selector;
    std::memcpy(block.data, payload, bytes);
    return setFixed(LX2_PROP_CALIBRATION, &block, calibrationRecord);
}

SdkStatus Control_Single::getIntrinsics(int sensor, double values[9])
{
    return getCalibration(intrinsicsSelector(sensor), values, calibrationBytes(intrinsicsSelector(sensor)));
}

SdkStatus Control_Single::setIntrinsics(int sensor, const double values[9])
{
    return setCalibration(intrinsicsSelector(sensor), values, calibrationBytes(intrinsicsSelector(sensor)));
}

SdkStatus Control_Single::getDistortion(int sensor, double values[8])
{
    return getCalibration(distortionSelector(sensor), values, calibrationBytes(distortionSelector(sensor)));
}

SdkStatus Control_Single::setDistortion(int sensor, const double values[8])
{
    return setCalibration(distortionSelector(sensor), values, calibrationBytes(distortionSelector(sensor)));
}

SdkStatus Control_Single::getRotation(double values[9])
{
    return getCalibration(LX2_CALIB_ROTATION, values, calibrationBytes(LX2_CALIB_ROTATION));
}

SdkStatus Control_Single::setRotation(const double values[9])
{
    return setCalibration(LX2_CALIB_ROTATION, values, calibrationBytes(LX2_CALIB_ROTATION));
}

SdkStatus Control_Single::getTranslation(double values[3])
{
    return getCalibration(LX2_CALIB_TRANSLATION, values, calibrationBytes(LX2_CALIB_TRANSLATION));
}

SdkStatus Control_Single::setTranslation(const double values[3])
{
    return setCalibration(LX2_CALIB_TRANSLATION, values, calibrationBytes(LX2_CALIB_TRANSLATION));
}

SdkStatus Control_Single::getEMat(double values[9])
{
    return getCalibration(LX2_CALIB_ESSENTIAL, values, calibrationBytes(LX2_CALIB_ESSENTIAL));
}

SdkStatus Control_Single::setEMat(const double values[9])
{
    return setCalibration(LX2_CALIB_ESSENTIAL, values, calibrationBytes(LX2_CALIB_ESSENTIAL));
}

SdkStatus Control_Single::getFMat(double values[9])
{
    return getCalibration(LX2_CALIB_FUNDAMENTAL, values, calibrationBytes(LX2_CALIB_FUNDAMENTAL));
}

SdkStatus Control_Single::setFMat(const double values[9])
{
    return setCalibration(LX2_CALIB_FUNDAMENTAL, values, calibrationBytes(LX2_CALIB_FUNDAMENTAL));
}

SdkStatus Control_Single::setRGBResolution(int index)
{
    static const uint16_t sizes[4][2] = {{1920, 1080}, {1280, 720}, {640, 480}, {640, 360}};
    const int pick = (index >= 0 && index < 4) ? index : 0; // anything else: the full size
    const SdkFrameMode record{2, 1, sizes[pick][0], sizes[pick][1], 30, 2};
    return setFixed(LX2_PROP_RGB_RESOLUTION, &record, 8);
}

SdkStatus Control_Single::getProperty(PropertyId id, void *buffer, int32_t *length)
{
    return Lx2_GetProperty(deviceHandle, streamIndex, id, buffer, length);
}

SdkStatus Control_Single::setProperty(PropertyId id, const void *buffer, int32_t length)
{
    return setFixed(id, buffer, length);
}

// ---- dedicated calls ----

SdkStatus Control_Single::setDepthFrameEnabled(int on)
{
    return Lx2_SetDepthFrameEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setIrFrameEnabled(int on)
{
    return Lx2_SetIrFrameEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setRgbFrameEnabled(int on)
{
    return Lx2_SetRgbFrameEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setSpatialFilterEnabled(int on)
{
    return Lx2_SetSpatialFilterEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setTimeFilterEnabled(int on)
{
    return Lx2_SetTimeFilterEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setDepthDistortionCorrectionEnabled(int on)
{
    return Lx2_SetDepthDistortionCorrectionEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setIrDistortionCorrectionEnabled(int on)
{
    return Lx2_SetIrDistortionCorrectionEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setRGBDistortionCorrectionEnabled(int on)
{
    return Lx2_SetRGBDistortionCorrectionEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setComputeRealDepthCorrectionEnabled(int on)
{
    return Lx2_SetComputeRealDepthCorrectionEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setMapperEnabledDepthToRGB(int on)
{
    return Lx2_SetMapperEnabledDepthToRGB(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setMapperEnabledRGBToDepth(int on)
{
    return Lx2_SetMapperEnabledRGBToDepth(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setMapperEnabledRGBToIR(int on)
{
    return Lx2_SetMapperEnabledRGBToIR(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setSynchronizeEnabled(int on)
{
    return Lx2_SetSynchronizeEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setSlaveModeEnabled(int on)
{
    return Lx2_SetSlaveModeEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setAntiInterferenceEnabled(int on)
{
    return Lx2_SetAntiInterferenceEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setDSPEnabled(int on)
{
    return Lx2_SetDSPEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setLowPowerModeEnabled(int on)
{
    return Lx2_SetLowPowerModeEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setRgbAecEnabled(int on)
{
    return Lx2_SetRgbAecEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setTofAecEnabled(int on)
{
    return Lx2_SetTofAecEnabled(deviceHandle, streamIndex, on);
}

SdkStatus Control_Single::setImageMirror(int mirror)
{
    return Lx2_SetImageMirror(deviceHandle, streamIndex, mirror);
}

SdkStatus Control_Single::setWDRStyle(int style)
{
    return Lx2_SetWDRStyle(deviceHandle, streamIndex, style);
}

SdkStatus Control_Single::setWDROutputMode(const WdrOutputMode *mode)
{
    return Lx2_SetWDROutputMode(deviceHandle, streamIndex, mode);
}

SdkStatus Control_Single::setDataMode(int mode)
{
    return Lx2_SetDataMode(deviceHandle, streamIndex, mode);
}

SdkStatus Control_Single::setDepthRange(int range)
{
    return Lx2_SetDepthRange(deviceHandle, streamIndex, range);
}

SdkStatus Control_Single::setThreshold(int threshold)
{
    return Lx2_SetThreshold(deviceHandle, streamIndex, threshold);
}

SdkStatus Control_Single::setRgbExplosureTimeAndGain(float exposureSeconds, float gain)
{
    return Lx2_SetRgbExplosureTimeAndGain(deviceHandle, streamIndex, exposureSeconds, gain);
}

SdkStatus Control_Single::setWDRPulseCount(WdrPulseCount record)
{
    return Lx2_SetWDRPulseCount(deviceHandle, streamIndex, record);
}

bool Control_Single::setRegVal(const uint16_t *addresses, const uint16_t *values, uint32_t count)
{
    return Lx2_SetRegVal(deviceHandle, streamIndex, addresses, values, count) != 0;
}

bool Control_Single::getRegVal(const uint16_t *addresses, uint16_t *values, uint32_t count)
{
    return Lx2_GetRegVal(deviceHandle, streamIndex, addresses, values, count) != 0;
}

#define SWITCH_GETTER(Name)                                                                                            \
    uint8_t Control_Single::get##Name()                                                                                \
    {                                                                                                                  \
        uint8_t value = 0;                                                                                             \
        Lx2_Get##Name(deviceHandle, streamIndex, &value);                                                              \
        return value;                                                                                                  \
    }

SWITCH_GETTER(ComputeRealDepthCorrectionEnabled)
SWITCH_GETTER(DepthDistortionCorrectionEnabled)
SWITCH_GETTER(IrDistortionCorrectionEnabled)
SWITCH_GETTER(RGBDistortionCorrectionEnabled)
SWITCH_GETTER(MapperEnabledDepthToRGB)
SWITCH_GETTER(MapperEnabledRGBToDepth)
SWITCH_GETTER(MapperEnabledRGBToIR)
SWITCH_GETTER(SpatialFilterEnabled)
SWITCH_GETTER(SynchronizeEnabled)
SWITCH_GETTER(TimeFilterEnabled)

int Control_Single::getThreshold()
{
    uint16_t value = 0;
    Lx2_GetThreshold(deviceHandle, streamIndex, &value);
    return value;
}

int Control_Single::getRGBResolution()
{
    uint16_t value = 0;
    Lx2_GetRGBResolution(deviceHandle, streamIndex, &value);
    return value;
}

int Control_Single::getDepthRange()
{
    DepthRangeIndex value = 0; // a failed read gives Range0 rather than an undefined value
    Lx2_GetDepthRange(deviceHandle, streamIndex, &value);
    return value;
}

SdkStatus Control_Single::getMeasuringRange(int range, MeasuringRange *record)
{
    return Lx2_GetMeasuringRange(deviceHandle, streamIndex, range, record);
}

bool Control_Single::getDepthFrameMode(SdkFrameMode *mode)
{
    return Lx2_GetFrameMode(deviceHandle, streamIndex, DepthFrame, mode) != 0;
}

bool Control_Single::getIrFrameMode(SdkFrameMode *mode)
{
    return Lx2_GetFrameMode(deviceHandle, streamIndex, IRFrame, mode) != 0;
}

bool Control_Single::getRgbFrameMode(SdkFrameMode *mode)
{
    return Lx2_GetFrameMode(deviceHandle, streamIndex, RGBFrame, mode) != 0;
}

SdkStatus Control_Single::getPulseCount(uint32_t *pulseCount)
{
    return Lx2_GetPulseCount(deviceHandle, streamIndex, pulseCount);
}

SdkStatus Control_Single::getWDRPulseCount(WdrPulseCount *record)
{
    return Lx2_GetWDRPulseCount(deviceHandle, streamIndex, record);
}
