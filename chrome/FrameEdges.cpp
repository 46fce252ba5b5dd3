#include "chrome/FrameEdges.h"

#include <algorithm>

FrameEdges FrameEdges::at(const QPoint &global, const QRect &frame, int borderWidth)
{
    const int x = frame.x(), y = frame.y(), w = frame.width(), h = frame.height();
    const int gx = global.x(), gy = global.y();
    FrameEdges edges;
    edges.onLeft = gx >= x && gx <= x + borderWidth;
    edges.onRight = gx >= x + w - borderWidth && gx <= x + w;
    edges.onTop = gy >= y && gy <= y + borderWidth;
    edges.onBottom = gy >= y + h - borderWidth && gy <= y + h;
    return edges;
}

std::optional<Qt::CursorShape> FrameMaths::resizeCursor(const FrameEdges &edges)
{
    if (edges.onTopLeft() || edges.onBottomRight())
        return Qt::SizeFDiagCursor;
    if (edges.onBottomLeft() || edges.onTopRight())
        return Qt::SizeBDiagCursor;
    if (edges.onLeft || edges.onRight)
        return Qt::SizeHorCursor;
    if (edges.onTop || edges.onBottom)
        return Qt::SizeVerCursor;
    return std::nullopt;
}

std::optional<QRect> FrameMaths::resizedFrame(const FrameEdges &pressed, const QRect &frame, const QPoint &global)
{
    int left = frame.left(), top = frame.top(), right = frame.right(), bottom = frame.bottom();
    const int gx = global.x(), gy = global.y();
    // A corner moves two edges; a corner match excludes the single-edge cases.
    if (pressed.onTopLeft()) {
        left = gx;
        top = gy;
    } else if (pressed.onBottomLeft()) {
        left = gx;
        bottom = gy;
    } else if (pressed.onTopRight()) {
        right = gx;
        top = gy;
    } else if (pressed.onBottomRight()) {
        right = gx;
        bottom = gy;
    } else if (pressed.onLeft) {
        left = gx;
    } else if (pressed.onRight) {
        right = gx;
    } else if (pressed.onTop) {
        top = gy;
    } else if (pressed.onBottom) {
        bottom = gy;
    }
    if (left > right || top > bottom)
        return std::nullopt;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

QRect FrameMaths::withinLimits(const QRect &frame, const FrameEdges &pressed, const QSize &minimum,
                               const QSize &maximum)
{
    const int width = std::clamp(frame.width(), minimum.width(), std::max(minimum.width(), maximum.width()));
    const int height = std::clamp(frame.height(), minimum.height(), std::max(minimum.height(), maximum.height()));
    QRect limited = frame;
    // Dragging the left (top) edge keeps the right (bottom) edge in place, and the other way round.
    if (pressed.onLeft)
        limited.setLeft(frame.right() - width + 1);
    else
        limited.setWidth(width);
    if (pressed.onTop)
        limited.setTop(frame.bottom() - height + 1);
    else
        limited.setHeight(height);
    return limited;
}
