// The image view: which image each area shows, full screen, the save report, measurement and
// the point-cloud switch. Frames go straight into the processing thread's cycle, except for
// the save reports, which run the whole pipeline against the virtual camera.
#include "camera/Control_Single.h"
#include "camera/sdk/quillon_api.h"
#include "pipeline/AlgoThread.h"
#include "pipeline/DisplaySwitches.h"
#include "pipeline/FrameConvert.h"
#include "pipeline/ImageWidget.h"
#include "pipeline/MyThread.h"
#include "support/BoxRecorder.h"
#include "support/SimConfigFile.h"

#include <QLabel>
#include <QtTest>

namespace {

// The colour of a label's picture near its top-left corner, away from markers and labels.
QRgb cornerOf(QLabel *label)
{
    const QPixmap pixmap = label->pixmap(Qt::ReturnByValue);
    return pixmap.isNull() ? 0 : pixmap.toImage().pixel(2, 2);
}

RawFrames uniformFrames(int depth, int ir, cv::Scalar rgb)
{
    RawFrames f;
    f.depth = cv::Mat(480, 640, CV_16UC1, cv::Scalar(depth));
    f.ir = cv::Mat(480, 640, CV_16UC1, cv::Scalar(ir));
    f.rgb = cv::Mat(1080, 1920, CV_8UC3, rgb);
    return f;
}

} // namespace

class ImageWidgetTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        sw.resetToDefaults();
        view = std::make_unique<ImageWidget>();
        view->resize(1500, 600);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }

    void cleanup()
    {
        view.reset();
        sw.resetToDefaults();
    }

    void plainDepthWinsOverMappedDepth()
    {
        sw.showMappedDepth = true;
        RawFrames f = uniformFrames(800, 0, cv::Scalar(0, 0, 0));
        f.mappedDepth = cv::Mat(1080, 1920, CV_16UC1, cv::Scalar(1400)); // another colour, another shape
        show(f);
        auto *label = child<QLabel>("depth");
        const cv::Vec3b bgr =
            FrameConvert::colourMapDepth(f.depth(cv::Rect(0, 0, 1, 1)), 250, 1450, true).at<cv::Vec3b>(0, 0);
        QCOMPARE(cornerOf(label), qRgb(bgr[2], bgr[1], bgr[0]));
        QCOMPARE(label->geometry(),
                 FrameConvert::labelGeometry(child<QWidget>("widget_depth")->size(), QSize(640, 480)));
    }

    void irFullScreenKeepsIrUpdatingAndHoldsTheNotice()
    {
        BoxRecorder boxes(QMessageBox::Ok);
        sw.showIr = true;
        show(uniformFrames(800, 1000, cv::Scalar(10, 20, 30)));
        auto *irArea = child<QWidget>("widget_ir_2");
        auto *depthLabel = child<QLabel>("depth");
        auto *rgbLabel = child<QLabel>("rgb");
        const QRgb depthBefore = cornerOf(depthLabel);
        QCOMPARE(cornerOf(rgbLabel), qRgb(10, 20, 30));

        QTest::mouseDClick(irArea, Qt::LeftButton);
        QVERIFY(irArea->isFullScreen());
        QVERIFY(sw.irFullScreen);
        sw.saveState = 2;
        show(uniformFrames(1200, 3000, cv::Scalar(200, 100, 50)));
        QCOMPARE(cornerOf(child<QLabel>("ir_2")), qRgb(200, 200, 200)); // the new IR: 3000 * 255 / 3824
        QCOMPARE(cornerOf(depthLabel), depthBefore);                    // held
        QCOMPARE(cornerOf(rgbLabel), qRgb(10, 20, 30));
        QVERIFY(boxes.boxes().isEmpty());
        QCOMPARE(int(sw.saveState), 2);

        QTest::mouseDClick(irArea, Qt::LeftButton);
        QVERIFY(!irArea->isFullScreen());
        QVERIFY(!sw.irFullScreen);
        view->ReadFrame();
        QVERIFY(cornerOf(depthLabel) != depthBefore);
        QCOMPARE(cornerOf(rgbLabel), qRgb(200, 100, 50));
        QCOMPARE(boxes.shown(), QStringList("Notice\tSave success"));
        QCOMPARE(int(sw.saveState), 3);
    }

    void measurementReportsEveryPeriod_data()
    {
        QTest::addColumn<QString>("depths"); // repeating along the diagonals
        QTest::addColumn<int>("period");
        QTest::addColumn<QStringList>("result");
        // 0 and values above the range's maximum (2000) are no samples.
        QTest::newRow("samples with gaps and far values")
            << "1000 1004 0 5000" << 5 << QStringList({"1002", "2", "0.199601"});
        QTest::newRow("no samples in ten or more frames") << "0 2001" << 12 << QStringList({"0", "0", "0"});
    }

    void measurementReportsEveryPeriod()
    {
        QFETCH(QString, depths);
        QFETCH(int, period);
        QFETCH(QStringList, result);
        const QStringList values = depths.split(' ');
        RawFrames f = uniformFrames(0, 0, cv::Scalar(0, 0, 0));
        for (int y = 0; y < f.depth.rows; ++y)
            for (int x = 0; x < f.depth.cols; ++x)
                f.depth.at<uint16_t>(y, x) = uint16_t(values.at((x + y) % values.size()).toInt());
        show(f);
        sw.measureOn = true;
        sw.rangeMaxDepth = 2000;
        view->slotresetCyckeQueue(4, period);
        auto *label = child<QLabel>("depth");
        QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
        QVERIFY(sw.secondMarkerOn);
        view->processing()->processFrames(f); // the measurement frame is taken while measuring

        QSignalSpy spy(view.get(), &ImageWidget::sglMeasure);
        for (int i = 1; i <= 2 * period; ++i) {
            view->ReadFrame();
            QCOMPARE(spy.size(), i / period);
        }
        for (const QList<QVariant> &emitted : spy)
            QCOMPARE(QStringList({emitted[0].toString(), emitted[1].toString(), emitted[2].toString()}), result);

        // A click closer to the edge than half the window takes the marker away: no more reports.
        QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(label->width() - 2, 40));
        QVERIFY(!sw.secondMarkerOn);
        for (int i = 0; i < period; ++i)
            view->ReadFrame();
        QCOMPARE(spy.size(), 2);
    }

    void measurementWindowIsClippedToTheImage_data()
    {
        QTest::addColumn<QPoint>("marker");
        QTest::addColumn<int>("reports");
        QTest::newRow("hanging over the corner") << QPoint(1, 1) << 1;
        QTest::newRow("left over from a larger image") << QPoint(5000, 10) << 0;
    }

    void measurementWindowIsClippedToTheImage()
    {
        QFETCH(QPoint, marker);
        QFETCH(int, reports);
        sw.measureOn = true;
        sw.rangeMaxDepth = 2000;
        sw.secondMarkerOn = true;
        sw.secondMarkerX = marker.x();
        sw.secondMarkerY = marker.y();
        view->slotresetCyckeQueue(6, 1);
        view->processing()->processFrames(uniformFrames(1000, 0, cv::Scalar(0, 0, 0)));
        QSignalSpy spy(view.get(), &ImageWidget::sglMeasure);
        view->ReadFrame();
        QCOMPARE(spy.size(), reports);
        if (reports)
            QCOMPARE(spy[0][0].toString(), QStringLiteral("1000"));
    }

    void pointCloudSwitchIgnoresThePartialState()
    {
        auto *area = child<QWidget>("widget_pointcloud");
        const auto state = [&] {
            return QStringLiteral("%1 %2 %3")
                .arg(bool(sw.showPointCloud))
                .arg(int(sw.pointCloudActive))
                .arg(area->isVisible());
        };
        for (const auto &[checked, expected] : {std::pair{Qt::Checked, "1 1 1"},
                                                {Qt::PartiallyChecked, "1 1 1"},
                                                {Qt::Unchecked, "0 0 0"},
                                                {Qt::PartiallyChecked, "0 0 0"}}) {
            view->slotPointCloud(checked);
            QCOMPARE(state(), QLatin1String(expected));
        }
    }

    void failedSaveIsReported_data()
    {
        QTest::addColumn<bool>("continuous");
        QTest::addColumn<QString>("secondLine");
        QTest::newRow("single save") << false << QString();
        QTest::newRow("continuous save") << true << QStringLiteral("\n0 sets written, 1 failed");
    }

    // A write that fails is reported as such (the success notice is the full-screen test's and the
    // end-to-end test's); a continuous run it ends is handed back to the panel once.
    void failedSaveIsReported()
    {
        QFETCH(bool, continuous);
        QFETCH(QString, secondLine);
        BoxRecorder boxes(QMessageBox::Ok);
        QSignalSpy stopped(view.get(), &ImageWidget::sglSaveStopped);
        QTemporaryDir root;
        SaveTarget target;
        target.rootDir = root.path();
        target.dirDepth = root.filePath("missing/Depth");
        target.dirRgb = root.path();

        Lx2_Shutdown();
        SimConfigFile config(fastSim() + "[device.alta]\nmodel = Alta\n");
        Control_Single *control = Control_Single::getInstance();
        QCOMPARE(control->initializeSDK(), 0);
        QCOMPARE(control->initializeORB(QString()), 0);
        view->start();
        view->slotopenCamera();
        sw.requestSave(target, continuous);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.boxes().size(), 1, 20000);
        view->slotcloseCamera();
        (void)control->shutdownORB();
        (void)control->shutdownSDK();

        QCOMPARE(boxes.shown(), QStringList("Warning\tSave failed: " + target.dirDepth + "/00000001.png" + secondLine));
        QCOMPARE(stopped.size(), continuous ? 1 : 0);
        QCOMPARE(int(sw.saveState), 3);
        QVERIFY(QFile::exists(root.filePath("00000001.jpg"))); // the colour file still went out
    }

    // A view that takes longer than the cycles (a loaded or slow machine) is sent one refresh at a
    // time; a queue of them would delay everything else the window has to do, input included.
    void slowViewGetsNoQueueOfRefreshes()
    {
        Lx2_Shutdown();
        SimConfigFile config(fastSim() + "[device.alta]\nmodel = Alta\n");
        Control_Single *control = Control_Single::getInstance();
        QCOMPARE(control->initializeSDK(), 0);
        QCOMPARE(control->initializeORB(QString()), 0);
        QSignalSpy refreshes(view->processing(), &AlgoThread::sigRefresh);
        view->start();
        view->slotopenCamera();
        QTRY_VERIFY_WITH_TIMEOUT(refreshes.size() > 0, 20000);
        QCoreApplication::processEvents(); // takes the refresh sent
        refreshes.clear();
        QThread::msleep(1000); // the view busy for the time of many cycles
        const int sentWhileBusy = refreshes.size();
        view->slotcloseCamera();
        (void)control->shutdownORB();
        (void)control->shutdownSDK();
        QVERIFY2(sentWhileBusy <= 1, qPrintable(QString::number(sentWhileBusy)));
    }

    void closeHandshakeEndsBothThreads()
    {
        view->start();
        view->start(); // running threads are left alone
        QSignalSpy closed(view.get(), &ImageWidget::sglclose);
        view->processing()->reader()->requestStop();
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 20000);
        QVERIFY(view->processing()->reader()->isFinished());
        QVERIFY(view->processing()->isFinished());
    }

private:
    // Runs one cycle on the frames and refreshes (twice, so that areas just made visible
    // have their size).
    void show(const RawFrames &frames)
    {
        view->processing()->processFrames(frames);
        view->ReadFrame();
        QCoreApplication::processEvents();
        view->ReadFrame();
    }

    template <typename T> T *child(const char *name) { return view->findChild<T *>(QLatin1String(name)); }

    std::unique_ptr<ImageWidget> view;
    DisplaySwitches &sw = DisplaySwitches::instance();
};

QTEST_MAIN(ImageWidgetTest)
#include "tst_imagewidget.moc"
