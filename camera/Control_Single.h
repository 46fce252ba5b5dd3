#pragma once

#include "camera/SdkTypes.h"
#include "camera/sdk/PropertyTable.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <type_traits>
#include <vector>

// The one door to the camera SDK: lifecycle, enumeration, frames, geometry, upgrade, and one thin
// wrapper per camera setting. Every call goes straight to the SDK; lifecycle and frame calls log a
// failure as one debug line, the setting wrappers do not log. Created on first use and never
// destroyed.
//
// Results. Every call that can fail returns the SDK's status unchanged: 0 is success, anything
// else the SDK's failure code, so a caller reads `if (camera->getGmmGain(&gain) == 0)`. The status
// is [[nodiscard]]; a caller that means to ignore a failure says so with `(void)`. A getter that
// fails leaves the caller's record as it was. A few getters return the value read instead (the
// switch states, the threshold, the RGB resolution index, the value form of the depth range, the
// device count, the depth sensor's intrinsics): they give 0 when the SDK fails.
class Control_Single
{
public:
    static Control_Single *getInstance();

    // Lifecycle and enumeration
    [[nodiscard]] SdkStatus initializeSDK();
    [[nodiscard]] SdkStatus shutdownSDK();
    std::vector<SdkDeviceInfo> getDeviceList();
    [[nodiscard]] SdkStatus initializeORB(const QString &uri);
    [[nodiscard]] SdkStatus shutdownORB();
    int32_t getDeviceType() const;
    uint32_t getOrbCount();
    QStringList getOrbList();
    QString getDeviceUri(int index) const;
    [[nodiscard]] SdkStatus startstream();
    [[nodiscard]] SdkStatus stopstream();

    // Frames and geometry (the frame reader's thread)
    [[nodiscard]] SdkStatus ReadNext(FrameReadyFlags *flags);
    [[nodiscard]] SdkStatus GetFrame(FrameKind kind, SdkFrame *frame);
    CameraIntrinsics getCameraParameters();
    [[nodiscard]] SdkStatus convertDepthToWorld(const SdkFrame *frame, WorldPoint *points);

    // Firmware upgrade
    [[nodiscard]] SdkStatus SetUpgradeStatusCallback(UpgradeStatusCallback callback);
    [[nodiscard]] SdkStatus StartUpgradeFirmWare(const char *path);

    // ---- Property wrappers: Lx2_GetProperty / Lx2_SetProperty with their row of PropertyTable ----
    [[nodiscard]] SdkStatus getAccOffset(ImuOffset *record) { return get(PropertyTable::AccOffset, record); }
    [[nodiscard]] SdkStatus setAccOffset(const ImuOffset *record) { return set(PropertyTable::AccOffset, record); }
    [[nodiscard]] SdkStatus getGyroOffset(ImuOffset *record) { return get(PropertyTable::GyroOffset, record); }
    [[nodiscard]] SdkStatus setGyroOffset(const ImuOffset *record) { return set(PropertyTable::GyroOffset, record); }
    [[nodiscard]] SdkStatus getAccOffsetTemp(uint8_t record[11]) { return get(PropertyTable::AccOffsetTemp, record); }
    [[nodiscard]] SdkStatus setAccOffsetTemp(const uint8_t record[11])
    {
        return set(PropertyTable::AccOffsetTemp, record);
    }
    [[nodiscard]] SdkStatus getGyroOffsetTemp(uint8_t record[11]) { return get(PropertyTable::GyroOffsetTemp, record); }
    [[nodiscard]] SdkStatus setGyroOffsetTemp(const uint8_t record[11])
    {
        return set(PropertyTable::GyroOffsetTemp, record);
    }
    [[nodiscard]] SdkStatus getAccSensitivity(float values[9]) { return get(PropertyTable::AccSensitivity, values); }
    [[nodiscard]] SdkStatus setAccSensitivity(const float values[9])
    {
        return set(PropertyTable::AccSensitivity, values);
    }
    [[nodiscard]] SdkStatus getGyroSensitivity(float values[9]) { return get(PropertyTable::GyroSensitivity, values); }
    [[nodiscard]] SdkStatus setGyroSensitivity(const float values[9])
    {
        return set(PropertyTable::GyroSensitivity, values);
    }
    [[nodiscard]] SdkStatus getGmmParams(uint16_t values[12]) { return get(PropertyTable::GmmParams, values); }
    [[nodiscard]] SdkStatus setGmmParams(const uint16_t values[12]) { return set(PropertyTable::GmmParams, values); }
    [[nodiscard]] SdkStatus getGmmGain(uint16_t *gain) { return get(PropertyTable::GmmGain, gain); }
    [[nodiscard]] SdkStatus setGmmGain(uint32_t record) { return setLeading(PropertyTable::GmmGain, record); }
    [[nodiscard]] SdkStatus getIR_S2_Enable(uint8_t record[4]) { return get(PropertyTable::IR_S2_Enable, record); }
    [[nodiscard]] SdkStatus setIR_S2_Enable(uint32_t record) { return setLeading(PropertyTable::IR_S2_Enable, record); }

