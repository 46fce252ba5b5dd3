#pragma once

#include "titlebarWindow.h"

class QCloseEvent;
class FramelessHelper;

// The program's only top-level window: frameless with its own title bar, moved and resized
// by hand, asks before the program ends.
class DepthStudio : public titlebarWindow
{
    Q_OBJECT

public:
    explicit DepthStudio(QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    FramelessHelper *m_frameless;
};
