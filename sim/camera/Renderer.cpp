#include "sim/camera/Renderer.h"

#include "sim/camera/Scene.h"

#include "camera/sdk/quillon_types.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <random>
#include <sstream>

// The noise loops are built for several vector units and picked at load time.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__) &&                \
    !defined(__SANITIZE_ADDRESS__)
#define CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define CLONES
#endif

namespace sim {

uint32_t readyBitOf(int kind)
{
    switch (kind) {
    case DepthFrame:
        return depthReady;
    case IRFrame:
        return irReady;
    case RGBFrame:
        return rgbReady;
    case MappedRGBFrame:
        return mappedRGBReady;
    case MappedDepthFrame:
        return mappedDepthReady;
    case MappedIRFrame:
        return mappedIRReady;
    case WDRDepthFrame:
        return wdrDepthReady;
    default:
        return 0;
    }
}

void Image::resize(int w, int h, int bpp)
{
    width = w;
    height = h;
    bytesPerPixel = bpp;
    data.resize(size_t(w) * h * bpp);
}

namespace {

// How the frames are made fast enough for 30 frame sets a second while leaving most of a core
// to the program:
// - everything that only depends on the settings (rays, the room as each sensor sees it, the
//   measured depth and its noise level, the registration) is computed once into "layers" and
//   rebuilt only when a setting it depends on changes;
// - the noise is a random window of a Gaussian table per 64 Ki pixels, added to whole images
//   in 16-bit loops that the compiler turns into vector code;
// - the registered depth and IR are the depth camera's own images carried over to the colour
//   grid through a compact run map (ColourFromDepth), one permute per 32 pixels;
// - the balls are traced only in their rows' spans, in vector code, and what depends on them
//   per pixel (their depth, colour and registered blocks) works on short parallel arrays;
// - the large arrays read per frame are kept few and small, since the frame set's own images
//   already fill most of the cache;
// - a colour image that still holds an earlier frame of the same room only gets the room back
//   where the balls were, instead of all of it.

constexpr int chunkBits = 16;
constexpr size_t chunk = size_t(1) << chunkBits;
constexpr int amplitudeMax = 4095;
constexpr double irScale = 4200;     // amplitude of a white surface 1 m away, head on
constexpr int dropoutLimit = 870;    // |g| beyond 3.4 sigma: the pixel drops out
constexpr uint32_t maxDepth = 16000; // millimetres the sensor can report
constexpr double maxSigma = 16384;   // 64 mm, times 256

// Standard normal samples times 256, two chunks long so that any window of one chunk is
// contiguous.
const int16_t *gauss()
{
    static const std::vector<int16_t> table = [] {
        std::vector<int16_t> t(2 * chunk);
        std::mt19937 gen(20240611u);
        std::normal_distribution<double> normal(0.0, 256.0);
        for (size_t i = 0; i < chunk; ++i)
            t[i] = t[i + chunk] = int16_t(std::clamp(normal(gen), -32000.0, 32000.0));
        return t;
    }();
    return table.data();
}

// The noise window of one chunk of one frame.
inline uint32_t windowStart(uint32_t seed, size_t chunkIndex)
{
    uint32_t h = seed ^ uint32_t(chunkIndex * 0x9E3779B9u);
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    return h & (chunk - 1);
}

inline const int16_t *noiseWindow(uint32_t seed, size_t chunkIndex)
{
    return gauss() + windowStart(seed, chunkIndex);
}

template <typename... T> std::string keyOf(const T &...values)
{
    std::ostringstream s;
    ((s << values << ','), ...);
    return s.str();
}

uint16_t amplitudeOf(int reflectance, double cosine, double range)
{
    const double metres = std::max(range, 50.0) / 1000.0;
    const double a = irScale * reflectance / 255.0 * std::max(cosine, 0.0) / (metres * metres);
    return uint16_t(std::min(a, double(amplitudeMax)));
}

// How the sensor turns distance and amplitude into a measurement, for the current settings.
// Plain numbers so that loops over many pixels vectorise.
struct Measure
{
    float irGain = 1;
    uint32_t threshold = 0;
    uint32_t reach = 0;                 // the farthest depth any range part reports
    std::array<uint32_t, 3> depthMax{}; // unused parts: 0
    std::array<float, 3> sigmaScale{};  // 256 times the part's noise scale
    bool realDepth = true;

    explicit Measure(const RenderParams &p)
        : irGain(p.irGain)
        , threshold(uint32_t(p.amplitudeThreshold))
        , realDepth(p.realDepth)
    {
        for (int k = 0; k < std::min(p.rangeParts, 3); ++k) {
            depthMax[size_t(k)] = p.ranges[size_t(k)].depthMax;
            sigmaScale[size_t(k)] = 256.0f * p.ranges[size_t(k)].noiseScale;
            reach = std::max(reach, depthMax[size_t(k)]);
        }
    }

    // Measured depth without noise (0: invalid) and its noise level (millimetres times 256).
    // Selects instead of branches (and of std::min, which takes references) so that loops over
    // many pixels vectorise: the first range part that reaches z sets the noise.
    uint16_t operator()(uint32_t z, uint32_t amplitude, uint32_t radialQ12, uint16_t &sigma) const
    {
        const uint32_t scaled = uint32_t(float(amplitude) * irGain);
        const uint32_t a = scaled < uint32_t(amplitudeMax) ? scaled : uint32_t(amplitudeMax);
        float scale = 0;
        for (int k = 2; k >= 0; --k)
            scale = z <= depthMax[size_t(k)] ? sigmaScale[size_t(k)] : scale;
        // Beyond the range there is no unambiguous phase.
        const bool valid = (z != 0) & (a >= threshold) & (z <= reach);
        const float s = scale * (0.8f + 900.0f / float(a > 1 ? a : 1u));
        sigma = valid ? uint16_t(s < float(maxSigma) ? s : float(maxSigma)) : uint16_t(0);
        const uint32_t measured = realDepth ? z : (z * radialQ12) >> 12; // radial distance without correction
        return valid ? uint16_t(measured < 1 ? 1 : measured > maxDepth ? maxDepth : measured) : uint16_t(0);
    }
};

inline uint16_t irOf(uint32_t amplitude, const RenderParams &p)
{
    return uint16_t(std::min(amplitudeMax, int(amplitude * p.irGain) + (p.irAmbient ? 60 : 0)));
}

inline uint16_t noisyDepth(uint16_t base, int sigma, int g)
{
    const int v = std::max(base + ((g * sigma) >> 16), 1);
    return (base != 0 && g <= dropoutLimit && g >= -dropoutLimit) ? uint16_t(v) : 0;
}

inline uint16_t noisyIr(uint16_t base, int g)
{
    return uint16_t(std::clamp(base + ((g * (256 + base * 4)) >> 16), 0, amplitudeMax));
}

// Fresh noise over whole images: depth from its measured value and noise level (dropping out
// beyond 3.4 sigma) and IR from its amplitude, both in one pass when both are wanted (either
// output may be null). 16-bit arithmetic that the compiler turns into vector code, built for
// the widest vector unit the machine has. Measured depth stays below maxDepth and its noise
// level below maxSigma, so no sum leaves the 16-bit range.
CLONES void addNoise(const uint16_t *__restrict depthBase, const uint16_t *__restrict sigma,
                     uint16_t *__restrict depthOut, uint32_t depthSeed, const uint16_t *__restrict irBase,
                     uint16_t *__restrict irOut, uint32_t irSeed, size_t n)
{
    auto depthAt = [](int16_t b, int16_t s, int16_t g) {
        int16_t v = int16_t(b + int16_t((int32_t(g) * int32_t(s)) >> 16));
        v = v < 1 ? int16_t(1) : v;
        const bool keep = b != 0 && g <= dropoutLimit && g >= -dropoutLimit;
        return keep ? v : int16_t(0);
    };
    auto irAt = [](int16_t b, int16_t g) {
        const int16_t s = int16_t(256 + (b << 2));
        int16_t v = int16_t(b + int16_t((int32_t(g) * int32_t(s)) >> 16));
        v = v < 0 ? int16_t(0) : v;
        return v > amplitudeMax ? int16_t(amplitudeMax) : v;
    };
    for (size_t c0 = 0; c0 < n; c0 += chunk) {
        const size_t len = std::min(chunk, n - c0);
        const int16_t *__restrict gd = noiseWindow(depthSeed, c0 >> chunkBits);
        const int16_t *__restrict gi = noiseWindow(irSeed, c0 >> chunkBits);
        const int16_t *__restrict db = reinterpret_cast<const int16_t *>(depthBase + c0);
        const int16_t *__restrict ds = reinterpret_cast<const int16_t *>(sigma + c0);
        int16_t *__restrict dout = reinterpret_cast<int16_t *>(depthOut + c0);
        const int16_t *__restrict ib = reinterpret_cast<const int16_t *>(irBase + c0);
        int16_t *__restrict iout = reinterpret_cast<int16_t *>(irOut + c0);
        if (depthOut && irOut) {
            for (size_t k = 0; k < len; ++k) {
                dout[k] = depthAt(db[k], ds[k], gd[k]);
                iout[k] = irAt(ib[k], gi[k]);
            }
        } else if (depthOut) {
            for (size_t k = 0; k < len; ++k)
                dout[k] = depthAt(db[k], ds[k], gd[k]);
        } else if (irOut) {
            for (size_t k = 0; k < len; ++k)
                iout[k] = irAt(ib[k], gi[k]);
        }
    }
}

// A sensor's pixel grid: the ray of every pixel and the projection of points onto it.
struct View
{
    std::string key;
    Lens lens;
    bool raw = false;
    int mirror = 0;
    int width = 0, height = 0;
    // Normalised ray (z = 1) of each pixel, in the sensor frame: per pixel where the lens
    // distortion is left in the image, else by column (x) and row (y), which is less to read.
    std::vector<float> rx, ry;
    std::vector<float> columnX, rowY;
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;

