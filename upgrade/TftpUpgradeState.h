#pragma once

#include <set>

// What the upgrade dialog makes of the transfers it is told about. The newest transfer is
// the one shown (its file name is in the dialog); the upgrade is over once nothing runs any
// more and the newest transfer delivered its whole file. A failed transfer is no success,
// and one transfer reaching 100 % ends only that transfer.
class TftpUpgradeState
{
public:
    void started(int transfer);
    // The value for the progress bar, or -1 when the transfer is not the one shown.
    int progress(int transfer, int percent) const;
    // True when this end is the end of the upgrade.
    bool ended(int transfer, bool complete);

private:
    std::set<int> m_running;
    int m_shown = 0;
    bool m_shownComplete = false;
};
