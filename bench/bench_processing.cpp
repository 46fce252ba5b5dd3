// One processing cycle (the hand-over copies from the reader plus the conversion into display
// images), against memcpy of the bytes that the cycle's mandated copies move: every frame
// handed over and every display image produced. Two frame sets of a virtual Alta: the default
// (depth 640x480, colour 1920x1080) and the full one (+ IR, colour on depth, depth and IR on
// colour). Prints the two ratios last.

#include "bench/RatioReporter.h"
#include "pipeline/ProcessingCycle.h"
#include "sim/camera/Renderer.h"
#include "sim/camera/SimConfig.h"

#include "camera/sdk/quillon_types.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum Set { DefaultSet, FullSet };

constexpr uint32_t allKinds = depthReady | irReady | rgbReady | mappedRGBReady | mappedDepthReady | mappedIRReady;

// The frames as the reader keeps them: deep copies of one rendered frame set.
FrameSet renderedFrames(Set set)
{
    const sim::DeviceConfig alta = sim::SimConfig::builtIn().devices[0];
    sim::RenderParams p;
    p.kinds = allKinds;
    p.calibration = alta.calibration;
    p.depthWidth = alta.depthWidth;
    p.depthHeight = alta.depthHeight;
    p.ranges[0] = sim::RangePart{4000, 4000 / 3000.0f};
    p.sceneTime = 1.0;
    sim::Renderer renderer;
    sim::FrameSet frames;
    renderer.render(p, frames);
    const auto mat = [&](int kind, int type) {
        sim::Image &img = frames.images[size_t(kind)];
        return cv::Mat(img.height, img.width, type, img.data.data()).clone();
    };
    FrameSet raw;
    raw.depth = mat(DepthFrame, CV_16UC1);
    raw.rgb = mat(RGBFrame, CV_8UC3);
    if (set == FullSet) {
        raw.ir = mat(IRFrame, CV_16UC1);
        raw.mappedRgb = mat(MappedRGBFrame, CV_8UC3);
        raw.mappedDepth = mat(MappedDepthFrame, CV_16UC1);
        raw.mappedIr = mat(MappedIRFrame, CV_16UC1);
    }
    return raw;
}

CycleSwitches switchesFor(Set set)
{
    CycleSwitches sw; // start-up values: depth and colour shown, limits 250..1450, black ends
    if (set == FullSet)
        sw.shown.showIr = sw.shown.showMappedRgb = sw.shown.showMappedDepth = sw.shown.showMappedIr = true;
    return sw;
}

std::vector<cv::Mat *> kindsOf(FrameSet &f)
{
    return {&f.depth, &f.ir, &f.rgb, &f.mappedRgb, &f.mappedDepth, &f.mappedIr};
}

std::vector<const cv::Mat *> displayImagesOf(const CycleImages &out)
{
    const FrameSet &d = out.display;
    return {&d.depth, &d.ir, &d.rgb, &d.mappedRgb, &d.mappedDepth, &d.mappedIr};
}

size_t bytesOf(const cv::Mat &m)
{
    return m.total() * m.elemSize();
}

// The hand-over (the deep copies MyThread::takeFrames makes, of the kinds the processing
// thread asks for) and the conversion.
void BM_ProcessingCycle(benchmark::State &state)
{
    const Set set = Set(state.range(0));
    const FrameSet kept = renderedFrames(set);
    FrameSet input;
    CycleImages out;
    ProcessingCycle cycle;
    for (auto _ : state) {
        CycleSwitches sw = switchesFor(set);
        kept.copyTo(FrameKinds::wanted(sw.shown), input);
        cycle.run(input, sw, out);
        benchmark::DoNotOptimize(out.display.depth.data);
    }
}

// memcpy of the same bytes: every frame handed over and every display image of the cycle.
void BM_MemcpyMandatedBytes(benchmark::State &state)
{
    const Set set = Set(state.range(0));
    FrameSet kept = renderedFrames(set);
    CycleImages out;
    {
        FrameSet input = kept;
        CycleSwitches sw = switchesFor(set);
        ProcessingCycle().run(input, sw, out);
    }
    std::vector<size_t> sizes;
    for (const cv::Mat *m : kindsOf(kept))
        if (!m->empty())
            sizes.push_back(bytesOf(*m));
    for (const cv::Mat *m : displayImagesOf(out))
        if (!m->empty())
            sizes.push_back(bytesOf(*m));
    std::vector<std::vector<char>> sources, targets;
    size_t total = 0;
    for (size_t n : sizes) {
        sources.emplace_back(n, char(1));
        targets.emplace_back(n, char(0));
        total += n;
    }
    for (auto _ : state) {
        for (size_t i = 0; i < sizes.size(); ++i)
            std::memcpy(targets[i].data(), sources[i].data(), sizes[i]);
        benchmark::ClobberMemory();
    }
    state.counters["MB"] = double(total) / 1e6;
}

BENCHMARK(BM_ProcessingCycle)->Arg(DefaultSet)->Arg(FullSet)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_MemcpyMandatedBytes)->Arg(DefaultSet)->Arg(FullSet)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const char *names[] = {"default set (depth + colour)", "full set (+ IR and three mapped images)"};
    for (int set : {DefaultSet, FullSet}) {
        const std::string arg = std::to_string(set);
        const double cycle = reporter.time["BM_ProcessingCycle/" + arg];
        const double baseline = reporter.time["BM_MemcpyMandatedBytes/" + arg];
        if (cycle > 0 && baseline > 0)
            std::printf("processing cycle / memcpy of its copies, %s: %.2f (goal <= 2)\n", names[set],
                        cycle / baseline);
    }
    benchmark::Shutdown();
    return 0;
}
