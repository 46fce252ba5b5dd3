#pragma once

#include <atomic>
#include <csignal>

// Ctrl-C sets a flag instead of ending the process, for the catcher's life, so that a long
// command stops where it is safe and says what was finished.
class InterruptCatcher
{
public:
    InterruptCatcher();
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher &) = delete;
    InterruptCatcher &operator=(const InterruptCatcher &) = delete;

    // Set once Ctrl-C was pressed.
    static std::atomic<bool> &requested();

private:
    struct sigaction m_previous
    {
    };
};
