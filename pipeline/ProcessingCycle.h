#pragma once

#include "pipeline/FrameKinds.h"
#include "pipeline/FrameSet.h"

#include <opencv2/core.hpp>

// The raw frames of one processing cycle as the reader hands them over.
using RawFrames = FrameSet;

// What a cycle leaves for the views.
struct CycleImages
{
    // Display images: depth-like ones colour-mapped or grey, colour in R, G, B order.
    FrameSet display;
    // Raw copies for the point cloud and the depth measurement.
    cv::Mat cloudDepth, cloudIr, cloudMappedRgb;
    cv::Mat measureDepth;
};

// The display switches a cycle reads, taken once at its start.
struct CycleSwitches
{
    FrameKinds::Switches shown;
    bool measureOn = false, secondMarkerOn = false, blackBackground = true;
    int colourMapMin = 250, colourMapMax = 1450;
    cv::Point depthMarker, irMarker, secondMarker; // (0, 0): not placed yet

    static CycleSwitches fromDisplaySwitches();
};

// The conversion work of one processing cycle: raw frames to display images with markers
// and labels, plus the raw copies the point cloud and the measurement need. Keeps its work
// buffers between cycles, so a cycle of unchanged sizes allocates nothing.
class ProcessingCycle
{
public:
    // Fills out from in; depthMarker and irMarker come back where they were drawn (a marker
    // not placed, or outside the image, moves to the centre).
    void run(const RawFrames &in, CycleSwitches &sw, CycleImages &out);

private:
    cv::Mat m_levels; // depth scaled to 8 bits, before colouring
};
