#pragma once

#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"

#include <QString>

#include <algorithm>
#include <optional>

// The open camera's firmware; none while it cannot say (it has gone).
inline std::optional<QString> runningFirmware(Control_Single &camera)
{
    char text[64] = {};
    return camera.getFWVer(text, 63) == 0 ? std::optional<QString>(QString::fromLatin1(text)) : std::nullopt;
}

// The firmware of the camera whose uri holds serial once it is listed and opened again (and
// from then on); none while it is away.
inline std::optional<QString> reopenedFirmware(Control_Single &camera, const QString &serial)
{
    if (const std::optional<QString> running = runningFirmware(camera))
        return running;
    const std::vector<SdkDeviceInfo> listed = camera.getDeviceList();
    const bool back = std::any_of(listed.begin(), listed.end(),
                                  [&](const SdkDeviceInfo &info) { return uriOf(info).contains(serial); });
    if (!back || camera.initializeORB(serial) != 0)
        return std::nullopt;
    return runningFirmware(camera);
}
