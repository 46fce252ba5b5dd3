#pragma once

#include "camera/sdk/PropertyTable.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace sim {

// What a camera keeps for the properties that are stored as written and read back as stored,
// and the length rules of every property, both from the shared property table. Properties whose
// records carry a selector or change the camera are the device state's; they come here only
// for their rows.
class PropertyStore
{
public:
    // A record for every row that is not a text, zero-filled.
    PropertyStore();

    // The row that answers a get (or set) of id with this length, or the status a camera gives
    // instead: an unknown id, a direction it does not offer, a length no row passes.
    static SdkStatus rowForGet(PropertyId id, int32_t length, const PropertyTable::Row *&row);
    static SdkStatus rowForSet(PropertyId id, int32_t length, const PropertyTable::Row *&row);

    // The stored record of a row found above; a get writes the whole get record and sets
    // *length to its size, a set stores the bytes it was given from the start of the record.
    void get(const PropertyTable::Row &row, uint8_t *buffer, int32_t *length) const;
    void set(const PropertyTable::Row &row, const uint8_t *bytes, int32_t length);

    static constexpr int32_t handoverCapacity = 4096; // characters of the upgrade hand-over text

    // Texts: a read needs room for the terminator; a write keeps up to capacity characters.
    static SdkStatus readText(const std::string &text, uint8_t *buffer, int32_t *length);
    SdkStatus getText(const PropertyTable::Row &row, uint8_t *buffer, int32_t *length) const;
    SdkStatus setText(const PropertyTable::Row &row, const uint8_t *bytes, int32_t length);
    void putText(const PropertyTable::Row &row, std::string text) { m_texts[row.id] = std::move(text); }

    // Typed access for the camera's own initial values and behaviour.
    template <typename Get, typename Set> void put(const PropertyTable::Property<Get, Set> &row, const Get &record)
    {
        std::memcpy(m_records.at(row.id).data(), &record, sizeof record);
    }
    const uint8_t *record(const PropertyTable::Row &row) const { return m_records.at(row.id).data(); }
    uint8_t *record(const PropertyTable::Row &row) { return m_records.at(row.id).data(); }

private:
    std::map<PropertyId, std::vector<uint8_t>> m_records;
    std::map<PropertyId, std::string> m_texts;
};

} // namespace sim
