// The virtual SDK's configuration file: what Lx2_Initialize accepts, and for each mistake the
// file, line and reason it prints on standard error.

#include "sim/camera/Faults.h"
#include "sim/camera/SimConfig.h"
#include "support/SimConfigFile.h"
#include "support/StderrCapture.h"
#include "support/TestFiles.h"

#include "camera/sdk/quillon_api.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <clocale>
#include <cstdio>
#include <dlfcn.h>
#include <memory>
#include <unistd.h>

namespace {

uint32_t deviceCount()
{
    uint32_t n = 0;
    return Lx2_GetDeviceCount(&n) == 0 ? n : ~0u;
}

QByteArray sourceFile(const char *path)
{
    return readFile(QStringLiteral(LUMIDESK_SOURCE_DIR "/") + QLatin1String(path));
}

// The example configuration the README shows.
QByteArray readmeExample()
{
    const QByteArray readme = sourceFile("README.md");
    const int section = readme.indexOf("### `quillon_sim.ini`");
    const int start = readme.indexOf("```ini\n", section);
    const int end = readme.indexOf("```", start + 7);
    return section < 0 || start < 0 || end < 0 ? QByteArray() : readme.mid(start + 7, end - start - 7);
}

const QByteArray alta = "[device.a]\nmodel = Alta\n";

} // namespace

class SimConfigTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Lx2_Shutdown(); }

    // line 0: the configuration is valid.
    void configurations_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("reason");
        auto ok = [](const char *name, const QByteArray &ini) { QTest::newRow(name) << ini << 0 << QString(); };
        auto bad = [](const char *name, const QByteArray &ini, int line, const QString &reason) {
            QTest::newRow(name) << ini << line << reason;
        };

        ok("the README example", readmeExample());
        ok("empty file", "");
        ok("BOM, CRLF, tabs and comments", "\xEF\xBB\xBF[sim]\r\nframeTimeoutMs\t=\t150 ; short\r\n# note\r\n; "
                                           "note\r\n[device.a]\r\nmodel = Alta # desk\r\n");
        ok("any case", "[SIM]\nFRAMETIMEOUTMS = 100\n[Device.A]\nMODEL = alta\nColor = YES\n[Faults]\n"
                       "lx2_getframe = -9 TIMES 2\nLX2_OPENDEVICE = -3 After 1\n");
        ok("quoted text keeps ; and #", alta + "hardware = \"HW; rev #2\"  ; comment\npcba = PCBA 7 rev B\n");
        ok("colour spelt color", alta + "colorWidth = 1280\ncolorHeight = 720\ncolorIntrinsics = 900, 900, 640, 360\n");
        ok("fault on a function with Color in its name", "[faults]\nLx2_SetColorPixelFormat = -4\n");
        ok("smallest values", "[sim]\nframeTimeoutMs = 0\nrebootMs = 0\nupgradeStepMs = 0\ntftpWaitSeconds = 0\n" +
                                  alta +
                                  "type = 0\ndepthWidth = 16\ndepthHeight = 16\ncolourWidth = 320\ncolourHeight = 240\n"
                                  "fps = 1\nrgbResolution = 0\ndepthRange = 0\nrange0 = 0, 0, 0\n"
                                  "depthIntrinsics = 1.01, 1.01, 0, 0\ndepthDistortion = -100\n"
                                  "rotation = -180, -180, -180\ntranslation = -1000, -1000, -1000\ndropEvery = 0\n"
                                  "unplugAfterFrames = 0\nreplugAfterSeconds = 0\nfailPropertyReads = 0\n"
                                  "failPropertyStatus = -2147483648\nupgradeFailAtStage = 0\ntftpDropEvery = 0\n"
                                  "tftpStallAfterBlocks = 0\n"
                                  "[faults]\nLx2_GetFrame = -2147483648 times 0\n");
        ok("largest values", "[sim]\nframeTimeoutMs = 60000\nrebootMs = 600000\nupgradeStepMs = 60000\n"
                             "tftpWaitSeconds = 3600\n" +
                                 alta +
                                 "type = 255\ndepthWidth = 1280\ndepthHeight = 960\ncolourWidth = 1920\n"
                                 "colourHeight = 1080\nfps = 60\nrgbResolution = 3\ndataMode = 11\ndepthRange = 8\n"
                                 "range8 = 65535, 65535, 65535\ncolourIntrinsics = 100000, 100000, 1920, 1080\n"
                                 "colourDistortion = 100 100 100 100 100 100 100 100\nrotation = 180, 180, 180\n"
                                 "translation = 1000, 1000, 1000\ndropEvery = 1000000\nunplugAfterFrames = 1000000000\n"
                                 "replugAfterSeconds = 86400\nfailPropertyReads = 0xFFFFFFFF\n"
                                 "failPropertyStatus = 2147483647\nupgradeFailAtStage = 8\ntftpDropEvery = 1000000\n"
                                 "tftpStallAfterBlocks = 1000000000\n"
                                 "[faults]\nLx2_GetFrame = 2147483647 after 1000000000\n");
        ok("one uri inside another", alta + "uri = usb&1\n[device.b]\nmodel = Alta\nuri = usb&12\n");
        ok("addresses", alta + "mac = 02-51-AA-bb-0c-03\nip = 10.0.0.7\nsubnetMask = 255.255.0.0\nflashType = NOR\n"
                               "tftpServer = 127.255.0.9:65535\ntftpFile = eske-2.2.0.img\n");

        // Syntax and text
        bad("binary data", alta + QByteArray("fps = 3\0\n", 9), 3, "binary data (byte 0x00)");
        bad("not UTF-8", alta + "hardware = caf\xE9\n", 3, "not UTF-8 text");
        bad("carriage return inside a line", alta + "fps = 3\r0\n", 3, "binary data (byte 0x0D)");
        bad("header without ]", "[device.a\nmodel = Alta\n", 1, "section header without ']'");
        bad("text after a header", "[device.a] model = Alta\n", 1, "text after the section header");
        bad("blank in a section name", "[device a]\nmodel = Alta\n", 1, "section name 'device a'");
        bad("line without =", alta + "fps 30\n", 3, "expected 'key = value'");
        bad("no key", alta + "= 30\n", 3, "no key before '='");
        bad("odd character in a key", "[sim]\nframe/TimeoutMs = 3\n", 2, "only letters, digits and '_'");
        bad("empty value", alta + "firmware =\n", 3, "firmware: no value");
        bad("unclosed quote", alta + "serial = \"A1\n", 3, "serial: no closing '\"'");
        bad("text after quotes", alta + "serial = \"A1\" B\n", 3, "serial: text after the closing '\"'");
        bad("key outside a section", "fps = 30\n" + alta, 1, "key outside a section");
        bad("unknown section", "[camera]\n", 1, "unknown section [camera]");

        // Names given twice
        bad("key twice", alta + "fps = 30\nFPS = 15\n", 4, "FPS: already set on line 3");
        bad("colour and color", alta + "colourWidth = 1280\ncolorWidth = 640\n", 4, "already set on line 3");
        bad("section twice", alta + "[sim]\n[Device.A]\nmodel = Brio\n", 4, "section [Device.A] is already on line 1");
        bad("serial twice", alta + "serial = X1\n[device.b]\nmodel = Cima\nserial = X1\n", 6,
            "serial X1 is already the serial of [device.a]");
        bad("uri twice", alta + "uri = usb&1\n[device.b]\nmodel = Cima\nuri = usb&1\n", 6,
            "uri usb&1 is already the uri of [device.a]");

        // Keys and values
        bad("unknown key", alta + "fsp = 30\n", 3, "fsp: unknown key");
        bad("unknown model", "[device.x]\nmodel = Zeta\n", 2, "model must be one of");
        bad("typo of a function", "[faults]\nLx2_ReadNextFrames = -7\n", 2,
            "Lx2_ReadNextFrames: no such SDK function (did you mean Lx2_ReadNextFrame?)");
        bad("fault status 0", "[faults]\nLx2_GetFrame = 0\n", 2, "Lx2_GetFrame: expected '<status>'");
        bad("fault count too large", "[faults]\nLx2_GetFrame = -9 times 1000000001\n", 2, "N from 0 to 1000000000");
        bad("fault form", "[faults]\nLx2_GetFrame = -9 sometimes 3\n", 2, "expected '<status>'");
        bad("timeout too long", "[sim]\nframeTimeoutMs = 60001\n", 2,
            "frameTimeoutMs: expected milliseconds from 0 to 60000");
        bad("replug 1e300", alta + "replugAfterSeconds = 1e300\n", 3, "expected seconds from 0 to 86400");
        bad("replug NaN", alta + "replugAfterSeconds = nan\n", 3, "expected seconds from 0 to 86400");
        bad("unplug overflows", alta + "unplugAfterFrames = 99999999999999999999\n", 3,
            "expected a whole number from 0 to 1000000000");
        bad("fps 0", alta + "fps = 0\n", 3, "fps: expected a whole number from 1 to 60");
        bad("data mode of another model", alta + "dataMode = 100\n", 3,
            "dataMode 100 is not one of the Alta's data modes (0, 1, 2, 4, 10, 11)");
        bad("flag", alta + "colour = maybe\n", 3, "colour: expected yes or no");
        bad("range min above max", alta + "range0 = 1500, 1400, 1300\n", 3, "effectiveMin <= effectiveMax <= depthMax");
        bad("range beyond 16 bits", alta + "range0 = 70000, 0, 0\n", 3, "from 0 to 65535");
        bad("uncalibrated range 9", alta + "uncalibratedRanges = 7, 9\n", 3, "expected range numbers 0..8");
        bad("absurd focal length", alta + "depthIntrinsics = 1e300, 524, 320, 240\n", 3, "expected fx, fy");
        bad("huge distortion", alta + "depthDistortion = 1e6\n", 3, "each from -100 to 100");
        bad("property id beyond 32 bits", alta + "failPropertyReads = 0x100000000\n", 3, "expected property ids");
        bad("property status 0", alta + "failPropertyStatus = 0\n", 3, "expected a non-zero status");
        bad("upgrade stage 1", alta + "upgradeFailAtStage = 1\n", 3, "expected 0 (never) or a stage from 2 to 8");
        bad("serial too long", alta + "serial = " + QByteArray(32, 'S') + "\n", 3, "serial: expected 1 to 31");
        bad("serial with a path", alta + "serial = ../../x\n", 3, "serial: expected 1 to 31 letters, digits");
        bad("flash type", alta + "flashType = emmc\n", 3, "flashType: expected nand or nor");
        bad("mac", alta + "mac = 02:51:aa:bb:cc\n", 3, "mac: expected six hex pairs");
        bad("ip", alta + "ip = 300.1.1.1\n", 3, "ip: expected an IPv4 address");
        bad("TFTP server beyond the loopback", alta + "tftpServer = 192.168.1.2\n", 3,
            "tftpServer: expected a loopback address 127.x.x.x");
        bad("TFTP file with a blank", alta + "tftpFile = \"my fw.img\"\n", 3,
            "tftpFile: expected 1 to 127 printable ASCII characters without blanks");
        ok("loader faults", alta + "loaderFailWriteAtSector = 0\nloaderFlipBitAtSector = 0xFFFFFFFF\n"
                                   "loaderLoseAtSector = 64\n[sim]\nloaderRefuseInit = no\n");
        // Relative to the configuration's folder, which holds the file and a state folder only.
        bad("replay of a missing folder", alta + "replay = no-such-recording\n", 3,
            "replay: expected a folder of frame sets");
        bad("replay of a folder without frame sets", alta + "replay = .\n", 3,
            "replay: expected a folder of frame sets");
        bad("first mistake wins", alta + "fps = 0\nfsp = 1\n", 3, "fps: expected");
    }

    void configurations()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, line);
        QFETCH(QString, reason);
        QVERIFY(line || !ini.isNull()); // the README example was found
        config = std::make_unique<SimConfigFile>(ini);
        int status = 0;
        const QString printed = QString::fromUtf8(stderrOf([&] { status = Lx2_Initialize(); }));
        if (line == 0) {
            QCOMPARE(printed, QString());
            QCOMPARE(status, 0);
            return;
        }
        QVERIFY2(status != 0, "the mistake was accepted");
        QCOMPARE(deviceCount(), ~0u); // not initialised
        const QString where = QStringLiteral("quillon_api: ") + qEnvironmentVariable("QUILLON_SIM_CONFIG") + ':' +
                              QString::number(line) + QStringLiteral(": ");
        QVERIFY2(printed.startsWith(where) && printed.contains(reason) && printed.count('\n') == 1,
                 qPrintable(printed));
    }

    void fileProblems()
    {
        QTemporaryDir dir;
        auto failsWith = [&](const QString &path, const QString &reason) {
            qputenv("QUILLON_SIM_CONFIG", QFile::encodeName(path));
            int status = 0;
            const QString printed = QString::fromUtf8(stderrOf([&] { status = Lx2_Initialize(); }));
            return status != 0 &&
                   printed == QStringLiteral("quillon_api: ") + path + QStringLiteral(": ") + reason + '\n';
        };
        QVERIFY(failsWith(dir.path(), "is a folder, not a file"));
        QVERIFY(failsWith(dir.filePath("absent.ini"), "cannot be read: No such file or directory"));
        QVERIFY(failsWith("/dev/zero", "is not a regular file"));
        QVERIFY(writeFile(dir.filePath("big.ini"), QByteArray((1 << 20) + 1, '\n')));
        QVERIFY(failsWith(dir.filePath("big.ini"), "larger than 1 MiB, not a configuration file"));
        QVERIFY(writeFile(dir.filePath("locked.ini"), alta));
        QFile::setPermissions(dir.filePath("locked.ini"), QFileDevice::Permissions());
        if (geteuid() != 0) // root reads it anyway
            QVERIFY(failsWith(dir.filePath("locked.ini"), "cannot be read: Permission denied"));
        QCOMPARE(deviceCount(), ~0u);
    }

    void numbersAreReadAsWritten()
    {
        sim::SimConfig c;
        std::string error;
        QVERIFY(sim::SimConfig::parse(alta.toStdString() + "fps = 030\nfailPropertyReads = 0x10, 017\n"
                                                           "replugAfterSeconds = 0.25\n",
                                      "x.ini", c, error));
        QCOMPARE(c.devices.at(0).fps, 30); // not octal
        QCOMPARE(c.devices.at(0).failPropertyReads, (std::vector<uint32_t>{16, 17}));
        QCOMPARE(c.devices.at(0).replugAfterSeconds, 0.25);

        // A program running in a decimal-comma locale reads the file the same way.
        QTemporaryDir locales;
        QVERIFY(writeFile(locales.filePath("comma.src"), "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\n"
                                                         "grouping 3;3\nEND LC_NUMERIC\n"));
        QProcess::execute("localedef", {"-c", "-i", locales.filePath("comma.src"), "-f", "ANSI_X3.4-1968",
                                        locales.filePath("comma")});
        qputenv("LOCPATH", QFile::encodeName(locales.path()));
        if (!std::setlocale(LC_NUMERIC, "comma"))
            QSKIP("localedef cannot build a locale here");
        const bool read = sim::SimConfig::parse(alta.toStdString() + "replugAfterSeconds = 0.25\n", "x.ini", c, error);
        std::setlocale(LC_NUMERIC, "C");
        qunsetenv("LOCPATH");
        QVERIFY2(read, error.c_str());
        QCOMPARE(c.devices.at(0).replugAfterSeconds, 0.25);
    }

    // The [faults] names are exactly the SDK's entry points: each one exported, none left out.
    void faultsNameTheSdkFunctions()
    {
        const std::vector<std::string> &names = sim::Faults::sdkFunctions();
        QSet<QString> known;
        for (const std::string &name : names) {
            QVERIFY2(dlsym(RTLD_DEFAULT, name.c_str()), name.c_str());
            known << QString::fromStdString(name);
        }
        QSet<QString> declared;
        const QRegularExpression declaration(QStringLiteral("LX2_API\\s+SdkStatus\\s+(Lx2_\\w+)\\s*\\("));
        auto it = declaration.globalMatch(QString::fromUtf8(sourceFile("camera/sdk/quillon_api.h")));
        while (it.hasNext())
            declared << it.next().captured(1);
        QVERIFY(!declared.isEmpty());
        QCOMPARE(known, declared);
        QCOMPARE(int(names.size()), known.size());

        // A call named in any case fails as configured.
        config = std::make_unique<SimConfigFile>("[faults]\nLx2_SetColorPixelFormat = -4\nlx2_getdevicecount = -5\n");
        QCOMPARE(Lx2_Initialize(), 0);
        QCOMPARE(Lx2_SetColorPixelFormat(0, 0, 0), -4);
        uint32_t n = 0;
        QCOMPARE(Lx2_GetDeviceCount(&n), -5);
    }

private:
    std::unique_ptr<SimConfigFile> config;
};

QTEST_GUILESS_MAIN(SimConfigTest)
#include "tst_sim_config.moc"
