// The TFTP core without sockets: packets, the transfer state machine, the served folder.
#include "TftpFolder.h"
#include "TftpPacket.h"
#include "TftpTransfer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace tftp;
using namespace std::chrono_literals;

namespace {

const Endpoint peer{0x7f000001, 40000};
const Clock::time_point t0{};

std::vector<uint8_t> bytes(const QByteArray &text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

// The file content of block n (0-based) is derived from n, so a skipped or repeated block
// shows in the bytes.
class PatternSource : public ByteSource
{
public:
    explicit PatternSource(uint64_t size, int64_t failAt = -1)
        : m_size(size)
        , m_failAt(failAt)
    {}
    static uint8_t at(uint64_t i) { return uint8_t(i * 7 + (i >> 9)); }

    uint64_t size() const override { return m_size; }
    long read(uint8_t *out, size_t max) override
    {
        if (m_failAt >= 0 && m_pos >= uint64_t(m_failAt)) {
            errno = EIO;
            return -1;
        }
        // Short reads on purpose: the transfer must still fill whole blocks.
        const size_t n = size_t(std::min<uint64_t>({max, m_size - m_pos, 300}));
        for (size_t i = 0; i < n; ++i)
            out[i] = at(m_pos + i);
        m_pos += n;
        return long(n);
    }

private:
    uint64_t m_size;
    int64_t m_failAt;
    uint64_t m_pos = 0;
};

struct Sent
{
    Endpoint to;
    std::vector<uint8_t> bytes;
    uint16_t field(size_t at) const { return uint16_t(bytes[at] << 8 | bytes[at + 1]); }
    uint16_t opcode() const { return field(0); }
    uint16_t block() const { return field(2); }
    size_t payload() const { return bytes.size() - 4; }
    QByteArray message() const { return QByteArray(reinterpret_cast<const char *>(bytes.data()) + 4); }
};

class Recorder : public TransferOutput
{
public:
    std::vector<Sent> sent;
    QStringList lines;
    QList<int> percents;

    void send(const Endpoint &to, const uint8_t *data, size_t size) override
    {
        sent.push_back({to, {data, data + size}});
    }
    void log(const char *line) override { lines << QString::fromLatin1(line); }
    void progress(int percent) override { percents << percent; }
    const Sent &last() const { return sent.back(); }
};

void ack(Transfer &transfer, uint16_t block, Clock::time_point now = t0, Endpoint from = peer)
{
    const auto packet = ackPacket(block);
    transfer.onDatagram(from, packet.data(), packet.size(), now);
}

} // namespace

class TftpCoreTest : public QObject
{
    Q_OBJECT

private slots:
    void parsesRequests_data();
    void parsesRequests();
    void encodesPackets();

    void blocksAndProgress_data();
    void blocksAndProgress();
    void duplicateAckWaitsForTheTimeOut();
    void wrongAckEndsWithError_data();
    void wrongAckEndsWithError();
    void datagramFromAnotherPortIsRejected();
    void errorAndUnknownPacketsDoNotSkipABlock();
    void sixthTimeOutEndsTheTransfer();
    void readFailureIsReportedNotTruncated();
    void blockNumbersWrapPast65535();

    void folderConfinesNames_data();
    void folderConfinesNames();
};

void TftpCoreTest::parsesRequests_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("name");
    const QByteArray rrq("\0\1", 2);
    const QByteArray n127(127, 'n');
    QTest::newRow("plain") << rrq + QByteArray("fw.img\0octet\0", 13) << true << QByteArray("fw.img");
    QTest::newRow("options ignored") << rrq + QByteArray("fw.img\0octet\0tsize\0"
                                                         "0\0",
                                                         21)
                                     << true << QByteArray("fw.img");
    QTest::newRow("name of 127") << rrq + n127 + QByteArray("\0netascii\0", 10) << true << n127;
    QTest::newRow("name of 128") << rrq + n127 + "n" + QByteArray("\0octet\0", 7) << false << QByteArray();
    QTest::newRow("mode of 11") << rrq + QByteArray("a\0mmmmmmmmmmm\0", 14) << true << QByteArray("a");
    QTest::newRow("mode of 12") << rrq + QByteArray("a\0mmmmmmmmmmmm\0", 15) << false << QByteArray();
    QTest::newRow("name without NUL") << rrq + QByteArray("fw.img") << false << QByteArray();
    QTest::newRow("mode without NUL") << rrq + QByteArray("fw.img\0octet", 12) << false << QByteArray();
    QTest::newRow("opcode only") << rrq << false << QByteArray();
    QTest::newRow("one byte") << QByteArray(1, '\0') << false << QByteArray();
}

