#include "camera/Control_Single.h"
#include "support/SimConfigFile.h"

#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QByteArray cameras = fastSim() + R"(
[device.alta]
model = Alta
uri = usb&2bc5&0401&PROP-ALTA&1-1
[device.broken]
model = Alta
uri = usb&2bc5&0401&PROP-BROKEN&1-2
failPropertyReads = 0xF0000004
)";

QByteArray pattern(int size, int seed)
{
    QByteArray b(size, 0);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + seed) & 0x7F);
    return b;
}

// The raw record the camera holds, read with the table's id and length; request holds the
// selector bytes and is as long as the table's get length.
QByteArray raw(PropertyId id, const QByteArray &request, int size)
{
    QByteArray r = request + QByteArray(qMax(0, size - int(request.size())), 0);
    int32_t length = request.size();
    const SdkStatus status = Control_Single::getInstance()->getProperty(id, r.data(), &length);
    return status == 0 ? r.left(size) : "status " + QByteArray::number(status);
}

// A wrapper pair that passes its record by pointer, and the raw record the SDK must hold after
// the set wrapper has sent written.
struct RoundTrip
{
    PropertyId id;
    QByteArray request; // the raw read's request (see raw())
    int readSize;       // bytes the raw read returns
    QByteArray written;
    std::function<bool(const QByteArray &)> set;
    std::function<QByteArray()> get; // the get wrapper's record, read from the request bytes
    QByteArray expected;             // raw read result (defaults to written)
};

template <typename A, typename R1, typename R2>
RoundTrip byPointer(PropertyId id, const QByteArray &request, int readSize, const QByteArray &written,
                    R1 (Control_Single::*set)(const A *), R2 (Control_Single::*get)(A *),
                    const QByteArray &expected = {})
{
    Control_Single *c = Control_Single::getInstance();
    const int size = qMax(readSize, int(request.size()));
    return {id,
            request,
            readSize,
            written,
            [c, set](const QByteArray &b) { return (c->*set)(reinterpret_cast<const A *>(b.constData())) == 0; },
            [c, get, request, size] {
                QByteArray r = request + QByteArray(size - request.size() + 16, 0);
                (void)(c->*get)(reinterpret_cast<A *>(r.data()));
                return r.left(size);
            },
            expected};
}

QMap<QString, RoundTrip> roundTrips()
{
    using C = Control_Single;
    QMap<QString, RoundTrip> t;
    QByteArray imu = pattern(15, 1);
    imu[1] = 1;
    const QByteArray imuRequest = QByteArray("\0\x01", 2) + QByteArray(13, 0);
    t["AccOffset"] = byPointer(LX2_PROP_ACC_OFFSET, imuRequest, 15, imu, &C::setAccOffset, &C::getAccOffset);
    t["GyroOffset"] = byPointer(LX2_PROP_GYRO_OFFSET, imuRequest, 15, imu, &C::setGyroOffset, &C::getGyroOffset);
    t["AccOffsetTemp"] = byPointer(LX2_PROP_ACC_OFFSET_TEMP, QByteArray(11, 0), 11, pattern(11, 2),
                                   &C::setAccOffsetTemp, &C::getAccOffsetTemp);
    t["GyroOffsetTemp"] = byPointer(LX2_PROP_GYRO_OFFSET_TEMP, QByteArray(11, 0), 11, pattern(11, 3),
                                    &C::setGyroOffsetTemp, &C::getGyroOffsetTemp);
    t["AccSensitivity"] = byPointer(LX2_PROP_ACC_SENSITIVITY, QByteArray(36, 0), 36, pattern(36, 4),
                                    &C::setAccSensitivity, &C::getAccSensitivity);
    t["GyroSensitivity"] = byPointer(LX2_PROP_GYRO_SENSITIVITY, QByteArray(36, 0), 36, pattern(36, 5),
                                     &C::setGyroSensitivity, &C::getGyroSensitivity);
    t["GmmParams"] =
        byPointer(LX2_PROP_GMM_PARAMS, QByteArray(24, 0), 24, pattern(24, 6), &C::setGmmParams, &C::getGmmParams);
    QByteArray htp = pattern(37, 7);
    htp[0] = 1;
    t["HTP"] = byPointer(LX2_PROP_HTP, QByteArray("\x01\0\0\0", 4), 36, htp, &C::setHTP, &C::getHTP, htp.mid(1));
    QByteArray offset = pattern(100, 8);
    offset[0] = 2;
    offset[1] = 1;
    t["OffSet"] =
        byPointer(LX2_PROP_OFFSET, offset.left(2) + QByteArray(98, 0), 100, offset, &C::setOffSet, &C::getOffSet);
    QByteArray range = pattern(19, 9);
    range[0] = 2;
    t["MaxDepth"] = byPointer(LX2_PROP_MAX_DEPTH, QByteArray("\x02", 1) + QByteArray(18, 0), 19, range, &C::setMaxDepth,
                              &C::getMaxDepth);
    t["LD"] = byPointer(LX2_PROP_LD, QByteArray(), 2, QByteArray("\x03\x60", 2), &C::setLD, &C::getLD);
    t["TAL"] = byPointer(LX2_PROP_TAL, QByteArray(), 2, QByteArray("\x01\x22", 2), &C::setTAL, &C::getTAL);
    return t;
}

} // namespace

class CameraPropertiesTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        config = std::make_unique<SimConfigFile>(cameras);
        QCOMPARE(control->initializeSDK(), 0);
        QCOMPARE(control->initializeORB(QStringLiteral("PROP-ALTA")), 0);
    }

    void cleanup()
    {
        (void)control->shutdownORB();
        (void)control->shutdownSDK();
    }

    void wrapperRoundTrips_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString &name : roundTrips().keys())
            QTest::newRow(qPrintable(name)) << name;
    }

    void wrapperRoundTrips()
    {
        QFETCH(QString, name);
        const RoundTrip t = roundTrips().value(name);
        QVERIFY(t.set(t.written));
        const QByteArray expected = t.expected.isNull() ? t.written : t.expected;
        QCOMPARE(raw(t.id, t.request, t.readSize).left(expected.size()), expected);
        QCOMPARE(t.get().left(expected.size()), expected);
    }

    // Wrappers that take values rather than a record (each value other than the camera's own): the
    // record they send. Their reading side runs in the parameter page's round trips.
    void valueWrappers()
    {
        QCOMPARE(control->setGmmGain(0xAB001234u), 0); // the record is the value's leading bytes
        QCOMPARE(raw(LX2_PROP_GMM_GAIN, QByteArray(2, 0), 2), QByteArray("\x34\x12", 2));
        QCOMPARE(control->setIR_S2_Enable(0xFFFF0501u), 0);
        QCOMPARE(raw(LX2_PROP_IR_S2_ENABLE, QByteArray(4, 0), 4), QByteArray("\x01\x05\0\0", 4));
        QCOMPARE(control->setTALSwitch(1), 0);
        QCOMPARE(raw(LX2_PROP_TAL, QByteArray(), 2).left(1), QByteArray("\x01"));
        QCOMPARE(control->setISA(0), 0);
        QCOMPARE(raw(LX2_PROP_ISA, QByteArray(1, 0), 1), QByteArray(1, 0));
        QCOMPARE(control->setWorkMode(SdkWorkMode{2, {1, 2, 3, 4}}), 0);
        QCOMPARE(raw(LX2_PROP_WORK_MODE, QByteArray(5, 0), 5), QByteArray("\x02\x01\x02\x03\x04", 5));
        QCOMPARE(control->setDataModeProperty(2), 0);
        QCOMPARE(raw(LX2_PROP_DATA_MODE, QByteArray(1, 0), 1), QByteArray("\x02"));
        const QByteArray head = pattern(8, 10);
        QCOMPARE(control->setTALDelay(reinterpret_cast<const uint8_t *>(head.constData()), 0x1122, 1), 0);
        QCOMPARE(raw(LX2_PROP_TAL_DELAY, QByteArray(11, 0), 11), head + QByteArray("\x22\x11\x01", 3));
        QCOMPARE(control->setSN("SN-XY-123", 9), 0);
        QCOMPARE(raw(LX2_PROP_SN, QByteArray(64, 0), 9), QByteArray("SN-XY-123"));
        QCOMPARE(control->setPCBA("PCB-77", 6), 0);
        QCOMPARE(raw(LX2_PROP_PCBA, QByteArray(64, 0), 6), QByteArray("PCB-77"));
    }

    void pulseCountGoesToItsRange()
    {
        const PulseCountSet set{1234, 1, 4, 0};
        QCOMPARE(control->setPulseCount(&set), 0);
        QCOMPARE(control->setDepthRange(4), 0);
        PulseCountTable table{};
        QCOMPARE(control->getPulseCount(&table), 0);
        QCOMPARE(int(table.range[4]), 1234);
        QCOMPARE(int(table.current), 1234);
        uint32_t current = 0;
        QCOMPARE(control->getPulseCount(&current), 0);
        QCOMPARE(current, 1234u);
        const PulseCountSet wrongMode{10, 0, 4, 0};
        QVERIFY(control->setPulseCount(&wrongMode) != 0);
    }

    void rgbResolutionRecord_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("2") << 2 << 640 << 480; // one of the list's sizes reaches the camera
        QTest::newRow("7 sends the full size") << 7 << 1920 << 1080;
        QTest::newRow("-1 sends the full size") << -1 << 1920 << 1080;
    }

    void rgbResolutionRecord()
    {
        QFETCH(int, index);
        QFETCH(int, width);
        QFETCH(int, height);
        QCOMPARE(control->setRGBResolution(index == 2 ? 3 : 2), 0); // start elsewhere
        QCOMPARE(control->setRGBResolution(index), 0);
        SdkFrameMode mode{};
        QCOMPARE(control->getRgbFrameMode(&mode), 0);
        QCOMPARE(int(mode.width), width);
        QCOMPARE(int(mode.height), height);
        FrameReadyFlags flags = 0;
        SdkFrame frame{};
        do
            QCOMPARE(control->ReadNext(&flags), 0);
        while (!(flags & rgbReady));
        QCOMPARE(control->GetFrame(RGBFrame, &frame), 0);
        QCOMPARE(int(frame.width), width);
        QCOMPARE(int(frame.height), height);
    }

    void calibrationSelectorsFollowTheSensor_data()
    {
        QTest::addColumn<int>("sensor");
        QTest::addColumn<int>("intrinsicsSelector");
        QTest::addColumn<int>("distortionSelector");
        QTest::newRow("depth") << 0 << 0 << 1;
        QTest::newRow("colour") << 1 << 2 << 3;
        QTest::newRow("other") << 5 << 0 << 1;
    }

    void calibrationSelectorsFollowTheSensor()
    {
        QFETCH(int, sensor);
        QFETCH(int, intrinsicsSelector);
        QFETCH(int, distortionSelector);
        auto raw = [&](uint32_t selector) {
            CalibrationBlock block{};
            block.selector = selector;
            int32_t length = 76;
            if (control->getProperty(LX2_PROP_CALIBRATION, &block, &length) != 0)
                return QByteArray();
            return QByteArray(reinterpret_cast<char *>(block.data), 72);
        };
        double k[9];
        QCOMPARE(control->getIntrinsics(sensor, k), 0);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(k), 72), raw(intrinsicsSelector));
        double d[8];
        QCOMPARE(control->getDistortion(sensor, d), 0);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(d), 64), raw(distortionSelector).left(64));

        // Writes land in the same blocks; the rest of the payload is zero.
        const double dist[8] = {0.1, -0.2, 0.001, 0.002, 0.03, 0, 0, 0};
        QCOMPARE(control->setDistortion(sensor, dist), 0);
        QCOMPARE(raw(distortionSelector), QByteArray(reinterpret_cast<const char *>(dist), 64) + QByteArray(8, 0));
        const double t[3] = {-30, 1, 2};
        QCOMPARE(control->setTranslation(t), 0);
        double back[3] = {};
        QCOMPARE(control->getTranslation(back), 0);
        QCOMPARE(back[0], -30.0);
        QCOMPARE(raw(LX2_CALIB_TRANSLATION).left(24), QByteArray(reinterpret_cast<const char *>(t), 24));
    }

    void failedCalibrationReadLeavesTheRecord()
    {
        (void)control->shutdownORB();
        QCOMPARE(control->initializeORB(QStringLiteral("PROP-BROKEN")), 0);
        double k[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
        QVERIFY(control->getIntrinsics(0, k) != 0);
        QCOMPARE(k[0], 1.0);
        QCOMPARE(k[8], 9.0);
    }

    void failedDepthRangeReadIsReported()
    {
        QCOMPARE(control->setDepthRange(4), 0);
        DepthRangeIndex range = -1;
        QCOMPARE(control->getDepthRange(&range), 0);
        QCOMPARE(range, 4);

        cleanup();
        config = std::make_unique<SimConfigFile>(cameras + "[faults]\nLx2_GetDepthRange = -3\n");
        QCOMPARE(control->initializeSDK(), 0);
        QCOMPARE(control->initializeORB(QStringLiteral("PROP-ALTA")), 0);
        range = 7;
        QCOMPARE(control->getDepthRange(&range), -3);
        QCOMPARE(range, 7);
        QCOMPARE(control->getDepthRange(), 0); // the value form gives Range0, never an undefined value
    }

private:
    std::unique_ptr<SimConfigFile> config;
    Control_Single *control = Control_Single::getInstance();
};

QTEST_GUILESS_MAIN(CameraPropertiesTest)
#include "tst_camera_properties.moc"
