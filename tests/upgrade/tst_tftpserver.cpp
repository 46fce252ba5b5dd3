// lumidesk-tftpd against real TFTP clients and against a client scripted packet by packet.
#include "TftpTestSupport.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace tftp;

namespace {

const qint64 mib = 1024 * 1024;

QStringList clientCommand(const QString &client, quint16 port, const QString &name, const QString &out)
{
    const QString host = QStringLiteral("127.0.0.1");
    const QString url = QStringLiteral("tftp://%1:%2/%3").arg(host).arg(port).arg(name);
    if (client == "curl")
        return {"curl", "-s", "-S", "--max-time", "60", "-o", out, url};
    if (client == "curl-no-options")
        return {"curl", "-s", "-S", "--max-time", "60", "--tftp-no-options", "-o", out, url};
    if (client == "tftp-hpa")
        return {"tftp", "-m", "binary", host, QString::number(port), "-c", "get", name, out};
    return {"atftp", "--get", "-r", name, "-l", out, host, QString::number(port)};
}

QProcess *startClient(const QString &client, quint16 port, const QString &name, const QString &out)
{
    auto *process = new QProcess;
    const QStringList command = clientCommand(client, port, name, out);
    process->setProgram(command.first());
    process->setArguments(command.mid(1));
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start();
    return process;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TftpServerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void realClientsGetExactFiles_data();
    void realClientsGetExactFiles();
    void twoClientsAtOnce();
    void requestsAreAnswered_data();
    void requestsAreAnswered();
    void lostDataBlockIsSentAgain();
    void datagramFromAnotherPortIsRejected();
    void requestsBeyondSixteenTransfersAreTurnedAway();

private:
    // Receives DATA blocks from the transfer, acknowledging each, until the short one.
    QByteArray fetchRest(ScriptedClient &client, const Endpoint &server, Packet first);

    ServerProcess m_server;
    QTemporaryDir m_out;
    QHash<QString, QByteArray> m_files;
};

void TftpServerTest::initTestCase()
{
    for (qint64 size : {0LL, 1LL, 511LL, 512LL, 513LL, 1000LL, mib, 40 * mib}) {
        const QString name = QStringLiteral("file-%1.bin").arg(size);
        m_files[name] = m_server.writeFile(name, size, quint32(size));
    }
    m_files["sub/boot.bin"] = m_server.writeFile("sub/boot.bin", 3000, 1);
    m_files["small.bin"] = m_server.writeFile("small.bin", 100, 2);
    QFile secret(m_out.filePath("secret.txt"));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("secret");
    secret.close();
    QVERIFY(QFile::link(secret.fileName(), m_server.root() + "/outside.txt"));
    QVERIFY(m_server.start());
}

void TftpServerTest::cleanupTestCase()
{
    QVERIFY(m_server.stop()); // SIGTERM ends it cleanly
}

void TftpServerTest::realClientsGetExactFiles_data()
{
    QTest::addColumn<QString>("client");
    QTest::addColumn<QString>("name");
    for (const char *client : {"curl", "curl-no-options", "tftp-hpa", "atftp"})
        for (qint64 size : {0LL, 1LL, 511LL, 512LL, 513LL, 1000LL, mib, 40 * mib}) // 40 MiB wraps the block number
            QTest::addRow("%s %lld", client, size) << client << QStringLiteral("file-%1.bin").arg(size);
    QTest::newRow("curl sub-folder") << "curl"
                                     << "sub/boot.bin";
}

void TftpServerTest::realClientsGetExactFiles()
{
    QFETCH(QString, client);
    QFETCH(QString, name);
    const QString out = m_out.filePath(QStringLiteral("%1-%2").arg(client, QString(name).replace('/', '_')));
    std::unique_ptr<QProcess> process(startClient(client, m_server.port(), name, out));
    QVERIFY(process->waitForFinished(90000));
    QVERIFY2(process->exitCode() == 0, process->readAll().constData());
    const QByteArray got = readFile(out);
    QCOMPARE(got.size(), m_files[name].size());
    QVERIFY(got == m_files[name]);
}

void TftpServerTest::twoClientsAtOnce()
{
    const QString a = m_out.filePath("both-a"), b = m_out.filePath("both-b");
    std::unique_ptr<QProcess> first(startClient("curl", m_server.port(), "file-1048576.bin", a));
    std::unique_ptr<QProcess> second(startClient("atftp", m_server.port(), "sub/boot.bin", b));
    QVERIFY(first->waitForFinished(30000) && second->waitForFinished(30000));
    QVERIFY(readFile(a) == m_files["file-1048576.bin"]);
    QVERIFY(readFile(b) == m_files["sub/boot.bin"]);
}

void TftpServerTest::requestsAreAnswered_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<int>("code"); // -1: no answer at all
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("logLine");
    const auto rrq = [](const QByteArray &name) { return QByteArray("\0\1", 2) + name + QByteArray("\0octet\0", 7); };
    QTest::newRow("missing file") << rrq("nothing.img") << 1 << QByteArray("Request file is not exist")
                                  << QStringLiteral("file not exit");
    QTest::newRow("write request") << QByteArray("\0\2fw.img\0octet\0", 15) << -1 << QByteArray()
                                   << QStringLiteral("WRQ");
    QTest::newRow("unknown opcode") << QByteArray("\0\x09zzz", 5) << 0 << QByteArray("Unknown error")
                                    << QStringLiteral("UNKNOWN CMD");
    QTest::newRow("empty datagram") << QByteArray() << 0 << QByteArray("Unknown error")
                                    << QStringLiteral("UNKNOWN CMD");
    QTest::newRow("parent folder") << rrq("../secret.txt") << 2 << QByteArray("Access violation")
                                   << QStringLiteral("access violation: ../secret.txt");
    QTest::newRow("parent with backslash") << rrq("sub\\..\\..\\secret.txt") << 2 << QByteArray("Access violation")
                                           << QStringLiteral("access violation: sub\\..\\..\\secret.txt");
    QTest::newRow("absolute name") << rrq("/etc/hostname") << 2 << QByteArray("Access violation")
                                   << QStringLiteral("access violation: /etc/hostname");
    QTest::newRow("link out of the folder")
        << rrq("outside.txt") << 2 << QByteArray("Access violation") << QStringLiteral("access violation: outside.txt");
    QTest::newRow("no terminators") << QByteArray("\0\1small.bin", 11) << 4 << QByteArray("Illegal TFTP operation")
                                    << QStringLiteral("illegal request");
    QTest::newRow("name of 128") << rrq(QByteArray(128, 'a')) << 4 << QByteArray("Illegal TFTP operation")
                                 << QStringLiteral("illegal request");
    QTest::newRow("mode of 12") << QByteArray("\0\1small.bin\0octetoctetXY\0", 25) << 4
                                << QByteArray("Illegal TFTP operation") << QStringLiteral("illegal request");
}

