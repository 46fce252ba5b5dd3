#pragma once

#include "pipeline/DepthMeasurement.h"
#include "pipeline/FrameSet.h"

#include <QWidget>

#include <opencv2/core.hpp>

#include <memory>
#include <mutex>

class AlgoThread;
class QLabel;
class QPushButton;
class ThrDGLWidget;

namespace Ui {
class ImageWidget;
}

// The image area: live depth, IR and colour images, markers, full-screen areas, depth
// measurement, the point-cloud view and the save notice.
class ImageWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ImageWidget(QWidget *parent = nullptr);
    ~ImageWidget() override;

    // Starts the pipeline threads; harmless when they already run.
    void start();
    AlgoThread *processing() const { return m_processing; }
    ThrDGLWidget *pointCloudView() const { return m_pointCloudView; }

signals:
    void sglclose();
    void sglMeasure(QString meanValue, QString stddValue, QString varValue);
    void sglLeftRight(int value);
    void sglTopBottom(int value);
    void sglCameraLost(int status);
    // A continuous save ended on a failed write; the panel unticks its switch.
    void sglSaveStopped();

public slots:
    void slotopenCamera();
    void slotcloseCamera();
    void slotPointCloud(int state);
    void slotresetCyckeQueue(int window, int period);
    void soltreFlash();
    void slotLeftRight();
    void slotTopBottom();
    void ReadFrame();
    void closeOK();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Area
    {
        QWidget *container;
        QLabel *label;
        float ratioCols = 0.0f;
        float ratioRows = 0.0f;
    };

    void placeFoldButtons();
    void showImage(Area &area, const cv::Mat &image);
    void measure();
    void announceSave();
    void toggleFullScreen(QWidget *area);
    QList<QObject *> watchedObjects() const;

    std::unique_ptr<Ui::ImageWidget> ui;
    AlgoThread *m_processing;
    ThrDGLWidget *m_pointCloudView;
    Area m_depthArea, m_irArea, m_rgbArea;
    FrameSet m_images;     // the display images last taken
    std::mutex m_ringLock; // guards m_measurement
    DepthMeasurement m_measurement;
    QPushButton *m_leftRightButton;
    QPushButton *m_topBottomButton;
    int m_leftRightState = 1;
    int m_topBottomState = 1;
    QMetaObject::Connection m_cloudConnection;
};
