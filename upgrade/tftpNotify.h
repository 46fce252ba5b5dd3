#pragma once

#include "upgrade/tftp/TftpDaemon.h"

#include <QObject>
#include <QString>

// The one notifier through which transfer threads report to the dialog; its signals
// reach the dialog queued, in the GUI thread. sigFileName and sigProgress do not say which
// transfer they belong to; the sigTransfer* signals do.
class tftpNotify : public QObject, public tftp::TransferObserver
{
    Q_OBJECT

public:
    static tftpNotify *instance();

    void started(int transfer, const std::string &name) override;
    void progress(int transfer, int percent) override;
    void ended(int transfer, bool complete) override;

signals:
    void sigFileName(QString filename);
    void sigProgress(int progress);
    void sigTransferStarted(int transfer);
    void sigTransferProgress(int transfer, int progress);
    void sigTransferEnded(int transfer, bool complete);

private:
    tftpNotify() = default;
};