    void buildRays(const Lens &l, bool distorted, int mirrorMode, int w, int h)
    {
        lens = l;
        raw = distorted;
        mirror = mirrorMode;
        width = w;
        height = h;
        rx.assign(raw ? size_t(w) * h : 0, 0);
        ry.assign(rx.size(), 0);
        columnX.assign(raw ? 0 : size_t(w), 0);
        rowY.assign(raw ? 0 : size_t(h), 0);
        xMin = yMin = 1e9;
        xMax = yMax = -1e9;
        for (int v = 0; v < h; ++v) {
            for (int u = 0; u < w; ++u) {
                const int su = (mirror & 1) ? w - 1 - u : u;
                const int sv = (mirror & 2) ? h - 1 - v : v;
                double x = (su - lens.cx) / lens.fx, y = (sv - lens.cy) / lens.fy;
                if (raw) {
                    lens.undistort(x, y, x, y);
                    const size_t i = size_t(v) * w + u;
                    rx[i] = float(x);
                    ry[i] = float(y);
                } else {
                    columnX[size_t(u)] = float(x);
                    rowY[size_t(v)] = float(y);
                }
                xMin = std::min(xMin, x);
                xMax = std::max(xMax, x);
                yMin = std::min(yMin, y);
                yMax = std::max(yMax, y);
            }
        }
        const double mx = 0.05 * (xMax - xMin), my = 0.05 * (yMax - yMin);
        xMin -= mx;
        xMax += mx;
        yMin -= my;
        yMax += my;
    }

    // The nearest room depth in each tile of 16 x 16 pixels (no room: 65535), so that a ball
    // in front of all of it skips the room's depth per pixel.
    static constexpr int tileBits = 4;
    std::vector<uint16_t> nearest;
    int tilesPerRow = 0;

    void buildNearest(const std::vector<uint16_t> &roomZ)
    {
        tilesPerRow = (width + (1 << tileBits) - 1) >> tileBits;
        const int tileRows = (height + (1 << tileBits) - 1) >> tileBits;
        nearest.assign(size_t(tilesPerRow) * size_t(tileRows), 65535);
        for (int v = 0; v < height; ++v)
            for (int u = 0; u < width; ++u) {
                uint16_t &t = nearest[size_t(v >> tileBits) * size_t(tilesPerRow) + size_t(u >> tileBits)];
                const uint16_t z = roomZ[size_t(v) * size_t(width) + size_t(u)];
                t = std::min<uint16_t>(t, z ? z : 65535);
            }
    }

    // The nearest room depth over columns u0..u1 of row v.
    uint16_t nearestInRow(int v, int u0, int u1) const
    {
        const uint16_t *tiles = &nearest[size_t(v >> tileBits) * size_t(tilesPerRow)];
        uint16_t z = 65535;
        for (int t = u0 >> tileBits; t <= (u1 >> tileBits); ++t)
            z = std::min(z, tiles[t]);
        return z;
    }

    size_t pixels() const { return size_t(width) * size_t(height); }
    Vec3 ray(size_t i) const
    {
        if (raw)
            return Vec3{rx[i], ry[i], 1.0};
        return Vec3{columnX[i % size_t(width)], rowY[i / size_t(width)], 1.0};
    }

    void toPixel(double x, double y, double &u, double &v) const
    {
        if (raw)
            lens.distort(x, y, x, y);
        u = lens.fx * x + lens.cx;
        v = lens.fy * y + lens.cy;
        if (mirror & 1)
            u = width - 1 - u;
        if (mirror & 2)
            v = height - 1 - v;
    }

    // Pixel coordinates of a point in the sensor frame; false when it is not in view.
    bool project(Vec3 p, double &u, double &v) const
    {
        if (p.z < 1)
            return false;
        const double x = p.x / p.z, y = p.y / p.z;
        if (x < xMin || x > xMax || y < yMin || y > yMax)
            return false;
        toPixel(x, y, u, v);
        return u > -0.5 && v > -0.5 && u < width - 0.5 && v < height - 0.5;
    }

    int pixelIndex(Vec3 p) const
    {
        double u, v;
        if (!project(p, u, v))
            return -1;
        return int(v + 0.5) * width + int(u + 0.5); // both at least -0.5
    }

    // Pixel rectangle holding the image of a ball (centre in the sensor frame); false when
    // it is out of view. Uses the planes through the eye that touch the ball.
    bool bounds(Vec3 c, double r, int &u0, int &v0, int &u1, int &v1) const
    {
        double lo[2], hi[2];
        const double cs[2] = {c.x, c.y};
        if (c.z <= r * 1.01) {
            lo[0] = xMin, hi[0] = xMax, lo[1] = yMin, hi[1] = yMax;
        } else {
            for (int a = 0; a < 2; ++a) {
                const double den = c.z * c.z - r * r;
                const double root = r * std::sqrt(cs[a] * cs[a] + den);
                lo[a] = (cs[a] * c.z - root) / den;
                hi[a] = (cs[a] * c.z + root) / den;
            }
        }
        lo[0] = std::max(lo[0], xMin), hi[0] = std::min(hi[0], xMax);
        lo[1] = std::max(lo[1], yMin), hi[1] = std::min(hi[1], yMax);
        if (lo[0] >= hi[0] || lo[1] >= hi[1])
            return false;
        double uMin = 1e9, uMax = -1e9, vMin = 1e9, vMax = -1e9;
        const int steps = raw ? 4 : 1; // a distorted rectangle bulges between its corners
        for (int i = 0; i <= steps; ++i) {
            for (int j = 0; j <= steps; ++j) {
                if (i != 0 && i != steps && j != 0 && j != steps)
                    continue;
                double u, v;
                toPixel(lo[0] + (hi[0] - lo[0]) * i / steps, lo[1] + (hi[1] - lo[1]) * j / steps, u, v);
                uMin = std::min(uMin, u), uMax = std::max(uMax, u);
                vMin = std::min(vMin, v), vMax = std::max(vMax, v);
            }
        }
        u0 = std::max(0, int(std::floor(uMin)) - 2);
        v0 = std::max(0, int(std::floor(vMin)) - 2);
        u1 = std::min(width - 1, int(std::ceil(uMax)) + 2);
        v1 = std::min(height - 1, int(std::ceil(vMax)) + 2);
        if (u0 > u1 || v0 > v1)
            return false;
        // Whole vectors of 16 pixels: the rows are traced in vector code, and a ragged end would
        // be done one pixel at a time.
        const int wide = std::min(width, (u1 - u0 + 16) & ~15);
        u1 = std::min(width - 1, u0 + wide - 1);
        u0 = u1 - wide + 1;
        return true;
    }

