#include "sim/camera/PropertyStore.h"

#include <algorithm>

namespace sim {

namespace {

using PropertyTable::byCaller;
using PropertyTable::refused;
using PropertyTable::Row;

constexpr int32_t textCapacity = 63; // characters of a text property

// Rows are tried in table order; the first that takes the length answers.
template <typename Fits> SdkStatus findRow(PropertyId id, int32_t Row::*direction, Fits fits, const Row *&row)
{
    bool known = false, offered = false;
    for (const Row &candidate : PropertyTable::rows) {
        if (candidate.id != id)
            continue;
        known = true;
        if (candidate.*direction == refused)
            continue;
        offered = true;
        if (fits(candidate)) {
            row = &candidate;
            return LX2_OK;
        }
    }
    return !known ? LX2_E_UNKNOWN_PROPERTY : !offered ? LX2_E_NOT_SUPPORTED : LX2_E_BAD_LENGTH;
}

} // namespace

PropertyStore::PropertyStore()
{
    for (const Row &row : PropertyTable::rows) {
        if (row.getLength == byCaller) {
            m_texts[row.id];
            continue;
        }
        // Rows that share an id (a switch writing part of a record) share its bytes.
        std::vector<uint8_t> &record = m_records[row.id];
        record.resize(size_t(std::max({int32_t(record.size()), row.getRecord, row.setRecord})), 0);
    }
}

SdkStatus PropertyStore::rowForGet(PropertyId id, int32_t length, const Row *&row)
{
    return findRow(
        id, &Row::getLength,
        [length](const Row &r) {
            if (r.getLength == byCaller)
                return length > 0;
            // Asked with length 0, a camera answers the whole record; its size is fine too.
            return length == r.getLength || (r.getLength == 0 && length == r.getRecord);
        },
        row);
}

SdkStatus PropertyStore::rowForSet(PropertyId id, int32_t length, const Row *&row)
{
    return findRow(
        id, &Row::setLength,
        [length](const Row &r) { return r.setLength == byCaller ? length >= 0 : length == r.setLength; }, row);
}

void PropertyStore::get(const Row &row, uint8_t *buffer, int32_t *length) const
{
    std::memcpy(buffer, record(row), size_t(row.getRecord));
    *length = row.getRecord;
}

void PropertyStore::set(const Row &row, const uint8_t *bytes, int32_t length)
{
    std::memcpy(record(row), bytes, size_t(length));
}

SdkStatus PropertyStore::readText(const std::string &text, uint8_t *buffer, int32_t *length)
{
    if (int32_t(text.size()) >= *length) {
        buffer[0] = 0; // never an unterminated text
        return LX2_E_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *length = int32_t(text.size());
    return LX2_OK;
}

SdkStatus PropertyStore::getText(const Row &row, uint8_t *buffer, int32_t *length) const
{
    return readText(m_texts.at(row.id), buffer, length);
}

SdkStatus PropertyStore::setText(const Row &row, const uint8_t *bytes, int32_t length)
{
    if (length > (row.id == PropertyTable::UpgradeHandover.id ? PropertyStore::handoverCapacity : textCapacity))
        return LX2_E_BAD_LENGTH;
    std::string text = length > 0 ? std::string(reinterpret_cast<const char *>(bytes), size_t(length)) : std::string();
    m_texts[row.id] = text.substr(0, text.find('\0'));
    return LX2_OK;
}

} // namespace sim
