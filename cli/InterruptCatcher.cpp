#include "cli/InterruptCatcher.h"

namespace {

std::atomic<bool> interrupted{false};

void onInterrupt(int)
{
    interrupted = true;
}

} // namespace

InterruptCatcher::InterruptCatcher()
{
    interrupted = false;
    struct sigaction action
    {
    };
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &m_previous);
}

InterruptCatcher::~InterruptCatcher()
{
    sigaction(SIGINT, &m_previous, nullptr);
}

std::atomic<bool> &InterruptCatcher::requested()
{
    return interrupted;
}
