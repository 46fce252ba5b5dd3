// The virtual loader device through the real dlopen, against virtual cameras handed to their
// USB loader by work mode 16: the scan, the boot loader check, the flash store with its bounds,
// the reset that brings a camera back with the flashed version or leaves it in its loader, and
// the faults of the simulator's configuration.

#include "sim/camera/BootImage.h"
#include "sim/camera/FirmwareImage.h"
#include "sim/flasher/FlasherCodes.h"
#include "sim/flasher/LoaderDevice.h"
#include "support/SimConfigFile.h"
#include "support/StderrCapture.h"
#include "support/TestFiles.h"

#include "camera/sdk/quillon_api.h"
#include "upgrade/rkusb/RKUpgradeApi.h"

#include <QtTest>

#include <dlfcn.h>
#include <memory>

using namespace sim::flasher;

namespace {

const char *uri = "usb&2bc5&0401&FL-ALTA&1-1";
const QByteArray camera = fastSim() + "[device.alta]\nmodel = Alta\nserial = FL-ALTA\n";
const QString devicePath = QStringLiteral("usb-loader:FL-ALTA");
constexpr uint32_t chunkSectors = 32; // as the program writes: 16 KiB at a time

const char16_t *wide(const QString &text)
{
    return reinterpret_cast<const char16_t *>(text.utf16());
}

// The library as the program sees it: loaded by path, every entry point looked up by name.
struct Library
{
    explicit Library(const char *path)
        : handle(dlopen(path, RTLD_NOW | RTLD_LOCAL))
    {
#define RK_LOOK_UP(name) name = reinterpret_cast<name##_t>(handle ? dlsym(handle, #name) : nullptr)
        RK_LOOK_UP(RK_InitializeW);
        RK_LOOK_UP(RK_ScanDeviceW);
        RK_LOOK_UP(RKD_DownloadBoot_W);
        RK_LOOK_UP(RKD_ReadLBA_W);
        RK_LOOK_UP(RKD_WriteLBA_W);
        RK_LOOK_UP(RK_SetFirmwareW);
        RK_LOOK_UP(RK_UpgradeW);
        RK_LOOK_UP(RK_Uninitialize);
        RK_LOOK_UP(RK_WaitDevice);
        RK_LOOK_UP(RK_EraseFlash);
        RK_LOOK_UP(RK_ReadCustomData);
        RK_LOOK_UP(RK_ReadSN);
        RK_LOOK_UP(RK_WriteMAC);
        RK_LOOK_UP(RK_ReadMAC);
        RK_LOOK_UP(RK_WriteBT);
        RK_LOOK_UP(RK_ResetRockusb);
#undef RK_LOOK_UP
    }
    ~Library()
    {
        if (handle)
            dlclose(handle);
    }

    void *handle;
    RK_InitializeW_t RK_InitializeW;
    RK_ScanDeviceW_t RK_ScanDeviceW;
    RKD_DownloadBoot_W_t RKD_DownloadBoot_W;
    RKD_ReadLBA_W_t RKD_ReadLBA_W;
    RKD_WriteLBA_W_t RKD_WriteLBA_W;
    RK_SetFirmwareW_t RK_SetFirmwareW;
    RK_UpgradeW_t RK_UpgradeW;
    RK_Uninitialize_t RK_Uninitialize;
    RK_WaitDevice_t RK_WaitDevice;
    RK_EraseFlash_t RK_EraseFlash;
    RK_ReadCustomData_t RK_ReadCustomData;
    RK_ReadSN_t RK_ReadSN;
    RK_WriteMAC_t RK_WriteMAC;
    RK_ReadMAC_t RK_ReadMAC;
    RK_WriteBT_t RK_WriteBT;
    RK_ResetRockusb_t RK_ResetRockusb;
};

uint32_t deviceCount()
{
    uint32_t n = 0;
    return Lx2_GetDeviceCount(&n) == 0 ? n : ~0u;
}

QByteArray listedFirmware()
{
    SdkDeviceInfo info{};
    return Lx2_GetDeviceInfo(&info, 0) == 0 ? QByteArray(info.firmwareVersion) : QByteArray();
}

QByteArray bytes(const std::vector<uint8_t> &v)
{
    return QByteArray(reinterpret_cast<const char *>(v.data()), int(v.size()));
}

QByteArray firmware(const char *version, int payloadSize = 40000 - 32)
{
    std::vector<uint8_t> payload(static_cast<size_t>(payloadSize));
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = uint8_t(i * 7 + 3);
    return bytes(sim::buildFirmwareImage(LX2_MODEL_ALTA, version, payload));
}

} // namespace

class SimFlasherTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Library> rk;
    std::unique_ptr<SimConfigFile> config;
    QTemporaryDir files;

    // A camera of the configuration handed to its loader by work mode 16; the library initialised.
    bool handOver(const QByteArray &ini = camera)
    {
        config = std::make_unique<SimConfigFile>(ini);
        SdkHandle h = 0;
        SdkWorkMode mode{};
        int32_t len = 5;
        if (Lx2_Initialize() != 0 || Lx2_OpenDevice(uri, &h) != 0 ||
            Lx2_GetProperty(h, 0, LX2_PROP_WORK_MODE, &mode, &len) != 0)
            return false;
        mode.mode = LX2_WORK_MODE_LOADER;
        const bool handed = Lx2_SetProperty(h, 0, LX2_PROP_WORK_MODE, &mode, 5) == 0;
        Lx2_CloseDevice(h);
        return handed && initialise() == 1;
    }

    int initialise()
    {
        return rk->RK_InitializeW(RKInitParams{{0, 0, 0, 0, 0, 0, 30, 30, 0}}, 1, wide(files.path()), nullptr, nullptr);
    }

    int scan(QStringList *paths = nullptr)
    {
        RKDeviceRecord *list = nullptr;
        const int n = rk->RK_ScanDeviceW(&list);
        for (int i = 0; paths && i < n; ++i)
            *paths << QString::fromUtf16(list[i].path) + ':' + QString::number(list[i].mode);
        return n;
    }

    QString saveFile(const QString &name, const QByteArray &content)
    {
        const QString path = files.filePath(name);
        return writeFile(path, content) ? path : QString();
    }

    int boot(const QByteArray &loader)
    {
        return rk->RKD_DownloadBoot_W(wide(devicePath), wide(saveFile("loader.bin", loader)));
    }

    // The first failing status, or 0.
    int write(const QByteArray &image)
    {
        QByteArray padded = image;
        padded.append((512 - image.size() % 512) % 512, '\0');
        for (int at = 0; at < padded.size(); at += chunkSectors * 512) {
            const uint32_t sectors = std::min<uint32_t>(chunkSectors, uint32_t(padded.size() - at) / 512);
            if (const int st = rk->RKD_WriteLBA_W(wide(devicePath), uint32_t(at / 512), sectors,
                                                  reinterpret_cast<const uint8_t *>(padded.constData() + at)))
                return st;
        }
        return 0;
    }

    QByteArray readBack(int size)
    {
        QByteArray back((size + 511) / 512 * 512, '\0');
        const int st = rk->RKD_ReadLBA_W(wide(devicePath), 0, uint32_t(back.size() / 512),
                                         reinterpret_cast<uint8_t *>(back.data()));
        return st == 0 ? back.left(size) : QByteArray::number(st);
    }

    QByteArray announcement() { return readFile(config->statePath() + "/loader/FL-ALTA.ini"); }

