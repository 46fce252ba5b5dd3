#include "pipeline/FrameKinds.h"

#include "pipeline/DisplaySwitches.h"

FrameKinds::Switches FrameKinds::Switches::current()
{
    const DisplaySwitches &d = DisplaySwitches::instance();
    Switches s;
    s.showDepth = d.showDepth;
    s.showIr = d.showIr;
    s.showRgb = d.showRgb;
    s.showMappedRgb = d.showMappedRgb;
    s.showMappedDepth = d.showMappedDepth;
    s.showMappedIr = d.showMappedIr;
    s.showPointCloud = d.showPointCloud;
    s.pointCloudRgb = d.pointCloudRgb;
    return s;
}

FrameKinds FrameKinds::wanted(const Switches &s)
{
    FrameKinds k;
    k.depth = s.showDepth || s.showPointCloud;
    k.ir = s.showIr || s.showPointCloud;
    k.rgb = s.showRgb;
    k.mappedRgb = s.showMappedRgb || s.pointCloudRgb;
    k.mappedDepth = s.showMappedDepth;
    k.mappedIr = s.showMappedIr;
    return k;
}

FrameKinds FrameKinds::fetched(const Switches &s)
{
    FrameKinds k = wanted(s);
    // A save and its point-cloud file work from depth whatever the views show.
    k.depth = true;
    return k;
}
