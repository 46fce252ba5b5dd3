#pragma once

#include <QString>

#include <opencv2/core.hpp>

#include <string>
#include <vector>

struct SdkFrame;

// Writes the files of a saved frame set: images as the panel's saving names and encodes them,
// and the depth frame's point cloud as text. Shared by the frame reader and the command line,
// so that both write the same bytes. Keeps its work space between calls; not thread-safe.
class FrameSaver
{
public:
    // "<dir>/<index as 8 digits>.png" (16-bit or colour, uncompressed) or ".jpg" (quality
    // 100); a colour image (R, G, B) is written as B, G, R. On failure the file's path goes
    // into failedPath unless it already holds one. Returns whether the file was written.
    bool writeImage(const cv::Mat &image, const QString &dir, bool jpeg, int index, QString &failedPath);

    // The SDK's world points of a 16-bit depth frame, three floats a point; false when the
    // SDK cannot convert it.
    static bool worldPoints(const SdkFrame &depthFrame, std::vector<float> &xyz);
    // Lines "x<TAB>y<TAB>z<CR><LF>" of the points with a measurement.
    static std::string pointText(const std::vector<float> &xyz);
    // The point cloud of depthFrame as text at path; as writeImage for failures.
    bool writePointCloud(const SdkFrame &depthFrame, const QString &path, QString &failedPath);

    // Frees the work space (between saves).
    void release();
    bool holdsWorkSpace() const { return !m_encoded.empty() || !m_bgr.empty(); }

private:
    cv::Mat m_bgr;
    std::vector<uchar> m_encoded;
    std::vector<float> m_points;
};
