#include "MessageBoxes.h"
#include "TestFiles.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class MessageBoxesTest : public QObject
{
    Q_OBJECT

private slots:
    void realBoxShowsAndIsTraced();
};

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
    QCOMPARE(readFile(trace), QByteArray("Exit\ttwo\\nlines\n"));
}

QTEST_MAIN(MessageBoxesTest)
#include "tst_messageboxes.moc"
