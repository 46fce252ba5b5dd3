#include "cli/FlashCommand.h"

#include "camera/CameraIdentity.h"
#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "cli/Cameras.h"
#include "cli/Commands.h"
#include "cli/InterruptCatcher.h"
#include "cli/ProgressBar.h"
#include "shell/AppPaths.h"
#include "upgrade/LoaderFiles.h"
#include "upgrade/TftpUpgradeState.h"
#include "upgrade/UpgradeLibrary.h"
#include "upgrade/UpgradeTexts.h"
#include "upgrade/Worker.h"
#include "upgrade/tftp/TftpDaemon.h"
#include "upgrade/tftp/TftpLog.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QThread>

#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace FlashCommand {

using namespace Commands;

namespace {

struct Context
{
    QTextStream &out;
    QTextStream &err;
    Control_Single &camera;
    int timeoutMs = 60000;
    bool verbose = false;

    int say(int exit, const QString &text) const
    {
        err << "lumidesk-cli: " << text << "\n";
        err.flush();
        return exit;
    }
    bool interrupted() const { return InterruptCatcher::requested().load(); }
};

// The version in the image's header (our own QFW1 format: magic, model, 16 bytes of version),
// or empty when the file is not one: the camera then judges the image on its own.
QString imageVersion(const QByteArray &head)
{
    if (head.size() < 32 || !head.startsWith("QFW1"))
        return {};
    const QByteArray field = head.mid(8, 16);
    return QString::fromLatin1(field.left(field.indexOf('\0') < 0 ? 16 : field.indexOf('\0')));
}

// ---- Brio: the SDK upgrade -------------------------------------------------------------

std::mutex reportsLock;
std::deque<std::pair<int32_t, int32_t>> reports; // filled on the SDK's thread

void onUpgradeStatus(int32_t stage, int32_t value)
{
    const std::lock_guard<std::mutex> lock(reportsLock);
    reports.emplace_back(stage, value);
}

// True when the camera installed the image and restarts; false when the upgrade failed.
// Stops early (false) on Ctrl-C or when no report arrives in time.
// Refused: nothing was installed and the camera goes on as it was.
enum class Outcome { Done, Failed, Refused, Interrupted, TimedOut };

Outcome sdkUpgrade(const Context &c, const QString &image, ProgressBar &bar)
{
    {
        const std::lock_guard<std::mutex> lock(reportsLock);
        reports.clear();
    }
    if (c.camera.SetUpgradeStatusCallback(&onUpgradeStatus) != LX2_OK) {
        c.out << "Callback error, retry\n";
        return Outcome::Refused;
    }
    const QByteArray path = QFile::encodeName(image);
    const SdkStatus started = c.camera.StartUpgradeFirmWare(path.constData());
    c.out << UpgradeTexts::startResult(started) << "\n";
    c.out.flush();
    if (started != LX2_OK && started != LX2_UPGRADE_SAME_VERSION)
        return Outcome::Refused;
    QDeadlineTimer quiet(c.timeoutMs);
    int shownStep = -1;
    for (;;) {
        std::deque<std::pair<int32_t, int32_t>> arrived;
        {
            const std::lock_guard<std::mutex> lock(reportsLock);
            arrived.swap(reports);
        }
        for (const auto &[stage, value] : arrived) {
            quiet.setRemainingTime(c.timeoutMs);
            const QString text = UpgradeTexts::stage(stage, value);
            const int percent = UpgradeTexts::progressOf(stage, value);
            if (stage == 5 && value != -1) {
                // The install's percentages are progress, not news.
                if (bar.onTerminal()) {
                    bar.show(percent, 100, text);
                } else if (percent / 25 != shownStep) {
                    shownStep = percent / 25;
                    c.err << text << "\n";
                    c.err.flush();
                }
                continue;
            }
            bar.finish();
            c.out << text << "\n";
            c.out.flush();
            if (value == -1)
                return Outcome::Failed;
            if (stage == 8)
                return Outcome::Done;
        }
        if (c.interrupted())
            return Outcome::Interrupted;
        if (quiet.hasExpired())
            return Outcome::TimedOut;
        QThread::msleep(20);
    }
}

// ---- Dune, Eske: TFTP ------------------------------------------------------------------

// What the server's transfer threads report, for the main thread to poll.
class TransferWatch : public tftp::TransferObserver
{
public:
    void started(int transfer, const std::string &name) override
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_state.started(transfer);
        m_name = QString::fromStdString(name);
        m_percent = 0;
        m_anyStarted = true;
    }
    void progress(int transfer, int percent) override
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        if (const int shown = m_state.progress(transfer, percent); shown >= 0)
            m_percent = shown;
    }
    void ended(int transfer, bool complete) override
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        if (m_state.ended(transfer, complete))
            m_done = true;
        else if (!complete)
            m_failures++;
    }
    struct Seen
    {
        bool started, done;
        int percent, failures;
        QString name;
    };
    Seen seen() const
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        return {m_anyStarted, m_done, m_percent, m_failures, m_name};
    }

