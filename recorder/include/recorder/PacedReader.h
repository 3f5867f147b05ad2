// Plays a source into a feed on a thread of its own, at the source's sample
// rate times a speed, as if it were being recorded now; or as fast as the
// feed takes the samples. It reads every few milliseconds, so the feed gets
// at most a few hundred pushes a second whatever the rate.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "recorder/SampleFeed.h"

class PacedReader {
public:
    static constexpr double kAsFastAsPossible = 0.0;
    static constexpr std::chrono::milliseconds kTick{5};

    // speed: samples per second = speed / source.SampleInterval(); 0 for as
    // fast as possible. The source is read only on the reader's thread from
    // Start until Stop, Pause or the end of the source.
    PacedReader(SampleSource& source, SampleFeed& feed, double speed);
    ~PacedReader();  // Stop
    PacedReader(const PacedReader&) = delete;
    PacedReader& operator=(const PacedReader&) = delete;

    void Start();
    // The clock stops until Resume. A push under way still completes (its
    // samples wait in the feed): the caller may be the one that drains it.
    void Pause();
    void Resume();
    // Ends the thread; a push waiting for room is given up (the feed is closed).
    void Stop();
    bool Running() const { return thread_.joinable(); }

private:
    void Run();
    // Reads up to frames from the source and pushes them; false at the end of
    // the source, on an error or when the feed was closed.
    bool Forward(size_t frames);

    SampleSource& source_;
    SampleFeed& feed_;
    double framesPerSecond_;  // 0: as fast as possible
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false, pause_ = false;
    std::vector<std::vector<float>> buffers_;
    std::vector<float*> pointers_;        // into buffers_, for the source
    std::vector<const float*> readOnly_;  // the same, for the feed
};
