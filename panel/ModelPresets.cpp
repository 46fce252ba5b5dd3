#include "panel/ModelPresets.h"

#include "camera/SdkTypes.h"

#include <array>

namespace ModelPresets {

namespace {

// The models with a layout, in the order of the table's columns. The Cima group differs only
// in the upgrade button: Cima and EskeAlias have none in the panel.
enum Column { AltaColumn, BrioColumn, UsbCimaColumn, NetworkCimaColumn, ColumnCount };

// One line per control, one cell per column: visibility then enabled state.
//   visibility: S shown, H hidden, U shown unless user type 0, F shown for user type 255 only
//   enabled:    E enabled, D disabled, U enabled unless user type 0, - left as it is
// The groups are disabled while the panel fills itself; opening enables them afterwards.
struct Line
{
    const char *control;
    std::array<const char *, ColumnCount> cells;
};

// clang-format off
constexpr Line table[] = {
    //  control                       Alta   Brio   Cima,      Dune,
    //                                              EskeAlias  Eske
    {"groupBox_Brio",              {{"HD", "SE", "HD", "HD"}}},
    {"groupBox_COM",               {{"SD", "HD", "SD", "SD"}}},
    {"groupBox_ALGO",              {{"SD", "HD", "SD", "SD"}}},
    {"groupBox_SHOW",              {{"SD", "HD", "SD", "SD"}}},
    {"groupBox_F",                 {{"UD", "HD", "UD", "UD"}}},
    {"groupBox_RW",                {{"UD", "UU", "UD", "UD"}}},
    {"groupBox_SN",                {{"SD", "SD", "SD", "SD"}}},
    {"label_rgb",                  {{"S-", "S-", "H-", "H-"}}},
    {"rgbResolutionComb",          {{"S-", "S-", "H-", "H-"}}},
    {"checkBox_rgb",               {{"SE", "SE", "HD", "HD"}}},
    {"RGBDistortion",              {{"SE", "SE", "HD", "HD"}}},
    {"Mapper_DepthToRGB",          {{"S-", "S-", "H-", "H-"}}},
    {"Mapper_RGBToDepth",          {{"S-", "S-", "H-", "H-"}}},
    {"Mapper_RGBToIR",             {{"S-", "S-", "H-", "H-"}}},
    {"checkBox_3DMap",             {{"S-", "S-", "H-", "H-"}}},
    {"checkBox_wdrstyle",          {{"S-", "S-", "H-", "H-"}}},
    {"pushButton_upgrade",         {{"S-", "S-", "H-", "S-"}}},
    {"SlaveMode",                  {{"F-", "H-", "F-", "F-"}}},
    {"checkBox_IR_BG",             {{"F-", "H-", "F-", "F-"}}},
    {"LowPowerMode",               {{"F-", "H-", "F-", "F-"}}},
    {"checkBox_AntiInterference",  {{"F-", "H-", "F-", "F-"}}},
    {"checkBox_irenabled",         {{"S-", "H-", "S-", "S-"}}},
    {"checkBox_rgbenabled",        {{"S-", "H-", "S-", "S-"}}},
    {"checkBox_tofaecenabled",     {{"S-", "H-", "S-", "S-"}}},
    {"doubleSpinBox_exploretime",  {{"SE", "SD", "SE", "SE"}}},
    {"doubleSpinBox_gain",         {{"SE", "SD", "SE", "SE"}}},
    {"pushButton_Tset",            {{"SE", "SD", "SE", "SE"}}},
};
// clang-format on

// The same codes, one cell for every model, applied before the model's own line.
struct CommonLine
{
    const char *control;
    const char *cell;
};

// clang-format off
constexpr CommonLine commonTable[] = {
    {"SlaveMode",                  "F-"},
    {"ISAcheckBox",                "F-"},
    {"TALcheckBox",                "F-"},
    {"Synchronize",                "F-"},
    {"checkBox_IR_BG",             "F-"},
    {"LowPowerMode",               "F-"},
    {"checkBox_AntiInterference",  "F-"},
    {"WritepushButton",            "F-"},
    {"pushButton_update",          "H-"},
    {"pushButton_Params",          "U-"},
};
// clang-format on

constexpr bool validCell(const char *cell)
{
    const char shown = cell[0], enabled = shown ? cell[1] : 0;
    return (shown == 'S' || shown == 'H' || shown == 'U' || shown == 'F') &&
           (enabled == 'E' || enabled == 'D' || enabled == 'U' || enabled == '-') && cell[2] == 0;
}

// Every cell readable, and a control's enabled state either set by every model or by none.
constexpr bool validTable()
{
    for (const Line &line : table) {
        int kept = 0;
        for (const char *cell : line.cells) {
            if (!validCell(cell))
                return false;
            kept += cell[1] == '-';
        }
        if (kept != 0 && kept != ColumnCount)
            return false;
    }
    return true;
}
static_assert(validTable(), "a cell of the model preset table is malformed or incomplete");

constexpr bool validCommonTable()
{
    for (const CommonLine &line : commonTable)
        if (!validCell(line.cell) || line.cell[1] != '-')
            return false;
    return true;
}
static_assert(validCommonTable(), "a cell of the common preset table is malformed or sets the enabled state");

// Colour models show the colour image and correct it; the others have no colour to show.
const char *const colourControls[] = {"checkBox_rgb", "RGBDistortion"};
// A Brio starts streaming everything with automatic exposure.
const char *const brioStreamControls[] = {"checkBox_depthenabled", "checkBox_rgbaecenabled", "checkBox_irenabled",
                                          "checkBox_rgbenabled"};

Shown shownCode(char c)
{
    switch (c) {
    case 'H':
        return Shown::No;
    case 'U':
        return Shown::UnlessBasicUser;
    case 'F':
        return Shown::FullUserOnly;
    default:
        return Shown::Yes;
    }
}

Enabled enabledCode(char c)
{
    switch (c) {
    case 'E':
        return Enabled::Yes;
    case 'D':
        return Enabled::No;
    case 'U':
        return Enabled::UnlessBasicUser;
    default:
        return Enabled::Keep;
    }
}

ControlState stateOf(const char *control, const char *cell)
{
    return {QLatin1String(control), shownCode(cell[0]), enabledCode(cell[1])};
}

int columnOf(int32_t deviceType)
{
    switch (deviceType) {
    case Alta:
        return AltaColumn;
    case Brio:
        return BrioColumn;
    case Cima:
    case EskeAlias:
        return UsbCimaColumn;
    case Dune:
    case Eske:
        return NetworkCimaColumn;
    default:
        return -1;
    }
}

} // namespace

Row rowFor(int32_t deviceType)
{
    const int column = columnOf(deviceType);
    Row row;
    if (column < 0)
        return row;
    row.reserve(std::size(table));
    for (const Line &line : table)
        row.push_back(stateOf(line.control, line.cells[size_t(column)]));
    return row;
}

Row commonRow()
{
    Row row;
    for (const CommonLine &line : commonTable)
        row.push_back(stateOf(line.control, line.cell));
    return row;
}

Start startFor(int32_t deviceType)
{
    using namespace ShownImages;
    switch (columnOf(deviceType)) {
    case AltaColumn:
        return {Depth | Rgb, {}, ToggleSteps::row(colourControls, "cc"), true, true};
    case BrioColumn:
        // Depth and IR ride on the colour grid; the work mode sets the rest.
        return {Rgb | MappedDepth | MappedIr,
                {{"comboBox_workmode", 0}, {"comboBox_mirror", 0}, {"rgbResolutionComb_2", 2}},
                ToggleSteps::row(brioStreamControls, "cccc"),
                false,
                false};
    case UsbCimaColumn:
    case NetworkCimaColumn:
        return {Depth, {}, ToggleSteps::row(colourControls, "uu"), true, true};
    default:
        return {};
    }
}

bool isShown(Shown shown, int userType)
{
    switch (shown) {
    case Shown::No:
        return false;
    case Shown::UnlessBasicUser:
        return userType != 0;
    case Shown::FullUserOnly:
        return userType == 255;
    case Shown::Yes:
        break;
    }
    return true;
}

bool isEnabled(Enabled enabled, int userType)
{
    switch (enabled) {
    case Enabled::No:
        return false;
    case Enabled::UnlessBasicUser:
        return userType != 0;
    case Enabled::Yes:
    case Enabled::Keep:
        break;
    }
    return true;
}

} // namespace ModelPresets