    // in: depth mode in byte 0 of a 4-byte request; out: 18 u16. The write record is an HtpRecord.
    [[nodiscard]] SdkStatus getHTP(void *record) { return get(PropertyTable::HTP, record); }
    [[nodiscard]] SdkStatus setHTP(const void *record) { return set(PropertyTable::HTP, record); }
    // An OffsetRecord; its second byte selects near, mid or far.
    [[nodiscard]] SdkStatus getOffSet(void *record) { return get(PropertyTable::OffSet, record); }
    [[nodiscard]] SdkStatus setOffSet(const void *record) { return set(PropertyTable::OffSet, record); }
    // depthMode selects the record.
    [[nodiscard]] SdkStatus getMaxDepth(MeasuringRange *record) { return get(PropertyTable::MaxDepth, record); }
    [[nodiscard]] SdkStatus setMaxDepth(const MeasuringRange *record) { return set(PropertyTable::MaxDepth, record); }
    [[nodiscard]] SdkStatus getLD(uint8_t record[2]) { return get(PropertyTable::LD, record); }
    [[nodiscard]] SdkStatus setLD(const uint8_t record[2]) { return set(PropertyTable::LD, record); }
    [[nodiscard]] SdkStatus getTAL(uint8_t record[2]) { return get(PropertyTable::TAL, record); }
    [[nodiscard]] SdkStatus setTAL(const uint8_t record[2]) { return set(PropertyTable::TAL, record); }
    // The one-byte forms of the "TAL" and "ISA" switches.
    [[nodiscard]] SdkStatus setTALSwitch(uint8_t on) { return set(PropertyTable::TALSwitch, &on); }
    [[nodiscard]] SdkStatus setISA(uint8_t on) { return set(PropertyTable::ISA, &on); }
    [[nodiscard]] SdkStatus getWorkMode(SdkWorkMode *record) { return get(PropertyTable::WorkMode, record); }
    [[nodiscard]] SdkStatus setWorkMode(SdkWorkMode record) { return set(PropertyTable::WorkMode, &record); }
    [[nodiscard]] SdkStatus getPulseCount(PulseCountTable *table) { return get(PropertyTable::PulseCount, table); }
    [[nodiscard]] SdkStatus setPulseCount(const PulseCountSet *record)
    {
        return set(PropertyTable::PulseCount, record);
    }
    [[nodiscard]] SdkStatus getDataModeProperty(uint8_t *mode) { return get(PropertyTable::DataMode, mode); }
    [[nodiscard]] SdkStatus setDataModeProperty(uint8_t mode) { return set(PropertyTable::DataMode, &mode); }
    [[nodiscard]] SdkStatus getTALDelay(TalDelay *record) { return get(PropertyTable::TALDelay, record); }
    [[nodiscard]] SdkStatus setTALDelay(const uint8_t head[8], uint16_t delay, uint8_t enable);

    // Texts: buffer and length from the caller.
    [[nodiscard]] SdkStatus getSN(char *buffer, int32_t length) { return get(PropertyTable::SN, buffer, length); }
    [[nodiscard]] SdkStatus setSN(const char *text, int32_t length) { return set(PropertyTable::SN, text, length); }
    [[nodiscard]] SdkStatus getFWVer(char *buffer, int32_t length) { return get(PropertyTable::FWVer, buffer, length); }
    [[nodiscard]] SdkStatus getHMVer(char *buffer, int32_t length) { return get(PropertyTable::HMVer, buffer, length); }
    [[nodiscard]] SdkStatus getPCBA(char *buffer, int32_t length) { return get(PropertyTable::PCBA, buffer, length); }
    [[nodiscard]] SdkStatus setPCBA(const char *text, int32_t length) { return set(PropertyTable::PCBA, text, length); }
    [[nodiscard]] SdkStatus getFlashType(char *buffer, int32_t length)
    {
        return get(PropertyTable::FlashType, buffer, length);
    }

