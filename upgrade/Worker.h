#pragma once

#include <QObject>
#include <QString>

#include <chrono>

class UpgradeLibrary;

// Upgrades the first camera waiting in its USB loader: boot loader, firmware write and check,
// reset. Lives in a thread of its own and calls the flashing library only from there; every
// step is reported as a status text, and each run ends with sigWorkFinish.
class Worker : public QObject
{
    Q_OBJECT

public:
    explicit Worker(QObject *parent = nullptr);

    // Not owned; must outlive the worker's runs.
    void setLibrary(UpgradeLibrary *library) { m_library = library; }
    void setPaths(const QString &firmwarePath, const QString &loaderPath);
    // The pause between the boot loader and the firmware, while the loader starts on the device.
    void setBootPause(std::chrono::milliseconds pause) { m_bootPause = pause; }

    QString status() const { return m_status; }

signals:
    void sigStatus(QString info);
    void sigWorkFinish(bool status);
    void sigProgress(int value);

public slots:
    void slotUpgrade();

private:
    bool upgrade();
    void report(const QString &text);

    UpgradeLibrary *m_library = nullptr;
    QString m_firmwarePath;
    QString m_loaderPath;
    QString m_status;
    std::chrono::milliseconds m_bootPause{1000};
};
