#include "sim/camera/Flash.h"

#include "sim/camera/ConfigValues.h"
#include "sim/camera/Ini.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace sim {

namespace {

// A flash file holds a few kilobytes; anything far larger is something else.
constexpr off_t maxFlashSize = 1 << 20;
// The longest record a camera takes (the upgrade hand-over text is not kept).
constexpr long long maxRecordBytes = 4096;

// "<count>: hh hh ..."; false for anything else, so that a damaged line is never half used.
bool parseRecord(const std::string &value, Flash::Bytes &out)
{
    const std::vector<std::string> parts = splitList(value);
    long long count = 0;
    if (parts.empty() || parts[0].size() < 2 || parts[0].back() != ':' ||
        !parseWhole(parts[0].substr(0, parts[0].size() - 1), 0, maxRecordBytes, count) ||
        parts.size() != size_t(count) + 1)
        return false;
    out.clear();
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string &p = parts[i];
        if (p.size() != 2 || !std::isxdigit(static_cast<unsigned char>(p[0])) ||
            !std::isxdigit(static_cast<unsigned char>(p[1])))
            return false;
        out.push_back(uint8_t(std::stoi(p, nullptr, 16)));
    }
    return true;
}

// Slots are an 8-digit property id, then selectors: "f0000004_2", "f0000002_1_0".
bool plainSlot(const std::string &key)
{
    if (key.size() < 8)
        return false;
    return std::all_of(key.begin(), key.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == '_'; });
}

