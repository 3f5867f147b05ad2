#include "Live.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include "Progress.h"

namespace fs = std::filesystem;

namespace {

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO); }

// Channels on the axes, then each axis adopts its channel's display range as
// a user does with the axis menu's "Channel Range".
WindowRef OpenPlot(Session& session, const PlotOptions& plot, const std::vector<ChannelSettings>& channels)
{
    int x = ResolveChannel(channels, plot.xChannel.empty() ? "1" : plot.xChannel, "--x", plot.sourceName);
    int y = ResolveChannel(channels, plot.yChannel.empty() ? (channels.size() > 1 ? "2" : "1") : plot.yChannel, "--y",
                           plot.sourceName);
    session.DefineChannels(channels);
    WindowRef window = session.Open(plot.width, plot.height);
    if (session.AxisChannel(window, AxisSide::x) != x)
        session.ChooseChannel(window, AxisSide::x, x);
    if (session.AxisChannel(window, AxisSide::y) != y)
        session.ChooseChannel(window, AxisSide::y, y);
    return window;
}

void AdoptChannelRanges(Session& session, WindowRef window)
{
    session.ChooseAxisItem(window, AxisSide::x, "Channel Range");
    session.ChooseAxisItem(window, AxisSide::y, "Channel Range");
}

// The --frames folder: made when sampling begins; unless the run succeeds, the
// frames written and the folders made go again.
class FramesFolder {
public:
    explicit FramesFolder(const std::string& dir) : dir_(dir)
    {
        if (dir_.empty())
            return;
        for (fs::path p = fs::absolute(dir_); !p.empty() && !fs::exists(p); p = p.parent_path())
            made_.push_back(p);
        std::error_code ec;
        fs::create_directories(dir_, ec);
        if (ec || !fs::is_directory(dir_))
            throw InputError("--frames " + dir_ + ": cannot make the folder" + (ec ? ": " + ec.message() : std::string()));
    }
    ~FramesFolder()
    {
        if (kept_)
            return;
        std::error_code ec;
        for (const std::string& frame : written_)
            fs::remove(frame, ec);
        for (const fs::path& folder : made_)  // innermost first; only if empty
            fs::remove(folder, ec);
    }
    FramesFolder(const FramesFolder&) = delete;
    FramesFolder& operator=(const FramesFolder&) = delete;

    void Write(Session& session, WindowRef window)
    {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%05zu.png", written_.size() + 1);
        std::string path = (fs::path(dir_) / name).string();
        session.WritePng(window, path);
        written_.push_back(path);
    }
    void Keep() { kept_ = true; }

private:
    std::string dir_;
    std::vector<fs::path> made_;
    std::vector<std::string> written_;
    bool kept_ = false;
};

void CheckFramesFolder(const std::string& dir)
{
    // The folder itself, or the nearest folder above it that exists.
    fs::path existing = fs::absolute(dir);
    std::error_code ec;
    while (!fs::exists(existing, ec) && existing.has_parent_path() && existing != existing.parent_path())
        existing = existing.parent_path();
    if (!fs::is_directory(existing, ec))
        throw InputError("--frames " + dir + ": " + existing.string() + " is not a folder");
    if (::access(existing.c_str(), W_OK) != 0)
        throw InputError("--frames " + dir + ": the folder " + existing.string() + " is not writable");
}

}  // namespace

void CheckOutputPath(const std::string& path, const std::string& what)
{
    fs::path target(path);
    fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    if (fs::is_directory(target, ec))
        throw InputError(what + " " + path + ": is a folder, not a file name");
    if (!fs::is_directory(folder, ec))
        throw InputError(what + " " + path + ": the folder " + folder.string() + " does not exist");
    if (::access(folder.c_str(), W_OK) != 0)
        throw InputError(what + " " + path + ": the folder " + folder.string() + " is not writable");
}

void CheckOutputs(const PlotOptions& plot, const LiveOptions* live)
{
    CheckOutputPath(plot.out, "--out");
    if (live && !live->framesDir.empty())
        CheckFramesFolder(live->framesDir);
}

void PlotLive(const PlotOptions& plot, const LiveOptions& live, SignalSetSource& source)
{
    CheckOutputs(plot, &live);
    CheckRecordingFits(double(source.Remaining()), source.Channels().size(), plot.sourceName);
    Session session(plot.bundle.empty() ? DefaultBundlePath() : plot.bundle, StderrIsTerminal());
    try {
        Recorder& host = session.Host();
        WindowRef window = OpenPlot(session, plot, source.Channels());
        if (live.eraseMinutes)
            session.AnswerEraseDialog(window, live.eraseMinutes, true, false);

        FramesFolder frames(live.framesDir);
        host.StartSampling(source, live.batch);
        AdoptChannelRanges(session, window);
        Progress progress("sampling", source.Remaining());
        size_t total = source.Remaining();
        long batches = 0;
        auto due = std::chrono::steady_clock::now();
        while (size_t taken = session.SampleBatch()) {
            ++batches;
            if (live.realtime) {
                due += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                    std::chrono::duration<double>(double(taken) * source.SampleInterval()));
                std::this_thread::sleep_until(due);
            }
            progress.Update(total - source.Remaining());
            if (!live.framesDir.empty() && batches % live.every == 0)
                frames.Write(session, window);
        }
        host.StopSampling();
        session.RequireNoErrors("sampling");
        session.WritePicture(window, plot.out, plot.scale);
        frames.Keep();
    } catch (...) {
        session.ShowMessages(false);
        throw;
    }
    session.ShowMessages(false);
}

void PlotRecorded(const PlotOptions& plot, const SignalSet& signals, int32_t first, int32_t last)
{
    CheckOutputs(plot, nullptr);
    CheckRecordingFits(double(signals.SampleCount()), signals.channels.size(), plot.sourceName);
    Session session(plot.bundle.empty() ? DefaultBundlePath() : plot.bundle, StderrIsTerminal());
    try {
        std::vector<ChannelSettings> channels;
        for (const SignalChannel& channel : signals.channels)
            channels.push_back(channel.info);
        session.LoadRecorded(signals);
        WindowRef window = OpenPlot(session, plot, channels);
        session.Host().SelectRange(first, last);
        AdoptChannelRanges(session, window);
        session.RequireNoErrors("redrawing");
        session.WritePicture(window, plot.out, plot.scale);
    } catch (...) {
        session.ShowMessages(false);
        throw;
    }
    session.ShowMessages(false);
}
