// Runs the xyrecorder program as a user does and checks what it leaves: exit
// codes, one-line messages and the pictures.
#include <cmath>
#include <set>

#include "ProgramFixture.h"

namespace {

TEST_F(Xyrecorder, DemoDrawsTheTraceInsideThePlotAreaOnly)
{
    Outcome run = Xy({"demo", "--out", Path("demo.png").string(), "--width", "520", "--height", "420"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.err.find("seed 20261207"), std::string::npos) << run.err;  // logged for replay
    Picture picture = ReadPng(Path("demo.png"));
    ASSERT_EQ(picture.width, 520);
    ASSERT_EQ(picture.height, 420);
    TraceCount trace = CountTrace(picture);
    EXPECT_GT(trace.inside, 2000);
    EXPECT_EQ(trace.outside, 0);
    // The pressure-volume loop lies in the plot (0..160 on both axes): its
    // lower-left corner region (volume < 40 mL) stays empty.
    Area area = PlotArea(picture);
    int volume40 = area.left + (area.right - area.left) * 40 / 160;
    for (int v = area.top; v < area.bottom; ++v)
        for (int h = area.left; h < volume40 - 2; ++h) ASSERT_NE(picture.At(h, v), kTrace) << h << "," << v;
    EXPECT_EQ(Leftovers({"demo.png"}), std::vector<std::string>{});
}

TEST_F(Xyrecorder, DemoWritesFramesWhileSampling)
{
    Outcome run = Xy({"demo", "--duration", "1", "--batch", "100", "--frames", Path("frames").string(), "--every", "4",
                      "--out", Path("last.png").string(), "--x", "Sine A", "--y", "Sine B"});
    ASSERT_EQ(run.code, 0) << run.err;
    // 10 batches, a frame after the 4th and the 8th; the trace grows.
    ASSERT_TRUE(fs::exists(Path("frames/frame-00001.png")));
    ASSERT_TRUE(fs::exists(Path("frames/frame-00002.png")));
    EXPECT_FALSE(fs::exists(Path("frames/frame-00003.png")));
    long first = CountTrace(ReadPng(Path("frames/frame-00001.png"))).inside;
    long second = CountTrace(ReadPng(Path("frames/frame-00002.png"))).inside;
    long last = CountTrace(ReadPng(Path("last.png"))).inside;
    EXPECT_GT(first, 0);
    EXPECT_GT(second, first);
    EXPECT_GE(last, second);
}

TEST_F(Xyrecorder, DemoErasesAutomaticallyAtTheEraseTime)
{
    const std::vector<std::string> noise = {"demo", "--x", "Noise X", "--y", "Noise Y", "--out"};
    auto run = [&](const std::string& out, std::vector<std::string> extra) {
        std::vector<std::string> arguments = noise;
        arguments.push_back(Path(out).string());
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        Outcome outcome = Xy(arguments);
        EXPECT_EQ(outcome.code, 0) << outcome.err;
        return TracePixels(ReadPng(Path(out)));
    };
    std::vector<size_t> whole = run("whole.png", {});
    // 0.1 minutes: the trace is erased after 6 of the 10 seconds; what
    // remains is the last 4 seconds' part of the whole trace.
    std::vector<size_t> erased = run("erased.png", {"--erase-time", "0.1"});
    EXPECT_GT(erased.size(), 100u);
    EXPECT_LT(erased.size(), whole.size() * 3 / 4);
    EXPECT_TRUE(std::includes(whole.begin(), whole.end(), erased.begin(), erased.end()));
}

TEST_F(Xyrecorder, PlayingWavCsvAndEdfGivesTheBuiltInSourcesTrace)
{
    SignalSet samples = DemoSamples(2);
    WriteWav(Path("demo.wav"), samples);
    WriteCsv(Path("demo.csv"), samples);
    WriteEdf(Path("demo.edf"), samples, false);
    const std::vector<std::string> axes = {"--x", "Sine A", "--y", "Sine B"};
    auto plot = [&](std::vector<std::string> arguments, const std::string& out) {
        arguments.insert(arguments.end(), axes.begin(), axes.end());
        arguments.push_back("--out");
        arguments.push_back(Path(out).string());
        Outcome run = Xy(arguments);
        EXPECT_EQ(run.code, 0) << out << ": " << run.err;
        return ReadPng(Path(out));
    };
    Picture builtIn = plot({"demo", "--duration", "2"}, "builtin.png");
    std::vector<size_t> expected = TracePixels(builtIn);
    ASSERT_GT(expected.size(), 1000u);

    // WAV and CSV keep every float: the same picture, axes and all.
    EXPECT_EQ(plot({"play", Path("demo.wav").string()}, "wav.png").pixels, builtIn.pixels);
    EXPECT_EQ(plot({"play", Path("demo.csv").string()}, "csv.png").pixels, builtIn.pixels);

    // EDF keeps 16 bits over each channel's range: at most a pixel's rounding here and there.
    std::vector<size_t> edf = TracePixels(plot({"play", Path("demo.edf").string()}, "edf.png"));
    std::vector<size_t> differ;
    std::set_symmetric_difference(expected.begin(), expected.end(), edf.begin(), edf.end(), std::back_inserter(differ));
    EXPECT_LT(differ.size(), expected.size() / 100) << differ.size() << " of " << expected.size();
}

TEST_F(Xyrecorder, ViewRedrawsARangeFromRecordedData)
{
    SignalSet samples = DemoSamples(2);
    WriteCsv(Path("demo.csv"), samples);
    const std::vector<std::string> axes = {"--x", "Sine A", "--y", "Sine B"};
    auto run = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), axes.begin(), axes.end());
        return Xy(arguments);
    };
    Outcome info = Xy({"info", Path("demo.csv").string()});
    EXPECT_EQ(info.code, 0);
    EXPECT_EQ(info.out.substr(0, info.out.find('\n')),
              Path("demo.csv").string() + ": 6 channels, 2000 samples at 1000 Hz (2 s)");
    EXPECT_NE(info.out.find("   3  Sine A               V          -1 .. 1\n"), std::string::npos) << info.out;

    ASSERT_EQ(run({"play", Path("demo.csv").string(), "--out", Path("live.png").string()}).code, 0);
    Outcome whole = run({"view", Path("demo.csv").string(), "--out", Path("whole.png").string()});
    ASSERT_EQ(whole.code, 0) << whole.err;
    // The redraw of everything draws the very polyline that sampling drew.
    EXPECT_EQ(TracePixels(ReadPng(Path("whole.png"))), TracePixels(ReadPng(Path("live.png"))));

    // A quarter of a second: a 3:2 figure only partly drawn, inside the plot.
    Outcome part =
        run({"view", Path("demo.csv").string(), "--from", "0.5", "--to", "0.75", "--out", Path("part.png").string()});
    ASSERT_EQ(part.code, 0) << part.err;
    TraceCount partTrace = CountTrace(ReadPng(Path("part.png")));
    TraceCount wholeTrace = CountTrace(ReadPng(Path("whole.png")));
    EXPECT_GT(partTrace.inside, 100);
    EXPECT_LT(partTrace.inside, wholeTrace.inside / 2);
    EXPECT_EQ(partTrace.outside, 0);
}

