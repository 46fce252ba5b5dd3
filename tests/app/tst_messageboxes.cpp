#include "BoxRecorder.h"
#include "MessageBoxes.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class MessageBoxesTest : public QObject
{
    Q_OBJECT

private slots:
    void responderAnswersInPlaceOfTheUser();
    void realBoxShowsAndIsTraced();
};

void MessageBoxesTest::responderAnswersInPlaceOfTheUser()
{
    BoxRecorder outer(QMessageBox::No);
    {
        BoxRecorder inner;
        inner.queueAnswer(QMessageBox::No);
        QCOMPARE(MessageBoxes::question(nullptr, QStringLiteral("Exit"), QStringLiteral("Confirm the exit?")),
                 QMessageBox::No);
        QCOMPARE(MessageBoxes::warning(nullptr, QStringLiteral("Waring"), QStringLiteral("t"), QMessageBox::Yes,
                                       QMessageBox::Yes),
                 QMessageBox::Yes);
        QCOMPARE(inner.boxes().size(), 2);
        QCOMPARE(inner.boxes()[0].icon, QMessageBox::Question);
        QCOMPARE(inner.boxes()[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(inner.boxes()[1].title, QStringLiteral("Waring"));
        QCOMPARE(inner.boxes()[1].defaultButton, QMessageBox::Yes);
    }
    // The outer recorder is back in charge once the inner one is gone.
    QCOMPARE(MessageBoxes::information(nullptr, QStringLiteral("Notice"), QStringLiteral("n")), QMessageBox::No);
    QCOMPARE(outer.boxes().size(), 1);
}

void MessageBoxesTest::realBoxShowsAndIsTraced()
{
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("boxes.txt"));
    qputenv("LUMIDESK_BOX_LOG", trace.toLocal8Bit());

    QString shownTitle;
    QTimer::singleShot(50, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        shownTitle = box->windowTitle();
        box->button(QMessageBox::Yes)->click();
    });
    const auto answer = MessageBoxes::question(nullptr, QStringLiteral("Exit"), QStringLiteral("two\nlines"));
    qunsetenv("LUMIDESK_BOX_LOG");

    QCOMPARE(answer, QMessageBox::Yes);
    QCOMPARE(shownTitle, QStringLiteral("Exit"));
    QFile file(trace);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("Exit\ttwo\\nlines\n"));
}

QTEST_MAIN(MessageBoxesTest)
#include "tst_messageboxes.moc"
