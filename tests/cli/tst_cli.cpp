// lumidesk-cli run as a separate program against the virtual cameras, each case with a fresh
// camera state; the reports it reads and writes are compared with the panel's own.
#include "camera/Control_Single.h"
#include "panel/ReportSaving.h"
#include "support/BoxRecorder.h"
#include "support/CliRun.h"
#include "support/ProgramFolder.h"
#include "support/SimConfigFile.h"

#include <QtTest>

#include <memory>

namespace {

const QByteArray cameras = fastSim() + R"(
[device.alta]
model = Alta
serial = CLI-A
[device.dune]
model = Dune
serial = CLI-D
)";

// The item names diff prints (the value lines under them are indented).
QStringList namesIn(const QString &diffOutput)
{
    QStringList names;
    for (const QString &line : diffOutput.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!line.startsWith(QLatin1Char(' ')))
            names << line;
    return names;
}

} // namespace

class CliTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        sim = std::make_unique<SimConfigFile>(cameras);
        folder = std::make_unique<ProgramFolder>();
    }

    void cleanup()
    {
        folder.reset();
        sim.reset();
    }

    void listsEveryCamera()
    {
        const Run text = cli({"list"});
        QCOMPARE(text.exit, 0);
        const QStringList lines = text.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[1].split(' ', Qt::SkipEmptyParts),
                 QStringList({"Alta", "CLI-A", "-", "usb&2bc5&0401&CLI-A&1-1", "2.1.4"}));
        QCOMPARE(lines[2].split(' ', Qt::SkipEmptyParts),
                 QStringList({"Dune", "CLI-D", "192.168.1.81", "net:192.168.1.81:5005", "2.1.7"}));

        const Run json = cli({"list", "--json"});
        QCOMPARE(json.exit, 0);
        QJsonParseError error;
        const QJsonArray list = QJsonDocument::fromJson(json.out.toUtf8(), &error).array();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[0].toObject(), QJsonObject({{"model", "Alta"},
                                                  {"serial", "CLI-A"},
                                                  {"address", QJsonValue()},
                                                  {"uri", "usb&2bc5&0401&CLI-A&1-1"},
                                                  {"firmware", "2.1.4"}}));
        QCOMPARE(list[1].toObject().value("address").toString(), QStringLiteral("192.168.1.81"));
    }

    // info prints what the panel's "SaveCameraParams" writes, byte for byte; --save writes it.
    void infoIsThePanelsReport()
    {
        const QByteArray panel = panelReport();
        QVERIFY(!panel.isEmpty());
        const Run info = cli({"info", "CLI-A", "--save", folder->path()});
        QCOMPARE(info.exit, 0);
        QVERIFY2(info.out.startsWith("Model: Alta\nURI: usb&2bc5&0401&CLI-A&1-1\nSN: CLI-A\nFWver: 2.1.4\n"
                                     "Flash: nand\n\nSN:\nCLI-A\r\n"),
                 qPrintable(info.out));
        QVERIFY(info.out.toUtf8().endsWith(panel));
        QFile saved(folder->filePath("CLI-A.txt"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), panel);
        // The network camera by its serial number and by its address.
        QVERIFY(cli({"info", "CLI-D"}).out.contains("\nSN:\nCLI-D\r\n"));
        QVERIFY(cli({"info", "192.168.1.81"}).out.startsWith("Model: Dune\n"));
    }

    void setThenGet_data()
    {
        QTest::addColumn<QStringList>("set");
        QTest::addColumn<QStringList>("get");
        QTest::addColumn<QString>("shown");
        QTest::newRow("doubles") << QStringList{"TransferMat", "-25.5", "0.25", "1"} << QStringList{"TransferMat"}
                                 << "-25.5, 0.25, 1\n";
        QTest::newRow("negative numbers, far range")
            << QStringList{"OffSet", "--range", "2", "-3", "-2", "-1"} +
                   QString("0 ").repeated(46).split(' ', Qt::SkipEmptyParts)
            << QStringList{"offset", "--range=2"} << "-3, -2, -1" + QString(", 0").repeated(46) + "\n";
        QTest::newRow("hexadecimal in mode 1")
            << QStringList{"HTP", "--mode", "1", "0x1", "2", "3", "4", "5",  "6",  "7", "8",
                           "9",   "a",      "b", "c",   "d", "e", "f", "10", "11", "12"}
            << QStringList{"10", "--mode", "1"}
            << "0x1, 0x2, 0x3, 0x4, 0x5, 0x6, 0x7, 0x8, 0x9, 0xa, 0xb, 0xc, 0xd, 0xe, 0xf, 0x10, 0x11, 0x12\n";
        QTest::newRow("text with a blank")
            << QStringList{"PCBA", "PCBA rev C"} << QStringList{"PCBA"} << "PCBA rev C\n";
    }

    void setThenGet()
    {
        QFETCH(QStringList, set);
        QFETCH(QStringList, get);
        QFETCH(QString, shown);
        const Run written = cli(QStringList{"set", "CLI-A"} + set);
        QCOMPARE(written.err, QString());
        QCOMPARE(written.exit, 0);
        const Run read = cli(QStringList{"get", "CLI-A"} + get);
        QCOMPARE(read.exit, 0);
        QCOMPARE(read.out, shown);
    }

    // The page's refusals, printed as the page words them; the camera keeps its value.
    void refusedSets_data()
    {
        QTest::addColumn<QStringList>("set");
        QTest::addColumn<QString>("message");
        QTest::newRow("a bad part") << QStringList{"TransferMat", "1", "2", "x"}
                                    << "Waring: Part 3 (\"x\") of TransferMat is not a number. Nothing was written.\n";
        QTest::newRow("a wrong count") << QStringList{"TransferMat", "1", "2"} << "Waring: CameraTransfer is valid!\n";
        QTest::newRow("out of range") << QStringList{"AccSensitivity", "1", "1", "1", "1", "1", "1", "1", "1", "1e39"}
                                      << "Waring: Part 9 (\"1e39\") of AccSensitivity is outside a finite float. "
                                         "Nothing was written.\n";
        QTest::newRow("read only") << QStringList{"FWVer", "9.9"} << "lumidesk-cli: FWVer cannot be written\n";
    }

    void refusedSets()
    {
        QFETCH(QStringList, set);
        QFETCH(QString, message);
        const QString before = cli({"get", "CLI-A", set.first()}).out;
        QVERIFY(!before.isEmpty());
        const Run refused = cli(QStringList{"set", "CLI-A"} + set);
        QCOMPARE(refused.err, message);
        QCOMPARE(refused.exit, 2);
        QCOMPARE(cli({"get", "CLI-A", set.first()}).out, before);
    }

    void registers()
    {
        QCOMPARE(cli({"reg", "write", "CLI-A", "0x20", "0x1234", "0x21", "5"}).exit, 0);
        QCOMPARE(cli({"reg", "read", "CLI-A", "0x20", "0x21"}).out, QStringLiteral("0x0020, 0x1234\n0x0021, 0x0005\n"));
        // The chip id is read-only: the camera refuses, the command says so and fails.
        const Run chip = cli({"reg", "write", "CLI-A", "0x0", "0x1"});
        QCOMPARE(chip.exit, 1);
        QCOMPARE(chip.err, QStringLiteral("Warning: Writing RegVal failed: the camera answered -5.\n"));
        QCOMPARE(cli({"reg", "read", "CLI-A", "0"}).out, QStringLiteral("0x0000, 0x5121\n"));
        const Run odd = cli({"reg", "write", "CLI-A", "0x20"});
        QCOMPARE(odd.exit, 2);
        QCOMPARE(odd.err, QStringLiteral("Waring: The number of addresses and the number of values are not equal!\n"));
    }

    void mistakes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing") << QStringList{} << "Usage: lumidesk-cli COMMAND";
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << "unknown command \"frobnicate\"";
        QTest::newRow("unknown option") << QStringList{"list", "--bogus"} << "list has no option \"--bogus\"";
        QTest::newRow("unknown camera") << QStringList{"get", "NOPE", "SN"} << "no attached camera is \"NOPE\"";
        QTest::newRow("unknown item") << QStringList{"get", "CLI-A", "Nonsense"} << "no item \"Nonsense\"";
        QTest::newRow("no camera") << QStringList{"info"} << "info takes one camera";
        QTest::newRow("missing values") << QStringList{"set", "CLI-A", "TransferMat"} << "set needs the values";
        QTest::newRow("missing option value") << QStringList{"get", "CLI-A", "HTP", "--mode"} << "--mode needs a value";
        QTest::newRow("mode out of range")
            << QStringList{"get", "CLI-A", "HTP", "--mode", "3"} << "--mode takes 0, 1 or 2, not \"3\"";
        QTest::newRow("no addresses") << QStringList{"reg", "read", "CLI-A"} << "Waring: Please input addrs!";
        QTest::newRow("no report") << QStringList{"diff", "CLI-A", "/nonexistent/report.txt"}
                                   << "cannot read /nonexistent/report.txt";
        QTest::newRow("not a report") << QStringList{"diff", "CLI-A", "NOTES"}
                                      << "is not a calibration report: line 1: \"SN:\" expected";
    }

    void mistakes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QFile notes(folder->filePath("notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("SN\nCLI-A\n");
        notes.close();
        arguments.replaceInStrings(QRegularExpression("^NOTES$"), notes.fileName());
        const Run run = cli(arguments);
        QCOMPARE(run.exit, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    void help()
    {
        const Run all = cli({"--help"});
        QCOMPARE(all.exit, 0);
        QVERIFY(all.out.contains("restore CAMERA REPORT"));
        for (const char *command : {"list", "info", "get", "set", "reg", "diff", "restore", "flash"}) {
            const Run one = cli({command, "--help"});
            QCOMPARE(one.exit, 0);
            QVERIFY2(one.out.startsWith(QStringLiteral("Usage: lumidesk-cli %1").arg(command)), command);
            QCOMPARE(cli({"help", command}).out, one.out);
        }
    }

    // A report saved by the panel, three items changed: diff names those three, a dry run writes
    // nothing, restore brings the camera back to a report identical to the first.
    void restoreUndoesChanges()
    {
        const QByteArray saved = panelReport();
        const QString path = folder->filePath("backup.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(saved);
        file.close();
        QCOMPARE(cli({"diff", "CLI-A", path}).exit, 0);

        QCOMPARE(cli({"set", "CLI-A", "TransferMat", "1", "2", "3"}).exit, 0);
        QCOMPARE(cli({"set", "CLI-A", "GmmGain", "300", "0"}).exit, 0);
        QCOMPARE(cli({"set", "CLI-A", "MaxDepth", "--mode", "1", "3000", "3500", "4000", "2900", "3400", "3900", "100",
                      "200", "300"})
                     .exit,
                 0);
        const QStringList changed{"TransferMat", "MaxDepth Mode1", "GmmGain"};
        const Run diff = cli({"diff", "CLI-A", path});
        QCOMPARE(diff.exit, 1);
        QCOMPARE(namesIn(diff.out), changed);
        QVERIFY2(diff.out.contains(QRegularExpression("^TransferMat\n  report: [-0-9.e]+, [-0-9.e]+, [-0-9.e]+\n  "
                                                      "camera: 1, 2, 3\n")),
                 qPrintable(diff.out));

        const Run dry = cli({"restore", "CLI-A", path, "--dry-run"});
        QCOMPARE(dry.exit, 0);
        QCOMPARE(dry.out.count("would write "), 3);
        QCOMPARE(namesIn(cli({"diff", "CLI-A", path}).out), changed);

        // Another camera's report is not written by mistake.
        const Run other = cli({"restore", "CLI-D", path});
        QCOMPARE(other.exit, 2);
        QVERIFY2(other.err.contains("was saved from camera CLI-A, not CLI-D"), qPrintable(other.err));

        const Run restore = cli({"restore", "CLI-A", path});
        QCOMPARE(restore.exit, 0);
        QCOMPARE(restore.out.count("restored "), 3);
        QCOMPARE(cli({"diff", "CLI-A", path}).exit, 0);
        QCOMPARE(panelReport(), saved);
    }

    // What cannot be written is said, a refused item fails the command, and the rest is written.
    void restoreSaysWhatItCannot()
    {
        QString report = QString::fromUtf8(panelReport());
        report.replace(QRegularExpression("TransferMat:\n[^\r]*"), "TransferMat:\n1, 2, x");
        report.replace(QRegularExpression("FWVer:\n[^\r]*"), "FWVer:\n9.9.9");
        report.replace(QRegularExpression("GmmGain:\n[^\r]*"), "GmmGain:\n300");
        const QString path = folder->filePath("edited.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(report.toUtf8());
        file.close();

        const Run restore = cli({"restore", "CLI-A", path});
        QCOMPARE(restore.exit, 1);
        QCOMPARE(restore.out, QStringLiteral("restored GmmGain: 300\n"));
        QVERIFY2(restore.err.contains("failed TransferMat: Part 3 (\"x\") of TransferMat is not a number. Nothing was "
                                      "written.\n"),
                 qPrintable(restore.err));
        QVERIFY(restore.err.contains("left FWVer: FWVer is read only: the camera has 2.1.4, the report 9.9.9\n"));
        QCOMPARE(cli({"get", "CLI-A", "GmmGain"}).out, QStringLiteral("300\n"));
    }

private:
    // The report as the panel's "SaveCameraParams" writes it, read from its file. The camera is
    // closed again before the command line opens it.
    QByteArray panelReport()
    {
        Control_Single *camera = Control_Single::getInstance();
        if (camera->initializeSDK() != 0 || camera->initializeORB(QStringLiteral("CLI-A")) != 0)
            return {};
        {
            BoxRecorder boxes;
            ReportSaving::run(*camera, 0);
        }
        (void)camera->shutdownORB();
        (void)camera->shutdownSDK();
        QDirIterator it(folder->filePath("SaveCameraParams"), {"CLI-A.txt"}, QDir::Files, QDirIterator::Subdirectories);
        QByteArray bytes;
        while (it.hasNext()) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly))
                bytes = file.readAll();
            file.remove(); // the next report may land in the same folder
        }
        return bytes;
    }

    std::unique_ptr<SimConfigFile> sim;
    std::unique_ptr<ProgramFolder> folder;
};

QTEST_MAIN(CliTest)
#include "tst_cli.moc"
