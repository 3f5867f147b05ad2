// The live window driven as a person drives it: real pointer and key events in
// an X server of the test's own. After each step the screen must show exactly
// the pixels of the program's ports, those must be what a session script that
// takes the same steps renders, and the recording must hold every sample.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "LiveWindowSupport.h"
#include "signals/DemoSignals.h"
#include "toolbox/Menus.h"

namespace {

using namespace live_test;

constexpr uint32_t kSeed = 20261207;
constexpr double kRate = 1000;

// The recording's checksum as the program reports it: FNV-1a over the bit
// patterns of the first samples of every channel, channel by channel.
std::string DemoChecksum(double duration, long samples)
{
    DemoOptions options;
    options.sampleRate = kRate;
    options.duration = duration;
    options.seed = kSeed;
    const SignalSet signals = MakeDemoSignals(options);
    uint64_t hash = 1469598103934665603ull;
    for (const SignalChannel& channel : signals.channels) {
        for (long i = 0; i < samples; ++i) {
            uint32_t bits;
            std::memcpy(&bits, &channel.samples[size_t(i)], sizeof bits);
            for (int byte = 0; byte < 4; ++byte) {
                hash ^= (bits >> (8 * byte)) & 0xFF;
                hash *= 1099511628211ull;
            }
        }
    }
    char text[20];
    std::snprintf(text, sizeof text, "%016" PRIx64, hash);
    return text;
}

long SamplesOf(const std::string& traceLine)
{
    const size_t at = traceLine.find("samples=");
    return at == std::string::npos ? -1 : std::stol(traceLine.substr(at + 8));
}

// The same steps as a session script: the demo source, the window the
// program opens, and sampling one sample a batch, so that each action lands
// at exactly the sample count the program's trace reports for it.
class SameSteps {
public:
    explicit SameSteps(double duration)
    {
        lines_ = {"source demo rate 1000 duration " + std::to_string(duration) + " seed " + std::to_string(kSeed),
                  "open 480 400", "start 1", "axis x channel-range", "axis y channel-range"};
    }
    void SampleTo(long samples)
    {
        if (samples < sampled_)
            ADD_FAILURE() << "the program's sample count went back from " << sampled_ << " to " << samples;
        if (samples <= sampled_) return;
        char line[64];
        std::snprintf(line, sizeof line, "sample %.3f", double(samples - sampled_) / kRate);
        lines_.push_back(line);
        sampled_ = samples;
    }
    void Add(const std::string& line) { lines_.push_back(line); }
    void Write(const fs::path& path) const
    {
        std::ofstream out(path);
        for (const std::string& line : lines_) out << line << "\n";
    }

private:
    std::vector<std::string> lines_;
    long sampled_ = 0;
};

class LiveWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / ("xyrecorder_live_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        if (!HasFailure())
            fs::remove_all(dir_);
        else
            std::fprintf(stderr, "pictures and trace kept in %s\n", dir_.c_str());
    }

    Geometry Where(LiveProgram& program, const std::string& port)
    {
        std::optional<Geometry> where = x_.WindowGeometry(program.WindowId(port));
        if (!where) ADD_FAILURE() << port << " is not on the screen";
        return where.value_or(Geometry{});
    }

    // A window-local point on the screen.
    std::pair<int, int> At(LiveProgram& program, const std::string& port, int h, int v, int zoom = 1)
    {
        const Geometry where = Where(program, port);
        return {where.x + h * zoom + zoom / 2, where.y + v * zoom + zoom / 2};
    }

