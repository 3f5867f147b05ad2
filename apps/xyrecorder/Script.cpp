// Session scripts: the language's help, reading each line, and running its
// action as a user takes it; `expect` lines go to ScriptChecks.
#include "Script.h"

#include "Channels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <unistd.h>

#include "Options.h"
#include "ScriptChecks.h"
#include "Session.h"
#include "recorder/Axis.h"
#include "recorder/PictureFiles.h"
#include "signals/DemoSignals.h"
#include "signals/InputFile.h"
#include "signals/InputText.h"
#include "signals/SignalSetSource.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Windows.h"

namespace fs = std::filesystem;

const char* const kScriptLanguageHelp =
    R"HELP(One action a line; '#' starts a comment; words with spaces go in double quotes.
FILE - reads the script from standard input. Paths are relative to the
script's folder (to the current folder for standard input); those of png to
--pictures DIR when it is given, so that a script in a read-only folder runs. Windows are numbered from 1 in the
order they were opened; actions apply to the current window (the last opened,
or the one `window N` chose).

Data and sampling
  source demo [rate HZ] [duration S] [seed N]   the built-in recording
  source file PATH [interval S]                 a recording file
                             (a new source gives the channels its titles, units
                             and ranges at the next open, load or start; not
                             while sampling: stop first)
  load                       the source's samples as recorded data (no sampling);
                             the windows redraw their current range
  start [BATCH]              start sampling from the source's beginning (default 100 samples a batch)
  batch [N]                  send N batches (default 1)
  sample S                   batches until S seconds are sampled (or the source ends)
  stop                       stop sampling
  select FIRST LAST          select samples FIRST..LAST (kind 0 to every window)
  select none                clear the selection
  channel N [title T] [units U] [low L] [high H] [decimals D]
                             change a channel's settings (kind 402)
Windows
  open [W H]                 a new X-Y window (default 480 400)
  menu PATH                  choose a menu command, e.g. menu "Windows:Real-Time X-Y"
  window N                   make window N current
  close                      close the current window
  resize W H                 grow box drag to a content size
  zoom [in|out]              the zoom box
  click H V                  a click at a window-local point
  hover H V                  the mouse over a window-local point (help text, cursor)
Axes and buttons (AXIS is x or y)
  axis AXIS channel C        choose channel C (title or number) from the axis popup
  axis AXIS drag PIXELS      drag the axis scale
  axis AXIS zoom-in | zoom-out | channel-range   the popup's range items
  erase                      click "Erase Now"
  settings MINUTES [on|off]  click "Settings…", type MINUTES, set the switch, OK
  settings on|off            click "Settings…", only set the switch, OK
  settings cancel            click "Settings…", then Cancel
Output and checks
  png PATH                   write the window as a PNG
  save PATH [SCALE]          write the window as a picture: PATH.svg or PATH.pdf
                             as vector pictures, else a PNG; SCALE times larger (1..8)
  expect FIELD VALUE         what the host shows or knows of the current window:
                             xChannel yChannel (checked in the axis popup),
                             firstChannelItem (of the X axis popup),
                             xLeftValue xRightValue yTopValue yBottomValue (the
                             axes' ends), xPixelOffset yPixelOffset (the pixel of
                             value 0), xPixelsPerUnit yPixelsPerUnit,
                             plotArea (4 numbers: top left bottom right between
                             the axes), xTitle, yTitle (as drawn), help (the
                             help text), cursor (the code the last hover gave),
                             width, height; and of the session: windows,
                             samples, channels, isSampling
  expect pixel H V COLOUR    COLOUR: trace, white, black or #RRGGBB
  expect trace inside|outside [none|some|N]
                             trace-coloured pixels inside / outside the plot area
  expect message TEXT        the extension showed TEXT (error or message); what it
                             showed also goes to stderr at the end, each text once
  expect no-errors           the extension reported no error

Exit codes: 0 done, 1 an action failed, 2 a line does not parse, 3 an
expectation did not hold.
)HELP";

namespace {

struct ScriptLine {
    size_t number;
    std::vector<std::string> words;
};

std::vector<std::string> SplitWords(const std::string& text)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace((unsigned char)text[i])) ++i;
        if (i >= text.size() || text[i] == '#') break;
        std::string word;
        if (text[i] == '"') {
            ++i;
            while (i < text.size() && text[i] != '"') word += text[i++];
            if (i >= text.size()) throw UsageError("a quoted word has no closing quote");
            ++i;
        } else {
            while (i < text.size() && !std::isspace((unsigned char)text[i])) word += text[i++];
        }
        words.push_back(word);
    }
    return words;
}

