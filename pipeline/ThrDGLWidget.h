#pragma once

#include "pipeline/PointCloudScene.h"

#include <QOpenGLWidget>

#include <memory>
#include <vector>

class AlgoThread;
class QAction;

// The live depth frame as a rotatable, zoomable, pannable cloud of points, drawn with
// fixed-function OpenGL.
class ThrDGLWidget : public QOpenGLWidget
{
    Q_OBJECT

public:
    explicit ThrDGLWidget(QWidget *parent = nullptr);
    ~ThrDGLWidget() override;

    void setSource(AlgoThread *source);
    void updateViewSize();
    PointCloudScene &scene();
    // Points drawn by the last repaint (for tests and statistics).
    int drawnPoints() const { return m_drawnPoints; }
    // "Export PLY…": asks for a file and writes the points on screen into it.
    QAction *exportPlyAction() const { return m_exportPly; }

signals:
    void gestureUpdated();

public slots:
    void gestureSlot() { emit gestureUpdated(); }
    void updateGL() { update(); }

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void drawPoints();
    PointCloudScene::Style currentStyle() const;
    void exportPly();
    void showMenu(const QPoint &globalPos);

    std::unique_ptr<PointCloudScene> m_scene;
    std::vector<float> m_xyz, m_rgb;
    int m_drawnPoints = 0;
    QAction *m_exportPly = nullptr;
    QPoint m_rightPress; // the menu opens on a right click, not at the end of a right drag
};
