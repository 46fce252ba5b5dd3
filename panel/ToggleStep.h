#pragma once

#include <optional>
#include <vector>

// What a rule does to one check box of the panel, written as one letter so that the rule
// tables read like the panel: "oxe." is on, off, enabled, untouched. Enabling comes before
// checking; a check box's slot runs on every change of its state.
enum class ToggleStep : char {
    Keep = '.',           // untouched
    Enable = 'e',         // enabled, check state untouched
    Disable = 'd',        // disabled, check state untouched
    Check = 'c',          // checked, enabled state untouched
    Uncheck = 'u',        // unchecked, enabled state untouched
    EnableCheck = 'o',    // enabled and checked
    EnableUncheck = 'n',  // enabled and unchecked
    DisableUncheck = 'x', // disabled and unchecked
};

// A step for the check box of that object name.
struct ControlStep
{
    const char *control;
    ToggleStep step;
};

using ControlSteps = std::vector<ControlStep>;

namespace ToggleSteps {

constexpr bool isStep(char code)
{
    for (char known : {'.', 'e', 'd', 'c', 'u', 'o', 'n', 'x'})
        if (code == known)
            return true;
    return false;
}

// Every letter of codes a step, and exactly count of them.
constexpr bool isRow(const char *codes, int count)
{
    int n = 0;
    for (; codes[n] != 0; ++n)
        if (!isStep(codes[n]))
            return false;
    return n == count;
}

// The enabled and checked state a step leaves; empty where it leaves the box's own.
std::optional<bool> enabledAfter(ToggleStep step);
std::optional<bool> checkedAfter(ToggleStep step);

// controls[i] paired with the step of codes[i]; codes is a row that isRow accepts.
ControlSteps row(const char *const controls[], const char *codes);

} // namespace ToggleSteps