private slots:
    void initTestCase()
    {
        QVERIFY(files.isValid());
        rk = std::make_unique<Library>(RKUPGRADE_LIBRARY);
        QVERIFY2(rk->handle, dlerror());
    }

    void cleanup()
    {
        rk->RK_Uninitialize();
        Lx2_Shutdown();
    }

    void flashedCameraComesBackWithTheNewVersion()
    {
        QVERIFY(handOver());
        QCOMPARE(deviceCount(), 0u);
        QStringList found;
        QCOMPARE(scan(&found), 1);
        QCOMPARE(found, QStringList{devicePath + ":1"});

        const QString loader = files.filePath("alta-nand-loader.bin");
        QProcess tool;
        tool.start(QUILLON_FWIMAGE, {"--boot", "--model", "Alta", "--flash", "nand", "-o", loader});
        QVERIFY(tool.waitForFinished(30000) && tool.exitCode() == 0);
        QCOMPARE(rk->RKD_DownloadBoot_W(wide(devicePath), wide(loader)), int(Ok));
        const QByteArray image = firmware("3.1.0");
        QCOMPARE(write(image), int(Ok));
        QCOMPARE(readBack(image.size()), image);
        uint8_t erased[512] = {};
        QCOMPARE(rk->RKD_ReadLBA_W(wide(devicePath), 4000, 1, erased), int(Ok));
        QCOMPARE(QByteArray(reinterpret_cast<char *>(erased), 512), QByteArray(512, '\xff'));

        QCOMPARE(rk->RK_ResetRockusb(0, 0), int(Ok));
        QCOMPARE(scan(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(deviceCount(), 1u, 3000);
        QCOMPARE(listedFirmware(), QByteArray("3.1.0"));
        QVERIFY(readFile(files.filePath("quillon_flasher.log")).contains("FL-ALTA: reset: firmware 3.1.0 checked"));
    }

    void wrongBootLoaderIsRefused_data()
    {
        QTest::addColumn<QByteArray>("loader");
        const std::vector<uint8_t> payload(3000, 0x5a);
        const QByteArray good = bytes(sim::buildBootImage(LX2_MODEL_ALTA, "nand", payload));
        QByteArray corrupt = good;
        corrupt[100] = char(corrupt[100] ^ 0x10);
        QTest::newRow("other model") << bytes(sim::buildBootImage(LX2_MODEL_BRIO, "nand", payload));
        QTest::newRow("other flash type") << bytes(sim::buildBootImage(LX2_MODEL_ALTA, "nor", payload));
        QTest::newRow("corrupt") << corrupt;
        QTest::newRow("cut short") << good.left(good.size() - 1);
        QTest::newRow("a firmware image") << firmware("3.1.0");
        QTest::newRow("empty file") << QByteArray();
    }

    void wrongBootLoaderIsRefused()
    {
        QFETCH(QByteArray, loader);
        QVERIFY(handOver());
        QCOMPARE(scan(), 1);
        int status = 0;
        const QString printed = QString::fromUtf8(stderrOf([&] { status = boot(loader); }));
        QCOMPARE(status, int(BadBootLoader));
        QVERIFY2(printed.startsWith("quillon_flasher: FL-ALTA: boot loader "), qPrintable(printed));
        QCOMPARE(write(firmware("3.1.0")), int(NoBootLoader));
    }

    void badImageStaysInItsLoaderUntilAGoodOneIsFlashed()
    {
        QVERIFY(handOver());
        QCOMPARE(scan(), 1);
        const QByteArray loader = bytes(sim::buildBootImage(LX2_MODEL_ALTA, "nand", {1, 2, 3}));
        QByteArray bad = firmware("3.2.0");
        bad[5000] = char(bad[5000] ^ 1);
        QCOMPARE(boot(loader), int(Ok));
        QCOMPARE(write(bad), int(Ok));
        int status = 0;
        const QString printed = QString::fromUtf8(stderrOf([&] { status = rk->RK_ResetRockusb(0, 0); }));
        QCOMPARE(status, int(BadImage));
        QVERIFY2(printed.contains("FL-ALTA: reset: the image in flash was refused (checksum mismatch)"),
                 qPrintable(printed));
        QVERIFY(announcement().contains("state = loader"));
        QCOMPARE(scan(), 1);
        QCOMPARE(write(bad), int(NoBootLoader)); // the reset ended the boot loader

        QCOMPARE(boot(loader), int(Ok));
        QCOMPARE(write(firmware("3.2.0")), int(Ok));
        QCOMPARE(rk->RK_ResetRockusb(0, 0), int(Ok));
        QTRY_COMPARE_WITH_TIMEOUT(deviceCount(), 1u, 3000);
        QCOMPARE(listedFirmware(), QByteArray("3.2.0"));
    }

    // A 40000-byte image is written as sectors 0-31, 32-63 and 64-78.
    void faults_data()
    {
        QTest::addColumn<QByteArray>("fault");
        QTest::addColumn<int>("written");
        QTest::addColumn<bool>("readsBack");
        QTest::addColumn<int>("reset");
        QTest::addColumn<int>("listed");
        QTest::newRow("write fails") << QByteArray("loaderFailWriteAtSector = 40") << int(IoError) << false
                                     << int(BadImage) << 1;
        QTest::newRow("bit flips") << QByteArray("loaderFlipBitAtSector = 70") << int(Ok) << false << int(BadImage)
                                   << 1;
        QTest::newRow("device lost") << QByteArray("loaderLoseAtSector = 40") << int(DeviceGone) << false
                                     << int(NoDevice) << 0;
        QTest::newRow("another camera's fault") << QByteArray() << int(Ok) << true << int(Ok) << 0;
    }

    void faults()
    {
        QFETCH(QByteArray, fault);
        QFETCH(int, written);
        QFETCH(bool, readsBack);
        QFETCH(int, reset);
        QFETCH(int, listed);
        QVERIFY(handOver(camera + fault + "\n[device.other]\nmodel = Alta\nloaderLoseAtSector = 0\n"));
        QCOMPARE(scan(), 1);
        QCOMPARE(boot(bytes(sim::buildBootImage(LX2_MODEL_ALTA, "nand", {1}))), int(Ok));
        const QByteArray image = firmware("3.3.0");
        QCOMPARE(write(image), written);
        if (written != int(DeviceGone))
            QCOMPARE(readBack(image.size()) == image, readsBack);
        else
            QCOMPARE(readBack(image.size()), QByteArray::number(DeviceGone));
        QCOMPARE(rk->RK_ResetRockusb(0, 0), reset);
        QCOMPARE(scan(), listed);
        QCOMPARE(announcement().contains("state = loader"), reset != int(Ok));
        if (written == int(DeviceGone)) { // until the program starts the library afresh
            QCOMPARE(rk->RK_Uninitialize(), int(Ok));
            QCOMPARE(initialise(), 1);
            QCOMPARE(scan(), 1);
        }
    }

    void refusedInitialisation()
    {
        config = std::make_unique<SimConfigFile>("[sim]\nloaderRefuseInit = yes\n[device.alta]\nmodel = Alta\n");
        int status = 1;
        const QString printed = QString::fromUtf8(stderrOf([&] { status = initialise(); }));
        QCOMPARE(status, 0);
        QCOMPARE(printed, QString("quillon_flasher: initialisation refused (loaderRefuseInit)\n"));
        RKDeviceRecord *list = nullptr;
        QCOMPARE(rk->RK_ScanDeviceW(&list), int(NotInitialised));
        QCOMPARE(rk->RKD_WriteLBA_W(wide(devicePath), 0, 1, reinterpret_cast<const uint8_t *>("x")),
                 int(NotInitialised));
    }

    void bounds_data()
    {
        constexpr uint32_t last = uint32_t(sim::LoaderDevice::nandCapacity / 512) - 1;
        QTest::addColumn<QString>("device");
        QTest::addColumn<uint>("first");
        QTest::addColumn<uint>("count");
        QTest::addColumn<bool>("buffer");
        QTest::addColumn<int>("status");
        QTest::newRow("last sector") << devicePath << last << 1u << true << int(Ok);
        QTest::newRow("no sectors") << devicePath << 0u << 0u << true << int(InvalidParam);
        QTest::newRow("no buffer") << devicePath << 0u << 1u << false << int(InvalidParam);
        QTest::newRow("beyond the flash") << devicePath << last << 2u << true << int(OutOfRange);
        QTest::newRow("first + count wraps") << devicePath << 0xFFFFFFFFu << 2u << true << int(OutOfRange);
        QTest::newRow("unknown device") << "usb-loader:NOBODY" << 0u << 1u << true << int(NoDevice);
        QTest::newRow("path with more after it") << devicePath + "x" << 0u << 1u << true << int(NoDevice);
        QTest::newRow("no device path") << QString() << 0u << 1u << true << int(InvalidParam);
    }

    void bounds()
    {
        QFETCH(QString, device);
        QFETCH(uint, first);
        QFETCH(uint, count);
        QFETCH(bool, buffer);
        QFETCH(int, status);
        QVERIFY(handOver());
        QCOMPARE(scan(), 1);
        QCOMPARE(boot(bytes(sim::buildBootImage(LX2_MODEL_ALTA, "nand", {1}))), int(Ok));
        QByteArray data(1024, 'q');
        const char16_t *path = device.isNull() ? nullptr : wide(device);
        uint8_t *bytes = buffer ? reinterpret_cast<uint8_t *>(data.data()) : nullptr;
        QCOMPARE(rk->RKD_WriteLBA_W(path, first, count, bytes), status);
        QCOMPARE(rk->RKD_ReadLBA_W(path, first, count, bytes), status);
    }

    // The entry points the program does not call still behave: the whole sequence in one call,
    // the information area, erasing, and waiting.
    void otherEntryPoints()
    {
        QCOMPARE(rk->RK_WaitDevice(0), int(NotInitialised));
        QVERIFY(handOver());
        QCOMPARE(rk->RK_WaitDevice(1000), 1);
        char sn[32] = {};
        QCOMPARE(rk->RK_ReadSN(sn, 3), int(InvalidParam));
        QCOMPARE(rk->RK_ReadSN(sn, sizeof sn), int(Ok));
        QCOMPARE(QByteArray(sn), QByteArray("FL-ALTA"));
        const uint8_t mac[6] = {2, 0x51, 1, 2, 3, 4};
        uint8_t back[6] = {};
        QCOMPARE(rk->RK_WriteMAC(mac, 7), int(InvalidParam));
        QCOMPARE(rk->RK_WriteMAC(mac, 6), int(Ok));
        QCOMPARE(rk->RK_ReadMAC(back, 6), int(Ok));
        QCOMPARE(QByteArray(reinterpret_cast<char *>(back), 6), QByteArray(reinterpret_cast<const char *>(mac), 6));
        QCOMPARE(rk->RK_WriteBT(nullptr, 6), int(InvalidParam));
        uint8_t custom[16];
        QCOMPARE(rk->RK_ReadCustomData(custom, 16, 4096 - 8), int(InvalidParam));
        QCOMPARE(rk->RK_ReadCustomData(custom, 0x7FFFFFFF, 0x7FFFFFFF), int(InvalidParam));

        QCOMPARE(rk->RK_UpgradeW(wide(devicePath)), int(InvalidParam)); // no firmware set
        const QByteArray image = firmware("3.4.0", 100);
        QCOMPARE(rk->RK_SetFirmwareW(wide(saveFile("fw.img", image))), int(Ok));
        QCOMPARE(boot(bytes(sim::buildBootImage(LX2_MODEL_ALTA, "nand", {1}))), int(Ok));
        QCOMPARE(write(firmware("0.0.1")), int(Ok));
        QCOMPARE(rk->RK_EraseFlash(), int(Ok));
        QCOMPARE(readBack(512), QByteArray(512, '\xff'));
        QCOMPARE(rk->RK_UpgradeW(wide(devicePath)), int(Ok));
        QTRY_COMPARE_WITH_TIMEOUT(deviceCount(), 1u, 3000);
        QCOMPARE(listedFirmware(), QByteArray("3.4.0"));
        QCOMPARE(rk->RK_WaitDevice(10), int(Timeout));
    }

    void testLibraryLacksOneEntryPoint()
    {
        const char *names[] = {"RK_InitializeW",     "RK_ScanDeviceW",  "RKD_DownloadBoot_W", "RKD_ReadLBA_W",
                               "RKD_WriteLBA_W",     "RK_SetFirmwareW", "RK_UpgradeW",        "RK_UnlockDeviceW",
                               "RK_Uninitialize",    "RK_WaitDevice",   "RK_EraseFlash",      "RK_ReadCustomData",
                               "RK_WriteCustomData", "RK_ReadSN",       "RK_WriteSN",         "RK_ReadMAC",
                               "RK_WriteMAC",        "RK_ReadWifi",     "RK_WriteWifi",       "RK_ReadBT",
                               "RK_WriteBT",         "RK_ClearAllInfo", "RK_ResetRockusb"};
        const Library missing(RKMISSING_LIBRARY);
        QVERIFY2(missing.handle, dlerror());
        QStringList absent, absentFromFull;
        for (const char *name : names) {
            if (!dlsym(missing.handle, name))
                absent << name;
            if (!dlsym(rk->handle, name))
                absentFromFull << name;
        }
        QCOMPARE(absent, QStringList{"RK_WriteBT"});
        QCOMPARE(absentFromFull, QStringList());
    }
};

QTEST_GUILESS_MAIN(SimFlasherTest)
#include "tst_sim_flasher.moc"
