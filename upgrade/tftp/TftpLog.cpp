#include "TftpLog.h"

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

} // namespace tftp
