// The virtual SDK as a program sees it: faults, unplugging, property rules, calibration, the
// refusals of a firmware upgrade, and settings calls while a read waits. Upgrades that run, and
// the loader hand-over, go through the program in tst_upgradebrio and tst_upgradelibrary.

#include "sim/camera/FirmwareImage.h"
#include "sim/camera/Geometry.h"
#include "support/SimConfigFile.h"
#include "support/TestFiles.h"

#include "camera/sdk/PropertyTable.h"
#include "camera/sdk/quillon_api.h"
#include "sim/camera/quillon_sim_api.h"

#include <QtTest>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

namespace {

const char *altaUri = "usb&2bc5&0401&SDK-ALTA&1-1";
const char *brioUri = "usb&2bc5&0402&SDK-BRIO&1-2";

const QByteArray cameras = fastSim() + R"(
[device.alta]
model = Alta
serial = SDK-ALTA
[device.brio]
model = Brio
serial = SDK-BRIO
firmware = 1.0.3
)";

void onStage(int32_t, int32_t) {}

uint32_t deviceCount()
{
    uint32_t n = 0;
    return Lx2_GetDeviceCount(&n) == 0 ? n : ~0u;
}

uint32_t waitingReaders(SdkHandle h)
{
    uint32_t n = 0;
    return LxSim_GetWaitingReaders(h, 0, &n) == 0 ? n : ~0u;
}

} // namespace

class SimSdkTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Lx2_Shutdown(); }

    // "times" and "after" count the calls of their own function only.
    void callFaults()
    {
        config =
            std::make_unique<SimConfigFile>(cameras + "[faults]\nLx2_GetDeviceCount = -5 times 2\n"
                                                      "Lx2_GetDeviceListInfo = -9 after 1\nLx2_GetDeviceInfo = -2\n");
        QCOMPARE(Lx2_Initialize(), 0);
        QList<int> seen;
        for (int i = 0; i < 3; ++i) {
            uint32_t n = 0;
            SdkDeviceInfo info{};
            seen << Lx2_GetDeviceCount(&n) << Lx2_GetDeviceListInfo(nullptr, 0) << Lx2_GetDeviceInfo(&info, 0);
        }
        QCOMPARE(seen, (QList<int>{-5, 0, -2, -5, -9, -2, 0, -9, -2}));
    }

    void framesDropAndCamerasUnplug()
    {
        const SdkHandle h = start(cameras + "[device.lossy]\nmodel = Cima\nserial = LOSSY\ndropEvery = 2\n"
                                            "unplugAfterFrames = 3\nreplugAfterSeconds = 0.2\n",
                                  "usb&2bc5&0403&LOSSY&1-3");
        QVERIFY(h);
        QCOMPARE(Lx2_SetTimeFilterEnabled(h, 0, 1), 0);
        const char serial[] = "RENAMED";
        QCOMPARE(Lx2_SetProperty(h, 0, LX2_PROP_SN, serial, int32_t(sizeof serial)), 0);
        QList<int> results;
        for (int i = 0; i < 7 && !results.contains(LX2_E_DEVICE_GONE); ++i) {
            FrameReadyFlags flags = 0;
            results << Lx2_ReadNextFrame(h, 0, &flags);
        }
        QCOMPARE(results.count(0), 3);
        QVERIFY(results.count(LX2_E_TIMEOUT) >= 2);
        QCOMPARE(results.last(), int(LX2_E_DEVICE_GONE));
        QCOMPARE(deviceCount(), 2u);
        SdkFrame frame{};
        QCOMPARE(Lx2_GetFrame(h, 0, DepthFrame, &frame), int(LX2_E_DEVICE_GONE));
        QCOMPARE(Lx2_CloseDevice(h), 0);
        QTRY_COMPARE_WITH_TIMEOUT(deviceCount(), 3u, 2000);

        // Back after a power cut: the settings start afresh, what the camera stores stays.
        SdkHandle again = 0;
        QCOMPARE(Lx2_OpenDevice("usb&2bc5&0403&LOSSY&1-3", &again), 0);
        uint8_t filter = 9;
        QCOMPARE(Lx2_GetTimeFilterEnabled(again, 0, &filter), 0);
        QCOMPARE(int(filter), 0);
        char text[32] = {};
        int32_t length = sizeof text;
        QCOMPARE(Lx2_GetProperty(again, 0, LX2_PROP_SN, text, &length), 0);
        QCOMPARE(QByteArray(text), QByteArray(serial));
        Lx2_CloseDevice(again);
    }

    void propertyLengthsAreChecked_data()
    {
        QTest::addColumn<uint>("id");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("status");
        QTest::newRow("calibration short") << uint(LX2_PROP_CALIBRATION) << 72 << int(LX2_E_BAD_LENGTH);
        QTest::newRow("work mode") << uint(LX2_PROP_WORK_MODE) << 4 << int(LX2_E_BAD_LENGTH);
        QTest::newRow("negative") << uint(LX2_PROP_GMM_PARAMS) << -1 << int(LX2_E_BAD_LENGTH);
        QTest::newRow("unknown id") << 0x12345678u << 4 << int(LX2_E_UNKNOWN_PROPERTY);
        QTest::newRow("calibration selector 8") << uint(LX2_PROP_CALIBRATION) << 76 << int(LX2_E_INVALID_PARAM);
    }

    void propertyLengthsAreChecked()
    {
        QFETCH(uint, id);
        QFETCH(int, length);
        QFETCH(int, status);
        const SdkHandle h = start(cameras);
        QByteArray buffer(128, char(0x5A));
        buffer[0] = 8; // selector / mode byte out of range
        const QByteArray before = buffer;
        int32_t len = length;
        QCOMPARE(Lx2_GetProperty(h, 0, id, buffer.data(), &len), status);
        QCOMPARE(buffer, before);
        QCOMPARE(Lx2_SetProperty(h, 0, id, buffer.constData(), length), status);
    }

    // The camera answers each row of the property table at the row's lengths, writes no more than
    // the row's record, and refuses a length one longer. Zeroed requests select the first record.
    void everyTableRowIsServedAtItsLengths_data()
    {
        QTest::addColumn<int>("row");
        for (size_t i = 0; i < std::size(PropertyTable::rows); ++i)
            QTest::newRow(PropertyTable::rows[i].name) << int(i);
    }

    void everyTableRowIsServedAtItsLengths()
    {
        QFETCH(int, row);
        const PropertyTable::Row &r = PropertyTable::rows[row];
        using PropertyTable::byCaller;
        using PropertyTable::refused;
        const auto takenByAnotherRow = [&](int32_t PropertyTable::Row::*length, int32_t value) {
            for (const PropertyTable::Row &other : PropertyTable::rows)
                if (&other != &r && other.id == r.id && other.*length == value)
                    return true;
            return false;
        };
        const auto offeredByAnotherRow = [&](int32_t PropertyTable::Row::*length) {
            for (const PropertyTable::Row &other : PropertyTable::rows)
                if (&other != &r && other.id == r.id && other.*length != refused)
                    return true;
            return false;
        };
        const SdkHandle h = start(cameras);
        QVERIFY(h);
        const int guard = 16;
        if (r.getLength == byCaller) {
            char text[64];
            int32_t length = sizeof text;
            QCOMPARE(Lx2_GetProperty(h, 0, r.id, text, &length), 0);
            QVERIFY(length < int32_t(sizeof text) && text[length] == 0);
        } else if (r.getLength != refused) {
            QByteArray buffer = QByteArray(r.getRecord, 0) + QByteArray(guard, char(0x5A));
            int32_t length = r.getLength;
            QCOMPARE(Lx2_GetProperty(h, 0, r.id, buffer.data(), &length), 0);
            QVERIFY(length <= r.getRecord);
            QCOMPARE(buffer.right(guard), QByteArray(guard, char(0x5A)));
            length = r.getLength + 1;
            if (!takenByAnotherRow(&PropertyTable::Row::getLength, length))
                QCOMPARE(Lx2_GetProperty(h, 0, r.id, buffer.data(), &length), int(LX2_E_BAD_LENGTH));
        } else if (!offeredByAnotherRow(&PropertyTable::Row::getLength)) {
            char any[128] = {};
            for (int32_t length : {0, 1, 4, 64})
                QCOMPARE(Lx2_GetProperty(h, 0, r.id, any, &length), int(LX2_E_NOT_SUPPORTED));
        }

        if (r.setLength == byCaller) {
            QCOMPARE(Lx2_SetProperty(h, 0, r.id, "T-1", 3), 0);
        } else if (r.setLength != refused) {
            // Selectors of zero are in range, so only the record's content can be refused.
            const QByteArray record(r.setRecord + guard, 0);
            const SdkStatus status = Lx2_SetProperty(h, 0, r.id, record.constData(), r.setLength);
            QVERIFY2(status == 0 || status == LX2_E_INVALID_PARAM, qPrintable(QString::number(status)));
            if (!takenByAnotherRow(&PropertyTable::Row::setLength, r.setLength + 1))
                QCOMPARE(Lx2_SetProperty(h, 0, r.id, record.constData(), r.setLength + 1), int(LX2_E_BAD_LENGTH));
        } else if (!offeredByAnotherRow(&PropertyTable::Row::setLength)) {
            QCOMPARE(Lx2_SetProperty(h, 0, r.id, "T-1", 3), int(LX2_E_NOT_SUPPORTED));
        }
    }

    // A call that names a fixed register or one beyond the file is refused whole.
    void registerCallsAreAllOrNothing()
    {
        const SdkHandle h = start(cameras);
        const uint16_t chipId[] = {0x0010, 0x0000}, revision[] = {0x0011, 0x0001}, beyond[] = {0x0010, 0x1000};
        const uint16_t values[] = {0x7777, 0x7777};
        QCOMPARE(Lx2_SetRegVal(h, 0, chipId, values, 2), int(LX2_E_NOT_SUPPORTED));
        QCOMPARE(Lx2_SetRegVal(h, 0, revision, values, 2), int(LX2_E_NOT_SUPPORTED));
        QCOMPARE(Lx2_SetRegVal(h, 0, beyond, values, 2), int(LX2_E_INVALID_PARAM));
        uint16_t read[2] = {0x5a5a, 0x5a5a};
        QCOMPARE(Lx2_GetRegVal(h, 0, beyond, read, 2), int(LX2_E_INVALID_PARAM));
        QCOMPARE(read[0], uint16_t(0x5a5a));
        const uint16_t all[] = {0x0000, 0x0001, 0x0010, 0x0011, 0x0fff};
        uint16_t now[5] = {};
        QCOMPARE(Lx2_GetRegVal(h, 0, all, now, 5), 0);
        QCOMPARE(QList<uint16_t>(now, now + 5), (QList<uint16_t>{0x5121, 0x0003, 0x0400, 0x0300, 0}));
    }

    // A range index within the depth mode's own three is absolute; 0, 1, 2 are near, mid and far
    // of the depth mode; anything else is refused.
    void pulseCountWritesNameTheirRange_data()
    {
        QTest::addColumn<int>("depthMode");
        QTest::addColumn<int>("rangeIndex");
        QTest::addColumn<int>("range"); // -1: refused
        QTest::newRow("absolute, mode 1") << 1 << 4 << 4;
        QTest::newRow("absolute, mode 2") << 2 << 8 << 8;
        QTest::newRow("far of mode 1") << 1 << 2 << 5;
        QTest::newRow("near of mode 2") << 2 << 0 << 6;
        QTest::newRow("mode 0: both readings agree") << 0 << 2 << 2;
        QTest::newRow("another mode's range") << 1 << 7 << -1;
        QTest::newRow("beyond the ranges") << 2 << 9 << -1;
        QTest::newRow("depth mode 3") << 3 << 9 << -1;
    }

    void pulseCountWritesNameTheirRange()
    {
        QFETCH(int, depthMode);
        QFETCH(int, rangeIndex);
        QFETCH(int, range);
        const SdkHandle h = start(cameras);
        PulseCountTable before{}, after{};
        int32_t len = 20;
        QCOMPARE(Lx2_GetProperty(h, 0, LX2_PROP_PULSE_COUNT, &before, &len), 0);
        const PulseCountSet record{4321, uint8_t(depthMode), uint8_t(rangeIndex), 0};
        QCOMPARE(Lx2_SetProperty(h, 0, LX2_PROP_PULSE_COUNT, &record, 5),
                 range < 0 ? int(LX2_E_INVALID_PARAM) : int(LX2_OK));
        QCOMPARE(Lx2_GetProperty(h, 0, LX2_PROP_PULSE_COUNT, &after, &len), 0);
        if (range >= 0)
            before.range[range] = 4321;
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(after.range), 18),
                 QByteArray(reinterpret_cast<const char *>(before.range), 18));
    }

    void textReadsStayInTheirBuffer()
    {
        const SdkHandle h = start(cameras);
        QCOMPARE(Lx2_SetProperty(h, 0, LX2_PROP_PCBA, "PCBA-0123456789", 15), 0);
        char buf[32];
        memset(buf, 'x', sizeof buf);
        int32_t len = 8;
        QCOMPARE(Lx2_GetProperty(h, 0, LX2_PROP_PCBA, buf, &len), int(LX2_E_BUFFER_TOO_SMALL));
        QCOMPARE(buf[0], '\0');
        QCOMPARE(buf[8], 'x');
        len = 16;
        QCOMPARE(Lx2_GetProperty(h, 0, LX2_PROP_PCBA, buf, &len), 0);
        QCOMPARE(QByteArray(buf), QByteArray("PCBA-0123456789"));
        QCOMPARE(len, 15);
        QCOMPARE(buf[16], 'x');
        QCOMPARE(Lx2_SetProperty(h, 0, LX2_PROP_PCBA, QByteArray(64, 'a').constData(), 64), int(LX2_E_BAD_LENGTH));
    }

    void calibrationIsSelfConsistent()
    {
        const SdkHandle h = start(cameras);
        auto block = [&](uint32_t selector) {
            CalibrationBlock b{selector, {}};
            int32_t len = 76;
            Lx2_GetProperty(h, 0, LX2_PROP_CALIBRATION, &b, &len);
            sim::Mat3 m;
            memcpy(m.m.data(), b.data, 72);
            return m;
        };
        const sim::Mat3 kd = block(0), kc = block(2), r = block(4), f = block(7), t3 = block(5);
        const sim::Vec3 t{t3.m[0], t3.m[1], t3.m[2]};
        QVERIFY(std::abs(r.determinant() - 1) < 1e-9);
        // x_colour^T F x_depth = 0 for the two images of one point.
        const sim::Vec3 p{150, -80, 1800}, pc = r * p + t;
        const sim::Vec3 xd = kd * sim::Vec3{p.x / p.z, p.y / p.z, 1}, xc = kc * sim::Vec3{pc.x / pc.z, pc.y / pc.z, 1};
        QVERIFY(std::abs(sim::dot(xc, f * xd)) < 1e-9 * sim::length(xc) * sim::length(f * xd));
        // The essential matrix is F seen through the two lenses.
        const sim::Mat3 e = block(6), fromE = kc.inverse().transposed() * e * kd.inverse();
        for (int i = 0; i < 9; ++i)
            QVERIFY(std::abs(f.m[i] - fromE.m[i]) < 1e-12);
    }

    void upgradeStartCodes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("callback");
        QTest::addColumn<int>("status");
        QTest::newRow("no callback") << "good.img" << false << int(LX2_E_NO_CALLBACK);
        QTest::newRow("empty path") << "" << true << int(LX2_E_NULL_POINTER);
        QTest::newRow("path over 260") << QString(261, 'p') << true << int(LX2_E_PATH_TOO_LONG);
        QTest::newRow("missing file") << "absent.img" << true << int(LX2_E_IMAGE_CHECK);
        QTest::newRow("image for another model") << "alta.img" << true << int(LX2_E_IMAGE_CHECK);
        QTest::newRow("new version") << "good.img" << true << int(LX2_OK);
    }

    void upgradeStartCodes()
    {
        QFETCH(QString, path);
        QFETCH(bool, callback);
        QFETCH(int, status);
        const SdkHandle h = start(cameras, brioUri);
        QVERIFY(h);
        writeImage("good.img", LX2_MODEL_BRIO, "1.0.4");
        writeImage("alta.img", LX2_MODEL_ALTA, "1.0.4");
        if (callback)
            QCOMPARE(Lx2_SetUpgradeStatusCallback(h, 0, onStage), 0);
        const QByteArray full =
            path.isEmpty() || path.size() > 260 ? path.toLatin1() : config->filePath(path).toLatin1();
        QCOMPARE(Lx2_StartUpgradeFirmWare(h, 0, full.constData()), status);
    }

    void settingsCallsDoNotWaitForABlockedRead()
    {
        // In standby no frame set comes; the read waits its full time-out, far longer than the
        // settings calls take, unless they wait for it.
        QByteArray ini = cameras;
        ini.replace("frameTimeoutMs = 150", "frameTimeoutMs = 30000");
        const SdkHandle h = start(ini);
        QVERIFY(h);
        QCOMPARE(Lx2_SetLowPowerModeEnabled(h, 0, 1), 0);
        std::atomic<bool> reading{true};
        std::atomic<int> readStatus{1};
        std::thread reader([&] {
            FrameReadyFlags flags = 0;
            readStatus = Lx2_ReadNextFrame(h, 0, &flags);
            reading = false;
        });
        const auto joinReader = qScopeGuard([&] { // also when a check fails
            Lx2_StopStream(h, 0);
            reader.join();
        });
        QTRY_COMPARE_WITH_TIMEOUT(waitingReaders(h), 1u, 10000);
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(Lx2_SetSpatialFilterEnabled(h, 0, i & 1), 0);
            QCOMPARE(Lx2_SetDepthRange(h, 0, i % 9), 0);
            MeasuringRange r{};
            r.depthMode = uint8_t(i % 3);
            int32_t len = 19;
            QCOMPARE(Lx2_GetProperty(h, 0, LX2_PROP_MAX_DEPTH, &r, &len), 0);
            SdkFrame frame{};
            QCOMPARE(Lx2_GetFrame(h, 0, DepthFrame, &frame), int(LX2_E_NO_FRAME));
        }
        QVERIFY2(reading, "every settings call returned while the read was still waiting");
        QCOMPARE(waitingReaders(h), 1u);
        // Stopping the stream ends the wait at once.
        QCOMPARE(Lx2_StopStream(h, 0), 0);
        QTRY_VERIFY(!reading);
        QCOMPARE(readStatus.load(), int(LX2_E_NOT_STREAMING));
        QCOMPARE(waitingReaders(h), 0u);
    }

private:
    SdkHandle start(const QByteArray &ini, const char *uri = altaUri)
    {
        config = std::make_unique<SimConfigFile>(ini);
        if (Lx2_Initialize() != 0)
            return 0;
        SdkHandle h = 0;
        if (Lx2_OpenDevice(uri, &h) != 0 || Lx2_StartStream(h, 0) != 0)
            return 0;
        return h;
    }

    // Writes a firmware image beside the configuration.
    void writeImage(const QString &name, int32_t model, const char *version)
    {
        const std::vector<uint8_t> image = sim::buildFirmwareImage(model, version, std::vector<uint8_t>(100, 7));
        writeFile(config->filePath(name), QByteArray(reinterpret_cast<const char *>(image.data()), int(image.size())));
    }

    std::unique_ptr<SimConfigFile> config;
};

QTEST_GUILESS_MAIN(SimSdkTest)
#include "tst_sim_sdk.moc"