void TftpServerTest::requestsAreAnswered()
{
    QFETCH(QByteArray, datagram);
    QFETCH(int, code);
    QFETCH(QByteArray, message);
    QFETCH(QString, logLine);
    const int logged = m_server.output().count(logLine + '\n');
    ScriptedClient client;
    client.send(m_server.port(), std::vector<uint8_t>(datagram.begin(), datagram.end()));
    Packet reply;
    if (code < 0) {
        QVERIFY(!client.receive(reply, 500));
        QTRY_COMPARE(m_server.output().count(logLine + '\n'), logged + 1);
        return;
    }
    QVERIFY(client.receive(reply));
    QCOMPARE(reply.opcode, int(OpError));
    QCOMPARE(reply.number, code);
    QCOMPARE(reply.payload, message);
    QTRY_COMPARE(m_server.output().count(logLine + '\n'), logged + 1);
}

QByteArray TftpServerTest::fetchRest(ScriptedClient &client, const Endpoint &server, Packet data)
{
    QByteArray received;
    while (true) {
        if (data.opcode != OpData)
            return "<not DATA>";
        received += data.payload;
        client.send(server, ackPacket(uint16_t(data.number)));
        if (data.payload.size() < 512 || !client.receive(data))
            return received;
    }
}

void TftpServerTest::lostDataBlockIsSentAgain()
{
    ScriptedClient client;
    client.send(m_server.port(), requestPacket(OpRrq, "sub/boot.bin", "octet"));
    Packet data;
    Endpoint server;
    QVERIFY(client.receive(data, server));
    QCOMPARE(data.number, 1);
    QByteArray received = data.payload;
    client.send(server, ackPacket(1));
    QVERIFY(client.receive(data)); // DATA 2, dropped by this client
    QCOMPARE(data.number, 2);

    QElapsedTimer clock;
    clock.start();
    client.send(server, ackPacket(1)); // the client's own time-out repeats its ACK
    QVERIFY(client.receive(data, 5000));
    QVERIFY2(clock.elapsed() > 1500, "the duplicate ACK was answered at once");
    QCOMPARE(data.number, 2);
    received += fetchRest(client, server, data);
    QVERIFY(received == m_files["sub/boot.bin"]);
    // Logged, and answered only by the time-out (other lines may come between).
    QTRY_VERIFY(
        m_server.output().contains(QRegularExpression("block is not equal: block: 2, recv: 1\n(.*\n)*retrans\n")));
}

