#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

// What a camera keeps across power cuts, SDK restarts and program restarts: the records and
// registers written to it and the firmware installed on it, in <state folder>/flash/<serial>.ini. Only what was written
// is kept, so everything else keeps the factory value. Every change rewrites the whole file at once (a temporary file
// renamed over it), so no reader ever sees half of it. Not thread-safe; the owning device guards it.
class Flash
{
public:
    using Bytes = std::vector<uint8_t>;

    struct Record
    {
        Bytes bytes;
        int line = 0;
    };

    struct Register
    {
        uint16_t value = 0;
        int line = 0;
    };

    struct Contents
    {
        std::map<std::string, Record> records; // by slot: "<id as 8 hex digits>[_<selector>...]"
        std::map<uint16_t, Register> registers;
        Record firmware; // the version's bytes; none until an upgrade installed one
    };

    Flash() = default; // nowhere on disk
    Flash(const std::string &stateFolder, const std::string &serial);

    const std::string &path() const { return m_path; }

    // What the file holds. A file that is cut short (no [end] section), larger than 1 MiB or
    // another camera's gives nothing; a line that is no entry is left out. Problems go to
    // standard error.
    Contents read() const;
    // Factory reset: the file goes and nothing is kept.
    void erase();

    // Restoring: kept in memory, as the file already holds it.
    void keepRecord(const std::string &slot, Bytes record) { m_kept.records[slot] = Record{std::move(record), 0}; }
    void keepRegister(uint16_t address, uint16_t value) { m_kept.registers[address] = Register{value, 0}; }
    void keepFirmware(const std::string &version)
    {
        m_kept.firmware = Record{Bytes(version.begin(), version.end()), 0};
    }
    // Writes the kept records and registers. A folder that cannot be written is reported once;
    // the camera still holds the values until the SDK shuts down.
    void save();

    // "quillon_api: <path>[:<line>]: <why>" on standard error.
    void warn(const std::string &why, int line = 0) const;

private:
    std::string m_folder, m_serial, m_path;
    Contents m_kept;
    bool m_warned = false;
};

} // namespace sim