private:
    mutable std::mutex m_lock;
    TftpUpgradeState m_state;
    QString m_name;
    int m_percent = 0, m_failures = 0;
    bool m_anyStarted = false, m_done = false;
};

Outcome tftpUpgrade(const Context &c, const QFileInfo &image, int port, ProgressBar &bar)
{
    // Standard output is the command's answer: the server's own log only with -v.
    tftp::setLogStream(c.verbose ? stderr : nullptr);
    tftp::DaemonConfig config;
    config.root = QFile::encodeName(image.absolutePath()).toStdString();
    config.listen = {0x7f000001, uint16_t(port)}; // the camera fetches from the loopback only
    TransferWatch watch;
    tftp::TftpDaemon daemon(config, &watch);
    if (daemon.open() != tftp::TftpDaemon::Listen::Listening) {
        c.say(Failed, QStringLiteral("the TFTP server cannot listen on 127.0.0.1 port %1: %2")
                          .arg(port)
                          .arg(QString::fromLocal8Bit(std::strerror(daemon.lastError()))));
        return Outcome::Refused;
    }
    std::thread server([&daemon] { daemon.run(); });
    const auto stopServer = [&daemon, &server] {
        daemon.stop();
        server.join();
    };

    const QString handover = QStringLiteral("127.0.0.1:%1 %2").arg(daemon.port()).arg(image.fileName());
    const QByteArray text = handover.toLatin1();
    const SdkStatus status =
        c.camera.setProperty(PropertyTable::UpgradeHandover.id, text.constData(), int32_t(text.size()));
    if (status != LX2_OK) {
        stopServer();
        c.say(Failed, QStringLiteral("the camera did not take the upgrade hand-over \"%1\" (status %2)")
                          .arg(handover)
                          .arg(status));
        return Outcome::Refused;
    }
    c.out << "serving " << image.fileName() << " on 127.0.0.1:" << daemon.port() << "\n";
    c.out.flush();

    QDeadlineTimer quiet(c.timeoutMs);
    int lastPercent = -1, lastFailures = 0;
    for (;;) {
        const TransferWatch::Seen seen = watch.seen();
        if (seen.percent != lastPercent || seen.failures != lastFailures)
            quiet.setRemainingTime(c.timeoutMs);
        if (seen.percent != lastPercent && seen.started) {
            const QString line = QStringLiteral("sent %1%").arg(seen.percent);
            if (bar.onTerminal())
                bar.show(seen.percent, 100, line);
            else if (seen.percent / 25 != lastPercent / 25 || lastPercent < 0) {
                c.err << line << "\n";
                c.err.flush();
            }
            lastPercent = seen.percent;
        }
        if (seen.failures != lastFailures) {
            bar.finish();
            c.err << "lumidesk-cli: a transfer of " << seen.name << " failed; waiting for the camera to ask again\n";
            lastFailures = seen.failures;
        }
        if (seen.done) {
            stopServer();
            bar.finish();
            c.out << "sent " << seen.name << " whole\n";
            return Outcome::Done;
        }
        if (c.interrupted()) {
            stopServer();
            bar.finish();
            return Outcome::Interrupted;
        }
        if (quiet.hasExpired()) {
            stopServer();
            bar.finish();
            return Outcome::TimedOut;
        }
        QThread::msleep(20);
    }
}

