#pragma once

#include <array>
#include <cmath>

namespace sim {

struct Vec3
{
    double x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(double s, Vec3 a)
{
    return {s * a.x, s * a.y, s * a.z};
}
inline double dot(Vec3 a, Vec3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline double length(Vec3 a)
{
    return std::sqrt(dot(a, a));
}

// Row-major 3x3 matrix.
struct Mat3
{
    std::array<double, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};

    Vec3 operator*(Vec3 v) const
    {
        return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[3] * v.x + m[4] * v.y + m[5] * v.z,
                m[6] * v.x + m[7] * v.y + m[8] * v.z};
    }
    Mat3 operator*(const Mat3 &o) const;
    Mat3 transposed() const;
    Mat3 inverse() const; // the caller makes sure it is regular
    double determinant() const;
};

Mat3 rotationFromEulerDegrees(double rx, double ry, double rz);
Mat3 crossMatrix(Vec3 t);

// Pinhole lens with the rational distortion model (k1 k2 p1 p2 k3 k4 k5 k6).
struct Lens
{
    double fx = 500, fy = 500, cx = 320, cy = 240;
    std::array<double, 8> dist{};

    // Normalised undistorted (x, y) -> normalised distorted.
    void distort(double x, double y, double &xd, double &yd) const;
    // Normalised distorted -> normalised undistorted (fixed-point iteration).
    void undistort(double xd, double yd, double &x, double &y) const;
    Mat3 matrix() const;
    // The same lens for an image of width x height cut centrally from nativeW x nativeH at the
    // native aspect ratio and scaled: 16:9 from 16:9 scales, 4:3 from 16:9 crops the sides.
    Lens scaledTo(int nativeW, int nativeH, int width, int height) const;
    bool valid() const;
};

// Factory calibration: depth and colour lenses at native resolution, and the pose of the colour
// camera: X_colour = R * X_depth + t (millimetres).
struct Calibration
{
    Lens depth, colour;
    Mat3 rotation;
    Vec3 translation;

    Mat3 essential() const;   // [t]x R
    Mat3 fundamental() const; // Kc^-T E Kd^-1
};

} // namespace sim
