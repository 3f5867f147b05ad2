// xyrecorder: the X-Y plot extension driven by a replacement host, from the
// command line. Exit codes: 0 done, 1 bad input or a failed action, 2 bad
// usage (options, script syntax), 3 a script expectation that did not hold.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Live.h"
#include "Options.h"
#include "Script.h"
#include "WindowMode.h"
#include "signals/DemoSignals.h"
#include "signals/InputText.h"
#include "signals/OutputFile.h"

namespace {

constexpr const char* kProgramHelp = R"HELP(xyrecorder: plot one recorded channel against another with the X-Y extension

Usage: xyrecorder COMMAND [OPTIONS]

Commands:
  demo           sample the built-in recording live and write the window as a PNG
  play FILE      the same with a recording file (.wav, .csv, .edf, .bdf)
  view FILE      redraw a stretch of a recording file from recorded data
  script FILE    run a session script (every action a user can take; - reads it from standard input)
  info FILE      list a recording file's channels, units, rate and length

Add --window to demo, play or view to watch the window live on the desktop
and use it with the mouse and keys.

Run `xyrecorder COMMAND --help` for a command's options.

Example:
  xyrecorder demo --out xy.png
)HELP";

constexpr const char* kPlotOptionsHelp = R"HELP(  --x CHANNEL       channel on the X axis: title or number (default 1)
  --y CHANNEL       channel on the Y axis (default 2)
  --width W         window content width in pixels, 200..2000 (default 480)
  --height H        window content height in pixels, 200..1000 (default 400)
  --out PATH        the PNG to write (default xy.png)
  --bundle PATH     the extension bundle (default: $XYRECORDER_BUNDLE, else
                    xyplot.so beside the program or where it is installed)
)HELP";

constexpr const char* kLiveOptionsHelp = R"HELP(  --batch N         samples per batch, 1..32767 (default 100)
  --erase-time MIN  erase the trace automatically every MIN minutes (0.1..100)
  --frames DIR      also write DIR/frame-00001.png, ... during sampling
  --every N         a frame every N batches (default 10)
  --realtime        deliver the batches at the sample rate (default: at once)
)HELP";

constexpr const char* kDemoHelp = R"HELP(xyrecorder demo: sample the built-in recording live through the X-Y window

The recording has six channels: 1 Volume (mL) and 2 Pressure (mmHg) of a
beating heart, a loop per beat; 3 Sine A and 4 Sine B (V), a Lissajous figure
3:2 that turns slowly; 5 Noise X and 6 Noise Y (V), a correlated random walk.
Each axis takes its channel's display range.

Options:
  --rate HZ         sample rate (default 1000)
  --duration S      seconds to record (default 10); rate × duration at most
                    22369621 samples (512 MiB, made in memory)
  --seed N          seed of the random parts (default 20261207)
)HELP";

constexpr const char* kPlayHelp = R"HELP(xyrecorder play FILE: sample a recording file live through the X-Y window

FILE is a WAV (any number of channels), a CSV (a header row of channel titles,
optionally a units row, a first column "Time (s)" or --interval) or an EDF/BDF
file. Titles and units come from the file.

Options:
  --interval S      seconds between CSV rows (needed without a time column)
)HELP";

constexpr const char* kViewHelp = R"HELP(xyrecorder view FILE: redraw part of a recording from recorded data

The file is loaded as recorded data; the range --from..--to is selected, and
the window redraws it as it does for the host's current range.

Options:
  --from S          start, in seconds from the start of the recording (default 0)
  --to S            end, in seconds (default: the end of the recording)
  --interval S      seconds between CSV rows (needed without a time column)
)HELP";

void PrintCommandHelp(const char* text, bool live, const char* example)
{
    std::fputs(text, stdout);
    std::fputs(kPlotOptionsHelp, stdout);
    if (live)
        std::fputs(kLiveOptionsHelp, stdout);
    std::fputs(kWindowOptionsHelp, stdout);
    if (live)
        std::fputs(kWindowSpeedHelp, stdout);
    std::printf("\nExample:\n  %s\n", example);
}

const std::vector<std::string> kPlotValueOptions = {"x", "y", "width", "height", "out", "bundle"};
const std::vector<std::string> kLiveValueOptions = {"batch", "erase-time", "frames", "every"};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

PlotOptions ReadPlotOptions(const Options& options)
{
    PlotOptions plot;
    plot.xChannel = options.Text("x", "");
    plot.yChannel = options.Text("y", "");
    plot.width = int(options.Integer("width", plot.width, 200, 2000));
    plot.height = int(options.Integer("height", plot.height, 200, 1000));
    plot.out = options.Text("out", plot.out);
    if (plot.out.empty())
        throw UsageError("--out needs a file name");
    plot.bundle = options.Text("bundle", "");
    return plot;
}

