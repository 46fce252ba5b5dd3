#pragma once

#include <QString>

#include <optional>
#include <vector>

class Control_Single;

// The attached cameras as the command line names them: by serial number, network address or
// uri. The SDK opens "the first camera whose uri contains" the text it is given, so a camera
// is always opened by its whole uri, and only when no camera before it shares that text.
namespace Cameras {

struct Entry
{
    int32_t deviceType = 0;
    QString model; // as the device list shows it
    QString uri;
    QString address;                 // a network camera's; empty for the others
    std::optional<QString> serial;   // from the camera, or the uri's field when it cannot be opened
    std::optional<QString> firmware; // from the camera
};

// Every attached camera; opens each in turn to read its serial number and firmware.
std::vector<Entry> list(Control_Single &camera);

// The camera a name means, opened (its stream running), or the reason there is none.
struct Opened
{
    std::optional<Entry> entry;
    QString error;
    bool notAttached = false; // the name matched no camera
};
Opened open(Control_Single &camera, const QString &name);

} // namespace Cameras
