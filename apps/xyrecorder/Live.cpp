#include "Live.h"

#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>
#include <thread>

#include "Progress.h"
#include "signals/InputText.h"
#include "signals/OutputFile.h"

namespace fs = std::filesystem;

namespace {

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO); }

}  // namespace

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

namespace {

// A picture of a run's frames, frame-00001.png and on.
bool IsFrameName(const std::string& name)
{
    constexpr std::string_view prefix = "frame-", suffix = ".png";
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    for (size_t i = prefix.size(); i < name.size() - suffix.size(); ++i)
        if (!std::isdigit((unsigned char)name[i]))
            return false;
    return true;
}

// The --frames folder: all of a successful run's frames and nothing else, or
// (when the run fails or is interrupted) what was there before.
class FramesFolder {
public:
    explicit FramesFolder(const std::string& dir) : dir_(dir)
    {
        if (dir.empty())
            return;
        try {
            folder_ = std::make_unique<OutputFolder>(dir, "frames", IsFrameName);
        } catch (const OutputError& error) {
            throw InputError("--frames " + EscapeInput(dir) + ": " + error.what());
        }
    }

    void Write(Session& session, WindowRef window)
    {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%05zu.png", ++written_);
        session.WritePng(window, folder_->PathOf(name).string());
    }
    void Keep()
    {
        try {
            if (folder_)
                folder_->Commit();
        } catch (const OutputError& error) {
            throw InputError("--frames " + EscapeInput(dir_) + ": " + error.what());
        }
    }

private:
    std::string dir_;
    std::unique_ptr<OutputFolder> folder_;
    size_t written_ = 0;
};

}  // namespace

void CheckOutputPath(const std::string& path, const std::string& what)
{
    try {
        ResolveOutput(path);
    } catch (const OutputError& error) {
        throw InputError(what + " " + EscapeInput(path) + ": " + error.what());
    }
}

void CheckOutputs(const PlotOptions& plot, const LiveOptions* live)
{
    CheckOutputPath(plot.out, "--out");
    RequireNotAnInput(plot.out, plot.inputs, "--out");
    if (live && !live->framesDir.empty()) {
        try {
            CheckOutputFolder(live->framesDir, "frames", IsFrameName);
        } catch (const OutputError& error) {
            throw InputError("--frames " + EscapeInput(live->framesDir) + ": " + error.what());
        }
        // The frames folder is replaced whole at the end: the picture can't live in it.
        std::error_code ec;
        fs::path frames = fs::weakly_canonical(fs::absolute(live->framesDir), ec);
        fs::path picture = fs::weakly_canonical(fs::absolute(plot.out), ec);
        if (!ec && picture.parent_path() == frames)
            throw InputError("--out " + EscapeInput(plot.out) +
                             ": lies in the --frames folder, which the run replaces");
    }
}

void PlotLive(const PlotOptions& plot, const LiveOptions& live, SignalSetSource& source)
{
    CheckOutputs(plot, &live);
    CheckRecordingFits(double(source.Remaining()), plot.sourceName);
    Session session(plot.bundle.empty() ? DefaultBundlePath() : plot.bundle, StderrIsTerminal());
    for (const std::string& input : plot.inputs)
        session.AddInput(input);
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
        session.WritePng(window, plot.out);
        frames.Keep();
    } catch (...) {
        session.ShowMessages(false);
        throw;
    }
    session.ShowMessages(false);
}

void PlotRecorded(const PlotOptions& plot, const StoredSignals& signals, int32_t first, int32_t last)
{
    CheckOutputs(plot, nullptr);
    CheckRecordingFits(double(signals.SampleCount()), plot.sourceName);
    Session session(plot.bundle.empty() ? DefaultBundlePath() : plot.bundle, StderrIsTerminal());
    for (const std::string& input : plot.inputs)
        session.AddInput(input);
    try {
        session.LoadRecorded(signals);
        WindowRef window = OpenPlot(session, plot, signals.channels);
        session.Host().SelectRange(first, last);
        AdoptChannelRanges(session, window);
        session.RequireNoErrors("redrawing");
        session.WritePng(window, plot.out);
    } catch (...) {
        session.ShowMessages(false);
        throw;
    }
    session.ShowMessages(false);
}
