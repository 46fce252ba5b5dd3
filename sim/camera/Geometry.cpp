#include "sim/camera/Geometry.h"

namespace sim {

Mat3 Mat3::operator*(const Mat3 &o) const
{
    Mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i * 3 + j] = m[i * 3] * o.m[j] + m[i * 3 + 1] * o.m[3 + j] + m[i * 3 + 2] * o.m[6 + j];
    return r;
}

Mat3 Mat3::transposed() const
{
    Mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i * 3 + j] = m[j * 3 + i];
    return r;
}

double Mat3::determinant() const
{
    return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) + m[2] * (m[3] * m[7] - m[4] * m[6]);
}

Mat3 Mat3::inverse() const
{
    const double d = determinant();
    Mat3 r;
    r.m = {(m[4] * m[8] - m[5] * m[7]) / d, (m[2] * m[7] - m[1] * m[8]) / d, (m[1] * m[5] - m[2] * m[4]) / d,
           (m[5] * m[6] - m[3] * m[8]) / d, (m[0] * m[8] - m[2] * m[6]) / d, (m[2] * m[3] - m[0] * m[5]) / d,
           (m[3] * m[7] - m[4] * m[6]) / d, (m[1] * m[6] - m[0] * m[7]) / d, (m[0] * m[4] - m[1] * m[3]) / d};
    return r;
}

Mat3 rotationFromEulerDegrees(double rx, double ry, double rz)
{
    const double k = M_PI / 180.0;
    const double a = rx * k, b = ry * k, c = rz * k;
    Mat3 x, y, z;
    x.m = {1, 0, 0, 0, std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a)};
    y.m = {std::cos(b), 0, std::sin(b), 0, 1, 0, -std::sin(b), 0, std::cos(b)};
    z.m = {std::cos(c), -std::sin(c), 0, std::sin(c), std::cos(c), 0, 0, 0, 1};
    return z * y * x;
}

Mat3 crossMatrix(Vec3 t)
{
    Mat3 r;
    r.m = {0, -t.z, t.y, t.z, 0, -t.x, -t.y, t.x, 0};
    return r;
}

void Lens::distort(double x, double y, double &xd, double &yd) const
{
    const double r2 = x * x + y * y, r4 = r2 * r2, r6 = r4 * r2;
    const double radial =
        (1 + dist[0] * r2 + dist[1] * r4 + dist[4] * r6) / (1 + dist[5] * r2 + dist[6] * r4 + dist[7] * r6);
    xd = x * radial + 2 * dist[2] * x * y + dist[3] * (r2 + 2 * x * x);
    yd = y * radial + dist[2] * (r2 + 2 * y * y) + 2 * dist[3] * x * y;
}

void Lens::undistort(double xd, double yd, double &x, double &y) const
{
    x = xd;
    y = yd;
    for (int i = 0; i < 20; ++i) {
        double dx, dy;
        distort(x, y, dx, dy);
        x += xd - dx;
        y += yd - dy;
    }
}

Mat3 Lens::matrix() const
{
    Mat3 k;
    k.m = {fx, 0, cx, 0, fy, cy, 0, 0, 1};
    return k;
}

Lens Lens::scaledTo(int nativeW, int nativeH, int width, int height) const
{
    // Cut the largest central region of the target's aspect ratio, then scale it.
    double cutW = nativeW, cutH = nativeH;
    if (double(width) / height < double(nativeW) / nativeH)
        cutW = double(nativeH) * width / height;
    else
        cutH = double(nativeW) * height / width;
    const double s = width / cutW;
    Lens l = *this;
    l.fx = fx * s;
    l.fy = fy * s;
    l.cx = (cx - (nativeW - cutW) / 2) * s;
    l.cy = (cy - (nativeH - cutH) / 2) * s;
    return l;
}

bool Lens::valid() const
{
    for (double v : dist)
        if (!std::isfinite(v) || std::fabs(v) > 100)
            return false;
    return std::isfinite(fx) && std::isfinite(fy) && std::isfinite(cx) && std::isfinite(cy) && fx > 1 && fy > 1 &&
           fx < 1e5 && fy < 1e5 && std::fabs(cx) < 1e5 && std::fabs(cy) < 1e5;
}

Mat3 Calibration::essential() const
{
    return crossMatrix(translation) * rotation;
}

Mat3 Calibration::fundamental() const
{
    return colour.matrix().inverse().transposed() * essential() * depth.matrix().inverse();
}

} // namespace sim
