// Image saving: the panel prepares the save set's folders and hands the request to the
// frame reader through the display switches.

#include "AppPaths.h"
#include "Control_Single.h"
#include "CtlWidget.h"
#include "DisplaySwitches.h"
#include "SaveFolders.h"
#include "SdkTypes.h"
#include "ui_CtlWidget.h"

#include <QDateTime>

// The folders first, the request last with release: the reader acquires the request before
// it reads the folders.
void CtlWidget::requestSave()
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    const bool brio = Control_Single::getInstance()->getDeviceType() == Brio;
    const QString stamp = SaveFolders::stampOf(QDateTime::currentDateTime());
    sw.setSaveTarget(SaveFolders::prepare(AppPaths::appDir(), stamp, SaveFolders::fromSwitches(brio), sw.saveTarget()));
    sw.clearSaveFailures();
    sw.saveIndex = 1;
    sw.saveState.storeRelease(1);
}

void CtlWidget::on_pushButton_save_clicked()
{
    requestSave();
}

void CtlWidget::SaveImageStateChanged(int state)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    if (state == Qt::Checked) {
        // Continuous before the request: a reader that saw the request alone would save
        // one set, report it and stop. The running number is reset before the request
        // only; resetting it after would let the next set overwrite the first.
        sw.continuousSave = true;
        requestSave();
        ui->pushButton_save->setEnabled(false);
    } else if (state == Qt::Unchecked) {
        sw.saveState = 3;
        sw.continuousSave = false;
        ui->pushButton_save->setEnabled(true);
    }
}
