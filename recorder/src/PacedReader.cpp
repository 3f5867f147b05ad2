// A source played into a feed at its own pace, on the reader's thread.
#include "recorder/PacedReader.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

// Samples per push when playing as fast as possible.
constexpr size_t kBulkFrames = 4096;

}  // namespace

PacedReader::PacedReader(SampleSource& source, SampleFeed& feed, double speed)
    : source_(source), feed_(feed), framesPerSecond_(speed > 0 ? speed / source.SampleInterval() : 0.0)
{}

PacedReader::~PacedReader() { Stop(); }

void PacedReader::Start()
{
    if (thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = pause_ = false;
    }
    thread_ = std::thread([this] { Run(); });
}

void PacedReader::Pause()
{
    std::lock_guard lock(mutex_);
    pause_ = true;
    changed_.notify_all();
}

void PacedReader::Resume()
{
    std::lock_guard lock(mutex_);
    pause_ = false;
    changed_.notify_all();
}

void PacedReader::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        changed_.notify_all();
    }
    if (!thread_.joinable()) return;
    feed_.Close();
    thread_.join();
}

bool PacedReader::Forward(size_t frames)
{
    const size_t channels = source_.Channels().size();
    if (buffers_.size() != channels || buffers_[0].size() < frames) {
        buffers_.assign(channels, std::vector<float>(std::max(frames, kBulkFrames)));
        pointers_.clear();
        for (std::vector<float>& buffer : buffers_) pointers_.push_back(buffer.data());
        readOnly_.assign(pointers_.begin(), pointers_.end());
    }
    size_t got = 0;
    try {
        got = source_.Read(frames, pointers_);
    } catch (const std::exception& error) {
        feed_.Finish(error.what());
        return false;
    }
    got = std::min(got, frames);
    if (got > 0 && !feed_.Push(readOnly_, got)) return false;
    if (got < frames) {
        feed_.Finish();
        return false;
    }
    return true;
}

void PacedReader::Run()
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point start = Clock::now();
    uint64_t sent = 0, sentAtStart = 0;  // frames forwarded in all, and when the clock last started
    std::unique_lock lock(mutex_);
    while (!stop_) {
        if (pause_) {
            changed_.wait(lock, [&] { return stop_ || !pause_; });
            start = Clock::now();
            sentAtStart = sent;
            continue;
        }
        size_t frames = kBulkFrames;
        if (framesPerSecond_ > 0) {
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            const auto due = sentAtStart + uint64_t(std::floor(elapsed * framesPerSecond_));
            if (due <= sent) {
                changed_.wait_for(lock, kTick);
                continue;
            }
            frames = size_t(std::min<uint64_t>(due - sent, 1u << 20));
        }
        lock.unlock();
        const bool more = Forward(frames);
        lock.lock();
        sent += frames;
        if (!more) break;
        if (framesPerSecond_ > 0) changed_.wait_for(lock, kTick, [&] { return stop_ || pause_; });
    }
}