// Trace pixels inside the plot area, as (h, v) pairs.
std::set<std::pair<int, int>> TraceInside(const Picture& picture)
{
    std::set<std::pair<int, int>> at;
    Area area = PlotArea(picture);
    for (int v = area.top; v < area.bottom; ++v)
        for (int h = area.left; h < area.right; ++h)
            if (picture.At(h, v) == kTrace) at.insert({h, v});
    return at;
}

TEST_F(Xyrecorder, ScriptRunsEveryActionAUserTakes)
{
    fs::path script = Path("session.xys");
    fs::copy_file(fs::path(E2E_SOURCE_DIR) / "session.xys", script);
    // A second recording whose channel 5 has another title and units.
    SignalSet loop = DemoSamples(1);
    loop.channels[4].info.title = "Flow";
    loop.channels[4].info.units = "L/s";
    WriteCsv(Path("loop.csv"), loop);
    Outcome run = Xy({"script", script.string()});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_GT(CountTrace(ReadPng(Path("after-batches.png"))).inside, 100);
    EXPECT_EQ(CountTrace(ReadPng(Path("erased.png"))).inside, 0);
    EXPECT_GT(CountTrace(ReadPng(Path("selected.png"))).inside, 100);
    EXPECT_GT(CountTrace(ReadPng(Path("loaded.png"))).inside, 100);

    // The drag moved the whole trace 20 pixels down, and nothing else changed it.
    auto before = TraceInside(ReadPng(Path("before-drag.png")));
    auto after = TraceInside(ReadPng(Path("after-drag.png")));
    ASSERT_GT(before.size(), 300u);
    std::set<std::pair<int, int>> moved;
    for (auto [h, v] : before) moved.insert({h, v + 20});
    EXPECT_EQ(after, moved);
    // The channel chosen from the popup: another trace, still inside the plot.
    Picture newChannel = ReadPng(Path("new-channel.png"));
    EXPECT_GT(CountTrace(newChannel).inside, 300);
    EXPECT_EQ(CountTrace(newChannel).outside, 0);
    EXPECT_NE(TraceInside(newChannel), after);
}

