#include "shell/logMessageHandler.h"
#include "support/ProgramFolder.h"
#include "support/TestFiles.h"

#include <QtTest>

#include <vector>

namespace {

const QRegularExpression entryPattern(
    QStringLiteral(R"(^\((\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) (\S+)\) (\S*) File:\((.*)\) Line:\((\d+)\) (.*)$)"));

void log(QtMsgType type, const QString &msg)
{
    logMessageHandler(type, QMessageLogContext(), msg);
}

} // namespace

class LogMessageHandlerTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<ProgramFolder>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup() { m_dir.reset(); }

    void format()
    {
        // Through the debug stream, as the program writes its version line.
        const QtMessageHandler previous = qInstallMessageHandler(logMessageHandler);
        const QDateTime before = QDateTime::currentDateTime();
        qDebug() << QStringLiteral("version  %1").arg(QStringLiteral("2.3.8.3"));
        qInstallMessageHandler(previous);

        const QByteArray data = readFile(logPath());
        QVERIFY2(data.endsWith("\"\r\n") && data.count('\n') == 1, data.constData());
        const QRegularExpressionMatch m = entryPattern.match(QString::fromUtf8(data.chopped(2)));
        QVERIFY2(m.hasMatch(), data.constData());
        const QDateTime stamp = QDateTime::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
        QVERIFY(stamp.isValid());
        QVERIFY(qAbs(stamp.msecsTo(before)) < 5000);
        QCOMPARE(m.captured(2), QLocale::system().dayName(stamp.date().dayOfWeek(), QLocale::ShortFormat));
        QCOMPARE(m.captured(3), QStringLiteral("Debug:"));
        QCOMPARE(m.captured(4), QString());
        QCOMPARE(m.captured(5), QStringLiteral("0"));
        QCOMPARE(m.captured(6), QStringLiteral("\"version  2.3.8.3\""));
    }

    void levelLabels()
    {
        const QMessageLogContext at("view/x.cpp", 12, "f", "default");
        const QDateTime when = QDateTime::currentDateTime();
        const QtMsgType types[] = {QtDebugMsg, QtWarningMsg, QtCriticalMsg, QtFatalMsg, QtInfoMsg};
        const QStringList labels{"Debug: ", "Warning: ", "Critical: ", "Fatal: ", " "}; // other types: two blanks
        for (int i = 0; i < 5; ++i)
            QCOMPARE(formatLogEntry(types[i], at, "w", when).section(')', 1),
                     ' ' + labels[i] + "File:(view/x.cpp) Line:(12) w");
    }

    void droppedTexts_data()
    {
        QTest::addColumn<QString>("msg");
        QTest::addColumn<bool>("logged");
        QTest::newRow("style sheet warning") << "QFrame: Unknown property min-weidth in sheet" << false;
        QTest::newRow("other case is logged") << "Unknown Property Min-Weidth" << true;
    }

    void droppedTexts()
    {
        QFETCH(QString, msg);
        QFETCH(bool, logged);
        log(QtWarningMsg, msg);
        QCOMPARE(QFile::exists(logPath()), logged);
    }

    void rotation()
    {
        // One byte short: appended, no rotation.
        QVERIFY(writeFile(logPath(), QByteArray(int(logRotateBytes) - 1, 'a')));
        QVERIFY(writeFile(backupPath(), "old backup"));
        log(QtDebugMsg, QStringLiteral("below"));
        QCOMPARE(readFile(backupPath()), QByteArray("old backup"));
        QVERIFY(QFileInfo(logPath()).size() > logRotateBytes);

        // Exactly at the threshold: the content moves to the backup beside the log, wherever the
        // current folder is, and the entry is alone.
        const QByteArray full(int(logRotateBytes), 'b');
        QVERIFY(writeFile(logPath(), full));
        QTemporaryDir elsewhere;
        const QString oldCwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        log(QtDebugMsg, QStringLiteral("first after rotation"));
        QDir::setCurrent(oldCwd);
        QVERIFY(readFile(backupPath()) == full);
        QVERIFY(!QFile::exists(elsewhere.filePath(QStringLiteral("log_00.txt"))));
        const QList<QByteArray> all = lines();
        QCOMPARE(all.size(), 1);
        QVERIFY(all[0].endsWith("first after rotation\r"));

        // A backup that cannot be replaced stays; the log is still emptied.
        QFile::remove(backupPath());
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("log_00.txt/keep")));
        QVERIFY(writeFile(logPath(), full));
        log(QtDebugMsg, QStringLiteral("after failed backup"));
        QVERIFY(QFileInfo(backupPath()).isDir());
        QCOMPARE(lines().size(), 1);
    }

    void rotationIsOnceUnderConcurrentWriters()
    {
        const QByteArray full(int(logRotateBytes), 'c');
        QVERIFY(writeFile(logPath(), full));

        constexpr int threads = 8;
        constexpr int perThread = 200;
        std::vector<std::unique_ptr<QThread>> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back(QThread::create([t] {
                for (int i = 0; i < perThread; ++i)
                    log(QtDebugMsg, QStringLiteral("t%1-%2-%3").arg(t).arg(i).arg(QString(40, QLatin1Char('x'))));
            }));
            workers.back()->start();
        }
        for (auto &w : workers)
            QVERIFY(w->wait(30000));

        QVERIFY(readFile(backupPath()) == full);
        const QList<QByteArray> all = lines();
        QCOMPARE(all.size(), threads * perThread);
        QSet<QString> seen;
        for (const QByteArray &line : all) {
            QVERIFY2(line.endsWith('\r'), line.constData());
            const QRegularExpressionMatch m = entryPattern.match(QString::fromUtf8(line.chopped(1)));
            QVERIFY2(m.hasMatch(), line.constData());
            seen.insert(m.captured(6));
        }
        QCOMPARE(seen.size(), threads * perThread);
    }

    void unwritableFolderIsSilent()
    {
        qputenv("LUMIDESK_HOME", m_dir->filePath(QStringLiteral("missing/folder")).toLocal8Bit());
        log(QtCriticalMsg, QStringLiteral("lost"));
        QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("missing"))));
    }

private:
    QString logPath() const { return m_dir->filePath(QStringLiteral("log.txt")); }
    QString backupPath() const { return m_dir->filePath(QStringLiteral("log_00.txt")); }

    QList<QByteArray> lines() const
    {
        QList<QByteArray> result = readFile(logPath()).split('\n');
        if (!result.isEmpty() && result.last().isEmpty())
            result.removeLast();
        return result;
    }

    std::unique_ptr<ProgramFolder> m_dir;
};

QTEST_GUILESS_MAIN(LogMessageHandlerTest)
#include "tst_logmessagehandler.moc"
