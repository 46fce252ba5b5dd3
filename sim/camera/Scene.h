#pragma once

#include "sim/camera/Geometry.h"

#include <cstdint>

namespace sim {

// The room every virtual camera looks into, in the depth camera's frame (millimetres, x right,
// y down, z forward): a chequered floor, a back wall with a stripe, a side wall, a crate, and
// three balls that move with time. Everything is a pure function of the scene time, so a frame
// set is the same every time it is rendered for the same time.
struct Surface
{
    uint8_t r = 0, g = 0, b = 0;
    uint8_t reflectance = 0; // at the IR wavelength, 0..255
};

struct StaticHit
{
    double t = 0; // ray parameter
    Vec3 point;
    Vec3 normal;
    Surface surface;
};

struct Ball
{
    Vec3 centre;
    double radius = 0;
    Surface surface;
};

class Scene
{
public:
    static constexpr int ballCount = 3;

    // Nearest hit of origin + t * dir (t > 0) with the static room; false when nothing is hit.
    static bool intersectStatic(Vec3 origin, Vec3 dir, StaticHit &hit);
    static void ballsAt(double seconds, Ball balls[ballCount]);
    // Distance of the back wall along the optical axis, millimetres.
    static double backWallDistance();

private:
    // The same in room units, before the room is scaled into millimetres.
    static bool intersectRoom(Vec3 origin, Vec3 dir, StaticHit &hit);
};

} // namespace sim
