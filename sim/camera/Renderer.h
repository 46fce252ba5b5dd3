#pragma once

#include "sim/camera/Geometry.h"

#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace sim {

// Allocates on whole cache lines, so that vector stores over an image never straddle two.
template <typename T> struct LineAllocator
{
    using value_type = T;
    static constexpr std::align_val_t line{64};
    LineAllocator() = default;
    template <typename U> LineAllocator(const LineAllocator<U> &) {}
    T *allocate(size_t n) { return static_cast<T *>(::operator new(n * sizeof(T), line)); }
    void deallocate(T *p, size_t) { ::operator delete(p, line); }
    template <typename U> bool operator==(const LineAllocator<U> &) const { return true; }
    template <typename U> bool operator!=(const LineAllocator<U> &) const { return false; }
};

// One image of a frame set, rows tightly packed.
struct Image
{
    std::vector<uint8_t, LineAllocator<uint8_t>> data;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 0;
    // Names what the renderer last drew here (0: nothing known), so that the next frame set
    // drawn into the same image only redraws what changed. Whoever else writes into data must
    // reset it.
    uint64_t drawing = 0;

    void resize(int w, int h, int bpp);
    uint16_t *u16() { return reinterpret_cast<uint16_t *>(data.data()); }
    const uint16_t *u16() const { return reinterpret_cast<const uint16_t *>(data.data()); }
};

// A frame set: images indexed by their FrameKind value, and the ready bits of those present.
struct FrameSet
{
    std::array<Image, 10> images;
    uint32_t flags = 0;
    uint32_t index = 0;
    uint64_t timestampUs = 0;
};

// The FrameReadyFlags bit of an image of a frame set; 0 for an index that is no frame kind.
uint32_t readyBitOf(int kind);

// One depth range of the output: pixels beyond depthMax are invalid; noise scales with it.
struct RangePart
{
    uint16_t depthMax = 4000;
    float noiseScale = 1;
};

// Everything a frame set depends on, copied from the device under its lock so that rendering
// runs without it.
struct RenderParams
{
    uint32_t kinds = 0; // FrameReadyFlags bits to produce
    double sceneTime = 0;
    uint32_t noiseSeed = 0;

    Calibration calibration;
    uint32_t calibrationVersion = 0;
    int depthWidth = 640, depthHeight = 480;
    int colourNativeWidth = 1920, colourNativeHeight = 1080;
    int colourWidth = 1920, colourHeight = 1080;
    bool depthUndistort = true, irUndistort = true, rgbUndistort = true;
    bool realDepth = true;
    int mirror = 0; // bit 0 left-right, bit 1 up-down
    float rgbBrightness = 1;

    // Depth output: one part, or up to three for fused wide-dynamic-range depth.
    int rangeParts = 1;
    std::array<RangePart, 3> ranges{};
    int amplitudeThreshold = 40;
    float irGain = 1;
    bool irAmbient = false;
    bool spatialFilter = false;
    bool timeFilter = false;
};

// Renders frame sets of the room for one device. Static parts (room images, rays, registration
// maps) are computed once per geometry and reused; each frame only traces the moving balls,
// adds noise, and carries its own depth and IR over to the colour grid through the registration
// (so the registered images show the sensor's measurements, noise, holes and filters included).
class Renderer
{
public:
    Renderer();
    ~Renderer();
    Renderer(const Renderer &) = delete;
    Renderer &operator=(const Renderer &) = delete;

    void render(const RenderParams &params, FrameSet &out);
    void resetHistory(); // the time filter starts afresh

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace sim
