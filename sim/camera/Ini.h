#pragma once

#include <string>
#include <vector>

namespace sim {

// A small INI reader: [sections], key = value lines, ';' or '#' comments (also after a value
// when preceded by white space), "quoted" values. Keys compare case-insensitively; sections keep
// file order. Only UTF-8 text is read; a line that breaks the syntax is noted in `error` (the
// first one) and skipped, so a lenient reader can still use the rest.
struct IniEntry
{
    std::string key;  // lower case
    std::string name; // as written, for messages
    std::string value;
    int line = 0;
};

struct IniSection
{
    std::string name; // as written
    int line = 0;
    std::vector<IniEntry> entries;

    const IniEntry *find(const std::string &key) const;
};

struct IniFile
{
    std::vector<IniSection> sections; // sections[0] holds keys before the first header (name "")
    int errorLine = 0;                // the first syntax error: its line and reason
    std::string error;

    static IniFile parse(const std::string &text);
};

std::string toLower(std::string text);
std::string trim(const std::string &text);
std::vector<std::string> splitList(const std::string &text); // at ',' and white space

} // namespace sim
