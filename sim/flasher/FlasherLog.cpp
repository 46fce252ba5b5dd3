#include "sim/flasher/FlasherLog.h"

#include <cstdio>
#include <ctime>

namespace sim {

void FlasherLog::open(const std::string &folder)
{
    path = folder.empty() ? std::string() : folder + (folder.back() == '/' ? "" : "/") + "quillon_flasher.log";
}

// A handful of lines per upgrade: the file is opened for each.
void FlasherLog::note(const std::string &line)
{
    if (path.empty())
        return;
    std::FILE *f = std::fopen(path.c_str(), "ae");
    if (!f)
        return;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = "";
    if (localtime_r(&now, &local))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::fprintf(f, "%s %s\n", stamp, line.c_str());
    std::fclose(f);
}

void FlasherLog::say(const std::string &line)
{
    std::fprintf(stderr, "quillon_flasher: %s\n", line.c_str());
    note(line);
}

} // namespace sim
