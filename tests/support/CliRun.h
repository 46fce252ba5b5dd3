#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// One run of the real lumidesk-cli (LUMIDESK_CLI, defined by the test's target): its exit status
// (-1 when it did not end by itself in time) and what it printed.
struct Run
{
    int exit = -1;
    QString out, err;
};

inline Run cli(const QStringList &arguments, int timeoutMs = 60000)
{
    QProcess process;
    process.start(QStringLiteral(LUMIDESK_CLI), arguments);
    Run run;
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exit = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
