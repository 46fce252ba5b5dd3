#pragma once

#include <QObject>

#include <map>
#include <memory>

class QWidget;
class QEvent;

// Lets the user move a frameless window by its title area and resize it by its edges and
// corners, showing the matching cursor over an edge. Watches the window's mouse and hover
// events through an event filter; mouse events that children leave unhandled are consumed.
class FramelessHelper : public QObject
{
    Q_OBJECT

public:
    explicit FramelessHelper(QObject *parent = nullptr);
    ~FramelessHelper() override;

    // Starts handling the widget (once; later calls for it do nothing).
    void activateOn(QWidget *widget);
    // Shared by every helper of the process; 0 leaves it unchanged.
    void setTitleHeight(int height);
    void setWidgetMovable(bool movable);
    void setWidgetResizable(bool resizable);

    // Shared by every helper of the process.
    static int borderWidth();
    static int titleHeight();

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class WidgetData;

    std::map<QObject *, std::unique_ptr<WidgetData>> m_widgets;
    bool m_movable = true;
    bool m_resizable = true;
};
