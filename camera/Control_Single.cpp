#include "camera/Control_Single.h"
#include "camera/sdk/quillon_api.h"

#include <QDebug>

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
        // The SDK fills the 256 bytes; never read past them even without a terminator.
        const QString recordUri = QString::fromLatin1(record.uri, int(strnlen(record.uri, sizeof record.uri)));
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
        Lx2_CloseDevice(deviceHandle);
        return status;
    }
    status = Lx2_SetColorPixelFormat(deviceHandle, streamIndex, LX2_PIXEL_RGB888);
    if (status != 0) {
        qDebug() << "Control_Single::initializeORB"
                 << "Lx2_SetColorPixelFormat" << status;
        Lx2_StopStream(deviceHandle, 0);
        Lx2_CloseDevice(deviceHandle);
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
        const QString uri = QString::fromLatin1(record.uri, int(strnlen(record.uri, sizeof record.uri)));
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
