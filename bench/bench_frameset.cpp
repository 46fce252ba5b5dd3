// Time to produce one full frame set of a virtual camera (depth and IR 640x480, colour
// 1920x1080, colour on the depth grid, depth and IR on the colour grid), against writing the
// same bytes with memset into the same buffers in the same run. Prints the ratio last.

#include "bench/RatioReporter.h"
#include "sim/camera/Renderer.h"
#include "sim/camera/SimConfig.h"

#include "camera/sdk/quillon_types.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t fullSet = depthReady | irReady | rgbReady | mappedRGBReady | mappedDepthReady | mappedIRReady;

sim::RenderParams altaParams()
{
    const sim::DeviceConfig alta = sim::SimConfig::builtIn().devices[0];
    sim::RenderParams p;
    p.kinds = fullSet;
    p.calibration = alta.calibration;
    p.depthWidth = alta.depthWidth;
    p.depthHeight = alta.depthHeight;
    p.ranges[0] = sim::RangePart{4000, 4000 / 3000.0f};
    return p;
}

size_t bytesOf(const sim::FrameSet &set)
{
    size_t bytes = 0;
    for (const sim::Image &img : set.images)
        bytes += img.data.size();
    return bytes;
}

void BM_FrameSet(benchmark::State &state)
{
    sim::Renderer renderer;
    sim::FrameSet set;
    sim::RenderParams p = altaParams();
    renderer.render(p, set); // the static layers are built once per geometry
    int64_t frame = 0;
    for (auto _ : state) {
        p.sceneTime = double(++frame) / 30;
        p.noiseSeed = uint32_t(frame);
        renderer.render(p, set);
        benchmark::DoNotOptimize(set.images[DepthFrame].data.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytesOf(set)));
}

void BM_MemsetSameBytes(benchmark::State &state)
{
    sim::Renderer renderer;
    sim::FrameSet set;
    renderer.render(altaParams(), set);
    int value = 0;
    for (auto _ : state) {
        for (sim::Image &img : set.images)
            if (!img.data.empty())
                std::memset(img.data.data(), ++value & 0xFF, img.data.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytesOf(set)));
}

BENCHMARK(BM_FrameSet)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_MemsetSameBytes)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double frame = reporter.time["BM_FrameSet"], baseline = reporter.time["BM_MemsetSameBytes"];
    if (frame > 0 && baseline > 0)
        std::printf("frame set / memset of the same bytes: %.2f (goal <= 4)\n", frame / baseline);
    benchmark::Shutdown();
    return 0;
}
