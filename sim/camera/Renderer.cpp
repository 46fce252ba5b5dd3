#include "Renderer.h"

#include "Scene.h"

#include <sdk/quillon_api.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <sstream>

// The noise loops are built for several vector units and picked at load time.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__) &&            \
    !defined(__SANITIZE_ADDRESS__)
#define CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define CLONES
#endif

namespace sim {

void Image::resize(int w, int h, int bpp)
{
    width = w;
    height = h;
    bytesPerPixel = bpp;
    data.resize(size_t(w) * h * bpp);
}

namespace {

// How the frames are made fast enough for 30 frame sets a second:
// - everything that only depends on the settings (rays, the room as each sensor sees it, the
//   measured depth and its noise level, the registration maps and the registered room) is
//   computed once into "layers" and rebuilt only when a setting it depends on changes;
// - a frame traces only the pixels the balls cover, and adds noise to whole images in tight
//   loops over contiguous arrays, 64 Ki pixels at a time with a random window of a Gaussian
//   table, which the compiler turns into vector code.

constexpr int chunkBits = 16;
constexpr size_t chunk = size_t(1) << chunkBits;
constexpr int amplitudeMax = 4095;
constexpr double irScale = 4200; // amplitude of a white surface 1 m away, head on
constexpr int dropoutLimit = 870; // |g| beyond 3.4 sigma: the pixel drops out
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
inline const int16_t *noiseWindow(uint32_t seed, size_t chunkIndex)
{
    uint32_t h = seed ^ uint32_t(chunkIndex * 0x9E3779B9u);
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    return gauss() + (h & (chunk - 1));
}

inline int noiseAt(uint32_t seed, size_t i)
{
    return noiseWindow(seed, i >> chunkBits)[i & (chunk - 1)];
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

// Measured depth without noise (0: invalid) and its noise level (millimetres times 256).
inline uint16_t measure(uint32_t z, uint32_t amplitude, uint32_t radialQ12, const RenderParams &p, uint16_t &sigma)
{
    sigma = 0;
    const uint32_t a = std::min<uint32_t>(amplitudeMax, uint32_t(amplitude * p.irGain));
    if (z == 0 || a < uint32_t(p.amplitudeThreshold))
        return 0;
    int part = 0;
    while (part < p.rangeParts && z > p.ranges[part].depthMax)
        ++part;
    if (part == p.rangeParts)
        return 0; // beyond the range: no unambiguous phase
    sigma = uint16_t(std::min(maxSigma, 256.0 * p.ranges[part].noiseScale * (0.8 + 900.0 / std::max(a, 1u))));
    const uint32_t measured = p.realDepth ? z : (z * radialQ12) >> 12; // radial distance without correction
    return uint16_t(std::clamp<uint32_t>(measured, 1, maxDepth));
}

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

// out = base + noise over whole images, in 16-bit arithmetic that the compiler turns into
// vector code; built for the widest vector unit the machine has. Measured depth stays below
// maxDepth and its noise level below maxSigma, so no sum leaves the 16-bit range.
template <typename Sigma>
CLONES void addDepthNoise(const uint16_t *__restrict base, const Sigma *__restrict sigma, uint16_t *__restrict out,
                          size_t n, uint32_t seed)
{
    constexpr int shift = sizeof(Sigma) == 1 ? 6 : 0;
    for (size_t c0 = 0; c0 < n; c0 += chunk) {
        const int16_t *__restrict g = noiseWindow(seed, c0 >> chunkBits);
        const size_t len = std::min(chunk, n - c0);
        const int16_t *__restrict b = reinterpret_cast<const int16_t *>(base + c0);
        const Sigma *__restrict s = sigma + c0;
        int16_t *__restrict o = reinterpret_cast<int16_t *>(out + c0);
        for (size_t k = 0; k < len; ++k) {
            const int16_t noise = int16_t((int32_t(g[k]) * int32_t(int16_t(s[k] << shift))) >> 16);
            int16_t v = int16_t(b[k] + noise);
            v = v < 1 ? int16_t(1) : v;
            const bool keep = b[k] != 0 && g[k] <= dropoutLimit && g[k] >= -dropoutLimit;
            o[k] = keep ? v : int16_t(0);
        }
    }
}

CLONES void addIrNoise(const uint16_t *__restrict base, uint16_t *__restrict out, size_t n, uint32_t seed)
{
    for (size_t c0 = 0; c0 < n; c0 += chunk) {
        const int16_t *__restrict g = noiseWindow(seed, c0 >> chunkBits);
        const size_t len = std::min(chunk, n - c0);
        const int16_t *__restrict b = reinterpret_cast<const int16_t *>(base + c0);
        int16_t *__restrict o = reinterpret_cast<int16_t *>(out + c0);
        for (size_t k = 0; k < len; ++k) {
            const int16_t sigma = int16_t(256 + (b[k] << 2));
            int16_t v = int16_t(b[k] + int16_t((int32_t(g[k]) * int32_t(sigma)) >> 16));
            v = v < 0 ? int16_t(0) : v;
            o[k] = v > amplitudeMax ? int16_t(amplitudeMax) : v;
        }
    }
}

// A sensor's pixel grid: the ray of every pixel and the projection of points onto it.
struct View {
    std::string key;
    Lens lens;
    bool raw = false;
    int mirror = 0;
    int width = 0, height = 0;
    std::vector<float> rx, ry; // normalised ray (z = 1) of each pixel, in the sensor frame
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;

    void buildRays(const Lens &l, bool distorted, int mirrorMode, int w, int h)
    {
        lens = l;
        raw = distorted;
        mirror = mirrorMode;
        width = w;
        height = h;
        rx.resize(size_t(w) * h);
        ry.resize(rx.size());
        xMin = yMin = 1e9;
        xMax = yMax = -1e9;
        for (int v = 0; v < h; ++v) {
            for (int u = 0; u < w; ++u) {
                const int su = (mirror & 1) ? w - 1 - u : u;
                const int sv = (mirror & 2) ? h - 1 - v : v;
                double x = (su - lens.cx) / lens.fx, y = (sv - lens.cy) / lens.fy;
                if (raw)
                    lens.undistort(x, y, x, y);
                const size_t i = size_t(v) * w + u;
                rx[i] = float(x);
                ry[i] = float(y);
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
        return u0 <= u1 && v0 <= v1;
    }
};

// One row of a view against one ball: t (the hit's z; 0 where the ball misses or hides behind
// the room) and the cosine between surface and ray, for n pixels. Vectorised.
CLONES void traceRow(const float *__restrict rx, const float *__restrict ry, const uint16_t *__restrict roomZ, int n,
                     float cx, float cy, float cz, float cc, float invR, float *__restrict t, float *__restrict cosine)
{
    for (int k = 0; k < n; ++k) {
        const float x = rx[k], y = ry[k];
        const float b = x * cx + y * cy + cz;
        const float a = x * x + y * y + 1.0f;
        const float disc = b * b - a * cc;
        const float root = std::sqrt(std::max(disc, 0.0f));
        const float hitT = (b - root) / a;
        const float zb = float(roomZ[k]);
        const bool hit = (disc >= 0) & (hitT > 1) & ((zb == 0) | (hitT < zb)); // no branches: vectorised
        t[k] = hit ? hitT : 0.0f;
        cosine[k] = root * invR / std::sqrt(a);
    }
}

// Calls f(pixel index, t, cosine, x, y) for every pixel of the view where the ball is seen.
template <typename F> void forBallPixels(const View &view, const uint16_t *roomZ, Vec3 c, double radius, F &&f)
{
    int u0, v0, u1, v1;
    if (!view.bounds(c, radius, u0, v0, u1, v1))
        return;
    static thread_local std::vector<float> t, cosine;
    const int n = u1 - u0 + 1;
    t.resize(size_t(n));
    cosine.resize(size_t(n));
    const float cc = float(dot(c, c) - radius * radius);
    for (int v = v0; v <= v1; ++v) {
        const int row = v * view.width + u0;
        traceRow(&view.rx[row], &view.ry[row], &roomZ[row], n, float(c.x), float(c.y), float(c.z), cc,
                 float(1 / radius), t.data(), cosine.data());
        for (int k = 0; k < n; ++k)
            if (t[k] > 0)
                f(row + k, t[k], cosine[k], view.rx[row + k], view.ry[row + k]);
    }
}

// The depth sensor's picture of the static room.
struct DepthView : View {
    std::vector<uint16_t> z, amplitude, radialQ12;

    void build(const Lens &l, bool distorted, int mirrorMode, int w, int h)
    {
        buildRays(l, distorted, mirrorMode, w, h);
        const size_t n = rx.size();
        z.assign(n, 0);
        amplitude.assign(n, 0);
        radialQ12.resize(n);
        for (size_t i = 0; i < n; ++i) {
            const Vec3 d{rx[i], ry[i], 1.0};
            const double len = length(d);
            radialQ12[i] = uint16_t(std::lround(len * 4096));
            StaticHit hit;
            if (!Scene::intersectStatic(Vec3{}, d, hit) || hit.t > 65000)
                continue;
            z[i] = uint16_t(std::lround(hit.t));
            amplitude[i] = amplitudeOf(hit.surface.reflectance, -dot(hit.normal, d) / len, hit.t * len);
        }
    }
};

// Measured depth of the static room and its noise level, for the current range settings.
struct DepthLayer {
    std::string key;
    std::vector<uint16_t> base, sigma;

    void build(const DepthView &dv, const RenderParams &p)
    {
        const size_t n = dv.z.size();
        base.resize(n);
        sigma.resize(n);
        for (size_t i = 0; i < n; ++i)
            base[i] = measure(dv.z[i], dv.amplitude[i], dv.radialQ12[i], p, sigma[i]);
    }
};

// The colour sensor's picture of the static room (shaded colour and z in the colour frame).
struct ColourView : View {
    std::vector<uint8_t> rgb;
    std::vector<uint16_t> z;

    void build(const Lens &l, bool distorted, int mirrorMode, int w, int h, const Calibration &cal, float brightness)
    {
        buildRays(l, distorted, mirrorMode, w, h);
        const size_t n = rx.size();
        rgb.assign(n * 3, 0);
        z.assign(n, 0);
        const Mat3 rt = cal.rotation.transposed();
        const Vec3 origin = -1.0 * (rt * cal.translation);
        for (size_t i = 0; i < n; ++i) {
            const Vec3 dc{rx[i], ry[i], 1.0};
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
    }
};

// Registration of the static room between a depth-sensor view and the colour view: for each
// pixel of one grid the pixel of the other that sees the same point (-1: hidden or out of
// view).
struct Registration {
    std::string key;
    std::vector<int32_t> depthToColour, colourToDepth;

    void build(const DepthView &dv, const ColourView &cv, const Calibration &cal)
    {
        depthToColour.assign(dv.z.size(), -1);
        colourToDepth.assign(cv.z.size(), -1);
        const Mat3 rt = cal.rotation.transposed();
        auto sameSurface = [](double expected, uint16_t seen) {
            return seen != 0 && std::fabs(expected - seen) < 15 + 0.02 * expected;
        };
        for (size_t i = 0; i < dv.z.size(); ++i) {
            if (!dv.z[i])
                continue;
            const Vec3 pc = cal.rotation * (double(dv.z[i]) * Vec3{dv.rx[i], dv.ry[i], 1.0}) + cal.translation;
            const int c = cv.pixelIndex(pc);
            if (c >= 0 && sameSurface(pc.z, cv.z[c]))
                depthToColour[i] = c;
        }
        for (size_t c = 0; c < cv.z.size(); ++c) {
            if (!cv.z[c])
                continue;
            const Vec3 pd = rt * (double(cv.z[c]) * Vec3{cv.rx[c], cv.ry[c], 1.0} - cal.translation);
            const int i = dv.pixelIndex(pd);
            if (i >= 0 && sameSurface(pd.z, dv.z[i]))
                colourToDepth[c] = i;
        }
    }
};

// The registered images of the static room: colour on the depth grid, and measured depth, its
// noise level and IR on the colour grid.
struct MappedLayer {
    std::string key;
    std::vector<uint8_t> rgb;
    std::vector<uint16_t> depth, ir;
    std::vector<uint8_t> sigma;
};

// One frame's pixels covered by a ball, in one depth-sensor view.
struct Movers {
    std::vector<int32_t> pixels; // farther balls first
    std::vector<uint16_t> z, amplitude;
    std::vector<int32_t> slotOf; // per pixel of the view: its place in pixels, or -1
    std::vector<float> colourU, colourV;
    std::vector<int32_t> colourIndex; // where each lands on the colour grid (-1: nowhere)
    const View *view = nullptr;

    void trace(const DepthView &dv, const Ball *balls, const int *order)
    {
        view = &dv;
        if (slotOf.size() != dv.z.size())
            slotOf.assign(dv.z.size(), -1);
        for (int32_t i : pixels)
            slotOf[i] = -1;
        pixels.clear();
        z.clear();
        amplitude.clear();
        for (int k = 0; k < Scene::ballCount; ++k) {
            const Ball &b = balls[order[k]];
            const float gain = float(irScale * 1e6 / 255.0) * b.surface.reflectance;
            forBallPixels(dv, dv.z.data(), b.centre, b.radius, [&](int i, float t, float cosine, float x, float y) {
                const uint16_t zi = uint16_t(t + 0.5f);
                const float range2 = std::max(t * t * (x * x + y * y + 1.0f), 2500.0f);
                const uint16_t ai = uint16_t(std::min(gain * cosine / range2, float(amplitudeMax)));
                if (const int32_t k2 = slotOf[i]; k2 >= 0) { // a nearer ball in front of a farther one
                    if (zi < z[k2]) {
                        z[k2] = zi;
                        amplitude[k2] = ai;
                    }
                    return;
                }
                slotOf[i] = int32_t(pixels.size());
                pixels.push_back(i);
                z.push_back(zi);
                amplitude.push_back(ai);
            });
        }
    }

    // Where each ball pixel lands on the colour grid; hidden behind the static room: nowhere.
    void project(const ColourView &cv, const Calibration &cal)
    {
        colourU.resize(pixels.size());
        colourV.resize(pixels.size());
        colourIndex.resize(pixels.size());
        for (size_t k = 0; k < pixels.size(); ++k) {
            const int32_t i = pixels[k];
            const Vec3 pc = cal.rotation * (double(z[k]) * Vec3{view->rx[i], view->ry[i], 1.0}) + cal.translation;
            double u, v;
            colourIndex[k] = -1;
            if (!cv.project(pc, u, v))
                continue;
            const int c = int(v + 0.5) * cv.width + int(u + 0.5); // both at least -0.5
            if (cv.z[c] && cv.z[c] + 15 + 0.02 * pc.z < pc.z)
                continue;
            colourIndex[k] = c;
            colourU[k] = float(u);
            colourV[k] = float(v);
        }
    }
};

} // namespace

struct Renderer::Impl {
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
        const std::string key = keyOf(p.calibrationVersion, p.rgbUndistort, p.mirror, p.colourWidth, p.colourHeight,
                                      p.rgbBrightness);
        if (colourView.key != key) {
            const Lens lens = p.calibration.colour.scaledTo(p.colourNativeWidth, p.colourNativeHeight,
                                                            p.colourWidth, p.colourHeight);
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

    void processDepth(const RenderParams &p, const DepthView &dv, const Movers &mv, uint16_t *out);
    void spatialFilter(uint16_t *depth, int width, int height);
    void timeFilter(uint16_t *depth, size_t n);
    void drawColour(const RenderParams &p, const ColourView &cv, uint8_t *out);
    void mapColourOntoDepth(const Movers &mv, const uint16_t *depth, const uint8_t *rgb, uint8_t *out);
    void splatOntoColour(const Movers &mv, const Registration &reg, const ColourView &cv, const uint16_t *src1,
                         uint16_t *dst1, const uint16_t *src2, uint16_t *dst2);
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

void Renderer::Impl::processDepth(const RenderParams &p, const DepthView &dv, const Movers &mv, uint16_t *out)
{
    const DepthLayer &layer = depthLayer(p, dv);
    addDepthNoise(layer.base.data(), layer.sigma.data(), out, layer.base.size(), p.noiseSeed);
    for (size_t k = 0; k < mv.pixels.size(); ++k) {
        const int32_t i = mv.pixels[k];
        uint16_t sigma;
        const uint16_t base = measure(mv.z[k], mv.amplitude[k], dv.radialQ12[i], p, sigma);
        out[i] = noisyDepth(base, sigma, noiseAt(p.noiseSeed, size_t(i)));
    }
    if (p.spatialFilter)
        spatialFilter(out, dv.width, dv.height);
    if (p.timeFilter)
        timeFilter(out, layer.base.size());
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

void Renderer::Impl::drawColour(const RenderParams &p, const ColourView &cv, uint8_t *out)
{
    std::memcpy(out, cv.rgb.data(), cv.rgb.size());
    const Calibration &cal = p.calibration;
    for (int k = 0; k < Scene::ballCount; ++k) {
        const Ball &ball = balls[order[k]];
        const Vec3 centre = cal.rotation * ball.centre + cal.translation;
        const float r = float(ball.surface.r) * p.rgbBrightness, g = float(ball.surface.g) * p.rgbBrightness,
                    b = float(ball.surface.b) * p.rgbBrightness;
        forBallPixels(cv, cv.z.data(), centre, ball.radius, [&](int i, float, float cosine, float, float) {
            const float shade = 0.25f + 0.75f * cosine;
            uint8_t *o = out + size_t(i) * 3;
            o[0] = uint8_t(std::min(255.0f, r * shade));
            o[1] = uint8_t(std::min(255.0f, g * shade));
            o[2] = uint8_t(std::min(255.0f, b * shade));
        });
    }
}

void Renderer::Impl::mapColourOntoDepth(const Movers &mv, const uint16_t *depth, const uint8_t *rgb, uint8_t *out)
{
    const size_t n = mapped.rgb.size() / 3;
    std::memcpy(out, mapped.rgb.data(), n * 3);
    for (size_t i = 0; i < n; ++i)
        if (!depth[i]) // no depth, no colour
            std::memset(out + i * 3, 0, 3);
    for (size_t k = 0; k < mv.pixels.size(); ++k) {
        const int32_t i = mv.pixels[k], c = mv.colourIndex[k];
        if (c >= 0 && depth[i])
            std::memcpy(out + size_t(i) * 3, rgb + size_t(c) * 3, 3);
        else
            std::memset(out + size_t(i) * 3, 0, 3);
    }
}

// Ball pixels on the colour grid: the room they hide from the depth camera is left empty (the
// ball's shadow as the colour camera sees it), then each is spread over the colour pixels it
// covers. Depth and IR of one trace are done in one pass (dst2 may be null).
void Renderer::Impl::splatOntoColour(const Movers &mv, const Registration &reg, const ColourView &cv,
                                     const uint16_t *src1, uint16_t *dst1, const uint16_t *src2, uint16_t *dst2)
{
    const int width = cv.width, height = cv.height;
    const int w = std::max(1, int(std::ceil(cv.lens.fx / mv.view->lens.fx)));
    const int h = std::max(1, int(std::ceil(cv.lens.fy / mv.view->lens.fy)));
    auto fill = [&](int u0, int v0, uint16_t a, uint16_t b) {
        u0 = std::clamp(u0, 0, width - w);
        v0 = std::clamp(v0, 0, height - h);
        for (int v = v0; v < v0 + h; ++v) {
            uint16_t *row1 = dst1 + size_t(v) * width + u0;
            uint16_t *row2 = dst2 ? dst2 + size_t(v) * width + u0 : nullptr;
            for (int u = 0; u < w; ++u) {
                row1[u] = a;
                if (row2)
                    row2[u] = b;
            }
        }
    };
    const int halfW = (w - 1) / 2, halfH = (h - 1) / 2;
    for (int32_t i : mv.pixels)
        if (const int32_t c = reg.depthToColour[i]; c >= 0)
            fill(c % width - halfW, c / width - halfH, 0, 0);
    for (size_t k = 0; k < mv.pixels.size(); ++k) {
        if (mv.colourIndex[k] < 0)
            continue;
        const int32_t i = mv.pixels[k];
        fill(int(mv.colourU[k] + 0.5f) - halfW, int(mv.colourV[k] + 0.5f) - halfH, src1[i], src2 ? src2[i] : 0);
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
    if (wantMappedRgb || wantMappedDepth || (shared && wantMappedIr))
        depthMovers.project(*cv, cal);
    if (wantMappedIr && !shared)
        irMovers.project(*cv, cal);

    const int depthSlot = wdr ? WDRDepthFrame : DepthFrame;
    uint16_t *depth = nullptr, *ir = nullptr;
    if (wantDepth) {
        out.images[depthSlot].resize(dw, dh, 2);
        depth = out.images[depthSlot].u16();
        m.processDepth(p, *depthView, depthMovers, depth);
        out.flags |= wdr ? wdrDepthReady : depthReady;
    }
    if (wantIr) {
        out.images[IRFrame].resize(dw, dh, 2);
        ir = out.images[IRFrame].u16();
        addIrNoise(m.irLayer(p, *irView).data(), ir, dn, p.noiseSeed * 7 + 99991);
        for (size_t k = 0; k < irMovers.pixels.size(); ++k) {
            const int32_t i = irMovers.pixels[k];
            ir[i] = noisyIr(irOf(irMovers.amplitude[k], p), noiseAt(p.noiseSeed * 7 + 99991, size_t(i)));
        }
        out.flags |= irReady;
    }
    if (wantRgb || wantMappedRgb) {
        out.images[RGBFrame].resize(p.colourWidth, p.colourHeight, 3);
        m.drawColour(p, *cv, out.images[RGBFrame].data.data());
        if (wantRgb)
            out.flags |= rgbReady;
    }
    if (!anyMapped)
        return;

    // The registered room, rebuilt when the geometry or the depth settings change.
    const Registration *depthReg = depthView ? &m.registration(*depthView, *cv, cal) : nullptr;
    const Registration *irReg = irView ? &m.registration(*irView, *cv, cal) : nullptr;
    const float filterFactor = (p.timeFilter ? 0.5f : 1.0f) * (p.spatialFilter ? 0.6f : 1.0f);
    const std::string key = keyOf(depthReg ? depthReg->key : "", depthView ? m.depthLayer(p, *depthView).key : "",
                                  irReg ? irReg->key : "", irView ? m.irKeys[Impl::slot(!irView->raw)] : "",
                                  filterFactor);
    if (m.mapped.key != key) {
        const size_t cn = cv->z.size();
        m.mapped.rgb.assign(dn * 3, 0);
        m.mapped.depth.assign(cn, 0);
        m.mapped.sigma.assign(cn, 0);
        m.mapped.ir.assign(cn, 0);
        if (depthReg) {
            const DepthLayer &layer = m.depthLayer(p, *depthView);
            for (size_t i = 0; i < dn; ++i)
                if (const int32_t c = depthReg->depthToColour[i]; c >= 0)
                    std::memcpy(&m.mapped.rgb[i * 3], &cv->rgb[size_t(c) * 3], 3);
            for (size_t c = 0; c < cn; ++c) {
                if (const int32_t i = depthReg->colourToDepth[c]; i >= 0) {
                    m.mapped.depth[c] = layer.base[i];
                    m.mapped.sigma[c] = uint8_t(std::min(255.0f, std::ceil(layer.sigma[i] / 64.0f * filterFactor)));
                }
            }
        }
        if (irReg) {
            const std::vector<uint16_t> &irRoom = m.irLayer(p, *irView);
            for (size_t c = 0; c < cn; ++c)
                if (const int32_t i = irReg->colourToDepth[c]; i >= 0)
                    m.mapped.ir[c] = irRoom[i];
        }
        m.mapped.key = key;
    }

    if (wantMappedRgb) {
        out.images[MappedRGBFrame].resize(dw, dh, 3);
        m.mapColourOntoDepth(depthMovers, depth, out.images[RGBFrame].data.data(),
                             out.images[MappedRGBFrame].data.data());
        out.flags |= mappedRGBReady;
    }
    const size_t cn = size_t(p.colourWidth) * p.colourHeight;
    uint16_t *mappedDepth = nullptr, *mappedIr = nullptr;
    if (wantMappedDepth) {
        out.images[MappedDepthFrame].resize(p.colourWidth, p.colourHeight, 2);
        mappedDepth = out.images[MappedDepthFrame].u16();
        addDepthNoise(m.mapped.depth.data(), m.mapped.sigma.data(), mappedDepth, cn, p.noiseSeed * 13 + 7);
        out.flags |= mappedDepthReady;
    }
    if (wantMappedIr) {
        out.images[MappedIRFrame].resize(p.colourWidth, p.colourHeight, 2);
        mappedIr = out.images[MappedIRFrame].u16();
        addIrNoise(m.mapped.ir.data(), mappedIr, cn, p.noiseSeed * 17 + 3);
        out.flags |= mappedIRReady;
    }
    if (mappedDepth && mappedIr && shared) {
        m.splatOntoColour(depthMovers, *depthReg, *cv, depth, mappedDepth, ir, mappedIr);
    } else {
        if (mappedDepth)
            m.splatOntoColour(depthMovers, *depthReg, *cv, depth, mappedDepth, nullptr, nullptr);
        if (mappedIr)
            m.splatOntoColour(irMovers, *irReg, *cv, ir, mappedIr, nullptr, nullptr);
    }
}

} // namespace sim
