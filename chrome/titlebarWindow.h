#pragma once

#include <QMainWindow>

class MyTitleBar;

// A frameless main window with its own title bar at the top, which it fills (icon, version,
// buttons) and whose minimise, maximise, restore and close requests it carries out.
class titlebarWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit titlebarWindow(QWidget *parent = nullptr);

    MyTitleBar *titleBar() const { return m_titleBar; }

private slots:
    void onButtonMinClicked();
    void onButtonRestoreClicked();
    void onButtonMaxClicked();
    void onButtonCloseClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

    MyTitleBar *m_titleBar;
};
