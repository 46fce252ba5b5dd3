#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Images that the virtual cameras take and boot loaders that the virtual loader device takes,
// made with the simulator's own tool; the test target names the tool in QUILLON_FWIMAGE.
inline bool runFirmwareTool(const QStringList &arguments)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedChannels);
    tool.start(QString::fromUtf8(QUILLON_FWIMAGE), arguments);
    return tool.waitForFinished(30000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

// payload: a file whose bytes the image carries (the tool's own few bytes when empty).
inline bool makeFirmwareImage(const QString &path, const QString &model, const QString &version,
                              const QString &payload = QString())
{
    QStringList arguments{QStringLiteral("--model"), model, QStringLiteral("--version"), version};
    if (!payload.isEmpty())
        arguments << QStringLiteral("--payload") << payload;
    return runFirmwareTool(arguments << QStringLiteral("-o") << path);
}

inline bool makeBootLoader(const QString &path, const QString &model, const QString &flashType)
{
    return runFirmwareTool({QStringLiteral("--boot"), QStringLiteral("--model"), model, QStringLiteral("--flash"),
                            flashType, QStringLiteral("-o"), path});
}
