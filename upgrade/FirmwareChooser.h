#pragma once

#include <QString>

#include <functional>

class QWidget;

// The file chooser of the upgrade dialogs: Qt's own dialog (the same on every desktop), images
// first.
namespace FirmwareChooser {

// (parent, caption, start folder, filter) -> the chosen path, empty when cancelled.
using Picker = std::function<QString(QWidget *, const QString &, const QString &, const QString &)>;

// Asks for a firmware image, starting in folder. Empty when cancelled.
QString choose(QWidget *parent, const QString &folder);

// Tests: answers in place of the dialog (an empty picker restores it). Returns the previous one.
Picker setPicker(Picker picker);

} // namespace FirmwareChooser
