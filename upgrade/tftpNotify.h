#pragma once

#include "TftpDaemon.h"

#include <QObject>
#include <QString>

// The one notifier through which transfer threads report to the dialog; its signals
// reach the dialog queued, in the GUI thread.
class tftpNotify : public QObject, public tftp::TransferObserver
{
    Q_OBJECT

public:
    static tftpNotify *instance();

    void fileName(const std::string &name) override;
    void progress(int percent) override;

signals:
    void sigFileName(QString filename);
    void sigProgress(int progress);

private:
    tftpNotify() = default;
};
