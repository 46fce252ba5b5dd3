#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Collects the text of every message logged while it lives (one capture at a time).
class LogCapture
{
public:
    LogCapture()
        : m_previous(qInstallMessageHandler(&LogCapture::handle))
    {
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

private:
    static void handle(QtMsgType, const QMessageLogContext &, const QString &message) { lines() << message; }

    QtMessageHandler m_previous;
};
