#include "Renderer.h"

#include "Scene.h"

#include <sdk/quillon_api.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

namespace sim {

void Image::resize(int w, int h, int bpp)
{
    width = w;
    height = h;
    bytesPerPixel = bpp;
    data.resize(size_t(w) * h * bpp);
}

namespace {

constexpr int noiseBits = 18;
constexpr uint32_t noiseMask = (1u << noiseBits) - 1;
constexpr int amplitudeMax = 4095;
constexpr double irScale = 3200; // amplitude of a white surface 1 m away, head on

// Standard normal samples scaled by 256, shared by all devices.
const std::vector<int16_t> &gaussTable()
{
    static const std::vector<int16_t> table = [] {
        std::vector<int16_t> t(size_t(1) << noiseBits);
        std::mt19937 gen(20240611u);
        std::normal_distribution<double> normal(0.0, 256.0);
        for (auto &v : t)
            v = int16_t(std::clamp(normal(gen), -32000.0, 32000.0));
        return t;
    }();
    return table;
}

uint16_t amplitudeOf(const Surface &s, double cosine, double range)
{
    const double metres = std::max(range, 50.0) / 1000.0;
    const double a = irScale * s.reflectance / 255.0 * std::max(cosine, 0.0) / (metres * metres);
    return uint16_t(std::min(a, double(amplitudeMax)));
}

struct ViewKey {
    uint32_t calibration = ~0u;
    bool raw = false;
    int mirror = 0;
    int width = 0, height = 0;
    float brightness = 0;

    bool operator==(const ViewKey &o) const
    {
        return calibration == o.calibration && raw == o.raw && mirror == o.mirror && width == o.width &&
               height == o.height && brightness == o.brightness;
    }
};

// A sensor's pixel grid: the ray of every pixel and the projection of points onto it.
struct View {
    ViewKey key;
    Lens lens;
    int width = 0, height = 0;
    std::vector<float> rx, ry; // normalised ray (z = 1) of each pixel, in the sensor frame
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;

