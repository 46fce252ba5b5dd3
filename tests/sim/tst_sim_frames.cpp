// The virtual cameras' frames: registration, which kinds arrive, filters and undistortion.

#include "sim/camera/Renderer.h"
#include "sim/camera/Scene.h"
#include "sim/camera/SimConfig.h"
#include "support/SimConfigFile.h"

#include "camera/sdk/quillon_api.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace sim;

namespace {

RenderParams paramsFor(const DeviceConfig &d, uint32_t kinds)
{
    RenderParams p;
    p.kinds = kinds;
    p.sceneTime = 2.0;
    p.calibration = d.calibration;
    p.depthWidth = d.depthWidth;
    p.depthHeight = d.depthHeight;
    p.ranges[0] = RangePart{4000, 4000 / 3000.0f};
    return p;
}

// Standard deviation over frames, averaged over the pixels of a rectangle that are valid in
// every frame.
double temporalNoise(const std::vector<std::vector<uint16_t>> &frames, int width, QRect area)
{
    double sum = 0;
    int count = 0;
    for (int v = area.top(); v <= area.bottom(); ++v) {
        for (int u = area.left(); u <= area.right(); ++u) {
            double s = 0, s2 = 0;
            bool valid = true;
            for (const auto &f : frames) {
                const double z = f[size_t(v) * width + u];
                valid &= z > 0;
                s += z;
                s2 += z * z;
            }
            if (!valid)
                continue;
            const double n = double(frames.size()), mean = s / n;
            sum += std::sqrt(std::max(0.0, s2 / n - mean * mean));
            ++count;
        }
    }
    return count ? sum / count : 0;
}

std::vector<std::vector<uint16_t>> depthFrames(Renderer &r, RenderParams p, int count)
{
    std::vector<std::vector<uint16_t>> frames;
    FrameSet set;
    for (int i = 0; i < count; ++i) {
        p.noiseSeed = uint32_t(1000 + i);
        r.render(p, set);
        const Image &img = set.images[DepthFrame];
        frames.emplace_back(img.u16(), img.u16() + size_t(img.width) * img.height);
    }
    return frames;
}

const QByteArray camera = fastSim() + R"(
[device.alta]
model = Alta
uri = usb&2bc5&0401&FRAMES&1-1
mapDepthToRgb = yes
mapRgbToDepth = yes
mapRgbToIr = yes
[device.cima]
model = Cima
uri = usb&2bc5&0403&FRAMES-CIMA&1-2
)";

} // namespace

class SimFramesTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        config = std::make_unique<SimConfigFile>(camera);
        QCOMPARE(Lx2_Initialize(), 0);
    }

    void cleanup() { QCOMPARE(Lx2_Shutdown(), 0); }

    void aPointLandsAtTheSamePlaceInEveryImage_data()
    {
        QTest::addColumn<bool>("written");
        QTest::newRow("factory calibration") << false;
        // Each change moves the point by more than the ball's radius in its image.
        QTest::newRow("written calibration") << true;
    }

    // The images follow the calibration the camera reports, also one written to it.
    void aPointLandsAtTheSamePlaceInEveryImage()
    {
        QFETCH(bool, written);
        const SdkHandle h = open("usb&2bc5&0401&FRAMES&1-1");
        QVERIFY(h);
        if (written) {
            changeBlock(h, LX2_CALIB_DEPTH_INTRINSICS, [](Mat3 &k) {
                k.m[0] *= 1.08;
                k.m[2] += 40;
            });
            changeBlock(h, LX2_CALIB_COLOR_INTRINSICS, [](Mat3 &k) { k.m[2] += 200; });
            changeBlock(h, LX2_CALIB_ROTATION, [](Mat3 &r) { r = rotationFromEulerDegrees(0, 6, 0) * r; });
            changeBlock(h, LX2_CALIB_TRANSLATION, [](Mat3 &t) { t.m[0] -= 175; });
        }
        const uint32_t all = depthReady | rgbReady | mappedRGBReady;
        FrameReadyFlags flags = 0;
        QCOMPARE(Lx2_ReadNextFrame(h, 0, &flags), 0);
        QCOMPARE(flags & all, all);
        SdkFrame depth{}, rgb{}, mappedRgb{};
        QCOMPARE(Lx2_GetFrame(h, 0, DepthFrame, &depth), 0);
        QCOMPARE(Lx2_GetFrame(h, 0, RGBFrame, &rgb), 0);
        QCOMPARE(Lx2_GetFrame(h, 0, MappedRGBFrame, &mappedRgb), 0);
        QCOMPARE(int(mappedRgb.width), int(depth.width));

        // The red ball's point nearest the camera, at this frame's scene time.
        Ball balls[Scene::ballCount];
        Scene::ballsAt(depth.frameIndex / 30.0, balls);
        const Vec3 c = balls[0].centre;
        const Vec3 p = c - (balls[0].radius / length(c)) * c;

        CameraIntrinsics kd{}, kc{};
        QCOMPARE(Lx2_GetCameraParameters(h, 0, LX2_SENSOR_DEPTH, &kd), 0);
        QCOMPARE(Lx2_GetCameraParameters(h, 0, LX2_SENSOR_COLOR, &kc), 0);
        const int du = int(std::lround(kd.fx * p.x / p.z + kd.cx)), dv = int(std::lround(kd.fy * p.y / p.z + kd.cy));
        const int di = dv * depth.width + du;
        const auto *z = static_cast<const uint16_t *>(depth.frameData);
        QVERIFY2(std::abs(z[di] - p.z) < 30, qPrintable(QStringLiteral("%1 vs %2").arg(z[di]).arg(p.z)));

        std::vector<WorldPoint> world(size_t(depth.width) * depth.height);
        QCOMPARE(Lx2_ConvertDepthFrameToWorldVector(h, 0, &depth, world.data()), 0);
        QVERIFY(std::abs(world[di].x - p.x) < 15 && std::abs(world[di].y - p.y) < 15);
        QCOMPARE(world[di].z, float(z[di]));
        QCOMPARE(world[0].z == 0, z[0] == 0); // no depth stays no point

        const auto *mrgb = static_cast<const uint8_t *>(mappedRgb.frameData) + size_t(di) * 3;
        QVERIFY2(mrgb[0] > 120 && mrgb[1] < 60 && mrgb[2] < 60, "mapped colour of the red ball");

        // The same point on the colour grid (mapped depth there: the registered images' test). The
        // calibration block holds the pose.
        CalibrationBlock rot{LX2_CALIB_ROTATION, {}}, trans{LX2_CALIB_TRANSLATION, {}};
        int32_t len = 76;
        QCOMPARE(Lx2_GetProperty(h, 0, LX2_PROP_CALIBRATION, &rot, &len), 0);
        QCOMPARE(Lx2_GetProperty(h, 0, LX2_PROP_CALIBRATION, &trans, &len), 0);
        Mat3 r;
        Vec3 t;
        memcpy(r.m.data(), rot.data, 72);
        memcpy(&t, trans.data, 24);
        const Vec3 pc = r * p + t;
        const int cu = int(std::lround(kc.fx * pc.x / pc.z + kc.cx)),
                  cv = int(std::lround(kc.fy * pc.y / pc.z + kc.cy));
        QVERIFY(cu >= 0 && cu < rgb.width && cv >= 0 && cv < rgb.height);
        const int ci = cv * rgb.width + cu;
        const auto *colour = static_cast<const uint8_t *>(rgb.frameData) + size_t(ci) * 3;
        QVERIFY2(colour[0] > 120 && colour[1] < 60, "colour image shows the red ball there");
    }

    // A written measuring range holds from the next frame set on: depth beyond its depthMax is
    // invalid, but for the noise of what lies just within it.
    void aWrittenMaxDepthCutsTheFarDepth()
    {
        const SdkHandle h = open("usb&2bc5&0401&FRAMES&1-1");
        QVERIFY(h);
        const auto nextDepth = [&] {
            FrameReadyFlags flags = 0;
            SdkFrame depth{};
            if (Lx2_ReadNextFrame(h, 0, &flags) != 0 || Lx2_GetFrame(h, 0, DepthFrame, &depth) != 0)
                return std::vector<uint16_t>();
            const auto *z = static_cast<const uint16_t *>(depth.frameData);
            return std::vector<uint16_t>(z, z + size_t(depth.width) * depth.height);
        };
        const auto count = [](const std::vector<uint16_t> &z, int lo, int hi) {
            return std::count_if(z.begin(), z.end(), [&](uint16_t d) { return d > lo && d <= hi; });
        };
        const int cut = 1100, noise = 100; // the near range (depth mode 0) reaches 1500
        const std::vector<uint16_t> before = nextDepth();
        QVERIFY(count(before, cut + noise, 65535) > 10000);
        MeasuringRange r{};
        int32_t len = 19;
        QCOMPARE(Lx2_GetProperty(h, 0, LX2_PROP_MAX_DEPTH, &r, &len), 0);
        r.depthMax[0] = cut;
        QCOMPARE(Lx2_SetProperty(h, 0, LX2_PROP_MAX_DEPTH, &r, 19), 0);
        const std::vector<uint16_t> after = nextDepth();
        QCOMPARE(count(after, cut + noise, 65535), 0);
        QVERIFY(count(after, cut, cut + noise) < count(before, cut, cut + noise) / 10);
        QVERIFY(count(after, 0, cut) > count(before, 0, cut) / 2);
    }

    void dataModeAndSwitchesDecideTheKinds_data()
    {
        QTest::addColumn<QByteArray>("uri");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("switches"); // d, i, c: frame enables off; D, R, I: mappers off; w: WDR style 1
        QTest::addColumn<uint32_t>("every");      // ready in every set
        QTest::addColumn<uint32_t>("some");       // ready in some sets only

        const QByteArray alta = "usb&2bc5&0401&FRAMES&1-1";
        const uint32_t mapped = mappedRGBReady | mappedDepthReady;
        QTest::newRow("depth and colour")
            << alta << 0 << QByteArray() << uint32_t(depthReady | rgbReady | mapped) << 0u;
        QTest::newRow("IR and colour") << alta << 1 << QByteArray() << uint32_t(irReady | rgbReady | mappedIRReady)
                                       << 0u;
        QTest::newRow("depth and IR: no colour, no mapping")
            << alta << 2 << QByteArray() << uint32_t(depthReady | irReady) << 0u;
        QTest::newRow("depth and IR at half rate") << alta << 10 << QByteArray() << uint32_t(rgbReady)
                                                   << uint32_t(depthReady | irReady | mapped | mappedIRReady);
        QTest::newRow("WDR fused") << alta << 11 << QByteArray() << uint32_t(wdrDepthReady | rgbReady | mapped) << 0u;
        QTest::newRow("WDR ranges in turn")
            << alta << 11 << QByteArray("w") << uint32_t(depthReady | rgbReady | mapped) << 0u;
        QTest::newRow("mappers off") << alta << 0 << QByteArray("DRI") << uint32_t(depthReady | rgbReady) << 0u;
        QTest::newRow("colour off: no mapped colour")
            << alta << 0 << QByteArray("c") << uint32_t(depthReady | mappedDepthReady) << 0u;
        QTest::newRow("depth off") << alta << 0 << QByteArray("d") << uint32_t(rgbReady) << 0u;
        QTest::newRow("no colour sensor")
            << QByteArray("usb&2bc5&0403&FRAMES-CIMA&1-2") << 0 << QByteArray("") << uint32_t(depthReady) << 0u;
    }

    void dataModeAndSwitchesDecideTheKinds()
    {
        QFETCH(QByteArray, uri);
        QFETCH(int, mode);
        QFETCH(QByteArray, switches);
        QFETCH(uint32_t, every);
        QFETCH(uint32_t, some);
        const SdkHandle h = open(uri.constData());
        QVERIFY(h);
        QCOMPARE(Lx2_SetDataMode(h, 0, mode), 0);
        using Switch = SdkStatus (*)(SdkHandle, uint32_t, int32_t);
        const QList<QPair<char, Switch>> offSwitches = {
            {'d', Lx2_SetDepthFrameEnabled},       {'i', Lx2_SetIrFrameEnabled},
            {'c', Lx2_SetRgbFrameEnabled},         {'D', Lx2_SetMapperEnabledDepthToRGB},
            {'R', Lx2_SetMapperEnabledRGBToDepth}, {'I', Lx2_SetMapperEnabledRGBToIR}};
        for (const auto &s : offSwitches)
            QCOMPARE(s.second(h, 0, !switches.contains(s.first)), 0);
        QCOMPARE(Lx2_SetWDRStyle(h, 0, switches.contains('w') ? 1 : 0), 0);
        uint32_t all = ~0u, any = 0;
        for (int i = 0; i < 4; ++i) {
            FrameReadyFlags flags = 0;
            QCOMPARE(Lx2_ReadNextFrame(h, 0, &flags), 0);
            all &= flags;
            any |= flags;
            SdkFrame frame{};
            QCOMPARE(Lx2_GetFrame(h, 0, IRFrame, &frame), (flags & irReady) ? 0 : LX2_E_NO_FRAME);
        }
        QCOMPARE(all, every);
        QCOMPARE(any, every | some);
    }

    // Each filter lowers the noise on the flat wall; depth and IR undistortion show in the
    // registered images' test below, colour undistortion here.
    void filtersAndUndistortionChangeTheFrames()
    {
        const QRect wall(440, 30, 60, 20);
        const RenderParams p = paramsFor(alta, depthReady);
        const auto noise = [&](bool time, bool spatial) {
            RenderParams q = p;
            q.timeFilter = time;
            q.spatialFilter = spatial;
            Renderer r;
            const auto frames = depthFrames(r, q, 10);
            return temporalNoise({frames.begin() + 4, frames.end()}, alta.depthWidth, wall);
        };
        const double raw = noise(false, false), timeFiltered = noise(true, false), spatial = noise(false, true);
        QVERIFY2(timeFiltered < 0.7 * raw, qPrintable(QStringLiteral("%1 vs %2").arg(timeFiltered).arg(raw)));
        QVERIFY2(spatial < 0.7 * raw, qPrintable(QStringLiteral("%1 vs %2").arg(spatial).arg(raw)));

        Renderer r;
        FrameSet set;
        RenderParams colour = paramsFor(alta, rgbReady);
        r.render(colour, set);
        const auto corrected = set.images[RGBFrame].data;
        colour.rgbUndistort = false;
        r.render(colour, set);
        size_t differing = 0;
        for (size_t i = 0; i < corrected.size(); ++i)
            differing += corrected[i] != set.images[RGBFrame].data[i];
        QVERIFY(differing > corrected.size() / 5);
    }

    // The colour image is redrawn in place where the balls moved; it must equal a drawing into a
    // fresh image, and a client's scribbles on the buffer must not stay for good.
    void colourRedrawnInPlaceMatchesAFreshDrawing()
    {
        Renderer reused, fresh;
        FrameSet set;
        RenderParams p = paramsFor(alta, rgbReady);
        const auto drawAt = [&](int frame) {
            p.sceneTime = frame / 30.0;
            reused.render(p, set);
            FrameSet expected;
            fresh.render(p, expected);
            return set.images[RGBFrame].data == expected.images[RGBFrame].data;
        };
        for (int frame = 0; frame < 5; ++frame)
            QVERIFY2(drawAt(frame), qPrintable(QString::number(frame)));
        std::fill(set.images[RGBFrame].data.begin(), set.images[RGBFrame].data.end(), 7);
        int frame = 5;
        while (!drawAt(frame) && frame < 40)
            ++frame;
        QVERIFY2(frame < 40, "the scribbled colour image never recovered");
    }

    void registeredImagesCarryTheSensorsOwnValues_data()
    {
        QTest::addColumn<bool>("depthUndistort");
        QTest::addColumn<bool>("irUndistort");
        QTest::addColumn<int>("mirror");
        QTest::newRow("corrected") << true << true << 0;
        QTest::newRow("IR with its lens distortion") << true << false << 0;
        QTest::newRow("depth with its lens distortion, mirrored") << false << true << 3;
    }

    // A registered image shows what its sensor measured there: the same value, noise and holes,
    // not a fresh measurement. Checked on the back wall, away from the balls.
    void registeredImagesCarryTheSensorsOwnValues()
    {
        QFETCH(bool, depthUndistort);
        QFETCH(bool, irUndistort);
        QFETCH(int, mirror);
        RenderParams p = paramsFor(alta, depthReady | irReady | mappedDepthReady | mappedIRReady);
        p.depthUndistort = depthUndistort;
        p.irUndistort = irUndistort;
        p.mirror = mirror;
        p.noiseSeed = 11;
        Renderer r;
        FrameSet set;
        r.render(p, set);
        const Calibration &cal = alta.calibration;
        const Mat3 rt = cal.rotation.transposed();
        const Vec3 eye = -1.0 * (rt * cal.translation); // the colour camera in the depth camera's frame
        const int cw = p.colourWidth, ch = p.colourHeight, dw = alta.depthWidth, dh = alta.depthHeight;

        // The depth pixel that sees the wall point seen by colour pixel (u, v).
        auto depthPixel = [&](int u, int v, bool undistorted) {
            const int su = (mirror & 1) ? cw - 1 - u : u, sv = (mirror & 2) ? ch - 1 - v : v;
            const Vec3 d = rt * Vec3{(su - cal.colour.cx) / cal.colour.fx, (sv - cal.colour.cy) / cal.colour.fy, 1.0};
            const Vec3 wall = eye + ((Scene::backWallDistance() - eye.z) / d.z) * d;
            double x = wall.x / wall.z, y = wall.y / wall.z;
            if (!undistorted)
                cal.depth.distort(x, y, x, y);
            int du = int(std::lround(cal.depth.fx * x + cal.depth.cx)),
                dv = int(std::lround(cal.depth.fy * y + cal.depth.cy));
            du = (mirror & 1) ? dw - 1 - du : du;
            dv = (mirror & 2) ? dh - 1 - dv : dv;
            return dv * dw + du;
        };
        // Its value, or one of its neighbours' where the point lies on a pixel border.
        auto carried = [&](const Image &grid, int i, uint16_t value) {
            for (int dv = -1; dv <= 1; ++dv)
                for (int du = -1; du <= 1; ++du)
                    if (grid.u16()[i + dv * dw + du] == value)
                        return true;
            return false;
        };
        int checked = 0, same = 0;
        for (int v = 120; v < 220; v += 3) {
            for (int u = 700; u < 1400; u += 7) {
                const int cu = (mirror & 1) ? cw - 1 - u : u, cv = (mirror & 2) ? ch - 1 - v : v;
                const size_t c = size_t(cv) * cw + cu;
                const uint16_t depth = set.images[MappedDepthFrame].u16()[c], ir = set.images[MappedIRFrame].u16()[c];
                checked += 2;
                same += depth > 0 && carried(set.images[DepthFrame], depthPixel(cu, cv, depthUndistort), depth);
                same += ir > 0 && carried(set.images[IRFrame], depthPixel(cu, cv, irUndistort), ir);
            }
        }
        QVERIFY2(same > 0.97 * checked, qPrintable(QStringLiteral("%1 of %2").arg(same).arg(checked)));
    }

private:
    // Reads a calibration block as a matrix (a translation fills its first three values),
    // changes it and writes it back.
    template <typename F> void changeBlock(SdkHandle h, uint32_t selector, F &&change)
    {
        CalibrationBlock block{selector, {}};
        int32_t len = 76;
        QCOMPARE(Lx2_GetProperty(h, 0, LX2_PROP_CALIBRATION, &block, &len), 0);
        Mat3 m;
        memcpy(m.m.data(), block.data, 72);
        change(m);
        memcpy(block.data, m.m.data(), 72);
        QCOMPARE(Lx2_SetProperty(h, 0, LX2_PROP_CALIBRATION, &block, 76), 0);
    }

    SdkHandle open(const char *uri)
    {
        SdkHandle h = 0;
        if (Lx2_OpenDevice(uri, &h) != 0 || Lx2_StartStream(h, 0) != 0)
            return 0;
        return h;
    }

    std::unique_ptr<SimConfigFile> config;
    DeviceConfig alta = SimConfig::builtIn().devices[0];
};

QTEST_GUILESS_MAIN(SimFramesTest)
#include "tst_sim_frames.moc"
