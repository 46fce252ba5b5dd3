#include "support/ProgramFolder.h"

#include "shell/AppPaths.h"

#include <QDir>

ProgramFolder::ProgramFolder()
    : m_hadHome(qEnvironmentVariableIsSet("LUMIDESK_HOME"))
    , m_previousHome(qgetenv("LUMIDESK_HOME"))
{
    qputenv("LUMIDESK_HOME", QFile::encodeName(m_home.path()));
    AppPaths::setInstallDirForTests(m_install.path());
}

ProgramFolder::~ProgramFolder()
{
    // A test may have pointed elsewhere since, or a newer folder may have taken over.
    if (qgetenv("LUMIDESK_HOME") == QFile::encodeName(m_home.path())) {
        if (m_hadHome)
            qputenv("LUMIDESK_HOME", m_previousHome);
        else
            qunsetenv("LUMIDESK_HOME");
    }
    if (AppPaths::installDir() == QDir::cleanPath(QDir(m_install.path()).absolutePath()))
        AppPaths::setInstallDirForTests(QString());
}
