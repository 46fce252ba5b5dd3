// The point cloud: which pixels become points, and the view on a real OpenGL context
// (colour checks, mouse and wheel, a rendered picture).
#include "camera/Control_Single.h"
#include "pipeline/DisplaySwitches.h"
#include "pipeline/PointCloudScene.h"
#include "pipeline/ThrDGLWidget.h"
#include "shell/SaveDialog.h"
#include "support/BoxRecorder.h"
#include "support/ProgramFolder.h"
#include "support/SimConfigFile.h"
#include "support/TestFiles.h"

#include "camera/sdk/quillon_api.h"

#include <QMenu>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QtTest>

#include <climits>

namespace {

int nonBlackPixels(const QImage &image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) != 0;
    return n;
}

void sendMouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

} // namespace

class PointCloudTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QFile::remove(home.filePath("Lumidesk.ini"));
        sw.resetToDefaults();
        sw.pointCloudActive = 1;
        sw.pointCloudViewWidth = 640;
        sw.pointCloudViewHeight = 480;
        view = std::make_unique<ThrDGLWidget>();
        view->resize(640, 480);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        PointCloudScene &scene = view->scene();
        scene.setSource(nullptr, 2, CameraIntrinsics{500, 500, 320, 240, 0, 0, 0, 0, 0, 0, 0, 0});
        scene.setFrames(depth, cv::Mat(), cv::Mat());
    }

    void cleanup()
    {
        view.reset();
        sw.resetToDefaults();
    }

    void pointsFollowStepAndLimits_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("points");
        const int all = 640 * 480;
        QTest::newRow("every pixel") << 1 << 800 << 250 << all;
        QTest::newRow("one in sixteen") << 4 << 800 << 250 << 160 * 120;
        QTest::newRow("step below 1 from a hand-edited file: every pixel") << 0 << 800 << 250 << all;
        QTest::newRow("at the lower limit") << 1 << 250 << 250 << 0;
        QTest::newRow("at the upper limit") << 1 << 1450 << 250 << 0;
        QTest::newRow("just inside") << 1 << 251 << 250 << all;
        QTest::newRow("no depth, even with a limit below 0") << 1 << 0 << -10 << 0;
        // Steps whose square overflows 32 bits, or whose next row or column would.
        QTest::newRow("step 300") << 300 << 800 << 250 << 2 * 3;
        QTest::newRow("step 639: first and last column") << 639 << 800 << 250 << 2;
        QTest::newRow("step 640") << 640 << 800 << 250 << 1;
        QTest::newRow("step 46341") << 46341 << 800 << 250 << 1;
        QTest::newRow("step 65536") << 65536 << 800 << 250 << 1;
        QTest::newRow("step INT_MAX") << INT_MAX << 800 << 250 << 1;
        QTest::newRow("step INT_MIN") << INT_MIN << 800 << 250 << all;
    }

    void pointsFollowStepAndLimits()
    {
        QFETCH(int, step);
        QFETCH(int, depth);
        QFETCH(int, min);
        QFETCH(int, points);
        PointCloudScene scene;
        scene.setSource(nullptr, step, CameraIntrinsics{});
        scene.setFrames(cv::Mat(480, 640, CV_16UC1, cv::Scalar(depth)), cv::Mat(), cv::Mat());
        PointCloudScene::Style style; // upper limit 1450
        style.colourMapMin = min;
        std::vector<float> xyz, rgb;
        scene.buildPoints(style, xyz, rgb);
        QCOMPARE(int(xyz.size() / 3), points);
    }

    void pointSizeAndStepFromABadSettingsFile()
    {
        QVERIFY(writeFile(home.filePath("Lumidesk.ini"), "pointsize=1e38\nsample=65536\n"));
        view = std::make_unique<ThrDGLWidget>(); // initialised afresh: reads the point size
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        view->makeCurrent();
        GLfloat size = 0;
        QOpenGLContext::currentContext()->functions()->glGetFloatv(GL_POINT_SIZE, &size);
        QCOMPARE(size, 1.5f);
        view->setSource(nullptr);
        QCOMPARE(view->scene().sampleStep, 2);

        // Whatever reaches the view, the point stays drawable.
        QCOMPARE(PointCloudScene::drawnPointSize(1e38f, 1, 255), 16.0f);
        QCOMPARE(PointCloudScene::drawnPointSize(12, 1, 10), 10.0f);
        QCOMPARE(PointCloudScene::drawnPointSize(0.25f, 1, 255), 1.0f);
        QCOMPARE(PointCloudScene::drawnPointSize(std::nanf(""), 1, 255), 1.5f);
        QCOMPARE(PointCloudScene::drawnPointSize(-INFINITY, 1, 255), 1.5f);
    }

    void virtualRoomRendersAsACloud()
    {
        // One depth frame of the virtual camera, through its own lens, with limits spanning the
        // room.
        Lx2_Shutdown();
        SimConfigFile config(fastSim() + "[device.alta]\nmodel = Alta\n");
        Control_Single *control = Control_Single::getInstance();
        QCOMPARE(control->initializeSDK(), 0);
        QCOMPARE(control->initializeORB(QString()), 0);
        view->setSource(nullptr);
        FrameReadyFlags flags = 0;
        SdkFrame frame{};
        QCOMPARE(control->ReadNext(&flags), 0);
        QCOMPARE(control->GetFrame(DepthFrame, &frame), 0);
        view->scene().setFrames(cv::Mat(frame.height, frame.width, CV_16UC1, frame.frameData).clone(), cv::Mat(),
                                cv::Mat());
        (void)control->shutdownORB();
        (void)control->shutdownSDK();
        sw.colourMapMin = 300;
        sw.colourMapMax = 6000;
        view->scene().distance = 40.0f;
        const QImage shown = view->grabFramebuffer();
        QVERIFY(view->drawnPoints() > 20000);
        QVERIFY(nonBlackPixels(shown) > 20000);
        const QString output = qEnvironmentVariable("TEST_OUTPUT");
        if (!output.isEmpty() && QDir().mkpath(output))
            shown.save(output + QStringLiteral("/pointcloud.png"));
        // Switched off, a repaint only clears.
        sw.pointCloudActive = 0;
        QCOMPARE(nonBlackPixels(view->grabFramebuffer()), 0);
    }

    void mismatchedColourFrameDrawsNothing()
    {
        sw.pointCloudRgb = true;
        view->scene().setFrames(depth, cv::Mat(), cv::Mat(240, 320, CV_8UC3, cv::Scalar(200, 50, 50)));
        view->makeCurrent();
        QOpenGLFunctions *gl = QOpenGLContext::currentContext()->functions();
        while (gl->glGetError() != GL_NO_ERROR) {
        }
        QCOMPARE(nonBlackPixels(view->grabFramebuffer()), 0);
        QCOMPARE(view->drawnPoints(), 0);
        view->makeCurrent();
        QCOMPARE(gl->glGetError(), GLenum(GL_NO_ERROR));
        // Of the depth frame's size, the same colour frame is drawn.
        view->scene().setFrames(depth, cv::Mat(), cv::Mat(480, 640, CV_8UC3, cv::Scalar(200, 50, 50)));
        QVERIFY(nonBlackPixels(view->grabFramebuffer()) > 0);
    }

    void wheelZoomsByWholeSteps_data()
    {
        QTest::addColumn<int>("delta");
        QTest::addColumn<bool>("active");
        QTest::addColumn<float>("distance");
        QTest::newRow("half a notch: nothing") << 60 << true << 10.0f;
        QTest::newRow("two notches back") << -240 << true << 12.0f;
        QTest::newRow("one notch forward") << 120 << true << 9.0f;
        QTest::newRow("view off") << -240 << false << 10.0f;
    }

    void wheelZoomsByWholeSteps()
    {
        QFETCH(int, delta);
        QFETCH(bool, active);
        QFETCH(float, distance);
        sw.pointCloudActive = active;
        QWheelEvent wheel(QPointF(100, 100), QPointF(view->mapToGlobal(QPoint(100, 100))), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.get(), &wheel);
        QCOMPARE(view->scene().distance, distance);
    }

    void middleButtonResetKeepsTheAnchor()
    {
        PointCloudScene &scene = view->scene();
        scene.distance = 15.0f;
        sendMouse(view.get(), QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
        sendMouse(view.get(), QEvent::MouseMove, {110, 100}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(scene.yaw, 2.0f);
        sendMouse(view.get(), QEvent::MouseButtonPress, {300, 300}, Qt::MiddleButton,
                  Qt::LeftButton | Qt::MiddleButton);
        QCOMPARE(scene.yaw, 0.0f);
        QCOMPARE(scene.pitch, 0.0f);
        QCOMPARE(scene.distance, 10.0f);
        // The next move turns from the anchor of the drag, not from the middle press.
        sendMouse(view.get(), QEvent::MouseMove, {120, 105}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(scene.yaw, 2.0f);
        QCOMPARE(scene.pitch, 1.0f);
    }

    void rightDragToTheCentreGivesNoPan()
    {
        sendMouse(view.get(), QEvent::MouseButtonPress, {10, 10}, Qt::RightButton, Qt::RightButton);
        sendMouse(view.get(), QEvent::MouseMove, {10, 10}, Qt::NoButton, Qt::RightButton);
        QCOMPARE(QPoint(sw.panX, sw.panY), QPoint(-310, 230)); // the picture follows the pointer
        sendMouse(view.get(), QEvent::MouseMove, {320, 240}, Qt::NoButton, Qt::RightButton);
        QCOMPARE(QPoint(sw.panX, sw.panY), QPoint(0, 0));
    }

    // A right click offers "Export PLY…", which writes the points on screen; a right drag
    // only pans.
    void exportFromTheMenu_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<QStringList>("boxes");
        const QString path = home.filePath("shown.ply");
        const QString blocked = home.filePath("missing/shown.ply");
        QTest::newRow("saved") << path << QPoint(50, 50) << QStringList("Notice\tSave success");
        QTest::newRow("cancelled") << QString() << QPoint(50, 50) << QStringList();
        QTest::newRow("folder missing") << blocked << QPoint(50, 50) << QStringList("Warning\tSave failed: " + blocked);
        QTest::newRow("right drag") << home.filePath("dragged.ply") << QPoint(150, 90) << QStringList();
    }

    void exportFromTheMenu()
    {
        QFETCH(QString, chosen);
        QFETCH(QPoint, release);
        QFETCH(QStringList, boxes);
        SaveDialog::Request asked;
        const SaveDialog::Picker previous = SaveDialog::setPicker([&](QWidget *, const SaveDialog::Request &r) {
            asked = r;
            return chosen;
        });
        BoxRecorder recorder;
        cv::Mat halfBeyond = depth.clone();
        halfBeyond.rowRange(240, 480).setTo(2000);
        view->scene().setFrames(halfBeyond, cv::Mat(), cv::Mat());
        (void)view->grabFramebuffer();
        QCOMPARE(view->drawnPoints(), 120 * 320);

        // Through the window, which also makes a context-menu event of the press. The menu is
        // answered as it opens, and must open only for the release.
        QString entry;
        bool released = false;
        QTimer menuWatch;
        connect(&menuWatch, &QTimer::timeout, [&] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                entry = released ? menu->actions().value(0)->text() : QStringLiteral("opened by the press");
                menu->actions().value(0)->trigger();
                menu->close();
            }
        });
        menuWatch.start(5);
        QWindow *window = view->windowHandle();
        QTest::mousePress(window, Qt::RightButton, {}, {50, 50});
        QTest::mouseMove(window, release);
        released = true;
        QTest::mouseRelease(window, Qt::RightButton, {}, release);
        QCoreApplication::processEvents();
        SaveDialog::setPicker(previous);

        const bool clicked = release == QPoint(50, 50);
        QCOMPARE(entry, clicked ? QStringLiteral("Export PLY\u2026") : QString());
        QCOMPARE(QPoint(sw.panX, sw.panY), clicked ? QPoint() : QPoint(release.x() - 320, 240 - release.y()));
        QCOMPARE(asked.filter, clicked ? QStringLiteral("PLY (*.ply)") : QString());
        QVERIFY(!clicked || asked.start.startsWith(home.filePath("SaveImage/PointCloud_")));
        QCOMPARE(recorder.shown(), boxes);
        const QByteArray file = chosen.isEmpty() ? QByteArray() : readFile(chosen);
        QCOMPARE(file.contains("\nelement vertex 38400\n"), boxes.value(0).startsWith("Notice"));
    }

private:
    const ProgramFolder home;
    std::unique_ptr<ThrDGLWidget> view;
    DisplaySwitches &sw = DisplaySwitches::instance();
    const cv::Mat depth = cv::Mat(480, 640, CV_16UC1, cv::Scalar(800));
};

QTEST_MAIN(PointCloudTest)
#include "tst_pointcloud.moc"
