#include "panel/ToggleStep.h"

#include <cstring>

namespace ToggleSteps {

std::optional<bool> enabledAfter(ToggleStep step)
{
    switch (step) {
    case ToggleStep::Enable:
    case ToggleStep::EnableCheck:
    case ToggleStep::EnableUncheck:
        return true;
    case ToggleStep::Disable:
    case ToggleStep::DisableUncheck:
        return false;
    case ToggleStep::Keep:
    case ToggleStep::Check:
    case ToggleStep::Uncheck:
        break;
    }
    return std::nullopt;
}

std::optional<bool> checkedAfter(ToggleStep step)
{
    switch (step) {
    case ToggleStep::Check:
    case ToggleStep::EnableCheck:
        return true;
    case ToggleStep::Uncheck:
    case ToggleStep::EnableUncheck:
    case ToggleStep::DisableUncheck:
        return false;
    case ToggleStep::Keep:
    case ToggleStep::Enable:
    case ToggleStep::Disable:
        break;
    }
    return std::nullopt;
}

ControlSteps row(const char *const controls[], const char *codes)
{
    ControlSteps steps;
    steps.reserve(std::strlen(codes));
    for (size_t i = 0; codes[i] != 0; ++i)
        steps.push_back({controls[i], ToggleStep(codes[i])});
    return steps;
}

} // namespace ToggleSteps
