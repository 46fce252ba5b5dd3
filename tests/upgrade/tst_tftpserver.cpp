// lumidesk-tftpd against real TFTP clients, clients scripted datagram by datagram, and a
// seeded flood of hostile datagrams.
#include "support/TestFiles.h"
#include "upgrade/tftp/TftpPacket.h"
#include "upgrade/tftp/TftpSocket.h"

#include <QtTest>

#include <csignal>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace tftp;

namespace {

const qint64 mib = 1024 * 1024;

const uint32_t localhost = 0x7f000001;

Endpoint loopback(quint16 port)
{
    return Endpoint{localhost, port};
}

// Another host as far as the server can tell: 127.0.0.n.
uint32_t host(int n)
{
    return 0x7f000000 | uint32_t(n);
}

struct Packet
{
    int opcode = -1;
    int number = -1;    // block, or error code
    QByteArray payload; // data, or the error message without its NUL
};

// A client that the test scripts datagram by datagram.
struct ScriptedClient
{
    explicit ScriptedClient(uint32_t address = localhost) { socket.bind(Endpoint{address, 0}); }
    void send(const Endpoint &to, const std::vector<uint8_t> &datagram)
    {
        socket.sendTo(to, datagram.data(), datagram.size());
    }
    // The next datagram within timeoutMs; false when none came.
    bool receive(Packet &packet, Endpoint *sender = nullptr, int timeoutMs = 3000)
    {
        uint8_t buffer[2048];
        Endpoint from;
        if (socket.waitReadable(timeoutMs) != UdpSocket::Wait::Readable)
            return false;
        const ssize_t n = socket.receiveFrom(buffer, sizeof buffer, sender ? *sender : from);
        if (n < 4)
            return false;
        packet = Packet{buffer[0] << 8 | buffer[1], buffer[2] << 8 | buffer[3],
                        QByteArray(reinterpret_cast<const char *>(buffer) + 4, int(n) - 4)};
        if (packet.opcode == OpError)
            packet.payload.chop(1);
        return true;
    }
    UdpSocket socket = UdpSocket::create();
};

// Runs a real client to completion; returns the file it got, or why it failed.
QByteArray fetch(const QString &client, quint16 port, const QString &name, const QString &out)
{
    const QString host = "127.0.0.1", url = QStringLiteral("tftp://%1:%2/%3").arg(host).arg(port).arg(name);
    QStringList command = {"atftp", "--get", "-r", name, "-l", out, host, QString::number(port)};
    if (client == "curl")
        command = QStringList{"curl", "-sS", "--max-time", "60", "-o", out, url};
    else if (client == "curl-no-options")
        command = QStringList{"curl", "-sS", "--max-time", "60", "--tftp-no-options", "-o", out, url};
    else if (client == "tftp-hpa")
        command = QStringList{"tftp", "-m", "binary", host, QString::number(port), "-c", "get", name, out};
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.takeFirst(), command);
    if (!process.waitForFinished(90000) || process.exitCode() != 0)
        return "<failed> " + process.readAll();
    return QFile::exists(out) ? readFile(out) : "<no file>";
}

// Gets the rest of a transfer whose first DATA has arrived, acknowledging each block.
QByteArray fetchRest(ScriptedClient &client, const Endpoint &server, Packet data)
{
    QByteArray received;
    do {
        if (data.opcode != OpData)
            return "<not DATA>";
        received += data.payload;
        client.send(server, ackPacket(uint16_t(data.number)));
    } while (data.payload.size() == 512 && client.receive(data));
    return received;
}

bool isError(const Packet &packet, int code, const QByteArray &message)
{
    return packet.opcode == OpError && packet.number == code && packet.payload == message;
}

// Threads of the server that serve a request.
int transferThreads(qint64 pid)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    int count = 0;
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        count += readFile(tasks + "/" + task + "/comm") == "tftp transfer\n";
    return count;
}

} // namespace

class TftpServerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString root = m_root.path();
        const auto write = [&](const QString &name, qint64 size) {
            QByteArray bytes(int(size), Qt::Uninitialized);
            std::mt19937 random{quint32(size)};
            for (char &b : bytes)
                b = char(random());
            QVERIFY(QDir().mkpath(QFileInfo(root + "/" + name).path()) && writeFile(root + "/" + name, bytes));
            m_files[name] = bytes;
        };
        for (qint64 size : {0LL, 1LL, 511LL, 512LL, 513LL, 1000LL, mib, 40 * mib})
            write(QString::number(size), size);
        write("sub/boot.bin", 3000);
        QVERIFY(writeFile(m_out.filePath("secret.txt"), {}));
        QVERIFY(QFile::link(m_out.filePath("secret.txt"), root + "/outside.txt"));
        QVERIFY(QFile::link(m_out.path(), root + "/outside-dir"));
        QVERIFY(QFile::link(root + "/1000", root + "/inside.txt"));
        QCOMPARE(::mkfifo(QFile::encodeName(root + "/fifo").constData(), 0600), 0);
        write("locked.img", 100);
        write("locked/fw.img", 100);
        for (const char *locked : {"locked.img", "locked"})
            QVERIFY(QFile::setPermissions(root + "/" + locked, {}));

        // Root reads every file: the server then runs without that privilege, as a user would.
        QStringList command = {LUMIDESK_TFTPD, "--root", root, "--address", "127.0.0.1", "--port", "0"};
        const QStringList unprivileged = {"setpriv", "--bounding-set=-dac_override,-dac_read_search"};
        m_permissionsApply = ::geteuid() != 0 || QProcess::execute(unprivileged[0], unprivileged.mid(1) << "true") == 0;
        if (::geteuid() == 0 && m_permissionsApply)
            command = unprivileged + command;
        m_server.setStandardOutputFile(m_log.filePath("stdout.txt"));
        m_server.setReadChannel(QProcess::StandardError);
        m_server.start(command.takeFirst(), command);
        const QRegularExpression serving("on UDP port (\\d+)");
        for (QString err; !m_port && m_server.waitForReadyRead(5000);)
            m_port = quint16(serving.match(err += m_server.readAllStandardError()).captured(1).toUInt());
        QVERIFY(m_port);
    }

    void cleanupTestCase()
    {
        ::kill(pid_t(m_server.processId()), SIGTERM); // ends it cleanly
        QVERIFY(m_server.waitForFinished(10000));
        QCOMPARE(m_server.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_server.exitCode(), 0);
        for (const char *locked : {"locked.img", "locked"}) // so that the folder can be removed
            QFile::setPermissions(m_root.filePath(locked), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void realClientsGetExactFiles_data()
    {
        QTest::addColumn<QString>("client");
        QTest::addColumn<QString>("name");
        for (const char *client : {"curl", "curl-no-options", "tftp-hpa", "atftp"})
            for (const char *size : {"0", "1", "511", "512", "513", "1000", "1048576", "41943040"}) // 40 MiB wraps
                QTest::addRow("%s %s", client, size) << client << size;
        QTest::newRow("sub-folder, backslash") << "curl"
                                               << "sub\\boot.bin";
        QTest::newRow("link inside the folder") << "atftp"
                                                << "inside.txt";
    }

    void realClientsGetExactFiles()
    {
        QFETCH(QString, client);
        QFETCH(QString, name);
        const QString key = name == "inside.txt" ? "1000" : QString(name).replace('\\', '/');
        const QByteArray got = fetch(client, m_port, name, m_out.filePath(client + "-" + QString::number(qHash(name))));
        QVERIFY2(got == m_files[key], got.left(200).constData());
    }

    void requestsAreAnswered_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("code"); // -1: no answer
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("logLine");
        const auto rrq = [](const QByteArray &name) {
            return QByteArray("\0\1", 2) + name + QByteArray("\0octet\0", 7);
        };
        const QByteArray denied = "Access violation", illegal = "Illegal TFTP operation";
        QTest::newRow("missing") << rrq("none.img") << 1 << QByteArray("Request file is not exist") << "file not exit";
        QTest::newRow("folder") << rrq("sub") << 1 << QByteArray("Request file is not exist") << "file not exit";
        QTest::newRow("fifo") << rrq("fifo") << 1 << QByteArray("Request file is not exist") << "file not exit";
        QTest::newRow("write request") << QByteArray("\0\2fw.img\0octet\0", 15) << -1 << QByteArray() << "WRQ";
        QTest::newRow("unknown opcode") << QByteArray("\0\x09zzz", 5) << 0 << QByteArray("Unknown error")
                                        << "UNKNOWN CMD";
        QTest::newRow("empty") << QByteArray() << 0 << QByteArray("Unknown error") << "UNKNOWN CMD";
        QTest::newRow("parent") << rrq("../x") << 2 << denied << "access violation: ../x";
        QTest::newRow("parent, backslash")
            << rrq("sub\\..\\..\\x") << 2 << denied << "access violation: sub\\..\\..\\x";
        QTest::newRow("parent inside") << rrq("sub/../1000") << 2 << denied << "access violation: sub/../1000";
        QTest::newRow("absolute") << rrq("/etc/hostname") << 2 << denied << "access violation: /etc/hostname";
        QTest::newRow("link out") << rrq("outside.txt") << 2 << denied << "access violation: outside.txt";
        QTest::newRow("folder link out") << rrq("outside-dir/secret.txt") << 2 << denied
                                         << "access violation: outside-dir/secret.txt";
        QTest::newRow("no terminators") << QByteArray("\0\0011000", 6) << 4 << illegal << "illegal request";
        QTest::newRow("name of 128") << rrq(QByteArray(128, 'a')) << 4 << illegal << "illegal request";
        QTest::newRow("mode of 12") << QByteArray("\0\0011000\0octetoctetXY\0", 20) << 4 << illegal
                                    << "illegal request";
    }

    void requestsAreAnswered()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(int, code);
        QFETCH(QByteArray, message);
        QFETCH(QString, logLine);
        const int logged = output().count(logLine + '\n');
        ScriptedClient client;
        client.send(loopback(m_port), std::vector<uint8_t>(datagram.begin(), datagram.end()));
        Packet reply;
        QCOMPARE(client.receive(reply, nullptr, code < 0 ? 500 : 3000), code >= 0);
        if (code >= 0) {
            QCOMPARE(reply.opcode, int(OpError));
            QCOMPARE(reply.number, code);
            QCOMPARE(reply.payload, message);
        }
        QTRY_COMPARE(output().count(logLine + '\n'), logged + 1);
    }

    void unreadableFileIsAnAccessViolation()
    {
        if (!m_permissionsApply)
            QSKIP("the server runs with the privilege to read every file");
        for (const char *name : {"locked.img", "locked/fw.img"}) {
            ScriptedClient client;
            client.send(loopback(m_port), requestPacket(OpRrq, name, "octet"));
            Packet reply;
            QVERIFY(client.receive(reply));
            QVERIFY2(isError(reply, ErrAccessViolation, "Access violation"), reply.payload.constData());
        }
    }

    void repeatedRequestsAndOneHostCannotTakeEverySlot()
    {
        // A requester that repeats its request before DATA 1 reaches it has one transfer.
        ScriptedClient repeater(host(20));
        for (int i = 0; i < 50; ++i)
            repeater.send(loopback(m_port), requestPacket(OpRrq, "1000", "octet"));
        Packet reply;
        Endpoint server;
        QVERIFY(repeater.receive(reply, &server) && reply.opcode == OpData);

        // So its host has room for three more, and no more than that.
        std::vector<ScriptedClient> others;
        std::vector<Endpoint> transfers;
        for (int i = 0; i < 6; ++i) {
            ScriptedClient &client = others.emplace_back(host(20));
            client.send(loopback(m_port), requestPacket(OpRrq, "1000", "octet"));
            Endpoint from;
            QVERIFY(client.receive(reply, &from));
            QCOMPARE(reply.opcode, int(i < 3 ? OpData : OpError));
            if (i < 3)
                transfers.push_back(from);
            else
                QCOMPARE(reply.payload, QByteArray("Too many transfers from this host"));
        }
        // Another host is served.
        QCOMPARE(fetch("curl", m_port, "1000", m_out.filePath("other-host")), m_files["1000"]);

        // A requester's ERROR ends its transfer at once, and the slot is free for the next.
        repeater.send(server, errorPacket(ErrNotDefined, "Cancelled"));
        QElapsedTimer clock;
        clock.start();
        bool served = false;
        while (!served && clock.elapsed() < 5000) {
            ScriptedClient &client = others.emplace_back(host(20));
            client.send(loopback(m_port), requestPacket(OpRrq, "1000", "octet"));
            Endpoint from;
            QVERIFY(client.receive(reply, &from));
            served = reply.opcode == OpData;
            if (served)
                transfers.push_back(from);
            else
                QTest::qWait(20);
        }
        QVERIFY2(served, "the slot stayed taken after the requester's ERROR");
        QTRY_VERIFY(output().contains("the client ended the transfer: error 0: Cancelled\n"));
        for (size_t i = 0; i < transfers.size(); ++i)
            others[i < 3 ? i : others.size() - 1].send(transfers[i], errorPacket(ErrNotDefined, "Done"));
    }

    void requestsBeyondSixteenTransfersAreTurnedAway()
    {
        QTRY_COMPARE(transferThreads(m_server.processId()), 0); // none left from before
        const int completeBefore = output().count("translate complete...");
        std::vector<ScriptedClient> clients;
        for (int i = 0; i < 20; ++i) // one host each, or the limit per host would answer first
            clients.emplace_back(host(100 + i)).send(loopback(m_port), requestPacket(OpRrq, "1000", "octet"));
        QList<int> turnedAway;
        std::vector<std::pair<Packet, Endpoint>> replies(clients.size());
        for (size_t i = 0; i < clients.size(); ++i) {
            QVERIFY(clients[i].receive(replies[i].first, &replies[i].second));
            if (replies[i].first.opcode == OpError && replies[i].first.payload == "Server busy")
                turnedAway << int(i);
        }
        QCOMPARE(turnedAway, (QList<int>{16, 17, 18, 19}));
        for (int i = 0; i < 16; ++i)
            QCOMPARE(fetchRest(clients[i], replies[i].second, replies[i].first), m_files["1000"]);
        // Once the running ones end there is room again.
        QTRY_COMPARE(output().count("translate complete..."), completeBefore + 16);
        QCOMPARE(fetch("curl", m_port, "1000", m_out.filePath("late")), m_files["1000"]);
    }

    void hostileDatagramsLeaveTheServerServing()
    {
        // Transfers under attack: each requester has DATA 1 and does not acknowledge it yet. The
        // strangers' datagrams on a transfer socket must neither move it nor redirect its replies.
        std::vector<ScriptedClient> requesters;
        for (int i = 0; i < 3; ++i)
            requesters.emplace_back(host(30 + i));
        std::vector<Endpoint> transfers(3);
        std::vector<Packet> first(3);
        for (size_t i = 0; i < 3; ++i) {
            requesters[i].send(loopback(m_port), requestPacket(OpRrq, "1048576", "octet"));
            QVERIFY(requesters[i].receive(first[i], &transfers[i]));
        }

        std::mt19937 random(20240607);
        const auto below = [&](unsigned n) { return unsigned(random() % n); };
        ScriptedClient stranger(host(33));
        int mostThreads = 0;
        for (int i = 0; i < 5000; ++i) {
            std::vector<uint8_t> datagram(below(600));
            for (auto &b : datagram)
                b = uint8_t(random());
            const auto request = requestPacket(OpRrq, QByteArray(below(140), char('!' + below(90))).toStdString(),
                                               below(2) ? "octet" : std::string(below(20), 'm'));
            switch (below(4)) { // noise, or noise behind a plausible header, or a request cut short
            case 0:
                datagram.insert(datagram.begin(), {0, uint8_t(below(7))});
                break;
            case 1:
                datagram.assign(request.begin(), request.begin() + below(unsigned(request.size()) + 1));
                break;
            case 2:
                datagram.resize(std::min<size_t>(datagram.size(), 4 + below(3)));
                datagram.insert(datagram.begin(), {0, 4});
                break;
            }
            const unsigned t = below(4);
            uint16_t block;
            if (t == 3)
                stranger.send(loopback(m_port), datagram);
            else if (below(8) == 0 && !parseAck(datagram.data(), datagram.size(), block) &&
                     opcodeOf(datagram.data(), datagram.size()) != OpError) // an ERROR would end it
                requesters[t].send(transfers[t], datagram);                 // nonsense from the requester itself
            else
                stranger.send(transfers[t], datagram);
            if (i % 25 == 0) {
                QTest::qWait(1); // let the server keep up rather than the kernel drop
                mostThreads = std::max(mostThreads, transferThreads(m_server.processId()));
            }
        }
        QVERIFY(m_server.state() == QProcess::Running);
        QVERIFY2(mostThreads <= 16, qPrintable(QString::number(mostThreads)));
        for (size_t i = 0; i < 3; ++i)
            QCOMPARE(fetchRest(requesters[i], transfers[i], first[i]), m_files["1048576"]);
        QCOMPARE(fetch("curl", m_port, "1000", m_out.filePath("after")), m_files["1000"]);
        const QString log = output();
        for (const char *line : {"unknown transfer id", "unknow ack optcode", "we really can got error packet"})
            QVERIFY2(log.contains(line), line);
    }

private:
    QString output() const // of the server so far
    {
        return QString::fromLocal8Bit(readFile(m_log.filePath("stdout.txt")));
    }

    QTemporaryDir m_root, m_out, m_log; // the log in a file: a pipe would fill while a client runs
    QProcess m_server;
    bool m_permissionsApply = false; // to the server: it cannot read a file without read permission
    quint16 m_port = 0;
    QHash<QString, QByteArray> m_files;
};

QTEST_GUILESS_MAIN(TftpServerTest)
#include "tst_tftpserver.moc"
