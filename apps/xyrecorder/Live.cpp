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
WindowRef OpenPlot(Session& session, const PlotOptions& plot, const std::vector<ChannelSpec>& channels)
{
    int x = ResolveChannel(channels, plot.xChannel.empty() ? "1" : plot.xChannel, "--x", plot.sourceName);
    int y = ResolveChannel(channels, plot.yChannel.empty() ? (channels.size() > 1 ? "2" : "1") : plot.yChannel, "--y",
                           plot.sourceName);
    session.DefineChannels(channels);
    WindowRef window = session.Open(plot.width, plot.height);
    if (session.Record(window).xChannel != x)
        session.ChooseChannel(window, AxisSide::x, x);
    if (session.Record(window).yChannel != y)
        session.ChooseChannel(window, AxisSide::y, y);
    return window;
}

void AdoptChannelRanges(Session& session, WindowRef window)
{
    session.ChooseAxisItem(window, AxisSide::x, "Channel Range");
    session.ChooseAxisItem(window, AxisSide::y, "Channel Range");
}

std::string FramePath(const std::string& dir, long number)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame-%05ld.png", number);
    return (fs::path(dir) / name).string();
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

void PlotLive(const PlotOptions& plot, const LiveOptions& live, SignalSetSource& source)
{
    if (!live.framesDir.empty()) {
        std::error_code ec;
        fs::create_directories(live.framesDir, ec);
        if (ec || !fs::is_directory(live.framesDir))
            throw InputError("--frames " + live.framesDir + ": cannot make the folder" +
                             (ec ? ": " + ec.message() : std::string()));
    }
    CheckOutputPath(plot.out, "--out");
    Session session(plot.bundle.empty() ? DefaultBundlePath() : plot.bundle, StderrIsTerminal());
    Recorder& host = session.Host();
    WindowRef window = OpenPlot(session, plot, source.Channels());
    if (live.eraseMinutes)
        session.AnswerEraseDialog(window, live.eraseMinutes, true, false);

    host.StartSampling(source, live.batch);
    AdoptChannelRanges(session, window);
    Progress progress("sampling", source.Remaining());
    size_t total = source.Remaining();
    long batches = 0, frames = 0;
    auto due = std::chrono::steady_clock::now();
    while (size_t taken = host.SampleBatch()) {
        ++batches;
        if (live.realtime) {
            due += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(double(taken) * source.SampleInterval()));
            std::this_thread::sleep_until(due);
        }
        progress.Update(total - source.Remaining());
        if (!live.framesDir.empty() && batches % live.every == 0)
            session.WritePng(window, FramePath(live.framesDir, ++frames));
    }
    host.StopSampling();
    session.RequireNoErrors("sampling");
    session.WritePng(window, plot.out);
}

void PlotRecorded(const PlotOptions& plot, const SignalSet& signals, int32_t first, int32_t last)
{
    CheckOutputPath(plot.out, "--out");
    Session session(plot.bundle.empty() ? DefaultBundlePath() : plot.bundle, StderrIsTerminal());
    std::vector<ChannelSpec> channels;
    for (const SignalChannel& channel : signals.channels)
        channels.push_back(channel.info);
    session.LoadRecorded(signals);
    WindowRef window = OpenPlot(session, plot, channels);
    session.Host().SelectRange(first, last);
    AdoptChannelRanges(session, window);
    session.RequireNoErrors("redrawing");
    session.WritePng(window, plot.out);
}
