#include "panel/PanelSettings.h"

#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "panel/BrioWorkModes.h"
#include "panel/DataModeTable.h"
#include "panel/DepthRanges.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>

namespace {

constexpr int wdrDataMode = LX2_DATA_WDR_DEPTH;

} // namespace

PanelSettings PanelSettings::readFrom(const QWidget &panel, int32_t deviceType)
{
    const auto combo = [&panel](const char *name) { return panel.findChild<QComboBox *>(QLatin1String(name)); };
    const auto checked = [&panel](const char *name) {
        const auto *box = panel.findChild<QCheckBox *>(QLatin1String(name));
        return box && box->isChecked();
    };
    PanelSettings s;
    s.deviceType = deviceType;
    s.dataModeIndex = combo(deviceType == Brio ? "comboBox_workmode" : "dataModeComBox")->currentIndex();
    const QComboBox *ranges = combo("depRangeComBox");
    s.rangeIndex = ranges->count() > 0 ? DepthRanges::rangeOfLabel(ranges->currentText()) : -1;
    const QComboBox *rgb = combo("rgbResolutionComb");
    s.rgbResolution = rgb->isVisibleTo(&panel) ? rgb->currentIndex() : -1;
    s.brioResolution = combo("rgbResolutionComb_2")->currentIndex();
    s.mirror = combo("comboBox_mirror")->currentIndex();
    s.threshold = panel.findChild<QSpinBox *>(QStringLiteral("spinBox_BG"))->value();
    s.mapDepthToRgb = checked("Mapper_DepthToRGB") || checked("PointCloud");
    for (int i = 0; i < CameraSwitches::Count; ++i)
        s.on[size_t(i)] = checked(CameraSwitches::all()[size_t(i)].control);
    return s;
}

void PanelSettings::restore(Control_Single &camera, const PanelSettings &now, const PanelSettings &opened,
                            const WdrOutputMode &wdr)
{
    const auto changed = [](int a, int b) { return a >= 0 && a != b; };
    if (now.deviceType == Brio) {
        if (changed(now.dataModeIndex, opened.dataModeIndex))
            (void)camera.setDataMode(BrioWorkModes::dataModeOf(now.dataModeIndex));
        if (changed(now.brioResolution, opened.brioResolution))
            (void)camera.setRGBResolution(now.brioResolution);
    } else if (now.dataModeIndex >= 0) {
        // The data mode first: it decides what the range and the streams mean.
        const int value = DataModeTable::valueForIndex(now.deviceType, now.dataModeIndex);
        if (camera.setDataModeProperty(uint8_t(value)) == 0 && value == wdrDataMode)
            (void)camera.setWDROutputMode(&wdr);
        else if (now.rangeIndex >= 0)
            (void)camera.setDepthRange(now.rangeIndex);
    }
    if (now.rgbResolution >= 0 && now.deviceType != Brio)
        (void)camera.setRGBResolution(now.rgbResolution);
    if (changed(now.mirror, opened.mirror))
        (void)camera.setImageMirror(now.mirror);

    (void)camera.setMapperEnabledDepthToRGB(now.mapDepthToRgb);
    for (int i = 0; i < CameraSwitches::Count; ++i) {
        const CameraSwitches::Switch &s = CameraSwitches::all()[size_t(i)];
        if (s.mirrored || now.on[size_t(i)] != opened.on[size_t(i)])
            s.write(camera, now.on[size_t(i)]);
    }
    if (now.threshold >= 0)
        (void)camera.setThreshold(now.threshold);
}
