#include "pipeline/AlgoThread.h"
#include "pipeline/DisplaySwitches.h"
#include "pipeline/FrameConvert.h"

#include <QtTest>

#include <opencv2/imgproc.hpp>

#include <clocale>

using namespace FrameConvert;

namespace {

// Bounding box of the pixels that differ between two images.
cv::Rect changed(const cv::Mat &a, const cv::Mat &b)
{
    cv::Mat diff;
    cv::absdiff(a, b, diff);
    if (diff.channels() > 1)
        cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
    std::vector<cv::Point> points;
    cv::findNonZero(diff, points);
    return points.empty() ? cv::Rect() : cv::boundingRect(points);
}

} // namespace

class FrameConvertTest : public QObject
{
    Q_OBJECT

private slots:
    void depthScaling_data()
    {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("expected");
        QTest::newRow("lower limit") << 250 << 1450 << 250 << 0;
        QTest::newRow("upper limit") << 250 << 1450 << 1450 << 255;
        QTest::newRow("middle") << 250 << 1450 << 850 << 128;
        QTest::newRow("below saturates") << 250 << 1450 << 100 << 0;
        QTest::newRow("above saturates") << 250 << 1450 << 60000 << 255;
        QTest::newRow("equal limits: 255 / max") << 1000 << 1000 << 500 << 128;
        QTest::newRow("inverted limits: 255 / max") << 2000 << 1000 << 400 << 102;
        QTest::newRow("zero limits do not divide by zero") << 0 << 0 << 3 << 255;
    }

