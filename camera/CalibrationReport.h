#pragma once

#include <QString>

#include <optional>

class Control_Single;

// The text report of every calibration and configuration parameter a camera exposes, read
// through the parameter items. Each section is its heading, its values when the read
// succeeded, and CR LF; a failed read leaves the heading alone. No widgets, no files.
namespace CalibrationReport {

struct Report
{
    std::optional<QString> serial; // absent when the camera could not say
    QString text;
};

// htpDepthMode is the depth mode whose HTP table is reported.
Report read(Control_Single &camera, int htpDepthMode);

} // namespace CalibrationReport
