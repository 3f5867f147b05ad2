// Picture files: SVG, PDF and scaled PNG drawn from a toolbox picture and
// read back by stock tools (xmllint, rsvg-convert, pdftoppm), the file
// routine that leaves nothing half-written, the size limits, and a window's
// picture from the real bundle whose size follows what it shows.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "PascalText.h"
#include "Pictures.h"
#include "SvgReading.h"
#include "recorder/PictureFiles.h"
#include "recorder/Recorder.h"
#include "recorder/StdioOutput.h"
#include "recorder/TurnedText.h"
#include "signals/OutputFile.h"
#include "signals/SignalSetSource.h"
#include "toolbox/Toolbox.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

class Folder {
public:
    Folder()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::temp_directory_path() / ("picture-files-" + std::to_string(getpid()) + "-" + info->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~Folder() { fs::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path path_;
};

void Ink(UInt32 rgb)
{
    const RGBColor colour{UInt16(((rgb >> 16) & 0xFF) * 257), UInt16(((rgb >> 8) & 0xFF) * 257),
                          UInt16((rgb & 0xFF) * 257)};
    RGBForeColor(&colour);
}

constexpr UInt32 kFill = 0x3366AA, kLine = 0xCC2200;
constexpr Rect kFilled{10, 10, 30, 50};  // top, left, bottom, right
constexpr int kLineRow = 40, kLineLeft = 10, kLineRight = 70, kLineColumn = 90;

// An offscreen port drawn with a picture open: a fill, a row and a column in
// another colour, text that needs escaping, a run cut by the clip, a pixel.
class RecordedPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        port = CreateOffscreenPort(120, 80);
        SetPort(port);
        const Rect all{0, 0, 80, 120};
        picture = OpenPicture(&all);
        EraseRect(&all);
        Ink(kFill);
        PaintRect(&kFilled);
        Ink(kLine);
        MoveTo(kLineLeft, kLineRow);
        LineTo(kLineRight, kLineRow);
        MoveTo(kLineColumn, 5);
        LineTo(kLineColumn, 75);
        MoveTo(110, 70);
        LineTo(110, 70);
        Ink(0x000000);
        TextSize(10);
        MoveTo(4, 60);
        DrawString(Pstr("<&>\"' Caf\x8E \xA5"));
        const Rect clip{62, 0, 80, 40};
        ClipRect(&clip);
        MoveTo(20, 75);
        DrawString(Pstr("Half"));
        ClosePicture();
        SetPort(nullptr);
    }
    void TearDown() override
    {
        KillPicture(picture);
        DisposeOffscreenPort(port);
    }
    const PictureRecord& Record() const { return *GetPictureRecord(picture); }

    CGrafPtr port = nullptr;
    PicHandle picture = nullptr;
};

