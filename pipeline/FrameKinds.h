#pragma once

// Which of the six frame kinds are wanted (or present): depth, IR, colour, colour mapped onto
// depth, depth and IR mapped onto colour. Depth stands for the WDR depth frame as well.
struct FrameKinds
{
    bool depth = false, ir = false, rgb = false;
    bool mappedRgb = false, mappedDepth = false, mappedIr = false;

    // The display switches that decide the kinds, read at one moment.
    struct Switches
    {
        bool showDepth = true, showIr = false, showRgb = true;
        bool showMappedRgb = false, showMappedDepth = false, showMappedIr = false;
        bool showPointCloud = false, pointCloudRgb = false;

        static Switches current();
    };

    // What the views want handed over and converted: each image its own switch; the point
    // cloud depth and IR, and, when coloured, the colour image mapped onto depth.
    static FrameKinds wanted(const Switches &s);
    // What the reader fetches from the camera: the wanted kinds, and depth always.
    static FrameKinds fetched(const Switches &s);

    static FrameKinds all() { return {true, true, true, true, true, true}; }

    bool operator==(const FrameKinds &o) const
    {
        return depth == o.depth && ir == o.ir && rgb == o.rgb && mappedRgb == o.mappedRgb &&
               mappedDepth == o.mappedDepth && mappedIr == o.mappedIr;
    }
    bool operator!=(const FrameKinds &o) const { return !(*this == o); }
};
