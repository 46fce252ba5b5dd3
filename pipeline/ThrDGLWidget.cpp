#include "pipeline/ThrDGLWidget.h"

#include "camera/Control_Single.h"
#include "pipeline/DisplaySwitches.h"
#include "pipeline/PlyWriter.h"
#include "shell/AppPaths.h"
#include "shell/MessageBoxes.h"
#include "shell/SaveDialog.h"
#include "shell/ToolSettings.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QMenu>
#include <QMouseEvent>
#include <QSurfaceFormat>
#include <QThread>
#include <QWheelEvent>

#include <GL/gl.h>
#include <GL/glu.h>

namespace {

void loadRowMajor(const PointCloudScene::Matrix &m)
{
    GLfloat columnMajor[16];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            columnMajor[c * 4 + r] = m[size_t(r * 4 + c)];
    glLoadMatrixf(columnMajor);
}

} // namespace

ThrDGLWidget::ThrDGLWidget(QWidget *parent)
    : QOpenGLWidget(parent)
    , m_scene(std::make_unique<PointCloudScene>())
{
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(8);
    setFormat(format);
    m_exportPly = new QAction(QStringLiteral("Export PLY\u2026"), this);
    m_exportPly->setObjectName(QStringLiteral("exportPly"));
    connect(m_exportPly, &QAction::triggered, this, &ThrDGLWidget::exportPly);
}

ThrDGLWidget::~ThrDGLWidget() = default;

PointCloudScene &ThrDGLWidget::scene()
{
    if (!m_scene)
        m_scene = std::make_unique<PointCloudScene>();
    return *m_scene;
}

void ThrDGLWidget::setSource(AlgoThread *source)
{
    scene().setSource(source, ToolSettings::getInstance().sampleStep(),
                      Control_Single::getInstance()->getCameraParameters());
}

void ThrDGLWidget::updateViewSize()
{
    const DisplaySwitches &sw = DisplaySwitches::instance();
    scene().viewWidth = sw.pointCloudViewWidth;
    scene().viewHeight = sw.pointCloudViewHeight;
}

void ThrDGLWidget::initializeGL()
{
    connect(this, &ThrDGLWidget::gestureUpdated, this, &ThrDGLWidget::updateGL, Qt::UniqueConnection);
    glShadeModel(GL_SMOOTH);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glEnable(GL_SCISSOR_TEST);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glClearColor(0, 0, 0, 0);
    glClearStencil(0);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    GLfloat sizes[2] = {1.0f, 1.0f};
    glGetFloatv(GL_ALIASED_POINT_SIZE_RANGE, sizes);
    glPointSize(PointCloudScene::drawnPointSize(ToolSettings::getInstance().pointSize(), sizes[0], sizes[1]));
    scene().pitch = -4.0f;
    updateViewSize();
}

void ThrDGLWidget::resizeGL(int w, int h)
{
    gluPerspective(40.0, double(w) / double(h > 0 ? h : 1), 0.1, 100.0);
}

void ThrDGLWidget::paintGL()
{
    PointCloudScene &s = scene();
    const DisplaySwitches &sw = DisplaySwitches::instance();

    // The matrices of this pose are loaded before drawing, so the picture never lags a
    // frame behind the mouse.
    glViewport(sw.panX, sw.panY, s.viewWidth, s.viewHeight);
    glScissor(0, 0, 1920, 1080);
    glMatrixMode(GL_PROJECTION);
    loadRowMajor(s.projectionMatrix());
    glMatrixMode(GL_MODELVIEW);
    loadRowMajor(s.viewMatrix());

    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    m_drawnPoints = 0;
    if (!sw.pointCloudActive)
        return;

    glPushMatrix();
    const GLfloat ambient[] = {0, 0, 0, 1};
    const GLfloat diffuse[] = {0.9f, 0.9f, 0.9f, 1};
    const GLfloat specular[] = {1, 1, 1, 1};
    const GLfloat position[] = {1, 0, 1, 0};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHT0);
    drawPoints();
    glPopMatrix();
}

