#pragma once

#include <QString>

#include <functional>

class QWidget;

// The program's "save as" question: Qt's own file dialog (the same on every desktop), so that
// a test can answer it in place of the user.
namespace SaveDialog {

struct Request
{
    QString caption;
    QString start;  // a folder, or a file name proposed in it
    QString filter; // "PLY (*.ply)"
    QString suffix; // added to a name typed without one
};

// Answers in place of the dialog: the chosen path, empty for cancelled.
using Picker = std::function<QString(QWidget *parent, const Request &)>;

// The chosen path, empty when cancelled.
QString ask(QWidget *parent, const Request &request);

// Tests: answers in place of the dialog (an empty picker restores it). Returns the previous one.
Picker setPicker(Picker picker);

} // namespace SaveDialog