    void build(const ViewKey &k, const Lens &l)
    {
        key = k;
        lens = l;
        width = k.width;
        height = k.height;
        rx.resize(size_t(width) * height);
        ry.resize(rx.size());
        xMin = yMin = 1e9;
        xMax = yMax = -1e9;
        for (int v = 0; v < height; ++v) {
            for (int u = 0; u < width; ++u) {
                const int su = (k.mirror & 1) ? width - 1 - u : u;
                const int sv = (k.mirror & 2) ? height - 1 - v : v;
                double x = (su - lens.cx) / lens.fx, y = (sv - lens.cy) / lens.fy;
                if (k.raw)
                    lens.undistort(x, y, x, y);
                const size_t i = size_t(v) * width + u;
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

    // Pixel coordinates of a point in the sensor frame; false when it is not in view.
    bool project(Vec3 p, double &u, double &v) const
    {
        if (p.z < 1)
            return false;
        double x = p.x / p.z, y = p.y / p.z;
        if (x < xMin || x > xMax || y < yMin || y > yMax)
            return false;
        if (key.raw)
            lens.distort(x, y, x, y);
        u = lens.fx * x + lens.cx;
        v = lens.fy * y + lens.cy;
        if (key.mirror & 1)
            u = width - 1 - u;
        if (key.mirror & 2)
            v = height - 1 - v;
        return u > -0.5 && v > -0.5 && u < width - 0.5 && v < height - 0.5;
    }

    int pixelIndex(Vec3 p) const
    {
        double u, v;
        if (!project(p, u, v))
            return -1;
        return int(std::lround(v)) * width + int(std::lround(u));
    }

    // Pixel rectangle that holds the ball's image (empty when it is out of view).
    bool bounds(const Ball &b, int &u0, int &v0, int &u1, int &v1) const
    {
        double uMin = 1e9, vMin = 1e9, uMax = -1e9, vMax = -1e9;
        const double r = b.radius * 1.15;
        for (int c = 0; c < 8; ++c) {
            const Vec3 p{b.centre.x + ((c & 1) ? r : -r), b.centre.y + ((c & 2) ? r : -r),
                         b.centre.z + ((c & 4) ? r : -r)};
            if (p.z < 1) {
                uMin = vMin = -1;
                uMax = width;
                vMax = height;
                break;
            }
            double x = p.x / p.z, y = p.y / p.z;
            if (key.raw) {
                x = std::clamp(x, xMin, xMax);
                y = std::clamp(y, yMin, yMax);
                lens.distort(x, y, x, y);
            }
            double u = lens.fx * x + lens.cx, v = lens.fy * y + lens.cy;
            if (key.mirror & 1)
                u = width - 1 - u;
            if (key.mirror & 2)
                v = height - 1 - v;
            uMin = std::min(uMin, u);
            uMax = std::max(uMax, u);
            vMin = std::min(vMin, v);
            vMax = std::max(vMax, v);
        }
        u0 = std::max(0, int(std::floor(uMin)) - 2);
        v0 = std::max(0, int(std::floor(vMin)) - 2);
        u1 = std::min(width - 1, int(std::ceil(uMax)) + 2);
        v1 = std::min(height - 1, int(std::ceil(vMax)) + 2);
        return u0 <= u1 && v0 <= v1;
    }
};

// Nearest intersection of the ray t * (x, y, 1) with a ball; t is the z coordinate.
inline bool hitBall(float x, float y, const Vec3 &c, double cc, double &t)
{
    const double b = x * c.x + y * c.y + c.z;
    const double a = double(x) * x + double(y) * y + 1.0;
    const double disc = b * b - a * cc;
    if (disc < 0)
        return false;
    t = (b - std::sqrt(disc)) / a;
    return t > 1;
}

// The depth sensor's picture of the static room.
struct DepthView : View {
    std::vector<uint16_t> z, amplitude, radialQ12;

    void build(const ViewKey &k, const Lens &l)
    {
        View::build(k, l);
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
            amplitude[i] = amplitudeOf(hit.surface, -dot(hit.normal, d) / len, hit.t * len);
        }
    }
};

// The colour sensor's picture of the static room (shaded colour and z in the colour frame).
struct ColourView : View {
    std::vector<uint8_t> rgb;
    std::vector<uint16_t> z;

    void build(const ViewKey &k, const Lens &l, const Calibration &cal)
    {
        View::build(k, l);
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
            const double shade = (0.3 + 0.7 * std::max(0.0, -dot(hit.normal, d) / length(d))) * k.brightness;
            rgb[i * 3] = uint8_t(std::min(255.0, hit.surface.r * shade));
            rgb[i * 3 + 1] = uint8_t(std::min(255.0, hit.surface.g * shade));
            rgb[i * 3 + 2] = uint8_t(std::min(255.0, hit.surface.b * shade));
        }
    }
};

// Registration of the static room between a depth-sensor view and the colour view: for each
// pixel of one grid the pixel of the other that sees the same point (-1: hidden or out of view).
struct Registration {
    ViewKey depthKey, colourKey;
    std::vector<int32_t> depthToColour, colourToDepth;

