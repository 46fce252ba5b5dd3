#pragma once

#include "chrome/titlebarWindow.h"

#include <memory>

class CtlWidget;
class DeviceList;
class FramelessHelper;
class ImageWidget;
class QCloseEvent;

namespace Ui {
class DepthStudio;
}

// The program's only top-level window: device list on the left, image view at the top
// right, control panel below it, wired to each other here.
class DepthStudio : public titlebarWindow
{
    Q_OBJECT

public:
    explicit DepthStudio(QWidget *parent = nullptr);
    ~DepthStudio() override;

    DeviceList *deviceList() const { return m_deviceList; }
    ImageWidget *imageWidget() const { return m_imageWidget; }
    CtlWidget *ctlWidget() const { return m_ctlWidget; }

public slots:
    void sloturi(QString uri);
    void slotLeftRight(int value);
    void slotTopBottom(int value);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    std::unique_ptr<Ui::DepthStudio> ui;
    FramelessHelper *m_frameless;
    DeviceList *m_deviceList;
    ImageWidget *m_imageWidget;
    CtlWidget *m_ctlWidget;
};
