#include "panel/ViewToggles.h"

#include "camera/Control_Single.h"
#include "pipeline/DisplaySwitches.h"

namespace ViewToggles {

namespace {

struct Entry
{
    Toggle toggle;
    Shared<bool> DisplaySwitches::*shown;
};

// clang-format off
const Entry table[ViewCount] = {
    // control              partner      mapper                                        cloud  colour   switch
    {{"checkBox_rgb",       MappedRgb,   nullptr,                                      false, true},  &DisplaySwitches::showRgb},
    {{"checkBox_depth",     MappedDepth, nullptr,                                      false, false}, &DisplaySwitches::showDepth},
    {{"checkBox_ir",        MappedIr,    nullptr,                                      false, false}, &DisplaySwitches::showIr},
    {{"Mapper_DepthToRGB",  RgbImage,    &Control_Single::setMapperEnabledDepthToRGB, true,  false}, &DisplaySwitches::showMappedRgb},
    {{"Mapper_RGBToDepth",  DepthImage,  &Control_Single::setMapperEnabledRGBToDepth, false, false}, &DisplaySwitches::showMappedDepth},
    {{"Mapper_RGBToIR",     IrImage,     &Control_Single::setMapperEnabledRGBToIR,    false, false}, &DisplaySwitches::showMappedIr},
};
// clang-format on

} // namespace

const Toggle &toggle(View view)
{
    return table[view].toggle;
}

std::optional<View> show(View view, bool on, DisplaySwitches &switches)
{
    switches.*table[view].shown = on;
    const View partner = table[view].toggle.partner;
    if (on && switches.*table[partner].shown)
        return partner;
    return std::nullopt;
}

Mapper mapperFor(View view, const DisplaySwitches &switches)
{
    const Toggle &t = table[view].toggle;
    if (t.mapperServesColouredCloud && switches.pointCloudRgb)
        return nullptr;
    return t.mapper;
}

} // namespace ViewToggles