    void depthScaling()
    {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, depth);
        QFETCH(int, expected);
        const cv::Mat in(2, 2, CV_16UC1, cv::Scalar(depth));
        const cv::Mat out = depthTo8(in, min, max);
        QCOMPARE(out.type(), CV_8UC1);
        QCOMPARE(int(out.at<uchar>(1, 1)), expected);
    }

    void rainbowEndsTurnBlack()
    {
        cv::Mat depth(1, 3, CV_16UC1);
        depth.at<uint16_t>(0, 0) = 100;  // below the lower limit
        depth.at<uint16_t>(0, 1) = 800;  // inside
        depth.at<uint16_t>(0, 2) = 5000; // above the upper limit
        const cv::Mat plain = colourMapDepth(depth, 250, 1450, false);
        QCOMPARE(plain.at<cv::Vec3b>(0, 0), cv::Vec3b(0, 0, 255));
        QCOMPARE(plain.at<cv::Vec3b>(0, 2), cv::Vec3b(255, 0, 170));
        const cv::Mat black = colourMapDepth(depth, 250, 1450, true);
        QCOMPARE(black.at<cv::Vec3b>(0, 0), cv::Vec3b(0, 0, 0));
        QCOMPARE(black.at<cv::Vec3b>(0, 2), cv::Vec3b(0, 0, 0));
        QCOMPARE(black.at<cv::Vec3b>(0, 1), plain.at<cv::Vec3b>(0, 1));
    }

    void cycleDrawsWhatTheSingleStepsDraw_data()
    {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<bool>("black");
        QTest::newRow("start-up limits, black ends") << 250 << 1450 << true;
        QTest::newRow("coloured ends") << 250 << 1450 << false;
        QTest::newRow("wide range") << 0 << 65535 << true;
        QTest::newRow("inverted limits") << 3000 << 1000 << true;
    }

    // The cycle colours through a table; it must give the pixels of the plain colour map.
    void cycleDrawsWhatTheSingleStepsDraw()
    {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(bool, black);
        DisplaySwitches &s = DisplaySwitches::instance();
        s.resetToDefaults();
        s.colourMapMin = min;
        s.colourMapMax = max;
        s.blackBackground = black;
        s.measureOn = true;
        s.secondMarkerOn = true;
        s.secondMarkerX = 100;
        s.secondMarkerY = 50;
        RawFrames frames;
        frames.depth = cv::Mat(480, 640, CV_16UC1);
        cv::randu(frames.depth, 0, 65536);
        cv::randu(frames.depth.rowRange(0, 240), 0, 5000); // many values inside the start-up limits
        AlgoThread processing;
        processing.processFrames(frames);
        // The marker not yet placed went to the centre, and the centre was written back.
        QCOMPARE(cv::Point(s.depthMarkerX, s.depthMarkerY), cv::Point(320, 240));

        cv::Mat expected = colourMapDepth(frames.depth, min, max, black);
        drawDepthMarker(expected, {320, 240}, frames.depth.at<uint16_t>(240, 320));
        drawSecondMarker(expected, {100, 50});
        cv::cvtColor(expected, expected, cv::COLOR_BGR2RGB);
        cv::Mat shown, none;
        QVERIFY(
            processing.getDisplayImages(true, shown, false, none, false, none, false, none, false, none, false, none));
        QCOMPARE(cv::norm(shown, expected, cv::NORM_INF), 0.0);
        s.resetToDefaults();

        // A view that is not continuous, with an odd width.
        const cv::Mat view = frames.depth(cv::Rect(3, 2, 301, 90));
        cv::Mat levels, rgb;
        colourDepthRgb(view, min, max, depthColourTable(black), levels, rgb);
        cv::cvtColor(colourMapDepth(view, min, max, black), expected, cv::COLOR_BGR2RGB);
        QCOMPARE(cv::norm(rgb, expected, cv::NORM_INF), 0.0);
    }

    // The IR marker is white up to 2500 and black above; its label moves to the marker's own
    // place near the left edge.
    void irMarkerColourAndLabel()
    {
        const cv::Mat blank(480, 640, CV_8UC1, cv::Scalar(100));
        cv::Mat dark = blank.clone(), bright = blank.clone();
        drawIrMarker(dark, {320, 240}, 2500);
        drawIrMarker(bright, {320, 240}, 2501);
        QCOMPARE(int(dark.at<uchar>(240, 320)), 255);
        QCOMPARE(int(bright.at<uchar>(240, 320)), 0);
        // Far from the edges the label stands above-left of the marker.
        cv::Mat far = blank.clone();
        drawIrMarker(far, {300, 200}, 1000);
        QVERIFY(changed(blank, far).x < 260); // glyphs start a few pixels right of the origin
        // Near the left edge (x - 60 < 10) it stands at the marker itself.
        cv::Mat near = blank.clone();
        drawIrMarker(near, {69, 200}, 1000);
        QCOMPARE(changed(blank, near).x, 65); // the marker's own dot
        // The depth label has no such rule.
        cv::Mat depth(480, 640, CV_8UC3, cv::Scalar(0, 0, 0));
        const cv::Mat before = depth.clone();
        drawDepthMarker(depth, {69, 200}, 850);
        QVERIFY(changed(before, depth).x < 30);
    }

    void markerPlacement()
    {
        const cv::Size size(640, 480);
        QCOMPARE(placedMarker({0, 0}, size), cv::Point(320, 240));
        QCOMPARE(placedMarker({10, 0}, size), cv::Point(10, 0));
        QCOMPARE(placedMarker({639, 479}, size), cv::Point(639, 479));
        // A marker left over from a larger image moves to the centre.
        QCOMPARE(placedMarker({640, 10}, size), cv::Point(320, 240));
        QCOMPARE(placedMarker({10, 900}, size), cv::Point(320, 240));
        QCOMPARE(placedMarker({-5, 10}, size), cv::Point(320, 240));
    }

    void labelLayout_data()
    {
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QRect>("label");
        // 4:3 image in a wide area: fitted to the height.
        QTest::newRow("wide area") << QSize(1000, 480) << QSize(640, 480) << QRect(185, 3, 630, 473);
        // 4:3 image in a tall area: fitted to the width.
        QTest::newRow("tall area") << QSize(640, 900) << QSize(640, 480) << QRect(5, 213, 630, 473);
        // Same integer aspect quotient (1 and 1): the height test decides.
        QTest::newRow("equal quotients") << QSize(800, 600) << QSize(640, 480) << QRect(5, 3, 790, 593);
        QTest::newRow("empty image") << QSize(800, 600) << QSize(0, 0) << QRect();
        QTest::newRow("empty area") << QSize(0, 600) << QSize(640, 480) << QRect();
    }

    void labelLayout()
    {
        QFETCH(QSize, area);
        QFETCH(QSize, image);
        QFETCH(QRect, label);
        QCOMPARE(labelGeometry(area, image), label);
    }

    // Six significant digits in the general format, whatever the user's locale.
    void pointLines()
    {
        const auto lines = [] {
            std::string text;
            appendPointLine(text, 1234.5f, 0.25f, -3.0f);
            appendPointLine(text, 1e6f, 0.0001f, 0.00001f);
            appendPointLine(text, 123456.7f, -0.5f, 999999.f);
            return QString::fromStdString(text);
        };
        const QString expected = QStringLiteral("1234.5\t0.25\t-3\r\n1e+06\t0.0001\t1e-05\r\n123457\t-0.5\t999999\r\n");
        QCOMPARE(lines(), expected);

        // A locale with a decimal comma, built into a folder of our own.
        QTemporaryDir dir;
        QProcess localedef;
        localedef.start(QStringLiteral("localedef"),
                        {"-i", "de_DE", "-f", "UTF-8", dir.filePath(QStringLiteral("de_DE.UTF-8"))});
        if (!localedef.waitForFinished(20000) || localedef.exitCode() != 0)
            QSKIP("localedef cannot build de_DE here");
        qputenv("LOCPATH", dir.path().toLocal8Bit());
        const std::string previous = setlocale(LC_ALL, nullptr);
        if (!setlocale(LC_ALL, "de_DE.UTF-8"))
            QSKIP("the de_DE locale does not load");
        const QString german = lines();
        setlocale(LC_ALL, previous.c_str());
        qunsetenv("LOCPATH");
        QCOMPARE(german, expected);
    }
};

QTEST_GUILESS_MAIN(FrameConvertTest)
#include "tst_frameconvert.moc"
