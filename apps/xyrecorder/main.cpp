// xyrecorder: the X-Y plot extension driven by a replacement host, from the
// command line. Each command is defined once below (its options, help and
// example); help, errors and short options all come from that definition.
// Exit codes: 0 done, 1 bad input or a failed action, 2 bad usage (options,
// script syntax), 3 a script expectation that did not hold.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Channels.h"
#include "Live.h"
#include "LiveCommand.h"
#include "Options.h"
#include "PlotCommands.h"
#include "Script.h"
#include "WindowMode.h"
#include "recorder/PictureFiles.h"
#include "signals/DemoSignals.h"
#include "signals/InputFile.h"
#include "signals/InputText.h"
#include "signals/OutputFile.h"

// ---- Options, each defined once ----

namespace {

const OptionDefinition kBundleOption{"bundle", 0, "PATH",
                                     "the extension bundle (default: $XYRECORDER_BUNDLE, else\n"
                                     "xyplot.so beside the program or where it is installed)"};

}  // namespace

// Shared with the live command (PlotCommands.h).
const OptionGroup kPlotOptions = {
    {"x", 'x', "CHANNEL", "channel on the X axis: title or number (default 1)"},
    {"y", 'y', "CHANNEL", "channel on the Y axis (default 2)"},
    {"width", 0, "W", "window content width in pixels, 200..2000 (default 480)"},
    {"height", 0, "H", "window content height in pixels, 200..1000 (default 400)"},
    {"out", 'o', "PATH",
     "the picture to write (default xy.png): a name ending in\n"
     ".svg or .pdf gives a vector picture, text kept as text;\n"
     "any other a PNG"},
    {"scale", 0, "N",
     "the picture N times larger, 1..8 (default 1): a PNG drawn\n"
     "at that scale, an SVG or PDF page that size"},
    {"xrange", 0, "LO:HI", "the X axis's range (default: the channel's; view: fitted)"},
    {"yrange", 0, "LO:HI", "the Y axis's range"},
    kBundleOption,
};

// ---- What the options give ----

PlotOptions ReadPlotOptions(const Options& options)
{
    PlotOptions plot;
    plot.xChannel = options.Text("x", "");
    plot.yChannel = options.Text("y", "");
    plot.width = int(options.Integer("width", plot.width, 200, 2000));
    plot.height = int(options.Integer("height", plot.height, 200, 1000));
    plot.out = options.Text("out", plot.out);
    plot.scale = int(options.Integer("scale", plot.scale, 1, kLargestPictureScale));
    std::string problem = PictureSizeProblem(PictureFormatOf(plot.out), plot.width, plot.height, plot.scale);
    if (!problem.empty()) throw UsageError("--scale " + std::to_string(plot.scale) + ": " + problem);
    plot.bundle = options.Text("bundle", "");
    if (options.Has("xrange")) plot.xRange = ParseAxisRange(options.Text("xrange", ""), "--xrange");
    if (options.Has("yrange")) plot.yRange = ParseAxisRange(options.Text("yrange", ""), "--yrange");
    return plot;
}

LiveOptions ReadLiveOptions(const Options& options)
{
    LiveOptions live;
    live.batch = size_t(options.Integer("batch", long(live.batch), 1, 32767));
    if (options.Has("erase-time")) live.eraseMinutes = options.Number("erase-time", 1.0, 0.1, 100.0);
    live.framesDir = options.Text("frames", "");
    live.every = options.Integer("every", live.every, 1, 1000000);
    live.realtime = options.Has("realtime");
    if (options.Has("every") && live.framesDir.empty()) throw UsageError("--every needs --frames DIR");
    return live;
}

