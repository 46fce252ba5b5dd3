#include "camera/ValueText.h"

#include <cfloat>
#include <cmath>
#include <limits>

namespace ValueText {

QString g16(double value)
{
    return QString::number(value, 'g', 16);
}

QString g6(double value)
{
    return QString::number(value, 'g', 6);
}

QString dec(int64_t value)
{
    return QString::number(value);
}

QString hex(uint64_t value)
{
    return QStringLiteral("0x") + QString::number(value, 16);
}

int bytesOf(Kind kind)
{
    switch (kind) {
    case Kind::U8:
    case Kind::S8:
        return 1;
    case Kind::U16:
    case Kind::S16:
        return 2;
    case Kind::U32:
    case Kind::F32:
        return 4;
    case Kind::F64:
        return 8;
    }
    return 0;
}

bool isFloating(Kind kind)
{
    return kind == Kind::F32 || kind == Kind::F64;
}

namespace {

bool isSigned(Kind kind)
{
    return kind == Kind::S8 || kind == Kind::S16;
}

struct Limits
{
    int64_t low, high;
};

Limits limitsOf(Kind kind, bool hexadecimal)
{
    const int bits = 8 * bytesOf(kind);
    const int64_t span = int64_t(1) << bits;
    if (hexadecimal || !isSigned(kind))
        return {0, span - 1};
    return {-span / 2, span / 2 - 1};
}

} // namespace

bool hasHexPrefix(const QString &part)
{
    return part.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
}

QString rangeOf(Kind kind, bool hexadecimal)
{
    if (isFloating(kind))
        return kind == Kind::F32 ? QStringLiteral("a finite float") : QStringLiteral("a finite number");
    const Limits l = limitsOf(kind, hexadecimal);
    if (hexadecimal)
        return QStringLiteral("%1 to %2").arg(hex(uint64_t(l.low)), hex(uint64_t(l.high)));
    return QStringLiteral("%1 to %2").arg(l.low).arg(l.high);
}

Converted convert(const QString &part, Kind kind, bool hexadecimal)
{
    Converted c;
    bool ok = false;
    if (isFloating(kind)) {
        c.floating = part.toDouble(&ok);
        if (!ok)
            c.fault = Converted::NotANumber;
        else if (!std::isfinite(c.floating) || (kind == Kind::F32 && std::fabs(c.floating) > double(FLT_MAX)))
            c.fault = Converted::OutOfRange;
        return c;
    }
    const Limits l = limitsOf(kind, hexadecimal);
    if (hexadecimal) {
        const QString digits = hasHexPrefix(part) ? part.mid(2) : part;
        // toULongLong takes a sign and a second prefix; a register address does not.
        const bool plain = !digits.isEmpty() && !digits.startsWith(QLatin1Char('+')) &&
                           !digits.startsWith(QLatin1Char('-')) && !hasHexPrefix(digits);
        const qulonglong v = plain ? digits.toULongLong(&ok, 16) : 0;
        if (!ok) {
            c.fault = Converted::NotANumber;
            return c;
        }
        if (v > qulonglong(l.high)) {
            c.fault = Converted::OutOfRange;
            return c;
        }
        const int bits = 8 * bytesOf(kind);
        c.integer = int64_t(v);
        if (isSigned(kind) && c.integer >= (int64_t(1) << (bits - 1)))
            c.integer -= int64_t(1) << bits;
        return c;
    }
    const qlonglong v = part.toLongLong(&ok, 10);
    if (!ok) {
        // A number too long for 64 bits is still a number, just not one that fits.
        bool digits = !part.isEmpty();
        for (int i = 0; i < part.size(); ++i)
            digits = digits && (part[i].isDigit() || (i == 0 && (part[i] == '-' || part[i] == '+')));
        c.fault = digits && part.size() > 1 ? Converted::OutOfRange : Converted::NotANumber;
        return c;
    }
    if (v < l.low || v > l.high)
        c.fault = Converted::OutOfRange;
    c.integer = v;
    return c;
}

} // namespace ValueText
