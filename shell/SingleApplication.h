#pragma once

#include <QApplication>

class InstanceGuard;

// The application object with a system-wide guard against a second running copy.
class SingleApplication : public QApplication
{
    Q_OBJECT

public:
    SingleApplication(int &argc, char **argv);
    ~SingleApplication() override;

    // True when this process now holds the guard (it is the only copy).
    bool claimSingleInstance();

private:
    InstanceGuard *m_guard;
};
