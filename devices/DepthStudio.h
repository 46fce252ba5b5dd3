#pragma once

#include <QMainWindow>

class QCloseEvent;

// The program's only top-level window: frameless, asks before the program ends.
class DepthStudio : public QMainWindow
{
    Q_OBJECT

public:
    explicit DepthStudio(QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;
};
