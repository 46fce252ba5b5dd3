// Thousands of random and truncated datagrams, seeded, at the listening port and at running
// transfers: the server must keep serving with a bounded number of threads.
#include "TftpTestSupport.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

#include <random>

using namespace tftp;

namespace {

int threadCount(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("Threads:"))
            return line.mid(8).trimmed().toInt();
    return -1;
}

class Fuzzer
{
public:
    explicit Fuzzer(quint32 seed)
        : m_random(seed)
    {}

    std::vector<uint8_t> datagram()
    {
        std::vector<uint8_t> out;
        switch (below(7)) {
        case 0: // noise
            out = noise(below(700));
            break;
        case 1: // a request opcode and noise: terminators anywhere or nowhere
            out = noise(below(300));
            out.insert(out.begin(), {0, uint8_t(1 + below(2))});
            break;
        case 2: { // a well-formed request for a name that is not there, or climbs out
            static const char *prefixes[] = {"", "../", "/", "sub/../../", "..\\"};
            std::string name = prefixes[below(5)];
            for (unsigned n = below(140); n > 0; --n)
                name += char(' ' + below(95));
            out = requestPacket(OpRrq, name, below(2) ? "octet" : std::string(below(20), 'm'));
            break;
        }
        case 3: { // a request for the served file, cut short: never complete
            const auto whole = requestPacket(OpRrq, "image.bin", "octet");
            out.assign(whole.begin(), whole.begin() + below(unsigned(whole.size())));
            break;
        }
        case 4:
            out = ackPacket(uint16_t(below(65536)));
            out.resize(below(6)); // truncated or padded
            break;
        case 5:
            out = errorPacket(uint16_t(below(9)), "noise");
            out.resize(below(unsigned(out.size()) + 1));
            break;
        default: // DATA, or opcodes no one knows
            out = noise(4 + below(516));
            out[0] = uint8_t(below(2) ? 0 : below(256));
            out[1] = uint8_t(below(2) ? unsigned(OpData) : below(256));
            break;
        }
        return out;
    }

    unsigned below(unsigned n) { return n ? unsigned(m_random() % n) : 0; }

private:
    std::vector<uint8_t> noise(unsigned size)
    {
        std::vector<uint8_t> out(size);
        for (auto &b : out)
            b = uint8_t(m_random());
        return out;
    }

    std::mt19937 m_random;
};

} // namespace

class TftpFuzzTest : public QObject
{
    Q_OBJECT

private slots:
    void hostileDatagramsLeaveTheServerServing();
};

void TftpFuzzTest::hostileDatagramsLeaveTheServerServing()
{
    ServerProcess server;
    const QByteArray image = server.writeFile("image.bin", 2 * 1024 * 1024, 11);
    QVERIFY(server.start());

    // Transfers to aim at: each requester got DATA 1 and never acknowledges it.
    std::vector<std::unique_ptr<ScriptedClient>> requesters;
    std::vector<Endpoint> transfers;
    for (int i = 0; i < 3; ++i) {
        requesters.push_back(std::make_unique<ScriptedClient>());
        requesters.back()->send(server.port(), requestPacket(OpRrq, "image.bin", "octet"));
        Packet data;
        Endpoint from;
        QVERIFY(requesters.back()->receive(data, from));
        transfers.push_back(from);
    }

    Fuzzer fuzzer(20240607);
    ScriptedClient stranger;
    int mostThreads = 0;
    for (int i = 0; i < 5000; ++i) {
        const auto datagram = fuzzer.datagram();
        const unsigned target = fuzzer.below(10);
        if (target < 6) {
            stranger.send(server.port(), datagram);
        } else {
            const unsigned t = fuzzer.below(unsigned(transfers.size()));
            // Mostly other ports; now and then the requester itself talks nonsense, though
            // never an ACK, which would move its transfer on or end it.
            uint16_t block;
            const bool fromRequester = target == 9 && !parseAck(datagram.data(), datagram.size(), block);
            (fromRequester ? *requesters[t] : stranger).send(transfers[t], datagram);
        }
        if (i % 25 == 0) {
            QTest::qWait(1); // let the server keep up rather than the kernel drop
            mostThreads = std::max(mostThreads, threadCount(server.pid()));
        }
    }
    QVERIFY(server.running());
    QVERIFY2(mostThreads <= 1 + 16, qPrintable(QString::number(mostThreads)));

    QTemporaryDir out;
    QProcess curl;
    curl.start("curl", {"-s", "-S", "--max-time", "30", "-o", out.filePath("image.bin"),
                        QStringLiteral("tftp://127.0.0.1:%1/image.bin").arg(server.port())});
    QVERIFY(curl.waitForFinished(40000));
    QCOMPARE(curl.exitCode(), 0);
    QFile got(out.filePath("image.bin"));
    QVERIFY(got.open(QIODevice::ReadOnly));
    QVERIFY(got.readAll() == image);
    QVERIFY(server.running());
    QVERIFY(threadCount(server.pid()) <= 1 + 16);
    // Every way of refusing was taken.
    const QString log = server.output();
    for (const char *line : {"UNKNOWN CMD", "WRQ", "illegal request", "access violation", "file not exit",
                             "unknown transfer id", "unknow ack optcode", "we really can got error packet"})
        QVERIFY2(log.count(line) > 0, line);
}

QTEST_GUILESS_MAIN(TftpFuzzTest)
#include "tst_tftpfuzz.moc"