void ThrDGLWidget::drawPoints()
{
    PointCloudScene &s = scene();
    if (!s.pullFrames())
        QThread::msleep(2); // nothing new: draw what the last repaint had
    if (!s.buildPoints(currentStyle(), m_xyz, m_rgb) || m_xyz.empty())
        return;
    // One vertex and one colour per point, handed over as arrays.
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, m_xyz.data());
    glColorPointer(3, GL_FLOAT, 0, m_rgb.data());
    m_drawnPoints = int(m_xyz.size() / 3);
    glDrawArrays(GL_POINTS, 0, m_drawnPoints);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

PointCloudScene::Style ThrDGLWidget::currentStyle() const
{
    const DisplaySwitches &sw = DisplaySwitches::instance();
    PointCloudScene::Style style;
    style.pointCloudRgb = sw.pointCloudRgb;
    style.dataMode = sw.currentDataMode;
    style.rangeIndex = sw.currentRangeIndex;
    style.colourMapMin = sw.colourMapMin;
    style.colourMapMax = sw.colourMapMax;
    return style;
}

void ThrDGLWidget::exportPly()
{
    // Proposed in the folder the image saving fills.
    const QString folder = AppPaths::filePath(QStringLiteral("SaveImage"));
    QDir().mkpath(folder);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy_MM_dd_hh_mm_ss"));
    const QString path =
        SaveDialog::ask(this, {QStringLiteral("Export PLY"), folder + QStringLiteral("/PointCloud_%1.ply").arg(stamp),
                               QStringLiteral("PLY (*.ply)"), QStringLiteral("ply")});
    if (path.isEmpty())
        return;
    // The frames and switches of the last repaint: the points on screen, in millimetres.
    std::vector<float> xyz;
    std::vector<uint8_t> rgb;
    if (!DisplaySwitches::instance().pointCloudActive || !scene().cameraPoints(currentStyle(), xyz, rgb)) {
        xyz.clear(); // nothing is drawn: an empty cloud
        rgb.clear();
    }
    if (!PlyWriter::save(path, xyz, rgb)) {
        MessageBoxes::warning(this, QStringLiteral("Warning"), QStringLiteral("Save failed: ") + path);
        return;
    }
    MessageBoxes::information(this, QStringLiteral("Notice"), QStringLiteral("Save success"));
}

void ThrDGLWidget::contextMenuEvent(QContextMenuEvent *event)
{
    // A right press also starts a pan; the mouse's menu waits for the release.
    if (event->reason() != QContextMenuEvent::Mouse)
        showMenu(event->globalPos());
}

void ThrDGLWidget::showMenu(const QPoint &globalPos)
{
    QMenu menu(this);
    menu.addAction(m_exportPly);
    menu.exec(globalPos);
}

void ThrDGLWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        m_rightPress = event->pos();
    if (event->buttons() & Qt::MiddleButton) {
        scene().resetCamera();
        return;
    }
    scene().lastX = event->x();
    scene().lastY = event->y();
    updateGL();
}

void ThrDGLWidget::mouseMoveEvent(QMouseEvent *event)
{
    PointCloudScene &s = scene();
    DisplaySwitches &sw = DisplaySwitches::instance();
    if ((event->buttons() & Qt::LeftButton) && sw.pointCloudActive) {
        s.rotate(event->x() - s.lastX, event->y() - s.lastY);
        s.lastX = event->x();
        s.lastY = event->y();
    } else if ((event->buttons() & Qt::RightButton) && !(event->buttons() & Qt::LeftButton)) {
        sw.panX = event->x() - s.viewWidth / 2;
        sw.panY = s.viewHeight / 2 - event->y();
    }
    updateGL();
}

void ThrDGLWidget::mouseReleaseEvent(QMouseEvent *event)
{
    scene().lastX = event->x();
    scene().lastY = event->y();
    updateGL();
    if (event->button() == Qt::RightButton &&
        (event->pos() - m_rightPress).manhattanLength() < QApplication::startDragDistance())
        showMenu(event->globalPos());
}

void ThrDGLWidget::wheelEvent(QWheelEvent *event)
{
    if (DisplaySwitches::instance().pointCloudActive)
        scene().zoom(event->angleDelta().y());
    updateGL();
}
