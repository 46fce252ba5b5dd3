#pragma once

#include <QString>

#include <optional>

// The panel's side of saving frame sets: it prepares a save set's folders and hands the
// request to the frame reader through the display switches, withdraws it, and ends it when
// the camera goes. No widgets.
namespace ImageSaving {

// Prepares a new save set under the program folder, then requests it: the folders first, the
// request last, so that the reader sees the request together with its folders. Continuous
// travels with the request itself: a reader that saw the request without it would save one
// set, report it and stop.
void start(bool continuous);

// Withdraws the request.
void stop();

// A save still waiting for frame sets when the camera went.
struct Abandoned
{
    bool continuous;
    QString text; // the warning to show
};

// Ends the pending save, if any, for a lost camera.
std::optional<Abandoned> abandon();

// The warning for a save the lost camera ended, after written sets of a continuous run.
QString lostCameraText(bool continuous, int written);

} // namespace ImageSaving