    // Calibration blocks; sensor 1 is the colour sensor, anything else the depth sensor. A failed
    // get leaves the caller's record as it was.
    [[nodiscard]] SdkStatus getIntrinsics(int sensor, double values[9])
    {
        return get(PropertyTable::intrinsicOf(sensor), values);
    }
    [[nodiscard]] SdkStatus setIntrinsics(int sensor, const double values[9])
    {
        return set(PropertyTable::intrinsicOf(sensor), values);
    }
    [[nodiscard]] SdkStatus getDistortion(int sensor, double values[8])
    {
        return get(PropertyTable::distortionOf(sensor), values);
    }
    [[nodiscard]] SdkStatus setDistortion(int sensor, const double values[8])
    {
        return set(PropertyTable::distortionOf(sensor), values);
    }
    [[nodiscard]] SdkStatus getRotation(double values[9]) { return get(PropertyTable::RotationMat, values); }
    [[nodiscard]] SdkStatus setRotation(const double values[9]) { return set(PropertyTable::RotationMat, values); }
    [[nodiscard]] SdkStatus getTranslation(double values[3]) { return get(PropertyTable::TransferMat, values); }
    [[nodiscard]] SdkStatus setTranslation(const double values[3]) { return set(PropertyTable::TransferMat, values); }
    [[nodiscard]] SdkStatus getEMat(double values[9]) { return get(PropertyTable::EMat, values); }
    [[nodiscard]] SdkStatus setEMat(const double values[9]) { return set(PropertyTable::EMat, values); }
    [[nodiscard]] SdkStatus getFMat(double values[9]) { return get(PropertyTable::FMat, values); }
    [[nodiscard]] SdkStatus setFMat(const double values[9]) { return set(PropertyTable::FMat, values); }

    // 0 1920x1080, 1 1280x720, 2 640x480, 3 640x360; any other index the first.
    [[nodiscard]] SdkStatus setRGBResolution(int index);
    // Any property, buffer and length from the caller.
    [[nodiscard]] SdkStatus getProperty(PropertyId id, void *buffer, int32_t *length);
    [[nodiscard]] SdkStatus setProperty(PropertyId id, const void *buffer, int32_t length);

    // ---- Dedicated SDK calls ----
    [[nodiscard]] SdkStatus setDepthFrameEnabled(int on);
    [[nodiscard]] SdkStatus setIrFrameEnabled(int on);
    [[nodiscard]] SdkStatus setRgbFrameEnabled(int on);
    [[nodiscard]] SdkStatus setSpatialFilterEnabled(int on);
    [[nodiscard]] SdkStatus setTimeFilterEnabled(int on);
    [[nodiscard]] SdkStatus setDepthDistortionCorrectionEnabled(int on);
    [[nodiscard]] SdkStatus setIrDistortionCorrectionEnabled(int on);
    [[nodiscard]] SdkStatus setRGBDistortionCorrectionEnabled(int on);
    [[nodiscard]] SdkStatus setComputeRealDepthCorrectionEnabled(int on);
    [[nodiscard]] SdkStatus setMapperEnabledDepthToRGB(int on);
    [[nodiscard]] SdkStatus setMapperEnabledRGBToDepth(int on);
    [[nodiscard]] SdkStatus setMapperEnabledRGBToIR(int on);
    [[nodiscard]] SdkStatus setSynchronizeEnabled(int on);
    [[nodiscard]] SdkStatus setSlaveModeEnabled(int on);
    [[nodiscard]] SdkStatus setAntiInterferenceEnabled(int on);
    [[nodiscard]] SdkStatus setDSPEnabled(int on);
    [[nodiscard]] SdkStatus setLowPowerModeEnabled(int on);
    [[nodiscard]] SdkStatus setRgbAecEnabled(int on);
    [[nodiscard]] SdkStatus setTofAecEnabled(int on);
    [[nodiscard]] SdkStatus setImageMirror(int mirror);
    [[nodiscard]] SdkStatus setWDRStyle(int style);
    [[nodiscard]] SdkStatus setWDROutputMode(const WdrOutputMode *mode);
    [[nodiscard]] SdkStatus setDataMode(int mode);
    [[nodiscard]] SdkStatus setDepthRange(int range);
    [[nodiscard]] SdkStatus setThreshold(int threshold);
    [[nodiscard]] SdkStatus setRgbExplosureTimeAndGain(float exposureSeconds, float gain);
    [[nodiscard]] SdkStatus setWDRPulseCount(WdrPulseCount record);
    [[nodiscard]] SdkStatus setRegVal(const uint16_t *addresses, const uint16_t *values, uint32_t count);
    [[nodiscard]] SdkStatus getRegVal(const uint16_t *addresses, uint16_t *values, uint32_t count);

