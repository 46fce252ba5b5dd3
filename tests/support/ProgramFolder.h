#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// The program's folders for a test, fresh and empty while it lives: the data folder
// ($LUMIDESK_HOME: settings, log, saved files) and the installation folder (the version file).
// When it goes, whatever still points at them points where it did before.
class ProgramFolder
{
public:
    ProgramFolder();
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder &) = delete;
    ProgramFolder &operator=(const ProgramFolder &) = delete;

    bool isValid() const { return m_home.isValid() && m_install.isValid(); }
    // The data folder, and a file in it.
    QString path() const { return m_home.path(); }
    QString filePath(const QString &name) const { return m_home.filePath(name); }
    // A file in the installation folder.
    QString installFilePath(const QString &name) const { return m_install.filePath(name); }

private:
    QTemporaryDir m_home, m_install;
    bool m_hadHome;
    QByteArray m_previousHome;
};
