#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

struct SdkDeviceInfo;

// How the device list shows cameras: one row per model group, one child row per camera,
// the child's text cut out of the camera's uri.
namespace DeviceModels {

struct Group
{
    QString title;       // the model row text
    QStringList cameras; // the child rows, in list order
};

// The model row text for a device-type code; empty for a code the program does not know.
QString modelRowText(int32_t deviceType);

// The row text of a camera: its uri cut at the model's separator, the model's field
// (empty when the uri has too few fields or the code is unknown).
QString cameraRowText(int32_t deviceType, const QString &uri);

// Whether the model's cameras are network cameras: the uri's field is their address.
bool isNetwork(int32_t deviceType);

// The tree for an enumerated camera list: groups in the order first met; EskeAlias and
// Eske cameras share the "Eske" row; unknown codes are left out.
std::vector<Group> groupCameras(const std::vector<SdkDeviceInfo> &cameras);

} // namespace DeviceModels
