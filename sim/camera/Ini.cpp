#include "Ini.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace sim {

std::string toLower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string trim(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> splitList(const std::string &text)
{
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (c == ',' || std::isspace(static_cast<unsigned char>(c))) {
            if (!current.empty())
                parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        parts.push_back(current);
    return parts;
}

const IniEntry *IniSection::find(const std::string &key) const
{
    const std::string wanted = toLower(key);
    // The last assignment wins, as a user editing the file would expect.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (it->key == wanted)
            return &*it;
    return nullptr;
}

static std::string stripComment(const std::string &line)
{
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == ';' || c == '#') && (i == 0 || std::isspace(static_cast<unsigned char>(line[i - 1]))))
            return line.substr(0, i);
    }
    return line;
}

IniFile IniFile::parse(const std::string &text)
{
    IniFile file;
    file.sections.push_back(IniSection{});
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    while (std::getline(in, raw)) {
        ++lineNo;
        if (lineNo == 1 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0)
            raw.erase(0, 3);
        const std::string line = trim(stripComment(raw));
        if (line.empty())
            continue;
        if (line.front() == '[') {
            if (line.back() != ']') {
                if (file.error.empty())
                    file.error = "line " + std::to_string(lineNo) + ": section header without ']'";
                continue;
            }
            file.sections.push_back(IniSection{trim(line.substr(1, line.size() - 2)), lineNo, {}});
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos || trim(line.substr(0, eq)).empty()) {
            if (file.error.empty())
                file.error = "line " + std::to_string(lineNo) + ": expected 'key = value'";
            continue;
        }
        std::string value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        file.sections.back().entries.push_back(IniEntry{toLower(trim(line.substr(0, eq))), value, lineNo});
    }
    return file;
}

} // namespace sim