TEST_F(RecordedPort, SvgIsWellFormedAndKeepsTextAsText)
{
    Folder folder;
    const std::string path = folder / "picture.svg";
    WritePictureSvg(Record(), PictureSettings{1, "A <title> & \"more\""}, path);
    ASSERT_EQ(Shell("xmllint --noout '" + path + "'"), 0) << Slurp(path);
    const std::string svg = Slurp(path);
    EXPECT_NE(svg.find("<title>A &lt;title&gt; &amp; &quot;more&quot;</title>"), std::string::npos);
    // The run's characters, escaped, in UTF-8, each placed where it was drawn.
    const PictureText& run = Record().texts[0];
    const char* const characters[] = {"&lt;", "&amp;", "&gt;", "&quot;",   "&apos;", " ",
                                      "C",    "a",     "f",    "\xC3\xA9", " ",      "\xE2\x80\xA2"};
    ASSERT_EQ(run.glyphs.size(), std::size(characters));
    std::string spans;
    for (size_t i = 0; i < run.glyphs.size(); ++i)
        spans += "<tspan x=\"" + std::to_string(run.glyphs[i].h) + "\">" + characters[i] + "</tspan>";
    EXPECT_NE(
        svg.find("<text y=\"60\" font-family=\"DejaVu Sans\" font-size=\"10\" fill=\"#000000\">" + spans + "</text>"),
        std::string::npos)
        << svg;
    // The cut run keeps its clip; the lone pixel is a square.
    EXPECT_NE(svg.find("<clipPath id=\"c0\"><rect x=\"0\" y=\"62\" width=\"40\" height=\"18\"/></clipPath>"),
              std::string::npos);
    EXPECT_NE(svg.find("clip-path=\"url(#c0)\"><tspan x=\"20\">H</tspan>"), std::string::npos);
    EXPECT_NE(svg.find("<rect x=\"110\" y=\"70\" width=\"1\" height=\"1\" fill=\"#cc2200\"/>"), std::string::npos);
    EXPECT_NE(svg.find("d=\"M10.5 40.5l60 0M90.5 5.5l0 70\""), std::string::npos) << svg;

    // Drawn by a stock renderer at scale 1: the fill and the lines where the port has them.
    const std::string png = folder / "picture.png";
    ASSERT_EQ(Shell("rsvg-convert '" + path + "' -o '" + png + "'"), 0);
    Picture drawn = ReadPng(png);
    ASSERT_EQ(drawn.width, 120);
    for (int v = kFilled.top; v < kFilled.bottom; ++v)
        for (int h = kFilled.left; h < kFilled.right; ++h) ASSERT_EQ(drawn.At(h, v), kFill) << h << "," << v;
    for (int h = kLineLeft; h <= kLineRight; ++h) EXPECT_EQ(drawn.At(h, kLineRow), kLine) << h;
    EXPECT_EQ(drawn.At(kLineColumn, 50), kLine);
    EXPECT_EQ(drawn.At(kLineRight + 2, kLineRow), 0xFFFFFFu);
    EXPECT_EQ(drawn.At(kLineColumn, 77), 0xFFFFFFu);
}

// The fill and lines of the record at scale 3: each pixel a crisp 3 x 3 block.
void ExpectThreeTimesLarger(const Picture& picture)
{
    ASSERT_EQ(picture.width, 360);
    ASSERT_EQ(picture.height, 240);
    for (int v = 3 * kFilled.top; v < 3 * kFilled.bottom; ++v)
        for (int h = 3 * kFilled.left; h < 3 * kFilled.right; ++h) ASSERT_EQ(picture.At(h, v), kFill) << h << "," << v;
    for (int h = 3 * kLineLeft; h < 3 * (kLineRight + 1); ++h)
        for (int v = 3 * kLineRow; v < 3 * kLineRow + 3; ++v) ASSERT_EQ(picture.At(h, v), kLine) << h << "," << v;
    EXPECT_EQ(picture.At(3 * kLineLeft - 1, 3 * kLineRow + 1), 0xFFFFFFu);
    EXPECT_EQ(picture.At(3 * kLineRight + 3, 3 * kLineRow + 1), 0xFFFFFFu);
    EXPECT_EQ(picture.At(3 * 40, 3 * kLineRow - 1), 0xFFFFFFu);
    EXPECT_EQ(picture.At(3 * 40, 3 * kLineRow + 3), 0xFFFFFFu);
    for (int v = 3 * 5; v < 3 * 76; ++v) ASSERT_EQ(picture.At(3 * kLineColumn + 1, v), kLine) << v;
}

TEST_F(RecordedPort, PngAtAScaleDrawsEveryPixelLarger)
{
    Folder folder;
    WritePicturePng(Record(), PictureSettings{3, ""}, folder / "three.png");
    ExpectThreeTimesLarger(ReadPng(folder / "three.png"));
}