    // Narrows columns u0..u1 of row v to those whose rays can meet the ball (centre c, radius
    // r), in whole vectors of 16 pixels; false when none can. Only for grids whose rays are
    // separable (undistorted): there the rays of a row that meet a sphere form one interval.
    bool rowSpan(int v, Vec3 c, double r, int &u0, int &u1) const
    {
        if (raw)
            return true;
        const double y = rowY[size_t(v)], cc = dot(c, c) - r * r, m = y * c.y + c.z;
        // disc(x) = a x^2 + 2 b x + k >= 0 where the ray (x, y, 1) meets the sphere.
        const double a = c.x * c.x - cc, b = c.x * m, k = m * m - (y * y + 1) * cc;
        if (a >= 0 || cc <= 0)
            return true; // not a bounded interval: keep the rectangle's row
        const double d = b * b - a * k;
        if (d < 0)
            return false;
        const double root = std::sqrt(d), x0 = (-b + root) / a, x1 = (-b - root) / a; // a < 0: x0 <= x1
        double p0 = lens.fx * x0 + lens.cx, p1 = lens.fx * x1 + lens.cx;
        if (mirror & 1) {
            p0 = width - 1 - p0;
            p1 = width - 1 - p1;
            std::swap(p0, p1);
        }
        p0 = std::clamp(p0, -1e6, 1e6); // a nearly flat parabola reaches far
        p1 = std::clamp(p1, -1e6, 1e6);
        const int s0 = std::max(u0, int(std::floor(p0)) - 2), s1 = std::min(u1, int(std::ceil(p1)) + 2);
        if (s0 > s1)
            return false;
        const int wide = std::min(u1 - u0 + 1, (s1 - s0 + 16) & ~15);
        u1 = std::min(u1, s0 + wide - 1);
        u0 = u1 - wide + 1;
        return true;
    }
};

// A ball as seen from one sensor: its centre in that sensor's frame.
struct BallInView
{
    float cx = 0, cy = 0, cz = 0;
    float cc = 0;   // |centre|^2 - radius^2
    float invR = 0; // 1 / radius

    BallInView() = default;
    BallInView(Vec3 c, double radius)
        : cx(float(c.x))
        , cy(float(c.y))
        , cz(float(c.z))
        , cc(float(dot(c, c) - radius * radius))
        , invR(float(1 / radius))
    {}
};

struct PixelRect
{
    int u0 = 0, v0 = 0, u1 = -1, v1 = -1;
    bool meets(const PixelRect &o) const { return u0 <= o.u1 && o.u0 <= u1 && v0 <= o.v1 && o.v0 <= v1; }
};

// Calls f(first pixel index, n, x, y, sameY, roomCanHide) for each row of the view's pixel
// rectangle around the ball: x and y are the rays of the row's n pixels (y one value when
// sameY); roomCanHide is false where all of the room there is behind the ball.
template <typename F> void forBallRows(const View &view, Vec3 centre, double radius, const PixelRect &rect, F &&f)
{
    const double farthest = centre.z + radius;
    for (int v = rect.v0; v <= rect.v1; ++v) {
        int u0 = rect.u0, u1 = rect.u1;
        if (!view.rowSpan(v, centre, radius, u0, u1))
            continue;
        const int n = u1 - u0 + 1;
        const size_t row = size_t(v) * size_t(view.width) + size_t(u0);
        const bool roomCanHide = view.nearestInRow(v, u0, u1) <= farthest;
        if (view.raw)
            f(row, n, &view.rx[row], &view.ry[row], false, roomCanHide);
        else
            f(row, n, &view.columnX[size_t(u0)], &view.rowY[size_t(v)], true, roomCanHide);
    }
}

// Depth (0 where the ball misses or hides behind the room) and IR amplitude of one row of the
// depth sensor against one ball. Without branches, so that it vectorises.
template <bool SameY, bool RoomCanHide>
CLONES void depthBallRow(const float *__restrict rx, const float *__restrict ry, const uint16_t *__restrict roomZ,
                         int n, BallInView ball, float gain, uint16_t *__restrict z, uint16_t *__restrict amplitude)
{
    for (int k = 0; k < n; ++k) {
        const float x = rx[k], y = SameY ? ry[0] : ry[k];
        const float b = x * ball.cx + y * ball.cy + ball.cz;
        const float a = x * x + y * y + 1.0f;
        const float disc = b * b - a * ball.cc;
        const float root = std::sqrt(disc > 0 ? disc : 0.0f);
        const float t = (b - root) / a;
        const float zb = RoomCanHide ? float(roomZ[k]) : 0.0f;
        const bool hit = (disc >= 0) & (t > 1) & ((zb == 0) | (t < zb));
        const float cosine = root * ball.invR / std::sqrt(a);
        const float range2 = t * t * a;
        const float amp = gain * cosine / (range2 > 2500.0f ? range2 : 2500.0f);
        z[k] = hit ? uint16_t(t + 0.5f) : uint16_t(0);
        amplitude[k] = uint16_t(amp < float(amplitudeMax) ? amp : float(amplitudeMax));
    }
}

// One row of the colour sensor against one ball: its shaded colour, and where it is seen, packed
// as red, green, blue and 0xFF (else 0) from the lowest byte up; without branches. The hit tests
// compare squares instead of taking the root, and the cosine needs one root and one division.
// One 32-bit word per pixel keeps the vector steps at 16 pixels: the rows come in whole steps
// then, and no pixel falls to a scalar tail.
template <bool SameY, bool RoomCanHide>
CLONES void colourBallRow(const float *__restrict rx, const float *__restrict ry, const uint16_t *__restrict roomZ,
                          int n, BallInView ball, float r, float g, float b, uint32_t *__restrict painted)
{
    auto pixel = [&](int k) {
        const float x = rx[k], y = SameY ? ry[0] : ry[k];
        const float bq = x * ball.cx + y * ball.cy + ball.cz;
        const float a = x * x + y * y + 1.0f;
        const float disc = bq * bq - a * ball.cc;
        // The nearer hit t = (bq - root) / a lies beyond 1 mm and in front of the room.
        const float zb = RoomCanHide ? float(roomZ[k]) : 0.0f, beyondOne = bq - a, beforeRoom = bq - zb * a;
        const bool hit = (disc >= 0) & (beyondOne > 0) & (beyondOne * beyondOne > disc) &
                         ((zb == 0) | (beforeRoom < 0) | (beforeRoom * beforeRoom < disc));
        const float shade = 0.25f + 0.75f * std::sqrt((disc > 0 ? disc : 0.0f) / a) * ball.invR;
        const float cr = r * shade, cg = g * shade, cb = b * shade;
        const uint32_t red = uint32_t(cr < 255.0f ? cr : 255.0f), green = uint32_t(cg < 255.0f ? cg : 255.0f),
                       blue = uint32_t(cb < 255.0f ? cb : 255.0f);
        painted[k] = hit ? red | green << 8 | blue << 16 | 0xFF000000u : 0;
    };
    const int whole = n & ~15; // a count the compiler knows to be whole steps
    for (int k = 0; k < whole; ++k)
        pixel(k);
    for (int k = whole; k < n; ++k)
        pixel(k);
}

// Writes a painted row into an RGB row where it was seen; blended bytes stored unconditionally,
// which the compiler vectorises over the interleaved pixels.
CLONES void blendRow(const uint32_t *__restrict painted, int n, uint8_t *__restrict out)
{
    for (int k = 0; k < n; ++k) {
        const uint32_t p = painted[k];
        const uint8_t m = uint8_t(p >> 24);
        out[3 * k] = uint8_t((uint8_t(p) & m) | (out[3 * k] & ~m));
        out[3 * k + 1] = uint8_t((uint8_t(p >> 8) & m) | (out[3 * k + 1] & ~m));
        out[3 * k + 2] = uint8_t((uint8_t(p >> 16) & m) | (out[3 * k + 2] & ~m));
    }
}

// The depth sensor's picture of the static room.
struct DepthView : View
{
    std::vector<uint16_t> z, amplitude, radialQ12;

    void build(const Lens &l, bool distorted, int mirrorMode, int w, int h)
    {
        buildRays(l, distorted, mirrorMode, w, h);
        const size_t n = pixels();
        z.assign(n, 0);
        amplitude.assign(n, 0);
        radialQ12.resize(n);
        for (size_t i = 0; i < n; ++i) {
            const Vec3 d = ray(i);
            const double len = length(d);
            radialQ12[i] = uint16_t(std::lround(len * 4096));
            StaticHit hit;
            if (!Scene::intersectStatic(Vec3{}, d, hit) || hit.t > 65000)
                continue;
            z[i] = uint16_t(std::lround(hit.t));
            amplitude[i] = amplitudeOf(hit.surface.reflectance, -dot(hit.normal, d) / len, hit.t * len);
        }
        buildNearest(z);
    }
};

// Measured depth of the static room and its noise level, for the current range settings.
struct DepthLayer
{
    std::string key;
    std::vector<uint16_t> base, sigma;

    void build(const DepthView &dv, const RenderParams &p)
    {
        const size_t n = dv.z.size();
        base.resize(n);
        sigma.resize(n);
        const Measure measure(p);
        for (size_t i = 0; i < n; ++i)
            base[i] = measure(dv.z[i], dv.amplitude[i], dv.radialQ12[i], sigma[i]);
    }
};

// The colour sensor's picture of the static room (shaded colour and z in the colour frame).
struct ColourView : View
{
    std::vector<uint8_t> rgb;
    std::vector<uint16_t> z;

