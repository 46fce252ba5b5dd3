// The controller's lifecycle, frame and upgrade calls, and the setting wrappers that do more than
// hand a record to their property row (those are in the header).

#include "camera/Control_Single.h"
#include "camera/sdk/quillon_api.h"

#include <QDebug>

#include <cstddef>
#include <cstring>

Control_Single *Control_Single::getInstance()
{
    static Control_Single *instance = new Control_Single; // never destroyed, as the SDK outlives it
    return instance;
}

SdkStatus Control_Single::initializeSDK()
{
    return Lx2_Initialize();
}

SdkStatus Control_Single::shutdownSDK()
{
    const SdkStatus status = Lx2_Shutdown();
    if (status != 0)
        qDebug() << "Control_Single::shutdownSDK"
                 << "Lx2_Shutdown" << status;
    return status;
}

std::vector<SdkDeviceInfo> Control_Single::getDeviceList()
{
    deviceInfoList.clear();
    if (Lx2_GetDeviceCount(&deviceCount) != 0)
        return deviceInfoList;
    for (uint32_t i = 0; i < deviceCount; ++i) {
        SdkDeviceInfo record;
        std::memset(&record, 0, sizeof record);
        const SdkStatus status = Lx2_GetDeviceInfo(&record, i);
        if (status != 0) {
            qDebug() << "Control_Single::getDeviceList"
                     << "Lx2_GetDeviceInfo" << status;
            return deviceInfoList;
        }
        if (record.deviceType != 0)
            deviceInfoList.push_back(record);
    }
    return deviceInfoList;
}

SdkStatus Control_Single::initializeORB(const QString &uri)
{
    qDebug() << "Control_Single::initializeORB" << uri;
    SdkStatus status = Lx2_GetDeviceCount(&deviceCount);
    if (status != 0)
        return status;
    deviceInfoArray.assign(deviceCount, SdkDeviceInfo{});
    status = Lx2_GetDeviceListInfo(deviceInfoArray.data(), deviceCount);
    if (status != 0) {
        qDebug() << "Control_Single::initializeORB"
                 << "Lx2_GetDeviceListInfo" << status;
        return status;
    }
    const SdkDeviceInfo *chosen = nullptr;
    for (const SdkDeviceInfo &record : deviceInfoArray) {
        const QString recordUri = uriOf(record);
        qDebug() << "Control_Single::initializeORB" << recordUri;
        if (recordUri.contains(uri, Qt::CaseSensitive)) {
            chosen = &record;
            break;
        }
    }
    if (!chosen) {
        // Reported as a failure: the caller would otherwise announce a camera that is not open
        // (one unplugged between the scan and the connection, say).
        qDebug() << "Control_Single::initializeORB"
                 << "no camera matches" << LX2_E_NOT_FOUND;
        return LX2_E_NOT_FOUND;
    }
    char openUri[sizeof chosen->uri + 1] = {};
    std::memcpy(openUri, chosen->uri, sizeof chosen->uri);
    status = Lx2_OpenDevice(openUri, &deviceHandle);
    if (status != 0) {
        qDebug() << "Control_Single::initializeORB"
                 << "Lx2_OpenDevice" << status;
        return status;
    }
    qDebug().noquote() << "Control_Single::initializeORB"
                       << QStringLiteral("%1    %2").arg(chosen->deviceType).arg(QString::fromLatin1(openUri));
    streamIndex = 0;
    // A camera that opens but will not stream is closed again: left open, every later attempt
    // to open it would find it busy.
    status = Lx2_StartStream(deviceHandle, 0);
    if (status != 0) {
        qDebug() << "Control_Single::initializeORB"
                 << "Lx2_StartStream" << status;
        (void)Lx2_CloseDevice(deviceHandle); // the start's status is the one to report
        return status;
    }
    status = Lx2_SetColorPixelFormat(deviceHandle, streamIndex, LX2_PIXEL_RGB888);
    if (status != 0) {
        qDebug() << "Control_Single::initializeORB"
                 << "Lx2_SetColorPixelFormat" << status;
        (void)Lx2_StopStream(deviceHandle, 0); // the pixel format's status is the one to report
        (void)Lx2_CloseDevice(deviceHandle);
        return status;
    }
    openedDeviceType = chosen->deviceType;
    return 0;
}

