// Recordings as other programs write them, read from files, standard input
// and pipes: each variant of the same recording draws the same trace as the
// plain file, or is refused with its exact message.
#include <cmath>
#include <functional>

#include "ProgramFixture.h"

namespace {

using RealFiles = Xyrecorder;

constexpr int kRows = 100;  // one second at 100 Hz

// A figure eight: X at 1 Hz, Y at 2 Hz.
double X(int row) { return std::sin(2 * M_PI * row / kRows); }
double Y(int row) { return 0.5 * std::sin(4 * M_PI * row / kRows); }

std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// The recording as a CSV: header, then each row as row(r) makes it.
std::string Csv(const std::string& header, const std::function<std::string(int)>& row)
{
    std::string text = header.empty() ? "" : header + "\n";
    for (int r = 0; r < kRows; ++r) text += row(r) + "\n";
    return text;
}

std::string Plain()
{
    return Csv("Time (s),X,Y", [](int r) { return Number(r / 100.0) + "," + Number(X(r)) + "," + Number(Y(r)); });
}

class FilesTest : public RealFiles {
protected:
    fs::path Write(const std::string& name, const std::string& text)
    {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }

    // The trace `view` draws of the file with these options, X against Y.
    std::vector<size_t> Trace(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> all = {"view"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        for (const char* word : {"--x", "X", "--y", "Y", "--out", "trace.png"}) all.push_back(word);
        Outcome run = Xy(all);
        EXPECT_EQ(run.code, 0) << run.err;
        std::vector<size_t> trace = TracePixels(ReadPng(Path("trace.png")));
        fs::remove(Path("trace.png"));
        return trace;
    }

    void SetUp() override
    {
        RealFiles::SetUp();
        Write("plain.csv", Plain());
        expected_ = Trace({"plain.csv"});
        ASSERT_GT(expected_.size(), 200u);  // a figure eight across the plot
    }

    std::vector<size_t> expected_;
};

TEST_F(FilesTest, CsvFilesAsOtherProgramsWriteThemDrawTheSameTrace)
{
    auto xy = [](int r) { return Number(X(r)) + "," + Number(Y(r)); };
    // pandas' default: the row index as an untitled first column.
    Write("pandas.csv",
          Csv(",time,X,Y", [&](int r) { return std::to_string(r) + "," + Number(r / 100.0) + "," + xy(r); }));
    Outcome pandas = Xy({"info", "pandas.csv"});
    EXPECT_EQ(pandas.err, "xyrecorder: note: pandas.csv: column 1 has no title: it is taken as a row index (as pandas "
                          "writes one) and not as a channel\n");
    EXPECT_EQ(pandas.out.rfind("pandas.csv: 2 channels, 100 samples at 100 Hz (1 s)\n", 0), 0u) << pandas.out;
    EXPECT_EQ(Trace({"pandas.csv"}), expected_);

    // ISO 8601 date-times, as the index or as a named column, across midnight.
    auto stamp = [](int r) {
        int ms = r * 10 - 500;  // from half a second before the new year
        char text[40];
        if (ms < 0)
            std::snprintf(text, sizeof text, "2023-12-31T23:59:59.%03d", 1000 + ms);
        else
            std::snprintf(text, sizeof text, "2024-01-01 00:00:00.%03dZ", ms);
        return std::string(text);
    };
    Write("dates.csv", Csv(",X,Y", [&](int r) { return stamp(r) + "," + xy(r); }));
    EXPECT_EQ(Trace({"dates.csv"}), expected_);
    Outcome dates = Xy({"info", "dates.csv"});
    EXPECT_EQ(dates.out.rfind("dates.csv: 2 channels, 100 samples at 100 Hz (1 s)\n", 0), 0u) << dates.out << dates.err;

    // Time columns named as other programs name them.
    for (std::string name : {"t", "timestamp", "seconds", "timer", "time_ms"}) {
        double scale = name == "time_ms" ? 1000 : 1;
        Write(name + ".csv", Csv(name + ",X,Y", [&](int r) { return Number(r / 100.0 * scale) + "," + xy(r); }));
        EXPECT_EQ(Trace({name + ".csv"}), expected_) << name;
    }

    // No header row: numbered titles, the interval given.
    Write("bare.csv", Csv("", xy));
    Outcome bare = Xy({"view", "bare.csv", "--interval", "0.01", "--x", "Channel 1", "--y", "2", "-o", "bare.png"});
    EXPECT_EQ(bare.err, "xyrecorder: note: bare.csv: no header row; the columns are titled Channel 1 to Channel 2\n"
                        "xyrecorder: wrote bare.png (480 × 400)\n");
    EXPECT_EQ(TracePixels(ReadPng(Path("bare.png"))), expected_);

    // The time column named by the user, or none: every column a channel.
    Write("clock.csv", Csv("X,clock,Y", [](int r) { return Number(X(r)) + "," + Number(r) + "," + Number(Y(r)); }));
    EXPECT_EQ(Trace({"clock.csv", "--time-column", "clock"}), expected_);
    EXPECT_EQ(Trace({"clock.csv", "--time-column", "2"}), expected_);
    Write("t_is_x.csv", Csv("t,Y", [](int r) { return Number(X(r)) + "," + Number(Y(r)); }));
    Outcome none =
        Xy({"view", "t_is_x.csv", "--no-time-column", "--interval", "0.01", "-x", "t", "-y", "Y", "-o", "none.png"});
    EXPECT_EQ(none.code, 0) << none.err;
    EXPECT_EQ(TracePixels(ReadPng(Path("none.png"))), expected_);
    Outcome both = Xy({"view", "clock.csv", "--time-column", "clock", "--no-time-column"});
    EXPECT_EQ(both.code, 2);
    EXPECT_EQ(both.err, "xyrecorder view: --time-column and --no-time-column exclude each other (see xyrecorder view "
                        "--help)\n");
}

TEST_F(FilesTest, EmptyCellsHoldThePreviousValueWithANote)
{
    // Y's cells at rows 40 and 41 are empty; the plain file holds row 39's value there.
    auto held = [](int r) { return r == 40 || r == 41 ? 39 : r; };
    Write("held.csv", Csv("Time (s),X,Y",
                          [&](int r) { return Number(r / 100.0) + "," + Number(X(r)) + "," + Number(Y(held(r))); }));
    Write("holes.csv", Csv("Time (s),X,Y", [&](int r) {
              return Number(r / 100.0) + "," + Number(X(r)) + "," +
                     (held(r) == r ? Number(Y(r)) : std::string(r == 40 ? "" : "NaN"));
          }));
    Outcome run = Xy({"view", "holes.csv", "--x", "X", "--y", "Y", "--out", "holes.png"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.err, "xyrecorder: note: holes.csv: 2 empty cells take its channel's previous value (before a "
                       "channel's first value, that value); the first at line 42, column 3\n"
                       "xyrecorder: wrote holes.png (480 × 400)\n");
    EXPECT_EQ(TracePixels(ReadPng(Path("holes.png"))), Trace({"held.csv"}));
}

TEST_F(FilesTest, StandardInputAndOutputAndFilesWithoutAnExtension)
{
    // "-" reads the recording from standard input; its kind comes from its content.
    Outcome piped = XyReading(Path("plain.csv"), {"view", "-", "--x", "X", "--y", "Y", "--out", "piped.png"});
    EXPECT_EQ(piped.code, 0) << piped.err;
    EXPECT_EQ(piped.err, "xyrecorder: wrote piped.png (480 × 400)\n");
    EXPECT_EQ(TracePixels(ReadPng(Path("piped.png"))), expected_);
    WriteWav(Path("demo.wav"), DemoSamples(0.5));
    Outcome wav = XyReading(Path("demo.wav"), {"info", "-"});
    EXPECT_EQ(wav.out.rfind("standard input: 6 channels, 500 samples at 1000 Hz (0.5 s)\n", 0), 0u)
        << wav.out << wav.err;
    WriteEdf(Path("demo.edf"), DemoSamples(0.5), false);
    Outcome edf = XyReading(Path("demo.edf"), {"info", "-"});
    EXPECT_EQ(edf.out.rfind("standard input: 6 channels, 500 samples at 1000 Hz (0.5 s)\n", 0), 0u)
        << edf.out << edf.err;
    Outcome empty = XyReading("/dev/null", {"play", "-"});
    EXPECT_EQ(empty.code, 1);
    EXPECT_EQ(empty.err, "xyrecorder: standard input: empty: no recording in it\n");
    Write("broken.csv", "t,A,B\n0,1,2\n0.1,x,2\n");
    Outcome broken = XyReading(Path("broken.csv"), {"view", "-"});
    EXPECT_EQ(broken.err, "xyrecorder: standard input:3: column 2 (A): \"x\" is not a number\n");

    // --out - writes the PNG to standard output, the same picture as a file gets.
    Outcome toStdout = Xy({"view", "plain.csv", "--x", "X", "--y", "Y", "-o", "-"});
    EXPECT_EQ(toStdout.code, 0) << toStdout.err;
    EXPECT_EQ(toStdout.err, "xyrecorder: wrote standard output (480 × 400)\n");
    Write("from_stdout.png", toStdout.out);
    Outcome toFile = Xy({"view", "plain.csv", "--x", "X", "--y", "Y", "-o", "file.png"});
    EXPECT_EQ(ReadPng(Path("from_stdout.png")).pixels, ReadPng(Path("file.png")).pixels);
    EXPECT_EQ(Slurp(Path("from_stdout.png")), Slurp(Path("file.png")));

    // Standard output sent into the input, by its name or as standard input, is refused before any work.
    fs::copy_file(Path("plain.csv"), Path("again.csv"));
    RunningProgram intoInput(ProgramCommand({"view", "again.csv", "-o", "-"}), Path("again.csv"), Path("err.txt"),
                             Path(""));
    EXPECT_EQ(intoInput.Wait(kRunTimeoutSeconds), 1);
    EXPECT_EQ(Slurp(Path("err.txt")), "xyrecorder: --out -: is the input again.csv; it is not written over\n");
    RunningProgram intoStandardInput(ProgramCommand({"view", "-", "-o", "-"}), Path("again.csv"), Path("err.txt"),
                                     Path(""), Path("again.csv"));
    EXPECT_EQ(intoStandardInput.Wait(kRunTimeoutSeconds), 1);
    EXPECT_EQ(Slurp(Path("err.txt")), "xyrecorder: --out -: is the input standard input; it is not written over\n");

    // A file named without a known extension is read by its content.
    fs::copy_file(Path("plain.csv"), Path("recording"));
    EXPECT_EQ(Trace({"recording"}), expected_);
    Write("picture", Slurp(Path("file.png")));
    Outcome picture = Xy({"view", "picture"});
    EXPECT_EQ(picture.err, "xyrecorder: picture: unknown kind of recording: neither its name (.wav, .csv, .edf or "
                           ".bdf) nor its first bytes say what it is\n");

    // Any other name than .png gets a PNG and a warning.
    Outcome text = Xy({"view", "plain.csv", "-x", "X", "-y", "Y", "-o", "x.txt"});
    EXPECT_EQ(text.err, "xyrecorder: warning: --out x.txt: the picture is written as PNG, whatever its name says\n"
                        "xyrecorder: wrote x.txt (480 × 400)\n");
    EXPECT_EQ(ReadPng(Path("x.txt")).pixels, ReadPng(Path("file.png")).pixels);
}

TEST_F(FilesTest, ChannelsAreChosenAndAPlotNeedsTwo)
{
    // 40 channels: EEG1..EEG40, X in EEG3 and Y in EEG40, the rest flat.
    std::string header = "Time (s)";
    for (int c = 1; c <= 40; ++c) header += ",EEG" + std::to_string(c);
    Write("wide.csv", Csv(header, [](int r) {
              std::string row = Number(r / 100.0);
              for (int c = 1; c <= 40; ++c)
                  row += "," + (c == 3 ? Number(X(r)) : c == 40 ? Number(Y(r)) : std::string("0"));
              return row;
          }));
    Outcome chosen =
        Xy({"view", "wide.csv", "--channels", "1-2,EEG3,EEG4*", "-x", "EEG3", "-y", "EEG40", "-o", "w.png"});
    EXPECT_EQ(chosen.code, 0) << chosen.err;
    EXPECT_EQ(chosen.err, "xyrecorder: wrote w.png (480 × 400)\n");
    EXPECT_EQ(TracePixels(ReadPng(Path("w.png"))), expected_);
    Outcome info = Xy({"info", "wide.csv", "-c", "EEG4*,3"});
    EXPECT_EQ(info.out.rfind("wide.csv: 3 channels,", 0), 0u) << info.out;
    EXPECT_NE(info.out.find("\n   1  EEG3 "), std::string::npos) << info.out;  // in the file's order
    EXPECT_NE(info.out.find("\n   3  EEG40 "), std::string::npos) << info.out;

    // None named: the first 32, and a note; EEG40 is not among them.
    Outcome first = Xy({"view", "wide.csv", "-x", "EEG3", "-y", "EEG40", "-o", "w.png"});
    EXPECT_EQ(first.code, 1);
    EXPECT_EQ(first.err.rfind("xyrecorder: note: wide.csv has 40 channels; the first 32 are recorded, 33-40 are left "
                              "out (choose with --channels, such as --channels 1-8,12,EEG*)\n"
                              "xyrecorder: --y EEG40: wide.csv has no such channel; its channels are 1 \"EEG1\"",
                              0),
              0u)
        << first.err;

    struct Case {
        std::vector<std::string> arguments;
        int code;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"view", "wide.csv", "-c", "1-33"},
         1,
         "xyrecorder: --channels 1-33 names 33 channels; at most 32 can be recorded\n"},
        {{"view", "wide.csv", "-c", "EEG*"},
         1,
         "xyrecorder: --channels EEG* names 40 channels; at most 32 can be recorded\n"},
        {{"view", "wide.csv", "-c", "1,41"}, 1, "xyrecorder: --channels 41: wide.csv has channels 1 to 40\n"},
        {{"view", "wide.csv", "-c", "ECG*"}, 1, "xyrecorder: --channels ECG*: wide.csv has no channel of that title\n"},
        {{"view", "wide.csv", "-c", "8-2"},
         2,
         "xyrecorder view: --channels \"8-2\": no range of channel numbers (write 1-8) (see xyrecorder view --help)\n"},
        {{"view", "wide.csv", "-c", "1,,2"},
         2,
         "xyrecorder view: --channels \"1,,2\": an empty item (write 1-8,12,EEG*) (see xyrecorder view --help)\n"},
        {{"view", "wide.csv", "-c", "EEG40"},
         1,
         "xyrecorder: wide.csv has one channel (EEG40); an X-Y plot needs two, one for each axis\n"},
    };
    for (const Case& c : cases) {
        Outcome run = Xy(c.arguments);
        EXPECT_EQ(run.code, c.code) << c.arguments[3];
        EXPECT_EQ(run.err, c.message);
    }
    // A file of one channel is refused by play and view alike, not plotted against itself.
    Write("one.csv", Csv("t,Pulse", [](int r) { return Number(r / 100.0) + "," + Number(X(r)); }));
    for (const char* command : {"play", "view"}) {
        Outcome one = Xy({command, "one.csv", "-o", "one.png"});
        EXPECT_EQ(one.code, 1);
        EXPECT_EQ(one.err, "xyrecorder: one.csv has one channel (Pulse); an X-Y plot needs two, one for each axis\n");
        EXPECT_FALSE(fs::exists(Path("one.png")));
    }
}

TEST_F(FilesTest, ExportAndDemoSaveWriteRecordingsThatDrawTheSame)
{
    Outcome wav = Xy({"export", "plain.csv", "--to", "plain.wav"});
    EXPECT_EQ(wav.code, 0) << wav.err;
    EXPECT_EQ(wav.err, "xyrecorder: wrote plain.wav (2 channels, 100 samples at 100 Hz)\n");
    EXPECT_EQ(Trace({"plain.wav"}), expected_);
    Outcome edf = Xy({"export", "plain.wav", "--to", "plain.edf", "-c", "Y"});
    EXPECT_EQ(edf.code, 0) << edf.err;
    Outcome info = Xy({"info", "plain.edf"});
    EXPECT_EQ(info.out.rfind("plain.edf: 1 channels, 100 samples at 100 Hz (1 s)\n   1  Y ", 0), 0u) << info.out;

    struct Case {
        std::vector<std::string> arguments;
        int code;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"export", "plain.csv"}, 2, "xyrecorder export: export needs --to OUT (see xyrecorder export --help)\n"},
        {{"export", "plain.csv", "--to", "plain.csv"},
         1,
         "xyrecorder: --to plain.csv: is the input plain.csv; it is not written over\n"},
        {{"export", "plain.csv", "--to", "plain.xyz"},
         1,
         "xyrecorder: plain.xyz: unknown kind of recording (expected .wav, .csv, .edf or .bdf)\n"},
        {{"demo", "--save", "demo.csv", "-o", "demo.png"},
         2,
         "xyrecorder demo: --save writes the recording instead of plotting it; --out has no use beside it (see "
         "xyrecorder demo --help)\n"},
        {{"export", "plain.csv", "--to", "-"},
         2,
         "xyrecorder export: --to -: a recording is written to a file, whose extension gives its kind (see "
         "xyrecorder export --help)\n"},
    };
    for (const Case& c : cases) {
        Outcome run = Xy(c.arguments);
        EXPECT_EQ(run.code, c.code) << c.arguments.back();
        EXPECT_EQ(run.err, c.message);
    }

    // demo --save writes the recording the demo plays: playing it draws the demo's picture.
    Outcome save = Xy({"demo", "--duration", "1", "--save", "demo.csv"});
    EXPECT_EQ(save.code, 0) << save.err;
    EXPECT_EQ(save.err, "xyrecorder: wrote demo.csv (6 channels, 1000 samples at 1000 Hz)\n");
    Outcome demo = Xy({"demo", "--duration", "1", "-x", "3", "-y", "4", "-o", "demo.png"});
    Outcome play = Xy({"play", "demo.csv", "-x", "3", "-y", "4", "-o", "play.png"});
    ASSERT_EQ(play.code, 0) << play.err;
    EXPECT_EQ(ReadPng(Path("play.png")).pixels, ReadPng(Path("demo.png")).pixels);
}

}  // namespace

