#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <Qt>

#include <optional>

// Which borders of a frameless window a global cursor position lies on. All tests are
// inclusive: with border width b, x..x+b counts as the left edge and x+w-b..x+w as the right.
struct FrameEdges
{
    bool onLeft = false;
    bool onRight = false;
    bool onTop = false;
    bool onBottom = false;

    static FrameEdges at(const QPoint &global, const QRect &frame, int borderWidth);

    bool onTopLeft() const { return onTop && onLeft; }
    bool onBottomLeft() const { return onBottom && onLeft; }
    bool onTopRight() const { return onTop && onRight; }
    bool onBottomRight() const { return onBottom && onRight; }
    bool onEdges() const { return onLeft || onRight || onTop || onBottom; }
    void reset() { *this = FrameEdges(); }
};

namespace FrameMaths {

// The resize cursor for the edges, corners first; nothing when the position is on no edge.
std::optional<Qt::CursorShape> resizeCursor(const FrameEdges &edges);

// The frame after dragging the edges grabbed at the press to the global cursor position;
// nothing when the dragged edge has crossed the opposite one.
std::optional<QRect> resizedFrame(const FrameEdges &pressed, const QRect &frame, const QPoint &global);

// Brings a resized frame within the window's size limits while the edges that were not
// grabbed stay where they are: the window shrinks to its minimum and stops instead of sliding.
QRect withinLimits(const QRect &frame, const FrameEdges &pressed, const QSize &minimum, const QSize &maximum);

} // namespace FrameMaths
