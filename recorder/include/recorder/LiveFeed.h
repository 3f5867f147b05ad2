// A live stream's rows into a sample feed. The feed is made when the stream
// knows its channels and interval; the recorder samples from it at its own
// pace. A live source can't be asked to wait: rows that arrive while the
// recorder does not take them (sampling stopped) are dropped, and a run
// ends at a limit (a duration, the recording's room).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "recorder/SampleFeed.h"
#include "signals/LiveStream.h"

class LiveFeed final : public LiveSink {
public:
    // The most frames a run may take and, when reaching them is a failure,
    // why ("the recording is full ..."); empty when it is the run's end.
    struct Limit {
        uint64_t frames = UINT64_MAX;
        std::string why;
    };

    // source: the stream's name, put before its errors. showNote: shows a
    // note on the stream's thread. limitFor: the run's limit, once the channels
    // and the interval are known.
    LiveFeed(std::string source, std::function<void(const std::string&)> showNote,
             std::function<Limit(size_t channels, double sampleInterval)> limitFor);

    // ---- The program's side ----
    // Waits until the stream began (Feed() is there) or ended, or until the
    // time given; whether either happened.
    bool WaitForBegin(Clock::time_point until);
    SampleFeed* Feed() const { return feed_.get(); }
    // The stream ended before it began: why (empty when it was stopped).
    std::string ErrorBeforeBegin() const;
    // Whether rows that arrive are kept (true at first).
    void Take(bool take) { taking_ = take; }
    // No more rows are taken; a push waiting for room gives up.
    void Close();

    // ---- LiveSink: the stream's thread ----
    void Begin(const std::vector<ChannelSettings>& channels, double sampleInterval) override;
    void Rows(std::span<const float* const> channels, size_t frames, Clock::time_point arrival) override;
    void Note(const std::string& text) override;
    void End(const std::string& error) override;

private:
    // Ends the feed once (error: the whole message): later rows and ends change nothing.
    void FinishFeed(const std::string& error);

    std::string source_;
    std::function<void(const std::string&)> showNote_;
    std::function<Limit(size_t, double)> limitFor_;
    Limit limit_;
    uint64_t taken_ = 0;
    std::unique_ptr<SampleFeed> feed_;
    std::atomic<bool> taking_{true}, finished_{false};
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool begun_ = false, ended_ = false;
    std::string error_;
};
