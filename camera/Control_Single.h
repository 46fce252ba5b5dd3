#pragma once

#include "camera/SdkTypes.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <vector>

// The one door to the camera SDK: lifecycle, enumeration, frames, geometry, upgrade, and one thin
// wrapper per camera setting. Every call goes straight to the SDK; lifecycle and frame calls
// log a failure as one debug line and hand the status back unchanged, the setting wrappers
// only return it. Created on first use and never destroyed.
class Control_Single
{
public:
    static Control_Single *getInstance();

    // Lifecycle and enumeration
    SdkStatus initializeSDK();
    SdkStatus shutdownSDK();
    std::vector<SdkDeviceInfo> getDeviceList();
    SdkStatus initializeORB(const QString &uri);
    SdkStatus shutdownORB();
    int32_t getDeviceType() const;
    uint32_t getOrbCount();
    QStringList getOrbList();
    QString getDeviceUri(int index) const;
    SdkStatus startstream();
    SdkStatus stopstream();

    // Frames and geometry (the frame reader's thread)
    SdkStatus ReadNext(FrameReadyFlags *flags);
    SdkStatus GetFrame(FrameKind kind, SdkFrame *frame);
    CameraIntrinsics getCameraParameters();
    SdkStatus convertDepthToWorld(const SdkFrame *frame, WorldPoint *points);

    // Firmware upgrade
    SdkStatus SetUpgradeStatusCallback(UpgradeStatusCallback callback);
    SdkStatus StartUpgradeFirmWare(const char *path);

    // ---- Property wrappers (Lx2_GetProperty / Lx2_SetProperty) ----
    // "failed" results are true when the SDK status is not 0.
    bool getAccOffset(ImuOffset *record);
    bool setAccOffset(const ImuOffset *record);
    bool getGyroOffset(ImuOffset *record);
    bool setGyroOffset(const ImuOffset *record);
    bool getAccOffsetTemp(uint8_t record[11]);
    bool setAccOffsetTemp(const uint8_t record[11]);
    bool getGyroOffsetTemp(uint8_t record[11]);
    bool setGyroOffsetTemp(const uint8_t record[11]);
    bool getAccSensitivity(float values[9]);
    bool setAccSensitivity(const float values[9]);
    bool getGyroSensitivity(float values[9]);
    bool setGyroSensitivity(const float values[9]);
    bool getGmmParams(uint16_t values[12]);
    bool setGmmParams(const uint16_t values[12]);
    bool getGmmGain(uint16_t *gain);
    bool setGmmGain(uint32_t record); // its first 3 bytes are sent
    bool getIR_S2_Enable(uint8_t record[4]);
    bool setIR_S2_Enable(uint32_t record); // its first 2 bytes are sent

    SdkStatus getHTP(void *record);       // in: depth mode in byte 0 (4 bytes); out: 18 u16
    SdkStatus setHTP(const void *record); // 37 bytes: depth mode, 18 u16
    SdkStatus getOffSet(void *record);    // 100 bytes; byte 1 selects near, mid or far
    SdkStatus setOffSet(const void *record);
    SdkStatus getMaxDepth(MeasuringRange *record); // depthMode selects the record
    SdkStatus setMaxDepth(const MeasuringRange *record);
    SdkStatus getLD(uint8_t record[2]);
    SdkStatus setLD(const uint8_t record[2]);
    SdkStatus getTAL(uint8_t record[2]);
    SdkStatus setTAL(const uint8_t record[2]);
    SdkStatus setTALSwitch(uint8_t on); // the one-byte form of the "TAL" switch
    SdkStatus setISA(uint8_t on);
    SdkStatus getWorkMode(SdkWorkMode *record);
    SdkStatus setWorkMode(SdkWorkMode record);
    SdkStatus getPulseCount(PulseCountTable *table);
    SdkStatus setPulseCount(const PulseCountSet *record);
    SdkStatus getDataModeProperty(uint8_t *mode);
    SdkStatus setDataModeProperty(uint8_t mode);
    SdkStatus getTALDelay(TalDelay *record);
    SdkStatus setTALDelay(const uint8_t head[8], uint16_t delay, uint8_t enable);

