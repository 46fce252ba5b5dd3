#include "sim/camera/Recording.h"

#include "sim/camera/Renderer.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <map>
#include <sys/stat.h>

namespace sim {

namespace {

constexpr int noKind = -1;

struct Folder
{
    const char *name;
    const char *extension;
    int kind;
    int brioKind; // noKind: not read for a Brio
};

// The saver's folders and file formats. A Brio's mapped images go to the plain folders.
constexpr Folder folders[] = {
    {"depth", ".png", DepthFrame, MappedDepthFrame},
    {"ir", ".png", IRFrame, MappedIRFrame},
    {"rgb", ".jpg", RGBFrame, RGBFrame},
    {"wdrdepth", ".png", WDRDepthFrame, noKind},
    {"mappedrgb", ".png", MappedRGBFrame, MappedRGBFrame},
    {"mappeddepth", ".png", MappedDepthFrame, noKind},
    {"mappedir", ".png", MappedIRFrame, noKind},
};

// "00000001.png": eight digits and the kind's extension, nothing else.
bool numberOf(const char *name, const char *extension, uint32_t &number)
{
    if (std::strlen(name) != 8 + std::strlen(extension) || std::strcmp(name + 8, extension) != 0)
        return false;
    number = 0;
    for (int i = 0; i < 8; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
        number = number * 10 + uint32_t(name[i] - '0');
    }
    return true;
}

double modified(const std::string &path)
{
    struct stat info
    {
    };
    if (stat(path.c_str(), &info) != 0)
        return -1;
    return double(info.st_mtim.tv_sec) + info.st_mtim.tv_nsec / 1e9;
}

// A set's files are written one after another within its cycle: the first tells its time.
double timeOf(const Recording::Set &set)
{
    double earliest = -1;
    for (const std::string &file : set.files)
        if (!file.empty())
            if (const double t = modified(file); t >= 0 && (earliest < 0 || t < earliest))
                earliest = t;
    return earliest;
}

// Only rates a camera can have; anything else is a copied or touched folder.
double rateOf(const std::vector<Recording::Set> &sets)
{
    if (sets.size() < 2)
        return 0;
    double previous = -1, first = -1;
    for (const Recording::Set &set : sets) {
        const double t = timeOf(set);
        if (t < 0 || t < previous)
            return 0;
        if (first < 0)
            first = t;
        previous = t;
    }
    const double span = previous - first;
    if (span <= 0)
        return 0;
    const double rate = double(sets.size() - 1) / span;
    return rate >= 1 && rate <= 60 ? rate : 0;
}

} // namespace

bool Recording::scan(const std::string &folder, bool brio, Recording &out)
{
    std::map<uint32_t, Set> found;
    for (const Folder &f : folders) {
        const int kind = brio ? f.brioKind : f.kind;
        if (kind == noKind)
            continue;
        const std::string dir = folder + "/" + f.name;
        DIR *listing = opendir(dir.c_str());
        if (!listing)
            continue;
        while (const dirent *entry = readdir(listing)) {
            uint32_t number = 0;
            if (!numberOf(entry->d_name, f.extension, number))
                continue;
            Set &set = found[number];
            set.number = number;
            set.flags |= readyBitOf(kind);
            set.files[kind] = dir + "/" + entry->d_name;
        }
        closedir(listing);
    }
    out.list.clear();
    for (auto &entry : found)
        out.list.push_back(std::move(entry.second));
    out.rate = rateOf(out.list);
    return !out.list.empty();
}

std::string Recording::resolve(const std::string &folder, const std::string &configFolder)
{
    if (folder.empty() || folder[0] == '/' || configFolder.empty())
        return folder;
    return configFolder + "/" + folder;
}

} // namespace sim
