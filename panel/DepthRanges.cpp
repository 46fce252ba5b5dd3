#include "panel/DepthRanges.h"

namespace DepthRanges {

QVector<Entry> entries(const MeasuringRange modes[3], bool fullUser)
{
    QVector<Entry> result;
    for (int range = 0; range < 9; ++range) {
        const MeasuringRange &record = modes[depthModeOf(range)];
        const int lower = record.effectiveMin[positionOf(range)];
        const int upper = record.effectiveMax[positionOf(range)];
        const QString name = QStringLiteral("Range%1").arg(range);
        if (fullUser) {
            result.append({range, upper < 11 ? QStringLiteral("%1 (No Calib)").arg(name)
                                             : QStringLiteral("%1 (%2-%3mm)").arg(name).arg(lower).arg(upper)});
        } else if (upper > 10 && lower < upper) {
            result.append({range, QStringLiteral("%1 (%2-%3mm)").arg(name).arg(lower).arg(upper)});
        }
    }
    return result;
}

int rangeOfLabel(const QString &text)
{
    if (text.size() <= 5 || !text.at(5).isDigit())
        return 0;
    return text.at(5).digitValue();
}

int depthModeOf(int range)
{
    return range < 3 ? 0 : range < 6 ? 1 : 2;
}

int positionOf(int range)
{
    return ((range % 3) + 3) % 3;
}

Limits limitsOf(const MeasuringRange &record, int range)
{
    const int k = positionOf(range);
    return {record.effectiveMin[k], record.effectiveMax[k], record.depthMax[k]};
}

} // namespace DepthRanges