    SdkStatus getSN(char *buffer, int32_t length);
    SdkStatus setSN(const char *text, int32_t length);
    SdkStatus getFWVer(char *buffer, int32_t length);
    SdkStatus getHMVer(char *buffer, int32_t length);
    SdkStatus getPCBA(char *buffer, int32_t length);
    SdkStatus setPCBA(const char *text, int32_t length);
    SdkStatus getFlashType(char *buffer, int32_t length);

    // Calibration blocks; sensor 1 is the colour sensor, anything else the depth sensor.
    // A failed get leaves the caller's record as it was.
    SdkStatus getIntrinsics(int sensor, double values[9]);
    SdkStatus setIntrinsics(int sensor, const double values[9]);
    SdkStatus getDistortion(int sensor, double values[8]);
    SdkStatus setDistortion(int sensor, const double values[8]);
    SdkStatus getRotation(double values[9]);
    SdkStatus setRotation(const double values[9]);
    SdkStatus getTranslation(double values[3]);
    SdkStatus setTranslation(const double values[3]);
    SdkStatus getEMat(double values[9]);
    SdkStatus setEMat(const double values[9]);
    SdkStatus getFMat(double values[9]);
    SdkStatus setFMat(const double values[9]);

    SdkStatus setRGBResolution(int index); // 0 1920x1080, 1 1280x720, 2 640x480, 3 640x360
    SdkStatus getProperty(PropertyId id, void *buffer, int32_t *length);
    SdkStatus setProperty(PropertyId id, const void *buffer, int32_t length);

    // ---- Dedicated SDK calls ----
    SdkStatus setDepthFrameEnabled(int on);
    SdkStatus setIrFrameEnabled(int on);
    SdkStatus setRgbFrameEnabled(int on);
    SdkStatus setSpatialFilterEnabled(int on);
    SdkStatus setTimeFilterEnabled(int on);
    SdkStatus setDepthDistortionCorrectionEnabled(int on);
    SdkStatus setIrDistortionCorrectionEnabled(int on);
    SdkStatus setRGBDistortionCorrectionEnabled(int on);
    SdkStatus setComputeRealDepthCorrectionEnabled(int on);
    SdkStatus setMapperEnabledDepthToRGB(int on);
    SdkStatus setMapperEnabledRGBToDepth(int on);
    SdkStatus setMapperEnabledRGBToIR(int on);
    SdkStatus setSynchronizeEnabled(int on);
    SdkStatus setSlaveModeEnabled(int on);
    SdkStatus setAntiInterferenceEnabled(int on);
    SdkStatus setDSPEnabled(int on);
    SdkStatus setLowPowerModeEnabled(int on);
    SdkStatus setRgbAecEnabled(int on);
    SdkStatus setTofAecEnabled(int on);
    SdkStatus setImageMirror(int mirror);
    SdkStatus setWDRStyle(int style);
    SdkStatus setWDROutputMode(const WdrOutputMode *mode);
    SdkStatus setDataMode(int mode);
    SdkStatus setDepthRange(int range);
    SdkStatus setThreshold(int threshold);
    SdkStatus setRgbExplosureTimeAndGain(float exposureSeconds, float gain);
    SdkStatus setWDRPulseCount(WdrPulseCount record);
    bool setRegVal(const uint16_t *addresses, const uint16_t *values, uint32_t count);
    bool getRegVal(const uint16_t *addresses, uint16_t *values, uint32_t count);

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
    int getDepthRange();

    SdkStatus getMeasuringRange(int range, MeasuringRange *record); // the record of range's depth mode
    bool getDepthFrameMode(SdkFrameMode *mode);
    bool getIrFrameMode(SdkFrameMode *mode);
    bool getRgbFrameMode(SdkFrameMode *mode);
    SdkStatus getPulseCount(uint32_t *pulseCount);
    SdkStatus getWDRPulseCount(WdrPulseCount *record);

private:
    Control_Single() = default;
    SdkStatus getCalibration(uint32_t selector, void *payload, size_t bytes);
    SdkStatus setCalibration(uint32_t selector, const void *payload, size_t bytes);
    SdkStatus getFixed(PropertyId id, void *record, int32_t length);
    SdkStatus setFixed(PropertyId id, const void *record, int32_t length);

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
