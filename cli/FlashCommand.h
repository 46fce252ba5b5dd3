#pragma once

#include "cli/CommandLine.h"

class Control_Single;
class QTextStream;

// lumidesk-cli flash: a firmware image onto a camera by the path its model takes (the SDK
// upgrade, TFTP with the built-in server, the USB loader), then waiting for the camera to
// come back and comparing its version. Returns the exit status.
namespace FlashCommand {

int run(const CommandLine::Parsed &line, QTextStream &out, QTextStream &err, Control_Single &camera);

} // namespace FlashCommand
