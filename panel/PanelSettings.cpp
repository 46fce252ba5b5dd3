#include "panel/PanelSettings.h"

#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "panel/DataModeTable.h"

namespace {

constexpr int wdrDataMode = 11;

using Setter = SdkStatus (Control_Single::*)(int);

template <Setter setter> void call(Control_Single &camera, bool on)
{
    (void)(camera.*setter)(on ? 1 : 0);
}

} // namespace

const std::array<PanelSettings::Switch, PanelSettings::SwitchCount> &PanelSettings::switches()
{
    static const std::array<Switch, SwitchCount> table = {{
        {"DepthDistortion", call<&Control_Single::setDepthDistortionCorrectionEnabled>, true},
        {"IrDistortion", call<&Control_Single::setIrDistortionCorrectionEnabled>, true},
        {"RGBDistortion", call<&Control_Single::setRGBDistortionCorrectionEnabled>, true},
        {"ComputeRealDepth", call<&Control_Single::setComputeRealDepthCorrectionEnabled>, true},
        {"TimeFilter", call<&Control_Single::setTimeFilterEnabled>, true},
        {"SpatialFilter", call<&Control_Single::setSpatialFilterEnabled>, true},
        {"Mapper_RGBToDepth", call<&Control_Single::setMapperEnabledRGBToDepth>, true},
        {"Mapper_RGBToIR", call<&Control_Single::setMapperEnabledRGBToIR>, true},
        {"Synchronize", call<&Control_Single::setSynchronizeEnabled>, true},
        {"SlaveMode", call<&Control_Single::setSlaveModeEnabled>, false},
        {"checkBox_AntiInterference", call<&Control_Single::setAntiInterferenceEnabled>, false},
        {"checkBox_dsp", call<&Control_Single::setDSPEnabled>, false},
        {"LowPowerMode", call<&Control_Single::setLowPowerModeEnabled>, false},
        {"checkBox_IR_BG", [](Control_Single &c, bool on) { (void)c.setIR_S2_Enable(on ? 1u : 0u); }, false},
        {"ISAcheckBox", [](Control_Single &c, bool on) { (void)c.setISA(on); }, false},
        {"TALcheckBox", [](Control_Single &c, bool on) { (void)c.setTALSwitch(on); }, false},
        {"checkBox_rgbaecenabled", call<&Control_Single::setRgbAecEnabled>, false},
        {"checkBox_tofaecenabled", call<&Control_Single::setTofAecEnabled>, false},
        // The depth switch carries the IR stream with it; the IR switch comes after it.
        {"checkBox_depthenabled",
         [](Control_Single &c, bool on) {
             (void)c.setDepthFrameEnabled(on);
             (void)c.setIrFrameEnabled(on);
         },
         false},
        {"checkBox_irenabled", call<&Control_Single::setIrFrameEnabled>, false},
        {"checkBox_rgbenabled", call<&Control_Single::setRgbFrameEnabled>, false},
        {"checkBox_wdrstyle", call<&Control_Single::setWDRStyle>, false},
    }};
    return table;
}

void PanelSettings::restore(Control_Single &camera, const PanelSettings &now, const PanelSettings &opened,
                            const WdrOutputMode &wdr)
{
    const auto changed = [](int a, int b) { return a >= 0 && a != b; };
    if (now.deviceType == Brio) {
        if (changed(now.dataModeIndex, opened.dataModeIndex))
            (void)camera.setDataMode(now.dataModeIndex + LX2_DATA_WORK_DEPTH_IR_15_RGB_30);
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
    for (int i = 0; i < SwitchCount; ++i) {
        const Switch &s = switches()[size_t(i)];
        if (s.mirrored || now.on[size_t(i)] != opened.on[size_t(i)])
            s.write(camera, now.on[size_t(i)]);
    }
    if (now.threshold >= 0)
        (void)camera.setThreshold(now.threshold);
}
