// A virtual network camera fetching its firmware over TFTP from the program's own server (run
// in this process on a loopback port): the hand-over text, the retries while no server answers,
// the faults, and the firmware it runs afterwards.

#include "sim/camera/FirmwareImage.h"
#include "sim/camera/TftpSource.h"
#include "support/SimConfigFile.h"
#include "support/StderrCapture.h"
#include "support/TestFiles.h"
#include "upgrade/tftp/TftpDaemon.h"

#include "camera/sdk/quillon_api.h"
#include "sim/camera/quillon_sim_api.h"

#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

namespace {

const uint32_t localhost = 0x7f000001;
const char *eskeUri = "net:192.168.1.84:5005";
const QByteArray eske = fastSim() + "tftpWaitSeconds = 30\n"
                                    "[device.eske]\nmodel = Eske\nserial = TFTP-ESKE\nuri = net:192.168.1.84:5005\n"
                                    "firmware = 2.1.8\n";

// What the server told about its one transfer at a time.
struct Observer : tftp::TransferObserver
{
    void started(int, const std::string &) override {}
    void progress(int, int percent) override { best = std::max(best.load(), percent); }
    void ended(int, bool complete) override { outcome = complete ? 1 : 0; }

    std::atomic<int> best{-1};
    std::atomic<int> outcome{-1}; // 0 failed, 1 complete
};

// The program's TFTP server on 127.0.0.1, retransmitting quickly.
struct Server
{
    Server(const QString &root, uint16_t port, int maxRetransmissions)
    {
        tftp::DaemonConfig config;
        config.root = QFile::encodeName(root).toStdString();
        config.listen = tftp::Endpoint{localhost, port};
        config.listenWaitMs = 100;
        config.timing.retransmitAfter = std::chrono::milliseconds(100);
        config.timing.maxRetransmissions = maxRetransmissions;
        daemon = std::make_unique<tftp::TftpDaemon>(config, &observer);
        if (daemon->open() == tftp::TftpDaemon::Listen::Listening)
            thread = std::thread([this] { daemon->run(); });
    }
    ~Server()
    {
        daemon->stop();
        if (thread.joinable())
            thread.join();
    }
    bool listening() const { return thread.joinable(); }
    uint16_t port() const { return daemon->port(); }

