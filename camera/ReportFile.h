#pragma once

#include <QString>

#include <optional>

// The calibration report as a file: its name for a serial number, written whole or not at all,
// and read back as it was written (CR LF kept). No widgets: the panel and the command line share it.
namespace ReportFile {

// The report's file name for a serial number: characters that would leave the folder, hide
// the file or cannot be in a file name become '_'.
QString fileNameFor(const QString &serial);

// All or nothing: a full disk leaves no half report behind an old one.
bool write(const QString &path, const QString &text);

// The file's text, or the reason it cannot be read.
struct Loaded
{
    std::optional<QString> text;
    QString error;
};
Loaded load(const QString &path);

} // namespace ReportFile
