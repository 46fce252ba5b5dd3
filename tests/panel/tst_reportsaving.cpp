// "SaveCameraParams" from the question to the file, against the virtual camera.
#include "camera/CalibrationReport.h"
#include "camera/Control_Single.h"
#include "camera/ReportFile.h"
#include "panel/ReportSaving.h"
#include "support/BoxRecorder.h"
#include "support/ProgramFolder.h"
#include "support/SimConfigFile.h"

#include <QtTest>

#include <memory>

namespace {

Control_Single *camera()
{
    return Control_Single::getInstance();
}

// Every report file under the program folder's SaveCameraParams.
QStringList reports(const QString &home)
{
    QStringList found;
    QDirIterator it(home + "/SaveCameraParams", {"*.txt"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next().mid(home.size() + 1);
    return found;
}

} // namespace

class ReportSavingTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        sim = std::make_unique<SimConfigFile>(fastSim() + "[device.a]\nmodel = Alta\nserial = REP-1\n");
        folder = std::make_unique<ProgramFolder>();
        QCOMPARE(camera()->initializeSDK(), 0);
        QCOMPARE(camera()->initializeORB(QStringLiteral("REP-1")), 0);
    }

    void cleanup()
    {
        (void)camera()->shutdownORB();
        (void)camera()->shutdownSDK();
        folder.reset();
        sim.reset();
    }

    void savesTheReportAsItsSerial()
    {
        BoxRecorder boxes;
        ReportSaving::run(*camera(), 0);
        QCOMPARE(boxes.shown(), QStringList({"Warning\tIt takes time to save. Please make sure you continue.",
                                             "Notice\tSave success"}));
        const QStringList files = reports(folder->path());
        QCOMPARE(files.size(), 1);
        QVERIFY2(QRegularExpression(R"(^SaveCameraParams/\d{4}(_\d\d){5}/REP-1\.txt$)").match(files[0]).hasMatch(),
                 qPrintable(files[0]));
        QFile file(folder->filePath(files[0]));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), CalibrationReport::read(*camera(), 0).text);
    }

    void noMeansNothing()
    {
        BoxRecorder boxes(QMessageBox::No);
        ReportSaving::run(*camera(), 0);
        QCOMPARE(boxes.boxes().size(), 1);
        QVERIFY(!QFileInfo::exists(folder->filePath("SaveCameraParams")));
    }

    // The serial number is the camera's to say, and a user may have written it.
    void aSerialStaysInItsFolder()
    {
        QCOMPARE(camera()->setSN("../../evil", 10), 0);
        BoxRecorder boxes;
        ReportSaving::run(*camera(), 0);
        const QStringList files = reports(folder->path());
        QCOMPARE(files.size(), 1);
        QVERIFY2(files[0].endsWith("/___.._evil.txt"), qPrintable(files[0]));
        QCOMPARE(ReportFile::fileNameFor(".."), QStringLiteral("__.txt"));
    }

    // A folder that cannot be made, or a full disk: said, and no half file.
    void failuresAreShown()
    {
        QFile blocker(folder->filePath("SaveCameraParams"));
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
        blocker.close();
        BoxRecorder boxes;
        ReportSaving::run(*camera(), 0);
        QCOMPARE(boxes.boxes().size(), 2);
        QCOMPARE(boxes.boxes().last().title, QStringLiteral("Warning"));
        QVERIFY2(boxes.boxes().last().text.startsWith("Save failed: " + folder->path() + "//SaveCameraParams//"),
                 qPrintable(boxes.boxes().last().text));
        QVERIFY(boxes.boxes().last().text.endsWith("/REP-1.txt"));
    }

    void aFullDisk()
    {
        const QByteArray full = qgetenv("SMALLFS_FULL");
        if (full.isEmpty())
            QSKIP("no small file system here");
        qputenv("LUMIDESK_HOME", full);
        QFile filler(QString::fromLocal8Bit(full) + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(64 * 1024, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        BoxRecorder boxes;
        ReportSaving::run(*camera(), 0);
        filler.remove();
        QCOMPARE(boxes.boxes().last().title, QStringLiteral("Warning"));
        QVERIFY(boxes.boxes().last().text.startsWith("Save failed: "));
        QVERIFY(reports(QString::fromLocal8Bit(full)).isEmpty());
    }

private:
    std::unique_ptr<SimConfigFile> sim;
    std::unique_ptr<ProgramFolder> folder;
};

QTEST_GUILESS_MAIN(ReportSavingTest)
#include "tst_reportsaving.moc"