void TftpCoreTest::parsesRequests()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, valid);
    QFETCH(QByteArray, name);
    // Exactly the datagram's bytes on the heap, so that reading past them shows under ASan.
    const std::vector<uint8_t> data = bytes(datagram);
    ReadRequest request;
    QCOMPARE(parseRequest(data.data(), data.size(), request), valid);
    if (valid)
        QCOMPARE(QByteArray::fromStdString(request.name), name);
}

void TftpCoreTest::encodesPackets()
{
    const auto error = errorPacket(ErrFileNotFound, "Request file is not exist");
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(error.data()), int(error.size())),
             QByteArray("\0\5\0\1Request file is not exist\0", 30));
    const auto ackBytes = ackPacket(0x1234);
    QCOMPARE(ackBytes, (std::vector<uint8_t>{0, 4, 0x12, 0x34}));
    uint16_t block = 0;
    QVERIFY(parseAck(ackBytes.data(), ackBytes.size(), block));
    QCOMPARE(block, uint16_t(0x1234));
    QVERIFY(!parseAck(ackBytes.data(), 3, block));
    QCOMPARE(opcodeOf(ackBytes.data(), 1), uint16_t(0));
}

void TftpCoreTest::blocksAndProgress_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<int>>("payloads");
    QTest::addColumn<QList<int>>("percents");
    QTest::newRow("empty") << 0 << QList<int>{0} << QList<int>{100};
    QTest::newRow("1") << 1 << QList<int>{1} << QList<int>{100};
    QTest::newRow("512 ends with an empty block") << 512 << QList<int>{512, 0} << QList<int>{100, 100};
    QTest::newRow("513") << 513 << QList<int>{512, 1} << QList<int>{99, 100};
    QTest::newRow("1000") << 1000 << QList<int>{512, 488} << QList<int>{51, 100};
    QTest::newRow("1536") << 1536 << QList<int>{512, 512, 512, 0} << QList<int>{33, 66, 100, 100};
}

void TftpCoreTest::blocksAndProgress()
{
    QFETCH(int, size);
    QFETCH(QList<int>, payloads);
    QFETCH(QList<int>, percents);
    PatternSource file{uint64_t(size)};
    Recorder out;
    Transfer transfer(peer, file, out);
    transfer.start(t0);

    QList<int> seen;
    QByteArray received;
    for (int n = 1; !transfer.finished() && n <= payloads.size(); ++n) {
        QCOMPARE(int(out.sent.size()), n);
        QCOMPARE(out.last().opcode(), uint16_t(OpData));
        QCOMPARE(out.last().block(), uint16_t(n));
        QVERIFY(out.last().to == peer);
        seen << int(out.last().payload());
        received.append(reinterpret_cast<const char *>(out.last().bytes.data()) + 4, int(out.last().payload()));
        ack(transfer, uint16_t(n));
    }
    QCOMPARE(seen, payloads);
    QCOMPARE(out.percents, percents);
    QCOMPARE(transfer.state(), Transfer::State::Complete);
    for (int i = 0; i < size; ++i)
        QCOMPARE(uint8_t(received[i]), PatternSource::at(uint64_t(i)));
    QCOMPARE(out.lines.count(QStringLiteral("the last packet\n")), 1);
    QCOMPARE(out.lines.mid(out.lines.size() - 2), (QStringList{"translate complete...\n", "RRQ\n"}));
    QCOMPARE(out.lines.filter(QStringLiteral("translate data")).last(), QStringLiteral("translate data 100%\n"));
}

void TftpCoreTest::duplicateAckWaitsForTheTimeOut()
{
    // DATA 2 is lost; the client repeats ACK 1. Block 2 must come again, not block 3.
    PatternSource file(1100);
    Recorder out;
    Transfer transfer(peer, file, out);
    transfer.start(t0);
    ack(transfer, 1, t0 + 10ms);
    QCOMPARE(out.sent.size(), size_t(2));
    const std::vector<uint8_t> block2 = out.last().bytes;

    ack(transfer, 1, t0 + 1000ms);
    QCOMPARE(out.sent.size(), size_t(2)); // no answer of its own
    QCOMPARE(out.lines.last(), QStringLiteral("block is not equal: block: 2, recv: 1\n"));
    QCOMPARE(transfer.deadline(), t0 + 10ms + 3000ms); // not postponed by the duplicate

    transfer.onTimeout(transfer.deadline());
    QCOMPARE(out.last().bytes, block2);
    QCOMPARE(out.lines.last(), QStringLiteral("retrans\n"));
    QCOMPARE(out.percents, (QList<int>{46, 93})); // progress counts first sends only

    ack(transfer, 2, t0 + 4000ms);
    QCOMPARE(out.last().block(), uint16_t(3));
    // The duplicate of the next-to-last ACK after the last block does not end it either.
    ack(transfer, 2, t0 + 4100ms);
    QCOMPARE(transfer.state(), Transfer::State::AwaitingAck);
    ack(transfer, 3, t0 + 4200ms);
    QCOMPARE(transfer.state(), Transfer::State::Complete);
}

