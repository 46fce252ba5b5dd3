#pragma once

#include <QString>

#include <cstdint>

// What the file system says about a file without reading it: which file it is (device and
// inode), its size and its modification and status-change times in nanoseconds. Two equal
// stamps mean the file was (almost certainly) not rewritten in between; a rewrite of the same
// size within one tick of the file system's clock cannot be told apart.
struct FileStamp
{
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;

    // The stamp of the file at path; exists is false when there is nothing there.
    static FileStamp of(const QString &path);

    bool operator==(const FileStamp &o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
               modifiedNs == o.modifiedNs && changedNs == o.changedNs;
    }
    bool operator!=(const FileStamp &o) const { return !(*this == o); }
};