namespace {

const OptionGroup kLiveOptions = {
    {"batch", 0, "N", "samples per batch, 1..32767 (default 100)"},
    {"erase-time", 0, "MIN", "erase the trace automatically every MIN minutes (0.1..100)"},
    {"frames", 0, "DIR", "also write DIR/frame-00001.png, ... during sampling"},
    {"every", 0, "N", "a frame every N batches (default 10)"},
    {"realtime", 0, "", "deliver the batches at the sample rate (default: at once)"},
};

const OptionGroup kDemoOptions = {
    {"rate", 0, "HZ", "sample rate (default 1000)"},
    {"duration", 0, "S",
     "seconds to record (default 10); rate × duration at most\n"
     "22369621 samples (512 MiB of recording)"},
    {"seed", 0, "N", "seed of the random parts (default 20261207)"},
};

const OptionGroup kFileOptions = {
    {"channels", 'c', "LIST",
     "the channels to record: numbers, ranges, titles, wildcards\n"
     "(such as 1-8,12,EEG*); default all, at most the first 32.\n"
     "--x and --y then count among these"},
    {"interval", 0, "S", "seconds between CSV rows (needed without a time column)"},
    {"time-column", 0, "C",
     "the CSV column C that holds the time: title or number\n"
     "(default: a first column titled like time, t, timestamp,\n"
     "seconds, time_ms, or holding ISO 8601 date-times)"},
    {"no-time-column", 0, "", "the CSV has no time column: every column is a channel"},
};

const OptionGroup kSaveOptions = {
    {"save", 0, "FILE",
     "write the recording to FILE (.csv, .edf, .bdf or .wav) instead\n"
     "of plotting it"},
};

const OptionGroup kExportOptions = {
    {"to", 0, "OUT", "the file to write: .csv, .edf, .bdf or .wav"},
};

const OptionGroup kViewOptions = {
    {"from", 0, "S", "start, in seconds from the start of the recording (default 0)"},
    {"to", 0, "S", "end, in seconds (default: the end of the recording)"},
    {"fit", 0, "data|file",
     "each axis fitted to the samples shown (data, the default)\n"
     "or the channel's range from the file (file)"},
};

const OptionGroup kScriptOptions = {
    {"pictures", 'p', "DIR", "the folder png writes to (default: the script's)"},
    kBundleOption,
};

std::string OneFile(const Options& options, const char* command)
{
    if (options.Positional().size() != 1) throw UsageError(std::string(command) + " needs exactly one FILE");
    return options.Positional()[0];
}

// The input file as messages name it.
std::string InputName(const std::string& file) { return file == kStandardInput ? std::string("standard input") : file; }

CsvOptions ReadCsvOptions(const Options& options)
{
    CsvOptions csv;
    if (options.Has("time-column") && options.Has("no-time-column"))
        throw UsageError("--time-column and --no-time-column exclude each other");
    if (options.Has("time-column")) csv.timeColumn = options.Text("time-column", "");
    csv.noTimeColumn = options.Has("no-time-column");
    if (options.Has("interval")) {
        csv.sampleInterval = options.Number("interval", 0.001, -1e308, 1e308);
        if (auto problem = SampleIntervalProblem(*csv.sampleInterval)) throw UsageError("--interval: " + *problem);
    }
    return csv;
}

void PrintNotes(const StoredSignals& signals)
{
    for (const std::string& note : signals.notes)
        std::fprintf(stderr, "xyrecorder: note: %s\n", EscapeInput(note).c_str());
}

// The recording file, with the channels --channels names (or the first 32),
// its notes shown.
StoredSignals ReadRecording(const Options& options, const std::string& file, bool forPlot)
{
    StoredSignals signals = OpenSignals(file, ReadCsvOptions(options));
    if (forPlot || options.Has("channels")) SelectChannels(signals, options.Text("channels", ""), InputName(file));
    PrintNotes(signals);
    if (forPlot) RequireTwoChannels(signals, InputName(file));
    return signals;
}

// The output path of a recording, checked before any work as --out is.
void CheckRecordingOutput(const std::string& out, const std::vector<std::string>& inputs, const std::string& what)
{
    if (out == kStandardOutput)
        throw UsageError(what + " -: a recording is written to a file, whose extension gives its kind");
    SignalFormatOf(out);
    CheckOutputPath(out, what);
    RequireNotAnInput(out, inputs, what);
}

void SayRecordingWritten(const std::string& out, const StoredSignals& signals)
{
    std::fprintf(stderr, "xyrecorder: wrote %s (%zu channels, %zu samples at %g Hz)\n", EscapeInput(out).c_str(),
                 signals.channels.size(), signals.SampleCount(), signals.SampleRate());
}

// ---- The commands ----

int RunDemo(const Options& options)
{
    if (!options.Positional().empty()) throw UsageError("demo takes no FILE (did you mean play?)");
    DemoOptions demo;
    demo.sampleRate = options.Number("rate", demo.sampleRate, 1, 1e6);
    demo.duration = options.Number("duration", demo.duration, 1e-3, 86400);
    demo.seed = uint32_t(options.Integer("seed", demo.seed, 0, 4294967295L));
    if (options.Has("save")) {
        for (const char* plotting : {"out", "frames", "window"})
            if (options.Has(plotting))
                throw UsageError(std::string("--save writes the recording instead of plotting it; --") + plotting +
                                 " has no use beside it");
        std::string out = options.Text("save", "");
        CheckRecordingOutput(out, {}, "--save");
        char what[80];
        std::snprintf(what, sizeof what, "the demo recording (%g s at %g Hz)", demo.duration, demo.sampleRate);
        CheckDemoFits(std::max(1.0, std::round(demo.sampleRate * demo.duration)), what);
        SignalSet signals = MakeDemoSignals(demo);
        WriteSignals(out, signals);
        SayRecordingWritten(out, StoreInMemory(std::move(signals)));
        return 0;
    }
    PlotOptions plot = ReadPlotOptions(options);
    LiveOptions live = ReadLiveOptions(options);
    WindowOptions window = ReadWindowOptions(options, true);
    if (window.wanted) RequireDesktop();
    // Before the samples are made: a recording too large fails at once.
    CheckOutputs(plot, &live);
    WarnUnlessPictureName(plot.out);
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

int RunPlay(const Options& options)
{
    std::string file = OneFile(options, "play");
    PlotOptions plot = ReadPlotOptions(options);
    plot.sourceName = InputName(file);
    plot.inputs.push_back(file);
    LiveOptions live = ReadLiveOptions(options);
    WindowOptions window = ReadWindowOptions(options, true);
    if (window.wanted) RequireDesktop();
    CheckOutputs(plot, &live);
    WarnUnlessPictureName(plot.out);
    SignalSetSource source(ReadRecording(options, file, true));
    if (window.wanted)
        WatchLive(plot, live, window, source);
    else
        PlotLive(plot, live, source);
    return 0;
}

int RunView(const Options& options)
{
    std::string file = OneFile(options, "view");
    PlotOptions plot = ReadPlotOptions(options);
    if (std::string fit = options.Text("fit", "data"); fit != "data" && fit != "file")
        throw UsageError("--fit: " + QuoteInput(fit) + " is neither data nor file");
    plot.fitFile = options.Text("fit", "data") == "file";
    WindowOptions window = ReadWindowOptions(options, false);
    if (window.wanted) RequireDesktop();
    plot.sourceName = InputName(file);
    plot.inputs.push_back(file);
    double from = options.Number("from", 0, 0, 1e12);
    std::optional<double> to;
    if (options.Has("to")) to = options.Number("to", 0, 0, 1e12);
    CheckOutputs(plot, nullptr);
    WarnUnlessPictureName(plot.out);
    StoredSignals signals = ReadRecording(options, file, true);

    double length = double(signals.SampleCount()) * signals.sampleInterval;
    char span[160];
    std::snprintf(span, sizeof span, "the recording is %g s long", length);
    // Sample i covers [i, i + 1) intervals; --to is exclusive.
    double firstExact = from / signals.sampleInterval;
    double endExact = to ? *to / signals.sampleInterval : double(signals.SampleCount());
    if (to && *to <= from)
        throw InputError("--to " + options.Text("to", "") + " is not after --from " + options.Text("from", "0"));
    if (from >= length)
        throw InputError(EscapeInput(InputName(file)) + ": --from " + options.Text("from", "") +
                         " s lies outside the recording (" + span + ")");
    if (to && *to > length * (1 + 1e-9))
        throw InputError(EscapeInput(InputName(file)) + ": --to " + options.Text("to", "") +
                         " s lies outside the recording (" + span + ")");
    auto first = int32_t(std::llround(std::floor(firstExact + 1e-9)));
    auto last = int32_t(std::min<double>(std::ceil(endExact - 1e-9), double(signals.SampleCount())) - 1);
    if (last < first) last = first;
    if (window.wanted)
        WatchRecorded(plot, window, signals, first, last);
    else
        PlotRecorded(plot, signals, first, last);
    return 0;
}

int RunInfo(const Options& options)
{
    std::string file = OneFile(options, "info");
    StoredSignals signals = ReadRecording(options, file, false);
    std::printf("%s: %zu channels, %zu samples at %g Hz (%g s)\n", EscapeInput(InputName(file)).c_str(),
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

int RunExport(const Options& options)
{
    std::string file = OneFile(options, "export");
    if (!options.Has("to")) throw UsageError("export needs --to OUT");
    std::string out = options.Text("to", "");
    CheckRecordingOutput(out, {file}, "--to");
    StoredSignals signals = ReadRecording(options, file, false);
    WriteSignals(out, ReadAll(signals));
    SayRecordingWritten(out, signals);
    return 0;
}

int RunScriptCommand(const Options& options)
{
    std::string file = OneFile(options, "script");
    return RunScript(file, options.Text("bundle", ""), options.Text("pictures", ""));
}

struct Command {
    const char* name;
    const char* synopsis;  // the command and its words, as typed
    const char* summary;   // one line, in the program's help and atop the command's
    const char* about;     // what the command's help says before its options
    std::vector<const OptionGroup*> options;
    const char* example;
    int (*run)(const Options&);
};

const Command kCommands[] = {
    {"demo",
     "demo",
     "sample the built-in recording live and write the window as a picture",
     R"TEXT(The recording has six channels: 1 Volume (mL) and 2 Pressure (mmHg) of a
beating heart, a loop per beat; 3 Sine A and 4 Sine B (V), a Lissajous figure
3:2 that turns slowly; 5 Noise X and 6 Noise Y (V), a correlated random walk.
Each axis takes its channel's display range.
)TEXT",
     {&kDemoOptions, &kSaveOptions, &kPlotOptions, &kLiveOptions, &kWindowOptions, &kWindowSpeedOptions},
     "xyrecorder demo --x \"Sine A\" --y \"Sine B\" --out lissajous.png",
     RunDemo},
    {"play",
     "play FILE",
     "sample a recording file live through the X-Y window",
     R"TEXT(FILE is a WAV, a CSV or an EDF/BDF file, known by its extension or else by
its content; - reads it from standard input. A CSV has a header row of channel
titles (without one, the columns are Channel 1, 2, ...), optionally a units row,
and a time column or --interval; an untitled first column is a row index, and
an empty cell holds its channel's previous value. Titles and units come from
the file. An X-Y plot needs two channels.
)TEXT",
     {&kFileOptions, &kPlotOptions, &kLiveOptions, &kWindowOptions, &kWindowSpeedOptions},
     "xyrecorder play loop.csv --x Volume --y Pressure --out loop.png",
     RunPlay},
    {"view",
     "view FILE",
     "redraw a stretch of a recording file from recorded data",
     R"TEXT(The file is loaded as recorded data; the range --from..--to is selected, and
the window redraws it as it does for the host's current range.
)TEXT",
     {&kViewOptions, &kFileOptions, &kPlotOptions, &kWindowOptions},
     "xyrecorder view sleep.edf --from 60 --to 70 --x 1 --y 2",
     RunView},
    {"live",
     "live SOURCE",
     "record and plot samples as they arrive: standard input, serial, UDP or audio",
     kLiveAbout,
     {&kLiveSourceOptions, &kPlotOptions, &kLiveBatchOptions, &kWindowOptions},
     "my-logger | xyrecorder live - --x Volume --y Pressure --save run.csv",
     RunLive},
    {"script",
     "script FILE",
     "run a session script (every action a user can take; - reads it from standard input)",
     kScriptLanguageHelp,
     {&kScriptOptions},
     "xyrecorder script session.xys",
     RunScriptCommand},
    {"info",
     "info FILE",
     "list a recording file's channels, units, rate and length",
     R"TEXT(Lists the channels (number, title, units, the display range the axes take),
the sample rate and the length, so that you can choose --x and --y.
)TEXT",
     {&kFileOptions},
     "xyrecorder info recording.edf",
     RunInfo},
    {"export",
     "export FILE",
     "write a recording file (or the channels chosen) as CSV, EDF, BDF or WAV",
     R"TEXT(Reads FILE as play and view do and writes it to --to OUT, in the kind OUT's
extension names. EDF and BDF need a whole number of samples per second.
)TEXT",
     {&kExportOptions, &kFileOptions},
     "xyrecorder export recording.wav --to recording.csv",
     RunExport},
};