TEST_F(RecordedPort, PdfOpensInAStockRendererAndShowsTheSame)
{
    Folder folder;
    WritePicturePdf(Record(), PictureSettings{3, "Title"}, folder / "picture.pdf");
    // One pixel of the window is a point of the page times the scale: at 72
    // dots an inch the page is 3 times the port.
    ASSERT_EQ(Shell("pdftoppm -r 72 -png -singlefile '" + (folder / "picture.pdf") + "' '" + (folder / "page") + "'"),
              0);
    ExpectThreeTimesLarger(ReadPng(folder / "page.png"));
    EXPECT_NE(Slurp(folder / "picture.pdf").find("/FontFile2"), std::string::npos) << "the font is not embedded";
    // The text can be taken out of it as text.
    ASSERT_EQ(Shell("pdftotext '" + (folder / "picture.pdf") + "' '" + (folder / "text.txt") + "'"), 0);
    EXPECT_NE(Slurp(folder / "text.txt").find("<&>\"' Caf\xC3\xA9"), std::string::npos) << Slurp(folder / "text.txt");
}

TEST(StdioOutput, LeavesTheOldFileOrAllOfTheNewOneAndNamesKindPathAndReason)
{
    Folder folder;
    const std::string path = folder / "kept.txt";
    std::ofstream(path) << "old";
    auto write = [](const char* text) { return [text](std::FILE* file) { std::fputs(text, file); }; };
    auto reason = [](const std::string& target, const std::function<void(std::FILE*)>& writer) {
        try {
            WriteStdioOutput(target, "SVG", writer);
        } catch (const std::runtime_error& error) {
            return std::string(error.what());
        }
        return std::string("(written)");
    };

    EXPECT_EQ(reason(path,
                     [](std::FILE* file) {
                         std::fputs("half of it", file);
                         throw OutputError("the encoder gave up");
                     }),
              "SVG " + path + ": the encoder gave up");
    EXPECT_EQ(Slurp(path), "old");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"kept.txt"});

    WriteStdioOutput(path, "SVG", write("new"));
    EXPECT_EQ(Slurp(path), "new");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"kept.txt"});

    // A folder in the way is refused and kept; a path that names no folder is refused.
    fs::create_directories(fs::path(folder / "taken.svg") / "inside");
    EXPECT_EQ(reason(folder / "taken.svg", write("x")),
              "SVG " + (folder / "taken.svg") + ": is a folder, not a file name");
    EXPECT_TRUE(fs::is_directory(fs::path(folder / "taken.svg") / "inside"));
    EXPECT_NE(reason(folder / "missing/x.svg", write("x")).find("does not exist"), std::string::npos);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"kept.txt", "taken.svg"}));
    // A device that takes no bytes: the failure is reported, not a success.
    // As root a node of our own, so that a fault could never replace /dev/full.
    std::string full = "/dev/full";
    if (geteuid() == 0) {
        full = folder / "full";
        ASSERT_EQ(mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    }
    EXPECT_EQ(reason(full, write("x")), "SVG " + full + ": " + std::strerror(ENOSPC));
    EXPECT_TRUE(fs::is_character_file(full));
}

TEST(PictureFormats, TheNameSaysTheFormatAndTheSizeIsBounded)
{
    EXPECT_EQ(PictureFormatOf("plot.svg"), PictureFormat::svg);
    EXPECT_EQ(PictureFormatOf("PLOT.SVG"), PictureFormat::svg);
    EXPECT_EQ(PictureFormatOf("a.b/plot.Pdf"), PictureFormat::pdf);
    EXPECT_EQ(PictureFormatOf("plot.svg.png"), PictureFormat::png);
    EXPECT_EQ(PictureFormatOf("figures.svg/plot"), PictureFormat::png);
    EXPECT_EQ(PictureFormatOf("plot"), PictureFormat::png);

    EXPECT_EQ(PictureSizeProblem(PictureFormat::png, 2000, 1000, 4), "");  // 8000 x 4000, the most
    EXPECT_NE(PictureSizeProblem(PictureFormat::png, 2000, 1000, 5), "");
    EXPECT_NE(PictureSizeProblem(PictureFormat::png, 3000, 200, 6), "");  // 18000 pixels across
    EXPECT_EQ(PictureSizeProblem(PictureFormat::png, 480, 400, 8), "");
    EXPECT_EQ(PictureSizeProblem(PictureFormat::svg, 2000, 1000, 8), "");  // only a size on the page
    EXPECT_NE(PictureSizeProblem(PictureFormat::svg, 480, 400, 9), "");
    EXPECT_NE(PictureSizeProblem(PictureFormat::pdf, 480, 400, 0), "");
}

