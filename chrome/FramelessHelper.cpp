#include "chrome/FramelessHelper.h"

#include "chrome/FrameEdges.h"

#include <QEvent>
#include <QHoverEvent>
#include <QMouseEvent>
#include <QWidget>

namespace {

const int kBorderWidth = 5;
int g_titleHeight = 30;

} // namespace

// Tracking state of one activated widget and its event handlers.
class FramelessHelper::WidgetData
{
public:
    explicit WidgetData(QWidget *widget)
        : m_widget(widget)
        , m_windowFlags(widget->windowFlags())
    {
        m_widget->setMouseTracking(true);
        m_widget->setAttribute(Qt::WA_Hover, true);
    }

    ~WidgetData()
    {
        if (!m_widget)
            return;
        m_widget->setMouseTracking(false);
        if (m_widget->windowFlags() != m_windowFlags)
            m_widget->setWindowFlags(m_windowFlags);
        m_widget->setAttribute(Qt::WA_Hover, false);
    }

    // The widget is being destroyed: leave it alone.
    void forget() { m_widget = nullptr; }

    void handle(QEvent *event, bool movable, bool resizable)
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            press(static_cast<QMouseEvent *>(event));
            break;
        case QEvent::MouseButtonRelease:
            release(static_cast<QMouseEvent *>(event));
            break;
        case QEvent::MouseMove:
            move(static_cast<QMouseEvent *>(event), movable, resizable);
            break;
        case QEvent::Leave:
            if (!m_leftButtonPressed)
                restoreCursor();
            break;
        case QEvent::HoverMove:
            if (resizable)
                updateCursor(m_widget->mapToGlobal(static_cast<QHoverEvent *>(event)->pos()));
            break;
        default:
            break;
        }
    }

private:
    void press(QMouseEvent *event)
    {
        if (event->button() != Qt::LeftButton)
            return;
        m_leftButtonPressed = true;
        m_titlePressed = event->pos().y() < g_titleHeight;
        const QRect frame = m_widget->frameGeometry();
        m_pressEdges = FrameEdges::at(event->globalPos(), frame, kBorderWidth);
        m_dragOffset = event->globalPos() - frame.topLeft();
    }

    void release(QMouseEvent *event)
    {
        if (event->button() != Qt::LeftButton)
            return;
        m_leftButtonPressed = false;
        m_titlePressed = false;
        m_pressEdges.reset();
    }

    void move(QMouseEvent *event, bool movable, bool resizable)
    {
        if (!m_leftButtonPressed) {
            if (resizable)
                updateCursor(event->globalPos());
            return;
        }
        if (resizable && m_pressEdges.onEdges()) {
            const auto frame = FrameMaths::resizedFrame(m_pressEdges, m_widget->frameGeometry(), event->globalPos());
            if (frame)
                m_widget->setGeometry(
                    FrameMaths::withinLimits(*frame, m_pressEdges, m_widget->minimumSize(), m_widget->maximumSize()));
        } else if (movable && m_titlePressed) {
            m_widget->move(event->globalPos() - m_dragOffset);
        }
    }

    void updateCursor(const QPoint &global)
    {
        if (m_widget->isFullScreen() || m_widget->isMaximized()) {
            if (m_cursorShapeChanged)
                restoreCursor();
            return;
        }
        const auto shape = FrameMaths::resizeCursor(FrameEdges::at(global, m_widget->frameGeometry(), kBorderWidth));
        if (shape) {
            m_widget->setCursor(*shape);
            m_cursorShapeChanged = true;
        } else if (m_cursorShapeChanged) {
            restoreCursor();
        }
    }

    void restoreCursor()
    {
        m_widget->unsetCursor();
        m_cursorShapeChanged = false;
    }

    QWidget *m_widget;
    Qt::WindowFlags m_windowFlags;
    QPoint m_dragOffset;
    bool m_leftButtonPressed = false;
    bool m_titlePressed = false;
    bool m_cursorShapeChanged = false;
    FrameEdges m_pressEdges;
};

FramelessHelper::FramelessHelper(QObject *parent)
    : QObject(parent)
{}

FramelessHelper::~FramelessHelper()
{
    for (auto &entry : m_widgets)
        entry.first->removeEventFilter(this);
    m_widgets.clear();
}

void FramelessHelper::activateOn(QWidget *widget)
{
    if (!widget || m_widgets.count(widget))
        return;
    m_widgets.emplace(widget, std::make_unique<WidgetData>(widget));
    widget->installEventFilter(this);
    // A widget that goes before the helper must not be touched again by the destructor.
    connect(widget, &QObject::destroyed, this, [this](QObject *gone) {
        auto it = m_widgets.find(gone);
        if (it == m_widgets.end())
            return;
        it->second->forget();
        m_widgets.erase(it);
    });
}

void FramelessHelper::setTitleHeight(int height)
{
    if (height != 0)
        g_titleHeight = height;
}

void FramelessHelper::setWidgetMovable(bool movable)
{
    m_movable = movable;
}

void FramelessHelper::setWidgetResizable(bool resizable)
{
    m_resizable = resizable;
}

int FramelessHelper::borderWidth()
{
    return kBorderWidth;
}

int FramelessHelper::titleHeight()
{
    return g_titleHeight;
}

bool FramelessHelper::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::Leave:
    case QEvent::HoverMove: {
        auto it = m_widgets.find(watched);
        if (it == m_widgets.end())
            break;
        it->second->handle(event, m_movable, m_resizable);
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