LiveOptions ReadLiveOptions(const Options& options)
{
    LiveOptions live;
    live.batch = size_t(options.Integer("batch", long(live.batch), 1, 32767));
    if (options.Has("erase-time"))
        live.eraseMinutes = options.Number("erase-time", 1.0, 0.1, 100.0);
    live.framesDir = options.Text("frames", "");
    live.every = options.Integer("every", live.every, 1, 1000000);
    live.realtime = options.Has("realtime");
    if (options.Has("every") && live.framesDir.empty())
        throw UsageError("--every needs --frames DIR");
    return live;
}

std::string OneFile(const Options& options, const char* command)
{
    if (options.Positional().size() != 1)
        throw UsageError(std::string(command) + " needs exactly one FILE");
    return options.Positional()[0];
}

CsvOptions ReadCsvOptions(const Options& options)
{
    CsvOptions csv;
    if (options.Has("interval")) {
        csv.sampleInterval = options.Number("interval", 0.001, -1e308, 1e308);
        if (auto problem = SampleIntervalProblem(*csv.sampleInterval))
            throw UsageError("--interval: " + *problem);
    }
    return csv;
}

bool WantsHelp(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments)
        if (argument == "--help" || argument == "-h")
            return true;
    return false;
}

void PrintNotes(const StoredSignals& signals)
{
    for (const std::string& note : signals.notes)
        std::fprintf(stderr, "xyrecorder: note: %s\n", EscapeInput(note).c_str());
}

int RunDemo(const std::vector<std::string>& arguments)
{
    Options options(arguments,
                    Join(Join(Join(kPlotValueOptions, kLiveValueOptions), kWindowValueOptions), {"rate", "duration", "seed"}),
                    {"realtime", "window"});
    if (!options.Positional().empty())
        throw UsageError("demo takes no FILE (did you mean play?)");
    DemoOptions demo;
    demo.sampleRate = options.Number("rate", demo.sampleRate, 1, 1e6);
    demo.duration = options.Number("duration", demo.duration, 1e-3, 86400);
    demo.seed = uint32_t(options.Integer("seed", demo.seed, 0, 4294967295L));
    PlotOptions plot = ReadPlotOptions(options);
    LiveOptions live = ReadLiveOptions(options);
    WindowOptions window = ReadWindowOptions(options, true);
    if (window.wanted)
        RequireDesktop();
    // Before the samples are made: a recording too large fails at once.
    CheckOutputs(plot, &live);
    char what[80];
    std::snprintf(what, sizeof what, "the demo recording (%g s at %g Hz)", demo.duration, demo.sampleRate);
    CheckDemoFits(std::max(1.0, std::round(demo.sampleRate * demo.duration)), what);
    std::fprintf(stderr, "xyrecorder: demo recording, %g s at %g Hz, seed %u\n", demo.duration, demo.sampleRate,
                 demo.seed);
    SignalSetSource source(MakeDemoSignals(demo));
    if (window.wanted)
        WatchLive(plot, live, window, source);
    else
        PlotLive(plot, live, source);
    return 0;
}

int RunPlay(const std::vector<std::string>& arguments)
{
    Options options(arguments, Join(Join(Join(kPlotValueOptions, kLiveValueOptions), kWindowValueOptions), {"interval"}),
                    {"realtime", "window"});
    std::string file = OneFile(options, "play");
    PlotOptions plot = ReadPlotOptions(options);
    plot.sourceName = file;
    plot.inputs.push_back(file);
    LiveOptions live = ReadLiveOptions(options);
    WindowOptions window = ReadWindowOptions(options, true);
    if (window.wanted)
        RequireDesktop();
    CheckOutputs(plot, &live);
    StoredSignals signals = RecordableChannels(OpenSignals(file, ReadCsvOptions(options)));
    PrintNotes(signals);
    SignalSetSource source(std::move(signals));
    if (window.wanted)
        WatchLive(plot, live, window, source);
    else
        PlotLive(plot, live, source);
    return 0;
}

