#include "shell/AppPaths.h"
#include "shell/ToolSettings.h"
#include "support/LogCapture.h"
#include "support/ProgramFolder.h"
#include "support/TestFiles.h"

#include <QtTest>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

using Wdr = std::array<uint32_t, 7>;

Wdr fields(const ToolSettings::WdrOutputMode &m)
{
    return {m.totalRange, m.range1, m.range1Count, m.range2, m.range2Count, m.range3, m.range3Count};
}

// Sets the file's modification time, so that a test does not depend on the clock's tick.
bool setModified(const QString &path, const QDateTime &when)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.setFileTime(when, QFileDevice::FileModificationTime);
}

} // namespace

class ToolSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<ProgramFolder>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup() { m_dir.reset(); }

    void values_data()
    {
        QTest::addColumn<QByteArray>("ini");     // null: no file
        QTest::addColumn<QByteArray>("version"); // null: no file
        QTest::addColumn<QString>("expected");   // user type, point size, sample step, TFTP port, version
        const QByteArray none;
        const QString defaults = "0 1.5 2 69 0.0.0.0";
        QTest::newRow("no files") << none << none << defaults;
        QTest::newRow("keys missing") << QByteArray("x=1\n") << QByteArray("[General]\nname=x\n") << defaults;
        QTest::newRow("malformed values give the defaults")
            << QByteArray("usertype=admin\npointsize=big\nsample=\ntftpport=6,9\n")
            << QByteArray("a line without an equals sign\n[[[\n=\n") << defaults;
        QTest::newRow("set") << QByteArray("usertype=255\npointsize=3.25\nsample=4\ntftpport=6969\n")
                             << QByteArray("version=2.3.8.3\n") << "255 3.25 4 6969 2.3.8.3";
        QTest::newRow("lowest") << QByteArray("usertype=0\npointsize=0.5\nsample=1\ntftpport=1\n") << none
                                << "0 0.5 1 1 0.0.0.0";
        QTest::newRow("highest") << QByteArray("usertype=255\npointsize=16\nsample=64\ntftpport=65535\n") << none
                                 << "255 16 64 65535 0.0.0.0";
        QTest::newRow("intermediate user") << QByteArray("usertype=7\n") << none << "7 1.5 2 69 0.0.0.0";
        // Just outside, far outside, and values whose arithmetic overflows further on.
        for (const char *bad :
             {"usertype=256", "usertype=-1", "pointsize=0.49", "pointsize=16.5", "pointsize=1e38", "pointsize=nan",
              "pointsize=inf", "pointsize=-1.5", "sample=0", "sample=65", "sample=46341", "sample=65536",
              "sample=-2147483648", "sample=99999999999", "tftpport=0", "tftpport=65536", "tftpport=-1"})
            QTest::addRow("%s", bad) << QByteArray(bad) + "\n" << none << defaults;
    }

    void values()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QByteArray, version);
        QFETCH(QString, expected);
        if (!ini.isNull())
            QVERIFY(writeFile(m_dir->filePath("Lumidesk.ini"), ini));
        if (!version.isNull())
            QVERIFY(writeFile(m_dir->installFilePath("version"), version));
        const ToolSettings &s = settings();
        QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5")
                     .arg(s.userType())
                     .arg(double(s.pointSize()))
                     .arg(s.sampleStep())
                     .arg(s.tftpPort())
                     .arg(s.version()),
                 expected);
    }

    void badValueIsLoggedOncePerEdit()
    {
        const LogCapture log;
        writeIni("usertype=255\nsample=65536\n");
        for (int i = 0; i < 3; ++i)
            QCOMPARE(settings().sampleStep(), 2);
        QCOMPARE(settings().userType(), 255);
        QCOMPARE(LogCapture::snapshot(),
                 QStringList{"\"Lumidesk.ini: sample=65536 is outside 1 to 64; using the default 2\""});
        writeIni("pointsize=huge\n");
        QCOMPARE(settings().pointSize(), 1.5f);
        QCOMPARE(settings().pointSize(), 1.5f);
        QCOMPARE(LogCapture::snapshot().size(), 2);
        QCOMPARE(LogCapture::snapshot().last(),
                 "\"Lumidesk.ini: pointsize=huge is not a number; using the default 1.5\"");
    }

    void wdrSetsAndBounds()
    {
        // Without the file the record differs from the all-2 record of a file without the keys.
        for (int set : {1, 2, 3})
            QCOMPARE(fields(settings().wdrOutputMode(set)), (Wdr{2, 0, 1, 2, 1, 5, 1}));
        writeIni("t1_totalRange=3\nt1_range1=0\nt1_range1Count=4\nt1_range2=4\nt1_range2Count=1\n"
                 "t1_range3=8\nt1_range3Count=255\n"
                 "t2_totalRange=4\nt2_range1=9\nt2_range1Count=258\nt2_range2=1.5\nt2_range2Count=0\n"
                 "t2_range3=-1\n"
                 "t3_totalRange=1\nt3_range3=6\n");
        QCOMPARE(fields(settings().wdrOutputMode(1)), (Wdr{3, 0, 4, 4, 1, 8, 255}));
        QCOMPARE(fields(settings().wdrOutputMode(2)), (Wdr{2, 2, 2, 2, 2, 2, 2})); // every key out of range
        for (int set : {0, 3, 7, -1})
            QCOMPARE(fields(settings().wdrOutputMode(set)), (Wdr{1, 2, 2, 2, 2, 6, 2}));
    }

    void fileIsParsedOnlyWhenItChanges()
    {
        const QString path = m_dir->filePath("Lumidesk.ini");
        const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
        writeIni("usertype=1\n");
        QVERIFY(setModified(path, hourAgo));
        const int before = settings().settingsParseCount();
        QCOMPARE(settings().userType(), 1);
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(settings().sampleStep(), 2);
            QCOMPARE(fields(settings().wdrOutputMode(1)), (Wdr{2, 2, 2, 2, 2, 2, 2}));
        }
        QCOMPARE(settings().settingsParseCount(), before + 1);

        // An edit of the same size, told apart by its time alone.
        writeIni("usertype=7\n");
        QVERIFY(setModified(path, hourAgo.addSecs(1)));
        QCOMPARE(settings().userType(), 7);
        QCOMPARE(settings().settingsParseCount(), before + 2);

        // Replaced by another file of the same size, as editors save.
        const QString replacement = m_dir->filePath("new.ini");
        QVERIFY(writeFile(replacement, "usertype=9\n"));
        QVERIFY(setModified(replacement, hourAgo.addSecs(2)));
        QVERIFY(QFile::remove(path) && QFile::rename(replacement, path));
        QCOMPARE(settings().userType(), 9);

        // Gone: the defaults without parsing; back: parsed again.
        QVERIFY(QFile::remove(path));
        QCOMPARE(settings().userType(), 0);
        QCOMPARE(settings().settingsParseCount(), before + 3);
        writeIni("usertype=255\n");
        QCOMPARE(settings().userType(), 255);
        QCOMPARE(settings().settingsParseCount(), before + 4);
    }

    void concurrentReadersSeeWholeFiles()
    {
        writeIni("usertype=1\nsample=3\n");
        std::atomic<bool> stop{false}, torn{false};
        std::vector<std::thread> readers;
        for (int t = 0; t < 3; ++t)
            readers.emplace_back([&] {
                while (!stop) {
                    const int user = settings().userType();
                    if (user != 1 && user != 22)
                        torn = true;
                }
            });
        // Replaced whole, as editors save.
        const QString path = m_dir->filePath("Lumidesk.ini"), next = m_dir->filePath("next.ini");
        for (int i = 0; i < 200; ++i) {
            QVERIFY(writeFile(next, i % 2 ? "usertype=1\nsample=3\n" : "usertype=22\nsample=3\n"));
            QVERIFY(std::rename(QFile::encodeName(next).constData(), QFile::encodeName(path).constData()) == 0);
        }
        stop = true;
        for (std::thread &t : readers)
            t.join();
        QVERIFY(!torn);
    }

    void versionBelongsToTheInstallation()
    {
        QVERIFY(writeFile(m_dir->filePath("version"), "version=9.9.9.9\n")); // a data folder's copy
        QCOMPARE(settings().version(), "0.0.0.0");
        QVERIFY(writeFile(m_dir->installFilePath("version"), "version=1.2.3.4\n"));
        QCOMPARE(settings().version(), "1.2.3.4");

        AppPaths::setInstallDirForTests(QString());
        QCOMPARE(AppPaths::installDir(), QCoreApplication::applicationDirPath());
        QCOMPARE(AppPaths::appDir(), m_dir->path());
    }

private:
    void writeIni(const QByteArray &text) { QVERIFY(writeFile(m_dir->filePath("Lumidesk.ini"), text)); }
    const ToolSettings &settings() const { return ToolSettings::getInstance(); }
    std::unique_ptr<ProgramFolder> m_dir;
};

QTEST_GUILESS_MAIN(ToolSettingsTest)
#include "tst_toolsettings.moc"
