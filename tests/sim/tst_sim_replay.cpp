// A recording made by the program's own continuous save, played back by a virtual camera: the
// same frames, looping, only the kinds recorded, and a damaged set left out.
#include "camera/Control_Single.h"
#include "camera/sdk/quillon_api.h"
#include "pipeline/DisplaySwitches.h"
#include "pipeline/MyThread.h"
#include "sim/camera/Recording.h"
#include "support/SimConfigFile.h"
#include "support/StderrCapture.h"
#include "support/TestFiles.h"

#include <QtTest>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace {

// Small frames keep the recording quick; colour at 640x360.
const QByteArray recorder = fastSim() + "[device.rec]\nmodel = Alta\nserial = REC\ndepthWidth = 160\n"
                                        "depthHeight = 120\nrgbResolution = 3\n";

cv::Mat frameOf(SdkHandle h, FrameKind kind)
{
    SdkFrame frame{};
    if (Lx2_GetFrame(h, 0, kind, &frame) != 0 || !frame.frameData)
        return {};
    const int type = kind == RGBFrame || kind == MappedRGBFrame ? CV_8UC3 : CV_16UC1;
    return cv::Mat(frame.height, frame.width, type, frame.frameData).clone();
}

bool equal(const cv::Mat &a, const cv::Mat &b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

} // namespace

