// The axes' ranges from the command line: view fits them to the stretch shown
// (or takes the file's with --fit file), and --xrange / --yrange set them by
// hand for demo, play and view.
#include "ProgramFixture.h"

#include <algorithm>

namespace {

// Columns and rows of the trace inside the plot area.
struct Extent {
    int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
};
Extent TraceExtent(const Picture& picture)
{
    Extent e;
    Area area = PlotArea(picture);
    for (int v = area.top; v < area.bottom; ++v)
        for (int h = area.left; h < area.right; ++h)
            if (picture.At(h, v) == kTrace) {
                e.left = std::min(e.left, h);
                e.right = std::max(e.right, h);
                e.top = std::min(e.top, v);
                e.bottom = std::max(e.bottom, v);
            }
    return e;
}

// Ten seconds at 100 Hz: X climbs from 0 to 100, Y from 0 to 10: the file's
// ranges (fitted to the whole file by the CSV reader) are 0..100 and 0..10.
SignalSet Climb()
{
    SignalSet set;
    set.sampleInterval = 0.01;
    set.channels = {SignalChannel{ChannelSettings{"X", "", -1, 1, 2}, {}},
                    SignalChannel{ChannelSettings{"Y", "", -1, 1, 2}, {}}};
    for (int i = 0; i < 1000; ++i) {
        set.channels[0].samples.push_back(float(i) / 10.0f);
        set.channels[1].samples.push_back(float(i) / 100.0f);
    }
    return set;
}

struct AxisRangeOf {
    double low, high;
};

}  // namespace

TEST_F(Xyrecorder, ViewFitsTheAxesToTheStretchShownOrToTheFile)
{
    WriteCsv(Path("climb.csv"), Climb());
    const std::string file = Path("climb.csv").string();
    // From 4 s to 5 s: X runs 40..50, Y 4..5; fitted, each fills most of its axis.
    Outcome fitted = Xy({"view", file, "--from", "4", "--to", "5", "--out", Path("fitted.png").string()});
    ASSERT_EQ(fitted.code, 0) << fitted.err;
    Picture fit = ReadPng(Path("fitted.png"));
    Area area = PlotArea(fit);
    Extent e = TraceExtent(fit);
    EXPECT_GT(e.right - e.left, (area.right - area.left) * 6 / 10);
    EXPECT_GT(e.bottom - e.top, (area.bottom - area.top) * 6 / 10);
    EXPECT_EQ(CountTrace(fit).outside, 0);

    // The file's ranges, which the CSV reader fitted to the whole file: X from 40 on a small part of its axis.
    Outcome whole = Xy({"view", file, "--from", "4", "--to", "5", "--fit", "file", "--out", Path("file.png").string()});
    ASSERT_EQ(whole.code, 0) << whole.err;
    Extent f = TraceExtent(ReadPng(Path("file.png")));
    ChannelSettings xFile = FitDisplayRange(ChannelSettings{}, 0.0f, 99.9f);
    EXPECT_LT(f.right - f.left, (area.right - area.left) * 12 / 100);
    EXPECT_NEAR(f.left,
                area.left + (area.right - area.left) * (40 - xFile.displayLow) / (xFile.displayHigh - xFile.displayLow),
                2);
    // The whole file fitted or from the file: the same picture.
    ASSERT_EQ(Xy({"view", file, "--out", Path("all-fitted.png").string()}).code, 0);
    ASSERT_EQ(Xy({"view", file, "--fit", "file", "--out", Path("all-file.png").string()}).code, 0);
    EXPECT_EQ(Slurp(Path("all-fitted.png")), Slurp(Path("all-file.png")));
}

