#pragma once

#include <QStringList>

#include <array>
#include <cstdint>

// What the data-mode list offers per camera model, how a list entry maps onto the camera's
// data-mode value, and which view toggles each data mode allows. Plain data, no widgets.
namespace DataModeTable {

// The list entries: the full user's Alta list, the other users' Alta list, the Cima group's.
QStringList altaFullItems();
QStringList altaItems();
QStringList cimaItems();

// The data-mode value of list entry index for the model; 0 for any other model or index
// (including -1 while the list is being cleared).
int valueForIndex(int32_t deviceType, int index);

// The first of the list's itemCount entries that maps onto value, or -1 when none does.
int indexForValue(int32_t deviceType, int value, int itemCount);

// The view toggles a data mode sets, in the order they are applied.
enum Toggle { IrImage, RgbImage, DepthImage, MappedRgb, MappedDepth, MappedIr, PointCloudRgb, PointCloud, ToggleCount };

enum class Step : uint8_t {
    Keep,           // untouched
    Enable,         // enabled, check state untouched
    EnableCheck,    // enabled and checked
    DisableUncheck, // unchecked and disabled
};

using Steps = std::array<Step, ToggleCount>;

// The steps for a data-mode value; userType decides whether data mode 4 touches anything.
Steps togglesFor(int value, int userType);

} // namespace DataModeTable