    Observer observer;
    std::unique_ptr<tftp::TftpDaemon> daemon;
    std::thread thread;
};

uint16_t freePort()
{
    tftp::UdpSocket socket = tftp::UdpSocket::create();
    return socket.bind(tftp::Endpoint{localhost, 0}) ? socket.localEndpoint().port : 0;
}

uint32_t deviceCount()
{
    uint32_t n = 0;
    return Lx2_GetDeviceCount(&n) == 0 ? n : ~0u;
}

QByteArray firmwareOf(SdkHandle h)
{
    char text[64] = {};
    int32_t len = 63;
    return Lx2_GetProperty(h, 0, LX2_PROP_FW_VER, text, &len) == 0 ? QByteArray(text) : QByteArray("<failed>");
}

LxSimFetch fetchOf(SdkHandle h)
{
    LxSimFetch f{-1, 0, 0, 0};
    LxSim_GetFirmwareFetch(h, 0, &f);
    return f;
}

int handOver(SdkHandle h, const QByteArray &text)
{
    return Lx2_SetProperty(h, 0, LX2_PROP_UPGRADE_HANDOVER, text.constData(), int32_t(text.size()));
}

int threadCount()
{
    return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

} // namespace

class SimTftpTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Lx2_Shutdown(); }

    void handoverTexts_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("result"); // the source taken, or a part of the reason
        QTest::newRow("address, port, file")
            << QByteArray("127.0.0.1:6969 dune-2.1.0.img") << "127.0.0.1:6969 dune-2.1.0.img";
        QTest::newRow("blanks around, default port") << QByteArray(" \t127.0.0.2  fw.img\r\n") << "127.0.0.2:69 fw.img";
        QTest::newRow("empty: the defaults") << QByteArray() << "127.0.0.1:69 firmware.img";
        QTest::newRow("another network") << QByteArray("192.168.1.83:69 fw.img") << "not on the loopback";
        QTest::newRow("a name") << QByteArray("localhost:69 fw.img") << "no dotted IPv4 address";
        QTest::newRow("port 0") << QByteArray("127.0.0.1:0 fw.img") << "no port";
        QTest::newRow("no file") << QByteArray("127.0.0.1:69") << "expected '<address>[:<port>] <file>'";
        QTest::newRow("parameters left in the box")
            << QByteArray("fx=524.1 fy=524.3 cx=319.5") << "expected '<address>[:<port>] <file>'";
        QTest::newRow("file name too long") << "127.0.0.1 " + QByteArray(128, 'f') << "expected 1 to 127 printable";
    }

    void handoverTexts()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, result);
        sim::TftpSource source;
        std::string why;
        if (sim::TftpSource::parseHandover(text.toStdString(), "127.0.0.1:69", "firmware.img", source, why))
            QCOMPARE(QString::fromStdString(source.server() + " " + source.file), result);
        else
            QVERIFY2(QString::fromStdString(why).contains(result), why.c_str());
    }

    // 5 MiB exactly: the last DATA is empty. Every 1000th DATA is ignored, so the server sends
    // blocks again; the camera reboots into the image and keeps it across an SDK restart.
    void fetchesAnImageAndRebootsIntoIt()
    {
        QByteArray ini = eske + "tftpDropEvery = 1000\n";
        ini.replace("rebootMs = 300", "rebootMs = 1000");
        const SdkHandle h = start(ini);
        QVERIFY(h);
        writeImage("eske-2.2.0.img", LX2_MODEL_ESKE, "2.2.0", 5 * 1024 * 1024);
        Server server(config->filePath("root"), 0, 100);
        QVERIFY(server.listening());
        QCOMPARE(handOver(h, "127.0.0.1:" + QByteArray::number(server.port()) + " eske-2.2.0.img"), 0);
        FrameReadyFlags flags = 0;
        QCOMPARE(Lx2_ReadNextFrame(h, 0, &flags), 0); // still streaming

        QTRY_COMPARE_WITH_TIMEOUT(fetchOf(h).state, int(LXSIM_FETCH_INSTALLED), 120000);
        QCOMPARE(deviceCount(), 0u); // rebooting
        QCOMPARE(Lx2_ReadNextFrame(h, 0, &flags), int(LX2_E_DEVICE_GONE));
        const LxSimFetch fetch = fetchOf(h);
        QCOMPARE(fetch.blocks, 10241u);
        QVERIFY(fetch.dropped >= 10);
        QTRY_COMPARE(server.observer.outcome.load(), 1);
        QCOMPARE(server.observer.best.load(), 100);

        QTRY_COMPARE_WITH_TIMEOUT(deviceCount(), 1u, 5000);
        SdkDeviceInfo info{};
        QCOMPARE(Lx2_GetDeviceInfo(&info, 0), 0);
        QCOMPARE(QByteArray(info.firmwareVersion), QByteArray("2.2.0"));
        QCOMPARE(Lx2_CloseDevice(h), 0);
        QCOMPARE(Lx2_Shutdown(), 0);
        SdkHandle again = 0;
        QCOMPARE(Lx2_Initialize(), 0);
        QCOMPARE(Lx2_OpenDevice(eskeUri, &again), 0);
        QCOMPARE(firmwareOf(again), QByteArray("2.2.0"));
    }

    void badImagesKeepTheRunningFirmware_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("why");
        QTest::newRow("built for a Dune") << "dune.img"
                                          << "built for another camera model";
        QTest::newRow("damaged on the server") << "corrupt.img"
                                               << "checksum mismatch";
        QTest::newRow("not on the server") << "absent.img"
                                           << "the server answered error 1";
    }

    void badImagesKeepTheRunningFirmware()
    {
        QFETCH(QString, file);
        QFETCH(QString, why);
        const SdkHandle h = start(eske);
        QVERIFY(h);
        writeImage("dune.img", LX2_MODEL_DUNE, "2.2.0", 3000);
        writeImage("corrupt.img", LX2_MODEL_ESKE, "2.2.0", 3000, true);
        Server server(config->filePath("root"), 0, 5);
        QVERIFY(server.listening());
        const QByteArray source = "127.0.0.1:" + QByteArray::number(server.port());
        const QByteArray printed = stderrOf([&] {
            QCOMPARE(handOver(h, source + " " + file.toLatin1()), 0);
            for (int i = 0; i < 1000 && fetchOf(h).state != LXSIM_FETCH_FAILED; ++i)
                QTest::qWait(20);
        });
        QCOMPARE(fetchOf(h).state, int(LXSIM_FETCH_FAILED));
        QVERIFY2(printed.startsWith("quillon_api: TFTP-ESKE: firmware " + file.toLatin1() + " from " + source + ": " +
                                    why.toLatin1()) &&
                     printed.endsWith("; it keeps firmware 2.1.8\n"),
                 printed);
        // No reboot: the connection lives on with the old version.
        QCOMPARE(deviceCount(), 1u);
        QCOMPARE(firmwareOf(h), QByteArray("2.1.8"));
    }

    // Refused before anything goes out: the write fails and no fetch starts.
    void aServerBeyondTheLoopbackIsRefused()
    {
        const SdkHandle h = start(eske);
        QVERIFY(h);
        int status = 0;
        const QByteArray printed = stderrOf([&] { status = handOver(h, "192.168.1.83:69 eske.img"); });
        QCOMPARE(status, int(LX2_E_INVALID_PARAM));
        QVERIFY2(printed.startsWith("quillon_api: TFTP-ESKE: firmware fetch refused: 192.168.1.83 is not on the "
                                    "loopback") &&
                     printed.endsWith("; nothing sent\n"),
                 printed);
        const LxSimFetch fetch = fetchOf(h);
        QCOMPARE(fetch.state, int(LXSIM_FETCH_NONE));
        QCOMPARE(fetch.requests, 0u);
    }

    // The empty text takes the server and file from the configuration; the user starts the
    // server only after the camera has asked twice.
    void requestsRepeatUntilTheServerStarts()
    {
        const uint16_t port = freePort();
        QVERIFY(port);
        const SdkHandle h = start(eske + "tftpServer = 127.0.0.1:" + QByteArray::number(port) + "\ntftpFile = e.img\n");
        QVERIFY(h);
        writeImage("e.img", LX2_MODEL_ESKE, "2.3.0", 2000);
        QCOMPARE(handOver(h, ""), 0);
        QTRY_VERIFY_WITH_TIMEOUT(fetchOf(h).requests >= 2, 10000);
        QCOMPARE(fetchOf(h).state, int(LXSIM_FETCH_ASKING));
        Server server(config->filePath("root"), port, 5);
        QVERIFY(server.listening());
        QTRY_COMPARE_WITH_TIMEOUT(fetchOf(h).state, int(LXSIM_FETCH_INSTALLED), 10000);
        QTRY_COMPARE(deviceCount(), 1u);
        SdkHandle again = 0;
        QCOMPARE(Lx2_OpenDevice(eskeUri, &again), 0);
        QCOMPARE(firmwareOf(again), QByteArray("2.3.0"));
    }

    void aStalledCameraFailsTheServersTransfer()
    {
        const SdkHandle h = start(eske + "tftpStallAfterBlocks = 20\n");
        QVERIFY(h);
        writeImage("e.img", LX2_MODEL_ESKE, "2.3.0", 64 * 1024);
        Server server(config->filePath("root"), 0, 3);
        QVERIFY(server.listening());
        const QByteArray printed = stderrOf([&] {
            QCOMPARE(handOver(h, "127.0.0.1:" + QByteArray::number(server.port()) + " e.img"), 0);
            for (int i = 0; i < 1000 && fetchOf(h).state != LXSIM_FETCH_FAILED; ++i)
                QTest::qWait(20);
        });
        QVERIFY2(printed.contains(": stopped answering after 20 blocks (tftpStallAfterBlocks)"), printed);
        QTRY_COMPARE_WITH_TIMEOUT(server.observer.outcome.load(), 0, 10000);
        QVERIFY(server.observer.best.load() < 100);
        QCOMPARE(fetchOf(h).blocks, 20u);
        QCOMPARE(firmwareOf(h), QByteArray("2.1.8"));
    }

    // A fetch is one at a time, and the SDK's shutdown ends it: no thread outlives it.
    void shutdownEndsAFetch()
    {
        const int threads = threadCount();
        const SdkHandle h = start(eske);
        QVERIFY(h);
        const QByteArray text = "127.0.0.1:" + QByteArray::number(freePort()) + " e.img";
        QCOMPARE(handOver(h, text), 0);
        QCOMPARE(handOver(h, text), int(LX2_E_BUSY));
        QTRY_VERIFY(fetchOf(h).requests >= 1);
        QCOMPARE(Lx2_Shutdown(), 0);
        QCOMPARE(threadCount(), threads);
    }

private:
    SdkHandle start(const QByteArray &ini)
    {
        config = std::make_unique<SimConfigFile>(ini);
        QDir().mkpath(config->filePath("root"));
        SdkHandle h = 0;
        if (Lx2_Initialize() != 0 || Lx2_OpenDevice(eskeUri, &h) != 0 || Lx2_StartStream(h, 0) != 0)
            return 0;
        return h;
    }

    // An image of `size` bytes in the server's folder.
    void writeImage(const QString &name, int32_t model, const char *version, size_t size, bool corrupt = false)
    {
        std::vector<uint8_t> payload(size - sim::firmwareHeaderSize);
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = uint8_t(i * 7 + (i >> 9));
        std::vector<uint8_t> image = sim::buildFirmwareImage(model, version, payload);
        image[size / 2] ^= corrupt;
        QVERIFY(writeFile(config->filePath("root/" + name),
                          QByteArray(reinterpret_cast<const char *>(image.data()), int(image.size()))));
    }

    std::unique_ptr<SimConfigFile> config;
};

QTEST_GUILESS_MAIN(SimTftpTest)
#include "tst_sim_tftp.moc"
