#pragma once

#include <QString>

#include <optional>

class Control_Single;

// The camera's own texts: serial number, firmware version and flash type, each read into a
// 64-byte buffer with 63 passed as its length. Empty when the camera cannot say.
namespace CameraIdentity {

std::optional<QString> serialNumber(Control_Single &camera);
std::optional<QString> firmwareVersion(Control_Single &camera);
std::optional<QString> flashType(Control_Single &camera);

} // namespace CameraIdentity
