// The program's command line as people used to common tools expect it: short
// options, "--", options named when unknown, a version.
#include "ProgramFixture.h"

namespace {

using CommandLine = Xyrecorder;

TEST_F(CommandLine, ShortOptionsAndLongOnesMeanTheSame)
{
    Outcome longForm = Xy({"demo", "--duration", "1", "--x", "3", "--y", "4", "--out", Path("long.png").string()});
    ASSERT_EQ(longForm.code, 0) << longForm.err;
    Outcome shortForm = Xy({"demo", "--duration=1", "-x", "3", "-y4", "-o", Path("short.png").string()});
    ASSERT_EQ(shortForm.code, 0) << shortForm.err;
    EXPECT_EQ(ReadPng(Path("short.png")).pixels, ReadPng(Path("long.png")).pixels);

    Outcome help = Xy({"view", "-h"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("\n  -o, --out PATH "), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("\n  -h, --help "), std::string::npos) << help.out;
}

TEST_F(CommandLine, DoubleDashEndsTheOptions)
{
    WriteCsv(Path("-o.csv"), DemoSamples(0.5));  // a file whose name looks like an option
    Outcome run = Xy({"info", "--", "-o.csv"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out.rfind("-o.csv: 6 channels", 0), 0u) << run.out;
    // After "--", even -h is a file name.
    Outcome help = Xy({"info", "--", "-h.csv"});
    EXPECT_EQ(help.code, 1);
    EXPECT_EQ(help.err, "xyrecorder: -h.csv: no such file\n");
}

TEST_F(CommandLine, MistakesAreNamedWithTheCommandsHelp)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"demo", "-q"}, "xyrecorder demo: unknown option -q (see xyrecorder demo --help)\n"},
        {{"play", "--speed=2", "--bogus"}, "xyrecorder play: unknown option --bogus (see xyrecorder play --help)\n"},
        {{"demo", "-o"}, "xyrecorder demo: --out needs a value (see xyrecorder demo --help)\n"},
        {{"demo", "--realtime=yes"}, "xyrecorder demo: --realtime takes no value (see xyrecorder demo --help)\n"},
        {{"view", "a.csv", "b.csv"}, "xyrecorder view: view needs exactly one FILE (see xyrecorder view --help)\n"},
    };
    for (const Case& c : cases) {
        Outcome run = Xy(c.arguments);
        EXPECT_EQ(run.code, 2) << c.arguments[1];
        EXPECT_EQ(run.err, c.message);
    }
    Outcome version = Xy({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out.rfind("xyrecorder ", 0), 0u) << version.out;
    EXPECT_EQ(std::count(version.out.begin(), version.out.end(), '\n'), 1);
}

}  // namespace
