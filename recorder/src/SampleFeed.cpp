// The sample buffer between a reader thread and the recorder's thread.
#include "recorder/SampleFeed.h"

#include <algorithm>
#include <stdexcept>

SampleFeed::SampleFeed(std::vector<ChannelSettings> channels, double sampleInterval, size_t capacityFrames)
    : channels_(std::move(channels)), sampleInterval_(sampleInterval), capacity_(capacityFrames)
{
    if (channels_.empty() || channels_.size() > size_t(kMaxChannels))
        throw std::invalid_argument("a sample feed needs 1 to 32 channels, not " + std::to_string(channels_.size()));
    if (!(sampleInterval_ > 0.0)) throw std::invalid_argument("a sample feed needs a positive sample interval");
    if (capacity_ == 0) throw std::invalid_argument("a sample feed needs room for samples");
    // Left uninitialised: a large ring's pages are only touched (and the
    // memory taken) as samples reach them, so a fast source's room for
    // minutes costs nothing at the start.
    for (size_t m = 0; m < channels_.size(); ++m) ring_.emplace_back(new float[capacity_]);
}

size_t SampleFeed::Read(size_t frames, std::span<float* const> channels)
{
    std::lock_guard lock(mutex_);
    const size_t n = std::min(frames, count_);
    if (n == 0) return 0;
    const size_t first = std::min(n, capacity_ - head_);  // before the ring wraps
    for (size_t m = 0; m < ring_.size() && m < channels.size(); ++m) {
        const float* ring = ring_[m].get();
        std::copy_n(ring + head_, first, channels[m]);
        std::copy_n(ring, n - first, channels[m] + first);
    }
    head_ = (head_ + n) % capacity_;
    count_ -= n;
    read_ += n;
    while (!pending_.empty() && pending_.front().endFrame <= read_) {
        delivered_.push_back(pending_.front().time);
        pending_.pop_front();
    }
    room_.notify_all();
    return n;
}

bool SampleFeed::Push(std::span<const float* const> channels, size_t frames, std::optional<Clock::time_point> arrival)
{
    std::unique_lock lock(mutex_);
    size_t done = 0;
    while (done < frames) {
        room_.wait(lock, [&] { return closed_ || count_ < capacity_; });
        if (closed_) return false;
        const size_t n = std::min(frames - done, capacity_ - count_);
        const size_t tail = (head_ + count_) % capacity_;
        const size_t first = std::min(n, capacity_ - tail);
        for (size_t m = 0; m < ring_.size(); ++m) {
            float* ring = ring_[m].get();
            const float* from = m < channels.size() ? channels[m] + done : nullptr;
            if (from) {
                std::copy_n(from, first, ring + tail);
                std::copy_n(from + first, n - first, ring);
            } else {
                std::fill_n(ring + tail, first, 0.0f);
                std::fill_n(ring, n - first, 0.0f);
            }
        }
        count_ += n;
        pushed_ += n;
        done += n;
    }
    if (keepArrivals_ && frames > 0) pending_.push_back({pushed_, arrival.value_or(Clock::now())});
    arrived_.notify_all();
    return true;
}

void SampleFeed::Finish(const std::string& error)
{
    std::lock_guard lock(mutex_);
    finished_ = true;
    error_ = error;
    arrived_.notify_all();
}

size_t SampleFeed::Available() const
{
    std::lock_guard lock(mutex_);
    return count_;
}

bool SampleFeed::WaitForSamples(Clock::time_point until)
{
    std::unique_lock lock(mutex_);
    return arrived_.wait_until(lock, until, [&] { return count_ > 0 || finished_ || closed_; });
}

bool SampleFeed::Finished() const
{
    std::lock_guard lock(mutex_);
    return finished_;
}

bool SampleFeed::Ended() const
{
    std::lock_guard lock(mutex_);
    return finished_ && count_ == 0;
}

std::string SampleFeed::Error() const
{
    std::lock_guard lock(mutex_);
    return error_;
}

void SampleFeed::Close()
{
    std::lock_guard lock(mutex_);
    closed_ = true;
    room_.notify_all();
    arrived_.notify_all();
}

void SampleFeed::Reset()
{
    std::lock_guard lock(mutex_);
    head_ = count_ = 0;
    finished_ = closed_ = false;
    error_.clear();
    pending_.clear();
    room_.notify_all();
}

uint64_t SampleFeed::FramesPushed() const
{
    std::lock_guard lock(mutex_);
    return pushed_;
}

uint64_t SampleFeed::FramesRead() const
{
    std::lock_guard lock(mutex_);
    return read_;
}

void SampleFeed::KeepArrivalTimes(bool keep)
{
    std::lock_guard lock(mutex_);
    keepArrivals_ = keep;
    if (!keep) {
        pending_.clear();
        delivered_.clear();
    }
}

void SampleFeed::TakeDeliveredArrivals(std::vector<Clock::time_point>& out)
{
    std::lock_guard lock(mutex_);
    out.insert(out.end(), delivered_.begin(), delivered_.end());
    delivered_.clear();
}