    void build(const Lens &l, bool distorted, int mirrorMode, int w, int h, const Calibration &cal, float brightness)
    {
        buildRays(l, distorted, mirrorMode, w, h);
        const size_t n = pixels();
        rgb.assign(n * 3, 0);
        z.assign(n, 0);
        const Mat3 rt = cal.rotation.transposed();
        const Vec3 origin = -1.0 * (rt * cal.translation);
        for (size_t i = 0; i < n; ++i) {
            const Vec3 dc = ray(i);
            const Vec3 d = rt * dc;
            StaticHit hit;
            if (!Scene::intersectStatic(origin, d, hit) || hit.t > 65000)
                continue;
            z[i] = uint16_t(std::lround(hit.t));
            const double shade = (0.3 + 0.7 * std::max(0.0, -dot(hit.normal, d) / length(d))) * brightness;
            rgb[i * 3] = uint8_t(std::min(255.0, hit.surface.r * shade));
            rgb[i * 3 + 1] = uint8_t(std::min(255.0, hit.surface.g * shade));
            rgb[i * 3 + 2] = uint8_t(std::min(255.0, hit.surface.b * shade));
        }
        buildNearest(z);
    }
};

// The depth-grid pixel behind every colour pixel, kept in a form that vector units read fast:
// each run of 32 colour pixels takes its values from at most two windows of 32 consecutive
// depth-grid pixels, one byte per colour pixel picking the window (bit 5) and the place in it
// (0xFF: no depth pixel sees that point). Runs that do not fit that shape (rare) are kept pixel
// by pixel. About 1.3 bytes per colour pixel instead of four, so the per-frame pass stays in
// the cache.
struct ColourFromDepth
{
    static constexpr int run = 32;
    static constexpr uint8_t none = 0xFF;
    std::vector<int32_t> windows;   // two per run
    std::vector<uint8_t> picks;     // one per colour pixel, padded to whole runs
    std::vector<int32_t> oddRuns;   // runs kept pixel by pixel (their picks are all none)
    std::vector<int32_t> oddPixels; // run * 32 + k -> depth pixel, -1: none; in oddRuns order
    size_t pixels = 0;

    void build(const std::vector<int32_t> &colourToDepth, size_t depthPixels)
    {
        pixels = colourToDepth.size();
        const size_t runs = (pixels + run - 1) / run;
        windows.assign(runs * 2, 0);
        picks.assign(runs * run, none);
        oddRuns.clear();
        oddPixels.clear();
        const int32_t lastStart = int32_t(depthPixels) - run; // a window never reads past the image
        for (size_t r = 0; r < runs; ++r) {
            const size_t first = r * run, last = std::min(pixels, first + run);
            int32_t start[2] = {-1, -1};
            bool fits = true;
            for (size_t c = first; c < last && fits; ++c) {
                const int32_t i = colourToDepth[c];
                if (i < 0)
                    continue;
                int w = 0;
                while (w < 2 && start[w] >= 0 && !(i >= start[w] && i < start[w] + run))
                    ++w;
                if (w == 2) {
                    fits = false;
                    break;
                }
                if (start[w] < 0) // a new window, placed so that this pixel and later ones to its right fit
                    start[w] = std::min(i, lastStart);
                if (i < start[w]) { // only after the clamp at the image end
                    fits = false;
                    break;
                }
                picks[c] = uint8_t(w << 5 | (i - start[w]));
            }
            if (!fits) {
                std::fill(picks.begin() + long(first), picks.begin() + long(first + run), none);
                oddRuns.push_back(int32_t(r));
                for (size_t c = first; c < first + run; ++c)
                    oddPixels.push_back(c < last ? colourToDepth[c] : -1);
                start[0] = start[1] = -1;
            }
            windows[r * 2] = std::max(start[0], 0);
            windows[r * 2 + 1] = std::max(start[1], 0);
        }
    }
};

// Registration of the static room between a depth-sensor view and the colour view: for each
// depth pixel the colour pixel that sees the same point (-1: hidden or out of view), and the
// other way round.
struct Registration
{
    std::string key;
    std::vector<int32_t> depthToColour;
    ColourFromDepth colourToDepth;

