// The program's vector pictures as a user gets them: SVG and PDF of the demo
// drawn by stock renderers (rsvg-convert, pdftoppm) against the PNG it
// writes, --scale, the script's save, and input meant to break them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "Pictures.h"
#include "SvgReading.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kTrace = 0x0066CC;

unsigned Red(uint32_t p) { return (p >> 16) & 0xFF; }
unsigned Blue(uint32_t p) { return p & 0xFF; }
unsigned Luma(uint32_t p) { return (Red(p) * 3 + ((p >> 8) & 0xFF) * 6 + Blue(p)) / 10; }

// A pixel where an anti-aliased renderer drew some of the trace over white:
// at least a third of the way from white to the trace's blue.
bool ShowsTrace(uint32_t p) { return Red(p) <= 170 && Blue(p) >= Red(p) + 40; }
// One that is mostly trace: half the way or more.
bool MostlyTrace(uint32_t p) { return Red(p) <= 128 && Blue(p) >= Red(p) + 60; }

struct Area {
    int top, left, bottom, right;
    bool Contains(double h, double v) const { return v >= top && v < bottom && h >= left && h < right; }
};
// The plot area of a window with this content size: fixed margins around it.
Area PlotArea(int width, int height) { return Area{23, 51, height - 32, width - 15}; }

// How a drawn picture agrees with the PNG on the trace: the share of the
// PNG's trace pixels it shows (at scale times the size), the share it shows
// mostly, and the share of the pixels it mostly covers that lie on or beside
// one of the PNG's.
struct Agreement {
    double shown = 0, mostlyShown = 0, onTrace = 0;
};
Agreement TraceAgreement(const Picture& png, const Picture& drawn, int scale)
{
    long trace = 0, shown = 0, mostly = 0, covered = 0, near = 0;
    for (int v = 0; v < png.height; ++v)
        for (int h = 0; h < png.width; ++h) {
            if (png.At(h, v) != kTrace) continue;
            ++trace;
            bool any = false, most = false;
            for (int dv = 0; dv < scale; ++dv)
                for (int dh = 0; dh < scale; ++dh) {
                    any = any || ShowsTrace(drawn.At(h * scale + dh, v * scale + dv));
                    most = most || MostlyTrace(drawn.At(h * scale + dh, v * scale + dv));
                }
            shown += any;
            mostly += most;
        }
    for (int v = 0; v < drawn.height; ++v)
        for (int h = 0; h < drawn.width; ++h) {
            if (!MostlyTrace(drawn.At(h, v))) continue;
            ++covered;
            bool beside = false;
            for (int dv = -1; dv <= 1; ++dv)
                for (int dh = -1; dh <= 1; ++dh) {
                    const int ph = h / scale + dh, pv = v / scale + dv;
                    beside =
                        beside || (ph >= 0 && pv >= 0 && ph < png.width && pv < png.height && png.At(ph, pv) == kTrace);
                }
            near += beside;
        }
    return Agreement{trace ? double(shown) / trace : 0, trace ? double(mostly) / trace : 0,
                     covered ? double(near) / covered : 0};
}

// Runs of lines (rows or columns) of a band that hold dark ink, gaps of up to
// two lines bridged: where the axis labels and the words of titles stand,
// each run [first, last] (letters apart vary from renderer to renderer).
std::vector<std::pair<int, int>> InkRuns(const Picture& p, bool columns, int from, int to, int across0, int across1)
{
    std::vector<std::pair<int, int>> runs;
    for (int line = from; line < to; ++line) {
        bool ink = false;
        for (int across = across0; across < across1 && !ink; ++across)
            ink = Luma(columns ? p.At(line, across) : p.At(across, line)) < 150;
        if (!ink) continue;
        if (!runs.empty() && runs.back().second >= line - 3)
            runs.back().second = line;
        else
            runs.push_back({line, line});
    }
    return runs;
}