void TftpServerTest::datagramFromAnotherPortIsRejected()
{
    ScriptedClient client, intruder;
    client.send(m_server.port(), requestPacket(OpRrq, "sub/boot.bin", "octet"));
    Packet data;
    Endpoint server;
    QVERIFY(client.receive(data, server));

    intruder.send(server, ackPacket(1));
    Packet reply;
    QVERIFY(intruder.receive(reply));
    QCOMPARE(reply.opcode, int(OpError));
    QCOMPARE(reply.number, int(ErrUnknownTransferId));
    QCOMPARE(reply.payload, QByteArray("Unknown transfer ID"));
    QVERIFY(!client.receive(reply, 300)); // the intruder's ACK did not move the transfer on

    QVERIFY(fetchRest(client, server, data) == m_files["sub/boot.bin"]);
    QVERIFY(!intruder.receive(reply, 100));
}

void TftpServerTest::requestsBeyondSixteenTransfersAreTurnedAway()
{
    const int completeBefore = m_server.output().count("translate complete...");
    std::vector<std::unique_ptr<ScriptedClient>> clients;
    for (int i = 0; i < 20; ++i) {
        clients.push_back(std::make_unique<ScriptedClient>());
        clients.back()->send(m_server.port(), requestPacket(OpRrq, "small.bin", "octet"));
    }
    int busy = 0;
    QList<std::pair<ScriptedClient *, Endpoint>> transfers;
    for (auto &client : clients) {
        Packet reply;
        Endpoint from;
        QVERIFY(client->receive(reply, from));
        if (reply.opcode == OpData) {
            transfers.append({client.get(), from});
        } else {
            QCOMPARE(reply.opcode, int(OpError));
            QCOMPARE(reply.number, 0);
            QCOMPARE(reply.payload, QByteArray("Server busy"));
            ++busy;
        }
    }
    QCOMPARE(transfers.size(), 16);
    QCOMPARE(busy, 4);

    // Once the running ones end there is room again.
    for (auto &[client, server] : transfers)
        client->send(server, ackPacket(1));
    QTRY_COMPARE(m_server.output().count("translate complete..."), completeBefore + 16);
    const QString out = m_out.filePath("after-busy");
    std::unique_ptr<QProcess> late(startClient("curl", m_server.port(), "small.bin", out));
    QVERIFY(late->waitForFinished(30000));
    QCOMPARE(readFile(out), m_files["small.bin"]);
}

QTEST_GUILESS_MAIN(TftpServerTest)
#include "tst_tftpserver.moc"
