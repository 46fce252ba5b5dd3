// lumidesk-cli: the camera tasks of Lumidesk from a shell or a script, without widgets.
#include "camera/Control_Single.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

namespace {

bool verbose = false;

// The camera code logs each failed call for the program's log; here that is noise unless asked.
void messages(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (verbose || type >= QtWarningMsg)
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(messages);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumidesk-cli"));

    QFile outFile, errFile;
    outFile.open(stdout, QIODevice::WriteOnly); // binary: the report's CR LF go out as they are
    errFile.open(stderr, QIODevice::WriteOnly);
    QTextStream out(&outFile), err(&errFile);
    out.setCodec("UTF-8");
    err.setCodec("UTF-8");

    const CommandLine::Parsed line = CommandLine::parse(app.arguments().mid(1));
    verbose = line.verbose;
    if (!line.error.isEmpty()) {
        err << "lumidesk-cli: " << line.error << "\n"
            << "Try lumidesk-cli --help\n";
        return Commands::Mistake;
    }
    if (line.command.isEmpty() || line.command == QLatin1String("help") || line.help) {
        const QString topic = line.command == QLatin1String("help") ? line.arguments.value(0) : line.command;
        const QString text = CommandLine::helpText(topic);
        if (text.isEmpty()) {
            err << "lumidesk-cli: no command \"" << topic << "\"\n";
            return Commands::Mistake;
        }
        // Without a command the help is a reminder of a mistake, not an answer.
        if (line.command.isEmpty() && !line.help) {
            err << text;
            return Commands::Mistake;
        }
        out << text;
        return Commands::Success;
    }

    Control_Single *camera = Control_Single::getInstance();
    const SdkStatus started = camera->initializeSDK();
    if (started != LX2_OK) {
        err << "lumidesk-cli: the camera library did not start (status " << started << ")\n";
        return Commands::Failed;
    }
    const int exit = Commands::run(line, out, err);
    out.flush();
    err.flush();
    (void)camera->shutdownSDK();
    return exit;
}