class ScriptRunner {
public:
    ScriptRunner(const fs::path& path, std::string bundle, fs::path pictures = fs::path())
        : path_(path == kStandardInput ? fs::path("script") : path), bundle_(std::move(bundle)),
          pictures_(std::move(pictures))
    {
        // Standard input may be a file redirected: that file is the script.
        inputs_.push_back(path.string());
    }

    // Checks every line's shape and values without acting; UsageError names the problem.
    void Check(const ScriptLine& line) { Dispatch(line, false); }
    void Run(const ScriptLine& line) { Dispatch(line, true); }
    // What the extension showed, on stderr; scripts don't fail on its errors,
    // so those are shown too.
    void ShowMessages()
    {
        if (session_) session_->ShowMessages(true);
    }

private:
    using Words = std::vector<std::string>;

    void Need(const Words& w, size_t low, size_t high, const char* usage)
    {
        if (w.size() < low || w.size() > high) throw UsageError(std::string("expected: ") + usage);
    }
    double Num(const std::string& text, const std::string& what, double low = -1e300, double high = 1e300)
    {
        return ParseNumber(text, what, low, high);
    }
    long Int(const std::string& text, const std::string& what, long low, long high)
    {
        return ParseInteger(text, what, low, high);
    }
    AxisSide Side(const std::string& text)
    {
        if (text == "x") return AxisSide::x;
        if (text == "y") return AxisSide::y;
        throw UsageError("axis " + QuoteInput(text) + " is not x or y");
    }
    fs::path Resolve(const std::string& file) const
    {
        fs::path p(file);
        return p.is_absolute() ? p : path_.parent_path() / p;
    }

    Session& Host()
    {
        if (!session_) {
            session_ = std::make_unique<Session>(bundle_.empty() ? DefaultBundlePath() : bundle_, false);
            for (const std::string& input : inputs_) session_->AddInput(input);
        }
        return *session_;
    }
    WindowRef Current()
    {
        Recorder& host = Host().Host();
        if (current_ && host.IsExtensionWindow(current_)) return current_;
        throw InputError("no window is open");
    }
    SignalSetSource& Source()
    {
        if (!source_) throw InputError("no source; use `source demo` or `source file PATH` first");
        return *source_;
    }

    void Dispatch(const ScriptLine& line, bool act)
    {
        const Words& w = line.words;
        const std::string& verb = w[0];
        static const std::map<std::string, void (ScriptRunner::*)(const Words&, bool)> kActions = {
            {"source", &ScriptRunner::DoSource},     {"load", &ScriptRunner::DoLoad},
            {"start", &ScriptRunner::DoStart},       {"batch", &ScriptRunner::DoBatch},
            {"sample", &ScriptRunner::DoSample},     {"stop", &ScriptRunner::DoStop},
            {"select", &ScriptRunner::DoSelect},     {"channel", &ScriptRunner::DoChannel},
            {"open", &ScriptRunner::DoOpen},         {"menu", &ScriptRunner::DoMenu},
            {"window", &ScriptRunner::DoWindow},     {"close", &ScriptRunner::DoClose},
            {"resize", &ScriptRunner::DoResize},     {"zoom", &ScriptRunner::DoZoom},
            {"click", &ScriptRunner::DoClick},       {"hover", &ScriptRunner::DoHover},
            {"axis", &ScriptRunner::DoAxis},         {"erase", &ScriptRunner::DoErase},
            {"settings", &ScriptRunner::DoSettings}, {"png", &ScriptRunner::DoPng},
            {"save", &ScriptRunner::DoSave},         {"expect", &ScriptRunner::DoExpect},
        };
        auto it = kActions.find(verb);
        if (it == kActions.end())
            throw UsageError("unknown action " + QuoteInput(verb) + " (see xyrecorder script --help)");
        (this->*(it->second))(w, act);
    }

