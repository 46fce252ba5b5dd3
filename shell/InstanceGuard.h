#pragma once

#include <QObject>
#include <QString>

// A named, process-owned token: an abstract-namespace local socket bound to the key. The
// kernel drops it when its owner ends however it ends, so a crashed copy never locks the
// program out (a named shared-memory segment would outlive it on Linux).
class InstanceGuard : public QObject
{
    Q_OBJECT

public:
    InstanceGuard(const QString &key, QObject *parent = nullptr);
    ~InstanceGuard() override;

    // True when this process took the token, false when another process holds it or the
    // token cannot be made at all.
    bool acquire();
    bool isHeld() const { return m_fd >= 0; }
    void release();

private:
    QString m_key;
    int m_fd = -1;
};
