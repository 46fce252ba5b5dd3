#include "pipeline/ProcessingCycle.h"

#include "pipeline/DisplaySwitches.h"
#include "pipeline/FrameConvert.h"

using namespace FrameConvert;

CycleSwitches CycleSwitches::fromDisplaySwitches()
{
    const DisplaySwitches &d = DisplaySwitches::instance();
    CycleSwitches s;
    s.shown = FrameKinds::Switches::current();
    s.measureOn = d.measureOn;
    s.secondMarkerOn = d.secondMarkerOn;
    s.blackBackground = d.blackBackground;
    s.colourMapMin = d.colourMapMin;
    s.colourMapMax = d.colourMapMax;
    s.depthMarker = {d.depthMarkerX, d.depthMarkerY};
    s.irMarker = {d.irMarkerX, d.irMarkerY};
    s.secondMarker = {d.secondMarkerX, d.secondMarkerY};
    return s;
}

namespace {

// The colours of the 256 depth levels, with and without the black ends; built once.
const cv::Mat &colourTable(bool blackBackground)
{
    static const cv::Mat black = depthColourTable(true);
    static const cv::Mat plain = depthColourTable(false);
    return blackBackground ? black : plain;
}

} // namespace

void ProcessingCycle::run(const RawFrames &in, CycleSwitches &sw, CycleImages &out)
{
    const FrameKinds wanted = FrameKinds::wanted(sw.shown);
    const bool cloud = sw.shown.showPointCloud;
    const int min = sw.colourMapMin;
    const int max = sw.colourMapMax;
    const bool black = sw.blackBackground;

    if (sw.measureOn && !in.depth.empty())
        in.depth.copyTo(out.measureDepth);
    if (cloud) {
        if (!in.depth.empty())
            in.depth.copyTo(out.cloudDepth);
        if (!in.ir.empty())
            in.ir.copyTo(out.cloudIr);
        if (!in.mappedRgb.empty())
            in.mappedRgb.copyTo(out.cloudMappedRgb);
    }

    FrameSet &display = out.display;
    if (wanted.depth && !in.depth.empty() && in.depth.type() == CV_16UC1) {
        sw.depthMarker = placedMarker(sw.depthMarker, in.depth.size());
        const int value = in.depth.at<uint16_t>(sw.depthMarker);
        // Straight to R, G, B: the marker and labels are white, the same in either order.
        colourDepthRgb(in.depth, min, max, colourTable(black), m_levels, display.depth);
        drawDepthMarker(display.depth, sw.depthMarker, value);
        if (sw.measureOn && sw.secondMarkerOn)
            drawSecondMarker(display.depth, sw.secondMarker);
    }
    if (wanted.ir && !in.ir.empty() && in.ir.type() == CV_16UC1) {
        sw.irMarker = placedMarker(sw.irMarker, in.ir.size());
        const int value = in.ir.at<uint16_t>(sw.irMarker);
        irToGrey(in.ir, display.ir);
        drawIrMarker(display.ir, sw.irMarker, value);
    }
    if (wanted.rgb && !in.rgb.empty())
        in.rgb.copyTo(display.rgb);
    // Mapped colour passes for any point cloud, coloured or not.
    if ((sw.shown.showMappedRgb || cloud) && !in.mappedRgb.empty())
        in.mappedRgb.copyTo(display.mappedRgb);
    if (wanted.mappedDepth && !in.mappedDepth.empty())
        colourDepthRgb(in.mappedDepth, min, max, colourTable(black), m_levels, display.mappedDepth);
    if (wanted.mappedIr && !in.mappedIr.empty())
        irToGrey(in.mappedIr, display.mappedIr);
}