const Command* FindCommand(const std::string& name)
{
    for (const Command& command : kCommands)
        if (name == command.name) return &command;
    return nullptr;
}

OptionGroup OptionsOf(const Command& command)
{
    OptionGroup all;
    for (const OptionGroup* group : command.options) all.insert(all.end(), group->begin(), group->end());
    all.push_back(kHelpOption);
    return all;
}

void PrintProgramHelp(FILE* out)
{
    std::fputs("xyrecorder: plot one recorded channel against another with the X-Y extension\n\n"
               "Usage: xyrecorder COMMAND [OPTIONS]\n\nCommands:\n",
               out);
    for (const Command& command : kCommands) std::fprintf(out, "  %-13s  %s\n", command.synopsis, command.summary);
    std::fputs("\nAdd --window to demo, play, view or live to watch the window live on the desktop\n"
               "and use it with the mouse and keys.\n\n"
               "Run `xyrecorder COMMAND --help` for a command's options, `xyrecorder --version`\n"
               "for the version.\n\nExample:\n  xyrecorder demo --out xy.png\n",
               out);
}

void PrintCommandHelp(const Command& command)
{
    std::printf("xyrecorder %s: %s\n\n%s\nOptions:\n%s\nExample:\n  %s\n", command.synopsis, command.summary,
                command.about, OptionsHelp(OptionsOf(command)).c_str(), command.example);
}

}  // namespace

int main(int argc, char** argv)
{
    RemoveTemporariesOnInterrupt();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        PrintProgramHelp(stderr);
        return 2;
    }
    std::string name = arguments[0];
    arguments.erase(arguments.begin());
    if (name == "--help" || name == "-h" || name == "help") {
        PrintProgramHelp(stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("xyrecorder %s\n", XY_VERSION);
        return 0;
    }
    const Command* command = FindCommand(name);
    if (!command) {
        std::fprintf(stderr, "xyrecorder: unknown command %s (try xyrecorder --help)\n", QuoteInput(name).c_str());
        return 2;
    }
    if (AsksForHelp(arguments)) {
        PrintCommandHelp(*command);
        return 0;
    }
    try {
        return command->run(Options(arguments, OptionsOf(*command)));
    } catch (const UsageError& error) {
        std::fprintf(stderr, "xyrecorder %s: %s (see xyrecorder %s --help)\n", command->name,
                     EscapeInput(error.what()).c_str(), command->name);
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
