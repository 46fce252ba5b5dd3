#include "pipeline/PointCloudScene.h"

#include "pipeline/AlgoThread.h"
#include "pipeline/FrameConvert.h"
#include "shell/ToolSettings.h"

#include "camera/sdk/quillon_types.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

constexpr float degToRad = 0.017453294f;
constexpr float mmToUnits = 0.01f;

PointCloudScene::Matrix multiply(const PointCloudScene::Matrix &a, const PointCloudScene::Matrix &b)
{
    PointCloudScene::Matrix r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                r[size_t(i * 4 + j)] += a[size_t(i * 4 + k)] * b[size_t(k * 4 + j)];
    return r;
}

} // namespace

void PointCloudScene::setSource(AlgoThread *source, int step, const CameraIntrinsics &intrinsics)
{
    m_source = source;
    sampleStep = std::max(step, 1); // a step below 1 would never advance
    invFx = intrinsics.fx != 0.0 ? float(1.0 / intrinsics.fx) : 1.0f;
    invFy = intrinsics.fy != 0.0 ? float(1.0 / intrinsics.fy) : 1.0f;
    cx = float(intrinsics.cx);
    cy = float(intrinsics.cy);
    colourScale = 1.0f / 255.0f;
}

bool PointCloudScene::pullFrames()
{
    return m_source && m_source->getPointCloudFrames(m_depth, m_ir, m_mappedRgb);
}

void PointCloudScene::setFrames(const cv::Mat &depth, const cv::Mat &ir, const cv::Mat &mappedRgb)
{
    m_depth = depth;
    m_ir = ir;
    m_mappedRgb = mappedRgb;
}

bool PointCloudScene::prepareColours(const Style &style)
{
    if (m_depth.empty() || m_depth.type() != CV_16UC1)
        return false;
    // The colouring image, 8-bit, one (grey) or three channels, of the depth image's size.
    if (!style.pointCloudRgb) {
        const double range =
            style.colourMapMin >= style.colourMapMax ? 1.0 : double(style.colourMapMax) - style.colourMapMin;
        cv::Mat scaled;
        m_depth.convertTo(scaled, CV_8U, 255.0 / range, -style.colourMapMin * 255.0 / range);
        cv::applyColorMap(scaled, m_colours, cv::COLORMAP_RAINBOW);
        cv::cvtColor(m_colours, m_colours, cv::COLOR_BGR2RGB);
    } else if (style.dataMode == 2) {
        if (m_ir.empty() || m_ir.size() != m_depth.size() || m_ir.type() != CV_16UC1)
            return false;
        m_colours = FrameConvert::irToGrey(m_ir); // a work image: the kept frame stays raw
    } else {
        if (m_mappedRgb.empty() || m_mappedRgb.size() != m_depth.size() || m_mappedRgb.type() != CV_8UC3)
            return false;
        m_colours = m_mappedRgb;
    }
    return true;
}

int PointCloudScene::clampedStep() const
{
    // A step past the image's larger side draws the first pixel only, like any larger one;
    // keeping it there keeps row + step and col + step far from overflowing.
    return std::clamp(sampleStep, 1, std::max(m_depth.rows, m_depth.cols));
}

size_t PointCloudScene::sampledPoints() const
{
    const int step = clampedStep();
    return (size_t(m_depth.rows + step - 1) / size_t(step)) * (size_t(m_depth.cols + step - 1) / size_t(step));
}

template <typename Visit> void PointCloudScene::forEachPoint(const Style &style, Visit visit) const
{
    const int step = clampedStep();
    const size_t channels = size_t(m_colours.channels());
    for (int row = 0; row < m_depth.rows; row += step) {
        const auto *d = m_depth.ptr<uint16_t>(row);
        const uchar *c = m_colours.ptr<uchar>(row);
        for (int col = 0; col < m_depth.cols; col += step) {
            const int depth = d[col];
            if (depth == 0 || depth <= style.colourMapMin || depth >= style.colourMapMax)
                continue;
            visit(col, row, depth, c + size_t(col) * channels);
        }
    }
}