    // The screen must show the held ports, each where its window lies, the
    // upper ones over the lower: pixel for pixel, scaled by zoom.
    void ExpectScreenShows(LiveProgram& program, const Held& held, const std::string& step, int zoom = 1)
    {
        struct Shown {
            Geometry where;
            Picture picture;
        };
        std::vector<Shown> stack;
        const std::vector<unsigned long> order = x_.StackingOrder();
        for (unsigned long id : order) {
            for (const std::string& port : held.ports) {
                if (program.WindowId(port) != id) continue;
                Picture picture = ReadPng(program.HeldPng(port));
                ASSERT_FALSE(picture.Empty()) << step << ": no picture of " << port;
                if (zoom > 1) picture = Scaled(picture, zoom);
                const Geometry where = Where(program, port);
                EXPECT_EQ(where.width, picture.width) << step << ": " << port;
                EXPECT_EQ(where.height, picture.height) << step << ": " << port;
                stack.push_back({where, std::move(picture)});
            }
        }
        ASSERT_EQ(stack.size(), held.ports.size()) << step;
        int left = 1 << 30, top = 1 << 30, right = 0, bottom = 0;
        for (const Shown& shown : stack) {
            left = std::min(left, shown.where.x);
            top = std::min(top, shown.where.y);
            right = std::max(right, shown.where.x + shown.picture.width);
            bottom = std::max(bottom, shown.where.y + shown.picture.height);
        }
        const Geometry area{left, top, right - left, bottom - top};
        const Picture screen = x_.Grab(area);
        Picture expected = screen;
        std::vector<bool> covered(screen.pixels.size(), false);
        for (const Shown& shown : stack)
            for (int y = 0; y < shown.picture.height; ++y)
                for (int x = 0; x < shown.picture.width; ++x) {
                    const size_t i =
                        size_t(shown.where.y - top + y) * size_t(area.width) + size_t(shown.where.x - left + x);
                    expected.pixels[i] = shown.picture.At(x, y);
                    covered[i] = true;
                }
        long differing = 0;
        std::string first;
        for (size_t i = 0; i < screen.pixels.size(); ++i) {
            if (!covered[i] || screen.pixels[i] == expected.pixels[i]) continue;
            if (differing++ == 0) {
                char text[96];
                std::snprintf(text, sizeof text, "first at (%d, %d): screen #%06X, port #%06X",
                              left + int(i % area.width), top + int(i / area.width), screen.pixels[i],
                              expected.pixels[i]);
                first = text;
            }
        }
        EXPECT_EQ(differing, 0) << step << ": the screen differs from the ports in " << differing << " pixels, "
                                << first;
        if (differing) {
            WritePng(screen, dir_ / (step + "-screen.png"));
            WritePng(expected, dir_ / (step + "-ports.png"));
        }
    }

