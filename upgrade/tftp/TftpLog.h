#pragma once

#include <string>

#include <cstdio>

// The server's log lines go to standard output unless told otherwise. Lines are whole even
// when several transfers write at once.
namespace tftp {

// Where the lines go from now on; null drops them (a program whose standard output is its
// answer). Set before a server starts.
void setLogStream(std::FILE *stream);

void logf(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Writes without flushing: a line per 512-byte block would otherwise cost a write each.
void logQuiet(const char *line);
void logFlush();
// Text that came off the network, with control characters replaced, fit for a log line.
std::string printable(std::string text);

} // namespace tftp