// ---- Alta: the USB loader --------------------------------------------------------------

bool loaderDeviceWaiting(const UpgradeLibrary &library)
{
    RKDeviceRecord *devices = nullptr;
    const int count = library.entries().RK_ScanDeviceW(&devices);
    for (int i = 0; i < count && devices; ++i)
        if (devices[i].mode == RK_DEVICE_MODE_LOADER)
            return true;
    return false;
}

Outcome loaderUpgrade(const Context &c, const QString &image, const QString &loader, UpgradeLibrary &library,
                      ProgressBar &bar)
{
    SdkWorkMode mode{};
    (void)c.camera.getWorkMode(&mode);
    mode.mode = LX2_WORK_MODE_LOADER;
    if (const SdkStatus status = c.camera.setWorkMode(mode); status != LX2_OK) {
        c.say(Failed, QStringLiteral("the camera could not enter its upgrade mode (status %1)").arg(status));
        return Outcome::Refused;
    }
    (void)c.camera.shutdownORB();
    c.out << "the camera is in its USB loader\n";
    c.out.flush();
    QDeadlineTimer appear(c.timeoutMs);
    while (!loaderDeviceWaiting(library)) {
        if (appear.hasExpired() || c.interrupted()) {
            c.say(Failed, QStringLiteral("no camera appeared in loader mode"));
            return c.interrupted() ? Outcome::Interrupted : Outcome::TimedOut;
        }
        QThread::msleep(50);
    }

    Worker worker;
    worker.setLibrary(&library);
    worker.setPaths(image, loader);
    std::mutex lock;
    std::deque<QString> statuses;
    std::atomic<int> percent{-1};
    std::atomic<bool> finished{false}, succeeded{false};
    // No receiver object: the worker's thread delivers straight into these.
    QObject::connect(&worker, &Worker::sigStatus, [&](const QString &text) {
        const std::lock_guard<std::mutex> guard(lock);
        statuses.push_back(text);
    });
    QObject::connect(&worker, &Worker::sigProgress, [&](int value) { percent = value; });
    QObject::connect(&worker, &Worker::sigWorkFinish, [&](bool ok) {
        succeeded = ok;
        finished = true;
    });
    std::thread thread([&worker] { worker.slotUpgrade(); });
    int shownQuarter = -1;

    for (;;) {
        std::deque<QString> arrived;
        {
            const std::lock_guard<std::mutex> guard(lock);
            arrived.swap(statuses);
        }
        for (const QString &text : arrived) {
            // Write percentages are the bar's; every other step is a line.
            if (text.startsWith(QLatin1String("write firmware..."))) {
                if (bar.onTerminal()) {
                    bar.show(percent.load(), 100, text);
                } else if (const int quarter = percent.load() / 25; quarter != shownQuarter) {
                    shownQuarter = quarter;
                    c.err << text << "\n";
                }
                continue;
            }
            if (text.startsWith(QLatin1String("check firmware...")) && !text.endsWith(QLatin1String("100 percent")))
                continue;
            bar.finish();
            c.out << text << "\n";
        }
        c.out.flush();
        c.err.flush();
        if (finished) {
            thread.join();
            bar.finish();
            return succeeded ? Outcome::Done : Outcome::Failed;
        }
        if (c.interrupted()) {
            // The library's calls cannot be broken off: the process ends here.
            bar.finish();
            c.err << "lumidesk-cli: interrupted while the firmware was written; the camera is left in its USB "
                     "loader and can be flashed again\n";
            c.err.flush();
            c.out.flush();
            ::_exit(Interrupted);
        }
        QThread::msleep(20);
    }
}

// ---- the camera's return ---------------------------------------------------------------

bool listed(Control_Single &camera, const QString &uri)
{
    for (const SdkDeviceInfo &info : camera.getDeviceList())
        if (uriOf(info) == uri)
            return true;
    return false;
}

