// The USB loader path through the real virtual loader device (dlopen of libRKUpgrade.so): the
// library as the dialog loads it, and Altas handed to their loader, flashed by the worker and
// back with the new version, or left in their loader when something went wrong.
#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "camera/sdk/quillon_api.h"
#include "shell/AppPaths.h"
#include "support/BoxRecorder.h"
#include "support/FirmwareImages.h"
#include "support/LogCapture.h"
#include "support/ProgramFolder.h"
#include "support/SimConfigFile.h"
#include "support/TestFiles.h"
#include "upgrade/UpdateDesc.h"
#include "upgrade/UpgradeLibrary.h"
#include "upgrade/Worker.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <optional>

namespace {

const QByteArray alta = fastSim() + "[device.alta]\nmodel = Alta\nserial = LD-ALTA\nfirmware = 2.0.9\n"
                                    "flashType = nand\n";

// "upgrade success!" or the failure, and every status before it.
struct Outcome
{
    bool finished = false;
    bool success = false;
    QStringList statuses;
};

} // namespace

class UpgradeLibraryTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        m_payload = m_home.filePath("payload.bin");
        QVERIFY(writeFile(m_payload, patternedBytes(100000))); // a check pass of 68 KiB
        const QString folder = m_home.filePath("Upgrade");
        QVERIFY(QDir().mkpath(folder));
        m_image = folder + "/alta_nand.img";
        QVERIFY(makeFirmwareImage(m_image, "Alta", "3.1.4", m_payload));
        m_loader = folder + "/alta_nand.bin";
        QVERIFY(makeBootLoader(m_loader, "Alta", "nand"));
        QVERIFY(makeBootLoader(folder + "/alta_nor.bin", "Alta", "nor"));
        QVERIFY(makeFirmwareImage(folder + "/brio.img", "Brio", "3.1.4", m_payload));
    }

    void init() { m_log = std::make_unique<LogCapture>(); }

    void cleanup()
    {
        m_library.reset(); // uninitialises
        (void)m_camera->shutdownORB();
        Lx2_Shutdown();
        QFile::remove(AppPaths::installFilePath("Upgrade/libRKUpgrade.so"));
        m_log.reset();
    }

    // The dialog loads the library from the installation's Upgrade folder and says at the start
    // when it could not, or when the library refused to initialise.
    void libraryAsTheDialogLoadsIt_data()
    {
        QTest::addColumn<QString>("installed"); // the library file put in place, if any
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("logged");
        QTest::newRow("no library") << QString() << alta << "RKUpgrade did not be loaded!"
                                    << "UpgradeLibrary: cannot load";
        QTest::newRow("an entry point missing") << RKMISSING_LIBRARY << alta << "RKUpgrade did not be loaded!"
                                                << "has no entry point RK_WriteBT";
        QTest::newRow("initialisation refused")
            << RKUPGRADE_LIBRARY << "[sim]\nloaderRefuseInit = yes\n" + alta << "Loader did not initialize!"
            << "UpgradeLibrary: RK_InitializeW refused";
        QTest::newRow("ready") << RKUPGRADE_LIBRARY << alta << QString() << QString();
    }

    void libraryAsTheDialogLoadsIt()
    {
        QFETCH(QString, installed);
        QFETCH(QByteArray, ini);
        QFETCH(QString, warning);
        SimConfigFile config(ini);
        const QString path = AppPaths::installFilePath("Upgrade/libRKUpgrade.so");
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        if (!installed.isEmpty())
            QVERIFY(QFile::copy(installed, path));
        UpdateDesc dialog;
        dialog.setFlashType("nand");
        dialog.setLoaderPath(m_loader);
        dialog.setFirmwarePath(m_image);
        BoxRecorder boxes;
        if (warning.isEmpty()) { // nothing in its loader: the worker says so
            dialog.worker()->setBootPause(std::chrono::milliseconds(0));
            dialog.findChild<QPushButton *>("pushButton_Update")->click();
            QTRY_COMPARE(dialog.findChild<QLabel *>("label_Status")->text(),
                         "Failed, please make sure installed the driver and try again.");
            QVERIFY(boxes.shown().isEmpty());
            return;
        }
        dialog.findChild<QPushButton *>("pushButton_Update")->click();
        QCOMPARE(boxes.shown(), QStringList("Warning\t" + warning));
        QFETCH(QString, logged);
        QVERIFY2(!LogCapture::snapshot().filter(logged).isEmpty(), qPrintable(LogCapture::snapshot().join('\n')));
    }

    // Whatever goes wrong, the camera stays in its loader and the worker says so; only a camera
    // that boots its new image is a success.
    void flashing_data()
    {
        QTest::addColumn<QByteArray>("faults"); // device keys for the Alta
        QTest::addColumn<QString>("bootLoader");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("last");    // the worker's last status
        QTest::addColumn<QString>("version"); // the camera's when it is back; none: in its loader
        QTest::newRow("new version") << QByteArray() << "alta_nand.bin"
                                     << "alta_nand.img"
                                     << "upgrade success!"
                                     << "3.1.4";
        QTest::newRow("boot loader for another flash type") << QByteArray() << "alta_nor.bin"
                                                            << "alta_nand.img"
                                                            << "Download Boot failed!" << QString();
        QTest::newRow("write refused") << QByteArray("loaderFailWriteAtSector = 100\n") << "alta_nand.bin"
                                       << "alta_nand.img"
                                       << "Download firmware failed!" << QString();
        QTest::newRow("bit flipped in a checked sector")
            << QByteArray("loaderFlipBitAtSector = 100\n") << "alta_nand.bin"
            << "alta_nand.img"
            << "Download firmware failed!" << QString();
        // Not compared when read back: the camera itself finds it as it restarts.
        QTest::newRow("bit flipped in the first 32 KiB")
            << QByteArray("loaderFlipBitAtSector = 20\n") << "alta_nand.bin"
            << "alta_nand.img"
            << "Reset device failed!" << QString();
        QTest::newRow("device lost while writing") << QByteArray("loaderLoseAtSector = 100\n") << "alta_nand.bin"
                                                   << "alta_nand.img"
                                                   << "Download firmware failed!" << QString();
        QTest::newRow("image for another model") << QByteArray() << "alta_nand.bin"
                                                 << "brio.img"
                                                 << "Reset device failed!" << QString();
    }

    void flashing()
    {
        QFETCH(QByteArray, faults);
        QFETCH(QString, bootLoader);
        QFETCH(QString, image);
        QVERIFY(handOver(alta + faults));
        const Outcome outcome = flash(m_home.filePath("Upgrade/" + image), m_home.filePath("Upgrade/" + bootLoader));
        QVERIFY(outcome.finished);
        QFETCH(QString, last);
        QCOMPARE(outcome.statuses.last(), last);
        QFETCH(QString, version);
        QCOMPARE(outcome.success, !version.isEmpty());
        if (version.isEmpty()) {
            QVERIFY(inLoader());
            return;
        }
        QVERIFY(outcome.statuses.contains("check firmware...100 percent"));
        QTRY_COMPARE_WITH_TIMEOUT(reopenedFirmware(), std::optional<QString>(version), 10000);
    }

    // An image the camera refuses leaves it in its loader; flashing again with a sound one, as
    // the still open dialog lets the user, brings it back.
    void badImageThenAGoodOne()
    {
        QVERIFY(handOver(alta));
        QCOMPARE(flash(m_home.filePath("Upgrade/brio.img"), m_loader).statuses.last(), "Reset device failed!");
        QVERIFY(inLoader());
        const Outcome second = flash(m_image, m_loader);
        QVERIFY(second.success);
        QTRY_COMPARE_WITH_TIMEOUT(reopenedFirmware(), std::optional<QString>("3.1.4"), 10000);
    }

