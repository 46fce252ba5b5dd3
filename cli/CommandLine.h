#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// The command line of lumidesk-cli: the command, its arguments and its options. A word that
// starts with '-' and a digit or '.' is an argument (a negative value), not an option; "--"
// ends the options.
namespace CommandLine {

struct Parsed
{
    QString command;                // empty: none given
    QStringList arguments;          // after the command (for "reg", its "read" or "write" first)
    QMap<QString, QString> options; // long names; a switch maps to an empty value
    bool help = false;
    bool verbose = false;
    QString error; // a mistake in the line itself
};

Parsed parse(const QStringList &words);

// The overall help, or one command's; empty for a command that does not exist.
QString helpText(const QString &command = {});

// Whether the command exists ("help" is not one of them).
bool knownCommand(const QString &command);

} // namespace CommandLine
