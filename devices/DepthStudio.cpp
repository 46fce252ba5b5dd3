#include "DepthStudio.h"

#include "FramelessHelper.h"
#include "MessageBoxes.h"
#include "MyTitleBar.h"

#include <QCloseEvent>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>

DepthStudio::DepthStudio(QWidget *parent)
    : titlebarWindow(parent)
{
    setObjectName(QStringLiteral("DepthStudio"));
    setFocusPolicy(Qt::WheelFocus);
    setStyleSheet(QStringLiteral("font-size: 14px;\n"));
    resize(1557, 777);
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    central->setStyleSheet(QStringLiteral(
        "QWidget#widget_main{border: 2px solid rgb(93, 93, 93); color: black; background-color: rgb(188, 188, 188);}"));
    auto *layout = new QVBoxLayout(central);
    layout->setObjectName(QStringLiteral("verticalLayout_2"));
    layout->setSpacing(0);
    layout->setContentsMargins(0, 35, 0, 0); // the top is the title bar's
    auto *mainArea = new QWidget(central);
    mainArea->setObjectName(QStringLiteral("widget_main"));
    layout->addWidget(mainArea);
    setCentralWidget(central);
    m_titleBar->raise();

    m_frameless = new FramelessHelper(this);
    m_frameless->activateOn(this);
    m_frameless->setTitleHeight(m_titleBar->height());
    m_frameless->setWidgetMovable(true);
    m_frameless->setWidgetResizable(true);
}

void DepthStudio::closeEvent(QCloseEvent *event)
{
    if (MessageBoxes::question(this, QStringLiteral("Exit"), QStringLiteral("Confirm the exit?"),
                               QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    event->accept();
    // Ends at once from inside the handler: nothing after the event loop in main runs. No
    // static destructors either, which could run while the stack-held application still lives.
    std::fflush(nullptr);
    std::_Exit(0);
}