    void build(const DepthView &dv, const ColourView &cv, const Calibration &cal)
    {
        depthToColour.assign(dv.z.size(), -1);
        std::vector<int32_t> toDepth(cv.z.size(), -1);
        const Mat3 rt = cal.rotation.transposed();
        auto sameSurface = [](double expected, uint16_t seen) {
            return seen != 0 && std::fabs(expected - seen) < 15 + 0.02 * expected;
        };
        for (size_t i = 0; i < dv.z.size(); ++i) {
            if (!dv.z[i])
                continue;
            const Vec3 pc = cal.rotation * (double(dv.z[i]) * dv.ray(i)) + cal.translation;
            const int c = cv.pixelIndex(pc);
            if (c >= 0 && sameSurface(pc.z, cv.z[c]))
                depthToColour[i] = c;
        }
        for (size_t c = 0; c < cv.z.size(); ++c) {
            if (!cv.z[c])
                continue;
            const Vec3 pd = rt * (double(cv.z[c]) * cv.ray(c) - cal.translation);
            const int i = dv.pixelIndex(pd);
            if (i >= 0 && sameSurface(pd.z, dv.z[i]))
                toDepth[c] = i;
        }
        colourToDepth.build(toDepth, dv.z.size());
    }
};

// The registered colour of the static room on the depth grid.
struct MappedLayer
{
    std::string key;
    std::vector<uint8_t> rgb;
};

typedef uint16_t u16x32 __attribute__((vector_size(64)));
typedef uint8_t u8x32 __attribute__((vector_size(32)));

// A depth-grid image on the colour grid through a ColourFromDepth: two window loads and one
// permute per 32 pixels (one instruction where the vector unit has it). A second image with
// the same map (b, outB) rides along; either may be null.
CLONES void mapRuns(const ColourFromDepth &map, const uint16_t *__restrict a, uint16_t *__restrict outA,
                    const uint16_t *__restrict b, uint16_t *__restrict outB)
{
    const size_t whole = map.pixels / ColourFromDepth::run;
    const int32_t *windows = map.windows.data();
    const uint8_t *picks = map.picks.data();
    auto one = [&](const uint16_t *src, size_t r, const u16x32 &m, uint16_t *dst) {
#if defined(__GNUC__) && !defined(__clang__)
        u16x32 lo, hi;
        std::memcpy(&lo, src + windows[2 * r], sizeof lo);
        std::memcpy(&hi, src + windows[2 * r + 1], sizeof hi);
        u16x32 v = __builtin_shuffle(lo, hi, m);
        v = m == ColourFromDepth::none ? u16x32{} : v;
        std::memcpy(dst + r * ColourFromDepth::run, &v, sizeof v);
#else
        for (int k = 0; k < ColourFromDepth::run; ++k)
            dst[r * ColourFromDepth::run + size_t(k)] =
                m[k] == ColourFromDepth::none ? 0 : src[windows[2 * r + (m[k] >> 5)] + (m[k] & 31)];
#endif
    };
    for (size_t r = 0; r < whole; ++r) {
        u8x32 p8;
        std::memcpy(&p8, picks + r * ColourFromDepth::run, sizeof p8);
        const u16x32 m = __builtin_convertvector(p8, u16x32);
        if (outA)
            one(a, r, m, outA);
        if (outB)
            one(b, r, m, outB);
    }
    // The part run at the end, then the runs kept pixel by pixel.
    auto at = [&](const uint16_t *src, size_t r, size_t k) -> uint16_t {
        const uint8_t pick = picks[r * ColourFromDepth::run + k];
        return pick == ColourFromDepth::none ? 0 : src[windows[2 * r + (pick >> 5)] + (pick & 31)];
    };
    for (size_t c = whole * ColourFromDepth::run; c < map.pixels; ++c) {
        if (outA)
            outA[c] = at(a, whole, c % ColourFromDepth::run);
        if (outB)
            outB[c] = at(b, whole, c % ColourFromDepth::run);
    }
    for (size_t k = 0; k < map.oddRuns.size(); ++k) {
        const size_t first = size_t(map.oddRuns[k]) * ColourFromDepth::run;
        const int32_t *src = &map.oddPixels[k * ColourFromDepth::run];
        for (size_t j = 0; j < ColourFromDepth::run && first + j < map.pixels; ++j) {
            if (outA)
                outA[first + j] = src[j] < 0 ? 0 : a[src[j]];
            if (outB)
                outB[first + j] = src[j] < 0 ? 0 : b[src[j]];
        }
    }
}

// Measured depth and noise level of ball pixels (parallel arrays), and where in the noise table
// each pixel's noise is: the same noise the pixel gets in the room image.
CLONES void measureBalls(const int32_t *__restrict pixels, const uint16_t *__restrict z,
                         const uint16_t *__restrict amplitude, const float *__restrict x, const float *__restrict y,
                         size_t n, const Measure &params, uint32_t seed, uint16_t *__restrict base,
                         uint16_t *__restrict sigma, uint32_t *__restrict noise)
{
    const Measure measure = params;
    for (size_t k = 0; k < n; ++k) {
        // The ray's length as DepthView::radialQ12 has it.
        const double xk = x[k], yk = y[k];
        const uint32_t radialQ12 = uint32_t(std::sqrt(xk * xk + yk * yk + 1.0) * 4096 + 0.5);
        uint16_t s;
        base[k] = measure(z[k], amplitude[k], radialQ12, s);
        sigma[k] = s;
        noise[k] = windowStart(seed, uint32_t(pixels[k]) >> chunkBits) + (uint32_t(pixels[k]) & (chunk - 1));
    }
}

// IR of ball pixels without noise, and where their noise is.
CLONES void ballIr(const int32_t *__restrict pixels, const uint16_t *__restrict amplitude, size_t n, float gain,
                   int ambient, uint32_t seed, uint16_t *__restrict base, uint32_t *__restrict noise)
{
    for (size_t k = 0; k < n; ++k) {
        base[k] = uint16_t(std::min(amplitudeMax, int(float(amplitude[k]) * gain) + ambient));
        noise[k] = windowStart(seed, uint32_t(pixels[k]) >> chunkBits) + (uint32_t(pixels[k]) & (chunk - 1));
    }
}

// Where points seen by depth pixels land on the colour grid, and the block of colour pixels one
// depth pixel covers there (w x h around it, moved inside the image).
struct ColourTarget
{
    float r[9], t[3];
    float fx, fy, cx, cy;
    int width, height, mirror;
    int blockW, blockH;
    int tilesPerRow;
};

// For an undistorted colour grid: pixel index (-1: out of view), block start, tile and depth
// there.
// Written with selects and bitwise tests so that it vectorises.
CLONES void projectPinhole(const float *__restrict x, const float *__restrict y, const uint16_t *__restrict z, size_t n,
                           const ColourTarget &target, int32_t *__restrict colourIndex, int32_t *__restrict blockStart,
                           int32_t *__restrict tile, float *__restrict colourZ)
{
    const ColourTarget g = target;
    const float w = float(g.width), h = float(g.height);
    const int halfW = (g.blockW - 1) / 2, halfH = (g.blockH - 1) / 2;
    const int maxU = g.width - g.blockW, maxV = g.height - g.blockH;
    const float sx = (g.mirror & 1) ? -1.0f : 1.0f, ox = (g.mirror & 1) ? w - 1 : 0.0f;
    const float sy = (g.mirror & 2) ? -1.0f : 1.0f, oy = (g.mirror & 2) ? h - 1 : 0.0f;
    for (size_t k = 0; k < n; ++k) {
        const float d = z[k], px0 = x[k] * d, py0 = y[k] * d;
        const float px = g.r[0] * px0 + g.r[1] * py0 + g.r[2] * d + g.t[0];
        const float py = g.r[3] * px0 + g.r[4] * py0 + g.r[5] * d + g.t[1];
        const float pz = g.r[6] * px0 + g.r[7] * py0 + g.r[8] * d + g.t[2];
        const float inv = 1.0f / (pz < 1.0f ? 1.0f : pz);
        const float u = ox + sx * (g.fx * px * inv + g.cx), v = oy + sy * (g.fy * py * inv + g.cy);
        const bool in = (pz >= 1) & (u > -0.5f) & (v > -0.5f) & (u < w - 0.5f) & (v < h - 0.5f);
        const int iu = int((in ? u : 0.0f) + 0.5f), iv = int((in ? v : 0.0f) + 0.5f); // both at least -0.5
        colourIndex[k] = in ? iv * g.width + iu : -1;
        int bu = iu - halfW, bv = iv - halfH;
        bu = bu < 0 ? 0 : bu > maxU ? maxU : bu;
        bv = bv < 0 ? 0 : bv > maxV ? maxV : bv;
        blockStart[k] = bv * g.width + bu;
        tile[k] = (iv >> View::tileBits) * g.tilesPerRow + (iu >> View::tileBits);
        colourZ[k] = pz;
    }
}

// Colour on the depth grid where there is depth: the registered room copied whole, then the
// few pixels without depth (holes, dropouts: about 2 %) cleared, found 64 at a time.
CLONES void copyWhereDepth(const uint8_t *__restrict rgb, const uint16_t *__restrict depth, size_t n,
                           uint8_t *__restrict out)
{
    std::memcpy(out, rgb, n * 3);
    constexpr size_t block = 64;
    for (size_t i0 = 0; i0 < n; i0 += block) {
        const size_t len = std::min(block, n - i0);
        uint16_t lowest = 0xFFFF;
        for (size_t k = 0; k < len; ++k)
            lowest = depth[i0 + k] < lowest ? depth[i0 + k] : lowest;
        if (lowest)
            continue;
        for (size_t k = 0; k < len; ++k)
            if (!depth[i0 + k])
                std::memset(out + (i0 + k) * 3, 0, 3);
    }
}

// Fills blocks of w x h pixels (W, H: the same known at compile time, or 0) with one value each.
template <int W, int H>
void fillBlocks(const int32_t *starts, const uint16_t *values, size_t n, int width, int w, int h, uint16_t *dst)
{
    if constexpr (W > 0) {
        w = W;
        h = H;
    }
    for (size_t k = 0; k < n; ++k) {
        const uint16_t value = values[k];
        uint16_t *at = dst + starts[k];
        for (int y = 0; y < h; ++y, at += width)
            for (int x = 0; x < w; ++x)
                at[x] = value;
    }
}

void fillBlocks(const int32_t *starts, const uint16_t *values, size_t n, int width, int w, int h, uint16_t *dst)
{
    if (w == 3 && h == 3)
        fillBlocks<3, 3>(starts, values, n, width, w, h, dst);
    else if (w == 2 && h == 2)
        fillBlocks<2, 2>(starts, values, n, width, w, h, dst);
    else
        fillBlocks<0, 0>(starts, values, n, width, w, h, dst);
}

// One frame's pixels covered by a ball, in one depth-sensor view, as parallel arrays.
struct Movers
{
    const DepthView *view = nullptr;
    size_t count = 0;
    std::vector<int32_t> pixels; // farther balls first
    std::vector<uint16_t> z, amplitude;
    std::vector<float> x, y;                        // their rays
    std::vector<int32_t> slotOf;                    // per pixel of the view: its place in pixels, or -1
    std::vector<std::pair<size_t, size_t>> slotted; // the places in pixels that slotOf knows
    std::vector<int32_t> colourIndex;               // where each lands on the colour grid (-1: nowhere)
    std::vector<int32_t> blockStart;                // the colour pixels it covers there
    std::vector<int32_t> colourTile;                // the tile of View::nearest it lands in
    int blockW = 1, blockH = 1;
    // Per frame scratch: one traced row, measured values and noise places, values taken out,
    // blocks to fill on the colour grid.
    std::vector<uint16_t> rowZ, rowAmplitude, depthBase, depthSigma, irBase, keptDepth, keptIr;
    std::vector<uint32_t> depthNoise, irNoise;
    std::vector<float> colourZ;
    std::vector<int32_t> splatStarts;
    std::vector<uint16_t> splatDepth, splatIr;
    size_t splats = 0;

    void reserve(size_t n)
    {
        if (n <= pixels.size())
            return;
        n = std::max(n, 2 * pixels.size());
        for (auto *v : {&pixels, &colourIndex, &blockStart, &colourTile, &splatStarts})
            v->resize(n);
        for (auto *v : {&z, &amplitude, &depthBase, &depthSigma, &irBase, &keptDepth, &keptIr, &splatDepth, &splatIr})
            v->resize(n);
        for (auto *v : {&x, &y, &colourZ})
            v->resize(n);
        depthNoise.resize(n);
        irNoise.resize(n);
    }