bool makeFolder(const std::string &path)
{
    struct stat info
    {
    };
    if (mkdir(path.c_str(), 0777) == 0)
        return true;
    const int error = errno;
    if (error == EEXIST && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return true;
    errno = error == EEXIST ? ENOTDIR : error;
    return false;
}

bool writeAll(int fd, const std::string &text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

} // namespace

Flash::Flash(const std::string &stateFolder, const std::string &serial)
    : m_folder(stateFolder)
    , m_serial(serial)
    , m_path(stateFolder + "/flash/" + serial + ".ini")
{}

void Flash::warn(const std::string &why, int line) const
{
    const std::string where = line > 0 ? m_path + ":" + std::to_string(line) : m_path;
    std::fprintf(stderr, "quillon_api: %s: %s\n", where.c_str(), why.c_str());
}

Flash::Contents Flash::read() const
{
    Contents contents;
    if (m_path.empty())
        return contents;
    const std::string factory = "; the camera starts with its factory values";
    struct stat info
    {
    };
    if (stat(m_path.c_str(), &info) != 0) {
        if (errno != ENOENT)
            warn(std::string("cannot be read: ") + std::strerror(errno) + factory);
        return contents;
    }
    if (!S_ISREG(info.st_mode) || info.st_size > maxFlashSize) {
        warn((S_ISREG(info.st_mode) ? "larger than 1 MiB, not a flash file" : "not a regular file") + factory);
        return contents;
    }
    std::string text;
    std::FILE *f = std::fopen(m_path.c_str(), "rb");
    if (!f) {
        warn(std::string("cannot be read: ") + std::strerror(errno) + factory);
        return contents;
    }
    char buf[16384];
    size_t n = 0;
    while (text.size() <= size_t(maxFlashSize) && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed || text.size() > size_t(maxFlashSize)) {
        warn(std::string(failed ? "cannot be read" : "larger than 1 MiB, not a flash file") + factory);
        return contents;
    }

    const IniFile ini = IniFile::parse(text);
    // Written at once, so a file without its last section is damaged, not merely old.
    if (ini.sections.size() < 2 || toLower(ini.sections.back().name) != "end") {
        warn("cut short (no [end] section)" + factory);
        return contents;
    }
    const IniSection *head = nullptr;
    for (const IniSection &s : ini.sections)
        if (toLower(s.name) == "flash")
            head = &s;
    const IniEntry *serial = head ? head->find("serial") : nullptr;
    if (!serial || serial->value != m_serial) {
        warn((serial ? "holds the flash of camera " + serial->value : std::string("no serial number")) + factory);
        return contents;
    }

    std::vector<std::pair<int, std::string>> problems;
    if (!ini.error.empty())
        problems.emplace_back(ini.errorLine, ini.error);
    for (const IniSection &s : ini.sections) {
        const std::string section = toLower(s.name);
        for (const IniEntry &e : s.entries) {
            if (section == "properties") {
                Bytes bytes;
                if (plainSlot(e.key) && parseRecord(e.value, bytes))
                    contents.records[e.key] = Record{std::move(bytes), e.line};
                else
                    problems.emplace_back(e.line, e.name + ": expected '<count>: <hex bytes>'");
            } else if (section == "registers") {
                long long address = 0, value = 0;
                if (parseWhole(e.key, 0, 0xFFFF, address) && parseWhole(e.value, 0, 0xFFFF, value))
                    contents.registers[uint16_t(address)] = Register{uint16_t(value), e.line};
                else
                    problems.emplace_back(e.line, e.name + ": expected '<address> = <value>', 16-bit each");
            } else if (section == "flash" && e.key == "firmware") {
                Bytes bytes;
                if (parseRecord(e.value, bytes))
                    contents.firmware = Record{std::move(bytes), e.line};
                else
                    problems.emplace_back(e.line, e.name + ": expected '<count>: <hex bytes>'");
            } else if (!(section == "flash" && e.key == "serial")) {
                problems.emplace_back(e.line, e.name + ": not a flash entry");
            }
        }
    }
    if (!problems.empty()) {
        std::sort(problems.begin(), problems.end());
        const auto &[line, why] = problems.front();
        std::string more;
        if (problems.size() > 1)
            more = " (and " + std::to_string(problems.size() - 1) + " more)";
        warn(why + "; ignored" + more, line);
    }
    return contents;
}

void Flash::erase()
{
    m_kept = Contents{};
    if (!m_path.empty() && std::remove(m_path.c_str()) != 0 && errno != ENOENT)
        warn(std::string("cannot be removed: ") + std::strerror(errno));
}

void Flash::save()
{
    if (m_path.empty())
        return;
    std::string text = "; What the virtual camera " + m_serial +
                       " was given. Removing this file, or factoryReset = yes, brings back its factory values.\n"
                       "[flash]\nserial = " +
                       m_serial + "\n";
    // Bytes as written, whatever they are: a version from an image may hold any byte.
    const auto bytesOf = [](const Bytes &bytes) {
        std::string out = std::to_string(bytes.size()) + ":";
        char hex[8];
        for (uint8_t b : bytes) {
            std::snprintf(hex, sizeof hex, " %02x", b);
            out += hex;
        }
        return out;
    };
    if (!m_kept.firmware.bytes.empty())
        text += "firmware = " + bytesOf(m_kept.firmware.bytes) + "\n";
    text += "\n[properties]\n";
    for (const auto &[slot, record] : m_kept.records)
        text += slot + " = " + bytesOf(record.bytes) + "\n";
    text += "\n[registers]\n";
    char line[32];
    for (const auto &[address, reg] : m_kept.registers) {
        std::snprintf(line, sizeof line, "0x%04x = 0x%04x\n", address, reg.value);
        text += line;
    }
    text += "\n[end]\n";

    const std::string folder = m_folder + "/flash";
    std::string temp = folder + "/." + m_serial + ".ini.XXXXXX";
    int fd = -1;
    bool stored = makeFolder(m_folder) && makeFolder(folder) && (fd = mkstemp(temp.data())) >= 0;
    if (stored) {
        stored = writeAll(fd, text);
        stored = ::close(fd) == 0 && stored;
        stored = stored && std::rename(temp.c_str(), m_path.c_str()) == 0;
        const int error = errno;
        if (!stored)
            ::unlink(temp.c_str());
        errno = error;
    }
    if (stored) {
        m_warned = false;
    } else if (!m_warned) {
        m_warned = true;
        warn(std::string("cannot be written: ") + std::strerror(errno) +
             "; the camera keeps what it was given until the SDK shuts down");
    }
}

} // namespace sim
