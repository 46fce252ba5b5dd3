#include "upgrade/WindowDrag.h"

#include <QDialog>
#include <QMouseEvent>
#include <QWidget>

WindowDrag::WindowDrag(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    window->installEventFilter(this);
}

void WindowDrag::makeFramelessModal(QDialog *dialog)
{
    dialog->setWindowFlags(dialog->windowFlags() | Qt::FramelessWindowHint);
    dialog->setAttribute(Qt::WA_TranslucentBackground);
    dialog->setModal(true);
    new WindowDrag(dialog);
}

bool WindowDrag::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return false;
    // Only mouse events are QMouseEvents: cast after the type says so.
    if (event->type() == QEvent::MouseButtonPress) {
        m_offset = static_cast<const QMouseEvent *>(event)->globalPos() - m_window->pos();
    } else if (event->type() == QEvent::MouseMove) {
        const auto *mouse = static_cast<const QMouseEvent *>(event);
        if (mouse->buttons() != Qt::NoButton)
            m_window->move(mouse->globalPos() - m_offset);
    }
    return false;
}
