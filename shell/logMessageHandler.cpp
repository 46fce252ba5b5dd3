#include "shell/logMessageHandler.h"

#include "shell/AppPaths.h"

#include <QDateTime>
#include <QFile>
#include <QMutex>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isDropped(const QString &msg)
{
    static const QLatin1String dropped[] = {
        QLatin1String("Unknown property min-weidth"),
        QLatin1String("content-type missing in HTTP POST"),
        QLatin1String("the source rect is not contained by the pixmap's rectangle"),
    };
    for (const QLatin1String &text : dropped) {
        if (msg.contains(text, Qt::CaseSensitive))
            return true;
    }
    return false;
}

QString levelLabel(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("Debug:");
    case QtWarningMsg:
        return QStringLiteral("Warning:");
    case QtCriticalMsg:
        return QStringLiteral("Critical:");
    case QtFatalMsg:
        return QStringLiteral("Fatal:");
    default:
        return QString();
    }
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Copies src to dst; fails when dst already exists, like QFile::copy.
void copyToNewFile(const QByteArray &src, const QByteArray &dst)
{
    const int in = ::open(src.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return;
    const int out = ::open(dst.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out >= 0) {
        char buf[1 << 16];
        ssize_t n;
        while ((n = ::read(in, buf, sizeof buf)) != 0) {
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            if (!writeAll(out, buf, size_t(n)))
                break;
        }
        ::close(out);
    }
    ::close(in);
}

// Plain POSIX file calls below: Qt's file classes may warn, and a warning raised under the
// non-recursive lock would deadlock this handler.
void appendEntry(const QByteArray &entry)
{
    const QByteArray logPath = QFile::encodeName(AppPaths::filePath(QStringLiteral("log.txt")));
    const int fd = ::open(logPath.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return; // the entry is lost; the handler never reports its own failures
    struct stat st
    {
    };
    if (::fstat(fd, &st) == 0 && st.st_size >= logRotateBytes) {
        const QByteArray backup = QFile::encodeName(AppPaths::filePath(QStringLiteral("log_00.txt")));
        ::unlink(backup.constData());
        copyToNewFile(logPath, backup);
        if (::ftruncate(fd, 0) != 0) {
            // nothing to report to: keep appending
        }
    }
    writeAll(fd, entry.constData(), size_t(entry.size()));
    ::close(fd);
}

} // namespace

QString formatLogEntry(QtMsgType type, const QMessageLogContext &context, const QString &msg, const QDateTime &when)
{
    const QString time = QStringLiteral("(%1)").arg(when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz ddd")));
    const QString where = QStringLiteral("File:(%1) Line:(%2)")
                              .arg(context.file ? QString::fromUtf8(context.file) : QString())
                              .arg(context.line);
    return QStringLiteral("%1 %2 %3 %4").arg(time, levelLabel(type), where, msg);
}

void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (isDropped(msg))
        return;

    // A message raised while this thread already holds the lock is dropped instead of
    // deadlocking on the non-recursive mutex.
    static thread_local bool inside = false;
    if (inside)
        return;

    static QMutex lock; // created on first use, lives until process exit
    QMutexLocker locker(&lock);
    inside = true;
    const QString line = formatLogEntry(type, context, msg, QDateTime::currentDateTime());
    appendEntry(line.toUtf8() + "\r\n");
    inside = false;
}
