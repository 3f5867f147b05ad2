// xyrecorder --window: the recorder session shown live on the desktop.
#include "WindowMode.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "display/LiveDisplay.h"
#include "recorder/PacedReader.h"
#include "recorder/SampleFeed.h"

namespace fs = std::filesystem;

const OptionGroup kWindowOptions = {
    {"window", 0, "",
     "watch it live in a desktop window and use the mouse and keys\n"
     "(press ? in the window for the keys; Ctrl+S saves to --out)"},
    {"zoom", 0, "N", "with --window: every pixel shown N × N, 1..4 (default 1)"},
};

const OptionGroup kWindowSpeedOptions = {
    {"speed", 0, "X",
     "with --window: play at X times the recording's own rate,\n"
     "or max for as fast as possible (default 1)"},
};

namespace {

// Samples that may wait for the window (while the user holds a menu or a
// dialog open): ten minutes at the recording's rate, at most 64 MiB.
constexpr double kFeedSeconds = 600;
constexpr double kFeedBytes = 64.0 * 1024 * 1024;

std::string SavePath(const std::string& out, int number)
{
    if (number <= 1) return out;
    fs::path path(out);
    return (path.parent_path() / (path.stem().string() + "-" + std::to_string(number) + path.extension().string()))
        .string();
}

}  // namespace

display::DisplayOptions DisplayOptionsFor(Session& session, const PlotOptions& plot, const WindowOptions& window)
{
    display::DisplayOptions options;
    options.zoom = window.zoom;
    options.savePath = [out = plot.out](int number) { return SavePath(out, number); };
    options.saveScale = plot.scale;
    options.afterAction = [&session] { session.ShowMessages(true); };
    return options;
}

namespace {

// Space: pause and resume the source, or play it again once it has ended.
// Samples already read are delivered before sampling stops; none is lost.
class Playback {
public:
    Playback(Recorder& host, SignalSetSource& source, SampleFeed& feed, double speed, size_t batch)
        : host_(host), source_(source), feed_(feed), reader_(source, feed, speed), batch_(batch)
    {}
    void Start()
    {
        host_.StartSampling(feed_, batch_);
        reader_.Start();
    }
    void StartOrStop()
    {
        if (host_.IsSampling()) {
            reader_.Pause();
            while (feed_.Available() > 0) host_.SampleBatch();
            host_.StopSampling();
            return;
        }
        if (feed_.Finished()) {
            reader_.Stop();
            source_.Rewind();
            feed_.Reset();
            reader_.Start();
        } else {
            reader_.Resume();
        }
        host_.StartSampling(feed_, batch_);
    }
    void Stop()
    {
        reader_.Stop();
        if (host_.IsSampling()) host_.StopSampling();
    }

private:
    Recorder& host_;
    SignalSetSource& source_;
    SampleFeed& feed_;
    PacedReader reader_;
    size_t batch_;
};

}  // namespace

void ShowingMessages(Session& session, const std::function<void()>& body)
{
    try {
        body();
    } catch (const display::DisplayError& error) {
        session.ShowMessages(true);
        throw InputError(std::string("--window: ") + error.what());
    } catch (...) {
        session.ShowMessages(true);
        throw;
    }
    session.ShowMessages(true);
}

WindowOptions ReadWindowOptions(const Options& options, bool live)
{
    WindowOptions window;
    window.wanted = options.Has("window");
    if (!window.wanted) {
        for (const char* name : {"zoom", "speed"})
            if (options.Has(name)) throw UsageError(std::string("--") + name + " needs --window");
        return window;
    }
    window.zoom = int(options.Integer("zoom", 1, 1, display::kMaxZoom));
    if (live) {
        const std::string speed = options.Text("speed", "1");
        window.speed = speed == "max" ? 0.0 : options.Number("speed", 1.0, 1e-3, 1e6);
        for (const char* name : {"frames", "every", "realtime"})
            if (options.Has(name))
                throw UsageError(std::string("--") + name + " can't be used with --window (the window shows it live)");
    }
    return window;
}

void RequireDesktop()
{
    if (!display::DesktopAvailable())
        throw InputError("--window needs a desktop, but neither DISPLAY nor WAYLAND_DISPLAY is set");
}

void WatchLive(const PlotOptions& plot, const LiveOptions& live, const WindowOptions& window, SignalSetSource& source)
{
    RequireDesktop();
    CheckRecordingFits(double(source.Remaining()), plot.sourceName);
    Session session(plot.bundle.empty() ? DefaultBundlePath() : plot.bundle, false);
    ShowingMessages(session, [&] {
        Recorder& host = session.Host();
        WindowRef plotWindow = OpenPlot(session, plot, source.Channels());
        if (live.eraseMinutes) session.AnswerEraseDialog(plotWindow, live.eraseMinutes, true, false);

        const size_t channels = source.Channels().size();
        const double perSecond = 1.0 / source.SampleInterval();
        const auto capacity = size_t(std::clamp(
            std::min(perSecond * kFeedSeconds, kFeedBytes / (4.0 * double(channels))), double(live.batch), kFeedBytes));
        SampleFeed feed(source.Channels(), source.SampleInterval(), capacity);
        Playback playback(host, source, feed, window.speed, live.batch);
        display::DisplayOptions options = DisplayOptionsFor(session, plot, window);
        options.feed = &feed;
        options.startOrStop = [&playback] { playback.StartOrStop(); };
        // The display before the reader's thread: that thread must inherit
        // the signal mask the display's test hooks set.
        display::LiveDisplay desktop(host, options);
        playback.Start();
        AdoptAxisRanges(session, plotWindow, plot);
        std::fprintf(stderr, "xyrecorder: sampling in the window; press ? there for the keys, Q to quit\n");
        desktop.Run();
        playback.Stop();
    });
}

void WatchRecorded(const PlotOptions& plot, const WindowOptions& window, const StoredSignals& signals, int32_t first,
                   int32_t last)
{
    RequireDesktop();
    CheckRecordingFits(double(signals.SampleCount()), plot.sourceName);
    Session session(plot.bundle.empty() ? DefaultBundlePath() : plot.bundle, false);
    ShowingMessages(session, [&] {
        ShowRecorded(session, plot, signals, first, last);
        display::LiveDisplay desktop(session.Host(), DisplayOptionsFor(session, plot, window));
        std::fprintf(stderr, "xyrecorder: press ? in the window for the keys, Q to quit\n");
        desktop.Run();
    });
}
