#pragma once

#include <QString>
#include <QWidget>

#include <memory>

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
    explicit DeviceList(QWidget *parent = nullptr);
    ~DeviceList() override;

    QString uri() const { return m_uri; }
    bool isScanning() const { return m_scanning; }

signals:
    void sgluri(QString uri);
    void sglopenCamera();
    void sglcloseCamera();

public slots:
    void SlotTimeOut();
    void slotToSync();
    void slotToStart();
    void slotToStop();
    void itemClick(QTreeWidgetItem *item, int column);
    void itemDoubleClick(QTreeWidgetItem *item, int column);
    void slotConnected();
    void slotOutTimer();

private:
    void showListState();
    void scheduleScan();

    std::unique_ptr<Ui::DeviceList> ui;
    QString m_uri;
    bool m_scanning = false;
};
