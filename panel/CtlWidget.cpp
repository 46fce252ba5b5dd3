#include "CtlWidget.h"

CtlWidget::CtlWidget(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("CtlWidget"));
}

void CtlWidget::openCamera()
{
    emit sglopenCamera();
}

void CtlWidget::closeCamera()
{
    emit sglcloseCamera();
}

void CtlWidget::slotMeasure(QString, QString, QString)
{
}
