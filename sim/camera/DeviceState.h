#pragma once

#include "sim/camera/SimConfig.h"

#include "camera/sdk/quillon_types.h"

#include <array>
#include <map>
#include <string>
#include <vector>

namespace sim {

// Switches and stream settings a program changes through the dedicated calls.
struct DeviceSettings
{
    bool depthEnabled = true, irEnabled = true, rgbEnabled = true;
    bool spatialFilter = false, timeFilter = false;
    bool depthUndistort = true, irUndistort = true, rgbUndistort = true, realDepth = true;
    bool mapDepthToRgb = false, mapRgbToDepth = false, mapRgbToIr = false;
    bool synchronize = false, slave = false, antiInterference = false, dsp = false, lowPower = false;
    bool rgbAec = true, tofAec = false;
    int mirror = 0;
    int wdrStyle = 0;
    WdrOutputMode wdr{2, 0, 1, 2, 1, 5, 1};
    WdrPulseCount wdrPulse{800, 1000, 1200, 3};
    int dataMode = 0;
    int depthRange = 0;
    uint16_t threshold = 20;
    int rgbResolution = 0;
    float exposure = 0.01f, gain = 1.0f;
};

// Everything a camera stores: settings, parameter records, calibration and registers.
// Not thread-safe; the owning device guards it.
class DeviceState
{
public:
    explicit DeviceState(const DeviceConfig &config);

    const DeviceConfig &config() const { return cfg; }
    DeviceSettings settings;
    std::string firmware;

    // Property access with the length rules of each record. A get reads its selector bytes
    // from the buffer first; *length is set to the bytes written.
    SdkStatus getProperty(PropertyId id, void *buffer, int32_t *length) const;
    // enterLoader is set when the work mode hands the camera to its loader.
    SdkStatus setProperty(PropertyId id, const void *buffer, int32_t length, bool &enterLoader);

    // The settings a camera starts with after power comes back; what it stores in flash stays.
    void powerOn();

    SdkStatus setDataMode(int mode);
    bool supportsDataMode(int mode) const;
    MeasuringRange measuringRange(int depthMode) const;
    uint16_t pulseCount(int range) const { return pulse.range[range]; }
    bool irBackgroundSuppressed() const { return irS2[0] != 0; }

    // The calibration frames are rendered with: the stored one while it is sane, else the
    // factory one. The version changes with every calibration write.
    const Calibration &renderCalibration() const { return calib; }
    uint32_t calibrationVersion() const { return calibVersion; }
    CameraIntrinsics intrinsics(int sensor) const; // LX2_SENSOR_DEPTH / LX2_SENSOR_COLOR at full size

    SdkStatus readRegisters(const uint16_t *addresses, uint16_t *values, uint32_t count) const;
    SdkStatus writeRegisters(const uint16_t *addresses, const uint16_t *values, uint32_t count);

    static bool rgbResolutionSize(int index, int &width, int &height);

private:
    void storeCalibration(const Calibration &c);
    void rebuildCalibration();

    DeviceConfig cfg;
    std::map<PropertyId, std::string> texts;
    std::array<RangeSet, 3> ranges;
    std::array<std::array<uint16_t, 18>, 3> htp{};
    std::array<std::array<std::array<int16_t, 49>, 3>, 3> offsets{};
    std::array<std::array<uint16_t, 9>, 3> rangeOffsets{};
    std::array<uint8_t, 34> dataModeList{};
    std::array<uint8_t, 11> rangeList{};
    std::array<uint8_t, 6> dsp{};
    TalDelay talDelay{};
    std::array<uint8_t, 2> ld{}, tal{}, irS2{};
    uint8_t isa = 1;
    SdkWorkMode workMode{};
    uint16_t gmmGain = 256;
    uint8_t gmmGainExtra = 0;
    std::array<uint16_t, 12> gmmParams{};
    std::array<float, 9> accSensitivity{}, gyroSensitivity{};
    std::map<uint8_t, ImuOffset> accOffsets, gyroOffsets;
    std::array<uint8_t, 11> accOffsetTemp{}, gyroOffsetTemp{};
    PulseCountTable pulse{};
    std::array<std::array<uint8_t, 72>, 8> calibBlocks{};
    Calibration calib;
    uint32_t calibVersion = 1;
    std::vector<uint16_t> registers;
};

} // namespace sim
