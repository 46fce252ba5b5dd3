#pragma once

#include <opencv2/core.hpp>

#include <array>
#include <cstdint>
#include <vector>

class AlgoThread;
struct CameraIntrinsics;

// What the point-cloud view draws: camera pose, matrices and the points of the newest depth
// frame. Plain data and maths, so that it can be checked without a window.
class PointCloudScene
{
public:
    using Matrix = std::array<float, 16>; // row-major

    // How the points are coloured and which depths are drawn (from the display switches).
    struct Style
    {
        bool pointCloudRgb = false;
        int dataMode = 0;
        int rangeIndex = 0;
        int colourMapMin = 250;
        int colourMapMax = 1450;
    };

    void setSource(AlgoThread *source, int sampleStep, const CameraIntrinsics &intrinsics);
    AlgoThread *source() const { return m_source; }
    // Takes the newest frames from the source; false (old frames kept) when none are ready.
    bool pullFrames();
    void setFrames(const cv::Mat &depth, const cv::Mat &ir, const cv::Mat &mappedRgb);

    // Fills xyz (OpenGL units of 100 mm) and rgb (0..1) with one entry per drawn pixel.
    // False, with nothing filled, when the colouring's frame is missing or of another size.
    bool buildPoints(const Style &style, std::vector<float> &xyz, std::vector<float> &rgb);
    // The same points in the camera's frame, as the SDK's world points: millimetres, x right,
    // y down, z the depth; colours as bytes. For exporting what the view shows.
    bool cameraPoints(const Style &style, std::vector<float> &xyz, std::vector<uint8_t> &rgb);

    // The size points are drawn at: the configured size within the driver's range and at most
    // ToolSettings::maxPointSize (a huge size stalls a software rasteriser); the default size
    // when the configured one is not a number.
    static float drawnPointSize(float configured, float driverMin, float driverMax);

    void resetCamera();
    void rotate(int dx, int dy);
    void zoom(int wheelDelta);
    Matrix viewMatrix() const;
    Matrix projectionMatrix() const;

    float pitch = 0.0f;
    float yaw = 0.0f;
    float distance = 10.0f;
    int lastX = 0;
    int lastY = 0;
    int viewWidth = 640;
    int viewHeight = 480;
    int sampleStep = 2;
    float invFx = 1.0f, invFy = 1.0f, cx = 0.0f, cy = 0.0f;
    float colourScale = 1.0f / 255.0f;

private:
    // Makes m_colours for the style; false when its frame is missing or of another size.
    bool prepareColours(const Style &style);
    int clampedStep() const;
    size_t sampledPoints() const;
    // Calls visit(column, row, depth, colour) for each drawn pixel; colour points at its
    // 8-bit grey value or R, G, B.
    template <typename Visit> void forEachPoint(const Style &style, Visit visit) const;

    AlgoThread *m_source = nullptr;
    cv::Mat m_depth, m_ir, m_mappedRgb;
    cv::Mat m_colours; // the colouring image of the last build, 8-bit
};
