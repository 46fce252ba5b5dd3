#include "sim/camera/Replay.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdio>
#include <system_error>
#include <utility>

namespace sim {

namespace {

// Enough to ride out a slow file or two; a set of full-size registered images is about 14 MB.
constexpr size_t mostSetsAhead = 8;
constexpr size_t mostBytesAhead = size_t(64) << 20;

bool sixteenBit(FrameKind kind)
{
    return kind != RGBFrame && kind != MappedRGBFrame;
}

// One file of a set, as the camera delivered it (colour R, G, B). False, with the reason, for a
// file that is gone, cut off or not an image of its kind.
bool decodeFile(const std::string &path, FrameKind kind, Image &image, std::string &why)
{
    cv::Mat file;
    try {
        file = cv::imread(path, cv::IMREAD_UNCHANGED);
    } catch (const cv::Exception &) {
        file.release();
    }
    if (file.empty()) {
        why = path + ": cannot be read as an image";
        return false;
    }
    const bool deep = sixteenBit(kind);
    if (file.type() != (deep ? CV_16UC1 : CV_8UC3)) {
        why = path + (deep ? ": not a 16-bit grey image" : ": not an 8-bit colour image");
        return false;
    }
    if (file.cols > 65535 || file.rows > 65535) {
        why = path + ": larger than a frame can be";
        return false;
    }
    image.resize(file.cols, file.rows, int(file.elemSize()));
    image.drawing = 0;
    cv::Mat target(file.rows, file.cols, file.type(), image.data.data());
    if (deep)
        file.copyTo(target);
    else
        cv::cvtColor(file, target, cv::COLOR_BGR2RGB); // files hold B, G, R
    return true;
}

} // namespace

Replay::Replay(const std::string &folder, bool brio, int fallbackFps, const std::string &serial)
    : serial(serial)
{
    if (!Recording::scan(folder, brio, recording))
        std::fprintf(stderr, "quillon_api: %s: replay %s: no recorded frame sets\n", serial.c_str(), folder.c_str());
    const double rate = recording.recordedRate() > 0 ? recording.recordedRate() : double(fallbackFps);
    framePeriod = std::chrono::microseconds(std::llround(1e6 / rate));
    unreadable.assign(recording.sets().size(), false);
}

Replay::~Replay()
{
    stop();
}

void Replay::start()
{
    stop();
    std::lock_guard<std::mutex> lock(m);
    wanted = 0;
    if (unreadableCount == recording.sets().size())
        return; // nothing to play: reads time out
    running = true;
    try {
        worker = std::thread(&Replay::run, this);
    } catch (const std::system_error &error) {
        running = false;
        std::fprintf(stderr, "quillon_api: %s: replay not started: %s\n", serial.c_str(), error.what());
    }
}

void Replay::stop()
{
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(m);
        running = false;
        thread = std::move(worker);
        changed.notify_all();
    }
    if (thread.joinable())
        thread.join();
    std::lock_guard<std::mutex> lock(m);
    ahead.clear();
    aheadBytes = 0;
}

bool Replay::full() const
{
    return ahead.size() >= mostSetsAhead || (!ahead.empty() && aheadBytes >= mostBytesAhead);
}

void Replay::pop()
{
    aheadBytes -= ahead.front().bytes;
    ahead.pop_front();
    changed.notify_all();
}

bool Replay::take(int64_t slot, Clock::time_point deadline, FrameSet &out)
{
    Decoded set;
    {
        std::unique_lock<std::mutex> lock(m);
        if (slot > wanted) {
            wanted = slot;
            changed.notify_all();
        }
        while (ahead.size() > 1 && ahead.front().slot < slot)
            pop();
        if (!changed.wait_until(lock, deadline, [&] { return !ahead.empty() || !running; }) || ahead.empty())
            return false;
        set = std::move(ahead.front());
        pop();
    }
    // The reader's own buffers go back with the decoded set and are freed there.
    for (size_t kind = 0; kind < set.images.size(); ++kind)
        if (set.flags & readyBitOf(int(kind)))
            std::swap(out.images[kind], set.images[kind]);
    out.flags = set.flags;
    return true;
}

bool Replay::decode(size_t position, Decoded &out, std::string &why) const
{
    const Recording::Set &set = recording.sets()[position];
    for (size_t kind = 0; kind < set.files.size(); ++kind) {
        if (set.files[kind].empty())
            continue;
        Image &image = out.images[kind];
        if (!decodeFile(set.files[kind], FrameKind(kind), image, why))
            return false;
        out.bytes += image.data.size();
    }
    out.flags = set.flags;
    return true;
}

void Replay::run()
{
    const size_t count = recording.sets().size();
    size_t position = 0;
    int64_t slot = 0;
    std::unique_lock<std::mutex> lock(m);
    while (running) {
        if (full()) {
            changed.wait(lock);
            continue;
        }
        if (wanted > slot) { // the reader fell behind: its slots skip as many sets
            position = size_t((position + uint64_t(wanted - slot)) % count);
            slot = wanted;
        }
        if (unreadable[position]) {
            position = (position + 1) % count;
            continue;
        }
        lock.unlock();
        Decoded set;
        std::string why;
        const bool good = decode(position, set, why);
        lock.lock();
        if (!good) {
            unreadable[position] = true;
            std::fprintf(stderr, "quillon_api: %s: replay leaves out frame set %08u: %s\n", serial.c_str(),
                         recording.sets()[position].number, why.c_str());
            if (++unreadableCount == count) {
                running = false; // nothing left to play: reads time out
                changed.notify_all();
                return;
            }
            position = (position + 1) % count;
            continue;
        }
        set.slot = slot++;
        aheadBytes += set.bytes;
        ahead.push_back(std::move(set));
        changed.notify_all();
        position = (position + 1) % count;
    }
}

} // namespace sim
