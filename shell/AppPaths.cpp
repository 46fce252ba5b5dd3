#include "shell/AppPaths.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>

#include <climits>
#include <cstdlib>
#include <mutex>
#include <unistd.h>

namespace {

QString executableDir()
{
    // /proc/self/exe rather than QCoreApplication::applicationDirPath(): the latter warns
    // when no application object exists, and a warning here would re-enter the log handler.
    static const QString dir = [] {
        char buf[PATH_MAX];
        const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n <= 0)
            return QDir::currentPath();
        return QFileInfo(QString::fromLocal8Bit(buf, int(n))).absolutePath();
    }();
    return dir;
}

std::mutex installOverrideLock;
QString installOverride; // guarded by installOverrideLock

} // namespace

QString AppPaths::appDir()
{
    const char *home = std::getenv("LUMIDESK_HOME");
    if (home && *home)
        return QDir::cleanPath(QDir(QString::fromLocal8Bit(home)).absolutePath());
    return executableDir();
}

QString AppPaths::filePath(const QString &name)
{
    return appDir() + QLatin1Char('/') + name;
}

QString AppPaths::installDir()
{
    {
        const std::lock_guard<std::mutex> lock(installOverrideLock);
        if (!installOverride.isEmpty())
            return installOverride;
    }
    return executableDir();
}

QString AppPaths::installFilePath(const QString &name)
{
    return installDir() + QLatin1Char('/') + name;
}

void AppPaths::setInstallDirForTests(const QString &dir)
{
    const std::lock_guard<std::mutex> lock(installOverrideLock);
    installOverride = dir.isEmpty() ? QString() : QDir::cleanPath(QDir(dir).absolutePath());
}
