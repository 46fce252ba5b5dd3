// The loader dialog and its worker against flashing entry points of the test's own: the start
// checks, what each step says, where the image lands, the result texts and the close rules.
#include "pipeline/DisplaySwitches.h"
#include "shell/AppPaths.h"
#include "support/BoxRecorder.h"
#include "support/LogCapture.h"
#include "support/ProgramFolder.h"
#include "support/TestFiles.h"
#include "upgrade/FirmwareChooser.h"
#include "upgrade/UpdateDesc.h"
#include "upgrade/UpgradeLibrary.h"
#include "upgrade/Worker.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QtTest>

#include <cstring>
#include <vector>

namespace {

// One loader at the other end of the entry points. The worker's calls are read only after its
// finish has reached the GUI thread.
struct FakeLoader
{
    int initResult = 1;
    std::vector<RKDeviceRecord> devices;
    int bootResult = 0;
    std::vector<uint8_t> flash;

    QStringList calls; // name and arguments, in order
    RKInitParams initParams{};
    QString initLogDir;
    bool offMainThread = true; // every call but initialise and uninitialise
};

FakeLoader fake;
QThread *mainThread = nullptr;

QString text16(const char16_t *text)
{
    return QString::fromUtf16(text);
}

void onWorkerThread()
{
    fake.offMainThread = fake.offMainThread && QThread::currentThread() != mainThread;
}

RKDeviceRecord deviceRecord(const char16_t *path, uint32_t mode)
{
    RKDeviceRecord record{};
    std::char_traits<char16_t>::copy(record.path, path, std::char_traits<char16_t>::length(path));
    record.mode = mode;
    return record;
}

UpgradeLibrary::Entries fakeEntries()
{
    UpgradeLibrary::Entries e;
    e.RK_InitializeW = [](RKInitParams params, int log, const char16_t *dir, void *, void *) {
        fake.calls << QStringLiteral("init %1").arg(log);
        fake.initParams = params;
        fake.initLogDir = text16(dir);
        return fake.initResult;
    };
    e.RK_ScanDeviceW = [](RKDeviceRecord **devices) {
        onWorkerThread();
        fake.calls << QStringLiteral("scan");
        *devices = fake.devices.data();
        return int(fake.devices.size());
    };
    e.RKD_DownloadBoot_W = [](const char16_t *device, const char16_t *loader) {
        onWorkerThread();
        fake.calls << QStringLiteral("boot %1 %2").arg(text16(device), QFileInfo(text16(loader)).fileName());
        return fake.bootResult;
    };
    e.RKD_WriteLBA_W = [](const char16_t *, uint32_t first, uint32_t count, const uint8_t *data) {
        onWorkerThread();
        fake.calls << QStringLiteral("write %1 %2").arg(first).arg(count);
        fake.flash.resize(std::max<size_t>(fake.flash.size(), size_t(first + count) * 512));
        std::memcpy(fake.flash.data() + size_t(first) * 512, data, size_t(count) * 512);
        return 0;
    };
    e.RKD_ReadLBA_W = [](const char16_t *, uint32_t first, uint32_t count, uint8_t *buffer) {
        onWorkerThread();
        fake.calls << QStringLiteral("read %1 %2").arg(first).arg(count);
        std::memcpy(buffer, fake.flash.data() + size_t(first) * 512, size_t(count) * 512);
        return 0;
    };
    e.RK_Uninitialize = [] {
        fake.calls << QStringLiteral("uninit");
        return 0;
    };
    e.RK_ResetRockusb = [](int flags, int reserved) {
        onWorkerThread();
        fake.calls << QStringLiteral("reset %1 %2").arg(flags).arg(reserved);
        return 0;
    };
    return e;
}

const QString failedText = QStringLiteral("Failed, please make sure installed the driver and try again.");
const QString successText = QStringLiteral("Success, restart is under way, please wait a moment.");

} // namespace

class UpdateDescTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { mainThread = QThread::currentThread(); }

    void init()
    {
        fake = FakeLoader();
        fake.devices = {deviceRecord(u"usb-loader:ALTA-1", 0), deviceRecord(u"usb-loader:ALTA-2", 1)};
        m_libraryAskedFor.clear();
        UpdateDesc::setLibraryLoader([this](const QString &path) {
            m_libraryAskedFor = path;
            return std::make_unique<UpgradeLibrary>(fakeEntries());
        });
        DisplaySwitches::instance().refreshRequest = 0;
        QVERIFY(QDir().mkpath(m_home.filePath("Upgrade")));
        m_image = m_home.filePath("Upgrade/alta_nand.img");
        m_loader = m_home.filePath("Upgrade/loader_nand.bin");
        QVERIFY(writeFile(m_image, patternedBytes(40000)));
        QVERIFY(writeFile(m_loader, "boot"));
    }

    void cleanup()
    {
        UpdateDesc::setLibraryLoader({});
        FirmwareChooser::setPicker({});
    }

    // Loaded from the installation, initialised with its record and the data folder's log folder,
    // uninitialised when the dialog goes.
    void libraryLifetime()
    {
        {
            UpdateDesc dialog;
            QCOMPARE(m_libraryAskedFor, AppPaths::installFilePath("Upgrade/libRKUpgrade.so"));
            QCOMPARE(fake.calls, QStringList("init 1"));
            const uint32_t expected[9] = {0, 0, 0, 0, 0, 0, 30, 30, 0};
            QVERIFY(std::equal(std::begin(expected), std::end(expected), fake.initParams.word));
            QCOMPARE(fake.initLogDir, m_home.path() + "//Upgrade/Log/");
            QVERIFY(QFileInfo(fake.initLogDir).isDir());
            QVERIFY(!dialog.isPrepared());
        }
        QCOMPARE(fake.calls, QStringList({"init 1", "uninit"}));

        fake = FakeLoader();
        fake.initResult = 0;
        delete new UpdateDesc;
        QCOMPARE(fake.calls, QStringList("init 1")); // never initialised: nothing to undo
    }

    // Each check in its turn; none of them reaches the device.
    void startChecks_data()
    {
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QString>("loader");
        QTest::addColumn<QString>("library"); // loaded, refused (initialisation), missing
        QTest::addColumn<QString>("warning");
        const char *const rows[][5] = {
            {"no image", "", "", "missing", "Firmware is empty!"},
            {"no loader", "alta_nand.img", "", "missing", "Loader is empty!"},
            {"no library", "alta_nand.img", "loader_nand.bin", "missing", "RKUpgrade did not be loaded!"},
            {"library refused", "alta_nand.img", "loader_nand.bin", "refused", "Loader did not initialize!"},
            {"image of the other flash type", "alta_nor.img", "loader_nand.bin", "loaded", "Please check file!"},
            {"loader of the other flash type", "alta_nand.img", "loader_nor.bin", "loaded", "Please check file!"},
            {"flash type in other letters", "ALTA_NAND.img", "loader_nand.bin", "loaded", "Please check file!"},
        };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]) << QString(row[3]) << QString(row[4]);
    }

    void startChecks()
    {
        QFETCH(QString, firmware);
        QFETCH(QString, loader);
        QFETCH(QString, library);
        if (library == "missing")
            UpdateDesc::setLibraryLoader([](const QString &) { return nullptr; });
        fake.initResult = library == "refused" ? 0 : 1;
        UpdateDesc dialog;
        QCOMPARE(dialog.worker() == nullptr, library == "missing");
        dialog.setFlashType("nand");
        if (!firmware.isEmpty())
            dialog.setFirmwarePath(m_home.filePath("Upgrade/" + firmware));
        if (!loader.isEmpty())
            dialog.setLoaderPath(m_home.filePath("Upgrade/" + loader));
        BoxRecorder boxes;
        button(dialog, "pushButton_Update")->click();
        QFETCH(QString, warning);
        QCOMPARE(boxes.shown(), QStringList("Warning\t" + warning));
        QVERIFY(!dialog.isBusy());
        QVERIFY(button(dialog, "pushButton_Update")->isEnabled());
        QTest::qWait(20);
        QVERIFY(fake.calls.filter("scan").isEmpty());
    }

    // The first device in its loader gets the boot loader and the image; the image is read back
    // from 32 KiB on, the device reset, and the dialog closes a second later.
    void upgradeSucceeds()
    {
        UpdateDesc dialog;
        QStringList statuses;
        QList<int> progress;
        start(dialog, statuses, progress);
        QVERIFY(dialog.isBusy());
        for (const char *name : {"pushButton_Update", "pushButton_Cancel", "pushButton_Firemware"})
            QVERIFY(!button(dialog, name)->isEnabled());

        QTRY_COMPARE(status(dialog), successText);
        QCOMPARE(statuses, QStringList({"Download Boot ...", "Download Boot ok", "write firmware...41 percent",
                                        "write firmware...82 percent", "write firmware...100 percent",
                                        "check firmware...100 percent", "upgrade success!"}));
        QCOMPARE(progress, QList<int>({41, 82, 100}));
        QCOMPARE(fake.calls, QStringList({"init 1", "scan", "boot usb-loader:ALTA-2 loader_nand.bin", "write 0 32",
                                          "write 32 32", "write 64 15", "read 64 15", "reset 0 0"}));
        QVERIFY(fake.offMainThread);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(fake.flash.data()), 40000), patternedBytes(40000));
        QCOMPARE(int(DisplaySwitches::instance().refreshRequest), 2);
        QVERIFY(!dialog.isBusy());
        QVERIFY(dialog.findChild<QProgressBar *>()->isHidden());
        QVERIFY(button(dialog, "pushButton_Update")->isEnabled());

        BoxRecorder boxes;
        QVERIFY(dialog.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 3000);
        QVERIFY(boxes.shown().isEmpty()); // not busy: no question
    }

    // Every failure ends in the driver hint; the device is not reset, nothing asks for a refresh,
    // and closing asks first. (The device's own refusals: tst_upgradelibrary.)
    void failures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("statuses");
        const QStringList booted{"Download Boot ...", "Download Boot ok"};
        QTest::newRow("no device") << "no device" << QStringList("No found device!");
        QTest::newRow("no device in its loader") << "wrong mode" << QStringList("No found device to upgrade!");
        QTest::newRow("image gone") << "image" << booted + QStringList("Download firmware failed!");
    }

    void failures()
    {
        QFETCH(QString, fault);
        if (fault == "no device")
            fake.devices.clear();
        if (fault == "wrong mode")
            fake.devices.pop_back();
        if (fault == "image")
            QVERIFY(QFile::remove(m_image));
        UpdateDesc dialog;
        QStringList statuses;
        QList<int> progress;
        start(dialog, statuses, progress);
        QTRY_COMPARE(status(dialog), failedText);
        QTEST(statuses, "statuses");
        QVERIFY(fake.calls.filter("reset").isEmpty());
        QCOMPARE(int(DisplaySwitches::instance().refreshRequest), 0);
        QVERIFY(button(dialog, "pushButton_Update")->isEnabled());
        QVERIFY(dialog.isBusy());

        BoxRecorder boxes(QMessageBox::No);
        button(dialog, "pushButton_Cancel")->click();
        QVERIFY(dialog.isVisible());
        boxes.queueAnswer(QMessageBox::Yes);
        button(dialog, "pushButton_Close")->click();
        QVERIFY(!dialog.isVisible());
        const QString asked = QStringLiteral("Exit\tUpgrading, Confirm the exit?");
        QCOMPARE(boxes.shown(), QStringList({asked, asked}));
    }

    // A failure leaves the dialog busy, and "Upgrade" may be pressed again.
    void secondTryAfterAFailure()
    {
        fake.bootResult = -2;
        UpdateDesc dialog;
        QStringList statuses;
        QList<int> progress;
        start(dialog, statuses, progress);
        QTRY_COMPARE(status(dialog), failedText);
        fake.bootResult = 0;
        button(dialog, "pushButton_Update")->click();
        QCOMPARE(dialog.findChild<QProgressBar *>()->value(), 0);
        QTRY_COMPARE(status(dialog), successText);
        QCOMPARE(fake.calls.filter("reset").size(), 1);
    }

    void choosingTheImage()
    {
        QList<QStringList> asked;
        QStringList answers{"/images/alta_nand.img", ""};
        FirmwareChooser::setPicker([&](QWidget *, const QString &caption, const QString &start, const QString &filter) {
            asked << QStringList{caption, start, filter};
            return answers.takeFirst();
        });
        UpdateDesc dialog;
        button(dialog, "pushButton_Firemware")->click();
        QVERIFY(QDir().mkpath(m_home.path() + "/Upgrade/Upgrade"));
        button(dialog, "pushButton_Firemware")->click(); // cancelled
        QCOMPARE(dialog.firmwarePath(), "/images/alta_nand.img");
        QCOMPARE(dialog.findChild<QLineEdit *>("lineEdit_Firmware")->text(), "/images/alta_nand.img");
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked[0], QStringList({"Select  Firmware File", m_home.path() + "//Upgrade",
                                        "Firmware (*.img);;All files (*.*)"}));
        QCOMPARE(asked[1][1], m_home.path() + "//Upgrade/Upgrade");
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
    static QPushButton *button(const UpdateDesc &dialog, const char *name)
    {
        return dialog.findChild<QPushButton *>(QLatin1String(name));
    }
    static QString status(const UpdateDesc &dialog)
    {
        return dialog.findChild<QLabel *>(QStringLiteral("label_Status"))->text();
    }

    // Prepared as the control panel prepares it, shown, and "Upgrade" pressed; the worker's reports
    // are collected in the GUI thread.
    void start(UpdateDesc &dialog, QStringList &statuses, QList<int> &progress)
    {
        dialog.setFlashType("nand");
        dialog.setLoaderPath(m_loader);
        dialog.setFirmwarePath(m_image);
        dialog.worker()->setBootPause(std::chrono::milliseconds(0));
        connect(dialog.worker(), &Worker::sigStatus, &dialog, [&statuses](const QString &text) { statuses << text; });
        connect(dialog.worker(), &Worker::sigProgress, &dialog, [&progress](int value) { progress << value; });
        dialog.show();
        button(dialog, "pushButton_Update")->click();
    }

    ProgramFolder m_home;
    QString m_image, m_loader, m_libraryAskedFor;
};

QTEST_MAIN(UpdateDescTest)
#include "tst_updatedesc.moc"
