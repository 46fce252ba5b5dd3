// The transfer state machine without sockets or clocks.
#include "upgrade/tftp/TftpTransfer.h"

#include <QtTest>

#include <cerrno>

using namespace tftp;
using namespace std::chrono_literals;

namespace {

const Endpoint peer{0x7f000001, 40000};
const Clock::time_point t0{};

// Byte i of the file is derived from i and its block, so a skipped or repeated block shows.
// Its content may be longer or shorter than the size it was opened with.
class PatternSource : public ByteSource
{
public:
    PatternSource(uint64_t size, int64_t failAt, uint64_t content)
        : m_size(size)
        , m_content(content)
        , m_failAt(failAt)
    {}
    static uint8_t at(uint64_t i) { return uint8_t(i * 7 + (i >> 9)); }
    uint64_t size() const override { return m_size; }
    long read(uint8_t *out, size_t max) override
    {
        if (m_failAt >= 0 && m_pos >= uint64_t(m_failAt))
            return errno = EIO, -1;
        // Short reads on purpose: blocks must still be whole.
        const size_t n = size_t(std::min<uint64_t>({max, m_content - m_pos, 300}));
        for (size_t i = 0; i < n; ++i)
            out[i] = at(m_pos + i);
        m_pos += n;
        return long(n);
    }

private:
    uint64_t m_size;
    uint64_t m_content;
    int64_t m_failAt;
    uint64_t m_pos = 0;
};

struct Sent
{
    Endpoint to;
    std::vector<uint8_t> bytes;
    uint16_t field(size_t at) const { return uint16_t(bytes[at] << 8 | bytes[at + 1]); }
    size_t payload() const { return bytes.size() - 4; }
    bool isData(uint16_t block) const { return field(0) == OpData && field(2) == block && to == peer; }
    bool isError(uint16_t code, const char *message, const Endpoint &whom = peer) const
    {
        return field(0) == OpError && field(2) == code && QByteArray((const char *)bytes.data() + 4) == message &&
               to == whom;
    }
};

// A transfer of a file of the given size that has sent DATA 1, with all it did recorded.
struct Started : TransferOutput
{
    explicit Started(uint64_t size, int64_t failAt = -1, int64_t content = -1)
        : file(size, failAt, content < 0 ? size : uint64_t(content))
        , transfer(peer, file, *this)
    {
        transfer.start(t0);
    }
    void send(const Endpoint &to, const uint8_t *data, size_t size) override
    {
        sent.push_back({to, {data, data + size}});
    }
    void log(const char *line) override { lines << QString::fromLatin1(line); }
    void progress(int percent) override { percents << percent; }

    void ack(uint16_t block, Clock::time_point now = t0, const Endpoint &from = peer)
    {
        const auto packet = ackPacket(block);
        transfer.onDatagram(from, packet.data(), packet.size(), now);
    }
    const Sent &last() const { return sent.back(); }
    Transfer::State state() const { return transfer.state(); }

    PatternSource file;
    std::vector<Sent> sent;
    QStringList lines;
    QList<int> percents;
    Transfer transfer;
};

} // namespace