TEST(TurnedText, ItsCommentDataComesBackWholeAndNothingElseIsTakenForIt)
{
    TurnedText text;
    text.h = 12;
    text.v = 300;
    text.run.origin = Point{9, 0};
    text.run.size = 9;
    text.run.face = bold;
    text.run.pixel = 0x8C8C8C;
    text.run.width = 40;
    text.run.ink = Rect{0, 0, 12, 41};
    text.run.clip = Rect{0, 0, 12, 52};
    text.run.macRoman = "P\x8E";
    text.run.glyphs = {{U'P', 0}, {U'\u00E9', 7}};
    const std::string data = EncodeTurnedText(text);
    const std::optional<TurnedText> back = DecodeTurnedText(data);
    ASSERT_TRUE(back);
    EXPECT_EQ(EncodeTurnedText(*back), data);
    EXPECT_EQ(back->run.glyphs[1].code, U'\u00E9');
    for (size_t length = 0; length < data.size(); ++length)
        EXPECT_FALSE(DecodeTurnedText(data.substr(0, length))) << length;
    EXPECT_FALSE(DecodeTurnedText(data + "x"));
    EXPECT_FALSE(DecodeTurnedText(std::string(data.size(), '\xFF')));
}

// ---- A window's picture through the real bundle ----

// Recorded data of a loop that goes round `laps` times while it turns a
// quarter, drawn in a 400 x 300 window.
class LoopWindow : public ::testing::Test {
protected:
    // The loop's samples, X then Y.
    static std::array<std::vector<float>, 2> Loop(size_t samples, int laps)
    {
        std::array<std::vector<float>, 2> loop{std::vector<float>(samples), std::vector<float>(samples)};
        for (size_t i = 0; i < samples; ++i) {
            const double t = double(i) / double(samples), angle = 2 * M_PI * laps * t, turn = M_PI / 2 * t;
            const double x = 0.8 * std::cos(angle), y = 0.4 * std::sin(angle);
            loop[0][i] = float(x * std::cos(turn) - y * std::sin(turn));
            loop[1][i] = float(x * std::sin(turn) + y * std::cos(turn));
        }
        return loop;
    }
    void Load(size_t samples, int laps)
    {
        if (recorder.GetRecording().ChannelCount() == 0) {
            recorder.AddChannel(kX);
            recorder.AddChannel(kY);
        }
        const auto loop = Loop(samples, laps);
        const float* channels[] = {loop[0].data(), loop[1].data()};
        recorder.GetRecording().BeginBlock();
        recorder.GetRecording().Append(channels, samples);
        recorder.ClearSelection();  // the windows redraw the whole recording
    }
    void SetUp() override
    {
        window = recorder.OpenWindow(recorder.LoadBundle(XY_BUNDLE_PATH));
        ASSERT_NE(window, nullptr);
        recorder.Resize(window, 400, 300);
    }
    long TracePixels(const std::string& png) const
    {
        const Picture picture = ReadPng(png);
        return std::count(picture.pixels.begin(), picture.pixels.end(), kTracePixel);
    }
    // The points of the trace's paths in an SVG.
    static long TracePoints(const std::string& svg)
    {
        long points = 0;
        for (const SvgSubpath& subpath : StrokedSubpaths(svg, "#0066cc")) points += long(subpath.size());
        return points;
    }

    const ChannelSettings kX{"X", "V", -1, 1, 2}, kY{"Y", "V", -1, 1, 2};
    Recorder recorder;
    WindowRef window = nullptr;
};

