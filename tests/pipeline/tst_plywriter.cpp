// Point clouds as binary PLY, read back by PCL's own reader: values, colours, points without a
// measurement left out, the view's points in millimetres; failed writes leave no file.
#include "pipeline/PlyWriter.h"
#include "pipeline/PointCloudScene.h"
#include "support/TestFiles.h"

#include "camera/sdk/quillon_types.h"

#include <QtTest>

#include <climits>
#include <cmath>

using Floats = std::vector<float>;
using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Floats)
Q_DECLARE_METATYPE(Bytes)

namespace {

// What pcl_ply2pcd makes of the file: its "FIELDS" and "POINTS" lines, then one line a point
// ("x y z" or "x y z rgb", rgb packed 0xRRGGBB); empty when it refuses the file.
QByteArrayList readByPcl(const QString &ply)
{
    QProcess pcl;
    pcl.start(QStringLiteral("pcl_ply2pcd"), {"-format", "0", ply, ply + ".pcd"});
    if (!pcl.waitForFinished(60000) || pcl.exitStatus() != QProcess::NormalExit || pcl.exitCode() != 0)
        return {};
    QByteArrayList kept;
    bool data = false;
    for (const QByteArray &line : readFile(ply + ".pcd").split('\n')) {
        if (data)
            kept << line;
        else if (line.startsWith("FIELDS ") || line.startsWith("POINTS "))
            kept << line;
        data = data || line.startsWith("DATA ascii");
    }
    kept.removeAll(QByteArray());
    return kept;
}

} // namespace

class PlyWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void pclReadsItBack_data()
    {
        QTest::addColumn<Floats>("xyz");
        QTest::addColumn<Bytes>("rgb");
        QTest::addColumn<QByteArrayList>("read");
        const float nan = std::nanf(""), inf = INFINITY;
        QTest::newRow("without colour") << Floats{1, 2, 3, -4.5f, 0.25f, 60000} << Bytes{}
                                        << QByteArrayList{"FIELDS x y z", "POINTS 2", "1 2 3", "-4.5 0.25 60000"};
        QTest::newRow("with colour") << Floats{1, 2, 3, -4, 5, 6} << Bytes{255, 0, 16, 1, 2, 3}
                                     << QByteArrayList{"FIELDS x y z rgb", "POINTS 2", "1 2 3 16711696",
                                                       "-4 5 6 66051"};
        QTest::newRow("points without a measurement left out")
            << Floats{1, 1, 0, 2, 2, 800, 3, 3, 65535, nan, 0, 5, 0, inf, 5, 0, 0, -inf} << Bytes(18, 7)
            << QByteArrayList{"FIELDS x y z rgb", "POINTS 1", "2 2 800 460551"};
        QTest::newRow("an empty cloud") << Floats{} << Bytes{} << QByteArrayList{"FIELDS x y z", "POINTS 0"};
    }

    void pclReadsItBack()
    {
        QFETCH(Floats, xyz);
        QFETCH(Bytes, rgb);
        QFETCH(QByteArrayList, read);
        const QString path = dir.filePath(QTest::currentDataTag() + QStringLiteral(".ply"));
        QVERIFY(PlyWriter::save(path, xyz, rgb));
        QVERIFY(readFile(path).startsWith("ply\nformat binary_little_endian 1.0\nelement vertex "));
        QCOMPARE(readByPcl(path), read);
    }

    // The points the view draws, exported: their count, and bounds in millimetres.
    void viewsPointsInMillimetres()
    {
        cv::Mat depth(480, 640, CV_16UC1, cv::Scalar(1000));
        depth.colRange(0, 100).setTo(0);      // no measurement
        depth.rowRange(400, 480).setTo(2000); // beyond the upper limit
        PointCloudScene scene;
        scene.setSource(nullptr, 2, CameraIntrinsics{500, 250, 320, 240, 0, 0, 0, 0, 0, 0, 0, 0});
        scene.setFrames(depth, cv::Mat(), cv::Mat(480, 640, CV_8UC3, cv::Scalar(10, 20, 30)));
        PointCloudScene::Style style;
        style.pointCloudRgb = true;
        Floats xyz;
        Bytes rgb;
        QVERIFY(scene.cameraPoints(style, xyz, rgb));
        const QString path = dir.filePath("view.ply");
        QVERIFY(PlyWriter::save(path, xyz, rgb));
        const QByteArrayList read = readByPcl(path);
        // Rows 0, 2, ... 398; columns 100, 102, ... 638.
        QCOMPARE(read.mid(0, 2), QByteArrayList({"FIELDS x y z rgb", "POINTS 54000"}));
        QVector<int> low(3, INT_MAX), high(3, INT_MIN);
        for (const QByteArray &line : read.mid(2)) {
            const QByteArrayList v = line.split(' ');
            QCOMPARE(v.value(3), QByteArray::number((10 << 16) | (20 << 8) | 30));
            for (int k = 0; k < 3; ++k) {
                low[k] = std::min(low[k], qRound(v[k].toFloat()));
                high[k] = std::max(high[k], qRound(v[k].toFloat()));
            }
        }
        QCOMPARE(low, QVector<int>({-440, -960, 1000}));
        QCOMPARE(high, QVector<int>({636, 632, 1000}));
    }

    void failedSaveLeavesNoFile_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("points");
        QTest::addColumn<Bytes>("rgb");
        QTest::newRow("colours not one a point") << dir.path() << 2 << Bytes(4, 1);
        // Larger than the whole 4 MiB disk.
        QTest::newRow("full disk") << qEnvironmentVariable("SMALLFS_FULL") << 400000 << Bytes{};
        QTest::newRow("read-only folder") << qEnvironmentVariable("SMALLFS_READONLY") << 2 << Bytes{};
    }

    void failedSaveLeavesNoFile()
    {
        QFETCH(QString, folder);
        QFETCH(int, points);
        QFETCH(Bytes, rgb);
        if (folder.isEmpty())
            QSKIP("needs the file systems of tests/support/smallfs (a private mount namespace)");
        const QString path = folder + "/cloud.ply";
        QVERIFY(!PlyWriter::save(path, Floats(size_t(points) * 3, 500.0f), rgb));
        QVERIFY(!QFileInfo::exists(path));
    }

private:
    const QTemporaryDir dir;
};

QTEST_MAIN(PlyWriterTest)
#include "tst_plywriter.moc"
