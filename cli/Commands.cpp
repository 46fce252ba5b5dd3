#include "cli/Commands.h"

#include "camera/CalibrationReport.h"
#include "camera/CameraIdentity.h"
#include "camera/Control_Single.h"
#include "camera/ParamItems.h"
#include "camera/ReportFile.h"
#include "camera/ReportRestore.h"
#include "cli/Cameras.h"
#include "cli/FlashCommand.h"
#include "cli/FrameCapture.h"
#include "cli/InterruptCatcher.h"
#include "cli/ProgressBar.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace Commands {

namespace {

struct Context
{
    const CommandLine::Parsed &line;
    QTextStream &out;
    QTextStream &err;
    Control_Single &camera;

    int mistake(const QString &text) const
    {
        err << "lumidesk-cli: " << text << "\n";
        return Mistake;
    }
    int failed(const QString &text) const
    {
        err << "lumidesk-cli: " << text << "\n";
        return Failed;
    }
    // A selector option 0-2 (the page's combo boxes have three entries).
    std::optional<int> selector(const char *name, QString &error) const
    {
        const QString key = QLatin1String(name);
        if (!line.options.contains(key))
            return 0;
        bool ok = false;
        const int value = line.options.value(key).toInt(&ok);
        if (!ok || value < 0 || value > 2) {
            error = QStringLiteral("--%1 takes 0, 1 or 2, not \"%2\"").arg(key, line.options.value(key));
            return std::nullopt;
        }
        return value;
    }
};

// Closes the camera a command opened, whatever way the command ends.
struct OpenCamera
{
    Control_Single &camera;
    Cameras::Opened opened;
    OpenCamera(Control_Single &c, const QString &name)
        : camera(c)
        , opened(Cameras::open(c, name))
    {}
    ~OpenCamera()
    {
        if (opened.entry)
            (void)camera.shutdownORB();
    }
    OpenCamera(const OpenCamera &) = delete;
    OpenCamera &operator=(const OpenCamera &) = delete;
};

int notOpened(const Context &c, const Cameras::Opened &opened)
{
    return opened.notAttached ? c.mistake(opened.error) : c.failed(opened.error);
}

QString orDash(const std::optional<QString> &text)
{
    return text && !text->isEmpty() ? *text : QStringLiteral("-");
}

QJsonValue orNull(const std::optional<QString> &text)
{
    return text ? QJsonValue(*text) : QJsonValue();
}

int list(const Context &c)
{
    if (!c.line.arguments.isEmpty())
        return c.mistake(QStringLiteral("list takes no arguments"));
    const std::vector<Cameras::Entry> entries = Cameras::list(c.camera);
    if (c.line.options.contains(QStringLiteral("json"))) {
        QJsonArray array;
        for (const Cameras::Entry &e : entries)
            array.append(QJsonObject{{"model", e.model},
                                     {"serial", orNull(e.serial)},
                                     {"address", e.address.isEmpty() ? QJsonValue() : QJsonValue(e.address)},
                                     {"uri", e.uri},
                                     {"firmware", orNull(e.firmware)}});
        c.out << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
        return Success;
    }
    if (entries.empty()) {
        c.err << "lumidesk-cli: no camera is attached\n";
        return Success;
    }
    QList<QStringList> rows{{"MODEL", "SERIAL", "ADDRESS", "URI", "FIRMWARE"}};
    for (const Cameras::Entry &e : entries)
        rows.append({e.model, orDash(e.serial), e.address.isEmpty() ? QStringLiteral("-") : e.address, e.uri,
                     orDash(e.firmware)});
    QVector<int> widths(rows.first().size(), 0);
    for (const QStringList &row : rows)
        for (int i = 0; i < row.size(); ++i)
            widths[i] = qMax(widths[i], row[i].size());
    for (const QStringList &row : rows) {
        QString text;
        for (int i = 0; i < row.size(); ++i)
            text += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        c.out << text << "\n";
    }
    return Success;
}

int info(const Context &c)
{
    if (c.line.arguments.size() != 1)
        return c.mistake(QStringLiteral("info takes one camera (lumidesk-cli info --help)"));
    QString error;
    const std::optional<int> mode = c.selector("mode", error);
    if (!mode)
        return c.mistake(error);
    OpenCamera open(c.camera, c.line.arguments[0]);
    if (!open.opened.entry)
        return notOpened(c, open.opened);
    const Cameras::Entry &e = *open.opened.entry;
    const CalibrationReport::Report report = CalibrationReport::read(c.camera, *mode);
    const auto shown = [](const std::optional<QString> &text) { return text.value_or(QStringLiteral("(not read)")); };
    // The panel's own labels for what it shows of the camera.
    const std::optional<QString> flash = CameraIdentity::flashType(c.camera);
    c.out << "Model: " << e.model << "\n"
          << "URI: " << e.uri << "\n"
          << "SN: " << shown(report.serial) << "\n"
          << "FWver: " << shown(e.firmware) << "\n"
          << "Flash: " << shown(flash) << "\n"
          << "\n"
          << report.text;
    if (!c.line.options.contains(QStringLiteral("save")))
        return Success;
    QString path = c.line.options.value(QStringLiteral("save"));
    if (QFileInfo(path).isDir()) {
        if (!report.serial)
            return c.failed(QStringLiteral("the camera did not say its serial number, so the report has no name"));
        path = QDir(path).filePath(ReportFile::fileNameFor(*report.serial));
    }
    if (!ReportFile::write(path, report.text))
        return c.failed(QStringLiteral("Save failed: ") + path);
    c.err << "lumidesk-cli: report saved to " << path << "\n";
    return Success;
}

int itemIndex(const QString &text)
{
    bool number = false;
    const int index = text.toInt(&number);
    if (number)
        return index >= 0 && index < ParamItems::count ? index : -1;
    return ParamItems::indexOf(text);
}

QString itemList()
{
    QStringList names;
    for (int i = 0; i < ParamItems::count; ++i)
        names << ParamItems::name(i);
    return names.join(QLatin1String(", "));
}

// The page's verdict on a text before any camera is opened.
std::optional<QString> refusalOf(bool writing, int index, const QString &text, const ParamItems::Selectors &selectors)
{
    if (index == ParamItems::RegVal)
        return writing ? ParamItems::registerWrite(text).refusal : ParamItems::registerRead(text).refusal;
    return writing ? ParamItems::build(index, text, selectors).refusal : std::nullopt;
}

// get and set, and the register commands through the page's RegVal item.
int parameter(const Context &c, bool writing, int index, const QString &cameraName, const QStringList &parts)
{
    QString error;
    const std::optional<int> mode = c.selector("mode", error);
    const std::optional<int> range = mode ? c.selector("range", error) : std::nullopt;
    if (!mode || !range)
        return c.mistake(error);
    const QString text = parts.join(QLatin1Char(' '));
    if (writing && !ParamItems::writable(index))
        return c.mistake(QStringLiteral("%1 cannot be written").arg(ParamItems::name(index)));
    if (writing && index != ParamItems::RegVal && parts.isEmpty())
        return c.mistake(QStringLiteral("set needs the values to write (lumidesk-cli set --help)"));
    // The page's "Waring" box, as a line.
    const auto refuse = [&c](const QString &why) {
        c.err << "Waring: " << why << "\n";
        return int(Mistake);
    };
    // The page refuses a bad text before it reaches the camera; so does the command line.
    const std::optional<QString> early = refusalOf(writing, index, text, {*mode, *range, text});
    if (early)
        return refuse(*early);
    OpenCamera open(c.camera, cameraName);
    if (!open.opened.entry)
        return notOpened(c, open.opened);
    const ParamItems::Selectors selectors{*mode, *range, text};
    if (writing) {
        const ParamItems::WriteResult result = ParamItems::write(c.camera, index, text, selectors);
        if (result.refusal)
            return refuse(*result.refusal);
        if (result.failure) {
            c.err << "Warning: " << *result.failure << "\n";
            return Failed;
        }
        return Success;
    }
    const ParamItems::ReadResult result = ParamItems::read(c.camera, index, selectors);
    if (result.refusal)
        return refuse(*result.refusal);
    if (result.status != LX2_OK)
        return c.failed(QStringLiteral("Reading %1 failed: the camera answered %2.")
                            .arg(ParamItems::name(index))
                            .arg(result.status));
    c.out << result.text;
    if (!result.text.endsWith(QLatin1Char('\n')))
        c.out << "\n";
    return Success;
}

int getOrSet(const Context &c, bool writing)
{
    const QStringList &args = c.line.arguments;
    if (args.size() < 2)
        return c.mistake(QStringLiteral("%1 takes a camera and an item (lumidesk-cli %1 --help)").arg(c.line.command));
    const int index = itemIndex(args[1]);
    if (index < 0)
        return c.mistake(QStringLiteral("no item \"%1\"; the items are: %2").arg(args[1], itemList()));
    return parameter(c, writing, index, args[0], args.mid(2));
}

int registers(const Context &c)
{
    const QStringList &args = c.line.arguments;
    if (args.size() < 2 || (args[0] != QLatin1String("read") && args[0] != QLatin1String("write")))
        return c.mistake(QStringLiteral("reg read CAMERA ADDR... or reg write CAMERA ADDR VALUE... "
                                        "(lumidesk-cli reg --help)"));
    return parameter(c, args[0] == QLatin1String("write"), ParamItems::RegVal, args[1], args.mid(2));
}

// The report file named on the command line, parsed.
std::optional<std::vector<CalibrationReport::Section>> loadReport(const Context &c, const QString &path, int &exit)
{
    const ReportFile::Loaded loaded = ReportFile::load(path);
    if (!loaded.text) {
        exit = c.mistake(QStringLiteral("cannot read %1: %2").arg(path, loaded.error));
        return std::nullopt;
    }
    const CalibrationReport::Parsed parsed = CalibrationReport::parse(*loaded.text);
    if (!parsed.error.isEmpty()) {
        exit = c.mistake(QStringLiteral("%1 is not a calibration report: %2").arg(path, parsed.error));
        return std::nullopt;
    }
    return parsed.sections;
}

QString shownBody(const std::optional<QString> &body)
{
    return body.value_or(QStringLiteral("(not read)"));
}

int diffOrRestore(const Context &c, bool restoring)
{
    const QStringList &args = c.line.arguments;
    if (args.size() != 2)
        return c.mistake(
            QStringLiteral("%1 takes a camera and a report file (lumidesk-cli %1 --help)").arg(c.line.command));
    QString error;
    const std::optional<int> mode = c.selector("mode", error);
    if (!mode)
        return c.mistake(error);
    int exit = Success;
    const std::optional<std::vector<CalibrationReport::Section>> report = loadReport(c, args[1], exit);
    if (!report)
        return exit;
    OpenCamera open(c.camera, args[0]);
    if (!open.opened.entry)
        return notOpened(c, open.opened);

    if (!restoring) {
        const std::vector<ReportRestore::Difference> found =
            ReportRestore::differences(*report, CalibrationReport::readSections(c.camera, *mode));
        for (const ReportRestore::Difference &d : found)
            c.out << d.name << "\n  report: " << shownBody(d.report) << "\n  camera: " << shownBody(d.camera) << "\n";
        c.err << "lumidesk-cli: "
              << (found.empty() ? QStringLiteral("the camera matches the report")
                                : QStringLiteral("%1 of %2 items differ").arg(found.size()).arg(report->size()))
              << "\n";
        return found.empty() ? Success : Failed;
    }

    const std::optional<QString> reportSerial = report->front().body;
    const std::optional<QString> cameraSerial = open.opened.entry->serial;
    if (reportSerial && reportSerial != cameraSerial && !c.line.options.contains(QStringLiteral("force")))
        return c.mistake(QStringLiteral("%1 was saved from camera %2, not %3; --force writes it anyway")
                             .arg(args[1], *reportSerial, cameraSerial.value_or(QStringLiteral("(no serial)"))));
    const bool dryRun = c.line.options.contains(QStringLiteral("dry-run"));
    const std::vector<ReportRestore::Outcome> outcomes = ReportRestore::restore(c.camera, *report, *mode, dryRun);
    // Per kind of outcome (Restored, WouldWrite, Skipped, Failed): how it is said, and where.
    static const char *said[] = {"restored ", "would write ", "lumidesk-cli: left ", "lumidesk-cli: failed "};
    int counts[4] = {};
    for (const ReportRestore::Outcome &o : outcomes) {
        ++counts[o.kind];
        const bool trouble = o.kind == ReportRestore::Outcome::Skipped || o.kind == ReportRestore::Outcome::Failed;
        (trouble ? c.err : c.out) << said[o.kind] << o.name << ": " << o.detail << "\n";
    }
    const int written = counts[ReportRestore::Outcome::Restored] + counts[ReportRestore::Outcome::WouldWrite];
    const int skipped = counts[ReportRestore::Outcome::Skipped], failures = counts[ReportRestore::Outcome::Failed];
    if (outcomes.empty())
        c.err << "lumidesk-cli: the camera matches the report; nothing to write\n";
    else if (dryRun)
        c.err << "lumidesk-cli: " << written << " items would be written, " << skipped << " left; nothing written\n";
    else
        c.err << "lumidesk-cli: " << written << " items restored, " << failures << " failed, " << skipped << " left\n";
    return failures == 0 ? Success : Failed;
}

int capture(const Context &c)
{
    if (c.line.arguments.size() != 1)
        return c.mistake(QStringLiteral("capture takes one camera (lumidesk-cli capture --help)"));
    FrameCapture::Settings settings;
    bool ok = false;
    settings.frames = c.line.options.value(QStringLiteral("frames")).toInt(&ok);
    if (!c.line.options.contains(QStringLiteral("frames")))
        return c.mistake(QStringLiteral("capture needs --frames N"));
    if (!ok || settings.frames < 1)
        return c.mistake(QStringLiteral("--frames takes a number of 1 or more, not \"%1\"")
                             .arg(c.line.options.value(QStringLiteral("frames"))));
    settings.out = c.line.options.value(QStringLiteral("out"));
    if (settings.out.isEmpty())
        return c.mistake(QStringLiteral("capture needs --out DIR"));
    settings.ply = c.line.options.contains(QStringLiteral("ply"));
    if (c.line.options.contains(QStringLiteral("kinds"))) {
        FrameKinds kinds;
        QString error;
        if (!FrameCapture::parseKinds(c.line.options.value(QStringLiteral("kinds")), kinds, settings.pointText, error))
            return c.mistake(error);
        if (settings.ply)
            kinds.depth = true;
        settings.kinds = kinds;
    }

    // Before the camera is opened: a folder that cannot take the files is a mistake in the line.
    if (!QDir().mkpath(settings.out) || !QFileInfo(settings.out).isWritable())
        return c.mistake(QStringLiteral("cannot write into the folder \"%1\"").arg(settings.out));

    OpenCamera camera(c.camera, c.line.arguments[0]);
    if (!camera.opened.entry)
        return notOpened(c, camera.opened);
    FrameCapture capture(c.camera, settings);
    capture.enableStreams();
    if (settings.kinds) {
        QString error;
        if (!capture.prepareFolders(*settings.kinds, error))
            return c.mistake(error);
    }

    ProgressBar bar(c.err);
    const int frames = settings.frames;
    const auto progress = [&c, &bar, frames](int read) {
        if (bar.onTerminal()) {
            bar.show(read, frames, QStringLiteral("%1/%2").arg(read).arg(frames));
        } else if (read % 100 == 0 && read != frames) {
            c.err << "captured " << read << " of " << frames << "\n";
            c.err.flush();
        }
    };
    InterruptCatcher catcher;
    const FrameCapture::Result result = capture.run(InterruptCatcher::requested(), progress);
    bar.finish();

    c.out << "read " << result.read << ", written " << result.written << ", dropped " << result.dropped << "\n";
    switch (result.end) {
    case FrameCapture::End::Interrupted:
        c.err << "lumidesk-cli: interrupted; the " << result.written << " sets written are complete\n";
        return Interrupted;
    case FrameCapture::End::CameraLost:
        return c.failed(QStringLiteral("the camera was lost after %1 frame sets (status %2)")
                            .arg(result.read)
                            .arg(result.lostStatus));
    case FrameCapture::End::WriteFailed:
        return c.failed(QStringLiteral("could not write \"%1\"").arg(result.failedPath));
    case FrameCapture::End::Complete:
        break;
    }
    // Kinds asked for that the camera's data mode does not send: the capture is not what was asked.
    if (!result.missing.isEmpty())
        return c.failed(QStringLiteral("no frame of %1 arrived (the camera's data mode or model does not send it)")
                            .arg(result.missing.join(QStringLiteral(", "))));
    if (result.written != frames)
        return c.failed(
            QStringLiteral("%1 of %2 frame sets were not written").arg(frames - result.written).arg(frames));
    return Success;
}

} // namespace

int run(const CommandLine::Parsed &line, QTextStream &out, QTextStream &err)
{
    const Context c{line, out, err, *Control_Single::getInstance()};
    const QString &command = line.command;
    if (command == QLatin1String("list"))
        return list(c);
    if (command == QLatin1String("info"))
        return info(c);
    if (command == QLatin1String("capture"))
        return capture(c);
    if (command == QLatin1String("get") || command == QLatin1String("set"))
        return getOrSet(c, command == QLatin1String("set"));
    if (command == QLatin1String("flash"))
        return FlashCommand::run(line, out, err, c.camera);
    if (command == QLatin1String("reg"))
        return registers(c);
    if (command == QLatin1String("diff") || command == QLatin1String("restore"))
        return diffOrRestore(c, command == QLatin1String("restore"));
    return c.mistake(QStringLiteral("unknown command \"%1\"").arg(command));
}

} // namespace Commands
