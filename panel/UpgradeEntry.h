#pragma once

#include <QString>

class Control_Single;
class QWidget;

// The "Upgrade Firmware" button: the upgrade path that fits the open camera's model.
namespace UpgradeEntry {

// Brio: the SDK installs an image the user picks (UpgradeBrio). Dune, Eske: the camera is told
// where to fetch its image (property 11) and fetches it from our TFTP server (tftpServer).
// Alta: its USB loader. Other models: nothing.
//
// Runs the path of the open camera's model with parent as the dialogs' parent. paramsText is
// the parameter text box's whole text: a network camera is told with it where to fetch from.
// Returns when the dialog it ran has closed and is gone.
void run(Control_Single &camera, QWidget *parent, const QString &paramsText);

} // namespace UpgradeEntry
