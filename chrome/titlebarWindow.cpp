#include "chrome/titlebarWindow.h"

#include "chrome/MyTitleBar.h"
#include "shell/ToolSettings.h"

#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

titlebarWindow::titlebarWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
    setWindowIcon(QIcon(QStringLiteral(":/DepthStudio/Resources/lumidesk.png")));

    m_titleBar = new MyTitleBar(this);
    m_titleBar->move(0, 0);

    connect(m_titleBar, &MyTitleBar::signalButtonMinClicked, this, &titlebarWindow::onButtonMinClicked);
    connect(m_titleBar, &MyTitleBar::signalButtonRestoreClicked, this, &titlebarWindow::onButtonRestoreClicked);
    connect(m_titleBar, &MyTitleBar::signalButtonMaxClicked, this, &titlebarWindow::onButtonMaxClicked);
    connect(m_titleBar, &MyTitleBar::signalButtonCloseClicked, this, &titlebarWindow::onButtonCloseClicked);

    m_titleBar->setTitleIcon(QStringLiteral(":/DepthStudio/Resources/tarvik_icon.png"));
    m_titleBar->setTitleContent(QStringLiteral("   %1").arg(ToolSettings::getInstance().version()));
    m_titleBar->setFont(QFont(QStringLiteral("Microsoft YaHei")));
    m_titleBar->setButtonType(MyTitleBar::MinMaxCloseButtons);
    // The bar's paint event later makes it exactly as wide as the window.
    m_titleBar->setTitleWidth(width() - 4);
}

void titlebarWindow::onButtonMinClicked()
{
    if (windowType() == Qt::Tool)
        hide();
    else
        showMinimized();
}

void titlebarWindow::onButtonRestoreClicked()
{
    QPoint pos;
    QSize size;
    m_titleBar->getRestoreInfo(pos, size);
    setGeometry(QRect(pos, size));
}

void titlebarWindow::onButtonMaxClicked()
{
    m_titleBar->saveRestoreInfo(pos(), size());
    // Grown by 3 pixels on every side, so that the window's thin rim lies just off the work area.
    const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
    setGeometry(desktop.adjusted(-3, -3, 3, 3));
}

void titlebarWindow::onButtonCloseClicked()
{
    close();
}

void titlebarWindow::paintEvent(QPaintEvent *event)
{
    QMainWindow::paintEvent(event);
}

void titlebarWindow::showEvent(QShowEvent *event)
{
    setAttribute(Qt::WA_Mapped);
    QMainWindow::showEvent(event);
}
