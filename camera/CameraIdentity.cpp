#include "camera/CameraIdentity.h"

#include "camera/Control_Single.h"

#include <cstring>

namespace CameraIdentity {

namespace {

using TextRead = SdkStatus (Control_Single::*)(char *, int32_t);

std::optional<QString> readText(Control_Single &camera, TextRead read)
{
    char buffer[64] = {};
    if ((camera.*read)(buffer, 63) != 0)
        return std::nullopt;
    return QStringLiteral("%1").arg(QString::fromLatin1(buffer, int(strnlen(buffer, sizeof buffer))));
}

} // namespace

std::optional<QString> serialNumber(Control_Single &camera)
{
    return readText(camera, &Control_Single::getSN);
}

std::optional<QString> firmwareVersion(Control_Single &camera)
{
    return readText(camera, &Control_Single::getFWVer);
}

std::optional<QString> flashType(Control_Single &camera)
{
    return readText(camera, &Control_Single::getFlashType);
}

} // namespace CameraIdentity
