// xyrecorder live: a live stream read on its own thread into a feed, sampled
// into the recording and the X-Y window as it arrives; at the end the window
// as a picture (or the desktop window until the user quits) and the recording.
#include "LiveCommand.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include "FramesFolder.h"
#include "PlotCommands.h"
#include "WindowMode.h"
#include "recorder/LiveFeed.h"
#include "signals/InputText.h"
#include "signals/LiveStream.h"
#include "signals/OutputFile.h"
#include "signals/Signals.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

using namespace std::chrono_literals;

// At most one delivery per tick: the batches of a tick hold what arrived
// since the last, so a fast source makes bigger batches, not more of them.
constexpr Clock::duration kBatchTick = 5ms;
// How often a wait looks for Ctrl-C.
constexpr Clock::duration kInterruptPoll = 50ms;
// After this long without a header, the user is told what is awaited.
constexpr Clock::duration kWaitingNotice = 2s;
// Samples a batch holds by default: what arrived in a tick, up to a block.
constexpr size_t kLiveBatch = 32767;

}  // namespace

const char* const kLiveAbout = R"TEXT(SOURCE is one of:
  -                 CSV rows on standard input, as they come
  DEVICE            a serial device (/dev/ttyACM0, /dev/ttyUSB0) or a FIFO
  udp:PORT          CSV lines in UDP datagrams sent to PORT (udp:127.0.0.1:PORT
                    takes them from this machine only)
  audio:            the sound card's capture, two channels (Left, Right) at the
  audio:NAME        device's rate; NAME is a capture device's name

CSV rows: a header row of channel titles, optionally a units row, then a row
of numbers per sample. A first column titled like a time ("Time (s)", "t",
"time_ms") gives the sample interval from the first rows; without one give
--rate or --interval. The axes take their ranges from the first rows (eight,
or those of the first 0.1 s). A board that resets and prints its header again
goes on recording; lines that can't be read are skipped and counted.

Sampling ends when the source does (standard input closes, a device goes
away), after --duration, or on Ctrl-C. The recording so far is kept: the
window is written to --out and, with --save, the recording. With --window the
window stays open until you quit.

More examples:
  xyrecorder live /dev/ttyACM0 --baud 115200 --window
  xyrecorder live audio: --duration 10 --out scope.png
)TEXT";

const OptionGroup kLiveSourceOptions = {
    {"rate", 0, "HZ",
     "samples per second (CSV without a time column; for audio,\n"
     "the rate asked of the device)"},
    {"interval", 0, "S", "seconds between CSV rows, as play takes it (instead of --rate)"},
    {"baud", 0, "N", "a serial device's speed (default 115200)"},
    {"duration", 0, "S", "stop after S seconds of samples"},
    {"save", 0, "FILE",
     "write the recording when sampling ends: .csv, .wav, .edf or\n"
     ".bdf, by the name's extension"},
};

const OptionGroup kLiveBatchOptions = {
    {"batch", 0, "N",
     "at most N samples per batch, 1..32767 (default: what\n"
     "arrived since the last batch; at most 200 batches a second)"},
    {"erase-time", 0, "MIN", "erase the trace automatically every MIN minutes (0.1..100)"},
    {"frames", 0, "DIR", "also write DIR/frame-00001.png, ... during sampling"},
    {"every", 0, "N", "a frame every N batches (default 10)"},
};

namespace {

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO); }

std::string FormatRate(double sampleInterval)
{
    char text[40];
    std::snprintf(text, sizeof text, "%g Hz", 1.0 / sampleInterval);
    return text;
}

bool NamesADevice(const std::string& source)
{
    return source != "-" && source.rfind("udp:", 0) != 0 && source.rfind("audio:", 0) != 0;
}

// What the run was asked for beyond the plot and the batches.
struct LiveRequest {
    std::string source;
    LiveSourceOptions stream;
    std::optional<double> duration;
    std::string save;
};

void CheckSavePath(const std::string& save, const PlotOptions& plot)
{
    try {
        SignalFormatOf(save);
    } catch (const SignalFileError& error) {
        throw UsageError(std::string("--save ") + error.what());
    }
    CheckOutputPath(save, "--save");
    RequireNotAnInput(save, plot.inputs, "--save");
    std::error_code ec;
    if (fs::weakly_canonical(fs::absolute(save), ec) == fs::weakly_canonical(fs::absolute(plot.out), ec) && !ec)
        throw UsageError("--save and --out name the same file");
}

