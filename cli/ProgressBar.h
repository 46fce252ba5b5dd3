#pragma once

#include <QString>

class QTextStream;

// A bar redrawn in place on a terminal: "\r[#####     ] text". Off a terminal it draws
// nothing; the command then writes plain lines of its own.
class ProgressBar
{
public:
    explicit ProgressBar(QTextStream &err);

    bool onTerminal() const { return m_terminal; }
    // done of total, followed by text.
    void show(qint64 done, qint64 total, const QString &text);
    // Ends the bar's line when one is drawn, so that what follows starts on a line of its own.
    void finish();

private:
    QTextStream &m_err;
    bool m_terminal;
    bool m_drawn = false;
};
