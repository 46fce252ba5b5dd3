#include "ToolSettings.h"

#include "AppPaths.h"

#include <QFileInfo>
#include <QSettings>
#include <QVariant>

namespace {

const QString settingsFile = QStringLiteral("Lumidesk.ini");
const QString versionFile = QStringLiteral("version");

// The value of key in the named file, or fileMissing when the file does not exist,
// or keyMissing when the key does not.
QVariant readValue(const QString &file, const QString &key, const QVariant &keyMissing,
                   const QVariant &fileMissing)
{
    const QString path = AppPaths::filePath(file);
    if (!QFileInfo::exists(path))
        return fileMissing;
    const QSettings settings(path, QSettings::IniFormat);
    return settings.value(key, keyMissing);
}

int readInt(const QString &key, int fallback)
{
    return readValue(settingsFile, key, fallback, fallback).toInt(); // unconvertible -> 0
}

} // namespace

const ToolSettings &ToolSettings::getInstance()
{
    static const ToolSettings *instance = new ToolSettings; // never destroyed
    return *instance;
}

int ToolSettings::userType() const
{
    return readInt(QStringLiteral("usertype"), 0);
}

float ToolSettings::pointSize() const
{
    return readValue(settingsFile, QStringLiteral("pointsize"), 1.5f, 1.5f).toFloat();
}

int ToolSettings::sampleStep() const
{
    return readInt(QStringLiteral("sample"), 2);
}

WdrOutputMode ToolSettings::wdrOutputMode(int set) const
{
    if (!QFileInfo::exists(AppPaths::filePath(settingsFile)))
        return WdrOutputMode{2, 0, 1, 2, 1, 5, 1};

    const QString prefix = set == 1 ? QStringLiteral("t1_") : set == 2 ? QStringLiteral("t2_") : QStringLiteral("t3_");
    const QSettings settings(AppPaths::filePath(settingsFile), QSettings::IniFormat);
    const auto value = [&](const char *name) { return settings.value(prefix + QLatin1String(name), 2).toInt(); };

    WdrOutputMode mode{};
    mode.totalRange = uint32_t(value("totalRange"));
    mode.range1 = uint32_t(value("range1"));
    mode.range1Count = uint8_t(value("range1Count")); // the record keeps the low 8 bits
    mode.range2 = uint32_t(value("range2"));
    mode.range2Count = uint8_t(value("range2Count"));
    mode.range3 = uint32_t(value("range3"));
    mode.range3Count = uint8_t(value("range3Count"));
    return mode;
}

int ToolSettings::tftpPort() const
{
    const int port = readInt(QStringLiteral("tftpport"), 69);
    return port >= 1 && port <= 65535 ? port : 69;
}

QString ToolSettings::version() const
{
    const QString fallback = QStringLiteral("0.0.0.0");
    return readValue(versionFile, QStringLiteral("version"), fallback, fallback).toString();
}
