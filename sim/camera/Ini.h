#pragma once

#include <string>
#include <vector>

namespace sim {

// A small INI reader: [sections], key = value lines, ';' or '#' comments (also after a value
// when preceded by white space). Keys compare case-insensitively; sections keep file order.
struct IniEntry {
    std::string key; // lower case
    std::string value;
    int line = 0;
};

struct IniSection {
    std::string name; // as written
    int line = 0;
    std::vector<IniEntry> entries;

    const IniEntry *find(const std::string &key) const;
};

struct IniFile {
    std::vector<IniSection> sections; // sections[0] holds keys before the first header (name "")
    std::string error;                // first syntax error, with its line number

    static IniFile parse(const std::string &text);
};

std::string toLower(std::string text);
std::string trim(const std::string &text);
std::vector<std::string> splitList(const std::string &text); // at ',' and white space

} // namespace sim
