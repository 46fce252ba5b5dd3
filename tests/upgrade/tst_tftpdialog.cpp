// The tftpServer dialog with its real server on a free port of the loopback.
#include "BoxRecorder.h"
#include "tftpServer.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A UDP socket on every interface without SO_REUSEADDR: while it lives, nobody else can
// bind the port. Port 0 picks a free one.
class PortHolder
{
public:
    explicit PortHolder(quint16 port = 0)
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        socklen_t length = sizeof address;
        m_bound = ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~PortHolder() { ::close(m_fd); }
    bool bound() const { return m_bound; }
    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    bool m_bound = false;
    quint16 m_port = 0;
};

// UDP sockets of this machine bound to the port.
int socketsOnPort(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/udp"));
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray suffix = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    int count = 0;
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 1 && fields[1].endsWith(suffix))
            ++count;
    }
    return count;
}

} // namespace

class TftpDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void widgetsAndTexts();
    void startTwiceStartsOneServer();
    void transferShowsFileAndClosesAfterASecond();
    void closingWhileBusyAsks();
    void bindFailureIsShownAndStartCanBeRetried();
    void dragMovesTheWindow();

private:
    template <typename T> T *child(tftpServer &dialog, const char *name)
    {
        T *widget = dialog.findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no %s", name);
        return widget;
    }

    QTemporaryDir m_home;
    quint16 m_port = 0;
    QByteArray m_firmware;
};

void TftpDialogTest::initTestCase()
{
    qputenv("LUMIDESK_HOME", m_home.path().toLocal8Bit());
    m_port = PortHolder().port();
    QFile ini(m_home.filePath("Lumidesk.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("tftpport=" + QByteArray::number(m_port) + "\n");
    ini.close();
    QVERIFY(QDir(m_home.path()).mkdir("Upgrade"));
    QFile firmware(m_home.filePath("Upgrade/fw.img"));
    QVERIFY(firmware.open(QIODevice::WriteOnly));
    for (int i = 0; i < 3000; ++i)
        m_firmware.append(char(i * 13));
    firmware.write(m_firmware);
}

void TftpDialogTest::widgetsAndTexts()
{
    tftpServer dialog;
    QVERIFY(!dialog.isVisible());
    QVERIFY(dialog.isModal());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("tftpServer"));
    QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(dialog.testAttribute(Qt::WA_TranslucentBackground));
    QCOMPARE(child<QLabel>(dialog, "label_Title")->text(), QStringLiteral("Upgrade"));
    QCOMPARE(child<QLabel>(dialog, "label_FileName")->text(), QStringLiteral("File Name:"));
    QCOMPARE(child<QPushButton>(dialog, "pushButton_Cancel")->text(), QStringLiteral("Cancel"));
    QCOMPARE(child<QPushButton>(dialog, "pushButton_Start")->text(), QStringLiteral("Start"));
    auto *close = child<QPushButton>(dialog, "pushButton_Close");
    QVERIFY(close->text().isEmpty());
    QVERIFY(!close->icon().isNull());
    QVERIFY(child<QProgressBar>(dialog, "progressBar")->isTextVisible());
    QVERIFY(child<QLineEdit>(dialog, "lineEdit_FileName")->text().isEmpty());
}

void TftpDialogTest::startTwiceStartsOneServer()
{
    BoxRecorder boxes;
    auto dialog = std::make_unique<tftpServer>();
    QCOMPARE(dialog->startTftpd(), 0);
    QCOMPARE(dialog->startTftpd(), 0);
    QTest::mouseClick(child<QPushButton>(*dialog, "pushButton_Start"), Qt::LeftButton);
    QCOMPARE(socketsOnPort(m_port), 1);
    QVERIFY(boxes.boxes().isEmpty());
    dialog.reset(); // stops and joins the server
    QCOMPARE(socketsOnPort(m_port), 0);
}

void TftpDialogTest::transferShowsFileAndClosesAfterASecond()
{
    BoxRecorder boxes;
    tftpServer dialog;
    dialog.show();
    QTest::mouseClick(child<QPushButton>(dialog, "pushButton_Start"), Qt::LeftButton);

    QTemporaryDir out;
    QProcess curl;
    curl.start("curl",
               {"-s", "-S", "-o", out.filePath("fw.img"), QStringLiteral("tftp://127.0.0.1:%1/fw.img").arg(m_port)});
    QVERIFY(curl.waitForFinished(10000));
    QCOMPARE(curl.exitCode(), 0);
    QFile got(out.filePath("fw.img"));
    QVERIFY(got.open(QIODevice::ReadOnly));
    QVERIFY(got.readAll() == m_firmware);

    QTRY_COMPARE(child<QProgressBar>(dialog, "progressBar")->value(), 100);
    QElapsedTimer sinceDone;
    sinceDone.start();
    QCOMPARE(child<QLineEdit>(dialog, "lineEdit_FileName")->text(), QStringLiteral("fw.img"));
    QVERIFY(dialog.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 3000);
    QVERIFY(sinceDone.elapsed() >= 900);
    QVERIFY(boxes.boxes().isEmpty()); // done, so closing does not ask
}

void TftpDialogTest::closingWhileBusyAsks()
{
    BoxRecorder boxes(QMessageBox::No);
    {
        tftpServer idle;
        idle.show();
        QTest::mouseClick(child<QPushButton>(idle, "pushButton_Close"), Qt::LeftButton);
        QVERIFY(!idle.isVisible());
        QVERIFY(boxes.boxes().isEmpty());
    }

    tftpServer dialog;
    dialog.show();
    dialog.startTftpd();
    QTest::mouseClick(child<QPushButton>(dialog, "pushButton_Close"), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.boxes()[0].title, QStringLiteral("Exit"));
    QCOMPARE(boxes.boxes()[0].text, QStringLiteral("Upgrading, Confirm the exit?"));
    QCOMPARE(boxes.boxes()[0].buttons, QMessageBox::Yes | QMessageBox::No);

    boxes.queueAnswer(QMessageBox::Yes);
    QTest::mouseClick(child<QPushButton>(dialog, "pushButton_Cancel"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(boxes.boxes().size(), 2);
}

void TftpDialogTest::bindFailureIsShownAndStartCanBeRetried()
{
    BoxRecorder boxes;
    tftpServer dialog;
    dialog.show();
    {
        PortHolder taken(m_port);
        QVERIFY(taken.bound());
        dialog.startTftpd();
        QCOMPARE(boxes.boxes().size(), 1);
        QCOMPARE(boxes.boxes()[0].title, QStringLiteral("Warning"));
        QVERIFY2(boxes.boxes()[0].text.contains(QString::number(m_port)), qPrintable(boxes.boxes()[0].text));
        QCOMPARE(socketsOnPort(m_port), 1); // only the holder
    }
    dialog.startTftpd();
    QCOMPARE(socketsOnPort(m_port), 1);
    QCOMPARE(boxes.boxes().size(), 1);
}

void TftpDialogTest::dragMovesTheWindow()
{
    tftpServer dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint start = dialog.pos();
    const QPoint grab = start + QPoint(40, 10);
    QMouseEvent press(QEvent::MouseButtonPress, QPoint(40, 10), grab, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &press);
    QMouseEvent move(QEvent::MouseMove, QPoint(70, 30), grab + QPoint(30, 20), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&dialog, &move);
    QTRY_COMPARE(dialog.pos(), start + QPoint(30, 20));
}

QTEST_MAIN(TftpDialogTest)
#include "tst_tftpdialog.moc"
