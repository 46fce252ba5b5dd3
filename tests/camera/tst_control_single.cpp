#include "camera/Control_Single.h"
#include "camera/sdk/quillon_api.h"
#include "support/LogCapture.h"
#include "support/SimConfigFile.h"

#include <QtTest>

#include <memory>

namespace {

QStringList &logged = LogCapture::lines();

const QByteArray cameras = fastSim() + R"(
[device.alta]
model = Alta
uri = usb&2bc5&0401&CAM-A1&1-1
[device.empty]
model = Cima
type = 0
uri = usb&2bc5&0403&NOBODY&1-9
[device.cima]
model = Cima
uri = usb&2bc5&0403&CAM-A12&1-2
[device.dune]
model = Dune
uri = net:10.0.0.5:5005
)";

} // namespace

class ControlSingleTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        useConfig(cameras);
        m_log = std::make_unique<LogCapture>();
    }

    void cleanup()
    {
        (void)control->shutdownORB(); // quietly: the capture is still installed
        (void)control->shutdownSDK();
        m_log.reset();
    }

    void uriSelectsTheFirstCameraContainingIt_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<int>("type");
        QTest::newRow("empty text: the first camera") << "" << int(Alta);
        QTest::newRow("two cameras contain it: the first") << "CAM-A1" << int(Alta);
        QTest::newRow("only the second contains it") << "CAM-A12" << int(Cima);
    }

    void uriSelectsTheFirstCameraContainingIt()
    {
        QFETCH(QString, uri);
        QFETCH(int, type);
        QCOMPARE(control->initializeORB(uri), 0);
        QCOMPARE(control->getDeviceType(), type);
        FrameReadyFlags flags = 0;
        QCOMPARE(control->ReadNext(&flags), 0); // streaming
        QVERIFY(flags & depthReady);
    }

    void unmatchedUriOpensNothing()
    {
        QCOMPARE(control->initializeORB(QStringLiteral("CAM-A12")), 0);
        QCOMPARE(control->shutdownORB(), 0);
        QCOMPARE(control->initializeORB(QStringLiteral("not-attached")), LX2_E_NOT_FOUND);
        QCOMPARE(control->getDeviceType(), int(Cima));
        // Nothing was opened: every camera can still be opened.
        for (const char *uri : {"usb&2bc5&0401&CAM-A1&1-1", "usb&2bc5&0403&CAM-A12&1-2", "net:10.0.0.5:5005"}) {
            SdkHandle handle = 0;
            QCOMPARE(Lx2_OpenDevice(uri, &handle), 0);
            QCOMPARE(Lx2_CloseDevice(handle), 0);
        }
    }

    void deviceListAndUris()
    {
        uint32_t count = 0;
        QCOMPARE(Lx2_GetDeviceCount(&count), 0);
        QCOMPARE(count, 4u);
        const std::vector<SdkDeviceInfo> list = control->getDeviceList(); // without the record of type 0
        QCOMPARE(int(list.size()), 3);
        QCOMPARE(QByteArray(list[1].uri), QByteArray("usb&2bc5&0403&CAM-A12&1-2"));
        QCOMPARE(list[2].deviceType, int32_t(Dune));

        QCOMPARE(control->getOrbList().size(), 4);
        QCOMPARE(control->getOrbList().at(2), QStringLiteral("%1-2").arg(int(Cima)));
        QCOMPARE(control->getDeviceUri(-1), QStringLiteral("select device error"));
        // The uri list grows with every listing; its size is the first index past it.
        QCOMPARE(control->getDeviceUri(8), QStringLiteral("select device error"));
        QVERIFY(control->getDeviceUri(7) != QStringLiteral("select device error"));

        // A failing count gives an empty list, quietly.
        useConfig(cameras + "[faults]\nLx2_GetDeviceCount = -2\n");
        logged.clear();
        QVERIFY(control->getDeviceList().empty());
        QVERIFY(logged.isEmpty());
    }

    void readFailuresLogOncePerRun()
    {
        useConfig(cameras + "[faults]\nLx2_ReadNextFrame = -7 times 3\n");
        QCOMPARE(control->initializeORB(QStringLiteral("CAM-A1")), 0);
        logged.clear();
        FrameReadyFlags flags = 0;
        for (int i = 0; i < 3; ++i)
            QCOMPARE(control->ReadNext(&flags), -7);
        QCOMPARE(logged, QStringList{QStringLiteral("Control_Single::ReadNext Lx2_ReadNextFrame -7")});
        QCOMPARE(control->ReadNext(&flags), 0);
        QCOMPARE(control->stopstream(), 0);
        logged.clear();
        QCOMPARE(control->ReadNext(&flags), LX2_E_NOT_STREAMING);
        QCOMPARE(control->ReadNext(&flags), LX2_E_NOT_STREAMING);
        QCOMPARE(logged.size(), 1);
    }

    void closedCameraHasZeroIntrinsics()
    {
        QCOMPARE(control->initializeORB(QStringLiteral("CAM-A1")), 0);
        QVERIFY(control->getCameraParameters().fx > 100);
        QCOMPARE(control->shutdownORB(), 0);
        logged.clear();
        const CameraIntrinsics k = control->getCameraParameters();
        const CameraIntrinsics zero{};
        QCOMPARE(memcmp(&k, &zero, sizeof k), 0);
        QCOMPARE(logged.size(), 1);
        QVERIFY(logged[0].startsWith("Control_Single::getCameraParameters Lx2_GetCameraParameters "));
    }

    void failingStopIsLoggedAndTheCameraStillCloses()
    {
        useConfig(cameras + "[faults]\nLx2_StopStream = -6\n");
        QCOMPARE(control->initializeORB(QStringLiteral("CAM-A1")), 0);
        logged.clear();
        QCOMPARE(control->shutdownORB(), 0);
        QCOMPARE(logged, QStringList{QStringLiteral("Control_Single::shutdownORB Lx2_StopStream -6")});
        SdkHandle handle = 0;
        QCOMPARE(Lx2_OpenDevice("usb&2bc5&0401&CAM-A1&1-1", &handle), 0); // closed after all
        Lx2_CloseDevice(handle);
    }

    void cameraThatWillNotStreamIsClosedAgain_data()
    {
        QTest::addColumn<QByteArray>("fault");
        QTest::newRow("stream") << QByteArray("Lx2_StartStream = -6 times 1\n");
        QTest::newRow("pixel format") << QByteArray("Lx2_SetColorPixelFormat = -5 times 1\n");
    }

    // A failed open leaves nothing open: the next attempt, once the fault has passed, succeeds.
    void cameraThatWillNotStreamIsClosedAgain()
    {
        QFETCH(QByteArray, fault);
        useConfig(cameras + "[faults]\n" + fault);
        QVERIFY(control->initializeORB(QStringLiteral("CAM-A1")) != 0);
        QCOMPARE(control->initializeORB(QStringLiteral("CAM-A1")), 0);
    }

private:
    void useConfig(const QByteArray &ini)
    {
        Lx2_Shutdown();
        config = std::make_unique<SimConfigFile>(ini);
        QCOMPARE(control->initializeSDK(), 0);
    }

    std::unique_ptr<SimConfigFile> config;
    std::unique_ptr<LogCapture> m_log;
    Control_Single *control = Control_Single::getInstance();
};

QTEST_GUILESS_MAIN(ControlSingleTest)
#include "tst_control_single.moc"
