#include "pipeline/FrameConvert.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace FrameConvert {

cv::Mat depthTo8(const cv::Mat &depth16, int colourMapMin, int colourMapMax)
{
    cv::Mat out;
    depthTo8(depth16, colourMapMin, colourMapMax, out);
    return out;
}

void depthTo8(const cv::Mat &depth16, int colourMapMin, int colourMapMax, cv::Mat &out)
{
    double scale;
    double offset;
    if (colourMapMin < colourMapMax) {
        const double range = double(colourMapMax) - colourMapMin;
        scale = 255.0 / range;
        offset = -colourMapMin * 255.0 / range;
    } else {
        scale = 255.0 / std::max(colourMapMax, 1); // a limit of 0 would divide by zero
        offset = 0.0;
    }
    depth16.convertTo(out, CV_8U, scale, offset);
}

void blackenClippedEnds(cv::Mat &bgr)
{
    if (bgr.type() != CV_8UC3)
        return;
    for (int y = 0; y < bgr.rows; ++y) {
        auto *p = bgr.ptr<cv::Vec3b>(y);
        for (int x = 0; x < bgr.cols; ++x) {
            const cv::Vec3b v = p[x];
            if ((v[0] == 0 && v[1] == 0 && v[2] == 255) || (v[0] == 255 && v[1] == 0 && v[2] == 170))
                p[x] = cv::Vec3b(0, 0, 0);
        }
    }
}

cv::Mat colourMapDepth(const cv::Mat &depth16, int colourMapMin, int colourMapMax, bool blackBackground)
{
    cv::Mat bgr;
    cv::applyColorMap(depthTo8(depth16, colourMapMin, colourMapMax), bgr, cv::COLORMAP_RAINBOW);
    if (blackBackground)
        blackenClippedEnds(bgr);
    return bgr;
}

cv::Mat depthColourTable(bool blackBackground)
{
    cv::Mat levels(256, 1, CV_8UC1);
    for (int i = 0; i < 256; ++i)
        levels.at<uchar>(i) = uchar(i);
    cv::Mat bgr;
    cv::applyColorMap(levels, bgr, cv::COLORMAP_RAINBOW);
    if (blackBackground)
        blackenClippedEnds(bgr);
    cv::Mat rgb;
    cv::cvtColor(bgr, rgb, cv::COLOR_BGR2RGB);
    return rgb;
}

void colourDepthRgb(const cv::Mat &depth16, int colourMapMin, int colourMapMax, const cv::Mat &table, cv::Mat &levels,
                    cv::Mat &rgb)
{
    CV_Assert(depth16.type() == CV_16UC1);
    CV_Assert(table.type() == CV_8UC3 && table.total() == 256 && table.isContinuous());
    rgb.create(depth16.size(), CV_8UC3);
    // Four bytes per entry, so that each pixel is one 4-byte store; the next pixel's store
    // overwrites the spare byte, and the last pixel of a run is stored with 3 bytes.
    uint32_t wide[256] = {};
    for (int i = 0; i < 256; ++i)
        std::memcpy(&wide[i], table.ptr<uchar>() + 3 * i, 3);
    // Scaled in runs whose levels stay in the cache. The run length is a multiple of every
    // vector width, so the scaling treats each pixel as one call over the whole image would.
    constexpr int run = 16384;
    const bool continuous = depth16.isContinuous() && rgb.isContinuous();
    const int rows = continuous ? 1 : depth16.rows;
    const int cols = continuous ? int(depth16.total()) : depth16.cols;
    for (int y = 0; y < rows; ++y) {
        const uint16_t *in = depth16.ptr<uint16_t>(y);
        uchar *out = rgb.ptr<uchar>(y);
        for (int x0 = 0; x0 < cols; x0 += run) {
            const int n = std::min(run, cols - x0);
            depthTo8(cv::Mat(1, n, CV_16UC1, const_cast<uint16_t *>(in + x0)), colourMapMin, colourMapMax, levels);
            const uchar *level = levels.ptr<uchar>();
            uchar *o = out + 3 * x0;
            for (int x = 0; x + 1 < n; ++x)
                std::memcpy(o + 3 * x, &wide[level[x]], 4);
            std::memcpy(o + 3 * (n - 1), &wide[level[n - 1]], 3);
        }
    }
}

