#pragma once

#include <QString>

// Where the program keeps its files: the executable's folder, or $LUMIDESK_HOME when set
// (a packaged install or a test points it at a writable folder).
namespace AppPaths {

// Absolute folder path without a trailing slash. Safe before the application object exists
// and from any thread; emits no messages (the log handler calls it under its lock).
QString appDir();

// appDir() + "/" + name.
QString filePath(const QString &name);

} // namespace AppPaths
