#pragma once

#include "sim/camera/Ini.h"
#include "sim/camera/SimConfig.h"

#include <string>

namespace sim {

// The keys of a [device...] section, one table: each key's kind, range, own rule and the
// field of the record it fills.
class DeviceKeys
{
public:
    // Reads one key into the record. A key that is not in the table, or a value that is not
    // of its kind, out of its range or against its rule, gives "<key>: <reason>" and leaves
    // the record as it was.
    static bool apply(const IniEntry &entry, DeviceConfig &device, std::string &why);
};

} // namespace sim
