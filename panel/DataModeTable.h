#pragma once

#include "panel/ToggleStep.h"

#include <QStringList>

#include <cstdint>

// What the data-mode list offers per camera model, how a list entry maps onto the camera's
// data-mode value, and which view toggles each data mode allows. Plain data, no widgets.
namespace DataModeTable {

// The list entries: the full user's Alta list, the other users' Alta list, the Cima group's.
QStringList altaFullItems();
QStringList altaItems();
QStringList cimaItems();

// The list a model's layout puts in place for a user type.
struct List
{
    QStringList items;         // empty: the model leaves the list as it is
    bool keptWhenSame = false; // an equal list stays as it is instead of being rebuilt
};
List listFor(int32_t deviceType, int userType);

// The data-mode value of list entry index for the model; 0 for any other model or index
// (including -1 while the list is being cleared).
int valueForIndex(int32_t deviceType, int index);

// The first of the list's itemCount entries that maps onto value, or -1 when none does.
int indexForValue(int32_t deviceType, int value, int itemCount);

// The steps a data-mode value takes on the view toggles, in the order they are applied;
// userType decides whether data mode 4 touches anything.
ControlSteps togglesFor(int value, int userType);

} // namespace DataModeTable
