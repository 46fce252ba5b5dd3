#include "panel/BrioWorkModes.h"

#include "camera/sdk/quillon_types.h"

namespace BrioWorkModes {

namespace {

using namespace ShownImages;

// Columns: "RgbAecEnabled", "TofFrameEnabled", "RGBFrameEnabled", "Point Cloud",
// "Point Cloud + RGB" (letters as ToggleStep).
const char *const controls[] = {"checkBox_rgbaecenabled", "checkBox_depthenabled", "checkBox_rgbenabled", "PointCloud",
                                "checkBox_3DMap"};
constexpr int columns = int(std::size(controls));

struct Line
{
    const char *steps;
    Set shown;
    int rgbResolution;
    const char *afterwards;
};

// Depth and IR ride on the colour grid, so they are shown mapped; without depth there is no
// point cloud; standby streams nothing and leaves the exposure to the camera.
// clang-format off
constexpr Line table[] = {
    // steps    shown                             "RGB:"  afterwards
    {"oocee",   Rgb | MappedDepth | MappedIr,     2,      "....."}, // DepthAndIR15_RGB30
    {"oncdd",   Rgb,                              2,      "...uu"}, // RGB30
    {"dxudd",   None,                             -1,     "....."}, // StandBy
};
// clang-format on

constexpr bool validTable()
{
    for (const Line &line : table)
        if (!ToggleSteps::isRow(line.steps, columns) || !ToggleSteps::isRow(line.afterwards, columns))
            return false;
    return true;
}
static_assert(validTable(), "a row of the work-mode table is malformed");

} // namespace

Row rowFor(int index)
{
    if (index < 0 || index >= int(std::size(table)))
        return {};
    const Line &line = table[index];
    return {ToggleSteps::row(controls, line.steps), line.shown, line.rgbResolution,
            ToggleSteps::row(controls, line.afterwards)};
}

int dataModeOf(int index)
{
    return index + LX2_DATA_WORK_DEPTH_IR_15_RGB_30;
}

} // namespace BrioWorkModes
