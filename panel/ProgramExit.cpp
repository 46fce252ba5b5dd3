#include "panel/ProgramExit.h"

#include "camera/Control_Single.h"
#include "panel/Gb18030.h"
#include "shell/MessageBoxes.h"

#include <QDebug>

#include <cstdio>
#include <cstdlib>

namespace ProgramExit {

bool confirmed(QWidget *parent)
{
    return MessageBoxes::question(parent, Gb18030::decoded("Exit"), Gb18030::decoded("Confirm the exit?"),
                                  QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void shutDown(Control_Single &camera)
{
    qDebug() << "CtlWidget::shutDown";
    const SdkStatus status = camera.shutdownORB();
    qDebug() << "CtlWidget::shutDown"
             << "shutdownORB " << status;
}

void now()
{
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace ProgramExit
