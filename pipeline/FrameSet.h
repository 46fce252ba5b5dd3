#pragma once

#include "pipeline/FrameKinds.h"

#include <opencv2/core.hpp>

// One matrix per frame kind: depth-like frames 16-bit, colour frames 8-bit R, G, B (or the
// display images made from them). A kind not delivered is empty.
struct FrameSet
{
    cv::Mat depth, ir, rgb, mappedRgb, mappedDepth, mappedIr;

    // Deep copies of the given kinds into to, into its buffers where the sizes allow; the
    // other kinds of to are left untouched.
    void copyTo(const FrameKinds &kinds, FrameSet &to) const
    {
        if (kinds.depth)
            depth.copyTo(to.depth);
        if (kinds.ir)
            ir.copyTo(to.ir);
        if (kinds.rgb)
            rgb.copyTo(to.rgb);
        if (kinds.mappedRgb)
            mappedRgb.copyTo(to.mappedRgb);
        if (kinds.mappedDepth)
            mappedDepth.copyTo(to.mappedDepth);
        if (kinds.mappedIr)
            mappedIr.copyTo(to.mappedIr);
    }

    // For hand-overs that take six separate matrices: fill(kinds, set) fills a set that
    // shares the callers' buffers, so the pixels are copied once, straight into them; the
    // kinds not wanted are left untouched. Returns what fill returns.
    template <typename Fill>
    static bool fillSeparate(Fill fill, bool wantDepth, cv::Mat &depth, bool wantIr, cv::Mat &ir, bool wantRgb,
                             cv::Mat &rgb, bool wantMappedRgb, cv::Mat &mappedRgb, bool wantMappedDepth,
                             cv::Mat &mappedDepth, bool wantMappedIr, cv::Mat &mappedIr)
    {
        const FrameKinds kinds{wantDepth, wantIr, wantRgb, wantMappedRgb, wantMappedDepth, wantMappedIr};
        FrameSet set{depth, ir, rgb, mappedRgb, mappedDepth, mappedIr};
        if (!fill(kinds, set))
            return false;
        const auto giveBack = [](bool want, const cv::Mat &from, cv::Mat &to) {
            if (want)
                to = from;
        };
        giveBack(wantDepth, set.depth, depth);
        giveBack(wantIr, set.ir, ir);
        giveBack(wantRgb, set.rgb, rgb);
        giveBack(wantMappedRgb, set.mappedRgb, mappedRgb);
        giveBack(wantMappedDepth, set.mappedDepth, mappedDepth);
        giveBack(wantMappedIr, set.mappedIr, mappedIr);
        return true;
    }
};