    void DoSource(const Words& w, bool act)
    {
        if (w.size() >= 2 && w[1] == "demo") {
            DemoOptions demo;
            if (w.size() % 2 != 0) throw UsageError("expected: source demo [rate HZ] [duration S] [seed N]");
            for (size_t i = 2; i + 1 < w.size(); i += 2) {
                if (w[i] == "rate")
                    demo.sampleRate = Num(w[i + 1], "rate", 1, 1e6);
                else if (w[i] == "duration")
                    demo.duration = Num(w[i + 1], "duration", 1e-3, 86400);
                else if (w[i] == "seed")
                    demo.seed = uint32_t(Int(w[i + 1], "seed", 0, 4294967295L));
                else
                    throw UsageError("source demo takes rate, duration and seed, not " + QuoteInput(w[i]));
            }
            CheckDemoFits(std::max(1.0, std::round(demo.sampleRate * demo.duration)), "the demo recording");
            if (act) {
                RequireNotSampling("source");
                SetSource(MakeDemoSignals(demo));
            }
            return;
        }
        if (w.size() >= 3 && w[1] == "file") {
            CsvOptions csv;
            csv.intervalHint = "source file PATH interval S";
            if (w.size() == 5 && w[3] == "interval") {
                csv.sampleInterval = Num(w[4], "interval");
                if (auto problem = SampleIntervalProblem(*csv.sampleInterval))
                    throw UsageError("interval: " + *problem);
            } else if (w.size() != 3)
                throw UsageError("expected: source file PATH [interval S]");
            if (act) {
                RequireNotSampling("source");
                StoredSignals signals = OpenSignals(Resolve(w[2]), csv);
                SelectChannels(signals, "", w[2]);
                SetSource(std::move(signals));
                AddInput(Resolve(w[2]).string());
            }
            return;
        }
        throw UsageError("expected: source demo [...] or source file PATH [interval S]");
    }

    template <class Signals>
    void SetSource(Signals signals)
    {
        source_ = std::make_shared<SignalSetSource>(std::move(signals));
        sourceApplied_ = false;
    }

    // A file the script reads: no picture is written over it.
    void AddInput(const std::string& path)
    {
        inputs_.push_back(path);
        if (session_) session_->AddInput(path);
    }

    // A new source gives the recording's channels its titles, units and
    // ranges once; later changes to a channel are the user's and stay.
    void ApplySourceChannels()
    {
        if (sourceApplied_) return;
        Host().DefineChannels(Source().Channels());
        sourceApplied_ = true;
    }

    void RequireNotSampling(const char* action)
    {
        if (session_ && session_->Host().IsSampling())
            throw InputError(std::string(action) + ": sampling is under way; stop first");
    }

    void DoLoad(const Words& w, bool act)
    {
        Need(w, 1, 1, "load");
        if (act) {
            RequireNotSampling("load");
            ApplySourceChannels();
            Host().LoadRecorded(Source().Signals());
        }
    }

    void DoStart(const Words& w, bool act)
    {
        Need(w, 1, 2, "start [BATCH]");
        size_t batch = w.size() == 2 ? size_t(Int(w[1], "batch size", 1, 32767)) : 100;
        if (act) {
            RequireNotSampling("start");
            Host().CheckRoom(double(Source().Signals().SampleCount()), "the source");
            ApplySourceChannels();
            Source().Rewind();
            Host().Host().StartSampling(Source(), batch);
            sampled_ = source_;  // kept while the recorder holds it, whatever the script does meanwhile
        }
    }

    void DoBatch(const Words& w, bool act)
    {
        Need(w, 1, 2, "batch [N]");
        long count = w.size() == 2 ? Int(w[1], "batch count", 1, 100000000) : 1;
        if (act)
            for (long i = 0; i < count; ++i)
                if (Host().SampleBatch() == 0)
                    throw InputError("the source has ended after " + std::to_string(i) + " of " +
                                     std::to_string(count) + " batches");
    }

    void DoSample(const Words& w, bool act)
    {
        Need(w, 2, 2, "sample SECONDS");
        double seconds = Num(w[1], "seconds", 0, 1e7);
        if (act) Host().Sample(size_t(std::llround(seconds / Host().Host().SampleInterval())));
    }

    void DoStop(const Words& w, bool act)
    {
        Need(w, 1, 1, "stop");
        if (act) {
            Host().Host().StopSampling();
            sampled_.reset();
        }
    }

