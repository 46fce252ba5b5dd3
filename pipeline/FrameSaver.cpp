#include "pipeline/FrameSaver.h"

#include "camera/Control_Single.h"
#include "pipeline/FrameConvert.h"
#include "pipeline/SaveFile.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <string>

bool FrameSaver::writeImage(const cv::Mat &image, const QString &dir, bool jpeg, int index, QString &failedPath)
{
    const QString path = FrameConvert::saveFileName(dir, index, jpeg ? QStringLiteral("jpg") : QStringLiteral("png"));
    const std::vector<int> params =
        jpeg ? std::vector<int>{cv::IMWRITE_JPEG_QUALITY, 100} : std::vector<int>{cv::IMWRITE_PNG_COMPRESSION, 0};
    bool written = false;
    try {
        const cv::Mat *source = &image;
        if (image.type() == CV_8UC3) {
            // Files hold B, G, R; convert a copy rather than the SDK's buffer.
            cv::cvtColor(image, m_bgr, cv::COLOR_RGB2BGR);
            source = &m_bgr;
        }
        // Encoded in memory, so that every byte's way to the disk can be checked.
        written = cv::imencode(jpeg ? ".jpg" : ".png", *source, m_encoded, params) &&
                  SaveFile::write(path, m_encoded.data(), m_encoded.size());
    } catch (const cv::Exception &) {
        written = false;
    }
    if (!written && failedPath.isEmpty())
        failedPath = path;
    return written;
}

bool FrameSaver::worldPoints(const SdkFrame &depthFrame, std::vector<float> &xyz)
{
    const size_t count = size_t(depthFrame.width) * depthFrame.height;
    static_assert(sizeof(WorldPoint) == 3 * sizeof(float), "world points are packed floats");
    xyz.assign(count * 3, 0.0f);
    return count != 0 && Control_Single::getInstance()->convertDepthToWorld(
                             &depthFrame, reinterpret_cast<WorldPoint *>(xyz.data())) == 0;
}

std::string FrameSaver::pointText(const std::vector<float> &xyz)
{
    std::string text;
    text.reserve(xyz.size() / 3 * 16);
    for (size_t i = 0; i + 2 < xyz.size(); i += 3) {
        const float z = xyz[i + 2];
        if (z != 0.0f && z != 65535.0f)
            FrameConvert::appendPointLine(text, xyz[i], xyz[i + 1], z);
    }
    return text;
}

bool FrameSaver::writePointCloud(const SdkFrame &depthFrame, const QString &path, QString &failedPath)
{
    bool written = false;
    if (worldPoints(depthFrame, m_points)) {
        const std::string text = pointText(m_points);
        written = SaveFile::write(path, text.data(), text.size());
    }
    std::vector<float>().swap(m_points);
    if (!written && failedPath.isEmpty())
        failedPath = path;
    return written;
}

void FrameSaver::release()
{
    m_bgr.release();
    std::vector<uchar>().swap(m_encoded);
}