TEST_F(Xyrecorder, TheExtensionsMessagesReachTheUserOnceEach)
{
    // Behind this bundle the extension finds every block a sample short of its
    // length, and says so each time it redraws.
    const std::string bundle = SHORT_DATA_BUNDLE_PATH;
    const std::string text = "xyrecorder: Demand is outstripping supply in XY";
    WriteCsv(Path("demo.csv"), DemoSamples(1));
    Outcome view = Xy({"view", Path("demo.csv").string(), "--bundle", bundle, "--out", Path("view.png").string()});
    EXPECT_EQ(view.code, 0) << view.err;
    // Every redraw stopped at the short block: the window shows no trace.
    Picture picture = ReadPng(Path("view.png"));
    EXPECT_EQ(picture.width, 480);
    EXPECT_EQ(CountTrace(picture).inside + CountTrace(picture).outside, 0);
    // view draws its picture once: the message once, then the line naming the picture.
    EXPECT_EQ(view.err.rfind(text + "\nxyrecorder: wrote ", 0), 0u) << view.err;
    EXPECT_EQ(std::count(view.err.begin(), view.err.end(), '\n'), 2) << view.err;

    // A script checks the message and shows it at its end as well: one line
    // for all of its redraws, with their count.
    std::ofstream(Path("short.xys")) << "source file demo.csv\nload\nopen\nselect 0 999\nselect 0 499\n"
                                        "expect message \"Demand is outstripping supply in XY\"\n";
    Outcome script = Xy({"script", Path("short.xys").string(), "--bundle", bundle});
    EXPECT_EQ(script.code, 0) << script.err;
    EXPECT_EQ(script.err.rfind(text + " (", 0), 0u) << script.err;
    EXPECT_EQ(std::count(script.err.begin(), script.err.end(), '\n'), 1) << script.err;
    EXPECT_NE(script.err.find(" times)\n"), std::string::npos) << script.err;
}

