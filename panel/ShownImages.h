#pragma once

#include <cstdint>

struct DisplaySwitches;

// A choice of the images the views show, as a set of flags: the presets and work modes name
// what they show and everything else goes off.
namespace ShownImages {

enum Image : uint8_t {
    None = 0,
    Depth = 1 << 0,
    Ir = 1 << 1,
    Rgb = 1 << 2,
    MappedRgb = 1 << 3,
    MappedDepth = 1 << 4,
    MappedIr = 1 << 5,
    PointCloud = 1 << 6,
};
using Set = uint8_t;

// Sets the seven show switches: on for the images in shown, off for the others.
void show(Set shown, DisplaySwitches &switches);

// The images the switches show now.
Set shownBy(const DisplaySwitches &switches);

} // namespace ShownImages
