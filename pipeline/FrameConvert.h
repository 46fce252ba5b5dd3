#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <opencv2/core.hpp>

#include <string>

// Pure image functions of the pipeline: raw camera frames to display images, overlays,
// label layout and the texts of saved files. No state, no locks, no Qt widgets.
namespace FrameConvert {

// IR and mapped IR are scaled by 255 / 3824 into 8 bits.
constexpr double irScale = 0.06668410041841004;
// A grey level above 255 saturates to white on the 8-bit image.
constexpr int irMarkerWhite = 4096;
constexpr int irMarkerThreshold = 2500;

// 16-bit depth to 8 bits between the colour-map limits, saturating; with min >= max the
// depth is scaled by 255 / max without offset.
cv::Mat depthTo8(const cv::Mat &depth16, int colourMapMin, int colourMapMax);
void depthTo8(const cv::Mat &depth16, int colourMapMin, int colourMapMax, cv::Mat &out);

// Rainbow colour map (BGR result) of a 16-bit depth image, with the two clipped ends of the
// scale blackened when blackBackground is set.
cv::Mat colourMapDepth(const cv::Mat &depth16, int colourMapMin, int colourMapMax, bool blackBackground);

// Pixels exactly (0, 0, 255) or (255, 0, 170) in BGR become black. Leaves images that are
// not 8-bit three-channel alone.
void blackenClippedEnds(cv::Mat &bgr);

// The display colours (R, G, B) of the 256 levels of depthTo8: the rainbow colour map, with
// the clipped ends black when blackBackground is set. 256 x 1, 8-bit three-channel.
cv::Mat depthColourTable(bool blackBackground);

// Depth to display colours in R, G, B order through a depthColourTable: the same pixels as
// colourMapDepth followed by a BGR to RGB conversion, in one pass instead of six. levels
// is work space; both outputs keep their buffers when the size does not change.
void colourDepthRgb(const cv::Mat &depth16, int colourMapMin, int colourMapMax, const cv::Mat &table, cv::Mat &levels,
                    cv::Mat &rgb);

// 16-bit IR to 8-bit grey.
cv::Mat irToGrey(const cv::Mat &ir16);
void irToGrey(const cv::Mat &ir16, cv::Mat &out);

// The marker of the depth image: a white dot and "<value> mm" above-left of it.
void drawDepthMarker(cv::Mat &image, cv::Point marker, int rawValue);
// The centre of the measurement window.
void drawSecondMarker(cv::Mat &image, cv::Point marker);
// The marker of the IR image: white on dark pixels, black on bright ones; the label moves
// onto the marker near the top and left edges.
void drawIrMarker(cv::Mat &grey, cv::Point marker, int rawValue);

// A marker that is not placed yet ((0, 0)) or lies outside an image of the given size goes
// to the centre.
cv::Point placedMarker(cv::Point marker, cv::Size image);

// Geometry of an image label inside its area: the image's aspect ratio, a margin, centred.
// Null for an empty image or area.
QRect labelGeometry(QSize area, QSize image);

// Image coordinates of a point on a label showing an image of the given size.
cv::Point labelToImage(QPoint onLabel, QSize label, QSize image);

// "<dir>/<index as 8 digits>.<extension>".
QString saveFileName(const QString &dir, int index, const QString &extension);

// One point-cloud line "x<TAB>y<TAB>z<CR><LF>" in the stream's float format (6 significant
// digits, general notation); appended to out.
void appendPointLine(std::string &out, float x, float y, float z);

} // namespace FrameConvert
