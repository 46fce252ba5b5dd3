#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Points the virtual camera SDK at a configuration written for one test, and at a state folder
// of its own. The SDK reads both at its next Lx2_Initialize.
class SimConfigFile
{
public:
    explicit SimConfigFile(const QByteArray &ini)
    {
        const QString path = dir.filePath(QStringLiteral("quillon_sim.ini"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(ini);
        QDir(dir.path()).mkpath(QStringLiteral("state"));
        qputenv("QUILLON_SIM_CONFIG", path.toLocal8Bit());
        qputenv("QUILLON_SIM_STATE", statePath().toLocal8Bit());
    }

    QString statePath() const { return dir.filePath(QStringLiteral("state")); }
    QString filePath(const QString &name) const { return dir.filePath(name); }

private:
    QTemporaryDir dir;
};

// Quick timings so that tests never wait long.
inline QByteArray fastSim()
{
    return "[sim]\nframeTimeoutMs = 150\nrebootMs = 300\nupgradeStepMs = 2\n";
}
