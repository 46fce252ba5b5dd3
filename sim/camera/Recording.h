#pragma once

#include "camera/sdk/quillon_types.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// A folder of frame sets as the program's image saving writes them: one sub-folder per kind
// (depth, ir, rgb, wdrdepth, mappedrgb, mappeddepth, mappedir), each file named by its set's
// number (00000001.png, colour 00000001.jpg). A set is every file of one number; sets may hold
// different kinds, as when depth comes at half the colour rate.
class Recording
{
public:
    struct Set
    {
        uint32_t number = 0;
        uint32_t flags = 0;                // FrameReadyFlags of the kinds it holds
        std::array<std::string, 10> files; // by FrameKind
    };

    // Reads the folder's listing. A Brio saves its registered depth and IR in the depth and ir
    // folders, so for that model they are read back as those kinds. False when the folder
    // holds no frame set.
    static bool scan(const std::string &folder, bool brio, Recording &out);
    // A relative folder of the configuration starts at the configuration's own folder.
    static std::string resolve(const std::string &folder, const std::string &configFolder);

    const std::vector<Set> &sets() const { return list; }
    // Frame sets per second as recorded, from the files' times; 0 when they do not tell (a
    // single set, or a copy that gave every file the same time).
    double recordedRate() const { return rate; }

private:
    std::vector<Set> list; // by number
    double rate = 0;
};

} // namespace sim
