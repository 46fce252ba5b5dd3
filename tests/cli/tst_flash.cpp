// lumidesk-cli flash against the virtual cameras: each model's path, the camera's return with
// its new version, and the failures that must not pass for success.
#include "support/CliRun.h"
#include "support/SimConfigFile.h"

#include <QtTest>

#include <csignal>

namespace {

const QByteArray cameras = fastSim() + R"(
[device.brio]
model = Brio
serial = FL-BRIO
firmware = 1.0.0
[device.eske]
model = Eske
serial = FL-ESKE
uri = net:192.168.1.84:5005
firmware = 2.1.8
[device.alta]
model = Alta
serial = FL-ALTA
firmware = 2.0.9
flashType = nand
[device.altb]
model = Alta
serial = FL-ALTB
firmware = 2.0.9
flashType = nand
[device.cima]
model = Cima
serial = FL-CIMA
)";

} // namespace

class FlashTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        sim = std::make_unique<SimConfigFile>(cameras);
        qputenv("LUMIDESK_HOME", sim->filePath("home").toLocal8Bit());
    }
    void cleanup() { sim.reset(); }

    // Each path ends with the camera back on the image's version.
    void flashes_data()
    {
        QTest::addColumn<QString>("camera");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("stepShown");
        QTest::newRow("Brio through the SDK") << "FL-BRIO"
                                              << "Brio"
                                              << "1.0.0"
                                              << "DEVICE_UPGRADE_UPGRAD_DONE:OK";
        QTest::newRow("Eske over TFTP") << "FL-ESKE"
                                        << "Eske"
                                        << "2.1.8"
                                        << "whole";
        QTest::newRow("Alta through its loader") << "FL-ALTA"
                                                 << "Alta"
                                                 << "2.0.9"
                                                 << "upgrade success!";
    }
    void flashes()
    {
        QFETCH(QString, camera);
        QFETCH(QString, model);
        QFETCH(QString, before);
        QFETCH(QString, stepShown);
        const QString image = makeImage(model, "9.9.1", "fw-nand.img");
        makeLoader("Alta", "nand", "alta-nand-loader.bin");
        const Run run = cli({"flash", camera, image, "--timeout", "20"}, 90000);
        QVERIFY2(run.exit == 0, qPrintable(run.out + run.err));
        QVERIFY2(run.out.contains(stepShown), qPrintable(run.out));
        QVERIFY2(run.out.endsWith(QStringLiteral("FWver: %1 -> 9.9.1\n").arg(before)), qPrintable(run.out));
    }

    // A corrupt Brio image is refused with the dialog's text; the camera keeps its version.
    void corruptBrioImage()
    {
        const QString image = makeImage("Brio", "9.9.1", "brio.img");
        QFile file(image);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(file.size() - 1);
        file.write("!");
        file.close();
        const Run run = cli({"flash", "FL-BRIO", image, "--timeout", "10"}, 90000);
        QCOMPARE(run.exit, 1);
        QVERIFY2(run.out.startsWith("FirmWare check failed.\n"), qPrintable(run.out));
        QVERIFY2(run.out.endsWith("FWver: 1.0.0 -> 1.0.0\n"), qPrintable(run.out));
    }

    // An image for another model is refused by the camera as it restarts: it stays in its loader.
    void badAltaImageLeavesLoader()
    {
        const QString image = makeImage("Brio", "9.9.1", "brio-nand.img");
        const QString loader = makeLoader("Alta", "nand", "boot.bin");
        const Run run = cli({"flash", "FL-ALTA", image, "--loader", loader, "--timeout", "10"}, 90000);
        QCOMPARE(run.exit, 1);
        QVERIFY2(run.out.contains("Reset device failed!"), qPrintable(run.out));
        QVERIFY2(run.err.contains("left in its USB loader"), qPrintable(run.err));
        QVERIFY(QFile::exists(sim->statePath() + "/loader/FL-ALTA.ini"));

        // The loader flashes the first device waiting: another Alta is not handed over meanwhile.
        const QString good = makeImage("Alta", "9.9.1", "good-nand.img");
        const Run second = cli({"flash", "FL-ALTB", good, "--loader", loader, "--timeout", "10"}, 90000);
        QCOMPARE(second.exit, 1);
        QVERIFY2(second.err.contains("already waiting in its USB loader"), qPrintable(second.err));
        QVERIFY(!QFile::exists(sim->statePath() + "/loader/FL-ALTB.ini"));
    }

    // Ctrl-C while the camera restarts: the image was installed, and the command says so.
    void interruptedWhileWaiting()
    {
        sim = std::make_unique<SimConfigFile>(QByteArray(cameras).replace("rebootMs = 300", "rebootMs = 20000"));
        const QString image = makeImage("Brio", "9.9.1", "brio.img");
        QProcess process;
        process.start(QStringLiteral(LUMIDESK_CLI), {"flash", "FL-BRIO", image});
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += process.readAllStandardError()).contains("waiting for the camera"), 20000);
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 130);
        QVERIFY(process.readAllStandardOutput().endsWith("FWver: 1.0.0 -> (not back)\n"));
        err += process.readAllStandardError();
        QVERIFY2(err.contains("the image was sent and the camera restarts by itself"), err.constData());
    }

    // Mistakes found before anything reaches a camera.
    void refusedBeforeSending_data()
    {
        QTest::addColumn<QString>("camera");
        QTest::addColumn<QString>("imageName");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing image") << "FL-BRIO"
                                       << "none.img"
                                       << "cannot read the image";
        QTest::newRow("Cima") << "FL-CIMA"
                              << "fw.img"
                              << "is not upgraded from this program";
        QTest::newRow("no such camera") << "FL-NONE"
                                        << "fw.img"
                                        << "no attached camera";
        QTest::newRow("Alta without loader") << "FL-ALTA"
                                             << "fw.img"
                                             << "no boot loader";
    }
    void refusedBeforeSending()
    {
        QFETCH(QString, camera);
        QFETCH(QString, imageName);
        QFETCH(QString, message);
        makeImage("Brio", "9.9.1", "fw.img");
        const Run run = cli({"flash", camera, sim->filePath(imageName)}, 90000);
        QCOMPARE(run.exit, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFile::exists(sim->statePath() + "/loader/FL-ALTA.ini"));
    }

private:
    QString tool(const QStringList &arguments, const QString &name)
    {
        const QString path = sim->filePath(name);
        QProcess process;
        process.start(QStringLiteral(QUILLON_FWIMAGE), arguments + QStringList{"-o", path});
        return process.waitForFinished(10000) && process.exitCode() == 0 ? path : QString();
    }
    QString makeImage(const QString &model, const QString &version, const QString &name)
    {
        return tool({"--model", model, "--version", version}, name);
    }
    QString makeLoader(const QString &model, const QString &flash, const QString &name)
    {
        return tool({"--boot", "--model", model, "--flash", flash}, name);
    }

    std::unique_ptr<SimConfigFile> sim;
};

QTEST_GUILESS_MAIN(FlashTest)
#include "tst_flash.moc"
