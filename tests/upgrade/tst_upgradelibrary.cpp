// The loader dialog and its worker through the real virtual loader device (dlopen of
// libRKUpgrade.so): the library as the dialog loads it, the checks before a start, and Altas
// handed to their loader, flashed and back with the new version, or left in their loader when
// something went wrong.
#include "camera/Control_Single.h"
#include "camera/sdk/quillon_api.h"
#include "pipeline/DisplaySwitches.h"
#include "shell/AppPaths.h"
#include "support/BoxRecorder.h"
#include "support/FirmwareImages.h"
#include "support/LogCapture.h"
#include "support/ProgramFolder.h"
#include "support/ReopenedCamera.h"
#include "support/SimConfigFile.h"
#include "support/TestFiles.h"
#include "upgrade/FirmwareChooser.h"
#include "upgrade/UpdateDesc.h"
#include "upgrade/UpgradeLibrary.h"
#include "upgrade/Worker.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {

const QByteArray alta = fastSim() + "[device.alta]\nmodel = Alta\nserial = LD-ALTA\nfirmware = 2.0.9\n"
                                    "flashType = nand\n";

const QString failedText = QStringLiteral("Failed, please make sure installed the driver and try again.");
const QString successText = QStringLiteral("Success, restart is under way, please wait a moment.");

// "upgrade success!" or the failure, and every status before it.
struct Outcome
{
    bool finished = false;
    bool success = false;
    QStringList statuses;
};

QPushButton *button(const UpdateDesc &dialog, const char *name)
{
    return dialog.findChild<QPushButton *>(QLatin1String(name));
}

