#pragma once

#include <string>

namespace sim {

// Where the virtual loader device says what it did: the log folder the program named at
// initialisation (quillon_flasher.log), and standard error for outcomes and failures.
class FlasherLog
{
public:
    void open(const std::string &folder); // empty: no log file
    void close() { path.clear(); }
    void note(const std::string &line); // the log file only
    void say(const std::string &line);  // the log file and standard error

private:
    std::string path;
};

} // namespace sim