    void trace(const DepthView &dv, const Ball *balls, const int *order)
    {
        view = &dv;
        if (slotOf.size() != dv.z.size())
            slotOf.assign(dv.z.size(), -1);
        for (const auto &[first, last] : slotted)
            for (size_t k = first; k < last; ++k)
                slotOf[size_t(pixels[k])] = -1;
        slotted.clear();
        count = 0;
        PixelRect rects[Scene::ballCount];
        bool seen[Scene::ballCount];
        for (int k = 0; k < Scene::ballCount; ++k) {
            const Ball &b = balls[order[k]];
            PixelRect &r = rects[k];
            seen[k] = dv.bounds(b.centre, b.radius, r.u0, r.v0, r.u1, r.v1);
        }
        for (int k = 0; k < Scene::ballCount; ++k) {
            if (!seen[k])
                continue;
            const Ball &b = balls[order[k]];
            const float gain = float(irScale * 1e6 / 255.0) * b.surface.reflectance;
            const BallInView ball(b.centre, b.radius);
            // Only balls whose pictures may overlap need to find out which is nearer per pixel.
            bool alone = true;
            for (int j = 0; j < Scene::ballCount; ++j)
                alone &= j == k || !seen[j] || !rects[k].meets(rects[j]);
            const size_t first = count;
            forBallRows(dv, b.centre, b.radius, rects[k],
                        [&](size_t row, int n, const float *xs, const float *ys, bool sameY, bool roomCanHide) {
                            rowZ.resize(size_t(n));
                            rowAmplitude.resize(size_t(n));
                            auto *trace = sameY
                                              ? (roomCanHide ? depthBallRow<true, true> : depthBallRow<true, false>)
                                              : (roomCanHide ? depthBallRow<false, true> : depthBallRow<false, false>);
                            trace(xs, ys, &dv.z[row], n, ball, gain, rowZ.data(), rowAmplitude.data());
                            reserve(count + size_t(n));
                            if (alone)
                                append(row, n, xs, ys, sameY);
                            else
                                merge(row, n, xs, ys, sameY);
                        });
            if (!alone)
                slotted.emplace_back(first, count);
        }
    }

    // The traced row's ball pixels, without branches.
    void append(size_t row, int n, const float *xs, const float *ys, bool sameY)
    {
        for (int j = 0; j < n; ++j) {
            pixels[count] = int32_t(row + size_t(j));
            z[count] = rowZ[size_t(j)];
            amplitude[count] = rowAmplitude[size_t(j)];
            x[count] = xs[j];
            y[count] = ys[sameY ? 0 : j];
            count += rowZ[size_t(j)] != 0;
        }
    }

    // The same where another ball may already be there: the nearer one wins.
    void merge(size_t row, int n, const float *xs, const float *ys, bool sameY)
    {
        for (int j = 0; j < n; ++j) {
            const uint16_t zj = rowZ[size_t(j)];
            if (!zj)
                continue;
            const size_t i = row + size_t(j);
            if (const int32_t k2 = slotOf[i]; k2 >= 0) {
                if (zj < z[size_t(k2)]) {
                    z[size_t(k2)] = zj;
                    amplitude[size_t(k2)] = rowAmplitude[size_t(j)];
                }
                continue;
            }
            slotOf[i] = int32_t(count);
            pixels[count] = int32_t(i);
            z[count] = zj;
            amplitude[count] = rowAmplitude[size_t(j)];
            x[count] = xs[j];
            y[count] = ys[sameY ? 0 : j];
            ++count;
        }
    }

    // Measured depth and IR of the ball pixels, with the noise their pixels get in the room
    // images (either image may be null).
    void valuesInto(const RenderParams &p, uint16_t *depth, uint32_t depthSeed, uint16_t *ir, uint32_t irSeed)
    {
        if (depth)
            measureBalls(pixels.data(), z.data(), amplitude.data(), x.data(), y.data(), count, Measure(p), depthSeed,
                         depthBase.data(), depthSigma.data(), depthNoise.data());
        if (ir)
            ballIr(pixels.data(), amplitude.data(), count, p.irGain, p.irAmbient ? 60 : 0, irSeed, irBase.data(),
                   irNoise.data());
        const int16_t *table = gauss();
        if (depth && ir) {
            for (size_t k = 0; k < count; ++k) {
                depth[pixels[k]] = noisyDepth(depthBase[k], depthSigma[k], table[depthNoise[k]]);
                ir[pixels[k]] = noisyIr(irBase[k], table[irNoise[k]]);
            }
        } else if (depth) {
            for (size_t k = 0; k < count; ++k)
                depth[pixels[k]] = noisyDepth(depthBase[k], depthSigma[k], table[depthNoise[k]]);
        } else if (ir) {
            for (size_t k = 0; k < count; ++k)
                ir[pixels[k]] = noisyIr(irBase[k], table[irNoise[k]]);
        }
    }

    // Where each ball pixel lands on the colour grid (the room in front of it is checked later).
    void project(const ColourView &cv, const Calibration &cal)
    {
        ColourTarget g;
        g.width = cv.width;
        g.height = cv.height;
        g.blockW = std::clamp(int(std::ceil(cv.lens.fx / view->lens.fx)), 1, cv.width);
        g.blockH = std::clamp(int(std::ceil(cv.lens.fy / view->lens.fy)), 1, cv.height);
        g.tilesPerRow = cv.tilesPerRow;
        if (!cv.raw) {
            for (int k = 0; k < 9; ++k)
                g.r[k] = float(cal.rotation.m[size_t(k)]);
            g.t[0] = float(cal.translation.x);
            g.t[1] = float(cal.translation.y);
            g.t[2] = float(cal.translation.z);
            g.fx = float(cv.lens.fx);
            g.fy = float(cv.lens.fy);
            g.cx = float(cv.lens.cx);
            g.cy = float(cv.lens.cy);
            g.mirror = cv.mirror;
            projectPinhole(x.data(), y.data(), z.data(), count, g, colourIndex.data(), blockStart.data(),
                           colourTile.data(), colourZ.data());
        } else {
            const int halfW = (g.blockW - 1) / 2, halfH = (g.blockH - 1) / 2;
            for (size_t k = 0; k < count; ++k) {
                const Vec3 pc = cal.rotation * (double(z[k]) * Vec3{x[k], y[k], 1.0}) + cal.translation;
                double u, v;
                colourIndex[k] = -1;
                blockStart[k] = 0;
                colourTile[k] = 0;
                colourZ[k] = float(pc.z);
                if (!cv.project(pc, u, v))
                    continue;
                const int iu = int(u + 0.5), iv = int(v + 0.5); // both at least -0.5
                colourIndex[k] = iv * cv.width + iu;
                colourTile[k] = (iv >> View::tileBits) * cv.tilesPerRow + (iu >> View::tileBits);
                blockStart[k] = std::clamp(iv - halfH, 0, cv.height - g.blockH) * cv.width +
                                std::clamp(iu - halfW, 0, cv.width - g.blockW);
            }
        }
        blockW = g.blockW;
        blockH = g.blockH;
    }

    // Before the room is carried over to the colour grid, in one pass over the ball pixels:
    // those hidden behind the room as the colour camera sees it land nowhere; each gets the
    // colour seen there on the depth grid (mappedRgb, if any, where measured has depth); and
    // it is taken out of depth and IR (either may be null), its value kept for its block on the
    // colour grid.
    void takeOut(const ColourView &cv, uint16_t *depth, uint16_t *ir, const uint16_t *measured, const uint8_t *rgb,
                 uint8_t *mappedRgb)
    {
        splats = 0;
        constexpr size_t ahead = 32; // colour pixels are scattered: ask for them early
        for (size_t k = 0; k < count; ++k) {
            if (rgb && k + ahead < count && colourIndex[k + ahead] >= 0)
                __builtin_prefetch(rgb + size_t(colourIndex[k + ahead]) * 3);
            const int32_t i = pixels[k];
            int32_t c = colourIndex[k];
            const float pz = colourZ[k];
            if (c >= 0 && cv.nearest[size_t(colourTile[k])] < pz && cv.z[size_t(c)] &&
                cv.z[size_t(c)] + 15 + 0.02f * pz < pz)
                c = colourIndex[k] = -1;
            if (mappedRgb) { // no depth, no colour
                const bool seen = c >= 0 && measured[i];
                const uint8_t *from = rgb + size_t(seen ? c : 0) * 3;
                uint8_t *o = mappedRgb + size_t(i) * 3;
                o[0] = seen ? from[0] : 0;
                o[1] = seen ? from[1] : 0;
                o[2] = seen ? from[2] : 0;
            }
            if (depth) {
                keptDepth[k] = depth[i];
                depth[i] = 0;
            }
            if (ir) {
                keptIr[k] = ir[i];
                ir[i] = 0;
            }
            if (c >= 0) {
                splatStarts[splats] = blockStart[k];
                splatDepth[splats] = depth ? keptDepth[k] : 0;
                splatIr[splats] = ir ? keptIr[k] : 0;
                ++splats;
            }
        }
    }