    void DoSelect(const Words& w, bool act)
    {
        if (w.size() == 2 && w[1] == "none") {
            if (act) Host().Host().ClearSelection();
            return;
        }
        Need(w, 3, 3, "select FIRST LAST | select none");
        auto first = int32_t(Int(w[1], "first sample", 0, 2147483647));
        auto last = int32_t(Int(w[2], "last sample", 0, 2147483647));
        if (last < first) throw UsageError("the last sample " + w[2] + " comes before the first " + w[1]);
        if (act) {
            int32_t count = Host().Host().GetRecording().SampleCount();
            if (last >= count)
                throw InputError("samples " + w[1] + ".." + w[2] + " lie outside the recording (" +
                                 std::to_string(count) + " samples)");
            Host().Host().SelectRange(first, last);
        }
    }

    void DoChannel(const Words& w, bool act)
    {
        if (w.size() < 2 || w.size() % 2 != 0)
            throw UsageError("expected: channel N [title T] [units U] [low L] [high H] [decimals D]");
        auto channel = int16_t(Int(w[1], "channel", 1, 32));
        std::vector<std::pair<std::string, std::string>> changes;
        for (size_t i = 2; i + 1 < w.size(); i += 2) {
            const std::string& key = w[i];
            if (key == "low" || key == "high")
                Num(w[i + 1], key);
            else if (key == "decimals")
                Int(w[i + 1], key, 0, 15);
            else if (key == "units" && w[i + 1].size() > 15)
                throw UsageError("units " + QuoteInput(w[i + 1]) + " are longer than 15 bytes");
            else if (key != "title" && key != "units")
                throw UsageError("a channel has title, units, low, high and decimals, not " + QuoteInput(key));
            changes.emplace_back(key, w[i + 1]);
        }
        if (!act) return;
        Recorder& host = Host().Host();
        if (channel > host.GetRecording().ChannelCount())
            throw InputError("channel " + w[1] + " does not exist; the recording has " +
                             std::to_string(host.GetRecording().ChannelCount()));
        ChannelSettings info = host.GetRecording().Channel(channel);
        for (const auto& [key, value] : changes) {
            if (key == "title")
                info.title = value;
            else if (key == "units")
                info.units = value;
            else if (key == "low")
                info.displayLow = Num(value, key);
            else if (key == "high")
                info.displayHigh = Num(value, key);
            else
                info.decimals = int16_t(Int(value, key, 0, 15));
        }
        host.SetChannel(channel, info);
    }

    void DoOpen(const Words& w, bool act)
    {
        if (w.size() != 1 && w.size() != 3) throw UsageError("expected: open [WIDTH HEIGHT]");
        int width = w.size() == 3 ? int(Int(w[1], "width", 200, 2000)) : 480;
        int height = w.size() == 3 ? int(Int(w[2], "height", 200, 1000)) : 400;
        if (act) {
            if (source_) ApplySourceChannels();
            current_ = Host().Open(width, height);
        }
    }

    void DoMenu(const Words& w, bool act)
    {
        Need(w, 2, 2, "menu PATH");
        if (!act) return;
        Recorder& host = Host().Host();
        size_t before = host.Windows().size();
        const std::vector<MenuCommand>& commands = host.MenuCommands();
        if (std::none_of(commands.begin(), commands.end(), [&](const MenuCommand& c) { return c.path == w[1]; }))
            throw InputError("no menu command " + QuoteInput(w[1]));
        try {
            host.ChooseMenuCommand(w[1]);
        } catch (const RecorderError& error) {
            throw InputError(error.what());
        }
        if (host.Windows().size() > before) current_ = host.Windows().back();
    }

    void DoWindow(const Words& w, bool act)
    {
        Need(w, 2, 2, "window N");
        long n = Int(w[1], "window", 1, 1000);
        if (act) {
            std::vector<WindowRef> windows = Host().Host().Windows();
            if (size_t(n) > windows.size())
                throw InputError("there is no window " + w[1] + "; " + std::to_string(windows.size()) + " are open");
            current_ = windows[size_t(n) - 1];
            Host().Host().BringToFront(current_);
        }
    }

    void DoClose(const Words& w, bool act)
    {
        Need(w, 1, 1, "close");
        if (act) {
            Host().Host().CloseWindow(Current());
            std::vector<WindowRef> windows = Host().Host().Windows();
            current_ = windows.empty() ? nullptr : windows.back();
        }
    }

