// Which frame kinds the display switches ask for, and how a frame set is handed over.
#include "pipeline/AlgoThread.h"
#include "pipeline/DisplaySwitches.h"
#include "pipeline/FrameKinds.h"
#include "pipeline/FrameSet.h"

#include <QtTest>

namespace {

const char *const kindNames[] = {"depth", "ir", "rgb", "mrgb", "mdepth", "mir"};

bool &flag(FrameKinds &k, int i)
{
    bool *flags[] = {&k.depth, &k.ir, &k.rgb, &k.mappedRgb, &k.mappedDepth, &k.mappedIr};
    return *flags[i];
}

cv::Mat &mat(FrameSet &s, int i)
{
    cv::Mat *mats[] = {&s.depth, &s.ir, &s.rgb, &s.mappedRgb, &s.mappedDepth, &s.mappedIr};
    return *mats[i];
}

// The kinds as words, so that a failing row reads as words.
QString words(FrameKinds k)
{
    QStringList list;
    for (int i = 0; i < 6; ++i)
        if (flag(k, i))
            list << QLatin1String(kindNames[i]);
    return list.join(QLatin1Char(' '));
}

// Six frames told apart by size and value; base shifts the values.
FrameSet distinctFrames(int base)
{
    FrameSet s;
    for (int i = 0; i < 6; ++i)
        mat(s, i) = cv::Mat(4 + i, 6, i == 2 || i == 3 ? CV_8UC3 : CV_16UC1, cv::Scalar::all(base + i));
    return s;
}

bool same(const cv::Mat &a, const cv::Mat &b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

} // namespace

class FrameKindsTest : public QObject
{
    Q_OBJECT

private slots:
    void switchesDecideTheKinds_data()
    {
        QTest::addColumn<QStringList>("on");
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("fetched");
        const auto row = [](const char *name, const char *on, const char *wanted, const char *fetched) {
            QTest::newRow(name) << QString::fromLatin1(on).split(QLatin1Char(' '), Qt::SkipEmptyParts)
                                << QString::fromLatin1(wanted) << QString::fromLatin1(fetched);
        };
        row("start-up", "start-up", "depth rgb", "depth rgb");
        row("nothing shown", "", "", "depth");
        row("depth alone", "showDepth", "depth", "depth");
        row("IR alone", "showIr", "ir", "depth ir");
        row("colour alone", "showRgb", "rgb", "depth rgb");
        row("mapped colour", "showMappedRgb", "mrgb", "depth mrgb");
        row("mapped depth", "showMappedDepth", "mdepth", "depth mdepth");
        row("mapped IR", "showMappedIr", "mir", "depth mir");
        // The point cloud takes depth and IR (its grey colouring) from the camera too.
        row("point cloud", "showPointCloud", "depth ir", "depth ir");
        row("colour switch before the cloud is on", "pointCloudRgb", "mrgb", "depth mrgb");
    }

    // Through the shared switches, so that each one is read into its own place.
    void switchesDecideTheKinds()
    {
        QFETCH(QStringList, on);
        QFETCH(QString, wanted);
        QFETCH(QString, fetched);
        DisplaySwitches &sw = DisplaySwitches::instance();
        sw.resetToDefaults();
        if (on != QStringList{QStringLiteral("start-up")}) {
            Shared<bool> *flags[] = {&sw.showDepth,       &sw.showIr,       &sw.showRgb,        &sw.showMappedRgb,
                                     &sw.showMappedDepth, &sw.showMappedIr, &sw.showPointCloud, &sw.pointCloudRgb};
            const char *names[] = {"showDepth",       "showIr",       "showRgb",        "showMappedRgb",
                                   "showMappedDepth", "showMappedIr", "showPointCloud", "pointCloudRgb"};
            for (int i = 0; i < 8; ++i)
                *flags[i] = on.contains(QLatin1String(names[i]));
        }
        const FrameKinds::Switches now = FrameKinds::Switches::current();
        QCOMPARE(words(FrameKinds::wanted(now)), wanted);
        QCOMPARE(words(FrameKinds::fetched(now)), fetched);
        sw.resetToDefaults();
    }

    // The twelve-argument hand-overs (and the copy behind them): each kind lands in its own matrix,
    // in the buffer the caller already had, the others untouched; a refused hand-over touches nothing.
    void separateMatricesAreFilledInPlace()
    {
        FrameSet from = distinctFrames(10);
        const auto give = [&](const FrameKinds &k, FrameSet &s) {
            from.copyTo(k, s);
            return true;
        };
        for (int i = 0; i < 6; ++i) {
            FrameSet mine = distinctFrames(50);
            std::vector<const uchar *> buffers;
            for (int j = 0; j < 6; ++j)
                buffers.push_back(mat(mine, j).data);
            bool want[6] = {};
            want[i] = true;
            QVERIFY(FrameSet::fillSeparate(give, want[0], mine.depth, want[1], mine.ir, want[2], mine.rgb, want[3],
                                           mine.mappedRgb, want[4], mine.mappedDepth, want[5], mine.mappedIr));
            FrameSet untouched = distinctFrames(50);
            for (int j = 0; j < 6; ++j) {
                QVERIFY2(same(mat(mine, j), mat(j == i ? from : untouched, j)), kindNames[j]);
                QVERIFY2(mat(mine, j).data == buffers[size_t(j)], kindNames[j]);
            }
        }

        cv::Mat depth(2, 2, CV_16UC1, cv::Scalar(7)), empty;
        const auto refuse = [](const FrameKinds &, FrameSet &s) {
            s.depth = cv::Mat(3, 3, CV_16UC1, cv::Scalar(1));
            return false;
        };
        QVERIFY(!FrameSet::fillSeparate(refuse, true, depth, true, empty, true, empty, true, empty, true, empty, true,
                                        empty));
        QCOMPARE(depth.rows, 2);
        QCOMPARE(depth.at<uint16_t>(0, 0), uint16_t(7));
    }

    void displayImagesAreTheSameThroughEitherForm()
    {
        DisplaySwitches &sw = DisplaySwitches::instance();
        sw.resetToDefaults();
        for (Shared<bool> *on : {&sw.showIr, &sw.showMappedRgb, &sw.showMappedDepth, &sw.showMappedIr})
            *on = true;
        AlgoThread processing;
        FrameSet none, separate;
        QVERIFY(!processing.getDisplayImages(FrameKinds::all(), none));
        FrameSet frames = distinctFrames(300);
        processing.processFrames(frames);

        FrameSet whole;
        QVERIFY(processing.getDisplayImages(FrameKinds::all(), whole));
        QVERIFY(processing.getDisplayImages(true, separate.depth, true, separate.ir, true, separate.rgb, true,
                                            separate.mappedRgb, true, separate.mappedDepth, true, separate.mappedIr));
        for (int i = 0; i < 6; ++i) {
            QVERIFY2(!mat(whole, i).empty(), kindNames[i]);
            QVERIFY2(same(mat(separate, i), mat(whole, i)), kindNames[i]);
        }
        sw.resetToDefaults();
    }
};

QTEST_GUILESS_MAIN(FrameKindsTest)
#include "tst_framekinds.moc"
