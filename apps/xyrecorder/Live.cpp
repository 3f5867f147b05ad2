#include "Live.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>
#include <thread>

#include "FramesFolder.h"
#include "Progress.h"
#include "signals/InputText.h"
#include "signals/OutputFile.h"
#include "toolbox/Windows.h"

namespace fs = std::filesystem;

namespace {

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO); }

}  // namespace

void WarnUnlessPictureName(const std::string& out)
{
    std::string extension = Lowercase(fs::path(out).extension().string());
    if (!extension.empty() && extension != ".png" && extension != ".svg" && extension != ".pdf")
        std::fprintf(stderr, "xyrecorder: warning: --out %s: the picture is written as PNG, whatever its name says\n",
                     EscapeInput(out).c_str());
}

std::string OutputName(const std::string& path)
{
    return path == kStandardOutput ? std::string("standard output") : EscapeInput(path);
}

std::string WhatWasWritten(const std::string& out, WindowRef window, int scale, const std::string& framesDir,
                           size_t frames)
{
    Rect port;
    GetWindowPortBounds(window, &port);
    std::string also = frames > 0 ? " and " + std::to_string(frames) + (frames == 1 ? " frame in " : " frames in ") +
                                        EscapeInput(framesDir)
                                  : std::string();
    return "xyrecorder: wrote " + OutputName(out) + " (" + std::to_string((port.right - port.left) * scale) + " × " +
           std::to_string((port.bottom - port.top) * scale) + ")" + also + "\n";
}

AxisRange ParseAxisRange(const std::string& text, const std::string& what)
{
    // The colon that parts two numbers: not one inside an exponent's sign or the first character.
    size_t colon = text.find(':', 1);
    if (colon == std::string::npos)
        throw UsageError(what + ": " + QuoteInput(text) + " is not LO:HI (two numbers, such as -5:5)");
    AxisRange range{ParseNumber(text.substr(0, colon), what + " LO", -1e300, 1e300),
                    ParseNumber(text.substr(colon + 1), what + " HI", -1e300, 1e300)};
    if (!(range.low < range.high)) throw UsageError(what + ": " + ShowInput(text) + ": LO must be below HI");
    return range;
}

WindowRef OpenPlot(Session& session, const PlotOptions& plot, const std::vector<ChannelSettings>& channels, bool shown)
{
    int x = ResolveChannel(channels, plot.xChannel.empty() ? "1" : plot.xChannel, "--x", plot.sourceName);
    int y = ResolveChannel(channels, plot.yChannel.empty() ? (channels.size() > 1 ? "2" : "1") : plot.yChannel, "--y",
                           plot.sourceName);
    session.DefineChannels(channels);
    WindowRef window = session.Open(plot.width, plot.height, shown);
    if (session.AxisChannel(window, AxisSide::x) != x) session.ChooseChannel(window, AxisSide::x, x);
    if (session.AxisChannel(window, AxisSide::y) != y) session.ChooseChannel(window, AxisSide::y, y);
    return window;
}

void AdoptAxisRanges(Session& session, WindowRef window, const PlotOptions& plot)
{
    for (auto [side, byHand] : {std::pair{AxisSide::x, plot.xRange}, std::pair{AxisSide::y, plot.yRange}}) {
        if (byHand)
            session.ChooseAxisRange(window, side, byHand->low, byHand->high);
        else
            session.ChooseAxisItem(window, side, "Channel Range");
    }
}

namespace {

// The range a view gives a channel's axis: fitted (1-2-5 ends, a little
// room) to the finite samples first..last, or the channel's own when asked
// for or when there are none.
AxisRange RecordedRange(const StoredSignals& signals, size_t channel, int32_t first, int32_t last, bool fitFile)
{
    float low = INFINITY, high = -INFINITY;
    if (!fitFile && signals.samples) {
        // Read from the store a run at a time: the stretch may be larger than memory.
        constexpr size_t kRun = 65536;
        std::vector<float> run;
        const int64_t end = std::min<int64_t>(int64_t(last) + 1, signals.samples->FrameCount());
        for (int64_t at = std::max(first, 0); at < end; at += int64_t(run.size())) {
            run.resize(size_t(std::min<int64_t>(kRun, end - at)));
            signals.samples->Read(channel, at, run.size(), run.data());
            for (float sample : run) {
                if (std::isfinite(sample)) {
                    low = std::min(low, sample);
                    high = std::max(high, sample);
                }
            }
        }
    }
    const ChannelSettings& info = signals.channels.at(channel);
    ChannelSettings shown = low <= high ? FitDisplayRange(info, low, high) : info;
    return AxisRange{shown.displayLow, shown.displayHigh};
}

}  // namespace

WindowRef ShowRecorded(Session& session, const PlotOptions& plot, const StoredSignals& signals, int32_t first,
                       int32_t last)
{
    session.LoadRecorded(signals);
    // Hidden, the window draws nothing while it is set up: it draws once, when shown.
    WindowRef window = OpenPlot(session, plot, signals.channels, false);
    for (auto [side, byHand] : {std::pair{AxisSide::x, plot.xRange}, std::pair{AxisSide::y, plot.yRange}}) {
        AxisRange range =
            byHand ? *byHand
                   : RecordedRange(signals, size_t(session.AxisChannel(window, side) - 1), first, last, plot.fitFile);
        session.ChooseAxisRange(window, side, range.low, range.high);
    }
    session.Host().SelectRange(first, last);
    session.Host().Show(window);
    return window;
}

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
    for (const std::string& input : plot.inputs) session.AddInput(input);
    std::string written;  // said last, after what the extension showed
    try {
        Recorder& host = session.Host();
        WindowRef window = OpenPlot(session, plot, source.Channels());
        if (live.eraseMinutes) session.AnswerEraseDialog(window, live.eraseMinutes, true, false);

        FramesFolder frames(live.framesDir);
        host.StartSampling(source, live.batch);
        AdoptAxisRanges(session, window, plot);
        Progress progress("sampling", source.Remaining(), "samples");
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
            if (!live.framesDir.empty() && batches % live.every == 0) frames.Write(session, window);
        }
        host.StopSampling();
        session.RequireNoErrors("sampling");
        session.WritePicture(window, plot.out, plot.scale);
        frames.Keep();
        written = WhatWasWritten(plot.out, window, plot.scale, live.framesDir, frames.Written());
    } catch (...) {
        session.ShowMessages(false);
        throw;
    }
    session.ShowMessages(false);
    std::fputs(written.c_str(), stderr);
}

void PlotRecorded(const PlotOptions& plot, const StoredSignals& signals, int32_t first, int32_t last)
{
    CheckOutputs(plot, nullptr);
    CheckRecordingFits(double(signals.SampleCount()), plot.sourceName);
    Session session(plot.bundle.empty() ? DefaultBundlePath() : plot.bundle, StderrIsTerminal());
    for (const std::string& input : plot.inputs) session.AddInput(input);
    std::string written;  // said last, after what the extension showed
    try {
        WindowRef window = ShowRecorded(session, plot, signals, first, last);
        session.RequireNoErrors("redrawing");
        session.WritePicture(window, plot.out, plot.scale);
        written = WhatWasWritten(plot.out, window, plot.scale, "", 0);
    } catch (...) {
        session.ShowMessages(false);
        throw;
    }
    session.ShowMessages(false);
    std::fputs(written.c_str(), stderr);
}