    void DoResize(const Words& w, bool act)
    {
        Need(w, 3, 3, "resize WIDTH HEIGHT");
        auto width = int16_t(Int(w[1], "width", 1, 4000));
        auto height = int16_t(Int(w[2], "height", 1, 4000));
        if (act) Host().Host().Resize(Current(), width, height);
    }

    void DoZoom(const Words& w, bool act)
    {
        Need(w, 1, 2, "zoom [in|out]");
        if (w.size() == 2 && w[1] != "in" && w[1] != "out")
            throw UsageError("zoom takes in or out, not " + QuoteInput(w[1]));
        if (!act) return;
        if (w.size() == 1)
            Host().Host().Zoom(Current());
        else
            Host().Host().Zoom(Current(), w[1] == "in");
    }

    void DoClick(const Words& w, bool act)
    {
        Need(w, 3, 3, "click H V");
        Point where{int16_t(Int(w[2], "v", -32768, 32767)), int16_t(Int(w[1], "h", -32768, 32767))};
        if (act) Host().Host().Click(Current(), where);
    }

    void DoHover(const Words& w, bool act)
    {
        Need(w, 3, 3, "hover H V");
        Point where{int16_t(Int(w[2], "v", -32768, 32767)), int16_t(Int(w[1], "h", -32768, 32767))};
        if (act) lastCursor_ = Host().Host().MouseOver(Current(), where);
    }

    void DoAxis(const Words& w, bool act)
    {
        if (w.size() < 3)
            throw UsageError("expected: axis x|y channel C | drag PIXELS | zoom-in | zoom-out | channel-range");
        AxisSide side = Side(w[1]);
        const std::string& what = w[2];
        if (what == "channel") {
            Need(w, 4, 4, "axis AXIS channel C");
            if (w[3].empty()) throw UsageError("axis " + w[1] + " channel: give a channel title or number");
            if (act)
                Host().ChooseChannel(
                    Current(), side,
                    ResolveChannel(RecordingChannels(), w[3], "axis " + w[1] + " channel", "the recording"));
        } else if (what == "drag") {
            Need(w, 4, 4, "axis AXIS drag PIXELS");
            int pixels = int(Int(w[3], "pixels", -2000, 2000));
            if (act) Host().DragAxis(Current(), side, pixels);
        } else {
            static const std::map<std::string, std::string> kItems = {{"zoom-in", recorder::kZoomInItem},
                                                                      {"zoom-out", recorder::kZoomOutItem},
                                                                      {"channel-range", recorder::kChannelRangeItem}};
            auto item = kItems.find(what);
            if (item == kItems.end())
                throw UsageError("axis takes channel, drag, zoom-in, zoom-out or channel-range, not " +
                                 QuoteInput(what));
            Need(w, 3, 3, "axis AXIS zoom-in|zoom-out|channel-range");
            if (act) Host().ChooseAxisItem(Current(), side, item->second);
        }
    }

    std::vector<ChannelSettings> RecordingChannels()
    {
        const Recording& recording = Host().Host().GetRecording();
        std::vector<ChannelSettings> infos;
        for (int16_t c = 1; c <= recording.ChannelCount(); ++c) infos.push_back(recording.Channel(c));
        return infos;
    }

    void DoErase(const Words& w, bool act)
    {
        Need(w, 1, 1, "erase");
        if (act) Host().ClickEraseButton(Current());
    }

    void DoSettings(const Words& w, bool act)
    {
        Need(w, 2, 3, "settings MINUTES [on|off] | settings on|off | settings cancel");
        std::optional<double> minutes;
        std::optional<bool> on;
        bool cancel = false;
        auto onOff = [&](const std::string& word) {
            if (word != "on" && word != "off") throw UsageError("expected on or off, not " + QuoteInput(word));
            on = word == "on";
        };
        if (w[1] == "cancel") {
            Need(w, 2, 2, "settings cancel");
            cancel = true;
        } else if (w[1] == "on" || w[1] == "off") {
            Need(w, 2, 2, "settings on|off");
            onOff(w[1]);
        } else {
            minutes = Num(w[1], "minutes", 0.1, 100);
            if (w.size() == 3) onOff(w[2]);
        }
        if (act) Host().AnswerEraseDialog(Current(), minutes, on, cancel);
    }

    void DoPng(const Words& w, bool act)
    {
        Need(w, 2, 2, "png PATH");
        if (act) Host().WritePng(Current(), PicturePath(w[1]));
    }