int RunView(const std::vector<std::string>& arguments)
{
    Options options(arguments, Join(Join(kPlotValueOptions, kWindowValueOptions), {"from", "to", "interval"}), {"window"});
    std::string file = OneFile(options, "view");
    PlotOptions plot = ReadPlotOptions(options);
    WindowOptions window = ReadWindowOptions(options, false);
    if (window.wanted)
        RequireDesktop();
    plot.sourceName = file;
    plot.inputs.push_back(file);
    double from = options.Number("from", 0, 0, 1e12);
    std::optional<double> to;
    if (options.Has("to"))
        to = options.Number("to", 0, 0, 1e12);
    CheckOutputs(plot, nullptr);
    StoredSignals signals = RecordableChannels(OpenSignals(file, ReadCsvOptions(options)));
    PrintNotes(signals);

    double length = double(signals.SampleCount()) * signals.sampleInterval;
    char span[160];
    std::snprintf(span, sizeof span, "the recording is %g s long", length);
    // Sample i covers [i, i + 1) intervals; --to is exclusive.
    double firstExact = from / signals.sampleInterval;
    double endExact = to ? *to / signals.sampleInterval : double(signals.SampleCount());
    if (to && *to <= from)
        throw InputError("--to " + options.Text("to", "") + " is not after --from " + options.Text("from", "0"));
    if (from >= length)
        throw InputError(file + ": --from " + options.Text("from", "") + " s lies outside the recording (" + span + ")");
    if (to && *to > length * (1 + 1e-9))
        throw InputError(file + ": --to " + options.Text("to", "") + " s lies outside the recording (" + span + ")");
    auto first = int32_t(std::llround(std::floor(firstExact + 1e-9)));
    auto last = int32_t(std::min<double>(std::ceil(endExact - 1e-9), double(signals.SampleCount())) - 1);
    if (last < first)
        last = first;
    if (window.wanted)
        WatchRecorded(plot, window, signals, first, last);
    else
        PlotRecorded(plot, signals, first, last);
    return 0;
}

constexpr const char* kInfoHelp = R"HELP(xyrecorder info FILE: what a recording file holds

Lists the channels (number, title, units, the display range the axes take),
the sample rate and the length, so that you can choose --x and --y.

Options:
  --interval S      seconds between CSV rows (needed without a time column)

Example:
  xyrecorder info recording.edf
)HELP";

int RunInfo(const std::vector<std::string>& arguments)
{
    Options options(arguments, {"interval"}, {});
    std::string file = OneFile(options, "info");
    StoredSignals signals = OpenSignals(file, ReadCsvOptions(options));
    PrintNotes(signals);
    std::printf("%s: %zu channels, %zu samples at %g Hz (%g s)\n", EscapeInput(file).c_str(),
                signals.channels.size(), signals.SampleCount(), signals.SampleRate(),
                double(signals.SampleCount()) * signals.sampleInterval);
    // Titles and units as the recorder keeps them (255 and 15 bytes at most), never raw on the terminal.
    for (size_t c = 0; c < signals.channels.size(); ++c) {
        const ChannelSettings& info = signals.channels[c];
        std::printf("  %2zu  %-20s %-10s %g .. %g\n", c + 1, ShowInput(info.title, 255).c_str(),
                    info.units.empty() ? "-" : ShowInput(info.units, 15).c_str(), info.displayLow, info.displayHigh);
    }
    return 0;
}

int RunScriptCommand(const std::vector<std::string>& arguments)
{
    Options options(arguments, {"bundle"}, {});
    std::string file = OneFile(options, "script");
    return RunScript(file, options.Text("bundle", ""));
}

}  // namespace

int main(int argc, char** argv)
{
    RemoveTemporariesOnInterrupt();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        std::fputs(kProgramHelp, stderr);
        return 2;
    }
    std::string command = arguments[0];
    arguments.erase(arguments.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kProgramHelp, stdout);
        return 0;
    }
    try {
        if (command == "demo") {
            if (WantsHelp(arguments))
                return PrintCommandHelp(kDemoHelp, true, "xyrecorder demo --x \"Sine A\" --y \"Sine B\" --out lissajous.png"), 0;
            return RunDemo(arguments);
        }
        if (command == "play") {
            if (WantsHelp(arguments))
                return PrintCommandHelp(kPlayHelp, true, "xyrecorder play loop.csv --x Volume --y Pressure --out loop.png"), 0;
            return RunPlay(arguments);
        }
        if (command == "view") {
            if (WantsHelp(arguments))
                return PrintCommandHelp(kViewHelp, false, "xyrecorder view sleep.edf --from 60 --to 70 --x 1 --y 2"), 0;
            return RunView(arguments);
        }
        if (command == "info") {
            if (WantsHelp(arguments))
                return std::fputs(kInfoHelp, stdout), 0;
            return RunInfo(arguments);
        }
        if (command == "script") {
            if (WantsHelp(arguments))
                return std::fputs(kScriptHelp, stdout), 0;
            return RunScriptCommand(arguments);
        }
        std::fprintf(stderr, "xyrecorder: unknown command %s (try xyrecorder --help)\n", QuoteInput(command).c_str());
        return 2;
    } catch (const UsageError& error) {
        std::fprintf(stderr, "xyrecorder %s: %s (see xyrecorder %s --help)\n", command.c_str(),
                     EscapeInput(error.what()).c_str(), command.c_str());
        return 2;
    } catch (const std::bad_alloc&) {
        std::fputs("xyrecorder: out of memory for the recording: there is not enough memory to hold it; try a shorter "
                   "recording or fewer channels\n",
                   stderr);
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "xyrecorder: %s\n", EscapeInput(error.what()).c_str());
        return 1;
    }
}
