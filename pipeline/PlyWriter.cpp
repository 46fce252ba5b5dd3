#include "pipeline/PlyWriter.h"

#include "pipeline/SaveFile.h"

#include <QtEndian>

#include <climits>
#include <cmath>
#include <cstring>

bool PlyWriter::isValid(float x, float y, float z)
{
    return z != 0.0f && z != 65535.0f && std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

QByteArray PlyWriter::encode(const std::vector<float> &xyz, const std::vector<uint8_t> &rgb)
{
    const size_t points = xyz.size() / 3;
    const bool colour = !rgb.empty();
    if (xyz.size() % 3 != 0 || (colour && rgb.size() != xyz.size()))
        return QByteArray();
    size_t valid = 0;
    for (size_t i = 0; i < points; ++i)
        valid += isValid(xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]);

    QByteArray header = QByteArrayLiteral("ply\nformat binary_little_endian 1.0\nelement vertex ") +
                        QByteArray::number(qulonglong(valid)) +
                        QByteArrayLiteral("\nproperty float x\nproperty float y\nproperty float z\n");
    if (colour)
        header += QByteArrayLiteral("property uchar red\nproperty uchar green\nproperty uchar blue\n");
    header += QByteArrayLiteral("end_header\n");

    const size_t stride = 3 * sizeof(float) + (colour ? 3 : 0);
    if (valid > size_t(INT_MAX - header.size()) / stride) // beyond what one buffer holds
        return QByteArray();
    QByteArray out(header.size() + int(valid * stride), Qt::Uninitialized);
    std::memcpy(out.data(), header.constData(), size_t(header.size()));
    char *p = out.data() + header.size();
    for (size_t i = 0; i < points; ++i) {
        const float *v = &xyz[3 * i];
        if (!isValid(v[0], v[1], v[2]))
            continue;
        for (int k = 0; k < 3; ++k) {
            qToLittleEndian(v[k], p);
            p += sizeof(float);
        }
        if (colour) {
            std::memcpy(p, &rgb[3 * i], 3);
            p += 3;
        }
    }
    return out;
}

bool PlyWriter::save(const QString &path, const std::vector<float> &xyz, const std::vector<uint8_t> &rgb)
{
    const QByteArray bytes = encode(xyz, rgb);
    return !bytes.isEmpty() && SaveFile::write(path, bytes.constData(), size_t(bytes.size()));
}
