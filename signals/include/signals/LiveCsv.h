// CSV rows arriving in pieces (a pipe's reads, a serial line's bytes, UDP
// datagrams) made into a header, channels and samples for a LiveSink. The
// rows are split and read by the same rules as CSV files.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string_view>

#include "signals/LiveStream.h"

class LiveCsvParser {
public:
    using Clock = std::chrono::steady_clock;

    // Lines longer than this are skipped (a source must not make us hold all it sends).
    static constexpr size_t kMaxLineBytes = 65536;
    // Sampling begins with this many rows, or kFirstRowsWait after the first.
    static constexpr size_t kFirstRows = 8;
    static constexpr std::chrono::milliseconds kFirstRowsWait{100};

    LiveCsvParser(LiveSink& sink, const LiveSourceOptions& options);
    ~LiveCsvParser();
    LiveCsvParser(const LiveCsvParser&) = delete;
    LiveCsvParser& operator=(const LiveCsvParser&) = delete;

    // Bytes as they arrived. endOfMessage: a datagram ends here, and so does
    // a line it left open. The rows they complete go to the sink before it returns.
    void Feed(std::string_view bytes, Clock::time_point arrival, bool endOfMessage = false);
    // When Tick is due: sampling waits for more first rows until then. max() when nothing waits.
    Clock::time_point Deadline() const;
    void Tick(Clock::time_point now);
    // The stream said something that ends it (a header with other channels,
    // no interval); nothing more is read, and Finish gives the reason.
    bool Failed() const;
    // The source ended or was stopped (error: why, empty when it just
    // ended): the rows held are delivered, the counts noted, and End called.
    void Finish(const std::string& error, Clock::time_point now);

private:
    struct State;
    std::unique_ptr<State> state_;
};
