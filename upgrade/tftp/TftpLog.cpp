#include "upgrade/tftp/TftpLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace tftp {

namespace {

std::atomic<std::FILE *> logStream{stdout};

} // namespace

void setLogStream(std::FILE *stream)
{
    logStream = stream;
}

void logf(const char *format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (std::FILE *stream = logStream) {
        std::fputs(line, stream); // one locked call per line
        std::fflush(stream);
    }
}

void logQuiet(const char *line)
{
    if (std::FILE *stream = logStream)
        std::fputs(line, stream);
}

void logFlush()
{
    if (std::FILE *stream = logStream)
        std::fflush(stream);
}

std::string printable(std::string text)
{
    for (char &c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return text;
}

} // namespace tftp
