#include "panel/PulseAndGain.h"

#include "camera/Control_Single.h"
#include "panel/DepthRanges.h"

namespace PulseAndGain {

Values read(Control_Single &camera)
{
    Values values;
    uint32_t pulseCount = 0;
    if (camera.getPulseCount(&pulseCount) == 0)
        values.pulseCount = int(pulseCount & 0xFFFFu);
    uint16_t gain = 0;
    if (camera.getGmmGain(&gain) == 0)
        values.gmmGain = gain;
    return values;
}

PulseCountSet record(int pulseCount, int range)
{
    return {uint16_t(pulseCount), uint8_t(DepthRanges::depthModeOf(range)), uint8_t(range), 0};
}

bool write(Control_Single &camera, int pulseCount, int gmmGain, int range)
{
    if (pulseCount == 0 && gmmGain == 0)
        return false;
    const PulseCountSet set = record(pulseCount, range);
    (void)camera.setPulseCount(&set);
    (void)camera.setGmmGain(uint32_t(uint16_t(gmmGain))); // three bytes: the gain, then 0
    return true;
}

} // namespace PulseAndGain