// The run's limit: --duration, and the recording's room.
LiveFeed::Limit RunLimit(double sampleInterval, std::optional<double> duration)
{
    LiveFeed::Limit limit;
    limit.frames = uint64_t(kMaxRecordingSamples);
    char why[160];
    std::snprintf(why, sizeof why, "the recording is full (the recorder holds at most %.0f samples a channel)",
                  kMaxRecordingSamples);
    limit.why = why;
    if (duration) {
        const auto frames = uint64_t(std::max(1.0, std::round(*duration / sampleInterval)));
        if (frames <= limit.frames) {
            limit.frames = frames;
            limit.why.clear();
        }
    }
    return limit;
}

std::string ChannelList(const std::vector<ChannelSettings>& channels)
{
    std::string list;
    for (const ChannelSettings& channel : channels) list += (list.empty() ? "" : ", ") + ShowInput(channel.title, 20);
    return list;
}

// The stream's reading ends with the run, however it ends: a push waiting
// for room gives up, and the thread is joined.
struct StreamEnd {
    LiveStream& stream;
    LiveFeed& feed;
    ~StreamEnd()
    {
        feed.Close();
        stream.Stop();
    }
};

// Waits for the stream's channels; Ctrl-C meanwhile stops the stream.
void WaitForChannels(LiveFeed& feed, LiveStream& stream)
{
    const Clock::time_point start = Clock::now();
    bool told = false, stopAsked = false;
    while (!feed.WaitForBegin(Clock::now() + kInterruptPoll)) {
        if (FinishOnInterrupt::Requested() && !stopAsked) {
            stream.RequestStop();
            stopAsked = true;
        }
        if (!told && Clock::now() - start > kWaitingNotice) {
            std::fprintf(stderr, "xyrecorder: waiting for %s: a header row of channel titles, then rows of numbers\n",
                         EscapeInput(stream.Name()).c_str());
            told = true;
        }
    }
}

// The recording as signals, block by block.
SignalSet RecordedSignals(Recording& recording, double sampleInterval)
{
    SignalSet set;
    set.sampleInterval = sampleInterval;
    for (int16_t c = 1; c <= recording.ChannelCount(); ++c) {
        SignalChannel channel;
        channel.info = recording.Channel(c);
        channel.samples.reserve(size_t(recording.SampleCount()));
        for (int16_t block = 0; block < recording.BlockCount(); ++block) {
            const auto length = size_t(recording.BlockLength(block));
            Handle data = recording.LockBlockData(c, block);
            const auto* floats = data ? reinterpret_cast<const float*>(*data) : nullptr;
            if (floats)
                channel.samples.insert(channel.samples.end(), floats, floats + length);
            else
                channel.samples.insert(channel.samples.end(), length, 0.0f);
            recording.UnlockBlockData(c, block);
        }
        set.channels.push_back(std::move(channel));
    }
    return set;
}

// --save; false when it could not be written (the message says why).
bool SaveRecording(Session& session, const std::string& path)
{
    Recording& recording = session.Host().GetRecording();
    if (recording.SampleCount() == 0) {
        std::fprintf(stderr, "xyrecorder: nothing was recorded; --save %s not written\n", EscapeInput(path).c_str());
        return true;
    }
    try {
        WriteSignals(path, RecordedSignals(recording, session.Host().SampleInterval()));
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "xyrecorder: --save %s: %s\n", EscapeInput(path).c_str(),
                     OutOfMemoryMessage("copying the recording to write it").c_str());
        return false;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "xyrecorder: --save: %s\n", EscapeInput(error.what()).c_str());
        return false;
    }
    std::fprintf(stderr, "xyrecorder: wrote %s (the recording, %d samples)\n", EscapeInput(path).c_str(),
                 recording.SampleCount());
    return true;
}

void ReportEnd(Session& session, bool interrupted)
{
    const Recording& recording = session.Host().GetRecording();
    std::fprintf(stderr, "xyrecorder: sampling ended%s after %d samples (%g s)\n", interrupted ? " on Ctrl-C" : "",
                 recording.SampleCount(), double(recording.SampleCount()) * session.Host().SampleInterval());
}

