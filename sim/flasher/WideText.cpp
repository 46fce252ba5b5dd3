#include "sim/flasher/WideText.h"

namespace sim {

bool utf8FromUtf16(const char16_t *text, std::string &out)
{
    out.clear();
    if (!text)
        return false;
    for (size_t i = 0; text[i]; ++i) {
        if (i >= wideTextLimit)
            return false;
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            const uint32_t low = text[i + 1];
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return true;
}

std::u16string utf16FromAscii(const std::string &text)
{
    return std::u16string(text.begin(), text.end());
}

bool sameWideText(const char16_t *text, const std::u16string &own)
{
    for (size_t i = 0; i < own.size(); ++i)
        if (text[i] != own[i])
            return false;
    return text[own.size()] == 0;
}

} // namespace sim
