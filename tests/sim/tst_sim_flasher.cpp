// The virtual loader device's own refusals through the real dlopen: boot loaders that are not
// the camera's, and sector ranges beyond its flash. Flashing, resets and the configured faults
// run through the program's worker in tst_upgradelibrary.

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

const char16_t *wide(const QString &text)
{
    return reinterpret_cast<const char16_t *>(text.utf16());
}

// The library loaded by path, the entry points these cases call looked up by name.
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
        RK_LOOK_UP(RK_Uninitialize);
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
    RK_Uninitialize_t RK_Uninitialize;
};

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

    int scan()
    {
        RKDeviceRecord *list = nullptr;
        return rk->RK_ScanDeviceW(&list);
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
        const QByteArray sector(512, 'q');
        QCOMPARE(rk->RKD_WriteLBA_W(wide(devicePath), 0, 1, reinterpret_cast<const uint8_t *>(sector.constData())),
                 int(NoBootLoader));
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
};

QTEST_GUILESS_MAIN(SimFlasherTest)
#include "tst_sim_flasher.moc"
