#pragma once

#include "sim/camera/Flash.h"
#include "sim/camera/PropertyStore.h"
#include "sim/camera/SimConfig.h"

#include "camera/sdk/PropertyTable.h"

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

// Everything a camera stores: settings, parameter records, calibration and registers. What a
// program writes to it (records and registers, not the stream settings) is also kept in its
// flash file and comes back over the factory values when the SDK starts again.
// Not thread-safe; the owning device guards it.
class DeviceState
{
public:
    // Reads the camera's flash file from the state folder, or removes it for a factory reset.
    explicit DeviceState(const DeviceConfig &config);

    static constexpr uint32_t registerCount = 0x1000;

    const DeviceConfig &config() const { return cfg; }
    DeviceSettings settings;
    const std::string &firmware() const { return m_firmware; }
    // After an upgrade: the camera runs this version from now on, also after a power cut.
    void installFirmware(const std::string &version);

    // Property access with the length rules of the property table. A get reads its selector
    // bytes from the buffer first; *length is set to the bytes written.
    SdkStatus getProperty(PropertyId id, void *buffer, int32_t *length) const;
    // enterLoader is set when the work mode hands the camera to its loader.
    SdkStatus setProperty(PropertyId id, const void *buffer, int32_t length, bool &enterLoader);

    // The settings a camera starts with after power comes back; what it stores in flash stays.
    void powerOn();

    SdkStatus setDataMode(int mode);
    bool supportsDataMode(int mode) const;
    MeasuringRange measuringRange(int depthMode) const;
    uint16_t pulseCount(int range) const { return pulse.range[range]; }
    bool irBackgroundSuppressed() const { return properties.record(PropertyTable::IR_S2_Enable)[0] != 0; }

    // The calibration frames are rendered with: the stored one while it is sane, else the
    // factory one. The version changes with every calibration write.
    const Calibration &renderCalibration() const { return calib; }
    uint32_t calibrationVersion() const { return calibVersion; }
    CameraIntrinsics intrinsics(int sensor) const; // LX2_SENSOR_DEPTH / LX2_SENSOR_COLOR at full size

    // An address beyond the register file fails the call, a read-only register fails a write;
    // either way nothing is read or written.
    SdkStatus readRegisters(const uint16_t *addresses, uint16_t *values, uint32_t count) const;
    SdkStatus writeRegisters(const uint16_t *addresses, const uint16_t *values, uint32_t count);

    static bool rgbResolutionSize(int index, int &width, int &height);

private:
    // The properties whose records carry a selector or change the camera; the others are
    // stored as written.
    struct Handler
    {
        PropertyId id;
        SdkStatus (DeviceState::*get)(const PropertyTable::Row &row, uint8_t *buffer, int32_t *length) const;
        SdkStatus (DeviceState::*set)(const PropertyTable::Row &row, const uint8_t *bytes);
    };
    static const Handler *handlerFor(PropertyId id);

    SdkStatus getFirmware(const PropertyTable::Row &row, uint8_t *buffer, int32_t *length) const;
    SdkStatus getRangeOffset(const PropertyTable::Row &row, uint8_t *buffer, int32_t *length) const;
    SdkStatus setRangeOffset(const PropertyTable::Row &row, const uint8_t *bytes);
    SdkStatus getHtp(const PropertyTable::Row &row, uint8_t *buffer, int32_t *length) const;
    SdkStatus setHtp(const PropertyTable::Row &row, const uint8_t *bytes);
    SdkStatus getOffset(const PropertyTable::Row &row, uint8_t *buffer, int32_t *length) const;
    SdkStatus setOffset(const PropertyTable::Row &row, const uint8_t *bytes);
    SdkStatus getMaxDepth(const PropertyTable::Row &row, uint8_t *buffer, int32_t *length) const;
    SdkStatus setMaxDepth(const PropertyTable::Row &row, const uint8_t *bytes);
    SdkStatus getCalibration(const PropertyTable::Row &row, uint8_t *buffer, int32_t *length) const;
    SdkStatus setCalibration(const PropertyTable::Row &row, const uint8_t *bytes);
    SdkStatus getDataModeProperty(const PropertyTable::Row &row, uint8_t *buffer, int32_t *length) const;
    SdkStatus setDataModeProperty(const PropertyTable::Row &row, const uint8_t *bytes);
    SdkStatus setRgbResolution(const PropertyTable::Row &row, const uint8_t *bytes);
    SdkStatus getPulseCount(const PropertyTable::Row &row, uint8_t *buffer, int32_t *length) const;
    SdkStatus setPulseCount(const PropertyTable::Row &row, const uint8_t *bytes);
    SdkStatus getImuOffset(const PropertyTable::Row &row, uint8_t *buffer, int32_t *length) const;
    SdkStatus setImuOffset(const PropertyTable::Row &row, const uint8_t *bytes);

    SdkStatus apply(const PropertyTable::Row &row, const uint8_t *bytes, int32_t length, bool &enterLoader);
    // The flash slot a write fills (empty for what a camera does not keep), and the record that
    // fills it again when the flash is read.
    static std::string flashSlot(const PropertyTable::Row &row, const uint8_t *bytes);
    Flash::Bytes flashRecord(const PropertyTable::Row &row, const uint8_t *bytes, int32_t length) const;
    void restore();
    static bool writableRegister(uint16_t address);

    void storeFactoryParameters();
    void storeCalibration(const Calibration &c);
    void rebuildCalibration();

    DeviceConfig cfg;
    std::string m_firmware;
    PropertyStore properties;
    std::array<RangeSet, 3> ranges;
    std::array<HtpRecord, 3> htp{};                       // per depth mode
    std::array<std::array<OffsetRecord, 3>, 3> offsets{}; // per depth mode and position
    std::array<RangeOffsetRecord, 3> rangeOffsets{};      // per depth mode
    std::map<uint8_t, ImuOffset> accOffsets, gyroOffsets;
    PulseCountTable pulse{};
    std::array<std::array<uint8_t, sizeof(CalibrationBlock::data)>, 8> calibBlocks{}; // per selector
    Calibration calib;
    uint32_t calibVersion = 1;
    std::vector<uint16_t> registers;
    Flash flash;
};

} // namespace sim
