// The tftpServer dialog with its real server on a free port of this machine.
#include "support/BoxRecorder.h"
#include "support/ProgramFolder.h"
#include "support/TestFiles.h"
#include "upgrade/tftp/TftpPacket.h"
#include "upgrade/tftp/TftpSocket.h"
#include "upgrade/tftpNotify.h"
#include "upgrade/tftpServer.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {

// A UDP socket without SO_REUSEADDR: while it lives nobody else binds its port.
struct PortHolder
{
    explicit PortHolder(quint16 wanted = 0)
        : bound(socket.bind(tftp::Endpoint{0, wanted}))
        , port(socket.localEndpoint().port)
    {}
    tftp::UdpSocket socket = tftp::UdpSocket::create();
    bool bound;
    quint16 port;
};

// A camera fetching a file, scripted datagram by datagram.
struct Requester
{
    Requester() { socket.bind(tftp::Endpoint{0x7f000001, 0}); }
    bool request(quint16 port, const char *name)
    {
        const auto rrq = tftp::requestPacket(tftp::OpRrq, name, "octet");
        socket.sendTo(tftp::Endpoint{0x7f000001, port}, rrq.data(), rrq.size());
        return receive(1);
    }
    // True when DATA of the block arrived.
    bool receive(uint16_t block)
    {
        uint8_t buffer[600];
        if (socket.waitReadable(5000) != tftp::UdpSocket::Wait::Readable)
            return false;
        const ssize_t n = socket.receiveFrom(buffer, sizeof buffer, server);
        return n >= 4 && buffer[1] == tftp::OpData && (buffer[2] << 8 | buffer[3]) == block;
    }
    void send(const std::vector<uint8_t> &packet) { socket.sendTo(server, packet.data(), packet.size()); }

    tftp::UdpSocket socket = tftp::UdpSocket::create();
    tftp::Endpoint server;
};

// UDP sockets of this machine bound to the port.
int socketsOnPort(quint16 port)
{
    const QByteArray local = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0') + ' ';
    int count = 0;
    for (const QByteArray &line : readFile("/proc/net/udp").split('\n'))
        count += line.simplified().split(' ').value(1).append(' ').endsWith(local);
    return count;
}

} // namespace

class TftpDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(writeFile(m_home.filePath("Lumidesk.ini"), "tftpport=" + QByteArray::number(m_port) + "\n"));
        QVERIFY(QDir(m_home.path()).mkdir("Upgrade"));
        QVERIFY(writeFile(m_home.filePath("Upgrade/fw.img"), QByteArray(3000, 'f')));
    }

    void startTwiceStartsOneServer()
    {
        BoxRecorder boxes;
        auto dialog = std::make_unique<tftpServer>();
        QCOMPARE(dialog->startTftpd(), 0);
        QCOMPARE(dialog->startTftpd(), 0);
        QTest::mouseClick(dialog->findChild<QPushButton *>("pushButton_Start"), Qt::LeftButton);
        QCOMPARE(socketsOnPort(m_port), 1);
        QVERIFY(boxes.boxes().isEmpty());
        dialog.reset(); // stops and joins the server
        QCOMPARE(socketsOnPort(m_port), 0);
    }

    void transferShowsFileAndClosesAfterASecond()
    {
        BoxRecorder boxes;
        tftpServer dialog;
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton *>("pushButton_Start"), Qt::LeftButton);
        // The dialog waits a second after the transfer: a clock started before the transfer
        // has seen at least that much when the dialog goes, however late this test looks.
        QElapsedTimer sinceStart;
        sinceStart.start();
        QProcess curl;
        curl.start("curl", {"-sS", "-o", "/dev/null", QStringLiteral("tftp://127.0.0.1:%1/fw.img").arg(m_port)});
        QVERIFY(curl.waitForFinished(10000) && curl.exitCode() == 0);

        QTRY_COMPARE(dialog.findChild<QProgressBar *>("progressBar")->value(), 100);
        QCOMPARE(dialog.findChild<QLineEdit *>("lineEdit_FileName")->text(), "fw.img");
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 3000);
        QVERIFY(sinceStart.elapsed() >= 900);
        QVERIFY(boxes.boxes().isEmpty()); // done, so closing does not ask
    }

    void failedTransferIsNoSuccess()
    {
        BoxRecorder boxes(QMessageBox::No);
        tftpServer dialog;
        dialog.show();
        dialog.startTftpd();
        QSignalSpy ended(tftpNotify::instance(), &tftpNotify::sigTransferEnded);
        // All six blocks arrive, but the camera gives up instead of acknowledging the last.
        Requester camera;
        QVERIFY(camera.request(m_port, "fw.img"));
        for (uint16_t block = 1; block < 6; ++block) {
            camera.send(tftp::ackPacket(block));
            QVERIFY(camera.receive(block + 1));
        }
        camera.send(tftp::errorPacket(tftp::ErrNotDefined, "Flash write failed"));
        QTRY_COMPARE(ended.count(), 1);
        QCoreApplication::processEvents(); // the dialog's copy was queued before the spy's

        QVERIFY(dialog.findChild<QProgressBar *>("progressBar")->value() < 100);
        QTest::mouseClick(dialog.findChild<QPushButton *>("pushButton_Close"), Qt::LeftButton);
        QCOMPARE(boxes.shown(), QStringList("Exit\tUpgrading, Confirm the exit?"));
        QVERIFY(dialog.isVisible());
    }

    void oneTransferEndingLeavesAnotherRunning()
    {
        BoxRecorder boxes(QMessageBox::No);
        tftpServer dialog;
        dialog.show();
        dialog.startTftpd();
        QSignalSpy ended(tftpNotify::instance(), &tftpNotify::sigTransferEnded);
        Requester slow;
        QVERIFY(slow.request(m_port, "fw.img"));
        QProcess curl;
        curl.start("curl", {"-sS", "-o", "/dev/null", QStringLiteral("tftp://127.0.0.1:%1/fw.img").arg(m_port)});
        QVERIFY(curl.waitForFinished(10000) && curl.exitCode() == 0);
        QTRY_COMPARE(ended.count(), 1);
        QCoreApplication::processEvents();

        // The newest transfer is shown, finished; the older one still runs, so still busy.
        QCOMPARE(dialog.findChild<QProgressBar *>("progressBar")->value(), 100);
        QTest::mouseClick(dialog.findChild<QPushButton *>("pushButton_Close"), Qt::LeftButton);
        QCOMPARE(boxes.shown(), QStringList("Exit\tUpgrading, Confirm the exit?"));
        QVERIFY(dialog.isVisible());

        // Once nothing runs, the newest transfer's success ends the upgrade.
        slow.send(tftp::errorPacket(tftp::ErrNotDefined, "Cancelled"));
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 3000);
        QCOMPARE(boxes.shown().size(), 1);
    }

    void bindFailureIsShownStartIsRetriedAndClosingAsks()
    {
        BoxRecorder boxes(QMessageBox::No);
        tftpServer dialog;
        dialog.show();
        {
            const PortHolder taken(m_port);
            QVERIFY(taken.bound);
            dialog.startTftpd();
            QCOMPARE(boxes.boxes().size(), 1);
            QCOMPARE(boxes.boxes()[0].title, "Warning");
            QVERIFY(boxes.boxes()[0].text.contains(QString::number(m_port)));
        }
        boxes.clear();
        dialog.startTftpd();
        QCOMPARE(socketsOnPort(m_port), 1);

        // Serving now: closing asks; No keeps the dialog, Yes closes it.
        QTest::mouseClick(dialog.findChild<QPushButton *>("pushButton_Close"), Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QCOMPARE(boxes.shown(), QStringList("Exit\tUpgrading, Confirm the exit?"));
        QCOMPARE(boxes.boxes()[0].buttons, QMessageBox::Yes | QMessageBox::No);
        boxes.queueAnswer(QMessageBox::Yes);
        QTest::mouseClick(dialog.findChild<QPushButton *>("pushButton_Cancel"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }

private:
    const ProgramFolder m_home;
    quint16 m_port = PortHolder().port;
};

QTEST_MAIN(TftpDialogTest)
#include "tst_tftpdialog.moc"
