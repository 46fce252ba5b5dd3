// The SDK upgrade dialog: its texts, the hand-over of reports from the SDK's thread, the file
// chooser, and real upgrades of virtual Brios.
#include "camera/Control_Single.h"
#include "camera/sdk/quillon_api.h"
#include "support/BoxRecorder.h"
#include "support/FirmwareImages.h"
#include "support/LogCapture.h"
#include "support/ProgramFolder.h"
#include "support/ReopenedCamera.h"
#include "support/SimConfigFile.h"
#include "upgrade/UpgradeBrio.h"
#include "upgrade/UpgradeTexts.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

namespace {

// BRIO-B fails while it installs and reboots into its old firmware.
const QByteArray cameras = fastSim() + R"(
[device.a]
model = Brio
serial = BRIO-A
firmware = 2.1.5
[device.b]
model = Brio
serial = BRIO-B
firmware = 2.1.5
upgradeFailAtStage = 5
)";

const QString installed = QStringLiteral("DEVICE_UPGRADE_UPGRAD_DONE:OK,wait for the device to reboot");
const QString failed = QStringLiteral("upgrade failed,wait for the device to reboot");

QLabel *statusOf(const UpgradeBrio &dialog)
{
    return dialog.findChild<QLabel *>(QStringLiteral("label_Status"));
}

// The stage reports logged so far, as stage numbers without repeats (stage 3 and 5 report
// several values).
QList<int> loggedStages()
{
    const std::pair<const char *, int> prefixes[] = {
        {"\"DEVICE_PRE_UPGRADE_IMG_COPY status: ", 2}, {"\"DEVICE_UPGRADE_IMG_CHECK_DOING", 3},
        {"\"DEVICE_PRE_UPGRADE_IMG_COPY status:", 4},  {"\"DEVICE_UPGRADE_UPGRAD_DOING", 5},
        {"\"DEVICE_UPGRADE_RECHECK_DOING", 6},         {"\"DEVICE_UPGRADE_RECHECK_DONE", 7},
        {"\"DEVICE_UPGRADE_UPGRAD_DONE", 8},           {"\"upgrade failed", -1}};
    QList<int> stages;
    for (const QString &line : LogCapture::snapshot())
        for (const auto &[prefix, stage] : prefixes)
            if (line.startsWith(QLatin1String(prefix))) {
                if (stages.isEmpty() || stages.last() != stage)
                    stages << stage;
                break;
            }
    return stages;
}

} // namespace

class UpgradeBrioTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_log = std::make_unique<LogCapture>(); }

    void cleanup()
    {
        UpgradeBrio::setFilePicker({});
        (void)m_camera->shutdownORB();
        Lx2_Shutdown(); // also ends an upgrade still reporting
        m_log.reset();
    }

    // What the table does not list: a failure at any stage, a stage or a start result it does not
    // know. (The listed texts show in the upgrades below and in the end-to-end script.)
    void textsBeyondTheTable()
    {
        QCOMPARE(UpgradeTexts::stage(3, -1), failed);
        QCOMPARE(UpgradeTexts::stage(9, -1), failed);
        QCOMPARE(UpgradeTexts::stage(9, 0), QStringLiteral("other stage:9"));
        QCOMPARE(UpgradeTexts::stage(8, 12), installed);
        for (int result : {2, -1})
            QCOMPARE(UpgradeTexts::startResult(result), QStringLiteral("Upgrade failed. Others errors."));
    }

    // The SDK reports on its own thread; the label changes only in the GUI thread, and a report
    // without a dialog to show it is logged and nothing else.
    void reportsFromTheSdkThread()
    {
        auto dialog = std::make_unique<UpgradeBrio>();
        std::thread([] { UpgradeBrio::statusCallback(3, 40); }).join();
        QCOMPARE(statusOf(*dialog)->text(), QString()); // not from the SDK's thread
        QTRY_COMPARE(statusOf(*dialog)->text(), "DEVICE_UPGRADE_IMG_CHECK_DOING status : 40");
        std::thread([] { UpgradeBrio::statusCallback(5, 60); }).join();
        QTRY_COMPARE(dialog->findChild<QProgressBar *>()->value(), 60);

        std::thread([] { UpgradeBrio::statusCallback(6, 0); }).join();
        dialog.reset(); // before the report arrives
        std::thread([] { UpgradeBrio::statusCallback(9, 0); }).join();
        QCoreApplication::processEvents();
        const QStringList logged = LogCapture::snapshot();
        QVERIFY(logged.contains("\"DEVICE_UPGRADE_RECHECK_DOING OK\""));
        QVERIFY(logged.contains("\"other stage:9\""));

        // Dialogs come and go while the SDK keeps reporting: no report may reach one being destroyed.
        std::atomic<bool> stop{false};
        std::thread sdk([&stop] {
            while (!stop.load())
                UpgradeBrio::statusCallback(5, 50);
        });
        for (int i = 0; i < 300; ++i)
            UpgradeBrio shortLived;
        stop = true;
        sdk.join();
        QCoreApplication::processEvents();
    }

    void choosingTheImage()
    {
        ProgramFolder folder;
        QList<QStringList> asked;
        QStringList answers{"/images/first.img", ""};
        UpgradeBrio::setFilePicker([&](QWidget *, const QString &caption, const QString &start, const QString &filter) {
            asked << QStringList{caption, start, filter};
            return answers.takeFirst();
        });
        UpgradeBrio dialog;
        QPushButton *chooser = dialog.findChild<QPushButton *>("pushButton_Firemware");
        chooser->click();
        chooser->click(); // cancelled
        QCOMPARE(dialog.firmwarePath(), "/images/first.img");
        QCOMPARE(dialog.findChild<QLineEdit *>("lineEdit_Firmware")->text(), "/images/first.img");
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked[0], QStringList({"Select  Firmware File", folder.path() + "//Upgrade/Upgrade",
                                        "Firmware (*.img);;All files (*.*)"}));

        // Without an image nothing reaches the camera.
        UpgradeBrio empty;
        BoxRecorder boxes;
        empty.findChild<QPushButton *>("pushButton_Update")->click();
        QCOMPARE(boxes.shown(), QStringList("Warning\tFirmware is empty!"));
        QCOMPARE(statusOf(empty)->text(), QString());
    }

    void upgradeThroughTheSdk_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("corrupt");
        QTest::addColumn<QString>("started");
        QTest::addColumn<QList<int>>("stages");
        QTest::addColumn<QString>("after"); // the firmware when it is back
        const QList<int> all{2, 3, 4, 5, 6, 7, 8};
        QTest::newRow("new version") << "BRIO-A"
                                     << "Upgrade"
                                     << "1.0.4" << false << "Upgrade start." << all << "1.0.4";
        QTest::newRow("folder beyond Latin-1")
            << "BRIO-A" << QStringLiteral("прошивка/固件") << "1.0.4" << false << "Upgrade start." << all << "1.0.4";
        QTest::newRow("same version") << "BRIO-A"
                                      << "Upgrade"
                                      << "2.1.5" << false << "Upgrade start, but bVer is same." << all << "2.1.5";
        QTest::newRow("corrupt image") << "BRIO-A"
                                       << "Upgrade"
                                       << "1.0.4" << true << "FirmWare check failed." << QList<int>() << "2.1.5";
        QTest::newRow("fails while installing")
            << "BRIO-B"
            << "Upgrade"
            << "1.0.4" << false << "Upgrade start." << QList<int>{2, 3, 4, -1} << "2.1.5";
    }

    void upgradeThroughTheSdk()
    {
        QFETCH(QString, serial);
        QFETCH(QString, folder);
        QFETCH(QString, version);
        QFETCH(bool, corrupt);
        QFETCH(QString, started);
        QFETCH(QList<int>, stages);
        QFETCH(QString, after);
        QTemporaryDir images;
        QVERIFY(QDir(images.path()).mkpath(folder));
        const QString image = images.filePath(folder + "/brio.img");
        QVERIFY(makeFirmwareImage(image, "Brio", version));
        if (corrupt) {
            QFile file(image);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(file.size() - 1));
            QVERIFY(file.write("\x7f") == 1);
        }
        SimConfigFile config(cameras);
        QCOMPARE(m_camera->initializeSDK(), 0);
        QCOMPARE(m_camera->initializeORB(serial), 0);
        QCOMPARE(m_camera->getDeviceType(), int(Brio));

        UpgradeBrio::setFilePicker([&](QWidget *, const QString &, const QString &, const QString &) { return image; });
        UpgradeBrio dialog;
        dialog.findChild<QPushButton *>("pushButton_Firemware")->click();
        dialog.findChild<QPushButton *>("pushButton_Update")->click();
        QCOMPARE(statusOf(dialog)->text(), started);
        if (stages.isEmpty()) { // refused before it began: the camera stays
            QCOMPARE(runningFirmware(*m_camera), std::optional<QString>(after));
            return;
        }
        const bool fails = stages.last() == -1;
        QTRY_COMPARE(statusOf(dialog)->text(), fails ? failed : installed);
        QCOMPARE(loggedStages(), stages);
        QCOMPARE(dialog.findChild<QProgressBar *>()->value(), fails ? 0 : 100);

        // The camera reboots: it goes, and comes back with the new or the old firmware.
        QTRY_COMPARE(runningFirmware(*m_camera), std::optional<QString>());
        (void)m_camera->shutdownORB();
        QTRY_COMPARE_WITH_TIMEOUT(reopenedFirmware(*m_camera, serial), std::optional<QString>(after), 10000);
    }

private:
    Control_Single *m_camera = Control_Single::getInstance();
    std::unique_ptr<LogCapture> m_log;
};

QTEST_MAIN(UpgradeBrioTest)
#include "tst_upgradebrio.moc"
