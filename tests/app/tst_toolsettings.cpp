#include "TestFiles.h"
#include "ToolSettings.h"

#include <QtTest>

namespace {

using Wdr = std::array<uint32_t, 7>;

Wdr fields(const WdrOutputMode &m)
{
    return {m.totalRange, m.range1, m.range1Count, m.range2, m.range2Count, m.range3, m.range3Count};
}

} // namespace

class ToolSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        qputenv("LUMIDESK_HOME", m_dir->path().toLocal8Bit());
    }

    void values_data()
    {
        QTest::addColumn<QByteArray>("ini");     // null: no file
        QTest::addColumn<QByteArray>("version"); // null: no file
        QTest::addColumn<QString>("expected");   // user type, point size, sample step, TFTP port, version
        const QByteArray none;
        QTest::newRow("no files") << none << none << "0 1.5 2 69 0.0.0.0";
        QTest::newRow("keys missing") << QByteArray("x=1\n") << QByteArray("[General]\nname=x\n")
                                      << "0 1.5 2 69 0.0.0.0";
        QTest::newRow("malformed values read as 0")
            << QByteArray("usertype=admin\npointsize=big\nsample=\n")
            << QByteArray("a line without an equals sign\n[[[\n=\n") << "0 0 0 69 0.0.0.0";
        QTest::newRow("set") << QByteArray("usertype=255\npointsize=3.25\nsample=4\ntftpport=6969\n")
                             << QByteArray("version=2.3.8.3\n") << "255 3.25 4 6969 2.3.8.3";
        QTest::newRow("highest port") << QByteArray("tftpport=65535\n") << none << "0 1.5 2 65535 0.0.0.0";
        for (const char *port : {"0", "65536", "-1", "tftp"}) // out of range: 69
            QTest::addRow("port %s", port) << "tftpport=" + QByteArray(port) + "\n" << none << "0 1.5 2 69 0.0.0.0";
    }

    void values()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QByteArray, version);
        QFETCH(QString, expected);
        if (!ini.isNull())
            writeIni(ini);
        if (!version.isNull())
            writeIni(version, QStringLiteral("version"));
        const ToolSettings &s = settings();
        QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5")
                     .arg(s.userType())
                     .arg(double(s.pointSize()))
                     .arg(s.sampleStep())
                     .arg(s.tftpPort())
                     .arg(s.version()),
                 expected);
    }

    void wdrSetsAndTruncatedCounts()
    {
        // Without the file the record differs from the all-2 record of a file without the keys.
        for (int set : {1, 2, 3})
            QCOMPARE(fields(settings().wdrOutputMode(set)), (Wdr{2, 0, 1, 2, 1, 5, 1}));
        writeIni("t1_totalRange=3\nt1_range1=0\nt1_range1Count=4\nt1_range2=4\nt1_range2Count=1\n"
                 "t1_range3=8\nt1_range3Count=2\n"
                 "t2_range1Count=258\nt2_range2=1.5\n"
                 "t3_totalRange=1\nt3_range3=6\n");
        QCOMPARE(fields(settings().wdrOutputMode(1)), (Wdr{3, 0, 4, 4, 1, 8, 2}));
        QCOMPARE(fields(settings().wdrOutputMode(2)), (Wdr{2, 2, 2, 0, 2, 2, 2}));
        for (int set : {0, 3, 7, -1})
            QCOMPARE(fields(settings().wdrOutputMode(set)), (Wdr{1, 2, 2, 2, 2, 6, 2}));
    }

private:
    void writeIni(const QByteArray &text, const QString &name = QStringLiteral("Lumidesk.ini"))
    {
        QVERIFY(writeFile(m_dir->filePath(name), text));
    }
    const ToolSettings &settings() const { return ToolSettings::getInstance(); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(ToolSettingsTest)
#include "tst_toolsettings.moc"