namespace {

// On a terminal the progress line shows the total, the percentage and the
// time left, redrawn a few times a second rather than once per batch; and a
// terminal as standard output gets no picture.
TEST_F(RealFiles, OnATerminalProgressCountsDownAndNoPictureIsSentToIt)
{
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    std::string terminal = ::ptsname(master);
    // Held open here too, so that what the program wrote stays readable after it ends.
    int slave = ::open(terminal.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    // 2 s at its own pace in 40 batches of 50 samples.
    RunningProgram run(ProgramCommand({"demo", "--duration", "2", "--batch", "50", "--realtime", "-o", "p.png"}),
                       Path("out.txt"), terminal, Path(""));
    EXPECT_EQ(run.Wait(kRunTimeoutSeconds), 0);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    std::string shown;
    char buffer[4096];
    for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, size_t(got));

    std::vector<std::string> lines;  // each redraw starts with a carriage return
    for (size_t at = shown.find("\rsampling ["); at != std::string::npos; at = shown.find("\rsampling [", at + 1))
        lines.push_back(shown.substr(at + 1, shown.find_first_of("\r\n", at + 1) - at - 1));
    ASSERT_GE(lines.size(), 4u) << shown;
    EXPECT_LE(lines.size(), 14u) << "about four a second over two seconds, not one per batch (40)";
    EXPECT_NE(lines.front().find("of 2000 samples"), std::string::npos) << lines.front();
    EXPECT_NE(lines.back().find("] 100%  2000 of 2000 samples"), std::string::npos) << lines.back();
    bool counted = false;
    for (const std::string& line : lines) counted = counted || line.find(" s left") != std::string::npos;
    EXPECT_TRUE(counted) << shown;
    EXPECT_NE(shown.find("xyrecorder: wrote p.png (480 × 400)"), std::string::npos) << shown;

    // A picture is no text: a terminal as standard output is refused before any work.
    RunningProgram toTerminal(ProgramCommand({"demo", "--duration", "0.1", "-o", "-"}), terminal, Path("err.txt"),
                              Path(""));
    EXPECT_EQ(toTerminal.Wait(kRunTimeoutSeconds), 1);
    EXPECT_EQ(Slurp(Path("err.txt")), "xyrecorder: --out -: standard output is a terminal, which can't show a "
                                      "picture; redirect it to a file (> picture.png) or a program (| display)\n");
    ::close(slave);
    ::close(master);
}

}  // namespace