TEST_F(LoopWindow, TheSvgGrowsWithWhatItShowsNotWithTheSamples)
{
    Folder folder;
    Load(200000, 200);
    recorder.WritePicture(window, folder / "few.svg");
    recorder.WritePicture(window, folder / "few.png");
    const long fewPoints = TracePoints(Slurp(folder / "few.svg")), fewPixels = TracePixels(folder / "few.png");

    // Ten times the samples, the same loops: the same picture, much the same file.
    recorder.GetRecording().Clear();
    Load(2000000, 200);
    recorder.WritePicture(window, folder / "many.svg");
    recorder.WritePicture(window, folder / "many.png");
    const long manyPoints = TracePoints(Slurp(folder / "many.svg")), manyPixels = TracePixels(folder / "many.png");
    EXPECT_GT(manyPixels, 10000);
    EXPECT_LT(std::abs(manyPixels - fewPixels), fewPixels / 20);
    EXPECT_LT(std::abs(manyPoints - fewPoints), fewPoints / 5) << fewPoints << " points for 200000 samples";
    // A few points for each pixel of trace at most, a few bytes for each point.
    EXPECT_LT(manyPoints, 3 * manyPixels);
    EXPECT_LT(fs::file_size(folder / "many.svg"), size_t(12 * manyPixels));
    std::printf("%ld samples: %ld trace pixels, %ld points, SVG %ld bytes\n", 2000000L, manyPixels, manyPoints,
                long(fs::file_size(folder / "many.svg")));
    EXPECT_TRUE(recorder.Messages().empty());
}

// Live, the extension draws each batch as it comes: lines of a pixel or
// two, most samples on a pixel already drawn. A picture open on the window's
// port meanwhile must hold every pixel the trace set.
TEST_F(LoopWindow, APictureOpenWhileSamplingHoldsAllTheTraceDrew)
{
    auto loop = Loop(4000, 3);
    SignalSet signals;
    signals.channels = {SignalChannel{kX, std::move(loop[0])}, SignalChannel{kY, std::move(loop[1])}};
    SignalSetSource source(std::move(signals));
    CGrafPtr port = GetWindowPort(window);
    Rect bounds;
    GetWindowPortBounds(window, &bounds);
    SetPort(port);
    PicHandle picture = OpenPicture(&bounds);
    ASSERT_NE(picture, nullptr);
    recorder.StartSampling(source, 100);
    recorder.Sample(4000);
    recorder.StopSampling();
    SetPort(port);
    ClosePicture();

    SInt32 width = 0, height = 0;
    const UInt32* pixels = GetPortPixels(port, &width, &height);
    const std::vector<UInt32> live(pixels, pixels + size_t(width) * size_t(height));
    ASSERT_GT(std::count(live.begin(), live.end(), kTracePixel), 2000);
    CGrafPtr copy = CreateOffscreenPort(SInt16(width), SInt16(height));
    SetPort(copy);
    DrawPicture(picture, &bounds);
    const UInt32* again = GetPortPixels(copy, &width, &height);
    long differ = 0;
    for (size_t i = 0; i < live.size(); ++i) differ += again[i] != live[i];
    DisposeOffscreenPort(copy);
    KillPicture(picture);
    EXPECT_EQ(differ, 0) << "pixels the picture drew otherwise than the live window";
    EXPECT_TRUE(recorder.Messages().empty());
}

TEST_F(LoopWindow, APictureIsTheUpdateItRecordedAndRefusesWhatCantBeDrawn)
{
    Folder folder;
    Load(20000, 3);
    recorder.WritePng(window, folder / "before.png");
    const int updates = recorder.Counters().busyBegin;
    recorder.WritePicture(window, folder / "plot.pdf", 2);
    EXPECT_EQ(recorder.Counters().busyBegin, updates + 1) << "one redraw from the recording";
    // The window shows what the picture recorded: the same as before.
    recorder.WritePng(window, folder / "after.png");
    EXPECT_EQ(Slurp(folder / "after.png"), Slurp(folder / "before.png"));

    EXPECT_THROW(recorder.WritePicture(window, folder / "plot.svg", 9), RecorderError);
    Rect bounds;
    GetWindowPortBounds(window, &bounds);
    recorder.Resize(window, 2000, 1000);
    EXPECT_THROW(recorder.WritePicture(window, folder / "huge.png", 8), RecorderError);
    HideWindow(window);
    EXPECT_THROW(recorder.WritePicture(window, folder / "hidden.svg"), RecorderError);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"after.png", "before.png", "plot.pdf"}));
}

}  // namespace
