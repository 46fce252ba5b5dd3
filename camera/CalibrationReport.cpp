#include "camera/CalibrationReport.h"

#include "camera/Control_Single.h"
#include "camera/ParamItems.h"

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

} // namespace

Report read(Control_Single &camera, int htpDepthMode)
{
    Report report;
    report.serial = shown(camera, ParamItems::SN);
    QString &text = report.text;
    const auto section = [&text](const char *heading, const std::optional<QString> &body) {
        text += QLatin1String(heading);
        if (body)
            text += *body;
        text += QLatin1String("\r\n");
    };
    const auto joined = [](const std::optional<QStringList> &values) -> std::optional<QString> {
        return values ? std::optional<QString>(values->join(QLatin1String(", "))) : std::nullopt;
    };

    section("SN:\n", report.serial);
    section("Depth Intrinsic:\n", shown(camera, ParamItems::DepthIntrinsic));
    section("RGB Intrinsic:\n", shown(camera, ParamItems::RGBIntrinsic));
    section("Depth Distortion:\n", shown(camera, ParamItems::DepthDistortion));
    section("RGB Distortion:\n", shown(camera, ParamItems::RGBDistortion));
    section("RotationMat:\n", shown(camera, ParamItems::RotationMat));
    section("TransferMat:\n", shown(camera, ParamItems::TransferMat));
    section("EMat:\n", shown(camera, ParamItems::EMat));
    section("FMat:\n", shown(camera, ParamItems::FMat));
    const std::optional<QStringList> pulses = valuesOf(camera, ParamItems::PulseCount);
    section("PulseCount:\n", pulses ? std::optional<QString>(pulseGroups(*pulses)) : std::nullopt);
    const char *offsets[] = {"OffSet Near:\n", "OffSet Mid:\n", "OffSet Far:\n"};
    for (int position = 0; position < 3; ++position)
        section(offsets[position], shown(camera, ParamItems::OffSet, Selectors{0, position, {}}));
    section("HTP:\n", shown(camera, ParamItems::HTP, Selectors{htpDepthMode, 0, {}}));
    text += QLatin1String("MaxDepth:\n");
    const char *modes[] = {"Mode0:\n", "Mode1:\n", "Mode2:\n"};
    for (int mode = 0; mode < 3; ++mode)
        section(modes[mode], maxDepth(camera, mode));
    section("FWVer:\n", shown(camera, ParamItems::FWVer));
    section("HMVer:\n", shown(camera, ParamItems::HMVer));
    section("PCBA:\n", shown(camera, ParamItems::PCBA));
    section("WorkMode:\n", shown(camera, ParamItems::WorkMode));
    // The switch alone: the record's first byte.
    const std::optional<QStringList> irS2 = valuesOf(camera, ParamItems::IR_S2_Enable);
    section("IR_S2_Enable:\n", irS2 && !irS2->isEmpty() ? std::optional<QString>(irS2->first()) : std::nullopt);
    section("GmmGain:\n", shown(camera, ParamItems::GmmGain));
    section("GmmParams:\n", shown(camera, ParamItems::GmmParams));
    section("AccSensitivity:\n", shown(camera, ParamItems::AccSensitivity));
    section("GyroSensitivity:\n", shown(camera, ParamItems::GyroSensitivity));
    section("AccOffsetTemp:\n", joined(valuesOf(camera, ParamItems::AccOffsetTemp)));
    section("GyroOffsetTemp:\n", joined(valuesOf(camera, ParamItems::GyroOffsetTemp)));
    const Selectors imuSelector{0, 0, QStringLiteral("1")};
    section("AccOffset:\n", shown(camera, ParamItems::AccOffset, imuSelector));
    section("GyroOffset:\n", shown(camera, ParamItems::GyroOffset, imuSelector));
    section("LD:\n", shown(camera, ParamItems::LD));
    section("TAL:\n", shown(camera, ParamItems::TAL));
    section("FlashType:\n", shown(camera, ParamItems::FlashType));
    return report;
}

} // namespace CalibrationReport
