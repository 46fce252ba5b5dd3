// The parameter page's text rules and the report, first as pure text <-> record, then through
// the virtual camera.
#include "camera/CalibrationReport.h"
#include "camera/Control_Single.h"
#include "camera/ParamItems.h"
#include "support/SimConfigFile.h"

#include <QtTest>

#include <cstring>
#include <memory>

using namespace ParamItems;

namespace {

const QByteArray cameras = fastSim() + R"(
[device.alta]
model = Alta
uri = usb&2bc5&0401&PAGE-ALTA&1-1
serial = PAGE-ALTA
[device.mute]
model = Alta
uri = usb&2bc5&0401&PAGE-MUTE&1-2
serial = PAGE-MUTE
failPropertyReads = 0x6, 0x7, 0xF0000001, 0xF0000002, 0xF0000003, 0xF0000004, 0xF0000006, 0xF0000008, 0xF000000A, 0xF000000B, 0xF000000C, 0xF000000D, 0xF000000E, 0xF000000F, 0xF0000010, 0xF0000014, 0xF0000015, 0xF0000016, 0xF0000017, 0xF0000018, 0xF0000019
)";

QString numbers(int from, int to, const QString &prefix = {})
{
    QStringList list;
    for (int i = from; i <= to; ++i)
        list << prefix + QString::number(i, prefix.isEmpty() ? 10 : 16);
    return list.join(QLatin1String(", "));
}

QString refusalOf(int index, const QString &text, const Selectors &s = {})
{
    return build(index, text, s).refusal.value_or(QString());
}

template <typename T> T recordAs(const Record &r)
{
    T value{};
    std::memcpy(&value, r.constData(), qMin(size_t(r.size()), sizeof value));
    return value;
}

Control_Single *camera()
{
    return Control_Single::getInstance();
}

} // namespace

class ParamItemsTest : public QObject
{
    Q_OBJECT

private slots:
    // ---- text -> record, without a camera ----