// XYRECORDER_LATENCY_LOG=FILE: a line per batch drawn, the microseconds from
// its rows' arrival to the end of the extension's drawing.
class LatencyLog {
public:
    explicit LatencyLog(SampleFeed& samples) : samples_(samples)
    {
        if (const char* path = std::getenv("XYRECORDER_LATENCY_LOG"); path && *path) file_ = std::fopen(path, "w");
        samples_.KeepArrivalTimes(file_ != nullptr);
    }
    ~LatencyLog()
    {
        samples_.KeepArrivalTimes(false);
        if (file_) std::fclose(file_);
    }
    void Drawn()
    {
        if (!file_) return;
        arrivals_.clear();
        samples_.TakeDeliveredArrivals(arrivals_);
        const Clock::time_point now = Clock::now();
        for (Clock::time_point arrival : arrivals_)
            std::fprintf(
                file_, "%lld\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now - arrival).count()));
    }

private:
    SampleFeed& samples_;
    std::FILE* file_ = nullptr;
    std::vector<Clock::time_point> arrivals_;
};

// Delivers what arrives until the source ends (or Ctrl-C, or the limit),
// then stops sampling.
void SampleUntilEnd(Session& session, LiveStream& stream, SampleFeed& samples, const LiveOptions& live,
                    FramesFolder& frames, WindowRef window)
{
    LatencyLog latency(samples);
    Clock::time_point lastDelivery{};
    long batches = 0;
    bool stopAsked = false;
    for (;;) {
        samples.WaitForSamples(Clock::now() + kInterruptPoll);
        if (!stopAsked && (FinishOnInterrupt::Requested() || samples.Finished())) {
            stream.RequestStop();
            stopAsked = true;
        }
        std::this_thread::sleep_until(lastDelivery + kBatchTick);
        lastDelivery = Clock::now();
        while (samples.Available() > 0) {
            session.SampleBatch();
            latency.Drawn();
            if (!live.framesDir.empty() && ++batches % live.every == 0) frames.Write(session, window);
        }
        if (samples.Ended()) break;
    }
    session.Host().StopSampling();
}

// Without --window: samples until the end, then the recording and the picture.
// Returns the exit code.
int RecordToPicture(const PlotOptions& plot, const LiveOptions& live, const LiveRequest& request, LiveStream& stream,
                    SampleFeed& samples)
{
    Session session(plot.bundle.empty() ? DefaultBundlePath() : plot.bundle, StderrIsTerminal());
    for (const std::string& input : plot.inputs) session.AddInput(input);
    Recorder& host = session.Host();
    WindowRef window = OpenPlot(session, plot, samples.Channels());
    if (live.eraseMinutes) session.AnswerEraseDialog(window, live.eraseMinutes, true, false);
    FramesFolder frames(live.framesDir);

    // Whatever stops the sampling, what was recorded is written.
    bool failed = false;
    try {
        host.StartSampling(samples, live.batch);
        AdoptAxisRanges(session, window, plot);
        SampleUntilEnd(session, stream, samples, live, frames, window);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "xyrecorder: %s\n", EscapeInput(error.what()).c_str());
        failed = true;
        if (host.IsSampling()) host.StopSampling();
    }
    session.ShowMessages(false);
    if (!samples.Error().empty()) {
        std::fprintf(stderr, "xyrecorder: %s\n", EscapeInput(samples.Error()).c_str());
        failed = true;
    }
    ReportEnd(session, FinishOnInterrupt::Requested());
    if (!request.save.empty() && !SaveRecording(session, request.save)) failed = true;
    try {
        session.WritePicture(window, plot.out, plot.scale);
        frames.Keep();
        session.RequireNoErrors("sampling");
        std::fputs(WhatWasWritten(plot.out, window, plot.scale, live.framesDir, frames.Written()).c_str(), stderr);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "xyrecorder: %s\n", EscapeInput(error.what()).c_str());
        failed = true;
    }
    return failed ? 1 : 0;
}

// Space in the live window: stop taking samples (those that arrive meanwhile
// are not recorded), or take them again while the source goes on.
void StartOrStop(Recorder& host, LiveFeed& feed, SampleFeed& samples, size_t batch)
{
    if (host.IsSampling()) {
        feed.Take(false);
        while (samples.Available() > 0) host.SampleBatch();
        host.StopSampling();
        return;
    }
    if (samples.Finished()) {
        std::fprintf(stderr, "xyrecorder: the source has ended; nothing more will come\n");
        return;
    }
    feed.Take(true);
    host.StartSampling(samples, batch);
}

