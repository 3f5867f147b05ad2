// Live sources of samples: CSV rows on standard input, from a serial device
// or in UDP datagrams, and a sound card's capture. Each is read on a thread
// of its own and tells a LiveSink what arrives, as it arrives.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "signals/SampleSource.h"

// What a live stream tells, on the stream's thread (an audio device's rows
// come on its own thread). Begin comes once, before any rows; End comes last.
class LiveSink {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~LiveSink() = default;
    // The channels (display ranges fitted to the first rows) and the seconds between samples.
    virtual void Begin(const std::vector<ChannelSettings>& channels, double sampleInterval) = 0;
    // Rows that arrived: channels[m] holds frames samples of channel m + 1,
    // read from the source at arrival.
    virtual void Rows(std::span<const float* const> channels, size_t frames, Clock::time_point arrival) = 0;
    // Something the user should know (a line skipped, the source starting
    // again), one line, input in it quoted.
    virtual void Note(const std::string& text) = 0;
    // The stream is over. error is empty when the source ended (the input
    // closed, Stop); otherwise it says why, in one line.
    virtual void End(const std::string& error) = 0;
};

struct LiveSourceOptions {
    // Seconds between rows: wins over a time column; needed without one. For
    // audio, the rate asked of the device (else the device's own).
    std::optional<double> sampleInterval;
    int baud = 115200;  // a serial device's speed
    // How the user gives the interval, for messages that ask for it.
    std::string intervalHint = "--rate HZ or --interval S";
};

// Rows in a live CSV stream: before sampling, the last line of titles before
// the first row of numbers that fits it is the header (a units row of short
// words may follow it); sampling begins after 8 rows, or 100 ms after the
// first, whose times give the interval. Then rows that fit are samples;
// lines that don't are skipped and counted; the header again is the source
// starting over; a header with other channels ends the stream.
class LiveStream {
public:
    // Opens SOURCE: "-" (standard input), "udp:PORT" or "udp:ADDRESS:PORT"
    // (IPv4; every address by default), "audio:" or "audio:DEVICE" (the
    // capture device of that name), or the path of a serial device or a
    // FIFO. Throws SignalFileError naming the source and what is wrong.
    static std::unique_ptr<LiveStream> Open(const std::string& source, const LiveSourceOptions& options);

    virtual ~LiveStream();  // Stop
    LiveStream(const LiveStream&) = delete;
    LiveStream& operator=(const LiveStream&) = delete;

    // The source in messages: "standard input", "/dev/ttyACM0", "udp:9000".
    const std::string& Name() const { return name_; }
    // A path the run reads from (a device, a FIFO), which no output may replace; empty for others.
    virtual std::string InputPath() const { return {}; }
    // Starts reading on a thread that takes no process signals (they stay
    // with the program's own threads).
    void Start(LiveSink& sink);
    // Asks the thread to end, without waiting: it may be waiting for the
    // sink to take rows.
    void RequestStop();
    // Ends the reading; the sink's End has been called when it returns.
    void Stop();

protected:
    explicit LiveStream(std::string name);
    // Reads until the source ends or stopFd becomes readable; calls End last.
    virtual void Run(LiveSink& sink, int stopFd) = 0;

private:
    std::string name_;
    std::thread thread_;
    int stopPipe_[2] = {-1, -1};
};
