#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// Point clouds as binary little-endian PLY: x, y, z as float and, when given, red, green, blue
// as uchar. No widgets, so that the view and a command-line tool write the same files.
class PlyWriter
{
public:
    // A point without a measurement: depth 0, the SDK's 65535 mark, or a coordinate that is
    // not a number. Such points are left out of the file.
    static bool isValid(float x, float y, float z);

    // The file's bytes for xyz (three floats a point) and rgb (empty for a cloud without
    // colour, else three bytes a point); the header counts the valid points only. Empty when
    // rgb is neither empty nor of one triple a point.
    static QByteArray encode(const std::vector<float> &xyz, const std::vector<uint8_t> &rgb);

    // Writes the file whole (see SaveFile::write): true only when every byte reached it; a
    // failed write leaves no file under the name.
    static bool save(const QString &path, const std::vector<float> &xyz, const std::vector<uint8_t> &rgb);
};