    // After: the values go back, and each visible ball pixel covers its block on the colour grid.
    void putBack(uint16_t *depth, uint16_t *ir, int width, uint16_t *mappedDepth, uint16_t *mappedIr) const
    {
        for (size_t k = 0; k < count; ++k) {
            if (depth)
                depth[pixels[k]] = keptDepth[k];
            if (ir)
                ir[pixels[k]] = keptIr[k];
        }
        if (mappedDepth)
            fillBlocks(splatStarts.data(), splatDepth.data(), splats, width, blockW, blockH, mappedDepth);
        if (mappedIr)
            fillBlocks(splatStarts.data(), splatIr.data(), splats, width, blockW, blockH, mappedIr);
    }
};

} // namespace

struct Renderer::Impl
{
    std::array<DepthView, 2> depthViews; // corrected and raw
    std::array<DepthLayer, 2> depthLayers;
    std::array<std::vector<uint16_t>, 2> irLayers;
    std::array<std::string, 2> irKeys;
    ColourView colourView;
    std::array<Registration, 2> registrations;
    MappedLayer mapped;
    std::array<Movers, 2> movers;
    std::vector<uint16_t> history; // last depth output, for the time filter
    std::vector<uint16_t> scratch;
    std::vector<uint32_t> paint; // one painted row of a ball
    Ball balls[Scene::ballCount];
    int order[Scene::ballCount] = {0, 1, 2};

    static int slot(bool undistort) { return undistort ? 0 : 1; }

    const DepthView &depthView(const RenderParams &p, bool undistort)
    {
        DepthView &v = depthViews[slot(undistort)];
        const std::string key = keyOf(p.calibrationVersion, undistort, p.mirror, p.depthWidth, p.depthHeight);
        if (v.key != key) {
            v.build(p.calibration.depth, !undistort, p.mirror, p.depthWidth, p.depthHeight);
            v.key = key;
        }
        return v;
    }

    const DepthLayer &depthLayer(const RenderParams &p, const DepthView &dv)
    {
        DepthLayer &l = depthLayers[slot(!dv.raw)];
        std::string key = keyOf(dv.key, p.rangeParts, p.amplitudeThreshold, p.irGain, p.realDepth);
        for (int k = 0; k < p.rangeParts; ++k)
            key += keyOf(p.ranges[k].depthMax, p.ranges[k].noiseScale);
        if (l.key != key) {
            l.build(dv, p);
            l.key = key;
        }
        return l;
    }

    const std::vector<uint16_t> &irLayer(const RenderParams &p, const DepthView &dv)
    {
        const int s = slot(!dv.raw);
        const std::string key = keyOf(dv.key, p.irGain, p.irAmbient);
        if (irKeys[s] != key) {
            irLayers[s].resize(dv.amplitude.size());
            for (size_t i = 0; i < dv.amplitude.size(); ++i)
                irLayers[s][i] = irOf(dv.amplitude[i], p);
            irKeys[s] = key;
        }
        return irLayers[s];
    }

    const ColourView &colour(const RenderParams &p)
    {
        const std::string key =
            keyOf(p.calibrationVersion, p.rgbUndistort, p.mirror, p.colourWidth, p.colourHeight, p.rgbBrightness);
        if (colourView.key != key) {
            const Lens lens =
                p.calibration.colour.scaledTo(p.colourNativeWidth, p.colourNativeHeight, p.colourWidth, p.colourHeight);
            colourView.build(lens, !p.rgbUndistort, p.mirror, p.colourWidth, p.colourHeight, p.calibration,
                             p.rgbBrightness);
            colourView.key = key;
        }
        return colourView;
    }

    const Registration &registration(const DepthView &dv, const ColourView &cv, const Calibration &cal)
    {
        Registration &r = registrations[slot(!dv.raw)];
        const std::string key = dv.key + "|" + cv.key;
        if (r.key != key) {
            r.build(dv, cv, cal);
            r.key = key;
        }
        return r;
    }

    // The colour images drawn lately: the room, and where the balls were painted over it.
    struct ColourDrawing
    {
        uint64_t id = 0;
        std::string key; // the ColourView's
        size_t bytes = 0;
        int redraws = 0; // partial redraws since the last whole room
        std::vector<PixelRect> painted;
    };
    std::array<ColourDrawing, 4> drawings; // enough for a double-buffered reader and a spare

