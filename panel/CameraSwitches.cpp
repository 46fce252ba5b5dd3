#include "panel/CameraSwitches.h"

#include "camera/Control_Single.h"

#include <cstring>

namespace {

using Setter = SdkStatus (Control_Single::*)(int);

template <Setter setter> void call(Control_Single &camera, bool on)
{
    (void)(camera.*setter)(on ? 1 : 0);
}

} // namespace

const std::array<CameraSwitches::Switch, CameraSwitches::Count> &CameraSwitches::all()
{
    static const std::array<Switch, Count> table = {{
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

bool CameraSwitches::write(const char *control, Control_Single &camera, bool on)
{
    for (const Switch &s : all()) {
        if (std::strcmp(s.control, control) == 0) {
            s.write(camera, on);
            return true;
        }
    }
    return false;
}
