#include "DepthStudio.h"

#include "MessageBoxes.h"

#include <QCloseEvent>

#include <cstdio>
#include <cstdlib>

DepthStudio::DepthStudio(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("DepthStudio"));
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setFocusPolicy(Qt::WheelFocus);
    setStyleSheet(QStringLiteral("font-size: 14px;\n"));
    resize(1557, 777);
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(central);
}

void DepthStudio::closeEvent(QCloseEvent *event)
{
    if (MessageBoxes::question(this, QStringLiteral("Exit"), QStringLiteral("Confirm the exit?"),
                               QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    event->accept();
    // Ends at once from inside the handler: nothing after the event loop in main runs. No
    // static destructors either, which could run while the stack-held application still lives.
    std::fflush(nullptr);
    std::_Exit(0);
}
