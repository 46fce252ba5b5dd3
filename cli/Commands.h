#pragma once

#include "cli/CommandLine.h"

class QTextStream;

// The commands of lumidesk-cli against the camera code; each returns the exit status.
namespace Commands {

enum Exit { Success = 0, Failed = 1, Mistake = 2, Interrupted = 130 };

// Runs a parsed command line (not help, no parse error) with the SDK already started.
int run(const CommandLine::Parsed &line, QTextStream &out, QTextStream &err);

} // namespace Commands