cv::Mat irToGrey(const cv::Mat &ir16)
{
    cv::Mat out;
    irToGrey(ir16, out);
    return out;
}

void irToGrey(const cv::Mat &ir16, cv::Mat &out)
{
    ir16.convertTo(out, CV_8U, irScale, 0.0);
}

void drawDepthMarker(cv::Mat &image, cv::Point marker, int rawValue)
{
    const cv::Scalar white(255, 255, 255);
    cv::circle(image, marker, 4, white, cv::FILLED, cv::LINE_8);
    cv::putText(image, std::to_string(rawValue) + " mm", marker + cv::Point(-60, -20), cv::FONT_HERSHEY_DUPLEX, 1.0,
                white, 1, cv::LINE_8);
}

void drawSecondMarker(cv::Mat &image, cv::Point marker)
{
    cv::circle(image, marker, 6, cv::Scalar(255, 255, 255), cv::FILLED, cv::LINE_8);
}

void drawIrMarker(cv::Mat &grey, cv::Point marker, int rawValue)
{
    const int g = rawValue <= irMarkerThreshold ? irMarkerWhite : 0;
    const cv::Scalar colour(g, g, g);
    cv::circle(grey, marker, 4, colour, cv::FILLED, cv::LINE_8);
    const bool nearEdge = marker.x - 60 < 10 || marker.y - 20 < 10;
    const cv::Point origin = nearEdge ? marker : marker + cv::Point(-60, -20);
    cv::putText(grey, std::to_string(rawValue), origin, cv::FONT_HERSHEY_DUPLEX, 1.0, colour, 1, cv::LINE_8);
}

cv::Point placedMarker(cv::Point marker, cv::Size image)
{
    const bool placed = marker != cv::Point(0, 0);
    const bool inside = marker.x >= 0 && marker.y >= 0 && marker.x < image.width && marker.y < image.height;
    return placed && inside ? marker : cv::Point(image.width / 2, image.height / 2);
}

QRect labelGeometry(QSize area, QSize image)
{
    const int W = area.width(), H = area.height();
    const int c = image.width(), r = image.height();
    if (W <= 0 || H <= 0 || c <= 0 || r <= 0)
        return QRect();
    // 64-bit products: a large area times a large image must not overflow.
    const qint64 heightFitWidth = qint64(c) * H / r; // image width when scaled to the area's height
    const qint64 widthFitHeight = qint64(r) * W / c; // image height when scaled to the area's width
    bool fitHeight;
    if (c / r < W / H)
        fitHeight = heightFitWidth < W;
    else
        fitHeight = H <= widthFitHeight;
    const int m = 10 * r / c;
    int width;
    int height;
    if (fitHeight) {
        width = int(heightFitWidth) - 10;
        height = H - m;
    } else {
        width = W - 10;
        height = int(widthFitHeight) - m;
    }
    width = std::max(width, 0);
    height = std::max(height, 0);
    return QRect((W - width) / 2, (H - height) / 2, width, height);
}

cv::Point labelToImage(QPoint onLabel, QSize label, QSize image)
{
    if (label.width() <= 0 || label.height() <= 0)
        return cv::Point(0, 0);
    return cv::Point(int(qint64(onLabel.x()) * image.width() / label.width()),
                     int(qint64(onLabel.y()) * image.height() / label.height()));
}

QString saveFileName(const QString &dir, int index, const QString &extension)
{
    return QStringLiteral("%1/%2.%3").arg(dir).arg(index, 8, 10, QLatin1Char('0')).arg(extension);
}

void appendPointLine(std::string &out, float x, float y, float z)
{
    // std::to_chars rather than printf: the program runs in the user's locale, where a
    // decimal comma would break the file's numbers. Same digits as "%g".
    char line[64];
    char *const end = line + sizeof line;
    char *p = std::to_chars(line, end, x, std::chars_format::general, 6).ptr;
    *p++ = '\t';
    p = std::to_chars(p, end, y, std::chars_format::general, 6).ptr;
    *p++ = '\t';
    p = std::to_chars(p, end, z, std::chars_format::general, 6).ptr;
    *p++ = '\r';
    *p++ = '\n';
    out.append(line, size_t(p - line));
}

} // namespace FrameConvert