// The version the camera comes back with: the image's when known, otherwise any that differs
// from before. Empty when it is not back (with the version it is waited for) in time.
std::optional<QString> awaitReturn(const Context &c, const Cameras::Entry &entry, const QString &expected,
                                   bool &interrupted)
{
    QDeadlineTimer deadline(c.timeoutMs);
    bool left = false;
    std::optional<QString> last;
    while (!deadline.hasExpired()) {
        if (c.interrupted()) {
            interrupted = true;
            return last;
        }
        if (!listed(c.camera, entry.uri)) {
            left = true;
        } else {
            const Cameras::Opened opened = Cameras::open(c.camera, entry.uri);
            if (opened.entry) {
                last = opened.entry->firmware;
                (void)c.camera.shutdownORB();
                const bool wanted = expected.isEmpty() ? last != entry.firmware : last == expected;
                if (wanted || (left && expected.isEmpty()))
                    return last;
            }
        }
        QThread::msleep(100);
    }
    return last;
}

QString shown(const std::optional<QString> &version)
{
    return version && !version->isEmpty() ? *version : QStringLiteral("(not read)");
}

} // namespace

int run(const CommandLine::Parsed &line, QTextStream &out, QTextStream &err, Control_Single &camera)
{
    Context c{out, err, camera};
    c.verbose = line.verbose;
    const auto mistake = [&c](const QString &text) { return c.say(Mistake, text); };
    if (line.arguments.size() != 2)
        return mistake(QStringLiteral("flash takes a camera and an image (lumidesk-cli flash --help)"));
    bool ok = true;
    if (line.options.contains(QStringLiteral("timeout"))) {
        const double seconds = line.options.value(QStringLiteral("timeout")).toDouble(&ok);
        if (!ok || seconds <= 0)
            return mistake(QStringLiteral("--timeout takes a number of seconds above 0, not \"%1\"")
                               .arg(line.options.value(QStringLiteral("timeout"))));
        c.timeoutMs = int(seconds * 1000);
    }
    int port = 0;
    if (line.options.contains(QStringLiteral("port"))) {
        port = line.options.value(QStringLiteral("port")).toInt(&ok);
        if (!ok || port < 1 || port > 65535)
            return mistake(QStringLiteral("--port takes a UDP port 1-65535, not \"%1\"")
                               .arg(line.options.value(QStringLiteral("port"))));
    }

    // Nothing is sent before the image is known to be there and readable.
    const QFileInfo image(line.arguments[1]);
    QFile imageFile(image.absoluteFilePath());
    if (!image.isFile() || !imageFile.open(QIODevice::ReadOnly))
        return mistake(QStringLiteral("cannot read the image \"%1\"").arg(line.arguments[1]));
    const QString expected = imageVersion(imageFile.read(32));
    imageFile.close();

    const Cameras::Opened opened = Cameras::open(camera, line.arguments[0]);
    if (!opened.entry)
        return c.say(opened.notAttached ? Mistake : Failed, opened.error);
    const Cameras::Entry entry = *opened.entry;
    struct Closer
    {
        Control_Single &camera;
        bool open = true;
        ~Closer()
        {
            if (open)
                (void)camera.shutdownORB();
        }
    } closer{camera};

    const int32_t model = entry.deviceType;
    std::unique_ptr<UpgradeLibrary> library;
    QString loader;
    if (model == Alta) {
        const QString flashType = LoaderFiles::flashType(CameraIdentity::flashType(camera));
        loader = line.options.value(QStringLiteral("loader"));
        if (loader.isEmpty())
            if (loader.isEmpty()) {
                const QString name =
                    LoaderFiles::firstContaining(image.absolutePath(), QStringLiteral("*.bin"), flashType);
                if (!name.isEmpty())
                    loader = image.absoluteDir().filePath(name);
            }
        if (loader.isEmpty())
            return mistake(QStringLiteral("no boot loader: no *.bin beside the image names the camera's flash type "
                                          "(%1); give one with --loader")
                               .arg(flashType));
        if (!QFileInfo(loader).isFile() || !QFileInfo(loader).isReadable())
            return mistake(QStringLiteral("cannot read the boot loader \"%1\"").arg(loader));
        // The camera is only handed to its loader once the library is there to flash it.
        const QString libraryPath = AppPaths::installFilePath(QStringLiteral("Upgrade/libRKUpgrade.so"));
        library = UpgradeLibrary::load(libraryPath);
        if (!library)
            return c.say(Failed, QStringLiteral("RKUpgrade did not be loaded! (%1)").arg(libraryPath));
        const QString logDir = AppPaths::filePath(QStringLiteral("Upgrade/Log/"));
        QDir().mkpath(logDir);
        if (!library->initialize(logDir))
            return c.say(Failed, QStringLiteral("Loader did not initialize!"));
        // The loader's worker flashes the first device it finds: with another one waiting, that
        // could be the wrong camera.
        if (loaderDeviceWaiting(*library))
            return c.say(Failed, QStringLiteral("another camera is already waiting in its USB loader; it would be "
                                                "flashed instead, so this one is not handed over"));
        c.out << "flash type " << flashType << ", boot loader " << loader << "\n";
    } else if (model != Brio && model != Dune && model != Eske) {
        return mistake(QStringLiteral("a %1 is not upgraded from this program").arg(entry.model));
    }

    InterruptCatcher catcher;
    ProgressBar bar(err);
    Outcome outcome = Outcome::Failed;
    if (model == Brio)
        outcome = sdkUpgrade(c, image.absoluteFilePath(), bar);
    else if (model == Alta)
        outcome = loaderUpgrade(c, image.absoluteFilePath(), loader, *library, bar);
    else
        outcome = tftpUpgrade(c, image, port, bar);
    bar.finish();
    (void)camera.shutdownORB();
    closer.open = false;

    switch (outcome) {
    case Outcome::Interrupted:
        c.say(Interrupted, model == Brio   ? QStringLiteral("interrupted; the upgrade that was started goes on in the "
                                                              "camera, which restarts by itself")
                           : model == Alta ? QStringLiteral("interrupted before the firmware was written; the camera "
                                                            "is in its USB loader and can be flashed again")
                                           : QStringLiteral("interrupted; the transfer was stopped and the camera "
                                                            "keeps its firmware"));
        return Interrupted;
    case Outcome::TimedOut:
        c.say(Failed, QStringLiteral("nothing happened for %1 s; given up").arg(c.timeoutMs / 1000.0));
        break;
    case Outcome::Failed:
        if (model == Alta)
            c.say(Failed, QStringLiteral("Failed: the camera is left in its USB loader and can be flashed again; a "
                                         "power cycle brings it back with the firmware it had"));
        break;
    case Outcome::Refused:
    case Outcome::Done:
        break;
    }
    // A Brio restarts after a failed install too; an Alta that failed stays in its loader.
    const bool restarts = outcome == Outcome::Done || (model == Brio && outcome == Outcome::Failed);
    const bool inLoader = model == Alta && outcome != Outcome::Done && outcome != Outcome::Refused;
    bool interrupted = false;
    std::optional<QString> now;
    if (restarts) {
        c.err << "lumidesk-cli: waiting for the camera to restart\n";
        c.err.flush();
        now = awaitReturn(c, entry, outcome == Outcome::Done ? expected : QString(), interrupted);
    } else if (!inLoader) {
        const Cameras::Opened again = Cameras::open(camera, entry.uri);
        if (again.entry) {
            now = again.entry->firmware;
            (void)camera.shutdownORB();
        }
    }
    c.out << "FWver: " << shown(entry.firmware) << " -> "
          << (inLoader ? QStringLiteral("(in its USB loader)")
              : now    ? shown(now)
                       : QStringLiteral("(not back)"))
          << "\n";
    c.out.flush();
    if (interrupted)
        return c.say(Interrupted, QStringLiteral("interrupted while waiting; the image was sent and the camera "
                                                 "restarts by itself"));
    if (outcome != Outcome::Done)
        return Failed;
    const bool upgraded = now && (expected.isEmpty() ? now != entry.firmware : now == expected);
    if (!upgraded)
        return c.say(Failed,
                     now ? QStringLiteral("the camera came back without the image's version")
                         : QStringLiteral("the camera did not come back within %1 s").arg(c.timeoutMs / 1000.0));
    return Success;
}

} // namespace FlashCommand
