#include "shell/SingleApplication.h"

#include "shell/InstanceGuard.h"

SingleApplication::SingleApplication(int &argc, char **argv)
    : QApplication(argc, argv, 1)
    , m_guard(new InstanceGuard(QStringLiteral("SharedMemoryForOnlyOneInstance"), this))
{}

SingleApplication::~SingleApplication()
{
    if (m_guard->isHeld())
        m_guard->release();
    delete m_guard;
}

bool SingleApplication::claimSingleInstance()
{
    return m_guard->acquire();
}
