#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class QTimer;
class QTreeWidgetItem;

namespace Ui {
class DeviceList;
}

// The column through which the user finds cameras, grouped by model, and connects to one.
// It starts the camera SDK when it is built and shuts it down when it goes.
class DeviceList : public QWidget
{
    Q_OBJECT

public:
    // How long a scan waits before it lists the cameras.
    static constexpr int defaultScanDelayMs = 3000;

    explicit DeviceList(QWidget *parent = nullptr, int scanDelayMs = defaultScanDelayMs);
    ~DeviceList() override;

    QString uri() const { return m_uri; }
    bool isScanning() const { return m_scanning; }
    // For the scans scheduled from now on; one already waiting keeps its time.
    void setScanDelay(int ms) { m_scanDelayMs = ms; }

signals:
    void sgluri(QString uri);
    void sglopenCamera();
    void sglcloseCamera();
    // The open camera has gone: the panel and the views stop using it (the handle is closed next).
    void sglcameraLost();
    // The lost camera is back and open again; the panel gives it its settings back.
    void sglreopenCamera();

public slots:
    void SlotTimeOut();
    void slotToSync();
    void slotToStart();
    void slotToStop();
    void itemClick(QTreeWidgetItem *item, int column);
    void itemDoubleClick(QTreeWidgetItem *item, int column);
    void slotConnected();
    void slotOutTimer();
    // The frame reader found the open camera gone: show it, close the handle and watch the
    // camera list until the same camera returns, then open it again.
    void slotCameraLost(int status);

private:
    void showListState();
    void scheduleScan();
    void reopenWhenBack();

    std::unique_ptr<Ui::DeviceList> ui;
    QString m_uri;
    int m_scanDelayMs;
    bool m_scanning = false;
    bool m_lost = false;
    QTimer *m_returnWatch;
};
