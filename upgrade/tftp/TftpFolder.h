#pragma once

#include "upgrade/tftp/TftpTransfer.h"

#include <string>
#include <vector>

namespace tftp {

// An open file served front to back through a read-ahead buffer, so that a transfer of
// 512-byte blocks costs one read() per many blocks.
class FileSource : public ByteSource
{
public:
    FileSource(int fd, uint64_t size);
    ~FileSource() override;
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;

    uint64_t size() const override { return m_size; }
    long read(uint8_t *out, size_t max) override;

private:
    int m_fd;
    uint64_t m_size;
    std::vector<uint8_t> m_buffer;
    size_t m_begin = 0;
    size_t m_end = 0;
};

// The folder that files are served from. A requested name is taken relative to it, with
// either slash as the separator; nothing outside the folder is ever opened.
class TftpFolder
{
public:
    explicit TftpFolder(std::string root);

    enum class Outcome { Opened, AccessViolation, NotFound };
    struct Opened
    {
        Outcome outcome = Outcome::NotFound;
        int fd = -1; // owned by the caller when opened
        uint64_t size = 0;
    };

    // Refuses absolute names, names containing "..", names that resolve (links included)
    // outside the folder, and files the process may not read (AccessViolation); anything
    // else but an existing regular file is NotFound.
    Opened open(const std::string &name) const;

    const std::string &root() const { return m_root; }

private:
    std::string m_root;
};

} // namespace tftp