class TftpTransferTest : public QObject
{
    Q_OBJECT

private slots:
    void blocksAndProgress_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("payloads");
        QTest::addColumn<QList<int>>("percents");
        QTest::newRow("empty") << 0 << QList<int>{0} << QList<int>{100};
        QTest::newRow("512 ends with an empty block") << 512 << QList<int>{512, 0} << QList<int>{99, 100};
        QTest::newRow("513") << 513 << QList<int>{512, 1} << QList<int>{99, 100};
        QTest::newRow("1000") << 1000 << QList<int>{512, 488} << QList<int>{51, 100};
    }

    void blocksAndProgress()
    {
        QFETCH(int, size);
        QFETCH(QList<int>, payloads);
        QFETCH(QList<int>, percents);
        Started s{uint64_t(size)};
        QList<int> seen;
        uint64_t offset = 0;
        for (uint16_t n = 1; !s.transfer.finished(); ++n) {
            QVERIFY(s.last().isData(n));
            for (size_t i = 0; i < s.last().payload(); ++i)
                QCOMPARE(s.last().bytes[4 + i], PatternSource::at(offset++));
            seen << int(s.last().payload());
            QVERIFY2(!s.percents.contains(100), "100 before the last block was acknowledged");
            s.ack(n);
        }
        QCOMPARE(seen, payloads);
        QCOMPARE(s.percents, percents);
        QCOMPARE(s.state(), Transfer::State::Complete);
        QCOMPARE(s.lines.count("the last packet\n"), 1);
        QCOMPARE(s.lines.mid(s.lines.size() - 3),
                 (QStringList{"translate data 100%\n", "translate complete...\n", "RRQ\n"}));
    }

    void lostDataIsSentAgainAtTheTimeOutOnly()
    {
        // DATA 2 is lost; the client repeats ACK 1. Block 2 must come again, not block 3, and
        // not at once (that would double every later packet).
        Started s(1100);
        s.ack(1, t0 + 10ms);
        const std::vector<uint8_t> block2 = s.last().bytes;
        s.ack(1, t0 + 1000ms);
        const std::vector<uint8_t> odd{0, 9, 0, 2}, tooShortForAnError{0, 5, 0};
        s.transfer.onDatagram(peer, odd.data(), odd.size(), t0 + 1100ms);
        s.transfer.onDatagram(peer, tooShortForAnError.data(), tooShortForAnError.size(), t0 + 1200ms);
        QCOMPARE(s.sent.size(), size_t(2));
        QCOMPARE(s.lines.mid(s.lines.size() - 3), (QStringList{"block is not equal: block: 2, recv: 1\n",
                                                               "unknow ack optcode: 9\n", "unknow ack optcode: 5\n"}));
        QCOMPARE(s.transfer.deadline(), t0 + 10ms + 3000ms); // not postponed by any of them

        s.transfer.onTimeout(s.transfer.deadline());
        QCOMPARE(s.last().bytes, block2);
        QCOMPARE(s.lines.last(), QStringLiteral("retrans\n"));
        QCOMPARE(s.percents, (QList<int>{46, 93})); // first sends of blocks still to be followed
        s.ack(2);
        QVERIFY(s.last().isData(3));
        s.ack(2); // after the last block too: wait, do not finish
        QCOMPARE(s.state(), Transfer::State::AwaitingAck);
        s.ack(3);
        QCOMPARE(s.state(), Transfer::State::Complete);
    }

    void wrongAckEndsWithError_data()
    {
        QTest::addColumn<int>("acked"); // blocks acknowledged before
        QTest::addColumn<int>("wrongAck");
        QTest::newRow("ahead") << 1 << 3;
        QTest::newRow("two behind") << 2 << 1;
        QTest::newRow("duplicate before block 1 is acknowledged") << 0 << 0;
    }

    void wrongAckEndsWithError()
    {
        QFETCH(int, acked);
        QFETCH(int, wrongAck);
        Started s(5000);
        for (int b = 1; b <= acked; ++b)
            s.ack(uint16_t(b));
        s.ack(uint16_t(wrongAck));
        QCOMPARE(s.state(), Transfer::State::Failed);
        QVERIFY(s.last().isError(ErrUnknownTransferId, "Incorect Block Number"));
    }

    void datagramFromAnotherPortIsRejected()
    {
        Started s(2000);
        for (const Endpoint &from : {Endpoint{peer.address, 40001}, Endpoint{0x0a000001, peer.port}}) {
            s.ack(1, t0 + 2000ms, from);
            QVERIFY(s.last().isError(ErrUnknownTransferId, "Unknown transfer ID", from));
        }
        QCOMPARE(s.transfer.deadline(), t0 + 3000ms);
        s.transfer.onTimeout(t0 + 3000ms);
        QVERIFY(s.last().isData(1)); // still to the requester
        s.ack(1);
        QVERIFY(s.last().isData(2));
    }

    void errorFromTheRequesterEndsTheTransferAtOnce()
    {
        Started s(5000);
        s.ack(1);
        // A stranger's ERROR is not answered (errors would bounce for ever) and changes nothing.
        const Endpoint stranger{peer.address, 40001};
        const auto error = errorPacket(ErrNotDefined, "Disk\nfull");
        s.transfer.onDatagram(stranger, error.data(), error.size(), t0);
        QCOMPARE(s.sent.size(), size_t(2));
        QCOMPARE(s.state(), Transfer::State::AwaitingAck);

        s.transfer.onDatagram(peer, error.data(), error.size(), t0 + 10ms);
        QCOMPARE(s.state(), Transfer::State::Failed);
        QCOMPARE(s.sent.size(), size_t(2)); // not answered either
        QCOMPARE(s.lines.mid(s.lines.size() - 2), (QStringList{"we really can got error packet\n",
                                                               "the client ended the transfer: error 0: Disk?full\n"}));
        QVERIFY(!s.percents.contains(100));
    }

    void fileThatChangesWhileSentEndsWithError_data()
    {
        QTest::addColumn<int>("size"); // when opened
        QTest::addColumn<int>("content");
        QTest::addColumn<int>("blocksSent");
        QTest::newRow("shrinks inside a block") << 2000 << 1000 << 1;
        QTest::newRow("shrinks to a block boundary") << 2000 << 1024 << 2;
        QTest::newRow("shrinks to nothing") << 700 << 0 << 0;
        QTest::newRow("grows") << 1000 << 3000 << 1;
        QTest::newRow("grows past a multiple of 512") << 1024 << 1025 << 2;
        QTest::newRow("grows from empty") << 0 << 10 << 0;
    }

    void fileThatChangesWhileSentEndsWithError()
    {
        QFETCH(int, size);
        QFETCH(int, content);
        QFETCH(int, blocksSent);
        Started s(uint64_t(size), -1, content);
        for (uint16_t n = 1; n < 10 && s.state() == Transfer::State::AwaitingAck; ++n)
            s.ack(n);
        QCOMPARE(s.state(), Transfer::State::Failed);
        QCOMPARE(int(s.sent.size()), blocksSent + 1);
        QVERIFY(s.last().isError(ErrNotDefined, "File changed during transfer"));
        QCOMPARE(s.lines.last(),
                 QStringLiteral("the file changed while it was sent: %1 bytes when opened\n").arg(size));
        for (int percent : s.percents)
            QVERIFY(percent < 100);
    }

    void sixthTimeOutEndsTheTransfer()
    {
        Started s(5000);
        // The count covers the whole transfer: three time-outs on block 1, two on block 2.
        for (int i = 0; i < 5; ++i) {
            if (i == 3)
                s.ack(1);
            s.transfer.onTimeout(s.transfer.deadline());
        }
        QCOMPARE(s.sent.size(), size_t(1 + 5 + 1));
        QCOMPARE(s.lines.count("retrans\n"), 5);
        QCOMPARE(s.state(), Transfer::State::AwaitingAck);
        s.transfer.onTimeout(s.transfer.deadline());
        QCOMPARE(s.state(), Transfer::State::Failed);
        QCOMPARE(s.lines.last(), QStringLiteral("unreached, Retrans max\n"));
        QCOMPARE(s.sent.size(), size_t(7)); // the client is sent no error
    }

    void readFailureIsReportedNotTruncated()
    {
        Started s(2000, 700);
        s.ack(1);
        QCOMPARE(s.state(), Transfer::State::Failed);
        QVERIFY(s.last().isError(ErrNotDefined, "Read the file failed"));
        QVERIFY(s.lines.last().startsWith("read the file failed!, errno: 5, info: "));
    }

    void blockNumbersWrapPast65535()
    {
        const uint64_t size = 65537ull * 512 + 100; // blocks 1..65535, 0, 1, 2
        Started s(size);
        uint64_t offset = 0;
        for (uint32_t n = 1; !s.transfer.finished(); ++n) {
            QCOMPARE(s.sent.size(), size_t(1));
            const Sent data = s.last();
            s.sent.clear();
            if (!data.isData(uint16_t(n)) || (data.payload() && data.bytes[4] != PatternSource::at(offset)))
                QFAIL(qPrintable(QStringLiteral("wrong block %1").arg(n)));
            offset += data.payload();
            if (n == 65536 || n == 65537) // duplicates across the wrap are duplicates, not errors
                s.ack(uint16_t(n - 1));
            s.ack(uint16_t(n));
        }
        QCOMPARE(offset, size);
        QCOMPARE(s.state(), Transfer::State::Complete);
        QCOMPARE(s.lines.count("block is not equal: block: 0, recv: 65535\n"), 1);
        QCOMPARE(s.lines.count("block is not equal: block: 1, recv: 0\n"), 1);
    }
};

QTEST_GUILESS_MAIN(TftpTransferTest)
#include "tst_tftptransfer.moc"