    // Where png and save write: beside the script, or in --pictures DIR.
    std::string PicturePath(const std::string& path) const
    {
        return pictures_.empty() || fs::path(path).is_absolute() ? Resolve(path).string() : (pictures_ / path).string();
    }

    void DoSave(const Words& w, bool act)
    {
        Need(w, 2, 3, "save PATH [SCALE]");
        int scale = w.size() == 3 ? int(Int(w[2], "scale", 1, kLargestPictureScale)) : 1;
        if (act) Host().WritePicture(Current(), PicturePath(w[1]), scale);
    }

    void DoExpect(const Words& w, bool act) { checks_.Expect(w, act); }

    fs::path path_;
    std::string bundle_;
    fs::path pictures_;  // where png writes; empty: beside the script
    std::vector<std::string> inputs_;
    std::shared_ptr<SignalSetSource> source_;   // what start, load and open take
    std::shared_ptr<SignalSetSource> sampled_;  // what the recorder samples, until stop
    // After the sources: the recorder goes first, so it never outlives what it samples.
    std::unique_ptr<Session> session_;
    WindowRef current_ = nullptr;
    int16_t lastCursor_ = 0;
    bool sourceApplied_ = false;
    ScriptChecks checks_{[this]() -> Session& { return Host(); }, [this] { return Current(); }, lastCursor_};
};

struct ScriptLineError {
    size_t line;
    std::string message;
};

// Splits the script into lines of words and checks each line's shape and
// values, without acting; the first line that does not parse, if any.
std::optional<ScriptLineError> ParseScript(const std::string& script, ScriptRunner& runner,
                                           std::vector<ScriptLine>& lines)
{
    std::istringstream in(script);
    std::string text;
    for (size_t number = 1; std::getline(in, text); ++number) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        try {
            ScriptLine line{number, SplitWords(text)};
            if (line.words.empty()) continue;
            runner.Check(line);
            lines.push_back(std::move(line));
        } catch (const std::exception& error) {
            return ScriptLineError{number, error.what()};
        }
    }
    return std::nullopt;
}

// "FILE:LINE: message" on stderr, nothing in it raw on the terminal.
void PrintLineError(const std::string& path, size_t line, const std::string& message)
{
    std::fprintf(stderr, "%s:%zu: %s\n", EscapeInput(path).c_str(), line, EscapeInput(message).c_str());
}

}  // namespace

std::string CheckScript(const std::string& script)
{
    ScriptRunner runner("script.xys", "");
    std::vector<ScriptLine> lines;
    std::optional<ScriptLineError> error = ParseScript(script, runner, lines);
    return error ? std::to_string(error->line) + ": " + error->message : std::string();
}

int RunScript(const std::string& path, const std::string& bundle, const std::string& pictures)
{
    // Before the script is read: standard input can be read only once.
    std::error_code ec;
    if (!pictures.empty() && !fs::is_directory(pictures, ec)) {
        std::fprintf(stderr, "xyrecorder: --pictures %s: no such folder\n", EscapeInput(pictures).c_str());
        return 1;
    }
    std::string script;
    if (path == kStandardInput) {
        script.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        InputFile file(path, "a script file");
        if (!file || !file.ReadAll(script)) {
            std::fprintf(stderr, "xyrecorder: %s: %s\n", EscapeInput(path).c_str(),
                         file ? "cannot be read" : file.Problem().c_str());
            return 1;
        }
    }
    const std::string shown = path == kStandardInput ? "standard input" : path;  // in messages
    ScriptRunner runner(path, bundle, pictures);
    std::vector<ScriptLine> lines;
    if (std::optional<ScriptLineError> error = ParseScript(script, runner, lines)) {
        PrintLineError(shown, error->line, error->message);
        return 2;
    }
    for (const ScriptLine& line : lines) {
        try {
            runner.Run(line);
        } catch (const ExpectationFailed& error) {
            runner.ShowMessages();
            PrintLineError(shown, line.number, error.what());
            return 3;
        } catch (const std::bad_alloc&) {
            runner.ShowMessages();
            PrintLineError(shown, line.number,
                           "out of memory for the recording: there is not enough memory to hold it");
            return 1;
        } catch (const std::exception& error) {
            runner.ShowMessages();
            PrintLineError(shown, line.number, error.what());
            return 1;
        }
    }
    runner.ShowMessages();
    return 0;
}
