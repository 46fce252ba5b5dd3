// The write and check passes against a device in memory: the chunks and sectors each pass
// sends, the percentages it reports, and every way it can fail.
#include "support/TestFiles.h"
#include "upgrade/FirmwareWriter.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <optional>
#include <vector>

namespace {

using Calls = QList<QPair<uint32_t, uint32_t>>; // (first sector, sector count)

// Flash in memory, with the faults a loader device shows.
class MemoryDevice : public FirmwareWriter::Device
{
public:
    int writeSectors(uint32_t first, uint32_t count, const uint8_t *data) override
    {
        writes << qMakePair(first, count);
        if (reaches(failWriteAt, first, count) || lost())
            return -3;
        const size_t end = size_t(first + count) * FirmwareWriter::SectorSize;
        if (flash.size() < end)
            flash.resize(end);
        std::memcpy(flash.data() + size_t(first) * FirmwareWriter::SectorSize, data, size_t(count) * 512);
        return 0;
    }

    int readSectors(uint32_t first, uint32_t count, uint8_t *buffer) override
    {
        reads << qMakePair(first, count);
        if (lost() || size_t(first + count) * FirmwareWriter::SectorSize > flash.size())
            return -4;
        std::memcpy(buffer, flash.data() + size_t(first) * FirmwareWriter::SectorSize, size_t(count) * 512);
        if (reaches(flipBitAt, first, count))
            buffer[(*flipBitAt - first) * FirmwareWriter::SectorSize + 7] ^= 0x10;
        return 0;
    }

    std::optional<uint32_t> failWriteAt, flipBitAt;
    std::optional<int> lostAfterCalls; // calls answered before the device goes
    std::vector<uint8_t> flash;
    Calls writes, reads;

private:
    static bool reaches(std::optional<uint32_t> sector, uint32_t first, uint32_t count)
    {
        return sector && *sector >= first && *sector < first + count;
    }
    bool lost() { return lostAfterCalls && m_calls++ >= *lostAfterCalls; }
    int m_calls = 0;
};

// A file that ends before the size it claims, as one cut short while it is read.
class ShortImage : public QBuffer
{
public:
    ShortImage(const QByteArray &bytes, qint64 claimed)
        : m_claimed(claimed)
    {
        setData(bytes);
        open(QIODevice::ReadOnly);
    }
    qint64 size() const override { return m_claimed; }

private:
    qint64 m_claimed;
};

struct Run
{
    bool ok;
    QString failure;
    QStringList statuses;
    QList<int> progress;
};

Run runOn(MemoryDevice &device, QIODevice &image, uint32_t start = 0)
{
    Run run{};
    FirmwareWriter writer(
        device, [&](const QString &text) { run.statuses << text; }, [&](int percent) { run.progress << percent; });
    run.ok = writer.write(image, start);
    run.failure = writer.failure();
    return run;
}

QStringList writeTexts(const QList<int> &percents)
{
    QStringList texts;
    for (int p : percents)
        texts << QStringLiteral("write firmware...%1 percent").arg(p);
    return texts;
}

QString checkText(int percent)
{
    return QStringLiteral("check firmware...%1 percent").arg(percent);
}

} // namespace

Q_DECLARE_METATYPE(Calls)

class FirmwareWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void passes_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<uint>("start");
        QTest::addColumn<Calls>("writes");
        QTest::addColumn<Calls>("reads");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QList<int>>("progress");

        QTest::newRow("40000 bytes: the check starts at 32 KiB")
            << 40000 << 0u << Calls{{0, 32}, {32, 32}, {64, 15}} << Calls{{64, 15}}
            << writeTexts({41, 82, 100}) + QStringList(checkText(100)) << QList<int>{41, 82, 100};
        QTest::newRow("32 KiB: nothing to check")
            << 32768 << 0u << Calls{{0, 32}, {32, 32}} << Calls{} << writeTexts({50, 100}) << QList<int>{50, 100};
        QTest::newRow("1536 bytes: 100 after its only chunk")
            << 1536 << 0u << Calls{{0, 3}} << Calls{} << writeTexts({100}) << QList<int>{100};
        QTest::newRow("under 1 KiB: 100 after its only chunk")
            << 700 << 0u << Calls{{0, 2}} << Calls{} << writeTexts({100}) << QList<int>{100};
        // Whole KiB: 16 of 65 KiB is 24 %; the check pass starts with 48 of 65.
        QTest::newRow("65 KiB and a bit")
            << 66600 << 0u << Calls{{0, 32}, {32, 32}, {64, 32}, {96, 32}, {128, 3}}
            << Calls{{64, 32}, {96, 32}, {128, 3}}
            << writeTexts({24, 49, 73, 98, 100}) + QStringList{checkText(73), checkText(98), checkText(100)}
            << QList<int>{24, 49, 73, 98, 100};
    }

    void passes()
    {
        QFETCH(int, size);
        QFETCH(uint, start);
        const QByteArray bytes = patternedBytes(size);
        QBuffer image;
        image.setData(bytes);
        QVERIFY(image.open(QIODevice::ReadOnly));
        MemoryDevice device;
        const Run run = runOn(device, image, start);
        QVERIFY(run.ok);
        QTEST(device.writes, "writes");
        QTEST(device.reads, "reads");
        QTEST(run.statuses, "statuses");
        QTEST(run.progress, "progress");
        // The image, then zeros to the end of its last sector.
        const QByteArray written(reinterpret_cast<const char *>(device.flash.data()) + start * 512,
                                 int(device.flash.size() - start * 512));
        QCOMPARE(written.left(size), bytes);
        QCOMPARE(written.size() % 512, 0);
        QCOMPARE(written.mid(size), QByteArray(written.size() - size, '\0'));
    }

    // Each percentage once, rising, whatever the image's size.
    void percentagesOfALargeImage()
    {
        QBuffer image;
        image.setData(patternedBytes(4 * 1024 * 1024 + 300));
        QVERIFY(image.open(QIODevice::ReadOnly));
        MemoryDevice device;
        const Run run = runOn(device, image);
        QVERIFY(run.ok);
        QCOMPARE(run.progress.size(), 101 - run.progress.first());
        for (int i = 1; i < run.progress.size(); ++i)
            QCOMPARE(run.progress[i], run.progress[i - 1] + 1);
        QCOMPARE(run.progress.last(), 100);
        QCOMPARE(run.statuses.filter("check firmware").last(), checkText(100));
    }

    // No way out but success reports success; the passes stop at the first fault.
    void failures_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("readable"); // bytes the image really has
        QTest::addColumn<int>("failWriteAt");
        QTest::addColumn<int>("flipBitAt");
        QTest::addColumn<int>("lostAfterCalls");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<Calls>("writes");
        QTest::addColumn<Calls>("reads");

        const Calls all{{0, 32}, {32, 32}, {64, 15}};
        QTest::newRow("bit flipped in a checked sector")
            << 40000 << 40000 << -1 << 70 << -1 << false << all << Calls{{64, 15}};
        // The camera checks the image's head itself when it boots.
        QTest::newRow("bit flipped in the first 32 KiB")
            << 40000 << 40000 << -1 << 10 << -1 << true << all << Calls{{64, 15}};
        QTest::newRow("write refused mid-way")
            << 40000 << 40000 << 40 << -1 << -1 << false << Calls{{0, 32}, {32, 32}} << Calls{};
        QTest::newRow("device lost while writing") << 40000 << 40000 << -1 << -1 << 2 << false << all << Calls{};
        QTest::newRow("device lost before the check")
            << 40000 << 40000 << -1 << -1 << 3 << false << all << Calls{{64, 15}};
        QTest::newRow("image shorter than its size")
            << 40000 << 20000 << -1 << -1 << -1 << false << Calls{{0, 32}} << Calls{};
        QTest::newRow("empty image") << 0 << 0 << -1 << -1 << -1 << false << Calls{} << Calls{};
    }

    void failures()
    {
        QFETCH(int, size);
        QFETCH(int, readable);
        QFETCH(int, failWriteAt);
        QFETCH(int, flipBitAt);
        QFETCH(int, lostAfterCalls);
        ShortImage image(patternedBytes(readable), size);
        MemoryDevice device;
        const auto sector = [](int value) { return value < 0 ? std::nullopt : std::optional<uint32_t>(value); };
        device.failWriteAt = sector(failWriteAt);
        device.flipBitAt = sector(flipBitAt);
        if (lostAfterCalls >= 0)
            device.lostAfterCalls = lostAfterCalls;
        const Run run = runOn(device, image);
        QTEST(run.ok, "ok");
        QCOMPARE(run.failure.isEmpty(), run.ok);
        QTEST(device.writes, "writes");
        QTEST(device.reads, "reads");
    }

    void fromAFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("alta_nand.img");
        QVERIFY(writeFile(path, patternedBytes(40000)));
        MemoryDevice device;
        FirmwareWriter writer(
            device, [](const QString &) {}, [](int) {});
        QVERIFY(writer.write(path, 0));
        QCOMPARE(device.reads, (Calls{{64, 15}}));

        for (const QString &unreadable : {dir.filePath("missing.img"), dir.path()}) {
            MemoryDevice untouched;
            FirmwareWriter refused(
                untouched, [](const QString &) {}, [](int) {});
            QVERIFY(!refused.write(unreadable, 0));
            QVERIFY(!refused.failure().isEmpty());
            QVERIFY(untouched.writes.isEmpty());
        }
    }
};

QTEST_MAIN(FirmwareWriterTest)
#include "tst_firmwarewriter.moc"
