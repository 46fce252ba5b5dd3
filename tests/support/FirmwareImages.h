#pragma once

#include <QProcess>
#include <QString>

// Builds an image that the virtual cameras take, with the simulator's own tool; the test target
// names the tool in QUILLON_FWIMAGE.
inline bool makeFirmwareImage(const QString &path, const QString &model, const QString &version)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedChannels);
    tool.start(QString::fromUtf8(QUILLON_FWIMAGE),
               {QStringLiteral("--model"), model, QStringLiteral("--version"), version, QStringLiteral("-o"), path});
    return tool.waitForFinished(30000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}