// The labels and titles of both axes stand where the PNG has them, give or
// take a pixel.
void ExpectTextWhereThePngHasIt(const Picture& png, const Picture& drawn, const std::string& what)
{
    const Area area = PlotArea(png.width, png.height);
    struct Band {
        const char* name;
        bool columns;
        int from, to, across0, across1;
    };
    const Band bands[] = {
        {"x labels", true, 0, png.width, area.bottom + 6, area.bottom + 15},
        {"x title", true, 0, png.width, area.bottom + 16, png.height - 4},
        {"y labels", false, 0, png.height, 15, area.left - 6},
        {"y title", false, 0, png.height, 1, 13},
    };
    for (const Band& band : bands) {
        const auto expected = InkRuns(png, band.columns, band.from, band.to, band.across0, band.across1);
        const auto got = InkRuns(drawn, band.columns, band.from, band.to, band.across0, band.across1);
        ASSERT_GT(expected.size(), 0u) << band.name;
        auto show = [](const std::vector<std::pair<int, int>>& runs) {
            std::string text;
            for (const auto& [a, b] : runs) text += std::to_string(a) + "-" + std::to_string(b) + " ";
            return text;
        };
        ASSERT_EQ(got.size(), expected.size()) << what << ": " << band.name << "\n"
                                               << show(expected) << "\n"
                                               << show(got);
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_NEAR(got[i].first, expected[i].first, 1) << what << ": " << band.name << " " << i;
            EXPECT_NEAR(got[i].second, expected[i].second, 1) << what << ": " << band.name << " " << i;
        }
    }
}

class VectorPictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / ("xyrecorder_vector_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        if (!HasFailure()) fs::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // The program's exit code; what it said on stderr in err_.
    int Xyrecorder(const std::vector<std::string>& arguments)
    {
        std::string command = "'" + std::string(XYRECORDER_PATH) + "'";
        for (const std::string& argument : arguments) command += " '" + argument + "'";
        const int status = std::system((command + " </dev/null >/dev/null 2>'" + Path("stderr") + "'").c_str());
        std::ifstream in(Path("stderr"));
        std::stringstream text;
        text << in.rdbuf();
        err_ = text.str();
        fs::remove(Path("stderr"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }
    std::string Slurp(const std::string& name) const
    {
        std::ifstream in(Path(name), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
    std::string err_;
};

TEST_F(VectorPictures, SvgAndPdfOfTheDemoShowWhatItsPngShows)
{
    for (const char* out : {"demo.png", "demo.svg", "demo.pdf"})
        ASSERT_EQ(Xyrecorder({"demo", "--out", Path(out)}), 0) << err_;
    const Picture png = ReadPng(Path("demo.png"));
    ASSERT_EQ(png.width, 480);
    const Area area = PlotArea(png.width, png.height);

    // The SVG is XML; its trace is a path in the trace's colour, inside the plot area.
    ASSERT_EQ(Shell("xmllint --noout '" + Path("demo.svg") + "'"), 0);
    const std::vector<SvgSubpath> trace = StrokedSubpaths(Slurp("demo.svg"), "#0066cc");
    size_t points = 0;
    for (const SvgSubpath& subpath : trace)
        for (const auto& [h, v] : subpath) {
            ++points;
            EXPECT_TRUE(area.Contains(h - 0.5, v - 0.5)) << h << ", " << v;
        }
    EXPECT_GT(points, 200u);

    ASSERT_EQ(Shell("rsvg-convert '" + Path("demo.svg") + "' -o '" + Path("svg.png") + "'"), 0);
    ASSERT_EQ(Shell("pdftoppm -r 72 -png -singlefile '" + Path("demo.pdf") + "' '" + Path("pdf") + "'"), 0);
    for (const char* drawnName : {"svg.png", "pdf.png"}) {
        const Picture drawn = ReadPng(Path(drawnName));
        ASSERT_EQ(drawn.width, png.width) << drawnName;
        ASSERT_EQ(drawn.height, png.height) << drawnName;
        const Agreement agreement = TraceAgreement(png, drawn, 1);
        std::printf("%s: %.2f%% of the PNG's trace shown, %.2f%% mostly, %.2f%% of its trace on the PNG's\n", drawnName,
                    100 * agreement.shown, 100 * agreement.mostlyShown, 100 * agreement.onTrace);
        EXPECT_GE(agreement.shown, 0.99) << drawnName;
        EXPECT_GE(agreement.mostlyShown, 0.99) << drawnName;
        EXPECT_GE(agreement.onTrace, 0.99) << drawnName;
        ExpectTextWhereThePngHasIt(png, drawn, drawnName);
        // The frame of the plot area, drawn by the extension, is where it was.
        for (int v = area.top; v < area.bottom; ++v) ASSERT_LT(Luma(drawn.At(area.left - 1, v)), 60) << drawnName << v;
    }
}

TEST_F(VectorPictures, ScaleTwoDrawsTheWindowTwiceAsLarge)
{
    ASSERT_EQ(Xyrecorder({"demo", "--x", "Sine A", "--y", "Sine B", "--out", Path("one.png")}), 0) << err_;
    ASSERT_EQ(Xyrecorder({"demo", "--x", "Sine A", "--y", "Sine B", "--scale", "2", "--out", Path("two.png")}), 0)
        << err_;
    const Picture one = ReadPng(Path("one.png")), two = ReadPng(Path("two.png"));
    ASSERT_EQ(two.width, 2 * one.width);
    ASSERT_EQ(two.height, 2 * one.height);
    const Agreement agreement = TraceAgreement(one, two, 2);
    EXPECT_GE(agreement.shown, 0.99);
    EXPECT_GE(agreement.mostlyShown, 0.99);
    EXPECT_GE(agreement.onTrace, 0.99);
    // Lines are drawn at the scale: the plot's frame two pixels wide, black,
    // with white on both sides inside the plot area.
    const Area area = PlotArea(one.width, one.height);
    for (int v = 2 * area.top + 2; v < 2 * area.bottom - 2; ++v) {
        ASSERT_EQ(two.At(2 * (area.left - 1), v), 0x000000u) << v;
        ASSERT_EQ(two.At(2 * (area.left - 1) + 1, v), 0x000000u) << v;
        if (one.At(area.left, v / 2) == 0xFFFFFF) {
            ASSERT_GT(Luma(two.At(2 * area.left, v)), 200) << v;
        }
    }
    // Text too: the labels' ink is twice as wide and high, not a bitmap blown up
    // (which would show only the PNG's grey levels, each in 2 x 2 blocks).
    std::set<uint32_t> greys;
    for (int v = 2 * area.bottom; v < two.height; ++v)
        for (int h = 0; h < two.width; ++h) greys.insert(two.At(h, v));
    std::set<uint32_t> greysAtOne;
    for (int v = area.bottom; v < one.height; ++v)
        for (int h = 0; h < one.width; ++h) greysAtOne.insert(one.At(h, v));
    EXPECT_FALSE(std::includes(greysAtOne.begin(), greysAtOne.end(), greys.begin(), greys.end()));
    ExpectTextWhereThePngHasIt(
        one,
        [&] {
            Picture halved{one.width, one.height, std::vector<uint32_t>(one.pixels.size())};
            for (int v = 0; v < one.height; ++v)
                for (int h = 0; h < one.width; ++h) {
                    uint32_t darkest = 0xFFFFFF;
                    for (int dv = 0; dv < 2; ++dv)
                        for (int dh = 0; dh < 2; ++dh)
                            if (Luma(two.At(2 * h + dh, 2 * v + dv)) < Luma(darkest))
                                darkest = two.At(2 * h + dh, 2 * v + dv);
                    halved.pixels[size_t(v) * size_t(one.width) + size_t(h)] = darkest;
                }
            return halved;
        }(),
        "scale 2");
}

TEST_F(VectorPictures, AScriptSavesEachFormat)
{
    std::ofstream(Path("session.xys")) << "source demo duration 2\n"
                                          "open 300 240\n"
                                          "start\n"
                                          "sample 2\n"
                                          "stop\n"
                                          "save plot.svg\n"
                                          "save plot.pdf 2\n"
                                          "save plot.png 3\n"
                                          "png exact.png\n";
    ASSERT_EQ(Xyrecorder({"script", Path("session.xys")}), 0) << err_;
    EXPECT_EQ(Shell("xmllint --noout '" + Path("plot.svg") + "'"), 0);
    EXPECT_EQ(Shell("pdftoppm -r 72 -png -singlefile '" + Path("plot.pdf") + "' '" + Path("page") + "'"), 0);
    EXPECT_EQ(ReadPng(Path("page.png")).width, 600);
    EXPECT_EQ(ReadPng(Path("plot.png")).width, 900);
    EXPECT_EQ(ReadPng(Path("exact.png")).width, 300);
    std::ofstream(Path("bad.xys")) << "open\nsave plot.svg 9\n";
    EXPECT_EQ(Xyrecorder({"script", Path("bad.xys")}), 2);
    EXPECT_NE(err_.find("bad.xys:2"), std::string::npos) << err_;
}

TEST_F(VectorPictures, ViewAndLiveWriteWhatOutNames)
{
    std::ofstream(Path("rows.csv")) << "Time (s),A,B\n0,0.1,0.2\n0.01,0.3,0.1\n0.02,0.5,0.4\n0.03,0.2,0.6\n";
    ASSERT_EQ(Xyrecorder({"view", Path("rows.csv"), "--width", "300", "--height", "200", "--out", Path("view.pdf")}), 0)
        << err_;
    EXPECT_EQ(Slurp("view.pdf").rfind("%PDF-", 0), 0u);
    ASSERT_EQ(Shell("'" + std::string(XYRECORDER_PATH) + "' live - --scale 2 --out '" + Path("live.svg") + "' <'" +
                    Path("rows.csv") + "'"),
              0);
    const std::string svg = Slurp("live.svg");
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_NE(svg.find("width=\"960\" height=\"800\""), std::string::npos);
    EXPECT_EQ(Shell("xmllint --noout '" + Path("live.svg") + "'"), 0);
}

TEST_F(VectorPictures, InputMeantToBreakItBreaksNothing)
{
    // Scales out of range, or too large a picture: usage errors before any work.
    EXPECT_EQ(Xyrecorder({"demo", "--scale", "0", "--out", Path("x.png")}), 2);
    EXPECT_EQ(Xyrecorder({"demo", "--scale", "9", "--out", Path("x.png")}), 2);
    EXPECT_EQ(Xyrecorder({"demo", "--scale", "1.5", "--out", Path("x.png")}), 2);
    EXPECT_EQ(Xyrecorder({"demo", "--scale", "5", "--width", "2000", "--height", "1000", "--out", Path("x.png")}), 2);
    EXPECT_NE(err_.find("10000 x 5000"), std::string::npos) << err_;
    EXPECT_EQ(Xyrecorder({"demo", "--scale", "8", "--width", "2000", "--height", "1000", "--out", Path("x.svg")}), 0)
        << err_;  // a vector picture's size is only a number
    fs::remove(Path("x.svg"));

    // An output that is a folder, or in a folder that does not exist: refused, the folder kept.
    fs::create_directories(Path("taken.svg/inside"));
    EXPECT_EQ(Xyrecorder({"demo", "--duration", "1", "--out", Path("taken.svg")}), 1);
    EXPECT_NE(err_.find("is a folder"), std::string::npos) << err_;
    EXPECT_TRUE(fs::is_directory(Path("taken.svg/inside")));
    EXPECT_EQ(Xyrecorder({"demo", "--duration", "1", "--out", Path("missing/x.pdf")}), 1);

    // Titles with XML's specials and Mac Roman bytes (é, •), in the smallest window at the largest scale.
    std::ofstream(Path("odd.csv"), std::ios::binary) << "Time (s),A<&>'\x8E,B \xA5 q\n"
                                                        "0,0.1,0.2\n0.01,0.3,0.1\n0.02,0.5,0.4\n0.03,0.2,0.6\n";
    for (const char* out : {"odd.svg", "odd.pdf", "odd.png"})
        ASSERT_EQ(Xyrecorder({"play", Path("odd.csv"), "--width", "200", "--height", "200", "--scale", "8", "--out",
                              Path(out)}),
                  0)
            << err_;
    EXPECT_EQ(Shell("xmllint --noout '" + Path("odd.svg") + "'"), 0);
    const std::string text = SvgText(Slurp("odd.svg"));
    EXPECT_NE(text.find("A<&>'\xC3\xA9"), std::string::npos) << text;
    EXPECT_NE(text.find("B \xE2\x80\xA2 q"), std::string::npos) << text;
    EXPECT_EQ(Shell("pdftotext '" + Path("odd.pdf") + "' '" + Path("odd.txt") + "'"), 0);
    EXPECT_NE(Slurp("odd.txt").find("A<&>'\xC3\xA9"), std::string::npos) << Slurp("odd.txt");
    EXPECT_EQ(ReadPng(Path("odd.png")).width, 1600);
    EXPECT_EQ(Names(), (std::vector<std::string>{"odd.csv", "odd.pdf", "odd.png", "odd.svg", "odd.txt", "taken.svg"}));
}

}  // namespace