TEST_F(Xyrecorder, RangesByHandPlaceTheTraceWhereTheyPutTheValues)
{
    WriteCsv(Path("climb.csv"), Climb());
    const std::string file = Path("climb.csv").string();
    // X 40..60 over the plot's width: X = 40 at its left column, 50 half way.
    Outcome view = Xy({"view", file, "--from", "4", "--to", "5", "--xrange", "40:60", "--yrange", "0:10", "--out",
                       Path("view.png").string()});
    ASSERT_EQ(view.code, 0) << view.err;
    Picture picture = ReadPng(Path("view.png"));
    Area area = PlotArea(picture);
    Extent e = TraceExtent(picture);
    int width = area.right - area.left;
    EXPECT_NEAR(e.left, area.left, 1);
    EXPECT_NEAR(e.right, area.left + width / 2, 2);
    // Y 4..5 of 0..10: the rows from 40% to 50% of the height up from the bottom.
    int height = area.bottom - area.top;
    EXPECT_NEAR(e.bottom, area.bottom - height * 4 / 10, 2);
    EXPECT_NEAR(e.top, area.bottom - height * 5 / 10, 2);

    // play and demo take them too: the samples' extremes land where the ranges put them.
    auto expectExtremesAt = [&](const std::string& png, const SignalChannel& x, const SignalChannel& y,
                                AxisRangeOf xRange, AxisRangeOf yRange) {
        SCOPED_TRACE(png);
        Extent r = TraceExtent(ReadPng(Path(png)));
        auto [xLow, xHigh] = std::minmax_element(x.samples.begin(), x.samples.end());
        auto [yLow, yHigh] = std::minmax_element(y.samples.begin(), y.samples.end());
        EXPECT_NEAR(r.left, area.left + width * (*xLow - xRange.low) / (xRange.high - xRange.low), 2);
        EXPECT_NEAR(r.right, area.left + width * (*xHigh - xRange.low) / (xRange.high - xRange.low), 2);
        EXPECT_NEAR(r.top, area.top + height * (yRange.high - *yHigh) / (yRange.high - yRange.low), 2);
        EXPECT_NEAR(r.bottom, area.top + height * (yRange.high - *yLow) / (yRange.high - yRange.low), 2);
    };
    Outcome demo = Xy({"demo", "--duration", "2", "--x", "Sine A", "--y", "Sine B", "--xrange", "-2:2", "--yrange",
                       "-1.5:2.5", "--out", Path("demo.png").string()});
    ASSERT_EQ(demo.code, 0) << demo.err;
    SignalSet samples = DemoSamples(2);
    expectExtremesAt("demo.png", samples.channels[2], samples.channels[3], {-2, 2}, {-1.5, 2.5});
    Outcome play = Xy({"play", file, "--xrange", "-50:150", "--yrange", "-5:15", "--out", Path("play.png").string()});
    ASSERT_EQ(play.code, 0) << play.err;
    SignalSet climb = Climb();
    expectExtremesAt("play.png", climb.channels[0], climb.channels[1], {-50, 150}, {-5, 15});
}

TEST_F(Xyrecorder, BadRangesAreUsageErrors)
{
    WriteCsv(Path("climb.csv"), Climb());
    const std::string file = Path("climb.csv").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"view", file, "--xrange", "5"}, "xyrecorder view: --xrange: \"5\" is not LO:HI (two numbers, such as -5:5)"},
        {{"view", file, "--yrange", "2:1"}, "xyrecorder view: --yrange: 2:1: LO must be below HI"},
        {{"demo", "--xrange", "0:x"}, "xyrecorder demo: --xrange HI: \"x\" is not a number"},
        {{"view", file, "--fit", "window"}, "xyrecorder view: --fit: \"window\" is neither data nor file"},
        {{"play", file, "--fit", "file"}, "xyrecorder play: unknown option --fit"},
    };
    for (const auto& [arguments, message] : cases) {
        std::vector<std::string> withOut = arguments;
        withOut.insert(withOut.end(), {"--out", Path("never.png").string()});
        Outcome run = Xy(withOut);
        EXPECT_EQ(run.code, 2) << arguments[0];
        EXPECT_EQ(run.err.substr(0, run.err.find(" (see")), message);
        EXPECT_FALSE(fs::exists(Path("never.png")));
    }
}
