#include "upgrade/TftpUpgradeState.h"

void TftpUpgradeState::started(int transfer)
{
    m_running.insert(transfer);
    m_shown = transfer;
    m_shownComplete = false;
}

int TftpUpgradeState::progress(int transfer, int percent) const
{
    return transfer == m_shown ? percent : -1;
}

bool TftpUpgradeState::ended(int transfer, bool complete)
{
    if (m_running.erase(transfer) == 0)
        return false;
    if (transfer == m_shown)
        m_shownComplete = complete;
    return m_running.empty() && m_shownComplete;
}