class SimReplayTest : public QObject
{
    Q_OBJECT

private slots:
    // Records through the frame reader's continuous save into the panel's folder names.
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        SaveTarget target;
        target.stamp = QStringLiteral("2024_05_06_07_08_09");
        target.rootDir = folder.path();
        target.dirDepth = folder.filePath("depth");
        target.dirRgb = folder.filePath("rgb");
        QDir().mkpath(target.dirDepth);
        QDir().mkpath(target.dirRgb);
        DisplaySwitches &sw = DisplaySwitches::instance();
        sw.resetToDefaults();
        sw.setSaveTarget(target);
        sw.continuousSave = true;
        sw.saveIndex = 1;
        {
            SimConfigFile config(recorder);
            Control_Single *control = Control_Single::getInstance();
            QCOMPARE(control->initializeSDK(), 0);
            QCOMPARE(control->initializeORB(QString()), 0);
            MyThread reader;
            reader.start();
            sw.saveState.storeRelease(1);
            reader.startReading();
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(folder.filePath("rgb/00000005.jpg")), 20000);
            reader.stopReading(); // a set being written is finished first
            sw.saveState = 3;
            reader.requestStop();
            QVERIFY(reader.wait(20000));
            (void)control->shutdownORB();
            (void)control->shutdownSDK();
        }
        sw.resetToDefaults();
        for (int n = 1; QFileInfo::exists(file("depth", n, "png")); ++n) {
            depths.push_back(cv::imread(file("depth", n, "png").toStdString(), cv::IMREAD_UNCHANGED));
            cv::Mat rgb;
            cv::cvtColor(cv::imread(file("rgb", n, "jpg").toStdString(), cv::IMREAD_UNCHANGED), rgb, cv::COLOR_BGR2RGB);
            rgbs.push_back(rgb);
        }
        QVERIFY(depths.size() >= 5);
    }

    void cleanup() { Lx2_Shutdown(); }

    void replayGivesTheRecordedFramesLooping_data()
    {
        QTest::addColumn<int>("damaged"); // the set whose depth file is cut off, 0: none
        QTest::newRow("whole recording") << 0;
        QTest::newRow("a damaged set") << 2;
    }

    void replayGivesTheRecordedFramesLooping()
    {
        QFETCH(int, damaged);
        if (damaged) {
            QByteArray png = readFile(file("depth", damaged, "png"));
            writeFile(file("depth", damaged, "png"), png.left(png.size() / 2));
        }
        const int count = int(depths.size());
        QList<int> seen;
        bool allEqual = true, othersAbsent = true;
        const QByteArray printed = stderrOf([&] {
            const SdkHandle h = open(fastSim() + "[device.play]\nmodel = Alta\nserial = PLAY\nreplay = " +
                                     QFile::encodeName(folder.path()) + "\n");
            if (!h)
                return;
            while (seen.size() < 2 * count + 2) {
                FrameReadyFlags flags = 0;
                if (Lx2_ReadNextFrame(h, 0, &flags) != 0)
                    break;
                const cv::Mat depth = frameOf(h, DepthFrame);
                const auto at =
                    std::find_if(depths.begin(), depths.end(), [&](const cv::Mat &d) { return equal(d, depth); });
                seen << (at == depths.end() ? -1 : int(at - depths.begin()) + 1);
                if (at != depths.end())
                    allEqual = allEqual && equal(frameOf(h, RGBFrame), rgbs[size_t(at - depths.begin())]);
                SdkFrame ir{};
                othersAbsent = othersAbsent && flags == (depthReady | rgbReady) &&
                               Lx2_GetFrame(h, 0, IRFrame, &ir) == LX2_E_NO_FRAME;
            }
        });
        QCOMPARE(seen.size(), 2 * count + 2);
        QVERIFY2(!seen.contains(-1) && allEqual, "a frame that was not recorded");
        QVERIFY(othersAbsent);
        // In recording order from the first set, around more than once; a slow reader may skip.
        QCOMPARE(seen.first(), 1);
        int wraps = 0;
        for (int i = 1; i < seen.size(); ++i)
            wraps += seen[i] <= seen[i - 1];
        QVERIFY2(wraps >= 1, qPrintable(QStringLiteral("sets %1").arg(toText(seen))));
        if (damaged) {
            QVERIFY(!seen.contains(damaged));
            QCOMPARE(printed.count("leaves out frame set"), 1);
            QVERIFY2(printed.contains(QStringLiteral("frame set %1").arg(damaged, 8, 10, QLatin1Char('0')).toUtf8()),
                     printed.constData());
        } else {
            QCOMPARE(QSet<int>(seen.begin(), seen.end()).size(), count);
        }
    }

    // The recorded rate comes from the files' times, unless they cannot be a camera's.
    void rateFromFileTimes_data()
    {
        QTest::addColumn<double>("step"); // seconds between two sets' files
        QTest::addColumn<double>("rate");
        QTest::newRow("4 per second") << 0.25 << 4.0;
        QTest::newRow("copied: one time for all") << 0.0 << 0.0;
        QTest::newRow("faster than any camera") << 0.001 << 0.0;
    }

    void rateFromFileTimes()
    {
        QFETCH(double, step);
        QFETCH(double, rate);
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath("depth"));
        for (int n = 1; n <= 3; ++n) {
            const QString path = dir.filePath(QStringLiteral("depth/%1.png").arg(n, 8, 10, QLatin1Char('0')));
            writeFile(path, "x");
            const double t = 1.7e9 + n * step;
            const timespec times[2] = {{time_t(t), long((t - time_t(t)) * 1e9)},
                                       {time_t(t), long((t - time_t(t)) * 1e9)}};
            QCOMPARE(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
        }
        sim::Recording recording;
        QVERIFY(sim::Recording::scan(QFile::encodeName(dir.path()).toStdString(), false, recording));
        QCOMPARE(recording.sets().size(), size_t(3));
        QVERIFY(qAbs(recording.recordedRate() - rate) < 1e-3);
    }

    // A Brio saves its registered depth and IR in the plain folders; names not of the saver's
    // form are no frame sets.
    void kindsByFolderAndModel_data()
    {
        QTest::addColumn<bool>("brio");
        QTest::addColumn<uint>("flags");
        QTest::newRow("Alta") << false << uint(depthReady | irReady | rgbReady | mappedDepthReady);
        QTest::newRow("Brio") << true << uint(mappedDepthReady | mappedIRReady | rgbReady);
    }

    void kindsByFolderAndModel()
    {
        QFETCH(bool, brio);
        QFETCH(uint, flags);
        QTemporaryDir dir;
        for (const char *name : {"depth/00000001.png", "ir/00000001.png", "rgb/00000001.jpg",
                                 "mappeddepth/00000001.png", "depth/1.png", "rgb/00000002.png", "depth/0000000x.png"}) {
            QDir().mkpath(QFileInfo(dir.filePath(name)).path());
            writeFile(dir.filePath(name), "x");
        }
        sim::Recording recording;
        QVERIFY(sim::Recording::scan(QFile::encodeName(dir.path()).toStdString(), brio, recording));
        QCOMPARE(recording.sets().size(), size_t(1));
        QCOMPARE(uint(recording.sets()[0].flags), flags);
    }

private:
    SdkHandle open(const QByteArray &ini)
    {
        config = std::make_unique<SimConfigFile>(ini);
        SdkHandle h = 0;
        if (Lx2_Initialize() != 0 || Lx2_OpenDevice("usb&2bc5&0401&PLAY&1-1", &h) != 0 || Lx2_StartStream(h, 0) != 0)
            return 0;
        return h;
    }

    QString file(const char *kind, int n, const char *extension) const
    {
        return folder.filePath(QStringLiteral("%1/%2.%3")
                                   .arg(QLatin1String(kind))
                                   .arg(n, 8, 10, QLatin1Char('0'))
                                   .arg(QLatin1String(extension)));
    }

    static QString toText(const QList<int> &list)
    {
        QStringList parts;
        for (int n : list)
            parts << QString::number(n);
        return parts.join(' ');
    }

    QTemporaryDir folder;
    std::vector<cv::Mat> depths, rgbs; // as recorded, colour R, G, B
    std::unique_ptr<SimConfigFile> config;
};

QTEST_GUILESS_MAIN(SimReplayTest)
#include "tst_sim_replay.moc"
