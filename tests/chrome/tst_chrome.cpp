#include "chrome/FramelessHelper.h"
#include "chrome/MyTitleBar.h"
#include "chrome/titlebarWindow.h"
#include "support/ProgramFolder.h"
#include "support/TestFiles.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <new>

namespace {

// Sends a mouse event at a global position, as the window system would deliver it: through
// the application, so that event filters see it and unhandled events reach the parents.
void mouse(QWidget *target, QEvent::Type type, const QPoint &global, Qt::MouseButtons buttons = Qt::LeftButton)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const QPointF local = target->mapFromGlobal(global);
    QMouseEvent event(type, local, local, global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Press at a local position, drag by delta in two steps, release.
void drag(QWidget *target, const QPoint &local, const QPoint &delta)
{
    const QPoint start = target->mapToGlobal(local);
    mouse(target, QEvent::MouseButtonPress, start);
    mouse(target, QEvent::MouseMove, start + delta / 2);
    mouse(target, QEvent::MouseMove, start + delta);
    mouse(target, QEvent::MouseButtonRelease, start + delta, Qt::NoButton);
}

void hover(QWidget *window, const QPoint &local)
{
    QHoverEvent event(QEvent::HoverMove, local, local);
    QApplication::sendEvent(window, &event);
}

struct HelpedWindow
{
    QWidget window;
    FramelessHelper *helper;

    explicit HelpedWindow(const QRect &geometry)
    {
        window.setWindowFlags(Qt::FramelessWindowHint);
        window.setGeometry(geometry);
        helper = new FramelessHelper(&window);
        helper->activateOn(&window);
        helper->setTitleHeight(35);
        window.show();
    }
};

} // namespace

class ChromeTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home = std::make_unique<ProgramFolder>();
        QVERIFY(m_home->isValid());
    }

    void cleanup() { m_home.reset(); }

    void dragInsideTheTitleAreaMoves()
    {
        // y 34 is the title area's last row, 35 is below it.
        for (const auto &[y, expectedPos] : {std::pair(34, QPoint(150, 120)), std::pair(35, QPoint(100, 100))}) {
            HelpedWindow w(QRect(100, 100, 400, 300));
            drag(&w.window, QPoint(200, y), QPoint(50, 20));
            QCOMPARE(w.window.pos(), expectedPos);
            QCOMPARE(w.window.size(), QSize(400, 300));
        }
    }

    void cornerPressResizesAndNeverMoves()
    {
        HelpedWindow w(QRect(100, 100, 400, 300));
        const QPoint farCorner = w.window.frameGeometry().bottomRight();
        drag(&w.window, QPoint(1, 1), QPoint(-20, -10)); // inside the title area as well
        QCOMPARE(w.window.frameGeometry(), QRect(QPoint(81, 91), farCorner));
    }

    void resizingStopsAtTheMinimumSize()
    {
        HelpedWindow w(QRect(100, 100, 400, 300));
        w.window.setMinimumSize(250, 200);
        drag(&w.window, QPoint(2, 150), QPoint(300, 0)); // left edge, 100 pixels short of the right
        // The window stops at its minimum width with its right edge in place, instead of sliding.
        QCOMPARE(w.window.frameGeometry(), QRect(QPoint(250, 100), QPoint(499, 399)));
    }

    void resizeCursorFollowsTheBorder()
    {
        HelpedWindow w(QRect(100, 100, 400, 300));
        hover(&w.window, QPoint(399, 299));
        QCOMPARE(w.window.cursor().shape(), Qt::SizeFDiagCursor);
        // Leaving gives the normal cursor back, unless a drag is on.
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&w.window, &leave);
        QCOMPARE(w.window.cursor().shape(), Qt::ArrowCursor);

        hover(&w.window, QPoint(0, 150));
        w.window.setWindowState(Qt::WindowMaximized);
        hover(&w.window, QPoint(0, 150));
        QCOMPARE(w.window.cursor().shape(), Qt::ArrowCursor);
    }

    void helperLetsGoOfTheWindow()
    {
        // A watched widget that goes first is forgotten: a new widget at its address (as the
        // allocator hands out) is watched afresh, not taken for the old one.
        FramelessHelper helper;
        alignas(QWidget) unsigned char place[sizeof(QWidget)];
        auto *first = new (place) QWidget;
        helper.activateOn(first);
        const bool firstWatched = first->hasMouseTracking();
        first->~QWidget();
        auto *second = new (place) QWidget;
        helper.activateOn(second);
        const bool secondWatched = second->hasMouseTracking() && second->testAttribute(Qt::WA_Hover);
        second->~QWidget();
        QVERIFY(firstWatched);
        QVERIFY(secondWatched);

        // A helper that goes first leaves the window as it found it.
        QWidget window;
        {
            FramelessHelper gone;
            gone.activateOn(&window);
            QVERIFY(window.hasMouseTracking() && window.testAttribute(Qt::WA_Hover));
        }
        QVERIFY(!window.hasMouseTracking() && !window.testAttribute(Qt::WA_Hover));
    }

    void maximiseAndRestore_data()
    {
        QTest::addColumn<bool>("byButtons");
        QTest::newRow("double-click") << false;
        QTest::newRow("buttons") << true;
    }

    void maximiseAndRestore()
    {
        QFETCH(bool, byButtons);
        titlebarWindow window;
        window.setGeometry(50, 60, 640, 480);
        window.show();
        MyTitleBar *bar = window.titleBar();
        auto *maxButton = bar->findChild<QPushButton *>(QStringLiteral("ButtonMax"));
        auto *restoreButton = bar->findChild<QPushButton *>(QStringLiteral("ButtonRestore"));
        const auto toggle = [&](QPushButton *button) {
            if (byButtons)
                QTest::mouseClick(button, Qt::LeftButton);
            else
                QTest::mouseDClick(bar, Qt::LeftButton, {}, QPoint(300, 15));
        };
        toggle(maxButton);
        QCOMPARE(window.geometry(), QGuiApplication::primaryScreen()->availableGeometry().adjusted(-3, -3, 3, 3));
        QVERIFY(maxButton->isHidden() && !restoreButton->isHidden());

        toggle(restoreButton);
        QCOMPARE(window.geometry(), QRect(50, 60, 640, 480));
        QVERIFY(!maxButton->isHidden() && restoreButton->isHidden());
    }

    void closeButtonOnlyIgnoresDoubleClicks()
    {
        titlebarWindow window;
        window.setGeometry(50, 60, 640, 480);
        window.show();
        MyTitleBar *bar = window.titleBar();
        bar->setButtonType(MyTitleBar::CloseButtonOnly);
        QTest::mouseDClick(bar, Qt::LeftButton, {}, QPoint(300, 15));
        QCOMPARE(window.geometry(), QRect(50, 60, 640, 480)); // neither maximised nor moved
        for (const char *name : {"ButtonMin", "ButtonRestore", "ButtonMax"})
            QVERIFY2(bar->findChild<QPushButton *>(QLatin1String(name))->isHidden(), name);
        QVERIFY(!bar->findChild<QPushButton *>(QStringLiteral("ButtonClose"))->isHidden());
    }

    void titleShowsTheVersion()
    {
        // Which version file counts is the settings test's business.
        QVERIFY(writeFile(m_home->installFilePath(QStringLiteral("version")), "version=1.2.3.4\n"));
        QCOMPARE(titlebarWindow().titleBar()->findChild<QLabel *>("TitleContent")->text(), "   1.2.3.4");
    }

    void rollingTitle()
    {
        MyTitleBar bar;
        bar.setTitleContent(QStringLiteral("abc"));
        auto *label = bar.findChild<QLabel *>(QStringLiteral("TitleContent"));
        QStringList shown;
        for (int i = 0; i < 5; ++i) {
            QVERIFY(QMetaObject::invokeMethod(&bar, "onRollTitle"));
            shown << label->text();
        }
        QCOMPARE(shown, (QStringList{"abc", "bc", "c", "", "abc"}));
    }

    void resourcesLoad()
    {
        // Compiled in: the generator's own check compares the files, not the .qrc.
        QStringList names{"left", "right", "up", "down", "tarvik_icon", "lumidesk", "dialog_close", "file_open"};
        for (const char *button : {"minimize", "maximize", "close"})
            for (const char *state : {"normal", "press", "selected"})
                names << QStringLiteral("bt_%1_%2").arg(QLatin1String(button), QLatin1String(state));
        for (const QString &path : names)
            QVERIFY2(!QImage(":/DepthStudio/Resources/" + path + ".png").isNull(), qPrintable(path));
        for (const char *state : {"normal", "grayed"})
            QVERIFY(!QImage(QStringLiteral(":/TarvikHome/Skin/navigation_userguide_%1.png").arg(QLatin1String(state)))
                         .isNull());
    }

    void buttonsShowTheirImages()
    {
        titlebarWindow window;
        window.resize(640, 480);
        window.show();
        QTRY_COMPARE(window.titleBar()->width(), 640);
        // The close cross is dark in the middle of a transparent button on the grey bar; a sheet
        // whose image failed to load would leave a plain light button face instead.
        auto *close = window.titleBar()->findChild<QPushButton *>(QStringLiteral("ButtonClose"));
        QTRY_COMPARE(close->geometry().right(), 640 - 1 - 5);
        const QImage face = window.titleBar()->grab(close->geometry()).toImage();
        QVERIFY(qGray(face.pixel(face.width() / 2, face.height() / 2)) < 90);
        QCOMPARE(QColor(face.pixel(2, 2)), QColor(170, 170, 170));
        const QPixmap icon = window.titleBar()->findChildren<QLabel *>().first()->pixmap(Qt::ReturnByValue);
        QCOMPARE(icon.size(), QSize(80, 32));
    }

private:
    std::unique_ptr<ProgramFolder> m_home;
};

QTEST_MAIN(ChromeTest)
#include "tst_chrome.moc"
