#include "sim/camera/Ini.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

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

namespace {

std::string stripComment(const std::string &line)
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

// Why the raw line is no text, or empty: control bytes other than tab, or bytes that are no
// well-formed UTF-8 (overlong forms and surrogates included).
std::string notText(const std::string &line)
{
    const auto *s = reinterpret_cast<const unsigned char *>(line.data());
    const size_t n = line.size();
    for (size_t i = 0; i < n;) {
        const unsigned c = s[i];
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            char why[64];
            std::snprintf(why, sizeof why, "binary data (byte 0x%02X), not INI text", c);
            return why;
        }
        if (c < 0x80) {
            ++i;
            continue;
        }
        const size_t len = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (len == 0 || i + len > n)
            return "not UTF-8 text";
        for (size_t k = 1; k < len; ++k)
            if ((s[i + k] & 0xC0) != 0x80)
                return "not UTF-8 text";
        const unsigned c1 = s[i + 1];
        if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90) ||
            (c == 0xF4 && c1 > 0x8F))
            return "not UTF-8 text";
        i += len;
    }
    return {};
}

bool keyCharacter(char c)
{
    // ASCII only, whatever the program's locale says.
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool sectionCharacter(char c)
{
    return keyCharacter(c) || c == '.' || c == '-';
}

} // namespace

IniFile IniFile::parse(const std::string &text)
{
    IniFile file;
    file.sections.push_back(IniSection{});
    auto fail = [&file](int line, const std::string &why) {
        if (file.error.empty()) {
            file.errorLine = line;
            file.error = why;
        }
    };
    size_t at = 0;
    int lineNo = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string raw = text.substr(at, end - at);
        at = end + 1;
        ++lineNo;
        if (lineNo == 1 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0)
            raw.erase(0, 3);
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        if (const std::string why = notText(raw); !why.empty()) {
            fail(lineNo, why);
            continue;
        }
        const std::string line = trim(stripComment(raw));
        if (line.empty())
            continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            if (close == std::string::npos) {
                fail(lineNo, "section header without ']'");
                continue;
            }
            if (close + 1 != line.size()) {
                fail(lineNo, "text after the section header: '" + line.substr(close + 1) + "'");
                continue;
            }
            const std::string name = trim(line.substr(1, close - 1));
            if (name.empty()) {
                fail(lineNo, "section header without a name");
                continue;
            }
            if (!std::all_of(name.begin(), name.end(), sectionCharacter)) {
                fail(lineNo, "section name '" + name + "': only letters, digits, '_', '.' and '-'");
                continue;
            }
            file.sections.push_back(IniSection{name, lineNo, {}});
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            fail(lineNo, "expected 'key = value'");
            continue;
        }
        const std::string name = trim(line.substr(0, eq));
        if (name.empty()) {
            fail(lineNo, "no key before '='");
            continue;
        }
        if (!std::all_of(name.begin(), name.end(), keyCharacter)) {
            const bool blank = name.find_first_of(" \t") != std::string::npos;
            fail(lineNo, "key '" + name + (blank ? "' has a blank in it" : "': only letters, digits and '_'"));
            continue;
        }
        std::string value = trim(line.substr(eq + 1));
        if (!value.empty() && value.front() == '"') {
            const auto closing = value.find('"', 1);
            if (closing == std::string::npos) {
                fail(lineNo, name + ": no closing '\"'");
                continue;
            }
            if (closing + 1 != value.size()) {
                fail(lineNo, name + ": text after the closing '\"': '" + trim(value.substr(closing + 1)) + "'");
                continue;
            }
            value = value.substr(1, closing - 1);
        }
        if (trim(value).empty()) {
            // Kept for lenient readers; a configuration refuses it.
            fail(lineNo, name + ": no value");
        }
        file.sections.back().entries.push_back(IniEntry{toLower(name), name, value, lineNo});
    }
    return file;
}

} // namespace sim
