#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class Control_Single;

// The text report of every calibration and configuration parameter a camera exposes, read
// through the parameter items. Each section is its heading, its values when the read
// succeeded, and CR LF; a failed read leaves the heading alone. "MaxDepth:" is a line of its
// own before "Mode0:". No widgets, no files.
namespace CalibrationReport {

struct Section
{
    QString heading;             // "Depth Intrinsic", "OffSet Near", "Mode0" (without the colon)
    std::optional<QString> body; // absent: the read failed
};

// The section headings in report order.
const QStringList &headings();

// htpDepthMode is the depth mode whose HTP table is reported.
std::vector<Section> readSections(Control_Single &camera, int htpDepthMode);
// One section's values, read as the report reads them; index into headings().
std::optional<QString> readSection(Control_Single &camera, int index, int htpDepthMode);

// The report's text for its sections, and back. A parsed empty values line is a failed read.
QString compose(const std::vector<Section> &sections);
struct Parsed
{
    std::vector<Section> sections; // every heading, in order, when error is empty
    QString error;                 // "line 7: ..."
};
Parsed parse(const QString &text);

struct Report
{
    std::optional<QString> serial; // absent when the camera could not say
    QString text;
};
Report read(Control_Single &camera, int htpDepthMode);

} // namespace CalibrationReport
