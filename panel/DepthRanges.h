#pragma once

#include <QString>
#include <QVector>

#include "camera/sdk/quillon_types.h"

// The depth-range list: labels from the camera's measuring ranges, the range index a label
// names, and the limits a range sets. Plain functions, no widgets.
namespace DepthRanges {

struct Entry
{
    int range;     // DepthRangeIndex, 0..8
    QString label; // "Range4 (1800-3200mm)" or "Range4 (No Calib)"
};

// modes[m] is the record of depth mode m. The full user gets all nine ranges, the others
// only the calibrated ones (upper end above 10 and above the lower end), numbers kept.
QVector<Entry> entries(const MeasuringRange modes[3], bool fullUser);

// The depth mode a range belongs to: Range0-2 mode 0, Range3-5 mode 1, the rest mode 2.
int depthModeOf(int range);

// A range's place within its depth mode's record: 0 near, 1 mid, 2 far.
int positionOf(int range);

// The range index a list text names: its digit at position 5, 0 for anything else.
int rangeOfLabel(const QString &text);

struct Limits
{
    int colourMapMin; // effectiveMin
    int colourMapMax; // effectiveMax
    int maxDepth;     // depthMax
};

// The limits of range within its depth mode's record (at positionOf(range)).
Limits limitsOf(const MeasuringRange &record, int range);

} // namespace DepthRanges
