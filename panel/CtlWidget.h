#pragma once

#include <QString>
#include <QWidget>

// The camera control panel under the image area. For now it only relays the opening and
// closing of a camera to the image view.
class CtlWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CtlWidget(QWidget *parent = nullptr);

signals:
    void sglopenCamera();
    void sglcloseCamera();
    void sglPointCloud(int state);
    void sglresetCyckeQueue(int w, int p);
    void sglreFlash();
    void sglUpgrade();

public slots:
    void openCamera();
    void closeCamera();
    void slotMeasure(QString meanValue, QString stddValue, QString varValue);
};
