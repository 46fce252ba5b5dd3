// Image saving: the panel prepares the save set's folders and hands the request to the
// frame reader through the display switches.

#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "panel/CtlWidget.h"
#include "panel/SaveFolders.h"
#include "pipeline/DisplaySwitches.h"
#include "shell/AppPaths.h"
#include "ui_CtlWidget.h"

#include <QDateTime>

// The folders first, the request last: the reader sees the request together with its
// folders.
void CtlWidget::requestSave(bool continuous)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    const bool brio = Control_Single::getInstance()->getDeviceType() == Brio;
    const QString stamp = SaveFolders::stampOf(QDateTime::currentDateTime());
    sw.requestSave(SaveFolders::prepare(AppPaths::appDir(), stamp, SaveFolders::fromSwitches(brio), sw.saveTarget()),
                   continuous);
}

void CtlWidget::on_pushButton_save_clicked()
{
    requestSave(false);
}

void CtlWidget::SaveImageStateChanged(int state)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    if (state == Qt::Checked) {
        // Continuous together with the request: a reader that saw the request alone would
        // save one set, report it and stop.
        requestSave(true);
        ui->pushButton_save->setEnabled(false);
    } else if (state == Qt::Unchecked) {
        sw.stopSave();
        ui->pushButton_save->setEnabled(true);
    }
}

void CtlWidget::slotSaveStopped()
{
    // The run is over and already reported; unticking only brings the controls back.
    ui->SaveImage->setChecked(false);
}