QString status(const UpdateDesc &dialog)
{
    return dialog.findChild<QLabel *>(QStringLiteral("label_Status"))->text();
}

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
        QVERIFY(makeFirmwareImage(folder + "/brio_nand.img", "Brio", "3.1.4", m_payload));
    }

    void init()
    {
        m_log = std::make_unique<LogCapture>();
        DisplaySwitches::instance().refreshRequest = 0;
    }

    void cleanup()
    {
        m_library.reset(); // uninitialises
        (void)m_camera->shutdownORB();
        Lx2_Shutdown();
        QFile::remove(AppPaths::installFilePath("Upgrade/libRKUpgrade.so"));
        QFile::remove(m_home.filePath("Upgrade/Log/quillon_flasher.log"));
        FirmwareChooser::setPicker({});
        m_log.reset();
    }

    // The dialog loads the library from the installation's Upgrade folder; each check before a
    // start says what is missing, and none of them reaches the camera.
    void startRefusals_data()
    {
        QTest::addColumn<QString>("installed"); // the library file put in place, if any
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("loader");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("logged");
        const QString rk = RKUPGRADE_LIBRARY, img = "alta_nand.img", bin = "alta_nand.bin";
        QTest::newRow("no image") << rk << alta << "" << bin << "Firmware is empty!" << QString();
        QTest::newRow("no loader") << rk << alta << img << ""
                                   << "Loader is empty!" << QString();
        QTest::newRow("no library") << QString() << alta << img << bin << "RKUpgrade did not be loaded!"
                                    << "UpgradeLibrary: cannot load";
        QTest::newRow("an entry point missing")
            << RKMISSING_LIBRARY << alta << img << bin << "RKUpgrade did not be loaded!"
            << "has no entry point RK_WriteBT";
        QTest::newRow("initialisation refused")
            << rk << QByteArray(alta).replace("[sim]\n", "[sim]\nloaderRefuseInit = yes\n") << img << bin
            << "Loader did not initialize!"
            << "UpgradeLibrary: RK_InitializeW refused";
        QTest::newRow("image of the other flash type")
            << rk << alta << "alta_nor.img" << bin << "Please check file!" << QString();
        QTest::newRow("loader of the other flash type") << rk << alta << img << "alta_nor.bin"
                                                        << "Please check file!" << QString();
        QTest::newRow("flash type in other letters")
            << rk << alta << "ALTA_NAND.img" << bin << "Please check file!" << QString();
    }

    void startRefusals()
    {
        QFETCH(QString, installed);
        QFETCH(QByteArray, ini);
        QFETCH(QString, image);
        QFETCH(QString, loader);
        QVERIFY(handOver(ini));
        if (!installed.isEmpty())
            QVERIFY(install(installed));
        UpdateDesc dialog;
        QCOMPARE(dialog.worker() == nullptr, installed != RKUPGRADE_LIBRARY);
        dialog.setFlashType("nand");
        if (!image.isEmpty())
            dialog.setFirmwarePath(m_home.filePath("Upgrade/" + image));
        if (!loader.isEmpty())
            dialog.setLoaderPath(m_home.filePath("Upgrade/" + loader));
        BoxRecorder boxes;
        button(dialog, "pushButton_Update")->click();
        QFETCH(QString, warning);
        QCOMPARE(boxes.shown(), QStringList("Warning\t" + warning));
        QVERIFY(!dialog.isBusy());
        QVERIFY(button(dialog, "pushButton_Update")->isEnabled());
        QTest::qWait(20);
        QVERIFY(inLoader());
        QFETCH(QString, logged);
        QVERIFY2(logged.isEmpty() || !LogCapture::snapshot().filter(logged).isEmpty(),
                 qPrintable(LogCapture::snapshot().join('\n')));
    }

    // The library is initialised with the data folder's log folder and uninitialised when the
    // dialog goes. The work runs in the dialog's thread; the camera comes back with its new
    // version, the device information is asked for again, and the dialog closes a second later.
    void upgradeSucceeds()
    {
        QVERIFY(handOver(alta));
        QVERIFY(install(RKUPGRADE_LIBRARY));
        const QString flasherLog = m_home.path() + "//Upgrade/Log/quillon_flasher.log";
        {
            UpdateDesc dialog;
            QVERIFY(readFile(flasherLog).contains(" initialised\n"));
            QVERIFY(!dialog.isPrepared());
            QStringList statuses;
            QList<int> progress;
            start(dialog, statuses, progress);
            QVERIFY(dialog.isBusy()); // not done before the click returns
            for (const char *name : {"pushButton_Update", "pushButton_Cancel", "pushButton_Firemware"})
                QVERIFY(!button(dialog, name)->isEnabled());

            QTRY_COMPARE_WITH_TIMEOUT(status(dialog), successText, 10000);
            QCOMPARE(statuses.mid(0, 2), QStringList({"Download Boot ...", "Download Boot ok"}));
            QCOMPARE(statuses.mid(statuses.size() - 2),
                     QStringList({"check firmware...100 percent", "upgrade success!"}));
            const int written = statuses.indexOf("write firmware...100 percent");
            QCOMPARE(statuses.mid(2, written - 1).filter("write firmware...").size(), written - 1);
            QCOMPARE(statuses.mid(written + 1, statuses.size() - written - 2).filter("check firmware...").size(),
                     statuses.size() - written - 2);
            QCOMPARE(progress.last(), 100);
            QCOMPARE(int(DisplaySwitches::instance().refreshRequest), 2);
            QVERIFY(!dialog.isBusy());
            QVERIFY(dialog.findChild<QProgressBar *>()->isHidden());
            QVERIFY(button(dialog, "pushButton_Update")->isEnabled());

            BoxRecorder boxes;
            QVERIFY(dialog.isVisible());
            QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 3000);
            QVERIFY(boxes.shown().isEmpty()); // not busy: no question
        }
        QVERIFY(readFile(flasherLog).contains(" uninitialised\n"));
        QTRY_COMPARE_WITH_TIMEOUT(reopenedFirmware(*m_camera, "LD-ALTA"), std::optional<QString>("3.1.4"), 10000);
    }

    // A failure ends in the driver hint; nothing asks for a refresh, and closing asks first. An
    // image the camera refuses leaves it in its loader: the user chooses a sound one in the still
    // open dialog and presses "Upgrade" again, which brings it back.
    void failuresInTheDialog_data()
    {
        QTest::addColumn<bool>("handedOver");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("last");
        QTest::newRow("no camera in its loader") << false << "alta_nand.img"
                                                 << "No found device!";
        QTest::newRow("image gone") << true << "gone_nand.img"
                                    << "Download firmware failed!";
        QTest::newRow("image refused, then a sound one") << true << "brio_nand.img"
                                                         << "Reset device failed!";
    }

    void failuresInTheDialog()
    {
        QFETCH(bool, handedOver);
        QFETCH(QString, image);
        if (handedOver)
            QVERIFY(handOver(alta));
        else
            m_config = std::make_unique<SimConfigFile>(alta);
        QVERIFY(install(RKUPGRADE_LIBRARY));
        UpdateDesc dialog;
        QStringList statuses;
        QList<int> progress;
        start(dialog, statuses, progress, m_home.filePath("Upgrade/" + image));
        QTRY_COMPARE_WITH_TIMEOUT(status(dialog), failedText, 10000);
        QFETCH(QString, last);
        QCOMPARE(statuses.last(), last);
        QCOMPARE(inLoader(), handedOver);
        QCOMPARE(int(DisplaySwitches::instance().refreshRequest), 0);
        QVERIFY(button(dialog, "pushButton_Update")->isEnabled());
        QVERIFY(dialog.isBusy());

        if (image == "brio_nand.img") {
            QString from;
            FirmwareChooser::setPicker([&](QWidget *, const QString &, const QString &folder, const QString &) {
                from = folder;
                return m_image;
            });
            button(dialog, "pushButton_Firemware")->click();
            QCOMPARE(from, m_home.path() + "//Upgrade"); // no Upgrade/Upgrade folder
            QVERIFY(QDir().mkpath(m_home.filePath("Upgrade/Upgrade")));
            button(dialog, "pushButton_Firemware")->click();
            QCOMPARE(from, m_home.path() + "//Upgrade/Upgrade");
            QCOMPARE(dialog.findChild<QLineEdit *>("lineEdit_Firmware")->text(), m_image);
            button(dialog, "pushButton_Update")->click();
            QCOMPARE(dialog.findChild<QProgressBar *>()->value(), 0);
            QTRY_COMPARE_WITH_TIMEOUT(status(dialog), successText, 10000);
            QTRY_COMPARE_WITH_TIMEOUT(reopenedFirmware(*m_camera, "LD-ALTA"), std::optional<QString>("3.1.4"), 10000);
            return;
        }
        BoxRecorder boxes(QMessageBox::No);
        button(dialog, "pushButton_Cancel")->click();
        QVERIFY(dialog.isVisible());
        boxes.queueAnswer(QMessageBox::Yes);
        button(dialog, "pushButton_Close")->click();
        QVERIFY(!dialog.isVisible());
        const QString asked = QStringLiteral("Exit\tUpgrading, Confirm the exit?");
        QCOMPARE(boxes.shown(), QStringList({asked, asked}));
    }

    // Whatever goes wrong, the camera stays in its loader and the worker says so.
    void flashing_data()
    {
        QTest::addColumn<QByteArray>("faults"); // device keys for the Alta
        QTest::addColumn<QString>("bootLoader");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("last"); // the worker's last status
        QTest::newRow("boot loader for another flash type") << QByteArray() << "alta_nor.bin"
                                                            << "alta_nand.img"
                                                            << "Download Boot failed!";
        QTest::newRow("write refused") << QByteArray("loaderFailWriteAtSector = 100\n") << "alta_nand.bin"
                                       << "alta_nand.img"
                                       << "Download firmware failed!";
        QTest::newRow("bit flipped in a checked sector")
            << QByteArray("loaderFlipBitAtSector = 100\n") << "alta_nand.bin"
            << "alta_nand.img"
            << "Download firmware failed!";
        // Not compared when read back: the camera itself finds it as it restarts.
        QTest::newRow("bit flipped in the first 32 KiB")
            << QByteArray("loaderFlipBitAtSector = 20\n") << "alta_nand.bin"
            << "alta_nand.img"
            << "Reset device failed!";
        QTest::newRow("device lost while writing") << QByteArray("loaderLoseAtSector = 100\n") << "alta_nand.bin"
                                                   << "alta_nand.img"
                                                   << "Download firmware failed!";
    }

    void flashing()
    {
        QFETCH(QByteArray, faults);
        QFETCH(QString, bootLoader);
        QFETCH(QString, image);
        QVERIFY(handOver(alta + faults));
        m_library = UpgradeLibrary::load(RKUPGRADE_LIBRARY);
        QVERIFY(m_library && m_library->initialize(m_home.filePath("Upgrade/Log/")));
        const Outcome outcome = flash(m_home.filePath("Upgrade/" + image), m_home.filePath("Upgrade/" + bootLoader));
        QVERIFY(outcome.finished);
        QVERIFY(!outcome.success);
        QFETCH(QString, last);
        QCOMPARE(outcome.statuses.last(), last);
        QVERIFY(inLoader());
    }

    // A device that is listed but not in its loader is never written to.
    void onlyADeviceInItsLoaderIsFlashed()
    {
        UpgradeLibrary::Entries entries;
        entries.RK_ScanDeviceW = [](RKDeviceRecord **devices) {
            static RKDeviceRecord other{};
            other.mode = RK_DEVICE_MODE_LOADER + 1;
            *devices = &other;
            return 1;
        };
        entries.RKD_DownloadBoot_W = [](const char16_t *, const char16_t *) { return -1; };
        m_library = std::make_unique<UpgradeLibrary>(entries);
        const Outcome outcome = flash(m_image, m_loader);
        QCOMPARE(outcome.statuses, QStringList("No found device to upgrade!"));
        QVERIFY(outcome.finished && !outcome.success);
    }

    // The frameless dialog follows the pointer from any spot that leaves the mouse to it.
    void draggedByItsTitle()
    {
        UpdateDesc dialog;
        dialog.move(100, 100);
        dialog.show();
        QWidget *title = dialog.findChild<QLabel *>(QStringLiteral("label_Title"));
        const QPoint grip = title->mapToGlobal(QPoint(5, 5));
        const auto send = [title](QEvent::Type type, const QPoint &global, Qt::MouseButtons held) {
            QMouseEvent event(type, title->mapFromGlobal(global), global, Qt::NoButton, held, Qt::NoModifier);
            QApplication::sendEvent(title, &event);
        };
        send(QEvent::MouseButtonPress, grip, Qt::LeftButton);
        send(QEvent::MouseMove, grip + QPoint(50, 20), Qt::LeftButton);
        QCOMPARE(dialog.pos(), QPoint(150, 120));
        send(QEvent::MouseButtonRelease, grip + QPoint(50, 20), Qt::NoButton);
        send(QEvent::MouseMove, grip + QPoint(90, 90), Qt::NoButton);
        QCOMPARE(dialog.pos(), QPoint(150, 120));
    }

