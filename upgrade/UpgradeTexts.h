#pragma once

#include "camera/sdk/quillon_types.h"

#include <QString>

// What the SDK upgrade dialog says: the answer of the upgrade start and each stage that the
// SDK reports while it copies, checks and installs an image. Pure, callable from any thread.
namespace UpgradeTexts {

// The text for the start's result code.
QString startResult(SdkStatus result);

// The text for a stage report; a value of -1 means the upgrade failed, whatever the stage.
QString stage(int32_t stage, int32_t value);

// The percentage a report shows for the progress bar, or -1 when it shows none.
int progressOf(int32_t stage, int32_t value);

} // namespace UpgradeTexts