    // Values read from the camera; 0 when the SDK fails.
    uint8_t getComputeRealDepthCorrectionEnabled();
    uint8_t getDepthDistortionCorrectionEnabled();
    uint8_t getIrDistortionCorrectionEnabled();
    uint8_t getRGBDistortionCorrectionEnabled();
    uint8_t getMapperEnabledDepthToRGB();
    uint8_t getMapperEnabledRGBToDepth();
    uint8_t getMapperEnabledRGBToIR();
    uint8_t getSpatialFilterEnabled();
    uint8_t getSynchronizeEnabled();
    uint8_t getTimeFilterEnabled();
    int getThreshold();
    int getRGBResolution();
    int getDepthRange(); // Range0 when the SDK fails; the form below tells a failure apart
    [[nodiscard]] SdkStatus getDepthRange(DepthRangeIndex *range);

    [[nodiscard]] SdkStatus getMeasuringRange(int range, MeasuringRange *record); // the record of range's depth mode
    [[nodiscard]] SdkStatus getDepthFrameMode(SdkFrameMode *mode);
    [[nodiscard]] SdkStatus getIrFrameMode(SdkFrameMode *mode);
    [[nodiscard]] SdkStatus getRgbFrameMode(SdkFrameMode *mode);
    [[nodiscard]] SdkStatus getPulseCount(uint32_t *pulseCount);
    [[nodiscard]] SdkStatus getWDRPulseCount(WdrPulseCount *record);

private:
    Control_Single() = default;

    // A property's record through its row; the argument must point at the row's record type.
    template <typename Get, typename Set, typename Arg>
    SdkStatus get(const PropertyTable::Property<Get, Set> &row, Arg *record)
    {
        static_assert(PropertyTable::pointsAt<Get, Arg>, "a wrapper reads its row's record");
        return getRow(row, record);
    }
    template <typename Get, typename Set, typename Arg>
    SdkStatus set(const PropertyTable::Property<Get, Set> &row, const Arg *record)
    {
        static_assert(PropertyTable::pointsAt<Set, Arg>, "a wrapper writes its row's record");
        return setRow(row, record);
    }
    // The record is the value's first bytes (the SDK is little-endian).
    template <typename Get, typename Set>
    SdkStatus setLeading(const PropertyTable::Property<Get, Set> &row, uint32_t value)
    {
        static_assert(sizeof(Set) <= sizeof value, "the record fits in the value");
        return setRow(row, &value);
    }
    // A text, buffer and length from the caller.
    template <typename Set> SdkStatus get(const PropertyTable::Property<char, Set> &row, char *buffer, int32_t length)
    {
        return getProperty(row.id, buffer, &length);
    }
    template <typename Get>
    SdkStatus set(const PropertyTable::Property<Get, char> &row, const char *text, int32_t length)
    {
        return setProperty(row.id, text, length);
    }
    // A calibration block's payload behind its selector.
    template <typename Payload>
    SdkStatus get(const PropertyTable::CalibrationItem<Payload> &item, std::remove_extent_t<Payload> *values)
    {
        return getCalibration(item.selector, values, sizeof(Payload));
    }
    template <typename Payload>
    SdkStatus set(const PropertyTable::CalibrationItem<Payload> &item, const std::remove_extent_t<Payload> *values)
    {
        return setCalibration(item.selector, values, sizeof(Payload));
    }

    SdkStatus getRow(const PropertyTable::Row &row, void *record);
    SdkStatus setRow(const PropertyTable::Row &row, const void *record);
    SdkStatus getCalibration(uint32_t selector, void *payload, size_t bytes);
    SdkStatus setCalibration(uint32_t selector, const void *payload, size_t bytes);

    SdkHandle deviceHandle = 0;
    // Written by the GUI thread's stream calls while the reader thread passes it on.
    std::atomic<uint32_t> streamIndex{0};
    uint32_t deviceCount = 0;
    std::vector<SdkDeviceInfo> deviceInfoArray;
    QStringList uriList;
    std::vector<SdkDeviceInfo> deviceInfoList;
    int32_t openedDeviceType = 0;
    bool readFailureLogged = false; // touched by the frame reader's thread only
};