bool PointCloudScene::buildPoints(const Style &style, std::vector<float> &xyz, std::vector<float> &rgb)
{
    xyz.clear();
    rgb.clear();
    if (!prepareColours(style))
        return false;
    // An index below 0 (an empty range list) would divide by zero.
    const float zBase = float(style.colourMapMax / ((std::max(style.rangeIndex, 0) + 1) * 2));
    const bool grey = m_colours.channels() == 1;
    xyz.reserve(sampledPoints() * 3);
    rgb.reserve(xyz.capacity());
    forEachPoint(style, [&](int col, int row, int depth, const uchar *c) {
        if (grey) {
            const float g = c[0] * colourScale;
            rgb.insert(rgb.end(), {g, g, g});
        } else {
            rgb.insert(rgb.end(), {c[0] * colourScale, c[1] * colourScale, c[2] * colourScale});
        }
        xyz.insert(xyz.end(), {(col - cx) * depth * invFx * mmToUnits, (cy - row) * depth * invFy * mmToUnits,
                               (zBase - depth) * mmToUnits});
    });
    return true;
}

bool PointCloudScene::cameraPoints(const Style &style, std::vector<float> &xyz, std::vector<uint8_t> &rgb)
{
    xyz.clear();
    rgb.clear();
    if (!prepareColours(style))
        return false;
    const bool grey = m_colours.channels() == 1;
    xyz.reserve(sampledPoints() * 3);
    rgb.reserve(xyz.capacity());
    forEachPoint(style, [&](int col, int row, int depth, const uchar *c) {
        if (grey)
            rgb.insert(rgb.end(), {c[0], c[0], c[0]});
        else
            rgb.insert(rgb.end(), {c[0], c[1], c[2]});
        const float d = float(depth);
        xyz.insert(xyz.end(), {(col - cx) * d * invFx, (row - cy) * d * invFy, d});
    });
    return true;
}

float PointCloudScene::drawnPointSize(float configured, float driverMin, float driverMax)
{
    if (!std::isfinite(configured))
        configured = 1.5f;
    const float high = std::min(driverMax, ToolSettings::maxPointSize);
    return std::max(std::min(configured, high), std::max(driverMin, 0.0f));
}

void PointCloudScene::resetCamera()
{
    yaw = 0.0f;
    pitch = 0.0f;
    distance = 10.0f;
}

void PointCloudScene::rotate(int dx, int dy)
{
    yaw += dx / 5.0f;
    pitch += dy / 5.0f;
}

void PointCloudScene::zoom(int wheelDelta)
{
    distance -= float((wheelDelta / 38) / 3); // one notch of 120 is one step
}

PointCloudScene::Matrix PointCloudScene::viewMatrix() const
{
    const float y = yaw * degToRad;
    const float p = pitch * degToRad;
    const Matrix ry{std::cos(y), 0, std::sin(y), 0, 0, 1, 0, 0, -std::sin(y), 0, std::cos(y), 0, 0, 0, 0, 1};
    const Matrix rx{1, 0, 0, 0, 0, std::cos(p), -std::sin(p), 0, 0, std::sin(p), std::cos(p), 0, 0, 0, 0, 1};
    const Matrix t{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, -distance, 0, 0, 0, 1};
    return multiply(t, multiply(rx, ry));
}

PointCloudScene::Matrix PointCloudScene::projectionMatrix() const
{
    const float nearPlane = 1.0f;
    const float farPlane = 100.0f;
    const float aspect = viewHeight > 0 ? float(viewWidth) / float(viewHeight) : 1.0f;
    const float f = 1.0f / std::tan(60.0f * degToRad / 2.0f);
    return Matrix{f / aspect,
                  0,
                  0,
                  0,
                  0,
                  f,
                  0,
                  0,
                  0,
                  0,
                  (farPlane + nearPlane) / (nearPlane - farPlane),
                  2 * farPlane * nearPlane / (nearPlane - farPlane),
                  0,
                  0,
                  -1,
                  0};
}
