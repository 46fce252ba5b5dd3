#pragma once

#include "camera/CalibrationReport.h"

#include <QString>

#include <optional>
#include <vector>

class Control_Single;

// A saved calibration report against a camera: which items differ, and the parameter-page
// writes that bring each one back, every write read back and checked. No widgets, no files.
namespace ReportRestore {

using CalibrationReport::Section;

// A section's name as a person names the item ("MaxDepth Mode1" for the "Mode1" section).
QString nameOf(const QString &heading);

// Whether two section bodies say the same: texts exactly, numbers part by part (the blanks
// and commas between them do not count).
bool same(const QString &heading, const std::optional<QString> &a, const std::optional<QString> &b);

struct Difference
{
    QString name;
    std::optional<QString> report, camera;
};
// Sections that differ; both lists in report order (as parse and readSections give them).
std::vector<Difference> differences(const std::vector<Section> &report, const std::vector<Section> &camera);

struct Outcome
{
    enum Kind { Restored, WouldWrite, Skipped, Failed } kind;
    QString name;
    QString detail; // the values, or why it was skipped or failed
};
// Writes every writable item whose camera value differs from the report, reads each back
// and compares it with the report. dryRun: writes nothing and says what would be written.
// htpDepthMode: the depth mode whose HTP table the report holds.
std::vector<Outcome> restore(Control_Single &camera, const std::vector<Section> &report, int htpDepthMode, bool dryRun);

} // namespace ReportRestore
