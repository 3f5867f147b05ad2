// A buffer of samples between a thread that reads a source (a file played at
// its own pace, a live stream) and the recorder's thread, which samples from
// it. The reader pushes what it has read; the recorder takes what has arrived,
// in order and complete, at its own pace: also long after, when the extension
// held the recorder's thread in a modal loop (a popup, a drag, a dialog).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "signals/SampleSource.h"

class SampleFeed : public SampleSource {
public:
    using Clock = std::chrono::steady_clock;

    // capacityFrames: how much may wait before a push waits for room.
    // Throws std::invalid_argument for no channels, more than kMaxChannels, a
    // sample interval that is not positive or no capacity.
    SampleFeed(std::vector<ChannelSettings> channels, double sampleInterval, size_t capacityFrames);

    const std::vector<ChannelSettings>& Channels() const override { return channels_; }
    double SampleInterval() const override { return sampleInterval_; }
    // What has arrived, up to frames, oldest first. Fewer than asked (or 0)
    // means nothing more has arrived yet; Ended() tells the end of the source.
    size_t Read(size_t frames, std::span<float* const> channels) override;

    // ---- The reader's side (one thread) ----
    // Appends frames samples of every channel (channels[m]: channel m + 1).
    // Waits while the feed is full, so nothing is lost; returns false once the
    // feed is closed (what did not fit is dropped then). arrival: when the
    // samples were read, if not now.
    bool Push(std::span<const float* const> channels, size_t frames,
              std::optional<Clock::time_point> arrival = std::nullopt);
    // The source has ended; error says why when it failed.
    void Finish(const std::string& error = {});

    // ---- The recorder's side ----
    size_t Available() const;
    // Waits until samples are there, the reader finished or the feed was
    // closed, or until the time given; whether any of those holds.
    bool WaitForSamples(Clock::time_point until);
    bool Finished() const;  // the reader finished; samples may still wait
    bool Ended() const;     // finished and every sample taken
    std::string Error() const;
    // Ends the feed for the reader: a waiting push returns false.
    void Close();
    // Empties the feed and makes it ready for a new run of the reader.
    void Reset();
    uint64_t FramesPushed() const;
    uint64_t FramesRead() const;

    // Arrival times of the pushes, kept when asked for: those whose last
    // sample Read has taken since the last call are moved to out.
    void KeepArrivalTimes(bool keep);
    void TakeDeliveredArrivals(std::vector<Clock::time_point>& out);

private:
    struct Arrival {
        uint64_t endFrame;  // FramesPushed() after the push
        Clock::time_point time;
    };

    std::vector<ChannelSettings> channels_;
    double sampleInterval_;
    size_t capacity_;
    std::vector<std::unique_ptr<float[]>> ring_;  // per channel, capacity_ floats
    mutable std::mutex mutex_;
    std::condition_variable room_;
    std::condition_variable arrived_;  // for WaitForSamples
    size_t head_ = 0;                  // index of the oldest sample in the ring
    size_t count_ = 0;                 // samples waiting
    uint64_t pushed_ = 0, read_ = 0;
    bool finished_ = false, closed_ = false;
    std::string error_;
    bool keepArrivals_ = false;
    std::deque<Arrival> pending_;
    std::vector<Clock::time_point> delivered_;
};
