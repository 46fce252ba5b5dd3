#pragma once

#include <string>

namespace sim {

// Texts cross the flashing library as NUL-terminated UTF-16. A text longer than this many code
// units is refused rather than searched for its end.
constexpr size_t wideTextLimit = 32768;

// False for a null pointer, a text beyond the limit or a broken surrogate pair.
bool utf8FromUtf16(const char16_t *text, std::string &out);
std::u16string utf16FromAscii(const std::string &text);
// The NUL-terminated text equals `own`; reads no further than own.size() + 1 units.
bool sameWideText(const char16_t *text, const std::u16string &own);

} // namespace sim