SdkStatus Control_Single::shutdownORB()
{
    const SdkStatus stopStatus = Lx2_StopStream(deviceHandle, streamIndex);
    if (stopStatus != 0)
        qDebug() << "Control_Single::shutdownORB"
                 << "Lx2_StopStream" << stopStatus;
    const SdkStatus status = Lx2_CloseDevice(deviceHandle);
    if (status != 0)
        qDebug() << "Control_Single::shutdownORB"
                 << "Lx2_CloseDevice" << status;
    return status;
}

int32_t Control_Single::getDeviceType() const
{
    return openedDeviceType;
}

uint32_t Control_Single::getOrbCount()
{
    uint32_t count = 0;
    const SdkStatus status = Lx2_GetDeviceCount(&count);
    if (status != 0) {
        qDebug() << "Control_Single::getOrbCount"
                 << "Lx2_GetDeviceCount" << status;
        return 0;
    }
    return count;
}

QStringList Control_Single::getOrbList()
{
    QStringList result;
    if (Lx2_GetDeviceCount(&deviceCount) != 0)
        return result;
    deviceInfoArray.assign(deviceCount, SdkDeviceInfo{});
    const SdkStatus status = Lx2_GetDeviceListInfo(deviceInfoArray.data(), deviceCount);
    if (status != 0) {
        qDebug() << "Control_Single::getOrbList"
                 << "Lx2_GetDeviceListInfo" << status;
        return result;
    }
    for (uint32_t i = 0; i < deviceCount; ++i) {
        const SdkDeviceInfo &record = deviceInfoArray[i];
        const QString uri = uriOf(record);
        result << QStringLiteral("%1-%2").arg(record.deviceType).arg(i);
        uriList << uri;
        qDebug() << "Control_Single::getOrbList" << uri;
    }
    return result;
}

QString Control_Single::getDeviceUri(int index) const
{
    if (index >= 0 && index < uriList.size())
        return uriList.at(index);
    return QStringLiteral("select device error");
}

SdkStatus Control_Single::startstream()
{
    streamIndex = 0;
    const SdkStatus status = Lx2_StartStream(deviceHandle, 0);
    if (status != 0)
        qDebug() << "Control_Single::startstream"
                 << "Lx2_StartStream" << status;
    return status;
}

SdkStatus Control_Single::stopstream()
{
    streamIndex = 0;
    const SdkStatus status = Lx2_StopStream(deviceHandle, 0);
    if (status != 0)
        qDebug() << "Control_Single::stopstream"
                 << "Lx2_StopStream" << status;
    return status;
}

SdkStatus Control_Single::ReadNext(FrameReadyFlags *flags)
{
    const SdkStatus status = Lx2_ReadNextFrame(deviceHandle, streamIndex, flags);
    if (status == 0) {
        readFailureLogged = false;
    } else if (!readFailureLogged) {
        // A stalled camera fails every few milliseconds: one line per run of failures.
        qDebug() << "Control_Single::ReadNext"
                 << "Lx2_ReadNextFrame" << status;
        readFailureLogged = true;
    }
    return status;
}

SdkStatus Control_Single::GetFrame(FrameKind kind, SdkFrame *frame)
{
    const SdkStatus status = Lx2_GetFrame(deviceHandle, streamIndex, kind, frame);
    if (status != 0)
        qDebug() << "Control_Single::GetFrame"
                 << "Lx2_GetFrame" << status << " Type " << int(kind);
    return status;
}

CameraIntrinsics Control_Single::getCameraParameters()
{
    CameraIntrinsics record;
    std::memset(&record, 0, sizeof record);
    const SdkStatus status = Lx2_GetCameraParameters(deviceHandle, streamIndex, LX2_SENSOR_DEPTH, &record);
    if (status != 0)
        qDebug() << "Control_Single::getCameraParameters"
                 << "Lx2_GetCameraParameters" << status;
    return record;
}

SdkStatus Control_Single::convertDepthToWorld(const SdkFrame *frame, WorldPoint *points)
{
    return Lx2_ConvertDepthFrameToWorldVector(deviceHandle, streamIndex, frame, points);
}

SdkStatus Control_Single::SetUpgradeStatusCallback(UpgradeStatusCallback callback)
{
    const SdkStatus status = Lx2_SetUpgradeStatusCallback(deviceHandle, streamIndex, callback);
    if (status != 0)
        qDebug() << "Control_Single::SetUpgradeStatusCallback"
                 << "Lx2_SetUpgradeStatusCallback" << status;
    return status;
}

