#include "sim/camera/LoaderState.h"

#include "sim/camera/ConfigValues.h"
#include "sim/camera/Ini.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
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

// Written whole to a temporary file and renamed over the old one: readers never see half a file.
bool writeAnnouncement(const std::string &path, const std::string &state, const Announcement &a)
{
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << "[loader]\n"
            << "state = " << state << "\n"
            << "serial = " << a.serial << "\n"
            << "model = " << a.model << "\n"
            << "uri = " << a.uri << "\n"
            << "firmware = " << a.firmware << "\n"
            << "flashType = " << a.flashType << "\n";
        if (!out)
            return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

// An announcement is a few lines; anything larger is not one.
bool readAnnouncement(const std::string &path, IniFile &ini)
{
    std::ifstream in(path);
    if (!in)
        return false;
    std::string text(4096, '\0');
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(in.gcount()));
    if (!in.eof())
        return false;
    ini = IniFile::parse(text);
    return true;
}

std::string value(const IniSection &s, const char *key)
{
    const IniEntry *e = s.find(key);
    return e ? e->value : std::string();
}

bool printableVersion(const std::string &version)
{
    return !version.empty() &&
           std::all_of(version.begin(), version.end(), [](char c) { return c >= 0x20 && c <= 0x7e && c != '"'; });
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
    Announcement a;
    a.serial = d.serial;
    a.model = d.model->name;
    a.uri = d.uri;
    a.firmware = firmware;
    a.flashType = d.flashType;
    return writeAnnouncement(announcement(d.serial), "loader", a);
}

Status poll(const std::string &serial, std::string &newFirmware)
{
    const std::string path = announcement(serial);
    IniFile ini;
    if (!readAnnouncement(path, ini))
        return access(path.c_str(), F_OK) == 0 ? Status::InLoader : Status::Absent;
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

std::vector<Announcement> inLoader()
{
    std::vector<Announcement> found;
    const std::string dir = folder() + "/loader";
    DIR *listing = opendir(dir.c_str());
    if (!listing)
        return found;
    const std::string suffix = ".ini";
    while (const dirent *entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        Announcement a;
        a.path = dir + "/" + name;
        struct stat info
        {
        };
        IniFile ini;
        if (stat(a.path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || !readAnnouncement(a.path, ini))
            continue;
        for (const IniSection &s : ini.sections) {
            if (toLower(value(s, "state")) != "loader")
                continue;
            a.serial = value(s, "serial");
            a.model = value(s, "model");
            a.uri = value(s, "uri");
            a.firmware = value(s, "firmware");
            a.flashType = toLower(value(s, "flashtype"));
            a.inode = uint64_t(info.st_ino);
            a.changedNs = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
            // The serial number names the camera's files: the announcement must be its own.
            if (plainSerial(a.serial) && name == a.serial + suffix)
                found.push_back(a);
            break;
        }
    }
    closedir(listing);
    std::sort(found.begin(), found.end(),
              [](const Announcement &x, const Announcement &y) { return x.serial < y.serial; });
    return found;
}

bool sendBack(const Announcement &camera, const std::string &firmware)
{
    if (!printableVersion(firmware))
        return false;
    Announcement done = camera;
    done.firmware = "\"" + firmware + "\"";
    return writeAnnouncement(camera.path, "done", done);
}

} // namespace sim::LoaderState