    void countRules_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("four parts for TransferMat") << int(TransferMat) << "1.5 2,3\n4"
                                                    << "CameraTransfer is valid!";
        QTest::newRow("blanks and commas collapse") << int(TransferMat) << " ,1,, 2 \t,3, "
                                                    << "";
        QTest::newRow("8 intrinsics") << int(RGBIntrinsic) << numbers(1, 8) << "Intrinsic is valid!";
        QTest::newRow("10 for FMat") << int(FMat) << numbers(1, 10) << "Rotation is valid!";
        QTest::newRow("DataModeList 2") << int(DataModeList) << "1 2"
                                        << "MaxDepth is valid!";
        QTest::newRow("DataModeList 3") << int(DataModeList) << "1 2 3"
                                        << "";
        QTest::newRow("DataModeList 34") << int(DataModeList) << numbers(1, 34) << "";
        QTest::newRow("DataModeList 35") << int(DataModeList) << numbers(1, 35) << "MaxDepth is valid!";
        QTest::newRow("RangeList 12") << int(RangeList) << numbers(1, 12) << "MaxDepth is valid!";
        QTest::newRow("empty PulseCount") << int(PulseCount) << " \n"
                                          << "PulseCount is valid!";
        QTest::newRow("GmmGain alone") << int(GmmGain) << "300"
                                       << "IRS2 is valid!";
        QTest::newRow("DSP one") << int(DSP) << "1"
                                 << "LED is valid!";
        QTest::newRow("DSP four") << int(DSP) << "1 2 3 4"
                                  << "LED is valid!";
        QTest::newRow("GyroOffset 5") << int(GyroOffset) << "1 2 3 4 5"
                                      << "AccOffsetTemp is valid!";
    }

    void countRules()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        QCOMPARE(refusalOf(index, text), refusal);
    }

    // A part that is not a number of its field's type refuses the whole write, named.
    void badParts_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("typo") << int(TransferMat) << "1, x, 3"
                              << R"(Part 2 ("x") of TransferMat is not a number.)";
        QTest::newRow("nan") << int(RotationMat) << "1 0 0 0 1 0 0 0 nan"
                             << R"(Part 9 ("nan") of RotationMat is outside)";
        QTest::newRow("float overflow") << int(AccSensitivity) << "1e39 " + numbers(1, 8)
                                        << R"(Part 1 ("1e39") of AccSensitivity is outside a finite float)";
        QTest::newRow("16 bits") << int(HTP) << "70000 " + numbers(1, 17)
                                 << R"(Part 1 ("70000") of HTP is outside 0 to 65535)";
        QTest::newRow("negative unsigned")
            << int(GmmParams) << "5 -1 " + numbers(1, 10) << R"(Part 2 ("-1") of GmmParams is outside 0 to 65535)";
        QTest::newRow("byte item") << int(WorkMode) << "256 0 0 0 0"
                                   << R"(Part 1 ("256") of WorkMode is outside 0 to 255)";
        QTest::newRow("signed byte") << int(AccOffsetTemp) << "25 -129 0 0 0"
                                     << R"(Part 2 ("-129") of AccOffsetTemp is outside -128 to 127)";
        QTest::newRow("0x on a later part only")
            << int(HTP) << "10 0x20 " + numbers(1, 16) << R"(Part 2 ("0x20") of HTP is not a number.)";
        QTest::newRow("0x where decimal only") << int(LD) << "0x1 2"
                                               << R"(Part 1 ("0x1") of LD is not a number.)";
        QTest::newRow("hex beyond") << int(MaxDepth) << "0x10000 " + numbers(1, 8)
                                    << R"(Part 1 ("0x10000") of MaxDepth is outside 0x0 to 0xffff)";
        QTest::newRow("second pulse part is a byte") << int(PulseCount) << "700 300"
                                                     << R"(Part 2 ("300") of PulseCount is outside 0 to 255)";
        QTest::newRow("text beyond Latin-1")
            << int(SN) << QString::fromUtf8("CAM-Ж1") << QString::fromUtf8(R"(SN takes Latin-1 characters only; "Ж")");
    }

    void badParts()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        const QString shown = refusalOf(index, text);
        QVERIFY2(shown.startsWith(refusal), qPrintable(shown));
        QVERIFY(shown.endsWith(QLatin1String("Nothing was written.")));
    }

    // Records that keep bytes of the camera's own run through the virtual camera below.
    void records()
    {
        const Selectors s{1, 2, {}};
        const auto pulse = recordAs<PulseCountSet>(build(PulseCount, "700,\n5", s).record);
        QCOMPARE(int(pulse.pulseCount), 700);
        QCOMPARE(int(pulse.depthMode), 1);
        QCOMPARE(int(pulse.rangeIndex), 2);
        QCOMPARE(int(pulse.reserved), 5);
        QCOMPARE(int(recordAs<PulseCountSet>(build(PulseCount, "700", s).record).reserved), 0);

        // "0x" on the first part makes every part hexadecimal; signed fields take the bit pattern.
        const auto htp = recordAs<HtpRecord>(build(HTP, "0x10 20 " + numbers(1, 16), s).record);
        QCOMPARE(int(htp.depthMode), 1);
        QCOMPARE(int(htp.values[1]), 0x20);
        const Built offsets = build(OffSet, "0xffff " + numbers(1, 48), s);
        QCOMPARE(offsets.record.size(), int(sizeof(OffsetRecord)));
        const auto offset = recordAs<OffsetRecord>(offsets.record);
        QCOMPARE(int(offset.depthMode), 1);
        QCOMPARE(int(offset.position), 2);
        QCOMPARE(int(offset.values[0]), -1);
        QCOMPARE(int(offset.values[48]), 0x48);
    }

    void registers()
    {
        Registers w = registerWrite("0x1a, 10");
        QVERIFY(!w.refusal);
        QCOMPARE(w.addresses, std::vector<uint16_t>{0x1a});
        QCOMPARE(w.values, std::vector<uint16_t>{0x10});
        QCOMPARE(registerWrite("26, 0x10").refusal.value_or(""),
                 QStringLiteral(R"(Part 2 ("0x10") of RegVal is not a number. Nothing was written.)"));
        QVERIFY(!registerWrite(numbers(1, 30)).refusal);
        QCOMPARE(registerWrite(numbers(1, 31)).refusal.value_or(""),
                 QStringLiteral("Too many parameters, up to 15 addrs, 15 values!"));
        QCOMPARE(registerWrite("1 2 3").refusal.value_or(""),
                 QStringLiteral("The number of addresses and the number of values are not equal!"));
        QCOMPARE(registerWrite("").refusal.value_or(""), QStringLiteral("Please input addrs!"));
        QCOMPARE(registerRead(numbers(1, 31)).addresses.size(), size_t(31));
        QCOMPARE(registerRead(numbers(1, 32)).refusal.value_or(""),
                 QStringLiteral("Too many parameters, up to 31 addrs!"));
        QCOMPARE(registerRead(" ").refusal.value_or(""), QStringLiteral("Please input addrs!"));
        QCOMPARE(showRegisters({0x1a, 0xbeef}, {0x3, 0}), QStringLiteral("0x001a, 0x0003\n0xbeef, 0x0000\n"));
    }

    void shownValues()
    {
        const uint16_t pulses[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        QCOMPARE(show(PulseCount, QByteArray(reinterpret_cast<const char *>(pulses), sizeof pulses)),
                 QStringLiteral("1,\n2, 3, 4,\n5, 6, 7,\n8, 9, 10"));
        float sensitivity[9];
        std::fill(std::begin(sensitivity), std::end(sensitivity), 1.0f / 3);
        const QStringList v = values(AccSensitivity, QByteArray(reinterpret_cast<const char *>(sensitivity), 36));
        QCOMPARE(v.first(), QStringLiteral("0.3333333432674408")); // the float widened, 16 digits
        QCOMPARE(v.last(), QStringLiteral("0.333333"));
        const uint16_t gmm[12] = {0x100, 0, 0xabcd};
        QVERIFY(
            show(GmmParams, QByteArray(reinterpret_cast<const char *>(gmm), 24)).startsWith("0x100, 0x0, 0xabcd, "));
        QCOMPARE(show(IR_S2_Enable, QByteArray::fromHex("01000707")), QStringLiteral("1,0"));
        // A short record shows nothing rather than bytes beyond it.
        QVERIFY(values(HTP, QByteArray(10, 0)).isEmpty());
    }

    // ---- through the virtual camera ----

    void init()
    {
        config = std::make_unique<SimConfigFile>(cameras);
        QCOMPARE(camera()->initializeSDK(), 0);
        QCOMPARE(camera()->initializeORB(QStringLiteral("PAGE-ALTA")), 0);
    }

    void cleanup()
    {
        (void)camera()->shutdownORB();
        (void)camera()->shutdownSDK();
        config.reset();
    }

    // Written through the page, read back through the page.
    void writeThenRead_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("range");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("readBack");
        const auto same = [](const char *row, int index, const QString &text, int mode = 0, int range = 0) {
            QTest::newRow(row) << index << mode << range << text << text;
        };
        same("Depth Intrinsic", DepthIntrinsic, "600, 0, 320.25, 0, 601, 240, 0, 0, 1");
        same("Depth Distortion", DepthDistortion, "0.1, -0.05, 0, 0, 0.01, 0, 0, 0");
        same("RGB Intrinsic", RGBIntrinsic, "1400, 0, 960, 0, 1400, 540, 0, 0, 1");
        same("RGB Distortion", RGBDistortion, "0.01, 0, 0, 0, 0, 0, 0, 0");
        same("RotationMat", RotationMat, "1, 0, 0, 0, 1, 0, 0, 0, 1");
        same("TransferMat", TransferMat, "-25.5, 0.25, 1");
        same("EMat", EMat, "0, -1, 0, 1, 0, 25.5, 0, -25.5, 0");
        same("FMat", FMat, "1e-06, 2, 3, 4, 5, 6, 7, 8, 0.1234567890123457");
        QTest::newRow("PulseCount") << int(PulseCount) << 0 << 1 << "750"
                                    << "600,\n600, 750, 800,\n900, 1000, 1100,\n1200, 1300, 1400";
        same("OffSet", OffSet, numbers(-3, 45), 1, 2);
        same("HTP", HTP, numbers(1, 18, "0x"), 2);
        same("MaxDepth", MaxDepth, "3000, 3500, 4000, 2900, 3400, 3900, 100, 200, 300", 1);
        same("SN", SN, "PAGE-ALTA-2");
        same("PCBA with a blank", PCBA, "PCBA rev C");
        same("WorkMode", WorkMode, "1, 2, 3, 4, 5");
        same("IR_S2_Enable", IR_S2_Enable, "0,1");
        QTest::newRow("GmmGain") << int(GmmGain) << 0 << 0 << "300, 7"
                                 << "300";
        same("GmmParams", GmmParams, numbers(1, 12, "0x"));
        same("AccSensitivity", AccSensitivity, "1, 0.5, 0.25, 2, 4, -1, 0.125, 8, 1.5");
        same("GyroSensitivity", GyroSensitivity, "1, 0.5, 0.25, 2, 4, -1, 0.125, 8, 1.5");
        same("AccOffsetTemp", AccOffsetTemp, "30, -1, 2, -3, 4");
        same("GyroOffsetTemp", GyroOffsetTemp, "30, 0.75, -0.5, 2, 3");
        same("AccOffset", AccOffset, "0, 2, -5, 0.5, 0.25, -1");
        same("GyroOffset", GyroOffset, "1, 3, 5, 0.5, 0.25, -1");
        same("LD", LD, "2, 90");
        same("TAL", TAL, "1, 7");
        same("TALDelay", TALDelay, "100,50,70000,30,1");
        same("SN-net", SNNet, "NET-1");
        same("MAC Address-net", MacAddressNet, "00:11:22:33:44:55");
        same("Software Version-net", SoftwareVersionNet, "9.9.9");
        same("IP", IP, "127.0.0.2");
        same("SubNetMask", SubNetMask, "255.255.0.0");
        same("DSP", DSP, "4,5,6");
        QTest::newRow("DSP keeps the third") << int(DSP) << 0 << 0 << "7 8"
                                             << "7,8,3";
        same("RangeOffset", RangeOffset, numbers(1, 9), 2);
        same("WDRPulseCount", WDRPulseCount, "900,1100,1300,2");
        QTest::newRow("DataModeList") << int(DataModeList) << 0 << 0 << "3, 0, 1, 2"
                                      << "3, 0, 1, 2" + QString(", 0").repeated(30);
        QTest::newRow("RangeList") << int(RangeList) << 0 << 0 << "0x3 0xa 0xb 0xc"
                                   << "3, 10, 11, 12" + QString(", 0").repeated(7);
    }

    void writeThenRead()
    {
        QFETCH(int, index);
        QFETCH(int, mode);
        QFETCH(int, range);
        QFETCH(QString, text);
        QFETCH(QString, readBack);
        const Selectors s{mode, range, text};
        const WriteResult w = write(*camera(), index, text, s);
        QVERIFY2(!w.refusal && !w.failure, qPrintable(w.refusal.value_or(w.failure.value_or(""))));
        const ReadResult r = read(*camera(), index, s);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.text, readBack);
    }

    void registersThroughTheCamera()
    {
        QVERIFY(!write(*camera(), RegVal, "0x20, 0x1234, 0x21, 5", {}).failure);
        QCOMPARE(read(*camera(), RegVal, {0, 0, "0x20 0x21"}).text, QStringLiteral("0x0020, 0x1234\n0x0021, 0x0005\n"));
        // The chip id is read-only: the whole write is refused and said.
        const WriteResult chip = write(*camera(), RegVal, "0x20 0x1 0x0 0x1", {});
        QCOMPARE(chip.failure.value_or(""), QStringLiteral("Writing RegVal failed: the camera answered -5."));
        QCOMPARE(read(*camera(), RegVal, {0, 0, "0x0 0x20"}).text, QStringLiteral("0x0000, 0x5121\n0x0020, 0x1234\n"));
    }

    // "Depth Range：" 0-2 within "Depth Mode："; the panel's own "Set" sends the absolute range.
    void pulseCountWithinItsMode()
    {
        QVERIFY(!write(*camera(), PulseCount, "777", {1, 2, {}}).failure);
        PulseCountTable table{};
        QCOMPARE(camera()->getPulseCount(&table), 0);
        QCOMPARE(int(table.range[5]), 777);
    }

    // The parts cover five of AccOffsetTemp's eleven bytes; the camera keeps the other six.
    void storedBytesBeyondThePartsStay()
    {
        uint8_t before[11];
        QCOMPARE(camera()->getAccOffsetTemp(before), 0);
        QVERIFY(!write(*camera(), AccOffsetTemp, "30 -1 2 -3 4", {}).failure);
        uint8_t after[11];
        QCOMPARE(camera()->getAccOffsetTemp(after), 0);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(after + 5), 6),
                 QByteArray(reinterpret_cast<char *>(before + 5), 6));
        QVERIFY(QByteArray(reinterpret_cast<char *>(after + 5), 6) != QByteArray(6, 0));
    }

    // A refused write reaches nothing; a failed one says so with the camera's status.
    void refusedAndFailedWrites()
    {
        const QString before = read(*camera(), DepthIntrinsic, {}).text;
        QVERIFY(!before.isEmpty());
        const WriteResult refused = write(*camera(), DepthIntrinsic, "600 0 320 0 6OO 240 0 0 1", {});
        QVERIFY(refused.refusal && refused.refusal->contains("Part 5"));
        QCOMPARE(read(*camera(), DepthIntrinsic, {}).text, before);

        const WriteResult tooLong = write(*camera(), SN, QString(80, 'S'), {});
        QVERIFY(!tooLong.refusal);
        QCOMPARE(tooLong.status, int(LX2_E_BAD_LENGTH));
        QCOMPARE(*tooLong.failure, QStringLiteral("Writing SN failed: the camera answered -9."));
        QVERIFY(!write(*camera(), FWVer, "1.0", {}).failure); // read only: nothing happens
    }

    // Every section from the camera's own values: doubles with 16 significant digits.
    void fullReport()
    {
        const CalibrationReport::Report report = CalibrationReport::read(*camera(), 1);
        QCOMPARE(report.serial.value_or(""), QStringLiteral("PAGE-ALTA"));
        const QStringList sections = report.text.split(QLatin1String("\r\n"));
        QCOMPARE(sections.size(), 34); // 33 sections, then nothing after the last CR LF
        QCOMPARE(sections.first(), QStringLiteral("SN:\nPAGE-ALTA"));

        double k[9];
        QCOMPARE(camera()->getIntrinsics(0, k), 0);
        QStringList g16;
        for (double v : k)
            g16 << QString::asprintf("%.16g", v);
        QCOMPARE(sections[1], "Depth Intrinsic:\n" + g16.join(", "));
        double f[9];
        QCOMPARE(camera()->getFMat(f), 0);
        const QStringList fmat = sections[8].mid(int(strlen("FMat:\n"))).split(", ");
        QCOMPARE(fmat.size(), 9);
        for (int i = 0; i < 9; ++i)
            QCOMPARE(fmat[i], QString::asprintf("%.16g", f[i]));
        QCOMPARE(sections[9], QStringLiteral("PulseCount:\n600,600, 700, 800,900, 1000, 1100,1200, 1300, 1400"));
        QVERIFY(sections[14].startsWith("MaxDepth:\nMode0:\n"));
        MeasuringRange mode2{};
        mode2.depthMode = 2;
        QCOMPARE(camera()->getMaxDepth(&mode2), 0);
        const uint16_t far = mode2.effectiveMax[2];
        QVERIFY(sections[16].startsWith("Mode2:\n"));
        QVERIFY2(sections[16].endsWith(QStringLiteral(", %1 ").arg(far)), qPrintable(sections[16]));
        QCOMPARE(sections[21], QStringLiteral("IR_S2_Enable:\n1"));
        QCOMPARE(sections.last(), QString());
    }

    // Only the serial number answers: the headings stand alone.
    void reportOfAMuteCamera()
    {
        (void)camera()->shutdownORB();
        QCOMPARE(camera()->initializeORB(QStringLiteral("PAGE-MUTE")), 0);
        const CalibrationReport::Report report = CalibrationReport::read(*camera(), 0);
        const QStringList sections = report.text.split(QLatin1String("\r\n"));
        QCOMPARE(sections.size(), 34);
        QCOMPARE(sections.first(), QStringLiteral("SN:\nPAGE-MUTE"));
        const QRegularExpression heading(QStringLiteral("^([A-Za-z0-9_ ]+:\n)+$")); // MaxDepth holds Mode0
        for (int i = 1; i < 33; ++i)
            QVERIFY2(heading.match(sections[i]).hasMatch(), qPrintable(sections[i]));
        QCOMPARE(sections.last(), QString());
    }

    // The parser is the report's inverse: sections -> text -> the same sections and text.
    void reportParsesBack_data()
    {
        QTest::addColumn<QString>("camera");
        QTest::newRow("every section") << "PAGE-ALTA";
        QTest::newRow("headings alone") << "PAGE-MUTE";
    }

    void reportParsesBack()
    {
        QFETCH(QString, camera);
        (void)::camera()->shutdownORB();
        QCOMPARE(::camera()->initializeORB(camera), 0);
        const std::vector<CalibrationReport::Section> read = CalibrationReport::readSections(*::camera(), 1);
        const QString text = CalibrationReport::compose(read);
        QCOMPARE(text, CalibrationReport::read(*::camera(), 1).text);
        const CalibrationReport::Parsed parsed = CalibrationReport::parse(text);
        QCOMPARE(parsed.error, QString());
        QCOMPARE(int(parsed.sections.size()), int(read.size()));
        for (size_t i = 0; i < read.size(); ++i) {
            QCOMPARE(parsed.sections[i].heading, read[i].heading);
            QCOMPARE(parsed.sections[i].body, read[i].body);
        }
        QCOMPARE(CalibrationReport::compose(parsed.sections), text);
        // An editor that dropped the carriage returns changes nothing.
        QCOMPARE(CalibrationReport::compose(CalibrationReport::parse(QString(text).remove('\r')).sections), text);
    }

    void reportParseRefuses_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("error");
        QTest::newRow("empty") << "^.*$"
                               << ""
                               << "line 1: \"SN:\" expected";
        QTest::newRow("a section left out") << "HTP:\n[^\r]*\r\n"
                                            << ""
                                            << "line 27: \"HTP:\" expected";
        QTest::newRow("MaxDepth line left out") << "MaxDepth:\n"
                                                << ""
                                                << "line 29: \"MaxDepth:\" expected";
        QTest::newRow("text after the end") << "\\z"
                                            << "more\n"
                                            << "line 68: text after the last section";
        QTest::newRow("cut short") << "FlashType:\n.*$"
                                   << "FlashType:"
                                   << "line 67: the values of FlashType are missing";
    }

    void reportParseRefuses()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, error);
        QString text = CalibrationReport::read(*camera(), 0).text;
        text.replace(QRegularExpression(from, QRegularExpression::DotMatchesEverythingOption), to);
        const CalibrationReport::Parsed parsed = CalibrationReport::parse(text);
        QCOMPARE(parsed.error, error);
        QVERIFY(parsed.sections.empty());
    }

private:
    std::unique_ptr<SimConfigFile> config;
};

QTEST_GUILESS_MAIN(ParamItemsTest)
#include "tst_paramitems.moc"
