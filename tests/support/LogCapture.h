#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Collects the text of every message logged while it lives (one capture at a time). Threads
// may log meanwhile; read their lines with snapshot().
class LogCapture
{
public:
    LogCapture()
        : m_previous(qInstallMessageHandler(&LogCapture::handle))
    {
        QMutexLocker locker(&lock());
        lines().clear();
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    static QStringList &lines()
    {
        static QStringList collected;
        return collected;
    }
    static QStringList snapshot()
    {
        QMutexLocker locker(&lock());
        return lines();
    }

private:
    static QMutex &lock()
    {
        static QMutex mutex;
        return mutex;
    }
    static void handle(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        QMutexLocker locker(&lock());
        lines() << message;
    }

    QtMessageHandler m_previous;
};
