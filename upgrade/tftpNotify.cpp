#include "upgrade/tftpNotify.h"

tftpNotify *tftpNotify::instance()
{
    static tftpNotify *notifier = new tftpNotify; // lives as long as the process
    return notifier;
}

void tftpNotify::started(int transfer, const std::string &name)
{
    emit sigFileName(QString::fromStdString(name));
    emit sigTransferStarted(transfer);
}

void tftpNotify::progress(int transfer, int percent)
{
    emit sigProgress(percent);
    emit sigTransferProgress(transfer, percent);
}

void tftpNotify::ended(int transfer, bool complete)
{
    emit sigTransferEnded(transfer, complete);
}
