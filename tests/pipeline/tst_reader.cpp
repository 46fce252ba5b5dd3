// The frame reader against the virtual camera: which frames it keeps, and the files a save
// request leaves on disk.
#include "camera/Control_Single.h"
#include "camera/sdk/quillon_api.h"
#include "pipeline/DisplaySwitches.h"
#include "pipeline/FrameSet.h"
#include "pipeline/LinkWatch.h"
#include "pipeline/MyThread.h"
#include "support/LogCapture.h"
#include "support/SimConfigFile.h"
#include "support/TestFiles.h"

#include <QStorageInfo>
#include <QtTest>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray alta = fastSim() + "[device.alta]\nmodel = Alta\n";

bool equal(const cv::Mat &a, const cv::Mat &b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

// Fills the file system of folder with a real file until exactly free bytes are left.
bool fillUpTo(const QString &folder, qint64 free)
{
    const qint64 available = QStorageInfo(folder).bytesAvailable();
    QFile filler(folder + QStringLiteral("/filler"));
    if (available < free || !filler.open(QIODevice::WriteOnly))
        return false;
    const QByteArray block(4096, 'x');
    for (qint64 left = available - free; left > 0; left -= block.size())
        if (filler.write(block.constData(), qMin<qint64>(left, block.size())) <= 0)
            return false;
    filler.close();
    return QStorageInfo(folder).bytesAvailable() == free;
}

// The size of image as a saved PNG file.
size_t pngSize(const cv::Mat &image)
{
    std::vector<uchar> png;
    cv::imencode(".png", image, png, {cv::IMWRITE_PNG_COMPRESSION, 0});
    return png.size();
}

// A saved image that is there and whole.
bool whole(const QString &path)
{
    return !cv::imread(QFile::encodeName(path).toStdString(), cv::IMREAD_UNCHANGED).empty();
}

// Everything still to come from a pipe, until its writer closes it.
QByteArray drain(int fd)
{
    ::fcntl(fd, F_SETFL, 0);
    QByteArray all;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            all.append(buffer, int(n));
        else if (n == 0 || errno != EINTR)
            return all;
    }
}

} // namespace

class ReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        sw.resetToDefaults();
        log = std::make_unique<LogCapture>();
        saveRoot = std::make_unique<QTemporaryDir>();
        SaveTarget target;
        target.stamp = QStringLiteral("2024_05_06_07_08_09");
        target.rootDir = saveRoot->path();
        QString *dirs[] = {&target.dirDepth,     &target.dirIr,          &target.dirRgb,     &target.dirWdrDepth,
                           &target.dirMappedRgb, &target.dirMappedDepth, &target.dirMappedIr};
        const char *names[] = {"Depth", "IR", "RGB", "WDRDepth", "MappedRGB", "MappedDepth", "MappedIR"};
        for (int i = 0; i < 7; ++i) {
            *dirs[i] = saveRoot->filePath(QLatin1String(names[i]));
            QDir().mkpath(*dirs[i]);
        }
        sw.setSaveTarget(target);
    }

    void cleanup()
    {
        if (reader) {
            reader->stopReading();
            reader->requestStop();
            QVERIFY(reader->wait(20000));
            reader.reset();
        }
        (void)control->shutdownORB();
        (void)control->shutdownSDK();
        sw.resetToDefaults();
        log.reset();
        const QString full = qEnvironmentVariable("SMALLFS_FULL");
        if (!full.isEmpty())
            for (const QFileInfo &entry : QDir(full).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot))
                entry.isDir() ? QDir(entry.filePath()).removeRecursively() : QFile::remove(entry.filePath());
    }

    void wdrSetWithoutWdrDepthKeepsThePreviousDepth()
    {
        open(alta + "dataMode = 11\n");
        sw.appliedDataMode = 11;
        FrameSet f;
        QVERIFY(nextSet(f));
        QVERIFY(!f.depth.empty()); // WDR depth while the camera delivers it
        // The camera switches to plain depth from the WDR ranges: no more WDR depth arrives.
        QCOMPARE(control->setWDRStyle(1), 0);
        // Up to two sets may still be from before the switch: one stored, one read but not yet
        // stored.
        QVERIFY(nextSet(f));
        QVERIFY(nextSet(f));
        const cv::Mat kept = f.depth.clone();
        const cv::Mat rgb = f.rgb.clone();
        for (int i = 0; i < 3; ++i) {
            QVERIFY(nextSet(f));
            QVERIFY(equal(f.depth, kept));
        }
        QVERIFY(!equal(f.rgb, rgb)); // the sets kept coming
        // With the data mode no longer WDR, plain depth is taken again (and carries fresh noise).
        sw.appliedDataMode = 0;
        QVERIFY(nextSet(f));
        QVERIFY(nextSet(f));
        QVERIFY(!equal(f.depth, kept));
    }

    void continuousSaveNumbersEveryCycleAndWraps()
    {
        open(alta);
        sw.showRgb = false; // depth only: quick cycles
        sw.showPointCloud = true;
        sw.continuousSave = true;
        sw.saveIndex = 99999998;
        sw.saveState.storeRelease(1);
        QTRY_VERIFY_WITH_TIMEOUT(filesIn("Depth").contains("00000002.png"), 20000);
        sw.saveState = 3;
        reader->stopReading();

        const QStringList names = filesIn("Depth");
        QCOMPARE(names.mid(names.size() - 2), QStringList({"99999998.png", "99999999.png"}));
        for (int i = 0; i < names.size() - 2; ++i) // 00000000 onwards, no gaps
            QCOMPARE(names.at(i), QStringLiteral("%1.png").arg(i, 8, 10, QLatin1Char('0')));
        QCOMPARE(int(sw.saveIndex), names.size() - 2);
        QVERIFY(QDir(saveRoot->path()).entryList({"PointCloud_*"}).isEmpty());
        QCOMPARE(int(sw.saveState), 3); // never reported as a finished single save
    }

    // A single save with the point cloud off. The first four fetches (depth and colour of two
    // sets) fail: those cycles deliver nothing to save.
    void singleSaveWaitsForACycleThatSaves()
    {
        sw.saveState.storeRelease(1);
        open(alta + "[faults]\nLx2_GetFrame = -9 times 4\n");
        QTRY_COMPARE_WITH_TIMEOUT(int(sw.saveState), 2, 20000);
        QCOMPARE(LogCapture::snapshot().filter("Lx2_GetFrame").size(), 4);
        QCOMPARE(filesIn("Depth"), QStringList("00000001.png"));
        QCOMPARE(filesIn("RGB"), QStringList("00000001.jpg"));
        for (const char *other : {"IR", "WDRDepth", "MappedRGB", "MappedDepth", "MappedIR"})
            QVERIFY2(filesIn(other).isEmpty(), other);
        QVERIFY(QDir(saveRoot->path()).entryList({"PointCloud_*"}).isEmpty());
        QCOMPARE(int(sw.saveIndex), 1);
        QVERIFY(sw.takeSaveReport().failedPath.isEmpty());
    }

    // Depth is read for every save and IR for the point cloud, but neither was shown when the save
    // was asked for: the set has no folder for them, and nothing of them is written anywhere.
    void kindWithoutAFolderInTheSetIsNotSaved()
    {
        SaveTarget target = sw.saveTarget();
        target.dirDepth.clear();
        target.dirIr.clear();
        sw.setSaveTarget(target);
        sw.showDepth = false;
        sw.showPointCloud = true;
        open(alta + "dataMode = 10\n"); // depth and IR at 15 fps, colour at 30
        FrameSet f;
        for (int i = 0; i < 6 && f.ir.empty(); ++i)
            QVERIFY(nextSet(f));
        QVERIFY(!f.ir.empty()); // read for the point cloud
        sw.saveState.storeRelease(1);
        QTRY_COMPARE_WITH_TIMEOUT(int(sw.saveState), 2, 20000);
        QVERIFY(sw.takeSaveReport().failedPath.isEmpty());
        QCOMPARE(filesIn("RGB"), QStringList("00000001.jpg"));
        QVERIFY(filesIn("Depth").isEmpty() && filesIn("IR").isEmpty());
        QVERIFY(!QFileInfo::exists(QStringLiteral("/00000001.png")));
    }

    void brioSavesOnlyWholeMappedSets_data()
    {
        QTest::addColumn<bool>("mappedDepth");
        QTest::addColumn<bool>("mappedIr");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("mapped depth without mapped IR: nothing") << true << false << QStringList();
        QTest::newRow("mapped depth and IR with colour: the set")
            << true << true << QStringList({"MappedDepth/00000001.png", "MappedIR/00000001.png", "RGB/00000001.jpg"});
        QTest::newRow("no mapped kind shown: colour alone") << false << false << QStringList("RGB/00000001.jpg");
    }

    void brioSavesOnlyWholeMappedSets()
    {
        QFETCH(bool, mappedDepth);
        QFETCH(bool, mappedIr);
        QFETCH(QStringList, files);
        sw.showMappedDepth = mappedDepth;
        sw.showMappedIr = mappedIr;
        open(fastSim() + "[device.brio]\nmodel = Brio\n");
        sw.saveState.storeRelease(1);
        if (files.isEmpty()) {
            FrameSet f;
            for (int i = 0; i < 8; ++i) // depth comes at half the colour rate: cover both kinds of set
                QVERIFY(nextSet(f));
            QVERIFY(!f.mappedDepth.empty() && !f.rgb.empty());
            QCOMPARE(int(sw.saveState), 1);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(int(sw.saveState), 2, 20000);
        }
        QStringList written;
        for (const char *folder : {"Depth", "IR", "RGB", "MappedDepth", "MappedIR", "MappedRGB"})
            for (const QString &name : filesIn(folder))
                written << QStringLiteral("%1/%2").arg(QLatin1String(folder), name);
        written.sort();
        QCOMPARE(written, files);
    }

    void savedFilesHoldTheFramesAndThePointCloud()
    {
        // Exactly one frame set arrives, so the kept frames are the ones saved.
        sw.showMappedRgb = true;
        sw.showPointCloud = true;
        sw.saveState.storeRelease(1);
        open(alta + "mapDepthToRgb = yes\n[faults]\nLx2_ReadNextFrame = -7 after 1\n");
        QTRY_COMPARE_WITH_TIMEOUT(int(sw.saveState), 2, 20000);
        FrameSet f;
        QVERIFY(nextSet(f));
        QVERIFY(!f.depth.empty() && !f.rgb.empty() && !f.mappedRgb.empty());

        const auto read = [&](const char *path) {
            return cv::imread(QFile::encodeName(saveRoot->filePath(QLatin1String(path))).toStdString(),
                              cv::IMREAD_UNCHANGED);
        };
        // 16-bit files with the raw values.
        QVERIFY(equal(read("Depth/00000001.png"), f.depth));
        // Colour files hold B, G, R, so that viewers show true colours.
        cv::Mat bgr;
        cv::cvtColor(f.mappedRgb, bgr, cv::COLOR_RGB2BGR);
        QVERIFY(equal(read("MappedRGB/00000001.png"), bgr));
        cv::cvtColor(f.rgb, bgr, cv::COLOR_RGB2BGR);
        const cv::Mat jpeg = read("RGB/00000001.jpg");
        QCOMPARE(jpeg.size(), f.rgb.size());
        const double trueColours = cv::norm(jpeg, bgr, cv::NORM_L1) / double(jpeg.total() * 3);
        const double swapped = cv::norm(jpeg, f.rgb, cv::NORM_L1) / double(jpeg.total() * 3);
        QVERIFY2(trueColours < 2.0 && swapped > 5 * trueColours,
                 qPrintable(QStringLiteral("mean error %1, swapped %2").arg(trueColours).arg(swapped)));

        // The point cloud: x, y, z per line, CR LF; z in pixel order is the depth, without 0 and 65535.
        QStringList zs, depths;
        for (const QByteArray &line : readFile(saveRoot->filePath("PointCloud_2024_05_06_07_08_09.txt")).split('\n')) {
            const QList<QByteArray> numbers = line.split('\t');
            QVERIFY2(line.isEmpty() || (numbers.size() == 3 && line.endsWith('\r')), line.constData());
            if (!line.isEmpty())
                zs << QString::number(numbers[2].chopped(1).toFloat());
        }
        for (int i = 0; i < int(f.depth.total()); ++i)
            if (const uint16_t d = f.depth.at<uint16_t>(i); d != 0 && d != 65535)
                depths << QString::number(float(d));
        QCOMPARE(zs, depths);
    }

    void lossNeedsAGoneCameraOrLastingFailures()
    {
        using namespace std::chrono;
        const LinkWatch::Clock::time_point t0{};
        struct Read
        {
            SdkStatus status;
            int ms;
            bool lost;
        };
        const std::vector<std::vector<Read>> runs = {
            {{LX2_E_DEVICE_GONE, 0, true}, {LX2_E_DEVICE_GONE, 1, false}}, // once only
            {{LX2_E_INVALID_DEVICE, 0, true}},
            // Time-outs are standby, a waiting slave or a dropped set: never a loss.
            {{LX2_E_TIMEOUT, 0, false}, {LX2_E_TIMEOUT, 60000, false}},
            {{LX2_E_FAILED, 0, false}, {LX2_E_FAILED, 1999, false}, {LX2_E_FAILED, 2000, true}},
            // One good read starts the grace afresh.
            {{LX2_E_FAILED, 0, false},
             {LX2_OK, 1500, false},
             {LX2_E_FAILED, 1600, false},
             {LX2_E_FAILED, 3500, false},
             {LX2_E_NOT_STREAMING, 3600, true}},
        };
        for (const std::vector<Read> &run : runs) {
            LinkWatch watch;
            for (const Read &r : run)
                QCOMPARE(watch.lostAfter(r.status, t0 + milliseconds(r.ms)), r.lost);
            watch.reset();
            QCOMPARE(watch.lostAfter(LX2_E_DEVICE_GONE, t0 + milliseconds(90000)), true);
        }
    }

    void lostCameraIsReportedOnceAndNoLongerRead_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("status");
        QTest::newRow("unplugged") << alta + "unplugAfterFrames = 3\n" << int(LX2_E_DEVICE_GONE);
        QTest::newRow("reads fail for good") << alta + "[faults]\nLx2_ReadNextFrame = -1 after 3\n" << -1;
        QTest::newRow("sets dropped now and then") << alta + "dropEvery = 2\n" << 0;
    }

    void lostCameraIsReportedOnceAndNoLongerRead()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, status);
        open(ini);
        QSignalSpy lost(reader.get(), &MyThread::cameraLost);
        FrameSet f;
        if (status == 0) {
            for (int i = 0; i < 20; ++i)
                QVERIFY(nextSet(f));
            QCOMPARE(lost.count(), 0);
            QVERIFY(reader->isReading());
            return;
        }
        QVERIFY(lost.wait(10000));
        QCOMPARE(lost.takeFirst().at(0).toInt(), status);
        QVERIFY(!reader->isReading());
        QVERIFY(!lost.wait(300)); // reported once
    }

    // The user stops a continuous run while one of its sets is being written: that cycle still
    // belongs to the run and never ends as a single save (notice and point cloud). The depth file
    // is a pipe, so the reader's writing waits for this test.
    void stopWhileASetIsWrittenNeverEndsAsASingleSave()
    {
        const QByteArray pipe = QFile::encodeName(saveRoot->filePath("Depth/00000001.png"));
        QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
        const int fd = ::open(pipe.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        open(alta);
        sw.showRgb = false;
        sw.showPointCloud = true;
        sw.continuousSave = true;
        sw.saveState.storeRelease(1);
        pollfd writing{fd, POLLIN, 0};
        const bool started = ::poll(&writing, 1, 20000) == 1;
        sw.stopSave(); // as the panel does when "Continuous Save" is unticked
        const QByteArray png = drain(fd);
        ::close(fd);
        QVERIFY(started);
        FrameSet f;
        QVERIFY(nextSet(f)); // waits for the cycle that wrote the set

        QVERIFY(!cv::imdecode(std::vector<uchar>(png.begin(), png.end()), cv::IMREAD_UNCHANGED).empty());
        QCOMPARE(int(sw.saveState), 3);
        QVERIFY(sw.takeSaveReport().failedPath.isEmpty());
        QVERIFY(QDir(saveRoot->path()).entryList({"PointCloud_*"}).isEmpty());
    }

    // A disk that fills up during a single save: the depth file and the point cloud that do not
    // fit are removed, not left cut off, and the save is reported as failed; what fits is whole.
    void fullDiskLeavesNoCutFile()
    {
        const QString full = qEnvironmentVariable("SMALLFS_FULL");
        if (full.isEmpty())
            QSKIP("needs the full disk of tests/support/smallfs (a private mount namespace)");
        open(alta);
        FrameSet f;
        QVERIFY(nextSet(f));
        // Room for all of the depth file but its last part: only the final flush can fail.
        QVERIFY(QDir(full).mkpath("depth"));
        QVERIFY(fillUpTo(full, qint64(pngSize(f.depth)) / 4096 * 4096));
        retarget(saveRoot->path(), full + "/depth", saveRoot->filePath("RGB"));
        sw.saveState.storeRelease(1);
        QTRY_COMPARE_WITH_TIMEOUT(int(sw.saveState), 2, 20000);
        QCOMPARE(sw.takeSaveReport().failureText(), "Save failed: " + full + "/depth/00000001.png");
        QVERIFY(!QFileInfo::exists(full + "/depth/00000001.png"));
        QVERIFY(whole(saveRoot->filePath("RGB/00000001.jpg")));

        // The point cloud, larger than the whole disk, goes the same way.
        retarget(full, saveRoot->filePath("Depth"), saveRoot->filePath("RGB"));
        sw.showPointCloud = true;
        sw.saveState.storeRelease(1);
        QTRY_COMPARE_WITH_TIMEOUT(int(sw.saveState), 2, 20000);
        const QString cloud = full + "/PointCloud_2024_05_06_07_08_09.txt";
        QCOMPARE(sw.takeSaveReport().failureText(), "Save failed: " + cloud);
        QVERIFY(!QFileInfo::exists(cloud));
        QVERIFY(whole(saveRoot->filePath("Depth/00000001.png")));
    }

    // Room for three and a half depth files: a continuous run writes three whole sets, stops at
    // the fourth and reports both counts.
    void fullDiskEndsAContinuousRun()
    {
        const QString full = qEnvironmentVariable("SMALLFS_FULL");
        if (full.isEmpty())
            QSKIP("needs the full disk of tests/support/smallfs (a private mount namespace)");
        open(alta);
        sw.showRgb = false;
        FrameSet f;
        QVERIFY(nextSet(f));
        const qint64 pages = (qint64(pngSize(f.depth)) + 4095) / 4096 * 4096; // as the file system counts
        QVERIFY(QDir(full).mkpath("depth"));
        QVERIFY(fillUpTo(full, 3 * pages + pages / 2 / 4096 * 4096));
        retarget(full, full + "/depth", saveRoot->filePath("RGB"));

        sw.continuousSave = true;
        sw.saveState.storeRelease(1);
        QTRY_COMPARE_WITH_TIMEOUT(int(sw.saveState), 2, 20000);
        const QString failed = full + "/depth/00000004.png";
        QCOMPARE(sw.takeSaveReport().failureText(), "Save failed: " + failed + "\n3 sets written, 1 failed");
        QCOMPARE(QDir(full + "/depth").entryList(QDir::Files, QDir::Name),
                 QStringList({"00000001.png", "00000002.png", "00000003.png"}));
        for (const QString &name : QDir(full + "/depth").entryList(QDir::Files))
            QVERIFY2(whole(full + "/depth/" + name), qPrintable(name));
        QVERIFY(nextSet(f));
        QVERIFY(nextSet(f)); // the run has ended: no more files
        QCOMPARE(QDir(full + "/depth").entryList(QDir::Files).size(), 3);
        QCOMPARE(int(sw.saveState), 2);
    }

    void readOnlyFolderIsReported_data()
    {
        QTest::addColumn<bool>("continuous");
        QTest::addColumn<QString>("secondLine");
        QTest::newRow("single save") << false << QString();
        QTest::newRow("continuous save") << true << QStringLiteral("\n0 sets written, 1 failed");
    }

    void readOnlyFolderIsReported()
    {
        QFETCH(bool, continuous);
        QFETCH(QString, secondLine);
        const QString readOnly = qEnvironmentVariable("SMALLFS_READONLY");
        if (readOnly.isEmpty())
            QSKIP("needs the read-only folder of tests/support/smallfs (a private mount namespace)");
        retarget(readOnly, readOnly, readOnly);
        sw.continuousSave = continuous;
        open(alta);
        sw.saveState.storeRelease(1);
        QTRY_COMPARE_WITH_TIMEOUT(int(sw.saveState), 2, 20000);
        QCOMPARE(sw.takeSaveReport().failureText(), "Save failed: " + readOnly + "/00000001.png" + secondLine);
        QVERIFY(QDir(readOnly).isEmpty());
    }

private:
    // Opens the first camera of the configuration and starts reading.
    void open(const QByteArray &ini)
    {
        Lx2_Shutdown();
        config = std::make_unique<SimConfigFile>(ini);
        QCOMPARE(control->initializeSDK(), 0);
        QCOMPARE(control->initializeORB(QString()), 0);
        reader = std::make_unique<MyThread>();
        reader->start();
        reader->startReading();
    }

    // Takes the next frame set the reader stores (every kind), waiting up to 10 s.
    bool nextSet(FrameSet &f)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            if (reader->takeFrames(true, f.depth, true, f.ir, true, f.rgb, true, f.mappedRgb, true, f.mappedDepth, true,
                                   f.mappedIr))
                return true;
            QTest::qWait(5);
        }
        return false;
    }

    QStringList filesIn(const QString &folder) const
    {
        return QDir(saveRoot->filePath(folder)).entryList(QDir::Files, QDir::Name);
    }

    // Moves the save set's root, depth and colour folders.
    void retarget(const QString &root, const QString &depth, const QString &rgb)
    {
        SaveTarget target = sw.saveTarget();
        target.rootDir = root;
        target.dirDepth = depth;
        target.dirRgb = rgb;
        sw.setSaveTarget(target);
    }

    std::unique_ptr<LogCapture> log; // the reader logs its failures
    std::unique_ptr<SimConfigFile> config;
    std::unique_ptr<QTemporaryDir> saveRoot;
    std::unique_ptr<MyThread> reader;
    Control_Single *control = Control_Single::getInstance();
    DisplaySwitches &sw = DisplaySwitches::instance();
};

QTEST_GUILESS_MAIN(ReaderTest)
#include "tst_reader.moc"
