#include "panel/DataModeTable.h"

#include "camera/SdkTypes.h"

namespace DataModeTable {

namespace {

const int altaValues[] = {0, 1, 2, 10, 11, 4};
const int cimaValues[] = {0, 1, 2, 11};

template <size_t N> int valueAt(const int (&values)[N], int index)
{
    return index >= 0 && index < int(N) ? values[index] : 0;
}

template <size_t N> int indexOf(const int (&values)[N], int value, int itemCount)
{
    for (int i = 0; i < int(N) && i < itemCount; ++i)
        if (values[i] == value)
            return i;
    return -1;
}

} // namespace

QStringList altaFullItems()
{
    return altaItems() << QStringLiteral("NoCCD_30");
}

QStringList altaItems()
{
    return {QStringLiteral("DepthAndRGB_30"), QStringLiteral("IRAndRGB_30"), QStringLiteral("DepthAndIR_30"),
            QStringLiteral("DepthAndIR_15_RGB_30"), QStringLiteral("WDR_Depth")};
}

QStringList cimaItems()
{
    return {QStringLiteral("Depth_30"), QStringLiteral("IR_30"), QStringLiteral("DepthAndIR_30"),
            QStringLiteral("WDR_Depth")};
}

int valueForIndex(int32_t deviceType, int index)
{
    if (deviceType == Alta)
        return valueAt(altaValues, index);
    if (isCimaGroup(deviceType))
        return valueAt(cimaValues, index);
    return 0;
}

int indexForValue(int32_t deviceType, int value, int itemCount)
{
    if (deviceType == Alta)
        return indexOf(altaValues, value, itemCount);
    if (isCimaGroup(deviceType))
        return indexOf(cimaValues, value, itemCount);
    return -1;
}

Steps togglesFor(int value, int userType)
{
    using S = Step;
    // Columns: IR Image, RGB Image, Depth Image, MappedRGB, MappedDepth, MappedIR,
    // Point Cloud + RGB, Point Cloud.
    switch (value) {
    case 0:
    case 11:
        return {S::DisableUncheck, S::EnableCheck,    S::EnableCheck, S::Enable,
                S::Enable,         S::DisableUncheck, S::Enable,      S::Enable};
    case 1:
        return {S::EnableCheck,    S::EnableCheck,    S::DisableUncheck, S::DisableUncheck,
                S::DisableUncheck, S::DisableUncheck, S::DisableUncheck, S::DisableUncheck};
    case 2:
        // No colour in this mode, so the coloured point cloud stays off and out of reach.
        return {S::EnableCheck,    S::DisableUncheck, S::EnableCheck,    S::DisableUncheck,
                S::DisableUncheck, S::DisableUncheck, S::DisableUncheck, S::Enable};
    case 4:
        if (userType == 0)
            break;
        return {S::DisableUncheck, S::EnableCheck, S::EnableCheck,    S::Enable,
                S::Enable,         S::Keep,        S::DisableUncheck, S::DisableUncheck};
    case 10:
        return {S::EnableCheck, S::EnableCheck, S::EnableCheck, S::Enable, S::Enable, S::Enable, S::Enable, S::Enable};
    default:
        break;
    }
    Steps keep;
    keep.fill(S::Keep);
    return keep;
}

} // namespace DataModeTable
