#include "DisplaySwitches.h"

#include <new>

DisplaySwitches &DisplaySwitches::instance()
{
    static DisplaySwitches *switches = new DisplaySwitches; // lives until the process ends
    return *switches;
}

void DisplaySwitches::setSaveTarget(const SaveTarget &target)
{
    std::lock_guard<std::mutex> guard(m_textLock);
    m_target = target;
}

SaveTarget DisplaySwitches::saveTarget() const
{
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_target;
}

void DisplaySwitches::setFirstSaveFailure(const QString &path)
{
    std::lock_guard<std::mutex> guard(m_textLock);
    if (m_firstFailure.isEmpty())
        m_firstFailure = path;
    saveFailures = saveFailures + 1;
}

QString DisplaySwitches::firstSaveFailure() const
{
    std::lock_guard<std::mutex> guard(m_textLock);
    return m_firstFailure;
}

void DisplaySwitches::clearSaveFailures()
{
    std::lock_guard<std::mutex> guard(m_textLock);
    m_firstFailure.clear();
    saveFailures = 0;
}

void DisplaySwitches::resetToDefaults()
{
    // Destroy and rebuild in place: every field goes back to its declared initial value.
    this->~DisplaySwitches();
    new (this) DisplaySwitches;
}
