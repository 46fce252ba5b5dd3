#pragma once

#include <QObject>
#include <QPoint>

class QDialog;
class QWidget;

// Lets the user drag a frameless window by any spot that leaves the mouse to it: while a
// button is held the window keeps the offset it had to the pointer at the press.
class WindowDrag : public QObject
{
public:
    // Watches window's mouse events as its child; the window still gets them.
    explicit WindowDrag(QWidget *window);

    // The upgrade dialogs' frame: none (the form draws its own on a translucent background),
    // modal, and dragged by any spot.
    static void makeFramelessModal(QDialog *dialog);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    QPoint m_offset;
};