// With --window: the desktop window until the user quits (or Ctrl-C), then the recording.
int RecordInWindow(const PlotOptions& plot, const LiveOptions& live, const WindowOptions& window,
                   const LiveRequest& request, LiveStream& stream, LiveFeed& feed)
{
    SampleFeed& samples = *feed.Feed();
    Session session(plot.bundle.empty() ? DefaultBundlePath() : plot.bundle, false);
    bool saved = true;
    try {
        ShowingMessages(session, [&] {
            Recorder& host = session.Host();
            WindowRef plotWindow = OpenPlot(session, plot, samples.Channels());
            if (live.eraseMinutes) session.AnswerEraseDialog(plotWindow, live.eraseMinutes, true, false);
            display::DisplayOptions options = DisplayOptionsFor(session, plot, window);
            options.feed = &samples;
            options.startOrStop = [&] { StartOrStop(host, feed, samples, live.batch); };
            options.quitRequested = [] { return FinishOnInterrupt::Requested(); };
            display::LiveDisplay desktop(host, options);
            host.StartSampling(samples, live.batch);
            AdoptAxisRanges(session, plotWindow, plot);
            std::fprintf(stderr, "xyrecorder: sampling in the window; press ? there for the keys, Q to quit\n");
            desktop.Run();
            // What arrived before the quit is recorded; nothing after it.
            feed.Take(false);
            if (host.IsSampling()) {
                while (samples.Available() > 0) session.SampleBatch();
                host.StopSampling();
            }
            feed.Close();
            stream.Stop();
            ReportEnd(session, FinishOnInterrupt::Requested());
        });
    } catch (...) {
        if (!request.save.empty()) SaveRecording(session, request.save);
        throw;
    }
    if (!request.save.empty()) saved = SaveRecording(session, request.save);
    return saved ? 0 : 1;
}

}  // namespace

int RunLive(const Options& options)
{
    if (options.Positional().size() != 1)
        throw UsageError("live needs exactly one SOURCE: -, a serial device, udp:PORT or audio:");

    LiveRequest request;
    request.source = options.Positional()[0];
    PlotOptions plot = ReadPlotOptions(options);
    plot.sourceName = request.source == "-" ? "standard input" : request.source;
    LiveOptions live = ReadLiveOptions(options);
    if (!options.Has("batch")) live.batch = kLiveBatch;
    WindowOptions window = ReadWindowOptions(options, true);
    if (options.Has("rate") && options.Has("interval"))
        throw UsageError("--rate and --interval say the same; give one");
    if (options.Has("rate")) {
        const double rate = options.Number("rate", 1, 1e-9, 1e12);
        request.stream.sampleInterval = 1.0 / rate;
        if (auto problem = SampleIntervalProblem(*request.stream.sampleInterval))
            throw UsageError("--rate: an interval of " + *problem);
    }
    if (options.Has("interval")) {
        request.stream.sampleInterval = options.Number("interval", 0.001, -1e308, 1e308);
        if (auto problem = SampleIntervalProblem(*request.stream.sampleInterval))
            throw UsageError("--interval: " + *problem);
    }
    if (options.Has("baud")) {
        if (!NamesADevice(request.source)) throw UsageError("--baud is for a serial device");
        request.stream.baud = int(options.Integer("baud", 115200, 1, 4000000));
    }
    if (options.Has("duration")) request.duration = options.Number("duration", 1, 1e-6, 1e9);
    request.save = options.Text("save", "");
    if (window.wanted) RequireDesktop();
    if (NamesADevice(request.source)) plot.inputs.push_back(request.source);
    CheckOutputs(plot, &live);
    if (!request.save.empty()) CheckSavePath(request.save, plot);

    std::unique_ptr<LiveStream> stream;
    try {
        stream = LiveStream::Open(request.source, request.stream);
    } catch (const SignalFileError& error) {
        throw InputError(error.what());
    }
    const std::string name = stream->Name();
    plot.sourceName = name;
    LiveFeed feed(
        name,
        [name](const std::string& text) {
            std::fprintf(stderr, "xyrecorder: note: %s: %s\n", EscapeInput(name).c_str(), EscapeInput(text).c_str());
        },
        [duration = request.duration](size_t /*channels*/, double interval) { return RunLimit(interval, duration); });
    FinishOnInterrupt interrupts;
    stream->Start(feed);
    StreamEnd end{*stream, feed};
    WaitForChannels(feed, *stream);
    SampleFeed* samples = feed.Feed();
    if (!samples) {
        const std::string error = feed.ErrorBeforeBegin();
        throw InputError(error.empty() ? name + ": stopped before any samples came" : error);
    }
    if (!request.save.empty())
        if (auto problem = WriteProblem(request.save, samples->SampleInterval()))
            throw InputError("--save " + EscapeInput(request.save) + ": " + *problem + " (" + name + " gives " +
                             FormatRate(samples->SampleInterval()) + "); save as .csv");
    std::fprintf(stderr, "xyrecorder: recording %s: %zu channels (%s) at %s; %s ends it\n", EscapeInput(name).c_str(),
                 samples->Channels().size(), ChannelList(samples->Channels()).c_str(),
                 FormatRate(samples->SampleInterval()).c_str(), window.wanted ? "Q in the window or Ctrl-C" : "Ctrl-C");
    if (window.wanted) return RecordInWindow(plot, live, window, request, *stream, feed);
    return RecordToPicture(plot, live, request, *stream, *samples);
}
