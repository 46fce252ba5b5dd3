#include "pipeline/DisplaySwitches.h"

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

void DisplaySwitches::requestSave(const SaveTarget &target, bool continuous)
{
    std::lock_guard<std::mutex> guard(m_textLock);
    m_target = target;
    ++m_saveSerial;
    m_setsWritten = 0;
    m_report = SaveReport();
    continuousSave = continuous;
    saveIndex = 1;
    saveState.storeRelease(1);
}

void DisplaySwitches::stopSave()
{
    std::lock_guard<std::mutex> guard(m_textLock);
    // A save that has completed keeps its state until the image view has announced it.
    if (saveState != 2)
        saveState = 3;
    continuousSave = false;
}

SaveRequest DisplaySwitches::saveRequest() const
{
    std::lock_guard<std::mutex> guard(m_textLock);
    SaveRequest request;
    request.pending = saveState.loadAcquire() == 1;
    if (!request.pending)
        return request;
    request.continuous = continuousSave;
    request.index = saveIndex;
    request.serial = m_saveSerial;
    request.target = m_target;
    return request;
}

void DisplaySwitches::finishSaveCycle(const SaveRequest &request, const QString &failedPath)
{
    constexpr int32_t lastIndex = 99999999;
    std::lock_guard<std::mutex> guard(m_textLock);
    if (request.serial != m_saveSerial)
        return;
    if (failedPath.isEmpty()) {
        if (request.continuous) {
            ++m_setsWritten;
            saveIndex = request.index >= lastIndex ? 0 : request.index + 1;
        } else if (saveState == 1) { // a withdrawn single save is not announced
            m_report = SaveReport();
            saveState.storeRelease(2);
        }
        return;
    }
    m_report.failedPath = failedPath;
    m_report.continuous = request.continuous;
    m_report.setsWritten = request.continuous ? m_setsWritten : 0;
    m_report.setsFailed = 1;
    saveState.storeRelease(2);
}

bool DisplaySwitches::abandonSave(bool &continuous, int &setsWritten)
{
    std::lock_guard<std::mutex> guard(m_textLock);
    if (saveState != 1)
        return false;
    continuous = continuousSave;
    setsWritten = m_setsWritten;
    ++m_saveSerial; // a cycle still writing for it is no longer counted
    saveState = 3;
    continuousSave = false;
    return true;
}

SaveReport DisplaySwitches::takeSaveReport()
{
    std::lock_guard<std::mutex> guard(m_textLock);
    SaveReport report = m_report;
    m_report = SaveReport();
    return report;
}

QString SaveReport::failureText() const
{
    QString text = QStringLiteral("Save failed: ") + failedPath;
    if (continuous)
        text += QStringLiteral("\n%1 %2 written, %3 failed")
                    .arg(setsWritten)
                    .arg(setsWritten == 1 ? QStringLiteral("set") : QStringLiteral("sets"))
                    .arg(setsFailed);
    return text;
}

void DisplaySwitches::resetToDefaults()
{
    // Destroy and rebuild in place: every field goes back to its declared initial value.
    this->~DisplaySwitches();
    new (this) DisplaySwitches;
}
