#pragma once

#include "camera/ParamItems.h"

#include <QString>

#include <optional>

class Control_Single;

// The parameter page's buttons: an item read into text or text written to the camera, with
// the page's boxes for refused text and failed writes.
namespace ParamPage {

// The text to show, or nothing (a refused register list or a failed read keeps the box).
std::optional<QString> read(Control_Single &camera, int index, const ParamItems::Selectors &selectors);

// Writes the text; a refusal or the camera's failure is shown, success is silent.
void write(Control_Single &camera, int index, const QString &text, const ParamItems::Selectors &selectors);

} // namespace ParamPage
