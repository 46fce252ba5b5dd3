#include "camera/ReportRestore.h"

#include "camera/ParamItems.h"

namespace ReportRestore {

namespace {

using ParamItems::Selectors;

struct Write
{
    int item;
    Selectors selectors;
    QString text;
};

// The writes for one section, or why there are none.
struct Plan
{
    std::optional<QString> reason;
    std::vector<Write> writes;
};

bool isText(const QString &heading)
{
    static const QStringList texts{"SN", "FWVer", "HMVer", "PCBA", "FlashType"};
    return texts.contains(heading);
}

Plan partsCountWrong(const QString &heading, int parts, int wanted)
{
    return {QStringLiteral("%1 has %2 values in the report, not %3").arg(nameOf(heading)).arg(parts).arg(wanted), {}};
}

Plan planFor(Control_Single &camera, const Section &section, const std::optional<QString> &current, int htpDepthMode)
{
    const QString &h = section.heading;
    const QString body = section.body.value_or(QString());
    const QStringList parts = ParamItems::split(body);
    if (h.startsWith(QLatin1String("OffSet "))) {
        const int position = QStringList{"OffSet Near", "OffSet Mid", "OffSet Far"}.indexOf(h);
        return {std::nullopt, {{ParamItems::OffSet, Selectors{0, position, {}}, body}}};
    }
    if (h.startsWith(QLatin1String("Mode"))) {
        // The report lists effectiveMin before effectiveMax; the record (and a write) the other way.
        if (parts.size() != 9)
            return partsCountWrong(h, parts.size(), 9);
        const QStringList ordered = parts.mid(0, 3) + parts.mid(6, 3) + parts.mid(3, 3);
        return {std::nullopt, {{ParamItems::MaxDepth, Selectors{h.mid(4).toInt(), 0, {}}, ordered.join(' ')}}};
    }
    if (h == QLatin1String("PulseCount")) {
        // The first value is the current range's count; the nine others are written range by range.
        if (parts.size() != 10)
            return partsCountWrong(h, parts.size(), 10);
        const QStringList now = ParamItems::split(current.value_or(QString()));
        Plan plan;
        for (int range = 0; range < 9; ++range)
            if (now.size() != 10 || now[range + 1] != parts[range + 1])
                plan.writes.push_back({ParamItems::PulseCount, Selectors{range / 3, range % 3, {}}, parts[range + 1]});
        if (plan.writes.empty())
            plan.reason = QStringLiteral("only its first value differs, the count of the camera's current depth "
                                         "range, which is not a parameter");
        return plan;
    }
    if (h == QLatin1String("IR_S2_Enable")) {
        // The report keeps the switch alone; its second byte stays as the camera has it.
        const ParamItems::ReadResult now = ParamItems::read(camera, ParamItems::IR_S2_Enable, {});
        const QStringList bytes = ParamItems::split(now.text);
        const QString second = now.status == 0 && bytes.size() == 2 ? bytes[1] : QStringLiteral("0");
        return {std::nullopt, {{ParamItems::IR_S2_Enable, {}, body + QLatin1Char(',') + second}}};
    }
    if (h == QLatin1String("GmmGain")) // the gain, then 0, as the panel's own "Set" writes it
        return {std::nullopt, {{ParamItems::GmmGain, {}, body + QStringLiteral(", 0")}}};
    const int item = ParamItems::indexOf(h);
    if (item < 0 || !ParamItems::writable(item))
        return {QStringLiteral("%1 is read only").arg(h), {}};
    return {std::nullopt, {{item, Selectors{h == QLatin1String("HTP") ? htpDepthMode : 0, 0, {}}, body}}};
}

QString shown(const std::optional<QString> &body)
{
    return body.value_or(QStringLiteral("(not read)"));
}

} // namespace

QString nameOf(const QString &heading)
{
    return heading.startsWith(QLatin1String("Mode")) ? QStringLiteral("MaxDepth ") + heading : heading;
}

bool same(const QString &heading, const std::optional<QString> &a, const std::optional<QString> &b)
{
    if (!a || !b)
        return !a && !b;
    return isText(heading) ? *a == *b : ParamItems::split(*a) == ParamItems::split(*b);
}

std::vector<Difference> differences(const std::vector<Section> &report, const std::vector<Section> &camera)
{
    std::vector<Difference> found;
    for (size_t i = 0; i < report.size() && i < camera.size(); ++i)
        if (!same(report[i].heading, report[i].body, camera[i].body))
            found.push_back({nameOf(report[i].heading), report[i].body, camera[i].body});
    return found;
}

std::vector<Outcome> restore(Control_Single &camera, const std::vector<Section> &report, int htpDepthMode, bool dryRun)
{
    std::vector<Outcome> outcomes;
    const std::vector<Section> now = CalibrationReport::readSections(camera, htpDepthMode);
    for (size_t i = 0; i < report.size() && i < now.size(); ++i) {
        const Section &section = report[i];
        const QString name = nameOf(section.heading);
        if (same(section.heading, section.body, now[i].body))
            continue;
        if (!section.body) {
            outcomes.push_back(
                {Outcome::Skipped, name, QStringLiteral("not in the report (not read when it was saved)")});
            continue;
        }
        const Plan plan = planFor(camera, section, now[i].body, htpDepthMode);
        if (plan.reason) {
            outcomes.push_back(
                {Outcome::Skipped, name,
                 *plan.reason +
                     QStringLiteral(": the camera has %1, the report %2").arg(shown(now[i].body), *section.body)});
            continue;
        }
        if (dryRun) {
            outcomes.push_back(
                {Outcome::WouldWrite, name, QStringLiteral("%1 -> %2").arg(shown(now[i].body), *section.body)});
            continue;
        }
        std::optional<QString> failure;
        for (const Write &w : plan.writes) {
            const ParamItems::WriteResult result = ParamItems::write(camera, w.item, w.text, w.selectors);
            if (result.refusal || result.failure) {
                failure = result.refusal ? *result.refusal : *result.failure;
                break;
            }
        }
        if (failure) {
            outcomes.push_back({Outcome::Failed, name, *failure});
            continue;
        }
        const std::optional<QString> back = CalibrationReport::readSection(camera, int(i), htpDepthMode);
        if (same(section.heading, section.body, back))
            outcomes.push_back({Outcome::Restored, name, *section.body});
        else
            outcomes.push_back({Outcome::Failed, name,
                                QStringLiteral("written, but the camera reads back %1 instead of %2")
                                    .arg(shown(back), *section.body)});
    }
    return outcomes;
}

} // namespace ReportRestore
