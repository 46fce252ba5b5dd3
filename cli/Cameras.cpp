#include "cli/Cameras.h"

#include "camera/CameraIdentity.h"
#include "camera/Control_Single.h"
#include "camera/DeviceModels.h"

namespace Cameras {

namespace {

Entry entryOf(const SdkDeviceInfo &info)
{
    Entry e;
    e.deviceType = info.deviceType;
    e.uri = uriOf(info);
    e.model = DeviceModels::modelRowText(info.deviceType);
    if (e.model.isEmpty())
        e.model = QStringLiteral("model %1").arg(info.deviceType);
    const QString field = DeviceModels::cameraRowText(info.deviceType, e.uri);
    if (DeviceModels::isNetwork(info.deviceType))
        e.address = field;
    else if (!field.isEmpty())
        e.serial = field;
    return e;
}

std::vector<Entry> enumerated(Control_Single &camera)
{
    std::vector<Entry> entries;
    for (const SdkDeviceInfo &info : camera.getDeviceList())
        entries.push_back(entryOf(info));
    return entries;
}

// The first camera's uri that contains this one's stands in the way of opening it.
std::optional<QString> shadowing(const std::vector<Entry> &entries, size_t index)
{
    for (size_t i = 0; i < index; ++i)
        if (entries[i].uri.contains(entries[index].uri))
            return entries[i].uri;
    return std::nullopt;
}

SdkStatus openEntry(Control_Single &camera, const std::vector<Entry> &entries, size_t index)
{
    if (shadowing(entries, index))
        return LX2_E_INVALID_PARAM;
    return camera.initializeORB(entries[index].uri);
}

// Reads what only an opened camera says.
void complete(Control_Single &camera, Entry &entry)
{
    if (std::optional<QString> serial = CameraIdentity::serialNumber(camera))
        entry.serial = serial;
    entry.firmware = CameraIdentity::firmwareVersion(camera);
}

} // namespace

std::vector<Entry> list(Control_Single &camera)
{
    std::vector<Entry> entries = enumerated(camera);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (openEntry(camera, entries, i) != LX2_OK)
            continue;
        complete(camera, entries[i]);
        (void)camera.shutdownORB();
    }
    return entries;
}

Opened open(Control_Single &camera, const QString &name)
{
    Opened opened;
    const std::vector<Entry> entries = enumerated(camera);
    std::optional<size_t> found;
    for (size_t i = 0; i < entries.size() && !found; ++i)
        if (entries[i].uri == name || entries[i].address == name || entries[i].serial == name)
            found = i;
    // A serial number the uri does not carry (a network camera's) is the camera's to say.
    for (size_t i = 0; i < entries.size() && !found; ++i) {
        if (openEntry(camera, entries, i) != LX2_OK)
            continue;
        if (CameraIdentity::serialNumber(camera) == name)
            found = i;
        (void)camera.shutdownORB();
    }
    if (!found) {
        opened.notAttached = true;
        opened.error = entries.empty() ? QStringLiteral("no camera is attached, so none is \"%1\"").arg(name)
                                       : QStringLiteral("no attached camera is \"%1\" (lumidesk-cli list shows "
                                                        "them)")
                                             .arg(name);
        return opened;
    }
    if (const std::optional<QString> other = shadowing(entries, *found)) {
        opened.error = QStringLiteral("camera %1 cannot be opened on its own: the uri of %2 contains its uri")
                           .arg(entries[*found].uri, *other);
        return opened;
    }
    const SdkStatus status = camera.initializeORB(entries[*found].uri);
    if (status != LX2_OK) {
        opened.error = QStringLiteral("camera %1 could not be opened (the camera answered %2)")
                           .arg(entries[*found].uri)
                           .arg(status);
        return opened;
    }
    Entry entry = entries[*found];
    complete(camera, entry);
    opened.entry = entry;
    return opened;
}

} // namespace Cameras
