#include "cli/ProgressBar.h"

#include <QTextStream>

#include <unistd.h>

ProgressBar::ProgressBar(QTextStream &err)
    : m_err(err)
    , m_terminal(::isatty(STDERR_FILENO) == 1)
{}

void ProgressBar::show(qint64 done, qint64 total, const QString &text)
{
    if (!m_terminal)
        return;
    const int width = 30;
    const int filled = total > 0 ? int(qBound<qint64>(0, done, total) * width / total) : 0;
    // Padded so that a shorter text wipes the end of a longer one.
    m_err << "\r[" << QString(filled, QLatin1Char('#')) << QString(width - filled, QLatin1Char(' ')) << "] "
          << text.leftJustified(40);
    m_err.flush();
    m_drawn = true;
}

void ProgressBar::finish()
{
    if (m_drawn)
        m_err << "\n";
    m_err.flush();
    m_drawn = false;
}