void TftpCoreTest::wrongAckEndsWithError_data()
{
    QTest::addColumn<int>("acked"); // blocks the client acknowledges first
    QTest::addColumn<int>("wrongAck");
    QTest::newRow("ahead") << 1 << 3;
    QTest::newRow("two behind") << 2 << 1;
    QTest::newRow("duplicate before block 1 is acknowledged") << 0 << 0;
    QTest::newRow("far off") << 1 << 60000;
}

void TftpCoreTest::wrongAckEndsWithError()
{
    QFETCH(int, acked);
    QFETCH(int, wrongAck);
    PatternSource file(5000);
    Recorder out;
    Transfer transfer(peer, file, out);
    transfer.start(t0);
    for (int b = 1; b <= acked; ++b)
        ack(transfer, uint16_t(b));
    ack(transfer, uint16_t(wrongAck));
    QCOMPARE(transfer.state(), Transfer::State::Failed);
    QCOMPARE(out.last().opcode(), uint16_t(OpError));
    QCOMPARE(out.last().block(), uint16_t(ErrUnknownTransferId));
    QCOMPARE(out.last().message(), QByteArray("Incorect Block Number"));
    QVERIFY(out.last().to == peer);
}

void TftpCoreTest::datagramFromAnotherPortIsRejected()
{
    PatternSource file(2000);
    Recorder out;
    Transfer transfer(peer, file, out);
    transfer.start(t0);
    const Endpoint stranger{peer.address, uint16_t(peer.port + 1)};
    const Endpoint otherHost{0x0a000001, peer.port};
    for (const Endpoint &from : {stranger, otherHost}) {
        ack(transfer, 1, t0 + 2000ms, from);
        QCOMPARE(out.last().opcode(), uint16_t(OpError));
        QCOMPARE(out.last().block(), uint16_t(ErrUnknownTransferId));
        QCOMPARE(out.last().message(), QByteArray("Unknown transfer ID"));
        QVERIFY(out.last().to == from);
    }
    QCOMPARE(transfer.block(), uint16_t(1));
    QCOMPARE(transfer.deadline(), t0 + 3000ms);
    transfer.onTimeout(t0 + 3000ms); // the retransmission still goes to the requester
    QVERIFY(out.last().to == peer);
    ack(transfer, 1, t0 + 3100ms);
    QCOMPARE(out.last().block(), uint16_t(2));
    QVERIFY(out.last().to == peer);
}

void TftpCoreTest::errorAndUnknownPacketsDoNotSkipABlock()
{
    PatternSource file(2000);
    Recorder out;
    Transfer transfer(peer, file, out);
    transfer.start(t0);
    const auto error = errorPacket(ErrNotDefined, "whatever");
    transfer.onDatagram(peer, error.data(), error.size(), t0);
    const std::vector<uint8_t> odd{0, 9, 0, 1};
    transfer.onDatagram(peer, odd.data(), odd.size(), t0);
    QCOMPARE(out.lines.mid(out.lines.size() - 2),
             (QStringList{"we really can got error packet\n", "unknow ack optcode: 9\n"}));
    QCOMPARE(out.sent.size(), size_t(1));
    ack(transfer, 1);
    QCOMPARE(out.last().block(), uint16_t(2));
}

void TftpCoreTest::sixthTimeOutEndsTheTransfer()
{
    PatternSource file(5000);
    Recorder out;
    Transfer transfer(peer, file, out);
    transfer.start(t0);
    // The count covers the whole transfer: three time-outs on block 1, two on block 2.
    for (int i = 0; i < 3; ++i)
        transfer.onTimeout(transfer.deadline());
    ack(transfer, 1, transfer.deadline() - 1ms);
    for (int i = 0; i < 2; ++i)
        transfer.onTimeout(transfer.deadline());
    QCOMPARE(out.sent.size(), size_t(1 + 3 + 1 + 2));
    QCOMPARE(out.lines.count(QStringLiteral("retrans\n")), 5);
    QCOMPARE(transfer.state(), Transfer::State::AwaitingAck);

    transfer.onTimeout(transfer.deadline());
    QCOMPARE(transfer.state(), Transfer::State::Failed);
    QCOMPARE(out.lines.last(), QStringLiteral("unreached, Retrans max\n"));
    QCOMPARE(out.sent.size(), size_t(7)); // no error is sent
}

