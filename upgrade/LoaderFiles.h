#pragma once

#include <QString>

#include <optional>

// How the files for a USB loader upgrade are picked: the boot loader and the image are the
// first of a folder whose names hold the camera's flash type.
namespace LoaderFiles {

// "nand" for a camera that says nand; anything else (or nothing) counts as "nor".
QString flashType(const std::optional<QString> &reported);

// The name of the first file of the folder, by name, that matches pattern and whose name holds
// text; empty when none does.
QString firstContaining(const QString &folder, const QString &pattern, const QString &text);

} // namespace LoaderFiles