TEST_F(Xyrecorder, BadInputGivesOneLineAndAnExitCodeAndNoPicture)
{
    WriteCsv(Path("good.csv"), DemoSamples(1));
    std::ofstream(Path("bad.csv")) << "Time (s),A,B\n0,1,2\n0.001,1,oops\n";
    std::ofstream(Path("corrupt.edf")) << std::string(400, 'x');
    std::ofstream(Path("syntax.xys")) << "# a comment\nopen\nfly away\n";
    std::ofstream(Path("fails.xys")) << "source demo duration 1\nopen\nexpect xChannel 2\n";
    std::ofstream(Path("offwindow.xys")) << "open 480 400\nexpect pixel 480 10 black\n";
    std::ofstream(Path("semicolons.csv")) << "Time (s);A;B\n0;1,5;2\n0,001;1,5;2\n";
    std::ofstream(Path("notime.csv")) << "A,B\n1,2\n";
    const std::string d = dir_.string() + "/";
    const std::string out = Path("out.png").string();
    struct Case {
        std::vector<std::string> arguments;
        int code;
        std::string message;  // the whole of stderr, one line
    };
    const std::vector<Case> cases = {
        {{"play", d + "missing.wav", "--out", out}, 1, "xyrecorder: " + d + "missing.wav: no such file\n"},
        {{"play", d + "corrupt.edf", "--out", out},
         1,
         "xyrecorder: " + d +
             "corrupt.edf: not a valid EDF/BDF file (its header has format errors): its version \"xxxxxxxx\" is "
             "neither EDF's \"0\" nor BDF's\n"},
        {{"play", d + "bad.csv", "--out", out},
         1,
         "xyrecorder: " + d + "bad.csv:3: column 3 (B): \"oops\" is not a number\n"},
        {{"play", d + "good.csv", "--x", "Heart rate", "--out", out},
         1,
         "xyrecorder: --x Heart rate: " + d +
             "good.csv has no such channel; its channels are 1 \"Volume\", "
             "2 \"Pressure\", 3 \"Sine A\", "
             "4 \"Sine B\", 5 \"Noise X\", 6 \"Noise Y\"\n"},
        {{"view", d + "good.csv", "--from", "5", "--out", out},
         1,
         "xyrecorder: " + d + "good.csv: --from 5 s lies outside the recording (the recording is 1 s long)\n"},
        {{"view", d + "good.csv", "--to", "1.5", "--out", out},
         1,
         "xyrecorder: " + d + "good.csv: --to 1.5 s lies outside the recording (the recording is 1 s long)\n"},
        {{"script", d + "syntax.xys"}, 2, d + "syntax.xys:3: unknown action \"fly\" (see xyrecorder script --help)\n"},
        {{"script", d + "fails.xys"}, 3, d + "fails.xys:3: xChannel is 1, expected 2\n"},
        {{"demo", "--rate", "fast", "--out", out},
         2,
         "xyrecorder demo: --rate: \"fast\" is not a number (see xyrecorder demo --help)\n"},
        {{"play", d + "good.csv", "--out", d + "no/such/folder/out.png"},
         1,
         "xyrecorder: --out " + d + "no/such/folder/out.png: the folder " + d + "no/such/folder does not exist\n"},
        {{"demo", "--colour", "red"}, 2, "xyrecorder demo: unknown option --colour (see xyrecorder demo --help)\n"},
        // A pixel outside the window is no colour at all.
        {{"script", d + "offwindow.xys"}, 1, d + "offwindow.xys:2: pixel 480 10 lies outside the window (480 × 400)\n"},
        // Nothing is made on disk before every option is known to be good.
        {{"demo", "--frames", d + "frames", "--out", d + "no/such/folder/out.png"},
         1,
         "xyrecorder: --out " + d + "no/such/folder/out.png: the folder " + d + "no/such/folder does not exist\n"},
        {{"play", d + "good.csv", "--x", "Nothing", "--frames", d + "frames/sub", "--out", out},
         1,
         "xyrecorder: --x Nothing: " + d +
             "good.csv has no such channel; its channels are 1 \"Volume\", "
             "2 \"Pressure\", 3 \"Sine A\", 4 \"Sine B\", 5 \"Noise X\", 6 \"Noise Y\"\n"},
        {{"demo", "--frames", d + "good.csv/frames", "--out", out},
         1,
         "xyrecorder: --frames " + d + "good.csv/frames: " + d + "good.csv is not a folder\n"},
        // Too large for the recorder: said at once, naming the limit.
        {{"demo", "--rate", "1000000", "--duration", "100", "--out", out},
         1,
         "xyrecorder: the demo recording (100 s at 1e+06 Hz) needs 2289 MiB (100000000 samples × 6 channels × 4 "
         "bytes); the demo is made in memory, at most 512 MiB of samples\n"},
        {{"demo", "--rate", "1000000", "--duration", "1100", "--out", out},
         1,
         "xyrecorder: the demo recording (1100 s at 1e+06 Hz) has 1100000000 samples; the recorder holds at most "
         "1073676289 (32767 blocks of 32767 samples)\n"},
        {{"play", d + "semicolons.csv", "--out", out},
         1,
         "xyrecorder: " + d +
             "semicolons.csv:1: the values are separated by ';'; this reader takes ',' with '.' as the "
             "decimal point (save the file as comma-separated)\n"},
        {{"play", d + "notime.csv", "--out", out},
         1,
         "xyrecorder: " + d +
             "notime.csv: no time column (a first column titled \"Time (s)\"); give the sample "
             "interval with --interval S\n"},
    };
    for (const Case& c : cases) {
        Outcome run = Xy(c.arguments);
        EXPECT_EQ(run.code, c.code) << c.arguments[0] << " " << c.arguments[1];
        EXPECT_EQ(run.err, c.message);
        EXPECT_FALSE(fs::exists(out)) << c.arguments[1];
    }
    EXPECT_EQ(Leftovers({"good.csv", "bad.csv", "corrupt.edf", "syntax.xys", "fails.xys", "offwindow.xys",
                         "semicolons.csv", "notime.csv"}),
              std::vector<std::string>{});
}