private:
    // The Alta handed to its loader by work mode 16, as the panel does, and the library loaded
    // and initialised.
    bool handOver(const QByteArray &ini)
    {
        m_config = std::make_unique<SimConfigFile>(ini);
        if (m_camera->initializeSDK() != 0 || m_camera->initializeORB(QStringLiteral("LD-ALTA")) != 0)
            return false;
        SdkWorkMode mode{};
        (void)m_camera->getWorkMode(&mode);
        mode.mode = LX2_WORK_MODE_LOADER;
        if (m_camera->setWorkMode(mode) != 0)
            return false;
        (void)m_camera->shutdownORB();
        m_library = UpgradeLibrary::load(RKUPGRADE_LIBRARY);
        return m_library && m_library->initialize(m_home.filePath("Upgrade/Log/"));
    }

    Outcome flash(const QString &image, const QString &loader)
    {
        Outcome outcome;
        Worker worker;
        worker.setLibrary(m_library.get());
        worker.setPaths(image, loader);
        worker.setBootPause(std::chrono::milliseconds(0));
        connect(&worker, &Worker::sigStatus, [&](const QString &text) { outcome.statuses << text; });
        connect(&worker, &Worker::sigWorkFinish, [&](bool success) {
            outcome.finished = true;
            outcome.success = success;
        });
        worker.slotUpgrade();
        return outcome;
    }

    bool inLoader() const { return readFile(m_config->statePath() + "/loader/LD-ALTA.ini").contains("state = loader"); }

    // The camera's firmware once it is listed and opened again.
    std::optional<QString> reopenedFirmware()
    {
        char text[64] = {};
        if (m_camera->getFWVer(text, 63) == 0)
            return QString::fromLatin1(text);
        const std::vector<SdkDeviceInfo> listed = m_camera->getDeviceList();
        const bool back = std::any_of(listed.begin(), listed.end(),
                                      [](const SdkDeviceInfo &info) { return uriOf(info).contains("LD-ALTA"); });
        if (!back || m_camera->initializeORB(QStringLiteral("LD-ALTA")) != 0)
            return std::nullopt;
        return m_camera->getFWVer(text, 63) == 0 ? std::optional<QString>(QString::fromLatin1(text)) : std::nullopt;
    }

    ProgramFolder m_home;
    QString m_payload, m_image, m_loader;
    std::unique_ptr<SimConfigFile> m_config;
    std::unique_ptr<UpgradeLibrary> m_library;
    std::unique_ptr<LogCapture> m_log;
    Control_Single *m_camera = Control_Single::getInstance();
};

QTEST_MAIN(UpgradeLibraryTest)
#include "tst_upgradelibrary.moc"
