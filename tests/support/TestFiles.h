#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Replaces the file's content; false when it cannot be written.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The file's content; empty when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// size bytes of a pattern that does not repeat within a sector or from one sector to the next,
// so that a sector written to the wrong place or a chunk cut short shows.
inline QByteArray patternedBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + i / 512) & 0xff);
    return bytes;
}
