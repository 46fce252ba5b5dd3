#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// Process-wide Qt message handler: drops a few harmless toolkit warnings and appends every
// other message as one CR LF terminated line to log.txt in the program folder, moving the
// file aside to log_00.txt once it has reached logRotateBytes.
void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &msg);

constexpr qint64 logRotateBytes = 10485760;

// The entry text without its line end, for the given time (exposed for tests).
QString formatLogEntry(QtMsgType type, const QMessageLogContext &context, const QString &msg, const QDateTime &when);