    static std::vector<std::string> Demo(double duration, std::vector<std::string> more = {})
    {
        std::vector<std::string> arguments{"demo",   "--window", "--duration", std::to_string(duration),
                                           "--rate", "1000"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    }

    XServer x_;
    fs::path dir_;
};

// Item rows of the axis popup: its three range items, a divider and the six
// demo channels, measured by the platform that draws it.
int PopupItemMiddle(SInt16 wanted, int* width, int* height)
{
    MenuRef menu = NewMenu(1, reinterpret_cast<ConstStr255Param>("\x04"
                                                                 "Axis"));
    const char items[] = "Zoom In;Zoom Out;Channel Range;(-;Volume;Pressure;Sine A;Sine B;Noise X;Noise Y";
    Str255 text;
    CopyCStringToPascal(items, text);
    AppendMenu(menu, text);
    *width = GetMenuWidth(menu);
    *height = GetMenuHeight(menu);
    int first = -1, last = -1;
    for (int v = 0; v < *height; ++v)
        if (FindPopUpMenuItem(menu, Point{SInt16(v), SInt16(*width / 2)}) == wanted) {
            if (first < 0) first = v;
            last = v;
        }
    DisposeMenu(menu);
    return (first + last) / 2;
}

TEST_F(LiveWindow, EveryStepShowsThePortsAndMatchesTheSameScript)
{
    const double duration = 40;  // the steps end long before; the erase time set below never comes
    LiveProgram program(x_, dir_, Demo(duration, {"--out", (dir_ / "saved.png").string()}));
    program.WaitFor("show window-1");
    program.WaitFor("ready");
    SameSteps script(duration);
    int step = 0;
    auto check = [&](const std::string& name) {
        x_.MoveTo(1270, 1010);  // the pointer away from the windows: no help text over them
        const Held held = program.Hold();
        ExpectScreenShows(program, held, name);
        script.SampleTo(held.samples);
        ++step;
        script.Add("window 1");
        script.Add("png script-" + std::to_string(step) + "-window-1.png");
        for (const std::string& port : held.ports) {
            if (port == "window-2") {
                script.Add("window 2");
                script.Add("png script-" + std::to_string(step) + "-window-2.png");
            }
            if (port.rfind("window-", 0) == 0)
                fs::copy_file(program.HeldPng(port), dir_ / ("held-" + std::to_string(step) + "-" + port + ".png"));
        }
        program.Resume();
        return held;
    };
    check("start");

    // The X axis popup: press on the title, drag to Sine A, release.
    auto [titleX, titleY] = At(program, "window-1", 258, 388);
    x_.MoveTo(titleX, titleY);
    x_.Press();
    script.SampleTo(SamplesOf(program.WaitFor("action click window-1")));
    program.WaitFor("popup open");
    int menuWidth = 0, menuHeight = 0;
    const int sineA = PopupItemMiddle(7, &menuWidth, &menuHeight);
    // While a menu or a dialog is open: the screen, and what lies on top.
    auto checkOpen = [&](const std::string& name, const std::string& top) {
        const Held held = program.Hold();
        EXPECT_EQ(held.ports.back(), top) << name;
        ExpectScreenShows(program, held, name);
        program.Resume();
    };
    checkOpen("popup", "popup");
    const Picture popup = ReadPng(program.HeldPng("popup"));
    ASSERT_EQ(popup.width, menuWidth) << "the test's model of the menu";
    ASSERT_EQ(popup.height, menuHeight);
    const Geometry menu = Where(program, "popup");
    x_.MoveTo(menu.x + menuWidth / 2, menu.y + sineA - 5);
    x_.MoveTo(menu.x + menuWidth / 2, menu.y + sineA);
    x_.Release();
    program.WaitFor("popup closed 7");
    program.WaitFor("done click");
    script.Add("axis x channel 3");
    check("channel");

    // Drag the Y scale 20 pixels down.
    auto [scaleX, scaleY] = At(program, "window-1", 47, 195);
    x_.MoveTo(scaleX, scaleY);
    x_.Press();
    script.SampleTo(SamplesOf(program.WaitFor("action click window-1")));
    x_.MoveTo(scaleX, scaleY + 10);
    x_.MoveTo(scaleX, scaleY + 20);
    x_.Release();
    program.WaitFor("dragged 0 20");
    program.WaitFor("done click");
    script.Add("axis y drag 20");
    check("drag");

    // Erase Now while sampling.
    auto [eraseX, eraseY] = At(program, "window-1", 9, 9);
    x_.Click(eraseX, eraseY);
    script.SampleTo(SamplesOf(program.WaitFor("action click window-1")));
    program.WaitFor("tracked inside");
    program.WaitFor("done click");
    script.Add("erase");
    const Held erased = check("erase");
    EXPECT_TRUE(erased.sampling);

    // The settings: 0.5 minutes typed, Return.
    auto [settingsX, settingsY] = At(program, "window-1", 24, 9);
    x_.Click(settingsX, settingsY);
    script.SampleTo(SamplesOf(program.WaitFor("action click window-1")));
    program.WaitFor("dialog open");
    checkOpen("dialog", "dialog");
    x_.Type("0.5");
    for (int typed = 0; typed < 3; ++typed) program.WaitFor("dialog hit 4");
    checkOpen("typed", "dialog");
    x_.Key("Return");
    program.WaitFor("dialog hit 1");
    program.WaitFor("hide dialog");
    program.WaitFor("done click");
    script.Add("settings 0.5 on");
    check("settings");

    // A new size, as the desktop's frame gives it.
    x_.Resize(program.WindowId("window-1"), 560, 450);
    script.SampleTo(SamplesOf(program.WaitFor("action resize window-1 560 450")));
    program.WaitFor("done resize");
    script.Add("resize 560 450");
    check("resize");

    // A second window.
    auto [insideX, insideY] = At(program, "window-1", 300, 200);
    x_.MoveTo(insideX, insideY);
    x_.Key("n", true);
    script.SampleTo(SamplesOf(program.WaitFor("action new window")));
    program.WaitFor("show window-2");
    program.WaitFor("done new window");
    script.Add("menu \"Windows:Real-Time X-Y\"");
    const Held last = check("second window");
    EXPECT_EQ(last.ports, (std::vector<std::string>{"window-1", "window-2"}));
    EXPECT_EQ(last.checksum, DemoChecksum(duration, last.samples))
        << "the recording holds the demo's first " << last.samples << " samples";
    script.Add("expect samples " + std::to_string(last.samples));
    script.Add("window 1");
    script.Add("expect xChannel 3");
    script.Add("expect yChannel 2");

    auto [quitX, quitY] = At(program, "window-2", 100, 100);
    x_.MoveTo(quitX, quitY);
    x_.Key("q");
    program.WaitFor("quit");
    EXPECT_EQ(program.WaitExit(), 0) << program.Errors();

    // The same steps as a script give the same pictures.
    script.Write(dir_ / "same.xys");
    const std::string command = "'" + ProgramPath() + "' script '" + (dir_ / "same.xys").string() + "' 2>'" +
                                (dir_ / "script-stderr.txt").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << "see " << dir_ / "script-stderr.txt";
    for (int k = 1; k <= step; ++k) {
        for (const std::string port : {"window-1", "window-2"}) {
            const fs::path held = dir_ / ("held-" + std::to_string(k) + "-" + port + ".png");
            if (!fs::exists(held)) continue;
            const Picture fromScript = ReadPng(dir_ / ("script-" + std::to_string(k) + "-" + port + ".png"));
            const Picture fromWindow = ReadPng(held);
            EXPECT_TRUE(fromScript.pixels == fromWindow.pixels && fromScript.width == fromWindow.width)
                << "step " << k << ", " << port << ": the script's picture differs from the window's";
        }
    }
}

TEST_F(LiveWindow, AHeldDialogLosesNoSampleAndTheTraceGoesOnWithoutAGap)
{
    const double duration = 5;
    LiveProgram program(x_, dir_, Demo(duration));
    program.WaitFor("ready");
    auto [x, y] = At(program, "window-1", 24, 9);
    x_.Click(x, y);
    const long opened = SamplesOf(program.WaitFor("action click window-1"));
    program.WaitFor("dialog open");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    x_.Key("Escape");
    program.WaitFor("dialog hit 2");
    EXPECT_EQ(SamplesOf(program.WaitFor("done click")), opened) << "nothing is delivered while the dialog waits";
    EXPECT_EQ(SamplesOf(program.WaitFor("done end of source")), long(duration * kRate));
    x_.MoveTo(1270, 1010);
    const Held held = program.Hold();
    EXPECT_FALSE(held.sampling);
    EXPECT_EQ(held.checksum, DemoChecksum(duration, held.samples));
    ExpectScreenShows(program, held, "end");

    // The picture equals that of the same demo sampled without a window at all.
    const fs::path alone = dir_ / "alone.png";
    const std::string command =
        "'" + ProgramPath() + "' demo --duration 5 --rate 1000 --out '" + alone.string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(ReadPng(alone).pixels == ReadPng(program.HeldPng("window-1")).pixels);
    program.Resume();
    x_.Key("q");
    EXPECT_EQ(program.WaitExit(), 0) << program.Errors();
}

// A live source in the window: rows that come through a FIFO are drawn as
// they arrive, the window stays once the source has ended, and quitting
// saves the recording. The picture is the one play draws of the same rows.
TEST_F(LiveWindow, ALiveSourceIsDrawnAsItArrivesAndSavedOnQuit)
{
    std::string rows = "Time (s),X,Y\n";
    for (int i = 0; i < 300; ++i) {
        // The first rows reach both ends, so the ranges they give are the whole file's.
        const double t = i * 0.01;
        const double x = i < 4 ? ((i & 1) ? 1 : -1) : std::sin(2 * M_PI * 1.5 * t);
        const double y = i < 4 ? ((i & 2) ? 1 : -1) : std::cos(2 * M_PI * 2.5 * t);
        char row[64];
        std::snprintf(row, sizeof row, "%.2f,%.4f,%.4f\n", t, x, y);
        rows += row;
    }
    std::ofstream(dir_ / "rows.csv") << rows;
    const fs::path fifo = dir_ / "rows.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    LiveProgram program(x_, dir_, {"live", fifo.string(), "--window", "--save", (dir_ / "saved.csv").string()});
    // The FIFO takes a writer once the program reads it.
    int writer = -1;
    for (int i = 0; i < 6000 && writer < 0; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(writer, 0) << program.Errors();
    fcntl(writer, F_SETFL, 0);
    const size_t half = rows.find("1.50,");
    ASSERT_EQ(write(writer, rows.data(), half), ssize_t(half));
    program.WaitFor("ready");
    ASSERT_EQ(write(writer, rows.data() + half, rows.size() - half), ssize_t(rows.size() - half));
    close(writer);
    EXPECT_EQ(SamplesOf(program.WaitFor("done end of source")), 300);
    x_.MoveTo(1270, 1010);
    const Held held = program.Hold();
    EXPECT_EQ(held.samples, 300);
    ExpectScreenShows(program, held, "live");
    const fs::path played = dir_ / "played.png";
    const std::string command = "'" + ProgramPath() + "' play '" + (dir_ / "rows.csv").string() + "' --out '" +
                                played.string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(ReadPng(played).pixels == ReadPng(program.HeldPng("window-1")).pixels);
    program.Resume();
    x_.Key("q");
    EXPECT_EQ(program.WaitExit(), 0) << program.Errors();
    std::ifstream saved(dir_ / "saved.csv");
    long lines = 0;
    for (std::string line; std::getline(saved, line);) ++lines;
    EXPECT_EQ(lines, 302) << "titles, units and every row";
}

TEST_F(LiveWindow, ZoomShowsEveryPixelAsASquare)
{
    LiveProgram program(x_, dir_, Demo(2, {"--zoom", "2", "--width", "300", "--height", "220"}));
    program.WaitFor("done end of source");
    const Held held = program.Hold();
    ExpectScreenShows(program, held, "zoomed", 2);
    program.Resume();
    // A click lands on the port pixel under the pointer: the X title at (150, 208) opens its popup.
    auto [x, y] = At(program, "window-1", 150, 208, 2);
    x_.Click(x, y);
    program.WaitFor("action click window-1 150 208");
    program.WaitFor("popup open");
    x_.Key("Escape");
    program.WaitFor("popup closed 0");
    x_.Key("q");
    EXPECT_EQ(program.WaitExit(), 0) << program.Errors();
}

// What a person does to break it: keys typed into the dialog, sampling
// paused and resumed, a window resized below its limits and closed in the
// middle of a drag while sampling runs at twenty times its pace.
TEST_F(LiveWindow, SurvivesAPersonTryingToBreakIt)
{
    LiveProgram program(x_, dir_, Demo(300, {"--speed", "20"}));
    program.WaitFor("ready");

    auto [x, y] = At(program, "window-1", 24, 9);
    x_.Click(x, y);
    program.WaitFor("dialog open");
    x_.Type("q");
    x_.Key("space");
    x_.Key("n", true);
    x_.Key("BackSpace");
    x_.Key("Tab");
    x_.Key("Escape");
    program.WaitFor("dialog hit 2");
    program.WaitFor("done click");

    // Help text over a button, then sampling paused and resumed with Space.
    auto [eraseX, eraseY] = At(program, "window-1", 9, 9);
    x_.MoveTo(eraseX, eraseY);
    program.WaitFor("tooltip \"Erase Now\"");
    x_.Key("space");
    program.WaitFor("done start-stop");
    EXPECT_FALSE(program.Hold().sampling);
    program.Resume();
    x_.Key("space");
    program.WaitFor("done start-stop");
    EXPECT_TRUE(program.Hold().sampling);
    program.Resume();

    x_.Resize(program.WindowId("window-1"), 90, 60);
    program.WaitFor("done resize window-1 90 60");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const Geometry small = Where(program, "window-1");
    EXPECT_EQ(small.width, 200) << "held at the extension's least size";
    EXPECT_EQ(small.height, 200);

    auto [scaleX, scaleY] = At(program, "window-1", 47, 100);
    x_.MoveTo(scaleX, scaleY);
    x_.Press();
    program.WaitFor("action click window-1");
    x_.MoveTo(scaleX, scaleY + 30);
    x_.RequestClose(program.WindowId("window-1"));
    program.WaitFor("dragged 0 0");  // the drag gives up
    x_.Release();
    program.WaitFor("action close window-1");
    program.WaitFor("quit");
    EXPECT_EQ(program.WaitExit(20), 0) << program.Errors();
}

// Ctrl+S writes what --out names, as the program writes it at the end of a
// run: here an SVG twice the window's size.
TEST_F(LiveWindow, CtrlSSavesTheKindOfPictureOutNames)
{
    const fs::path svg = dir_ / "saved.svg";
    LiveProgram program(x_, dir_,
                        Demo(1, {"--out", svg.string(), "--scale", "2", "--width", "300", "--height", "220"}));
    program.WaitFor("done end of source");
    auto [x, y] = At(program, "window-1", 150, 100);
    x_.MoveTo(x, y);
    x_.Key("s", true);
    program.WaitFor("saved window-1 " + svg.string());
    x_.Key("q");
    EXPECT_EQ(program.WaitExit(), 0) << program.Errors();
    std::ifstream in(svg);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.rfind("<?xml", 0), 0u);
    EXPECT_NE(text.find("width=\"600\" height=\"440\" viewBox=\"0 0 300 220\""), std::string::npos);
    EXPECT_NE(text.find("stroke=\"#0066cc\""), std::string::npos) << "no trace";
    EXPECT_EQ(std::system(("xmllint --noout '" + svg.string() + "'").c_str()), 0);
}

}  // namespace

namespace {

TEST(WithoutADesktop, WindowGivesOneClearLineAndTheRestWorksAsBefore)
{
    const fs::path dir = fs::temp_directory_path() / ("xyrecorder_headless_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string program = "env -u DISPLAY -u WAYLAND_DISPLAY '" + ProgramPath() + "' ";
    const std::string errors = (dir / "stderr.txt").string();
    for (const std::string command :
         {"demo --window", "view missing.csv --window", "play missing.wav --window --speed 2"}) {
        const int status = std::system((program + command + " 2>'" + errors + "'").c_str());
        EXPECT_EQ(WEXITSTATUS(status), 1) << command;
        std::ifstream in(errors);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        ASSERT_EQ(lines.size(), 1u) << command;
        EXPECT_EQ(lines[0], "xyrecorder: --window needs a desktop, but neither DISPLAY nor WAYLAND_DISPLAY is set");
    }
    const fs::path out = dir / "demo.png";
    EXPECT_EQ(std::system((program + "demo --duration 0.5 --out '" + out.string() + "' 2>/dev/null").c_str()), 0);
    EXPECT_FALSE(ReadPng(out).Empty());
    fs::remove_all(dir);
}

}  // namespace
