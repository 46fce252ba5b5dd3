#include "ToolSettings.h"

#include <QFile>
#include <QTemporaryDir>
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
    void init();
    void missingFilesGiveDefaults();
    void missingKeysGiveDefaults();
    void malformedValuesReadAsZero();
    void wdrSetsAndTruncatedCounts();
    void editsTakeEffectAtNextRead();
    void tftpPortOutOfRangeMeans69_data();
    void tftpPortOutOfRangeMeans69();

private:
    void writeIni(const QByteArray &text, const QString &name = QStringLiteral("Lumidesk.ini"));
    const ToolSettings &settings() const { return ToolSettings::getInstance(); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void ToolSettingsTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv("LUMIDESK_HOME", m_dir->path().toLocal8Bit());
}

void ToolSettingsTest::writeIni(const QByteArray &text, const QString &name)
{
    QFile file(m_dir->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

void ToolSettingsTest::missingFilesGiveDefaults()
{
    QCOMPARE(settings().userType(), 0);
    QCOMPARE(settings().pointSize(), 1.5f);
    QCOMPARE(settings().sampleStep(), 2);
    QCOMPARE(settings().tftpPort(), 69);
    QCOMPARE(settings().version(), QStringLiteral("0.0.0.0"));
    // The file-missing WDR record differs from the all-2 record of a file without the keys.
    for (int set : {1, 2, 3})
        QCOMPARE(fields(settings().wdrOutputMode(set)), (Wdr{2, 0, 1, 2, 1, 5, 1}));
}

void ToolSettingsTest::missingKeysGiveDefaults()
{
    writeIni("usertype=255\n");
    writeIni("[General]\nname=x\n", QStringLiteral("version"));
    QCOMPARE(settings().userType(), 255);
    QCOMPARE(settings().pointSize(), 1.5f);
    QCOMPARE(settings().sampleStep(), 2);
    QCOMPARE(settings().version(), QStringLiteral("0.0.0.0"));
    for (int set : {0, 1, 2, 3, 7})
        QCOMPARE(fields(settings().wdrOutputMode(set)), (Wdr{2, 2, 2, 2, 2, 2, 2}));
}

void ToolSettingsTest::malformedValuesReadAsZero()
{
    writeIni("usertype=admin\npointsize=big\nsample=\nt1_range1=1.5\n");
    QCOMPARE(settings().userType(), 0);
    QCOMPARE(settings().pointSize(), 0.0f);
    QCOMPARE(settings().sampleStep(), 0);
    QCOMPARE(settings().wdrOutputMode(1).range1, 0u);
    writeIni("a line without an equals sign\n[[[\n=\n", QStringLiteral("version"));
    QCOMPARE(settings().version(), QStringLiteral("0.0.0.0"));
}

void ToolSettingsTest::wdrSetsAndTruncatedCounts()
{
    writeIni("t1_totalRange=3\nt1_range1=0\nt1_range1Count=4\nt1_range2=4\nt1_range2Count=1\n"
             "t1_range3=8\nt1_range3Count=2\n"
             "t2_range1Count=258\n"
             "t3_totalRange=1\nt3_range3=6\n");
    QCOMPARE(fields(settings().wdrOutputMode(1)), (Wdr{3, 0, 4, 4, 1, 8, 2}));
    QCOMPARE(settings().wdrOutputMode(2).range1Count, uint8_t(2));
    for (int set : {0, 3, 7, -1})
        QCOMPARE(fields(settings().wdrOutputMode(set)), (Wdr{1, 2, 2, 2, 2, 6, 2}));
}

void ToolSettingsTest::editsTakeEffectAtNextRead()
{
    writeIni("version=2.3.8.3\n", QStringLiteral("version"));
    QCOMPARE(settings().version(), QStringLiteral("2.3.8.3"));
    writeIni("usertype=1\npointsize=3.25\nsample=4\n");
    QCOMPARE(settings().userType(), 1);
    writeIni("usertype=255\npointsize=3.25\nsample=4\n");
    QCOMPARE(settings().userType(), 255);
    QCOMPARE(settings().pointSize(), 3.25f);
    QCOMPARE(settings().sampleStep(), 4);
}

void ToolSettingsTest::tftpPortOutOfRangeMeans69_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("port");
    QTest::newRow("missing key") << QByteArray("usertype=1\n") << 69;
    QTest::newRow("set") << QByteArray("tftpport=6969\n") << 6969;
    QTest::newRow("highest") << QByteArray("tftpport=65535\n") << 65535;
    QTest::newRow("zero") << QByteArray("tftpport=0\n") << 69;
    QTest::newRow("too high") << QByteArray("tftpport=65536\n") << 69;
    QTest::newRow("negative") << QByteArray("tftpport=-1\n") << 69;
    QTest::newRow("text") << QByteArray("tftpport=tftp\n") << 69;
}

void ToolSettingsTest::tftpPortOutOfRangeMeans69()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, port);
    writeIni(ini);
    QCOMPARE(settings().tftpPort(), port);
}

QTEST_GUILESS_MAIN(ToolSettingsTest)
#include "tst_toolsettings.moc"
