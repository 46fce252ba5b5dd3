#include "panel/DataModeTable.h"

#include "camera/SdkTypes.h"

namespace DataModeTable {

namespace {

const int altaValues[] = {0, 1, 2, 10, 11, 4};
const int cimaValues[] = {0, 1, 2, 11};

// Columns: "IR Image", "RGB Image", "Depth Image", "MappedRGB", "MappedDepth", "MappedIR",
// "Point Cloud + RGB", "Point Cloud" (letters as ToggleStep).
const char *const toggleControls[] = {"checkBox_ir",       "checkBox_rgb",   "checkBox_depth", "Mapper_DepthToRGB",
                                      "Mapper_RGBToDepth", "Mapper_RGBToIR", "checkBox_3DMap", "PointCloud"};

struct ToggleLine
{
    int value;
    const char *codes;
};

// A mode offers the images it carries, the point clouds only with depth and the coloured one
// only with colour too. The basic user's mode 4 (not in their list) touches nothing, and so
// does any value not listed.
constexpr ToggleLine toggleTable[] = {
    {0, "xooeexee"},  {11, "xooeexee"}, // depth and colour
    {1, "ooxxxxxx"},                    // IR and colour
    {2, "oxoxxxxe"},                    // depth and IR
    {4, "xooee.xx"},                    // depth and colour, no point cloud
    {10, "oooeeeee"},                   // everything
};

constexpr bool validToggleTable()
{
    for (const ToggleLine &line : toggleTable)
        if (!ToggleSteps::isRow(line.codes, int(std::size(toggleControls))))
            return false;
    return true;
}
static_assert(validToggleTable(), "a row of the data-mode toggle table is malformed");

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

List listFor(int32_t deviceType, int userType)
{
    if (deviceType == Alta)
        return userType == 255 ? List{altaFullItems(), true} : List{altaItems(), false};
    if (isCimaGroup(deviceType))
        return {cimaItems(), false};
    return {};
}

ControlSteps togglesFor(int value, int userType)
{
    for (const ToggleLine &line : toggleTable)
        if (line.value == value && (value != 4 || userType != 0))
            return ToggleSteps::row(toggleControls, line.codes);
    return {};
}

} // namespace DataModeTable
