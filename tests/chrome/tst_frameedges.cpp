#include "chrome/FrameEdges.h"

#include <QtTest>

Q_DECLARE_METATYPE(FrameEdges)
Q_DECLARE_METATYPE(std::optional<QRect>)

namespace {

// A window at (100, 200), 400 x 300: right() = 499, bottom() = 499, x + w = 500.
const QRect frame(100, 200, 400, 300);
const int border = 5;

FrameEdges edges(bool left, bool right, bool top, bool bottom)
{
    FrameEdges e;
    e.onLeft = left;
    e.onRight = right;
    e.onTop = top;
    e.onBottom = bottom;
    return e;
}

QString describe(const FrameEdges &e)
{
    return QStringLiteral("L%1 R%2 T%3 B%4").arg(e.onLeft).arg(e.onRight).arg(e.onTop).arg(e.onBottom);
}

} // namespace

class FrameEdgesTest : public QObject
{
    Q_OBJECT

private slots:
    void edgesOfAPosition_data()
    {
        QTest::addColumn<QPoint>("global");
        QTest::addColumn<FrameEdges>("expected");

        QTest::newRow("5 inside the left edge") << QPoint(105, 350) << edges(true, false, false, false);
        QTest::newRow("6 inside the left edge") << QPoint(106, 350) << edges(false, false, false, false);
        QTest::newRow("x + w counts as right") << QPoint(500, 350) << edges(false, true, false, false);
        QTest::newRow("x + w - 6 is inside") << QPoint(494, 350) << edges(false, false, false, false);
        QTest::newRow("5 below the top") << QPoint(300, 205) << edges(false, false, true, false);
        QTest::newRow("6 below the top") << QPoint(300, 206) << edges(false, false, false, false);
        QTest::newRow("top-left corner") << QPoint(102, 203) << edges(true, false, true, false);
    }

    void edgesOfAPosition()
    {
        QFETCH(QPoint, global);
        QFETCH(FrameEdges, expected);
        QCOMPARE(describe(FrameEdges::at(global, frame, border)), describe(expected));
    }

    void resizeByGrabbedEdges_data()
    {
        QTest::addColumn<FrameEdges>("pressed");
        QTest::addColumn<QPoint>("global");
        QTest::addColumn<std::optional<QRect>>("expected");

        QTest::newRow("right edge out") << edges(false, true, false, false) << QPoint(549, 10)
                                        << std::optional<QRect>(QRect(100, 200, 450, 300));
        QTest::newRow("left edge in") << edges(true, false, false, false) << QPoint(150, 900)
                                      << std::optional<QRect>(QRect(150, 200, 350, 300));
        QTest::newRow("left edge dragged past the right edge")
            << edges(true, false, false, false) << QPoint(500, 300) << std::optional<QRect>();
        QTest::newRow("bottom edge dragged above the top")
            << edges(false, false, false, true) << QPoint(300, 150) << std::optional<QRect>();
        QTest::newRow("top-right corner inverted vertically")
            << edges(false, true, true, false) << QPoint(600, 520) << std::optional<QRect>();
    }

    void resizeByGrabbedEdges()
    {
        QFETCH(FrameEdges, pressed);
        QFETCH(QPoint, global);
        QFETCH(std::optional<QRect>, expected);
        // An ignored drag gives no frame, which no real frame equals.
        QCOMPARE(FrameMaths::resizedFrame(pressed, frame, global).value_or(QRect()), expected.value_or(QRect()));
    }

    void sizeLimitsKeepTheFixedEdges_data()
    {
        QTest::addColumn<FrameEdges>("pressed");
        QTest::addColumn<QRect>("requested");
        QTest::addColumn<QRect>("expected");

        QTest::newRow("within limits") << edges(true, false, false, false) << QRect(150, 200, 350, 300)
                                       << QRect(150, 200, 350, 300);
        QTest::newRow("top-left corner stops at the minimum")
            << edges(true, false, true, false) << QRect(QPoint(450, 480), QPoint(499, 499))
            << QRect(QPoint(300, 350), QPoint(499, 499));
        QTest::newRow("bottom-right corner stops at the maximum")
            << edges(false, true, false, true) << QRect(100, 200, 1200, 900) << QRect(100, 200, 800, 600);
    }

    void sizeLimitsKeepTheFixedEdges()
    {
        QFETCH(FrameEdges, pressed);
        QFETCH(QRect, requested);
        QFETCH(QRect, expected);
        QCOMPARE(FrameMaths::withinLimits(requested, pressed, QSize(200, 150), QSize(800, 600)), expected);
    }
};

QTEST_APPLESS_MAIN(FrameEdgesTest)
#include "tst_frameedges.moc"
