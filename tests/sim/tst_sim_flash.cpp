// What a virtual camera keeps like flash: the records and registers written to it and the
// firmware an upgrade installed survive the SDK's shutdown and come back from the state folder
// alone; a factory reset or a removed folder forgets them; a damaged flash file never crashes the
// SDK nor loads half an entry.

#include "sim/camera/FirmwareImage.h"
#include "support/SimConfigFile.h"
#include "support/StderrCapture.h"
#include "support/TestFiles.h"

#include "camera/sdk/quillon_api.h"

#include <QtTest>

#include <cstring>
#include <memory>

namespace {

const char *uri = "usb&2bc5&0401&FLASH-ALTA&1-1";
const QByteArray camera = fastSim() + "[device.alta]\nmodel = Alta\nserial = FLASH-ALTA\n";

template <typename T> QByteArray bytesOf(const T &record)
{
    return QByteArray(reinterpret_cast<const char *>(&record), int(sizeof record));
}

QByteArray property(SdkHandle h, PropertyId id, QByteArray request, int32_t length)
{
    request.resize(std::max(int(request.size()), 64));
    int32_t len = length;
    if (Lx2_GetProperty(h, 0, id, request.data(), &len) != 0)
        return "failed";
    return request.left(len);
}

// What the camera reports for every value the test writes; the last part holds the stream
// settings, which start afresh with every power-on.
QList<QByteArray> readBack(SdkHandle h)
{
    CalibrationBlock depthLens{LX2_CALIB_DEPTH_INTRINSICS, {}};
    MeasuringRange mode1{};
    mode1.depthMode = 1;
    const uint16_t addresses[] = {0x0000, 0x0010, 0x0fff};
    uint16_t values[3] = {};
    StreamDataMode dataMode = -1;
    DepthRangeIndex range = -1;
    Lx2_GetDataMode(h, 0, &dataMode);
    Lx2_GetDepthRange(h, 0, &range);
    return {property(h, LX2_PROP_CALIBRATION, bytesOf(depthLens), 76),
            property(h, LX2_PROP_MAX_DEPTH, bytesOf(mode1), 19),
            property(h, LX2_PROP_PULSE_COUNT, {}, 20).mid(2), // without the current range's
            property(h, LX2_PROP_TAL, {}, 0),
            property(h, LX2_PROP_GMM_GAIN, {}, 2),
            property(h, LX2_PROP_SN, {}, 63),
            property(h, LX2_PROP_WORK_MODE, {}, 5),
            Lx2_GetRegVal(h, 0, addresses, values, 3) == 0 ? bytesOf(values) : "failed",
            bytesOf(dataMode) + bytesOf(range)};
}

// One write of each kind: a selector record, a pulse count by its depth mode's own range, a
// record filled in two writes (TAL, then its one-byte switch), a text, registers, and the stream
// settings.
void writeEverything(SdkHandle h)
{
    CalibrationBlock depthLens{LX2_CALIB_DEPTH_INTRINSICS, {}};
    int32_t len = 76;
    QCOMPARE(Lx2_GetProperty(h, 0, LX2_PROP_CALIBRATION, &depthLens, &len), 0);
    double k[9];
    memcpy(k, depthLens.data, sizeof k);
    k[0] *= 1.1;
    memcpy(depthLens.data, k, sizeof k);
    QCOMPARE(Lx2_SetProperty(h, 0, LX2_PROP_CALIBRATION, &depthLens, 76), 0);
    const MeasuringRange mode1{1, {1000, 2000, 3000}, {900, 1900, 2900}, {100, 200, 300}};
    QCOMPARE(Lx2_SetProperty(h, 0, LX2_PROP_MAX_DEPTH, &mode1, 19), 0);
    const PulseCountSet farOfMode2{1234, 2, 2, 0};
    QCOMPARE(Lx2_SetProperty(h, 0, LX2_PROP_PULSE_COUNT, &farOfMode2, 5), 0);
    const uint8_t tal[2] = {7, 9}, talOff = 0;
    QCOMPARE(Lx2_SetProperty(h, 0, LX2_PROP_TAL, tal, 2), 0);
    QCOMPARE(Lx2_SetProperty(h, 0, LX2_PROP_TAL, &talOff, 1), 0);
    const GmmGainRecord gain{300, 5};
    QCOMPARE(Lx2_SetProperty(h, 0, LX2_PROP_GMM_GAIN, &gain, 3), 0);
    QCOMPARE(Lx2_SetProperty(h, 0, LX2_PROP_SN, "NEW-SN", 6), 0);
    const SdkWorkMode work{3, {1, 2, 3, 4}};
    QCOMPARE(Lx2_SetProperty(h, 0, LX2_PROP_WORK_MODE, &work, 5), 0);
    const uint16_t addresses[] = {0x0010, 0x0fff}, values[] = {0xbeef, 0x1234};
    QCOMPARE(Lx2_SetRegVal(h, 0, addresses, values, 2), 0);
    QCOMPARE(Lx2_SetDataMode(h, 0, LX2_DATA_DEPTH_IR_30), 0);
    QCOMPARE(Lx2_SetDepthRange(h, 0, 5), 0);
}

SdkHandle start()
{
    SdkHandle h = 0;
    return Lx2_Initialize() == 0 && Lx2_OpenDevice(uri, &h) == 0 ? h : 0;
}

QByteArray listedFirmware()
{
    SdkDeviceInfo info{};
    return Lx2_GetDeviceInfo(&info, 0) == 0 ? QByteArray(info.firmwareVersion) : QByteArray();
}

bool copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QFileInfo &entry : QDir(from).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QString target = to + '/' + entry.fileName();
        if (entry.isDir() ? !copyFolder(entry.filePath(), target) : !QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}

} // namespace

class SimFlashTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Lx2_Shutdown(); }

    void writtenValuesLiveInTheStateFolder_data()
    {
        QTest::addColumn<QString>("restart");
        QTest::addColumn<bool>("kept");
        QTest::newRow("SDK restart") << "restart" << true;
        QTest::newRow("a copy of the state folder elsewhere") << "copy" << true;
        QTest::newRow("factoryReset = yes") << "reset" << false;
        QTest::newRow("state folder removed") << "remove" << false;
    }

    void writtenValuesLiveInTheStateFolder()
    {
        QFETCH(QString, restart);
        QFETCH(bool, kept);
        config = std::make_unique<SimConfigFile>(camera);
        SdkHandle h = start();
        QVERIFY(h);
        const QList<QByteArray> factory = readBack(h);
        writeEverything(h);
        const QList<QByteArray> written = readBack(h);
        for (int i = 0; i < factory.size(); ++i)
            QVERIFY2(written[i] != factory[i] && written[i] != "failed", qPrintable(QString::number(i)));
        QCOMPARE(Lx2_Shutdown(), 0);

        QTemporaryDir elsewhere;
        if (restart == "copy") {
            QVERIFY(copyFolder(config->statePath(), elsewhere.filePath("state")));
            QVERIFY(QDir(config->statePath()).removeRecursively());
            qputenv("QUILLON_SIM_STATE", QFile::encodeName(elsewhere.filePath("state")));
        } else if (restart == "reset") {
            QVERIFY(writeFile(config->filePath("reset.ini"), camera + "factoryReset = yes\n"));
            qputenv("QUILLON_SIM_CONFIG", QFile::encodeName(config->filePath("reset.ini")));
        } else if (restart == "remove") {
            QVERIFY(QDir(config->statePath()).removeRecursively());
        }
        h = start();
        QVERIFY(h);
        QList<QByteArray> expected = kept ? written : factory;
        expected.last() = factory.last(); // the stream settings never stay
        QCOMPARE(readBack(h), expected);
        if (restart == "reset") // the factory values stay after the reset too
            QVERIFY(!QFile::exists(config->statePath() + "/flash/FLASH-ALTA.ini"));
    }

    void installedFirmwareStays_data()
    {
        QTest::addColumn<QString>("upgrade");
        QTest::addColumn<QString>("restart");
        QTest::addColumn<bool>("kept");
        QTest::newRow("SDK upgrade, SDK restart") << "sdk"
                                                  << "restart" << true;
        QTest::newRow("loader, state folder removed") << "loader"
                                                      << "remove" << false;
    }

    void installedFirmwareStays()
    {
        QFETCH(QString, upgrade);
        QFETCH(QString, restart);
        QFETCH(bool, kept);
        config = std::make_unique<SimConfigFile>(camera);
        const SdkHandle h = start();
        QVERIFY(h);
        const QByteArray configured = listedFirmware();
        if (upgrade == "sdk") {
            const std::vector<uint8_t> image = sim::buildFirmwareImage(LX2_MODEL_ALTA, "3.0.1", {1, 2, 3});
            QVERIFY(writeFile(config->filePath("fw.img"),
                              QByteArray(reinterpret_cast<const char *>(image.data()), int(image.size()))));
            QCOMPARE(Lx2_SetUpgradeStatusCallback(h, 0, [](int32_t, int32_t) {}), 0);
            QCOMPARE(Lx2_StartUpgradeFirmWare(h, 0, QFile::encodeName(config->filePath("fw.img")).constData()), 0);
        } else {
            const SdkWorkMode loader{LX2_WORK_MODE_LOADER, {}};
            QCOMPARE(Lx2_SetProperty(h, 0, LX2_PROP_WORK_MODE, &loader, 5), 0);
            QVERIFY(writeFile(config->statePath() + "/loader/FLASH-ALTA.ini",
                              "[loader]\nstate = done\nfirmware = 3.0.1\n"));
        }
        QTRY_COMPARE(listedFirmware(), QByteArray("3.0.1"));
        QCOMPARE(Lx2_Shutdown(), 0);
        if (restart == "reset") {
            QVERIFY(writeFile(config->filePath("reset.ini"), camera + "factoryReset = yes\n"));
            qputenv("QUILLON_SIM_CONFIG", QFile::encodeName(config->filePath("reset.ini")));
        } else if (restart == "remove") {
            QVERIFY(QDir(config->statePath()).removeRecursively());
        }
        QCOMPARE(Lx2_Initialize(), 0);
        QCOMPARE(listedFirmware(), kept ? QByteArray("3.0.1") : configured);
    }

    void damagedFlashFilesNeverHalfLoad_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("loaded"); // the good register entry
        const QByteArray head = "[flash]\nserial = FLASH-ALTA\n[registers]\n0x0010 = 0x00aa\n";
        QByteArray binary(3000, 0);
        for (int i = 0; i < binary.size(); ++i)
            binary[i] = char(i * 131 + (i >> 3));
        QTest::newRow("binary") << binary << false;
        QTest::newRow("cut short") << head << false;
        QTest::newRow("another camera's") << QByteArray(head).replace("FLASH-ALTA", "OTHER") + "[end]\n" << false;
        QTest::newRow("bad entries among good ones")
            << head +
                   "0x0000 = 0x1111\n0x1000 = 0x0001\n0x0011 = 0x10000\n"
                   "[properties]\n"
                   "f0000004_3 = 76: 00 00 00 00" +
                   QByteArray(" 00").repeated(72) + // a block filed under another selector
                   "\nf0000003_0 = 19: 00 01\n"     // fewer bytes than it says
                   "f000000b = 5: 10 01 02 03 04\n" // a hand-over to the loader
                   "f0000014_9 = 5: 01 00 03 09 00\n"
                   "f000000d = 3: 2c 01 zz\n"
                   "12345678 = 1: 00\n"
                   "[end]\n"
            << true;
    }

    void damagedFlashFilesNeverHalfLoad()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, loaded);
        config = std::make_unique<SimConfigFile>(camera);
        const QString path = config->statePath() + "/flash/FLASH-ALTA.ini";
        QVERIFY(QDir().mkpath(config->statePath() + "/flash"));
        QVERIFY(writeFile(path, file));
        SdkHandle h = 0;
        const QByteArray printed = stderrOf([&] { h = start(); });
        QVERIFY(h);
        const QList<QByteArray> lines = printed.trimmed().split('\n');
        for (const QByteArray &line : lines)
            QVERIFY2(line.startsWith("quillon_api: " + QFile::encodeName(path)), printed);
        QList<QByteArray> expected = readBack(h);
        QCOMPARE(Lx2_Shutdown(), 0);
        QVERIFY(QFile::remove(path));
        h = start();
        QList<QByteArray> factory = readBack(h);
        if (loaded) // 0x0010 = 0x00aa, nothing else
            factory[7].replace(2, 2, QByteArray("\xaa\x00", 2));
        QCOMPARE(expected, factory);
    }

    // A state folder that cannot be written: the camera still takes the values, and says once
    // that they will not last.
    void anUnwritableStateFolderKeepsValuesInMemory()
    {
        config = std::make_unique<SimConfigFile>(camera);
        QVERIFY(QDir().mkpath(config->statePath() + "/flash/FLASH-ALTA.ini")); // a folder in the file's place
        SdkHandle h = 0;
        QByteArray printed = stderrOf([&] { h = start(); });
        QVERIFY(h);
        printed += stderrOf([&] { writeEverything(h); });
        QVERIFY2(printed.count("FLASH-ALTA.ini") == 2 && printed.contains("cannot be written"), printed);
        QCOMPARE(readBack(h).at(5), QByteArray("NEW-SN"));
    }

private:
    std::unique_ptr<SimConfigFile> config;
};

QTEST_GUILESS_MAIN(SimFlashTest)
#include "tst_sim_flash.moc"