private:
    // The Alta handed to its loader by work mode 16, as the panel does.
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
        return true;
    }

    // Puts a library where the dialog loads it from.
    static bool install(const QString &library)
    {
        const QString path = AppPaths::installFilePath("Upgrade/libRKUpgrade.so");
        return QDir().mkpath(QFileInfo(path).path()) && QFile::copy(library, path);
    }

    // Prepared as the control panel prepares it, shown, and "Upgrade" pressed; the worker's reports
    // are collected in the GUI thread.
    void start(UpdateDesc &dialog, QStringList &statuses, QList<int> &progress, const QString &image = {})
    {
        dialog.setFlashType("nand");
        dialog.setLoaderPath(m_loader);
        dialog.setFirmwarePath(image.isEmpty() ? m_image : image);
        dialog.worker()->setBootPause(std::chrono::milliseconds(0));
        connect(dialog.worker(), &Worker::sigStatus, &dialog, [&statuses](const QString &text) { statuses << text; });
        connect(dialog.worker(), &Worker::sigProgress, &dialog, [&progress](int value) { progress << value; });
        dialog.show();
        button(dialog, "pushButton_Update")->click();
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

    ProgramFolder m_home;
    QString m_payload, m_image, m_loader;
    std::unique_ptr<SimConfigFile> m_config;
    std::unique_ptr<UpgradeLibrary> m_library;
    std::unique_ptr<LogCapture> m_log;
    Control_Single *m_camera = Control_Single::getInstance();
};

QTEST_MAIN(UpgradeLibraryTest)
#include "tst_upgradelibrary.moc"
