#pragma once

#include <QString>

// Where the program's files are. The installation (the executable and its version file) is
// the executable's folder. What the user edits or the program writes (Lumidesk.ini, the log,
// saved images and reports, the Upgrade folder) is in the data folder: $LUMIDESK_HOME when set
// (a packaged install or a test points it at a writable folder), else the executable's folder.
namespace AppPaths {

// The data folder, absolute, without a trailing slash. Safe before the application object
// exists and from any thread; emits no messages (the log handler calls it under its lock).
QString appDir();

// appDir() + "/" + name.
QString filePath(const QString &name);

// The installation folder: the executable's, whatever $LUMIDESK_HOME says. Same guarantees
// as appDir().
QString installDir();

// installDir() + "/" + name.
QString installFilePath(const QString &name);

// Tests only: makes installDir() answer dir (an empty string restores the executable's
// folder).
void setInstallDirForTests(const QString &dir);

} // namespace AppPaths
