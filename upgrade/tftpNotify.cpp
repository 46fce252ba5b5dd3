#include "tftpNotify.h"

tftpNotify *tftpNotify::instance()
{
    static tftpNotify *notifier = new tftpNotify; // lives as long as the process
    return notifier;
}

void tftpNotify::fileName(const std::string &name)
{
    emit sigFileName(QString::fromStdString(name));
}

void tftpNotify::progress(int percent)
{
    emit sigProgress(percent);
}
