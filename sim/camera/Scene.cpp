#include "sim/camera/Scene.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// The room is laid out below in room units and shrunk by this factor into millimetres: a
// table-top scene whose objects lie inside the near depth range and whose back wall lies at
// its far end.
constexpr double roomScale = 0.35;

constexpr double floorY = 800;     // 80 cm below the camera
constexpr double backWallZ = 3600; // 3.6 m in front of it
constexpr double sideWallX = -1900;
constexpr Vec3 crateMin{-1300, 350, 2250};
constexpr Vec3 crateMax{-750, floorY, 2800};

Surface floorAt(const Vec3 &p)
{
    const int tile = int(std::floor(p.x / 300)) + int(std::floor(p.z / 300));
    return (tile & 1) ? Surface{196, 192, 184, 150} : Surface{118, 112, 104, 110};
}

Surface backWallAt(const Vec3 &p)
{
    if (p.y > -260 && p.y < -140)
        return Surface{40, 90, 170, 90}; // a painted stripe
    if (p.x > 300 && p.x < 1100 && p.y > -1100 && p.y < -450)
        return Surface{210, 170, 60, 200}; // a poster
    return Surface{228, 220, 202, 190};
}

bool hitBox(Vec3 o, Vec3 d, double &tNear, Vec3 &normal)
{
    double t0 = -1e30, t1 = 1e30;
    int axis0 = 0;
    double sign0 = 0;
    const double os[3] = {o.x, o.y, o.z}, ds[3] = {d.x, d.y, d.z};
    const double lo[3] = {crateMin.x, crateMin.y, crateMin.z}, hi[3] = {crateMax.x, crateMax.y, crateMax.z};
    for (int a = 0; a < 3; ++a) {
        if (std::fabs(ds[a]) < 1e-12) {
            if (os[a] < lo[a] || os[a] > hi[a])
                return false;
            continue;
        }
        double ta = (lo[a] - os[a]) / ds[a], tb = (hi[a] - os[a]) / ds[a];
        double s = -1;
        if (ta > tb) {
            std::swap(ta, tb);
            s = 1;
        }
        if (ta > t0) {
            t0 = ta;
            axis0 = a;
            sign0 = s;
        }
        t1 = std::min(t1, tb);
        if (t0 > t1)
            return false;
    }
    if (t0 <= 0)
        return false;
    tNear = t0;
    normal = Vec3{axis0 == 0 ? sign0 : 0, axis0 == 1 ? sign0 : 0, axis0 == 2 ? sign0 : 0};
    return true;
}

} // namespace

double Scene::backWallDistance()
{
    return backWallZ * roomScale;
}

bool Scene::intersectStatic(Vec3 origin, Vec3 d, StaticHit &hit)
{
    if (!intersectRoom((1.0 / roomScale) * origin, d, hit))
        return false;
    hit.t *= roomScale;
    hit.point = roomScale * hit.point;
    return true;
}

bool Scene::intersectRoom(Vec3 o, Vec3 d, StaticHit &hit)
{
    hit.t = 1e30;
    bool found = false;
    auto take = [&](double t, Vec3 n, int which) {
        if (t > 1e-6 && t < hit.t) {
            hit.t = t;
            hit.normal = n;
            hit.point = o + t * d;
            found = true;
            hit.surface.reflectance = uint8_t(which); // resolved below
        }
    };
    if (d.y > 1e-12)
        take((floorY - o.y) / d.y, Vec3{0, -1, 0}, 1);
    if (d.z > 1e-12)
        take((backWallZ - o.z) / d.z, Vec3{0, 0, -1}, 2);
    if (d.x < -1e-12)
        take((sideWallX - o.x) / d.x, Vec3{1, 0, 0}, 3);
    double tb;
    Vec3 nb;
    if (hitBox(o, d, tb, nb))
        take(tb, nb, 4);
    if (!found)
        return false;
    switch (hit.surface.reflectance) {
    case 1:
        hit.surface = floorAt(hit.point);
        break;
    case 2:
        hit.surface = backWallAt(hit.point);
        break;
    case 3:
        hit.surface = Surface{150, 170, 190, 160};
        break;
    default: {
        // Wooden slats on the crate.
        const bool slat = int(std::floor((hit.point.y + hit.point.x * 0.01) / 90)) & 1;
        hit.surface = slat ? Surface{176, 124, 70, 170} : Surface{150, 102, 56, 150};
        break;
    }
    }
    return true;
}

void Scene::ballsAt(double s, Ball balls[ballCount])
{
    // Rolls left and right on the floor.
    balls[0] = Ball{Vec3{700 * std::sin(0.5 * s), floorY - 170, 2100}, 170, Surface{220, 40, 36, 200}};
    // Floats, coming closer and going away.
    balls[1] = Ball{Vec3{-380, 120 + 120 * std::sin(1.3 * s), 1500 + 600 * std::sin(0.35 * s)}, 120,
                    Surface{40, 176, 64, 120}};
    // Bounces near the back wall; dark, so its far edges drop out.
    balls[2] = Ball{Vec3{520, floorY - 220 - 450 * std::fabs(std::sin(1.6 * s)), 2900}, 220, Surface{46, 80, 210, 60}};
    for (int k = 0; k < ballCount; ++k) {
        balls[k].centre = roomScale * balls[k].centre;
        balls[k].radius *= roomScale;
    }
}

} // namespace sim
