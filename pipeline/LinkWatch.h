#pragma once

#include "camera/sdk/quillon_types.h"

#include <chrono>

// Tells a camera that has gone from one that only hiccups, from the statuses of successive
// frame reads. A gone or invalid handle is lost at once. Time-outs never count: a camera in
// standby or waiting for a trigger delivers nothing by design, and a dropped set is only late.
// Any other failure counts once it has lasted, without a single good read, for the grace time.
class LinkWatch
{
public:
    using Clock = std::chrono::steady_clock;

    explicit LinkWatch(std::chrono::milliseconds grace = std::chrono::milliseconds(2000))
        : m_grace(grace)
    {}

    // True once, when the reads say the camera is lost; later reads do not repeat it until reset.
    bool lostAfter(SdkStatus status, Clock::time_point now);
    void reset();

private:
    std::chrono::milliseconds m_grace;
    bool m_failing = false;
    bool m_reported = false;
    Clock::time_point m_failingSince{};
};
