#include "upgrade/tftp/TftpLog.h"

#include <cstdarg>
#include <cstdio>

namespace tftp {

void logf(const char *format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fputs(line, stdout); // one locked call per line
    std::fflush(stdout);
}

void logQuiet(const char *line)
{
    std::fputs(line, stdout);
}

void logFlush()
{
    std::fflush(stdout);
}

std::string printable(std::string text)
{
    for (char &c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return text;
}

} // namespace tftp
