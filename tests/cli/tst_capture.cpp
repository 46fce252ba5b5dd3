// lumidesk-cli capture run as a separate program against the virtual cameras; its files are
// checked against the frame reader's own saving and read back by independent readers.
#include "pipeline/FrameSaver.h"
#include "support/CliRun.h"
#include "support/SimConfigFile.h"
#include "support/TestFiles.h"

#include <QtTest>

#include <opencv2/imgcodecs.hpp>

#include <csignal>

namespace {

const QByteArray cameras = fastSim() + R"(
[device.alta]
model = Alta
serial = CAP-A
dataMode = 10
[device.unplugged]
model = Alta
serial = CAP-U
unplugAfterFrames = 12
[device.small]
model = Alta
serial = CAP-S
dataMode = 10
depthWidth = 160
depthHeight = 120
rgbResolution = 3
)";

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

// The counts of "read R, written W, dropped D"; empty when the line is not that.
QList<int> countsOf(const QString &out)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^read (\\d+), written (\\d+), dropped (\\d+)\n$")).match(out);
    return m.hasMatch() ? QList<int>{m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()}
                        : QList<int>{};
}

QStringList numbered(int count, const QString &extension)
{
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names << QStringLiteral("%1.%2").arg(i, 8, 10, QLatin1Char('0')).arg(extension);
    return names;
}

} // namespace

class CaptureTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        sim = std::make_unique<SimConfigFile>(cameras);
        outDir = std::make_unique<QTemporaryDir>();
    }
    void cleanup()
    {
        outDir.reset();
        sim.reset();
    }

    // Every set in the Continuous Save layout (in this data mode depth and IR come with every
    // other colour frame, numbered by their set); each depth file holds the bytes the reader's
    // saver writes for the frame it decodes to (16-bit PNG is lossless, so that is the frame).
    void capturesWhatThePanelSaves()
    {
        const Run run = cli({"capture", "CAP-A", "--frames", "30", "--out", out(), "--kinds", "depth,ir,rgb"});
        QCOMPARE(run.exit, 0);
        QCOMPARE(run.out, QStringLiteral("read 30, written 30, dropped 0\n"));
        QCOMPARE(filesIn(out("rgb")), numbered(30, "jpg"));
        const QStringList sets = numbered(30, "png");
        const QStringList depthFiles = filesIn(out("depth"));
        QCOMPARE(filesIn(out("ir")), depthFiles);
        // About every other set; fewer gaps when the reader is slower than the camera (a loaded
        // machine, a sanitizer build), so only the numbering is pinned.
        QVERIFY2(!depthFiles.isEmpty() && QSet<QString>(depthFiles.begin(), depthFiles.end())
                                              .subtract(QSet<QString>(sets.begin(), sets.end()))
                                              .isEmpty(),
                 qPrintable(depthFiles.join(' ')));

        QTemporaryDir reference;
        FrameSaver saver;
        for (const QString &name : {depthFiles.first(), depthFiles.last()}) {
            const QString path = out("depth/" + name);
            const cv::Mat depth = cv::imread(path.toStdString(), cv::IMREAD_UNCHANGED);
            QCOMPARE(depth.type(), CV_16UC1);
            QCOMPARE(depth.cols, 640);
            QCOMPARE(depth.rows, 480);
            QString failed;
            QVERIFY(saver.writeImage(depth, reference.path(), false, name.left(8).toInt(), failed));
            QCOMPARE(readFile(path), readFile(reference.filePath(name)));
        }
        const cv::Mat colour = cv::imread(out("rgb/00000030.jpg").toStdString(), cv::IMREAD_UNCHANGED);
        QCOMPARE(colour.type(), CV_8UC3);
        QCOMPARE(cv::imread(out("ir/" + depthFiles.last()).toStdString(), cv::IMREAD_UNCHANGED).type(), CV_16UC1);
    }

    // Ten seconds at 30 sets a second: what the counts say is on disk, and the status says
    // whether any set was dropped. Depth and IR come with every other set, by its number.
    void countsAreTheFilesOnDisk()
    {
        const Run run = cli({"capture", "CAP-S", "--frames", "300", "--out", out(), "--kinds", "depth,ir,rgb"});
        const QList<int> counts = countsOf(run.out);
        QVERIFY2(counts.size() == 3, qPrintable(run.out + run.err));
        const int read = counts[0], written = counts[1], dropped = counts[2];
        QCOMPARE(read, 300);
        QCOMPARE(written + dropped, read);
        QCOMPARE(run.exit, dropped == 0 ? 0 : 1);
        const QStringList colour = filesIn(out("rgb"));
        QCOMPARE(colour.size(), written);
        const QStringList depth = filesIn(out("depth"));
        QCOMPARE(filesIn(out("ir")), depth);
        QVERIFY2(qAbs(depth.size() - 150) <= dropped + 1, qPrintable(QString::number(depth.size())));
        const QSet<QString> colourSets(colour.begin(), colour.end());
        for (const QString &name : depth)
            QVERIFY2(colourSets.contains(name.left(8) + ".jpg"), qPrintable(name));
        if (dropped == 0)
            QCOMPARE(colour, numbered(300, "jpg"));
    }

    // A capture replayed as a camera and captured again: every depth and IR file is one of the
    // recording's, byte for byte, with its IR beside it. Colour is JPEG, encoded a second time,
    // so it is compared as decoded within a small tolerance.
    void replayedCaptureGivesTheRecordedFrames()
    {
        const QStringList kinds{"--kinds", "depth,ir,rgb"};
        QCOMPARE(cli(QStringList{"capture", "CAP-S", "--frames", "20", "--out", out("rec")} + kinds).exit, 0);
        sim = std::make_unique<SimConfigFile>(cameras + "[device.replay]\nmodel = Alta\nserial = CAP-R\nreplay = " +
                                              QFile::encodeName(out("rec")) + "\n");
        const Run run = cli(QStringList{"capture", "CAP-R", "--frames", "20", "--out", out("again")} + kinds);
        QVERIFY2(run.exit == 0, qPrintable(run.err));

        QHash<QByteArray, QString> recorded; // depth file bytes -> set number
        for (const QString &name : filesIn(out("rec/depth")))
            recorded.insert(readFile(out("rec/depth/" + name)), name.left(8));
        const QStringList replayed = filesIn(out("again/depth"));
        QVERIFY2(replayed.size() >= 8, qPrintable(replayed.join(' ')));
        for (const QString &name : replayed) {
            const QString set = recorded.value(readFile(out("again/depth/" + name)));
            QVERIFY2(!set.isEmpty(), qPrintable("depth " + name + " was not recorded"));
            QCOMPARE(readFile(out("again/ir/" + name)), readFile(out("rec/ir/" + set + ".png")));
            const cv::Mat before = cv::imread(out("rec/rgb/" + set + ".jpg").toStdString());
            const cv::Mat after = cv::imread(out("again/rgb/" + name.left(8) + ".jpg").toStdString());
            QVERIFY(!before.empty() && before.size() == after.size());
            QVERIFY2(cv::norm(before, after, cv::NORM_L1) / before.total() / 3 < 2.0, qPrintable(name));
        }
    }

    // The PLY of each set is what PCL reads, with the points of the set's text cloud.
    void plyIsReadByPcl()
    {
        const Run run = cli({"capture", "CAP-A", "--frames", "2", "--out", out(), "--kinds", "pointcloud", "--ply"});
        QCOMPARE(run.exit, 0);
        QCOMPARE(filesIn(out("pointcloud")),
                 QStringList({"00000001.ply", "00000001.txt", "00000002.ply", "00000002.txt"}));
        const QString ply = out("pointcloud/00000002.ply");
        QProcess pcl;
        pcl.start(QStringLiteral("pcl_ply2pcd"), {"-format", "0", ply, ply + ".pcd"});
        QVERIFY(pcl.waitForFinished(60000));
        QCOMPARE(pcl.exitCode(), 0);
        const int lines = readFile(out("pointcloud/00000002.txt")).count('\n');
        QVERIFY(lines > 1000);
        QVERIFY(readFile(ply + ".pcd").contains(QByteArray("\nPOINTS ") + QByteArray::number(lines) + '\n'));
    }

    void refusesBadArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("no frames") << QStringList{"--out", "OUT"} << "needs --frames";
        QTest::newRow("no sets") << QStringList{"--frames", "0", "--out", "OUT"} << "1 or more";
        QTest::newRow("not a number") << QStringList{"--frames", "ten", "--out", "OUT"} << "1 or more";
        QTest::newRow("no folder") << QStringList{"--frames", "3"} << "needs --out";
        QTest::newRow("unknown kind") << QStringList{"--frames", "3", "--out", "OUT", "--kinds", "depth,heat"}
                                      << "unknown kind \"heat\"";
        QTest::newRow("folder under a file")
            << QStringList{"--frames", "3", "--out", "FILE/sub"} << "cannot write into the folder";
    }
    void refusesBadArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QFile file(out("file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        arguments.replaceInStrings("FILE", file.fileName());
        arguments.replaceInStrings("OUT", out("sets"));
        const Run run = cli(QStringList{"capture", "CAP-A"} + arguments);
        QCOMPARE(run.exit, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(out("sets/depth")));
    }

    // In data mode 0 this camera sends no IR: a capture that asks for it fails, naming it.
    void kindNotSentFails()
    {
        const Run run = cli({"capture", "CAP-U", "--frames", "3", "--out", out(), "--kinds", "depth,ir"});
        QCOMPARE(run.exit, 1);
        QVERIFY2(run.err.contains("no frame of ir arrived"), qPrintable(run.err));
        QCOMPARE(filesIn(out("depth")).size(), 3);
    }

    // The camera goes after 12 sets: the capture stops with the counts, and every file written
    // decodes whole.
    void unpluggedCameraKeepsWhatWasWritten()
    {
        const Run run = cli({"capture", "CAP-U", "--frames", "30", "--out", out(), "--kinds", "depth,rgb"});
        QCOMPARE(run.exit, 1);
        QCOMPARE(run.out, QStringLiteral("read 12, written 12, dropped 0\n"));
        QVERIFY2(run.err.contains("camera was lost after 12"), qPrintable(run.err));
        for (const char *kind : {"depth", "rgb"}) {
            const QStringList files = filesIn(out(kind));
            QCOMPARE(files, numbered(12, kind == QLatin1String("rgb") ? "jpg" : "png"));
            for (const QString &name : files)
                QVERIFY2(!cv::imread(out(QString(kind) + '/' + name).toStdString(), cv::IMREAD_UNCHANGED).empty(),
                         qPrintable(name));
        }
    }

    // Ctrl-C: the sets read are written whole and counted, and the status says interrupted.
    void interruptFinishesWhatWasRead()
    {
        QProcess process;
        process.start(QStringLiteral(LUMIDESK_CLI),
                      {"capture", "CAP-A", "--frames", "100000", "--out", out(), "--kinds", "depth"});
        QTRY_VERIFY_WITH_TIMEOUT(filesIn(out("depth")).size() >= 5, 20000);
        QCOMPARE(::kill(pid_t(process.processId()), SIGINT), 0);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        const QStringList files = filesIn(out("depth"));
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()),
                 QStringLiteral("read %1, written %1, dropped 0\n").arg(files.size()));
        QCOMPARE(files, numbered(files.size(), "png"));
        QVERIFY(!cv::imread(out("depth/" + files.last()).toStdString(), cv::IMREAD_UNCHANGED).empty());
    }

private:
    std::unique_ptr<SimConfigFile> sim;
    std::unique_ptr<QTemporaryDir> outDir;
    QString out(const QString &name = {}) const { return outDir->filePath(name); }
};

QTEST_MAIN(CaptureTest)
#include "tst_capture.moc"
