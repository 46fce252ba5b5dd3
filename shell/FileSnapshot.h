#pragma once

#include "shell/FileStamp.h"

#include <QDebug>
#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>
#include <utility>

// The parsed content of one hand-edited file, parsed again only when the file changes on disk:
// every read compares the file's stamp (a stat, no reading) with the one taken before the last
// parse. A missing file gives the missing value without parsing. Safe from any thread.
template <typename T> class FileSnapshot
{
public:
    // Parses the existing file at path; problems worth telling the user go into warnings,
    // which are logged once per parse.
    using Parse = std::function<T(const QString &path, QStringList &warnings)>;

    FileSnapshot(Parse parse, T missing)
        : m_parse(std::move(parse))
        , m_missing(std::move(missing))
        , m_value(m_missing)
    {}

    T get(const QString &path)
    {
        QStringList warnings;
        T value;
        {
            const std::lock_guard<std::mutex> lock(m_lock);
            // Stamped before parsing: a change during the parse shows at the next read.
            const FileStamp stamp = FileStamp::of(path);
            if (!m_valid || path != m_path || stamp != m_stamp) {
                m_path = path;
                m_stamp = stamp;
                m_valid = true;
                if (stamp.exists) {
                    m_value = m_parse(path, warnings);
                    ++m_parses;
                } else {
                    m_value = m_missing;
                }
            }
            value = m_value;
        }
        // Outside the lock, so that a message handler may read settings too.
        for (const QString &warning : qAsConst(warnings))
            qWarning() << warning;
        return value;
    }

    // How often an existing file has been parsed.
    int parseCount() const
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        return m_parses;
    }

private:
    const Parse m_parse;
    const T m_missing;
    mutable std::mutex m_lock;
    bool m_valid = false;
    QString m_path;
    FileStamp m_stamp;
    T m_value;
    int m_parses = 0;
};
