#pragma once

#include "sim/camera/Recording.h"
#include "sim/camera/Renderer.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

// A recording played back as a camera's stream, looping. A thread of its own decodes the sets
// ahead of the reader, a few at a time, so that reading files never holds up a frame set and a
// long recording never sits in memory whole. A set with a file that cannot be decoded is left
// out, with one line on standard error.
class Replay
{
public:
    using Clock = std::chrono::steady_clock;

    // fallbackFps: the rate when the files' times do not tell the recorded one.
    Replay(const std::string &folder, bool brio, int fallbackFps, const std::string &serial);
    ~Replay();
    Replay(const Replay &) = delete;
    Replay &operator=(const Replay &) = delete;

    std::chrono::microseconds period() const { return framePeriod; }

    void start(); // from the first set
    void stop();  // decoded sets are dropped

    // The set for stream slot `slot` into out: its images and ready flags. A reader that fell
    // behind gets the newest set decoded. False when none is ready by the deadline.
    bool take(int64_t slot, Clock::time_point deadline, FrameSet &out);

private:
    struct Decoded
    {
        int64_t slot = 0;
        uint32_t flags = 0;
        size_t bytes = 0;
        std::array<Image, 10> images;
    };

    void run();
    bool decode(size_t position, Decoded &out, std::string &why) const;
    bool full() const;
    void pop();

    Recording recording;
    std::string serial;
    std::chrono::microseconds framePeriod;

    std::mutex m; // guards everything below
    std::condition_variable changed;
    std::deque<Decoded> ahead;
    size_t aheadBytes = 0;
    std::vector<bool> unreadable; // sets already reported
    size_t unreadableCount = 0;
    int64_t wanted = 0; // the slot the reader asks for
    bool running = false;
    std::thread worker;
};

} // namespace sim