    void filterDepth(const RenderParams &p, uint16_t *depth, int width, int height);
    void spatialFilter(uint16_t *depth, int width, int height);
    void timeFilter(uint16_t *depth, size_t n);
    void drawColour(const RenderParams &p, const ColourView &cv, Image &out);
};

Renderer::Renderer()
    : d(std::make_unique<Impl>())
{
    gauss();
}

Renderer::~Renderer() = default;

void Renderer::resetHistory()
{
    d->history.clear();
}

void Renderer::Impl::filterDepth(const RenderParams &p, uint16_t *depth, int width, int height)
{
    if (p.spatialFilter)
        spatialFilter(depth, width, height);
    if (p.timeFilter)
        timeFilter(depth, size_t(width) * height);
    else
        history.clear();
}

// Averages each pixel with the 3 x 3 neighbours that lie on the same surface.
void Renderer::Impl::spatialFilter(uint16_t *depth, int width, int height)
{
    scratch.assign(depth, depth + size_t(width) * height);
    const uint16_t *in = scratch.data();
    for (int v = 1; v < height - 1; ++v) {
        for (int u = 1; u < width - 1; ++u) {
            const int i = v * width + u;
            const int c = in[i];
            if (!c)
                continue;
            const int limit = 20 + c / 32;
            int sum = 0, count = 0;
            for (int dv = -1; dv <= 1; ++dv) {
                const uint16_t *row = in + i + dv * width;
                for (int du = -1; du <= 1; ++du) {
                    const int s = row[du];
                    if (s && std::abs(s - c) < limit) {
                        sum += s;
                        ++count;
                    }
                }
            }
            depth[i] = uint16_t((sum + count / 2) / count);
        }
    }
}

// Blends each pixel with its history while the scene there stays put.
void Renderer::Impl::timeFilter(uint16_t *depth, size_t n)
{
    if (history.size() != n) {
        history.assign(depth, depth + n);
        return;
    }
    for (size_t i = 0; i < n; ++i) {
        const int cur = depth[i], prev = history[i];
        if (cur && prev && std::abs(cur - prev) < 15 + cur / 50)
            depth[i] = uint16_t((prev * 3 + cur + 2) >> 2);
        history[i] = depth[i];
    }
}

void Renderer::Impl::drawColour(const RenderParams &p, const ColourView &cv, Image &image)
{
    struct Painted
    {
        BallInView seen;
        Vec3 centre;
        double radius;
        double farthest; // depth of the ball's far side
        PixelRect rect;
        float r, g, b;
    };
    Painted painted[Scene::ballCount];
    int count = 0;
    const Calibration &cal = p.calibration;
    for (int k = 0; k < Scene::ballCount; ++k) { // farther first
        const Ball &ball = balls[order[k]];
        const Vec3 centre = cal.rotation * ball.centre + cal.translation;
        PixelRect r;
        if (cv.bounds(centre, ball.radius, r.u0, r.v0, r.u1, r.v1))
            painted[count++] = Painted{BallInView(centre, ball.radius),
                                       centre,
                                       ball.radius,
                                       centre.z + ball.radius,
                                       r,
                                       float(ball.surface.r) * p.rgbBrightness,
                                       float(ball.surface.g) * p.rgbBrightness,
                                       float(ball.surface.b) * p.rgbBrightness};
    }
    // An image that still holds one of our drawings of this room only needs the room back where
    // the balls were; any other gets the whole room, and so does every 31st drawing into one
    // image, so that a client that wrote into a frame's buffer spoils only a second or two.
    uint8_t *out = image.data.data();
    const size_t width = size_t(cv.width);
    auto known = std::find_if(drawings.begin(), drawings.end(), [&](const ColourDrawing &d) {
        return image.drawing != 0 && d.id == image.drawing && d.key == cv.key && d.bytes == image.data.size();
    });
    int redraws = 0;
    if (known != drawings.end() && known->redraws < 30) {
        redraws = known->redraws + 1;
        for (const PixelRect &r : known->painted)
            for (int v = r.v0; v <= r.v1; ++v) {
                const size_t first = (size_t(v) * width + size_t(r.u0)) * 3;
                std::memcpy(out + first, cv.rgb.data() + first, size_t(r.u1 - r.u0 + 1) * 3);
            }
    } else {
        if (known == drawings.end())
            known = std::min_element(drawings.begin(), drawings.end(),
                                     [](const ColourDrawing &a, const ColourDrawing &b) { return a.id < b.id; });
        std::memcpy(out, cv.rgb.data(), cv.rgb.size());
    }
    known->redraws = redraws;
    static std::atomic<uint64_t> lastDrawing{0}; // ids unique across renderers
    known->id = image.drawing = ++lastDrawing;
    known->key = cv.key;
    known->bytes = image.data.size();
    known->painted.clear();

    for (int k = 0; k < count; ++k) {
        const Painted &b = painted[k];
        known->painted.push_back(b.rect);
        for (int v = b.rect.v0; v <= b.rect.v1; ++v) {
            int u0 = b.rect.u0, u1 = b.rect.u1;
            if (!cv.rowSpan(v, b.centre, b.radius, u0, u1))
                continue;
            const int n = u1 - u0 + 1;
            const size_t first = size_t(v) * width + size_t(u0);
            paint.resize(size_t(n));
            const bool roomCanHide = cv.nearestInRow(v, u0, u1) <= b.farthest;
            auto *trace = cv.raw ? (roomCanHide ? colourBallRow<false, true> : colourBallRow<false, false>)
                                 : (roomCanHide ? colourBallRow<true, true> : colourBallRow<true, false>);
            const float *xs = cv.raw ? &cv.rx[first] : &cv.columnX[size_t(u0)];
            const float *ys = cv.raw ? &cv.ry[first] : &cv.rowY[size_t(v)];
            trace(xs, ys, &cv.z[first], n, b.seen, b.r, b.g, b.b, paint.data());
            blendRow(paint.data(), n, out + first * 3);
        }
    }
}

void Renderer::render(const RenderParams &p, FrameSet &out)
{
    Impl &m = *d;
    out.flags = 0;
    const uint32_t want = p.kinds;
    const bool wdr = want & wdrDepthReady;
    const bool wantDepth = want & (depthReady | wdrDepthReady);
    const bool wantIr = want & irReady;
    const bool wantRgb = want & rgbReady;
    const bool wantMappedRgb = (want & mappedRGBReady) && wantDepth;
    const bool wantMappedDepth = (want & mappedDepthReady) && wantDepth;
    const bool wantMappedIr = (want & mappedIRReady) && wantIr;
    if (!wantDepth && !wantIr && !wantRgb)
        return;

    Scene::ballsAt(p.sceneTime, m.balls);
    std::sort(m.order, m.order + Scene::ballCount,
              [&](int a, int b) { return m.balls[a].centre.z > m.balls[b].centre.z; });

    const Calibration &cal = p.calibration;
    const bool anyMapped = wantMappedRgb || wantMappedDepth || wantMappedIr;
    const ColourView *cv = (wantRgb || anyMapped) ? &m.colour(p) : nullptr;
    const int dw = p.depthWidth, dh = p.depthHeight;
    const size_t dn = size_t(dw) * dh;

    const DepthView *depthView = wantDepth ? &m.depthView(p, p.depthUndistort) : nullptr;
    const DepthView *irView = wantIr ? &m.depthView(p, p.irUndistort) : nullptr;
    // Depth and IR come from one sensor; with the same undistortion they share one trace.
    Movers &depthMovers = m.movers[Impl::slot(p.depthUndistort)];
    Movers &irMovers = m.movers[Impl::slot(p.irUndistort)];
    const bool shared = depthView && irView && depthView == irView;
    if (depthView)
        depthMovers.trace(*depthView, m.balls, m.order);
    if (irView && !shared)
        irMovers.trace(*irView, m.balls, m.order);

    const int depthSlot = wdr ? WDRDepthFrame : DepthFrame;
    const uint32_t depthSeed = p.noiseSeed, irSeed = p.noiseSeed * 7 + 99991;
    uint16_t *depth = nullptr, *ir = nullptr;
    const DepthLayer *depthLayer = nullptr;
    if (wantDepth) {
        out.images[depthSlot].resize(dw, dh, 2);
        depth = out.images[depthSlot].u16();
        depthLayer = &m.depthLayer(p, *depthView);
        out.flags |= wdr ? wdrDepthReady : depthReady;
    }
    const uint16_t *irRoom = nullptr;
    if (wantIr) {
        out.images[IRFrame].resize(dw, dh, 2);
        ir = out.images[IRFrame].u16();
        irRoom = m.irLayer(p, *irView).data();
        out.flags |= irReady;
    }
    // The room with fresh noise; depth and IR of one trace in one pass.
    if (depth && ir && shared) {
        addNoise(depthLayer->base.data(), depthLayer->sigma.data(), depth, depthSeed, irRoom, ir, irSeed, dn);
    } else {
        if (depth)
            addNoise(depthLayer->base.data(), depthLayer->sigma.data(), depth, depthSeed, nullptr, nullptr, 0, dn);
        if (ir)
            addNoise(nullptr, nullptr, nullptr, 0, irRoom, ir, irSeed, dn);
    }
    // Then the balls, with the noise their pixels get.
    if (shared) {
        depthMovers.valuesInto(p, depth, depthSeed, ir, irSeed);
    } else {
        if (depth)
            depthMovers.valuesInto(p, depth, depthSeed, nullptr, 0);
        if (ir)
            irMovers.valuesInto(p, nullptr, 0, ir, irSeed);
    }
    if (depth)
        m.filterDepth(p, depth, dw, dh);
    if (wantRgb || wantMappedRgb) {
        out.images[RGBFrame].resize(p.colourWidth, p.colourHeight, 3);
        m.drawColour(p, *cv, out.images[RGBFrame]);
        if (wantRgb)
            out.flags |= rgbReady;
    }
    if (!anyMapped)
        return;

    // The registered room, rebuilt when the geometry changes.
    const Registration *depthReg = depthView ? &m.registration(*depthView, *cv, cal) : nullptr;
    const Registration *irReg = irView ? &m.registration(*irView, *cv, cal) : nullptr;
    if (depthReg && m.mapped.key != depthReg->key) {
        m.mapped.rgb.assign(dn * 3, 0);
        for (size_t i = 0; i < dn; ++i)
            if (const int32_t c = depthReg->depthToColour[i]; c >= 0)
                std::memcpy(&m.mapped.rgb[i * 3], &cv->rgb[size_t(c) * 3], 3);
        m.mapped.key = depthReg->key;
    }

    uint8_t *mappedRgb = nullptr;
    uint16_t *mappedDepth = nullptr, *mappedIr = nullptr;
    if (wantMappedRgb) {
        out.images[MappedRGBFrame].resize(dw, dh, 3);
        mappedRgb = out.images[MappedRGBFrame].data.data();
        copyWhereDepth(m.mapped.rgb.data(), depth, dn, mappedRgb); // no depth, no colour
        out.flags |= mappedRGBReady;
    }
    if (wantMappedDepth) {
        out.images[MappedDepthFrame].resize(p.colourWidth, p.colourHeight, 2);
        mappedDepth = out.images[MappedDepthFrame].u16();
        out.flags |= mappedDepthReady;
    }
    if (wantMappedIr) {
        out.images[MappedIRFrame].resize(p.colourWidth, p.colourHeight, 2);
        mappedIr = out.images[MappedIRFrame].u16();
        out.flags |= mappedIRReady;
    }
    // Depth and IR on the colour grid are the sensor's own measurements (noise, holes and filters
    // included) carried over through the registered room. The balls are taken out first: the
    // room they hide from the depth camera stays empty on the colour grid (their shadow as the
    // colour camera sees it); then each ball pixel is spread over the colour pixels it covers.
    const uint8_t *rgb = mappedRgb ? out.images[RGBFrame].data.data() : nullptr; // drawn above
    uint16_t *depthOut = mappedDepth ? depth : nullptr, *irOut = mappedIr ? ir : nullptr;
    if (mappedRgb || depthOut || (shared && irOut)) {
        depthMovers.project(*cv, cal);
        depthMovers.takeOut(*cv, depthOut, shared ? irOut : nullptr, depth, rgb, mappedRgb);
    }
    if (irOut && !shared) {
        irMovers.project(*cv, cal);
        irMovers.takeOut(*cv, nullptr, irOut, nullptr, nullptr, nullptr);
    }
    if (depthOut && irOut && shared) {
        mapRuns(depthReg->colourToDepth, depth, mappedDepth, ir, mappedIr);
    } else {
        if (depthOut)
            mapRuns(depthReg->colourToDepth, depth, mappedDepth, nullptr, nullptr);
        if (irOut)
            mapRuns(irReg->colourToDepth, ir, mappedIr, nullptr, nullptr);
    }
    if (shared) {
        depthMovers.putBack(depthOut, irOut, cv->width, mappedDepth, mappedIr);
    } else {
        depthMovers.putBack(depthOut, nullptr, cv->width, mappedDepth, nullptr);
        irMovers.putBack(nullptr, irOut, cv->width, nullptr, mappedIr);
    }
}

} // namespace sim
