#include "camera/CalibrationReport.h"

#include "camera/Control_Single.h"
#include "camera/ParamItems.h"

#include <iterator>

namespace CalibrationReport {

namespace {

using ParamItems::Record;
using ParamItems::Selectors;

std::optional<QStringList> valuesOf(Control_Single &camera, int item, const Selectors &selectors = {})
{
    Record record;
    if (ParamItems::readRecord(camera, item, selectors, record) != LX2_OK)
        return std::nullopt;
    return ParamItems::values(item, record);
}

std::optional<QString> shown(Control_Single &camera, int item, const Selectors &selectors = {})
{
    Record record;
    if (ParamItems::readRecord(camera, item, selectors, record) != LX2_OK)
        return std::nullopt;
    return ParamItems::show(item, record);
}

// The pulse counts in their groups: "1,2, 3, 4,5, 6, 7,8, 9, 10".
QString pulseGroups(const QStringList &values)
{
    QString text;
    for (int i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += i == 1 || i == 4 || i == 7 ? QStringLiteral(",") : QStringLiteral(", ");
        text += values[i];
    }
    return text;
}

// depthMax, effectiveMin, effectiveMax (near, mid, far each), every value followed by a blank.
// The record holds effectiveMax before effectiveMin.
std::optional<QString> maxDepth(Control_Single &camera, int mode)
{
    const std::optional<QStringList> values = valuesOf(camera, ParamItems::MaxDepth, Selectors{mode, 0, {}});
    if (!values || values->size() != 9)
        return std::nullopt;
    const QStringList ordered = values->mid(0, 3) + values->mid(6, 3) + values->mid(3, 3);
    return ordered.join(QLatin1String(", ")) + QLatin1Char(' ');
}

using SectionRead = std::optional<QString> (*)(Control_Single &, int htpDepthMode);

template <int item> std::optional<QString> shownItem(Control_Single &camera, int)
{
    return shown(camera, item);
}

template <int position> std::optional<QString> offset(Control_Single &camera, int)
{
    return shown(camera, ParamItems::OffSet, Selectors{0, position, {}});
}

template <int mode> std::optional<QString> maxDepthOf(Control_Single &camera, int)
{
    return maxDepth(camera, mode);
}

// The IMU offsets of selector 1.
template <int item> std::optional<QString> imuOffset(Control_Single &camera, int)
{
    return shown(camera, item, Selectors{0, 0, QStringLiteral("1")});
}

template <int item> std::optional<QString> joinedValues(Control_Single &camera, int)
{
    const std::optional<QStringList> values = valuesOf(camera, item);
    return values ? std::optional<QString>(values->join(QLatin1String(", "))) : std::nullopt;
}

std::optional<QString> pulses(Control_Single &camera, int)
{
    const std::optional<QStringList> values = valuesOf(camera, ParamItems::PulseCount);
    return values ? std::optional<QString>(pulseGroups(*values)) : std::nullopt;
}

std::optional<QString> htp(Control_Single &camera, int htpDepthMode)
{
    return shown(camera, ParamItems::HTP, Selectors{htpDepthMode, 0, {}});
}

// The switch alone: the record's first byte.
std::optional<QString> irS2(Control_Single &camera, int)
{
    const std::optional<QStringList> values = valuesOf(camera, ParamItems::IR_S2_Enable);
    return values && !values->isEmpty() ? std::optional<QString>(values->first()) : std::nullopt;
}

struct SectionRow
{
    const char *heading;
    SectionRead read;
};

const SectionRow rows[] = {
    {"SN", shownItem<ParamItems::SN>},
    {"Depth Intrinsic", shownItem<ParamItems::DepthIntrinsic>},
    {"RGB Intrinsic", shownItem<ParamItems::RGBIntrinsic>},
    {"Depth Distortion", shownItem<ParamItems::DepthDistortion>},
    {"RGB Distortion", shownItem<ParamItems::RGBDistortion>},
    {"RotationMat", shownItem<ParamItems::RotationMat>},
    {"TransferMat", shownItem<ParamItems::TransferMat>},
    {"EMat", shownItem<ParamItems::EMat>},
    {"FMat", shownItem<ParamItems::FMat>},
    {"PulseCount", pulses},
    {"OffSet Near", offset<0>},
    {"OffSet Mid", offset<1>},
    {"OffSet Far", offset<2>},
    {"HTP", htp},
    {"Mode0", maxDepthOf<0>},
    {"Mode1", maxDepthOf<1>},
    {"Mode2", maxDepthOf<2>},
    {"FWVer", shownItem<ParamItems::FWVer>},
    {"HMVer", shownItem<ParamItems::HMVer>},
    {"PCBA", shownItem<ParamItems::PCBA>},
    {"WorkMode", shownItem<ParamItems::WorkMode>},
    {"IR_S2_Enable", irS2},
    {"GmmGain", shownItem<ParamItems::GmmGain>},
    {"GmmParams", shownItem<ParamItems::GmmParams>},
    {"AccSensitivity", shownItem<ParamItems::AccSensitivity>},
    {"GyroSensitivity", shownItem<ParamItems::GyroSensitivity>},
    {"AccOffsetTemp", joinedValues<ParamItems::AccOffsetTemp>},
    {"GyroOffsetTemp", joinedValues<ParamItems::GyroOffsetTemp>},
    {"AccOffset", imuOffset<ParamItems::AccOffset>},
    {"GyroOffset", imuOffset<ParamItems::GyroOffset>},
    {"LD", shownItem<ParamItems::LD>},
    {"TAL", shownItem<ParamItems::TAL>},
    {"FlashType", shownItem<ParamItems::FlashType>},
};

const QLatin1String maxDepthLine("MaxDepth:");
const QLatin1String firstMode("Mode0");

} // namespace

const QStringList &headings()
{
    static const QStringList all = [] {
        QStringList list;
        for (const SectionRow &row : rows)
            list << QString::fromLatin1(row.heading);
        return list;
    }();
    return all;
}

std::optional<QString> readSection(Control_Single &camera, int index, int htpDepthMode)
{
    if (index < 0 || index >= int(std::size(rows)))
        return std::nullopt;
    return rows[index].read(camera, htpDepthMode);
}

std::vector<Section> readSections(Control_Single &camera, int htpDepthMode)
{
    std::vector<Section> sections;
    for (int i = 0; i < int(std::size(rows)); ++i)
        sections.push_back({headings()[i], readSection(camera, i, htpDepthMode)});
    return sections;
}

QString compose(const std::vector<Section> &sections)
{
    QString text;
    for (const Section &section : sections) {
        if (section.heading == firstMode)
            text += maxDepthLine + QLatin1Char('\n');
        text += section.heading + QLatin1String(":\n");
        if (section.body)
            text += *section.body;
        text += QLatin1String("\r\n");
    }
    return text;
}

Parsed parse(const QString &text)
{
    Parsed parsed;
    QStringList lines = text.split(QLatin1Char('\n'));
    // An editor may have turned every line end into CR LF.
    for (QString &line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    int at = 0;
    const auto fail = [&](const QString &what) {
        parsed.sections.clear();
        parsed.error = QStringLiteral("line %1: %2").arg(at + 1).arg(what);
        return parsed;
    };
    const auto expect = [&](const QString &heading) {
        if (at >= lines.size())
            return false;
        return lines[at] == heading;
    };
    for (const QString &heading : headings()) {
        if (heading == firstMode) {
            if (!expect(maxDepthLine))
                return fail(QStringLiteral("\"%1\" expected").arg(maxDepthLine));
            ++at;
        }
        if (!expect(heading + QLatin1Char(':')))
            return fail(QStringLiteral("\"%1:\" expected").arg(heading));
        ++at;
        if (at >= lines.size())
            return fail(QStringLiteral("the values of %1 are missing").arg(heading));
        const QString &body = lines[at++];
        parsed.sections.push_back({heading, body.isEmpty() ? std::nullopt : std::optional<QString>(body)});
    }
    for (; at < lines.size(); ++at)
        if (!lines[at].trimmed().isEmpty())
            return fail(QStringLiteral("text after the last section"));
    return parsed;
}

Report read(Control_Single &camera, int htpDepthMode)
{
    const std::vector<Section> sections = readSections(camera, htpDepthMode);
    return {sections.front().body, compose(sections)};
}

} // namespace CalibrationReport
