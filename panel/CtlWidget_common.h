#pragma once

// Shared by the panel's source files only.

#include "camera/Control_Single.h"

#include <Qt>

namespace {

inline Control_Single *camera()
{
    return Control_Single::getInstance();
}

// A check box's state argument: only Qt::Checked counts as on.
inline bool isChecked(int state)
{
    return state == Qt::Checked;
}

} // namespace
