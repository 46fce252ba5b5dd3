#include "panel/ShownImages.h"

#include "pipeline/DisplaySwitches.h"

namespace ShownImages {

namespace {

struct Entry
{
    Image image;
    Shared<bool> DisplaySwitches::*shown;
};

constexpr Entry entries[] = {
    {Depth, &DisplaySwitches::showDepth},
    {Ir, &DisplaySwitches::showIr},
    {Rgb, &DisplaySwitches::showRgb},
    {MappedRgb, &DisplaySwitches::showMappedRgb},
    {MappedDepth, &DisplaySwitches::showMappedDepth},
    {MappedIr, &DisplaySwitches::showMappedIr},
    {PointCloud, &DisplaySwitches::showPointCloud},
};

} // namespace

void show(Set shown, DisplaySwitches &switches)
{
    for (const Entry &e : entries)
        switches.*e.shown = (shown & e.image) != 0;
}

Set shownBy(const DisplaySwitches &switches)
{
    Set shown = None;
    for (const Entry &e : entries)
        if (switches.*e.shown)
            shown |= e.image;
    return shown;
}

} // namespace ShownImages
