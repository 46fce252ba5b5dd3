#pragma once

#include <QString>

#include <cstddef>

// Writing a saved file whole.
namespace SaveFile {

// Writes size bytes to path, replacing the file. True only when every byte was written and
// the file was closed without error; otherwise the partly written file is removed, so that
// a failed save never leaves a cut-off file under its name.
bool write(const QString &path, const void *data, size_t size);

} // namespace SaveFile