#if defined(__SANITIZE_ADDRESS__)
#define XY_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define XY_ASAN 1
#endif
#endif

TEST_F(Xyrecorder, RunningOutOfMemoryGivesOneClearLine)
{
#ifdef XY_ASAN
    GTEST_SKIP() << "AddressSanitizer needs more address space than the limit leaves";
#else
    // 100 MB of address space: the demo's 48 MB of samples fit, the
    // recording's copy of them does not.
    std::string command = "ulimit -v 100000 && exec '" + std::string(XYRECORDER_PATH) +
                          "' demo --rate 1000000 --duration 2 --batch 10000 --out '" + Path("out.png").string() +
                          "' 2>'" + Path("stderr.txt").string() + "'";
    int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
    std::string err = Slurp(Path("stderr.txt"));
    std::string last = err.substr(err.rfind('\n', err.size() - 2) + 1);
    EXPECT_EQ(last.rfind("xyrecorder: out of memory for the recording: ", 0), 0u) << err;
    EXPECT_FALSE(fs::exists(Path("out.png")));
#endif
}

TEST_F(Xyrecorder, HelpForTheProgramAndEachCommandHasAnExample)
{
    for (std::vector<std::string> arguments : {std::vector<std::string>{"--help"},
                                               {"demo", "--help"},
                                               {"play", "--help"},
                                               {"view", "--help"},
                                               {"script", "--help"},
                                               {"info", "--help"}}) {
        Outcome run = Xy(arguments);
        EXPECT_EQ(run.code, 0);
        EXPECT_NE(run.out.find("Example:\n  xyrecorder "), std::string::npos) << run.out;
        EXPECT_EQ(run.err, "");  // no progress bar or other noise when stderr is no terminal
    }
}

}  // namespace

TEST_F(Xyrecorder, AnEdfOfFortySignalsRecordsTheFirst32AndSaysWhichWereLeftOut)
{
    SignalSet set;
    set.sampleInterval = 0.001;
    for (int c = 0; c < 40; ++c) {
        SignalChannel channel;
        channel.info.title = "S" + std::to_string(c + 1);
        channel.info.units = "V";
        for (int i = 0; i < 2000; ++i) {
            double turn = 6.283185307179586 * i / 2000.0;
            channel.samples.push_back(float(0.8 * (c % 2 ? std::sin(turn) : std::cos(turn))));
        }
        set.channels.push_back(std::move(channel));
    }
    WriteEdf(Path("many.edf"), set, false);

    Outcome info = Xy({"info", Path("many.edf").string()});
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_EQ(info.out.substr(0, info.out.find('\n')),
              Path("many.edf").string() + ": 40 channels, 2000 samples at 1000 Hz (2 s)");
    EXPECT_NE(info.out.find("  40  S40 "), std::string::npos) << info.out;

    Outcome view =
        Xy({"view", Path("many.edf").string(), "--x", "S1", "--y", "S2", "--out", Path("many.png").string()});
    ASSERT_EQ(view.code, 0) << view.err;
    EXPECT_NE(view.err.find("xyrecorder: note: " + Path("many.edf").string() +
                            " has 40 channels; the first 32 are recorded, 33-40 are left out (choose with --channels"),
              std::string::npos)
        << view.err;
    EXPECT_GT(CountTrace(ReadPng(Path("many.png"))).inside, 500);
    Outcome left = Xy({"view", Path("many.edf").string(), "--x", "S33", "--out", Path("none.png").string()});
    EXPECT_EQ(left.code, 1);
}