SdkStatus Control_Single::StartUpgradeFirmWare(const char *path)
{
    const SdkStatus status = Lx2_StartUpgradeFirmWare(deviceHandle, streamIndex, path);
    if (status != 0)
        qDebug() << "Control_Single::StartUpgradeFirmWare"
                 << "Lx2_StartUpgradeFirmWare" << status;
    return status;
}

// ---- property records through their rows ----

SdkStatus Control_Single::getRow(const PropertyTable::Row &row, void *record)
{
    int32_t length = row.getLength; // the SDK may change it
    return Lx2_GetProperty(deviceHandle, streamIndex, row.id, record, &length);
}

SdkStatus Control_Single::setRow(const PropertyTable::Row &row, const void *record)
{
    return Lx2_SetProperty(deviceHandle, streamIndex, row.id, record, row.setLength);
}

SdkStatus Control_Single::setTALDelay(const uint8_t head[8], uint16_t delay, uint8_t enable)
{
    TalDelay record;
    std::memcpy(&record, head, offsetof(TalDelay, delay));
    record.delay = delay;
    record.enable = enable;
    return set(PropertyTable::TALDelay, &record);
}

SdkStatus Control_Single::getCalibration(uint32_t selector, void *payload, size_t bytes)
{
    CalibrationBlock block;
    std::memset(&block, 0, sizeof block);
    block.selector = selector;
    const SdkStatus status = get(PropertyTable::Calibration, &block);
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
    return set(PropertyTable::Calibration, &block);
}

SdkStatus Control_Single::setRGBResolution(int index)
{
    const SdkFrameMode record = PropertyTable::rgbResolutionRecord(index);
    return set(PropertyTable::RGBResolution, &record);
}

SdkStatus Control_Single::getProperty(PropertyId id, void *buffer, int32_t *length)
{
    return Lx2_GetProperty(deviceHandle, streamIndex, id, buffer, length);
}

SdkStatus Control_Single::setProperty(PropertyId id, const void *buffer, int32_t length)
{
    return Lx2_SetProperty(deviceHandle, streamIndex, id, buffer, length);
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

SdkStatus Control_Single::setRegVal(const uint16_t *addresses, const uint16_t *values, uint32_t count)
{
    return Lx2_SetRegVal(deviceHandle, streamIndex, addresses, values, count);
}

SdkStatus Control_Single::getRegVal(const uint16_t *addresses, uint16_t *values, uint32_t count)
{
    return Lx2_GetRegVal(deviceHandle, streamIndex, addresses, values, count);
}

// A failed read leaves the value as initialised: 0, off.
#define SWITCH_GETTER(Name)                                                                                            \
    uint8_t Control_Single::get##Name()                                                                                \
    {                                                                                                                  \
        uint8_t value = 0;                                                                                             \
        (void)Lx2_Get##Name(deviceHandle, streamIndex, &value);                                                        \
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
    (void)Lx2_GetThreshold(deviceHandle, streamIndex, &value); // 0 when it fails
    return value;
}

int Control_Single::getRGBResolution()
{
    uint16_t value = 0;
    (void)Lx2_GetRGBResolution(deviceHandle, streamIndex, &value); // 0 when it fails
    return value;
}

int Control_Single::getDepthRange()
{
    DepthRangeIndex value = 0;
    (void)getDepthRange(&value); // Range0 when it fails, never an undefined value
    return value;
}

SdkStatus Control_Single::getDepthRange(DepthRangeIndex *range)
{
    return Lx2_GetDepthRange(deviceHandle, streamIndex, range);
}

SdkStatus Control_Single::getMeasuringRange(int range, MeasuringRange *record)
{
    return Lx2_GetMeasuringRange(deviceHandle, streamIndex, range, record);
}

SdkStatus Control_Single::getDepthFrameMode(SdkFrameMode *mode)
{
    return Lx2_GetFrameMode(deviceHandle, streamIndex, DepthFrame, mode);
}

SdkStatus Control_Single::getIrFrameMode(SdkFrameMode *mode)
{
    return Lx2_GetFrameMode(deviceHandle, streamIndex, IRFrame, mode);
}

SdkStatus Control_Single::getRgbFrameMode(SdkFrameMode *mode)
{
    return Lx2_GetFrameMode(deviceHandle, streamIndex, RGBFrame, mode);
}

SdkStatus Control_Single::getPulseCount(uint32_t *pulseCount)
{
    return Lx2_GetPulseCount(deviceHandle, streamIndex, pulseCount);
}

SdkStatus Control_Single::getWDRPulseCount(WdrPulseCount *record)
{
    return Lx2_GetWDRPulseCount(deviceHandle, streamIndex, record);
}
