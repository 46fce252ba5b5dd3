#include "sim/camera/LoaderState.h"

#include "sim/camera/Ini.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace sim::LoaderState {

namespace {

std::string announcement(const std::string &serial)
{
    return folder() + "/loader/" + serial + ".ini";
}

bool makeFolders(const std::string &path)
{
    std::string partial;
    std::stringstream in(path);
    std::string level;
    if (!path.empty() && path[0] == '/')
        partial = "/";
    while (std::getline(in, level, '/')) {
        if (level.empty())
            continue;
        partial += level + "/";
        if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

} // namespace

std::string folder()
{
    if (const char *env = std::getenv("QUILLON_SIM_STATE"); env && *env)
        return env;
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    return std::string(runtime && *runtime ? runtime : "/tmp") + "/quillon-sim-" + std::to_string(getuid());
}

bool announce(const DeviceConfig &d, const std::string &firmware)
{
    if (!makeFolders(folder() + "/loader"))
        return false;
    const std::string path = announcement(d.serial);
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << "[loader]\n"
            << "state = loader\n"
            << "serial = " << d.serial << "\n"
            << "model = " << d.model->name << "\n"
            << "uri = " << d.uri << "\n"
            << "firmware = " << firmware << "\n"
            << "flashType = " << d.flashType << "\n";
        if (!out)
            return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0; // readers never see half a file
}

Status poll(const std::string &serial, std::string &newFirmware)
{
    const std::string path = announcement(serial);
    std::ifstream in(path);
    if (!in)
        return Status::Absent;
    std::ostringstream text;
    text << in.rdbuf();
    const IniFile ini = IniFile::parse(text.str());
    for (const IniSection &s : ini.sections) {
        const IniEntry *state = s.find("state");
        if (!state || toLower(state->value) != "done")
            continue;
        const IniEntry *fw = s.find("firmware");
        newFirmware = fw ? fw->value : std::string();
        std::remove(path.c_str());
        return Status::Done;
    }
    return Status::InLoader;
}

} // namespace sim::LoaderState
