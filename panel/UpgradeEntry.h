#pragma once

#include <QString>

#include <functional>

class Control_Single;
class QWidget;
class UpdateDesc;

// The "Upgrade Firmware" button: the upgrade path that fits the open camera's model.
namespace UpgradeEntry {

// Brio: the SDK installs an image the user picks (UpgradeBrio). Dune, Eske: the camera is told
// where to fetch its image (property 11) and fetches it from our TFTP server (tftpServer).
// Alta: its USB loader. Other models: nothing.
//
// What the Alta path needs from the panel: the panel's one loader dialog, and how to close the
// camera before the dialog runs (the camera leaves for its loader).
struct Loader
{
    UpdateDesc &dialog;
    std::function<void()> closeCamera;
};

// Runs the path of the open camera's model with parent as the dialogs' parent. paramsText is
// the parameter text box's whole text: a network camera is told with it where to fetch from.
// Returns when the dialog it ran has closed (and, but for the loader dialog, is gone).
void run(Control_Single &camera, QWidget *parent, const QString &paramsText, const Loader &loader);

} // namespace UpgradeEntry
