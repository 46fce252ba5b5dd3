#pragma once

#include <QString>

class Control_Single;

// The panel's "SaveCameraParams": asks, reads the camera's report and writes it as
// <serial>.txt into a stamped folder under SaveCameraParams, then says how it went.
namespace ReportSaving {

// htpDepthMode: the "Depth Mode：" index whose HTP table is reported.
void run(Control_Single &camera, int htpDepthMode);

} // namespace ReportSaving