    void build(const DepthView &dv, const ColourView &cv, const Calibration &cal)
    {
        depthKey = dv.key;
        colourKey = cv.key;
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

// One frame's trace of the balls through a depth-sensor view.
struct DepthTrace {
    const DepthView *view = nullptr;
    std::vector<uint16_t> z, amplitude;
    std::vector<uint8_t> moving;  // 1 where a ball hides the static room
    std::vector<int32_t> movers;  // indices of those pixels, farther balls first
    std::vector<float> colourU, colourV; // per mover: where it lands on the colour grid (-1: nowhere)
    std::vector<int32_t> colourIndex;

    void trace(const DepthView &dv, const Ball *balls, const int *order)
    {
        view = &dv;
        const size_t n = dv.z.size();
        if (moving.size() != n)
            moving.assign(n, 0);
        for (int32_t i : movers)
            moving[i] = 0;
        movers.clear();
        z = dv.z;
        amplitude = dv.amplitude;
        for (int k = 0; k < Scene::ballCount; ++k) {
            const Ball &b = balls[order[k]];
            int u0, v0, u1, v1;
            if (!dv.bounds(b, u0, v0, u1, v1))
                continue;
            const double cc = dot(b.centre, b.centre) - b.radius * b.radius;
            for (int v = v0; v <= v1; ++v) {
                for (int u = u0; u <= u1; ++u) {
                    const int i = v * dv.width + u;
                    double t;
                    if (!hitBall(dv.rx[i], dv.ry[i], b.centre, cc, t) || (z[i] && t >= z[i]))
                        continue;
                    const Vec3 d{dv.rx[i], dv.ry[i], 1.0};
                    const Vec3 normal = (1.0 / b.radius) * (t * d - b.centre);
                    const double len = length(d);
                    z[i] = uint16_t(std::lround(t));
                    amplitude[i] = amplitudeOf(b.surface, -dot(normal, d) / len, t * len);
                    if (!moving[i]) {
                        moving[i] = 1;
                        movers.push_back(i);
                    }
                }
            }
        }
    }

    // Where each moving pixel lands on the colour grid; hidden behind the static room: nowhere.
    void projectMovers(const ColourView &cv, const Calibration &cal)
    {
        colourU.resize(movers.size());
        colourV.resize(movers.size());
        colourIndex.resize(movers.size());
        for (size_t k = 0; k < movers.size(); ++k) {
            const int32_t i = movers[k];
            const Vec3 pc =
                cal.rotation * (double(z[i]) * Vec3{view->rx[i], view->ry[i], 1.0}) + cal.translation;
            double u, v;
            colourIndex[k] = -1;
            colourU[k] = colourV[k] = -1;
            if (!cv.project(pc, u, v))
                continue;
            const int c = int(std::lround(v)) * cv.width + int(std::lround(u));
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
    ColourView colourView;
    std::array<Registration, 2> registrations;
    DepthTrace depthTrace, irTrace;
    std::vector<uint16_t> history; // last depth output, for the time filter
    std::vector<uint16_t> scratch;
    Ball balls[Scene::ballCount];
    int order[Scene::ballCount] = {0, 1, 2};

    const DepthView &depthView(const RenderParams &p, bool undistort)
    {
        const ViewKey key{p.calibrationVersion, !undistort, p.mirror, p.depthWidth, p.depthHeight, 0};
        DepthView &v = depthViews[undistort ? 0 : 1];
        if (!(v.key == key))
            v.build(key, p.calibration.depth);
        return v;
    }

    const ColourView &colour(const RenderParams &p)
    {
        const ViewKey key{p.calibrationVersion, !p.rgbUndistort, p.mirror, p.colourWidth, p.colourHeight,
                          p.rgbBrightness};
        if (!(colourView.key == key))
            colourView.build(key, p.calibration.colour.scaledTo(p.colourNativeWidth, p.colourNativeHeight,
                                                                p.colourWidth, p.colourHeight),
                             p.calibration);
        return colourView;
    }

    const Registration &registration(const DepthView &dv, const ColourView &cv, const Calibration &cal)
    {
        Registration &r = registrations[dv.key.raw ? 1 : 0];
        if (!(r.depthKey == dv.key) || !(r.colourKey == cv.key))
            r.build(dv, cv, cal);
        return r;
    }

    void processDepth(const RenderParams &p, const DepthTrace &tr, uint16_t *out);
    void processIr(const RenderParams &p, const DepthTrace &tr, uint16_t *out);
    void spatialFilter(uint16_t *depth, int width, int height);
    void timeFilter(uint16_t *depth, size_t n);
    void drawColour(const RenderParams &p, const ColourView &cv, uint8_t *out);
    void mapColourOntoDepth(const DepthTrace &tr, const Registration &reg, const uint16_t *depth,
                            const uint8_t *rgb, uint8_t *out);
    void mapOntoColour(const DepthTrace &tr, const Registration &reg, const ColourView &cv, const uint16_t *src1,
                       uint16_t *dst1, const uint16_t *src2, uint16_t *dst2);
};

Renderer::Renderer()
    : d(std::make_unique<Impl>())
{
    gaussTable();
}

Renderer::~Renderer() = default;

void Renderer::resetHistory()
{
    d->history.clear();
}

void Renderer::Impl::processDepth(const RenderParams &p, const DepthTrace &tr, uint16_t *out)
{
    const DepthView &dv = *tr.view;
    const size_t n = tr.z.size();
    const int16_t *gauss = gaussTable().data();
    const uint32_t offset = p.noiseSeed & noiseMask;

    // Noise in millimetres (times 256) by amplitude, one table per range part: it drops with
    // amplitude and grows with the range's span.
    static thread_local std::vector<uint16_t> sigma;
    sigma.resize(size_t(p.rangeParts) * (amplitudeMax + 1));
    for (int k = 0; k < p.rangeParts; ++k)
        for (int a = 0; a <= amplitudeMax; ++a)
            sigma[size_t(k) * (amplitudeMax + 1) + a] =
                uint16_t(std::min(65535.0, 256.0 * p.ranges[k].noiseScale * (0.8 + 900.0 / std::max(a, 1))));

    const int gainQ8 = int(std::lround(p.irGain * 256));
    const uint16_t threshold = uint16_t(p.amplitudeThreshold);
    const uint16_t *z = tr.z.data();
    const uint16_t *amp = tr.amplitude.data();
    const uint16_t *radial = dv.radialQ12.data();
    for (size_t i = 0; i < n; ++i) {
        const uint32_t zi = z[i];
        const uint32_t a = std::min<uint32_t>(amplitudeMax, (amp[i] * gainQ8) >> 8);
        int part = 0;
        while (part < p.rangeParts && zi > p.ranges[part].depthMax)
            ++part;
        const int g = gauss[(i + offset) & noiseMask];
        if (zi == 0 || a < threshold || part == p.rangeParts || g > 870 || g < -870) {
            out[i] = 0;
            continue;
        }
        const int measured = p.realDepth ? int(zi) : int((zi * radial[i]) >> 12);
        const int noise = (g * sigma[size_t(part) * (amplitudeMax + 1) + a]) >> 16;
        out[i] = uint16_t(std::clamp(measured + noise, 1, 65534));
    }
    if (p.spatialFilter)
        spatialFilter(out, dv.width, dv.height);
    if (p.timeFilter)
        timeFilter(out, n);
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

void Renderer::Impl::processIr(const RenderParams &p, const DepthTrace &tr, uint16_t *out)
{
    const size_t n = tr.amplitude.size();
    const int16_t *gauss = gaussTable().data();
    const uint32_t offset = (p.noiseSeed * 7 + 99991) & noiseMask;
    const int gainQ8 = int(std::lround(p.irGain * 256));
    const int ambient = p.irAmbient ? 60 : 0;
    const uint16_t *amp = tr.amplitude.data();
    for (size_t i = 0; i < n; ++i) {
        const int a = std::min(amplitudeMax, ((amp[i] * gainQ8) >> 8) + ambient);
        const int noise = (gauss[(i + offset) & noiseMask] * (256 + a * 4)) >> 16;
        out[i] = uint16_t(std::clamp(a + noise, 0, amplitudeMax));
    }
}

void Renderer::Impl::drawColour(const RenderParams &p, const ColourView &cv, uint8_t *out)
{
    std::memcpy(out, cv.rgb.data(), cv.rgb.size());
    const Calibration &cal = p.calibration;
    for (int k = 0; k < Scene::ballCount; ++k) {
        Ball b = balls[order[k]];
        b.centre = cal.rotation * b.centre + cal.translation;
        int u0, v0, u1, v1;
        if (!cv.bounds(b, u0, v0, u1, v1))
            continue;
        const double cc = dot(b.centre, b.centre) - b.radius * b.radius;
        for (int v = v0; v <= v1; ++v) {
            for (int u = u0; u <= u1; ++u) {
                const int i = v * cv.width + u;
                double t;
                if (!hitBall(cv.rx[i], cv.ry[i], b.centre, cc, t) || (cv.z[i] && t >= cv.z[i]))
                    continue;
                const Vec3 dir{cv.rx[i], cv.ry[i], 1.0};
                const Vec3 normal = (1.0 / b.radius) * (t * dir - b.centre);
                const double shade = (0.25 + 0.75 * std::max(0.0, -dot(normal, dir) / length(dir))) * p.rgbBrightness;
                out[i * 3] = uint8_t(std::min(255.0, b.surface.r * shade));
                out[i * 3 + 1] = uint8_t(std::min(255.0, b.surface.g * shade));
                out[i * 3 + 2] = uint8_t(std::min(255.0, b.surface.b * shade));
            }
        }
    }
}

void Renderer::Impl::mapColourOntoDepth(const DepthTrace &tr, const Registration &reg, const uint16_t *depth,
                                        const uint8_t *rgb, uint8_t *out)
{
    const size_t n = tr.z.size();
    const int32_t *map = reg.depthToColour.data();
    for (size_t i = 0; i < n; ++i) {
        const int32_t c = map[i];
        uint8_t *o = out + i * 3;
        if (c < 0 || depth[i] == 0 || tr.moving[i]) {
            o[0] = o[1] = o[2] = 0;
        } else {
            o[0] = rgb[c * 3];
            o[1] = rgb[c * 3 + 1];
            o[2] = rgb[c * 3 + 2];
        }
    }
    for (size_t k = 0; k < tr.movers.size(); ++k) {
        const int32_t i = tr.movers[k], c = tr.colourIndex[k];
        if (c >= 0 && depth[i])
            std::memcpy(out + size_t(i) * 3, rgb + size_t(c) * 3, 3);
    }
}

void Renderer::Impl::mapOntoColour(const DepthTrace &tr, const Registration &reg, const ColourView &cv,
                                   const uint16_t *src1, uint16_t *dst1, const uint16_t *src2, uint16_t *dst2)
{
    // The static room through the precomputed map; pixels whose depth pixel now sees a ball
    // are left empty (the ball's shadow as seen from the colour camera) ...
    const size_t n = reg.colourToDepth.size();
    const int32_t *map = reg.colourToDepth.data();
    const uint8_t *moving = tr.moving.data();
    for (size_t c = 0; c < n; ++c) {
        const int32_t i = map[c];
        const bool use = i >= 0 && !moving[i];
        dst1[c] = use ? src1[i] : 0;
        if (dst2)
            dst2[c] = use ? src2[i] : 0;
    }
    // ... then each ball pixel is spread over the colour pixels it covers.
    const double sx = cv.lens.fx / tr.view->lens.fx, sy = cv.lens.fy / tr.view->lens.fy;
    const int w = std::max(1, int(std::ceil(sx))), h = std::max(1, int(std::ceil(sy)));
    for (size_t k = 0; k < tr.movers.size(); ++k) {
        if (tr.colourIndex[k] < 0)
            continue;
        const int32_t i = tr.movers[k];
        const int u0 = std::max(0, int(std::lround(tr.colourU[k] - 0.5 * (w - 1))));
        const int v0 = std::max(0, int(std::lround(tr.colourV[k] - 0.5 * (h - 1))));
        const int u1 = std::min(cv.width - 1, u0 + w - 1), v1 = std::min(cv.height - 1, v0 + h - 1);
        for (int v = v0; v <= v1; ++v) {
            for (int u = u0; u <= u1; ++u) {
                const int c = v * cv.width + u;
                dst1[c] = src1[i];
                if (dst2)
                    dst2[c] = src2[i];
            }
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
    const ColourView *cv = nullptr;
    if (wantRgb || wantMappedRgb || wantMappedDepth || wantMappedIr)
        cv = &m.colour(p);

    const int dw = p.depthWidth, dh = p.depthHeight;
    const int depthSlot = wdr ? WDRDepthFrame : DepthFrame;
    if (wantDepth) {
        const DepthView &dv = m.depthView(p, p.depthUndistort);
        m.depthTrace.trace(dv, m.balls, m.order);
        out.images[depthSlot].resize(dw, dh, 2);
        m.processDepth(p, m.depthTrace, out.images[depthSlot].u16());
        out.flags |= wdr ? wdrDepthReady : depthReady;
        if (cv && (wantMappedRgb || wantMappedDepth || wantMappedIr))
            m.depthTrace.projectMovers(*cv, cal);
    }
    const DepthTrace *irSource = nullptr;
    if (wantIr) {
        if (wantDepth && p.irUndistort == p.depthUndistort) {
            irSource = &m.depthTrace;
        } else {
            m.irTrace.trace(m.depthView(p, p.irUndistort), m.balls, m.order);
            irSource = &m.irTrace;
            if (cv && wantMappedIr)
                m.irTrace.projectMovers(*cv, cal);
        }
        out.images[IRFrame].resize(dw, dh, 2);
        m.processIr(p, *irSource, out.images[IRFrame].u16());
        out.flags |= irReady;
    }
    if (wantRgb || wantMappedRgb) {
        out.images[RGBFrame].resize(p.colourWidth, p.colourHeight, 3);
        m.drawColour(p, *cv, out.images[RGBFrame].data.data());
        if (wantRgb)
            out.flags |= rgbReady;
    }
    if (wantMappedRgb) {
        const Registration &reg = m.registration(*m.depthTrace.view, *cv, cal);
        out.images[MappedRGBFrame].resize(dw, dh, 3);
        m.mapColourOntoDepth(m.depthTrace, reg, out.images[depthSlot].u16(), out.images[RGBFrame].data.data(),
                             out.images[MappedRGBFrame].data.data());
        out.flags |= mappedRGBReady;
    }
    if (wantMappedDepth || wantMappedIr) {
        const int cw = p.colourWidth, ch = p.colourHeight;
        uint16_t *mappedDepth = nullptr, *mappedIr = nullptr;
        if (wantMappedDepth) {
            out.images[MappedDepthFrame].resize(cw, ch, 2);
            mappedDepth = out.images[MappedDepthFrame].u16();
            out.flags |= mappedDepthReady;
        }
        if (wantMappedIr) {
            out.images[MappedIRFrame].resize(cw, ch, 2);
            mappedIr = out.images[MappedIRFrame].u16();
            out.flags |= mappedIRReady;
        }
        const uint16_t *depth = wantDepth ? out.images[depthSlot].u16() : nullptr;
        const uint16_t *ir = wantIr ? out.images[IRFrame].u16() : nullptr;
        if (mappedDepth && mappedIr && irSource == &m.depthTrace) {
            const Registration &reg = m.registration(*m.depthTrace.view, *cv, cal);
            m.mapOntoColour(m.depthTrace, reg, *cv, depth, mappedDepth, ir, mappedIr);
        } else {
            if (mappedDepth)
                m.mapOntoColour(m.depthTrace, m.registration(*m.depthTrace.view, *cv, cal), *cv, depth, mappedDepth,
                                nullptr, nullptr);
            if (mappedIr)
                m.mapOntoColour(*irSource, m.registration(*irSource->view, *cv, cal), *cv, ir, mappedIr, nullptr,
                                nullptr);
        }
    }
}

} // namespace sim
