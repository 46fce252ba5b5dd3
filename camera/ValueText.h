#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Numbers as the report and the parameter page show them, and the parts a user types turned
// back into numbers of a record field's type. Plain functions, no camera.
namespace ValueText {

// %g with 16 or 6 significant digits: trailing zeros dropped, exponent form when very large
// or small.
QString g16(double value);
QString g6(double value);
QString dec(int64_t value);
// "0x" and lower-case digits without leading zeros.
QString hex(uint64_t value);

// The types a record field may have.
enum class Kind : uint8_t { U8, S8, U16, S16, U32, F32, F64 };

int bytesOf(Kind kind);
bool isFloating(Kind kind);

// A part converted for a field of kind. Integers are decimal, or hexadecimal (an optional
// "0x" or "0X" first) when hexadecimal is set; a signed field takes hexadecimal as its bit
// pattern (0xffff is -1 for 16 bits). Floating parts must be finite and fit the type.
struct Converted
{
    enum Fault { None, NotANumber, OutOfRange } fault = None;
    int64_t integer = 0;
    double floating = 0;
};
Converted convert(const QString &part, Kind kind, bool hexadecimal);

// The range a field of kind holds, as text for a refusal ("0 to 65535").
QString rangeOf(Kind kind, bool hexadecimal);

// Whether the first part asks for hexadecimal.
bool hasHexPrefix(const QString &part);

} // namespace ValueText