void TftpCoreTest::readFailureIsReportedNotTruncated()
{
    PatternSource file(2000, 700);
    Recorder out;
    Transfer transfer(peer, file, out);
    transfer.start(t0);
    ack(transfer, 1);
    QCOMPARE(transfer.state(), Transfer::State::Failed);
    QCOMPARE(out.sent.size(), size_t(2));
    QCOMPARE(out.last().opcode(), uint16_t(OpError));
    QVERIFY(out.lines.last().startsWith(QStringLiteral("read the file failed!, errno: 5, info: ")));
}

void TftpCoreTest::blockNumbersWrapPast65535()
{
    const uint64_t size = 65537ull * 512 + 100; // blocks 1..65535, 0, 1, 2 (short)
    PatternSource file(size);
    Recorder out;
    Transfer transfer(peer, file, out);
    transfer.start(t0);
    uint64_t offset = 0;
    for (uint32_t n = 1; !transfer.finished(); ++n) {
        QCOMPARE(out.sent.size(), size_t(1));
        const Sent data = out.sent.back();
        out.sent.clear();
        QCOMPARE(data.block(), uint16_t(n));
        if (data.payload() && (data.bytes[4] != PatternSource::at(offset) ||
                               data.bytes.back() != PatternSource::at(offset + data.payload() - 1)))
            QFAIL(qPrintable(QStringLiteral("wrong bytes in block %1").arg(n)));
        offset += data.payload();
        if (n == 65536 || n == 65537) // duplicates across the wrap are duplicates, not errors
            ack(transfer, uint16_t(n - 1));
        ack(transfer, uint16_t(n));
    }
    QCOMPARE(offset, size);
    QCOMPARE(transfer.state(), Transfer::State::Complete);
    QCOMPARE(out.percents.last(), 100);
    QCOMPARE(out.lines.count(QStringLiteral("block is not equal: block: 0, recv: 65535\n")), 1);
    QCOMPARE(out.lines.count(QStringLiteral("block is not equal: block: 1, recv: 0\n")), 1);
}

void TftpCoreTest::folderConfinesNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("outcome");
    const int opened = int(TftpFolder::Outcome::Opened);
    const int denied = int(TftpFolder::Outcome::AccessViolation);
    const int missing = int(TftpFolder::Outcome::NotFound);
    QTest::newRow("file") << "fw.img" << opened;
    QTest::newRow("sub-folder") << "sub/boot.bin" << opened;
    QTest::newRow("backslash separator") << "sub\\boot.bin" << opened;
    QTest::newRow("link inside") << "link-in" << opened;
    QTest::newRow("absolute") << "/etc/hostname" << denied;
    QTest::newRow("absolute with backslash") << "\\etc\\hostname" << denied;
    QTest::newRow("parent") << "../secret.txt" << denied;
    QTest::newRow("parent with backslash") << "..\\secret.txt" << denied;
    QTest::newRow("parent inside") << "sub/../fw.img" << denied;
    QTest::newRow("link to a file outside") << "link-out" << denied;
    QTest::newRow("link to a folder outside") << "dir-out/secret.txt" << denied;
    QTest::newRow("missing") << "nothing.img" << missing;
    QTest::newRow("folder") << "sub" << missing;
    QTest::newRow("empty") << "" << missing;
    QTest::newRow("fifo") << "fifo" << missing;
    QTest::newRow("dangling link") << "dangling" << missing;
}

void TftpCoreTest::folderConfinesNames()
{
    QFETCH(QString, name);
    QFETCH(int, outcome);
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("Upgrade"));
    QVERIFY(QDir().mkpath(root + "/sub"));
    const auto write = [](const QString &path, const QByteArray &text) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    write(root + "/fw.img", "firmware");
    write(root + "/sub/boot.bin", "loader");
    write(dir.filePath("secret.txt"), "secret");
    QVERIFY(QFile::link(root + "/fw.img", root + "/link-in"));
    QVERIFY(QFile::link(dir.filePath("secret.txt"), root + "/link-out"));
    QVERIFY(QFile::link(dir.path(), root + "/dir-out"));
    QVERIFY(QFile::link(root + "/gone", root + "/dangling"));
    QCOMPARE(::mkfifo(QFile::encodeName(root + "/fifo").constData(), 0600), 0);

    const TftpFolder folder(QFile::encodeName(root).toStdString());
    const TftpFolder::Opened opened = folder.open(name.toStdString());
    QCOMPARE(int(opened.outcome), outcome);
    QCOMPARE(opened.fd >= 0, outcome == int(TftpFolder::Outcome::Opened));
    if (opened.fd >= 0) {
        FileSource source(opened.fd, opened.size);
        uint8_t buffer[64];
        const long n = source.read(buffer, sizeof buffer);
        QCOMPARE(long(opened.size), n);
        QVERIFY(QByteArray(reinterpret_cast<char *>(buffer), int(n)) != "secret");
    }
}

QTEST_GUILESS_MAIN(TftpCoreTest)
#include "tst_tftpcore.moc"
