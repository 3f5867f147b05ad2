// The real extension bundle driven through the recorder: live plotting,
// redraws of recorded ranges across blocks, a channel chosen from an axis
// popup, the erase-time dialog, PNG output and leak accounting.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>

#include "Pictures.h"
#include "recorder/Axis.h"
#include "recorder/Recorder.h"
#include "recorder/ScriptedInput.h"
#include "toolbox/Dialogs.h"
#include "toolbox/Memory.h"
#include "toolbox/Menus.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Resources.h"
#include "toolbox/Windows.h"

namespace fs = std::filesystem;

namespace {

// Channel 1 ramps across the default X range, channel 2 stays at 0, channel 3 at 0.5.
class RampSource : public SampleSource {
public:
    RampSource(size_t total, double interval) : total_(total), interval_(interval)
    {
        specs_ = {{"Ramp", "V", -1, 1, 2}, {"Zero", "V", -1, 1, 2}, {"Half", "V", -1, 1, 2}};
    }
    const std::vector<ChannelSettings>& Channels() const override { return specs_; }
    double SampleInterval() const override { return interval_; }
    size_t Read(size_t frames, std::span<float* const> channels) override
    {
        size_t n = std::min(frames, total_ - next_);
        for (size_t i = 0; i < n; ++i) {
            channels[0][i] = float(-0.9 + 1.8 * double(next_ + i) / double(total_ - 1));
            channels[1][i] = 0.0f;
            channels[2][i] = 0.5f;
        }
        next_ += n;
        return n;
    }

private:
    std::vector<ChannelSettings> specs_;
    size_t total_;
    double interval_;
    size_t next_ = 0;
};

bool IsTrace(WindowRef window, int h, int v)
{
    return (GetPortPixel(GetWindowPort(window), int16_t(h), int16_t(v)) & 0xFFFFFF) == kTracePixel;
}

int CountTrace(WindowRef window)
{
    SInt32 width = 0, height = 0;
    const UInt32* pixels = GetPortPixels(GetWindowPort(window), &width, &height);
    int count = 0;
    for (SInt32 i = 0; i < width * height; ++i) count += (pixels[i] & 0xFFFFFF) == kTracePixel;
    return count;
}

// A 400 x 300 window with the default ranges maps x to 218 + round(x * 171.008) and y to 146 - round(y * 125.44).
int PixelX(double x) { return 218 + int(std::lround(x * 171.008)); }
constexpr int kZeroRow = 146;

void ExpectCleanSession(const Recorder& recorder)
{
    for (const HostMessage& message : recorder.Messages()) ADD_FAILURE() << "host message: " << message.text;
    RecorderCounts counts = recorder.Counts();
    EXPECT_EQ(counts.lockedBlocks, 0);
    EXPECT_EQ(counts.savedPens, 0);
    EXPECT_EQ(counts.busyDepth, 0);
    EXPECT_EQ(counts.queuedCommands, 0);
    EXPECT_EQ(recorder.GetRecording().UnbalancedUnlocks(), 0);
    EXPECT_EQ(recorder.Counters().penUnderflows, 0);
}

class XYPlotSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        bundle = &recorder.LoadBundle(XY_BUNDLE_PATH);
        window = recorder.OpenWindow(*bundle);
        ASSERT_NE(window, nullptr);
        recorder.Resize(window, 400, 300);
        Rect port;
        GetWindowPortBounds(window, &port);
        ASSERT_EQ(port.right, 400);
        ASSERT_EQ(port.bottom, 300);
    }

    Recorder recorder;
    ScriptedInput input;
    ScopedInputSource installInput{&input};
    ExtensionBundle* bundle = nullptr;
    WindowRef window = nullptr;
};

}  // namespace

TEST_F(XYPlotSession, LivePlottingAndRedrawAcrossBlocks)
{
    RampSource source(40000, 0.001);
    recorder.StartSampling(source, 1000);
    EXPECT_EQ(recorder.Sample(20000), 20000u);
    // Live: a horizontal line at y = 0 from the ramp's start to where it has reached.
    EXPECT_TRUE(IsTrace(window, PixelX(-0.9), kZeroRow));
    EXPECT_TRUE(IsTrace(window, PixelX(-0.05), kZeroRow));
    EXPECT_FALSE(IsTrace(window, PixelX(0.5), kZeroRow));
    recorder.Sample(20000);
    // Stopping dims the erase button at once, exactly as a full redraw draws
    // it beside the settings button, and redraws nothing from the recording.
    auto buttons = [&] {
        std::vector<UInt32> pixels;
        for (int16_t v = 1; v < 17; ++v)
            for (int16_t h = 1; h < 32; ++h) pixels.push_back(GetPortPixel(GetWindowPort(window), h, v));
        return pixels;
    };
    std::vector<UInt32> active = buttons();
    int redraws = recorder.Counters().busyBegin;
    recorder.StopSampling();
    EXPECT_EQ(recorder.Counters().busyBegin, redraws) << "stopping redrew the window from the recording";
    std::vector<UInt32> dimmed = buttons();
    EXPECT_NE(dimmed, active);
    EXPECT_EQ(recorder.GetRecording().BlockCount(), 2);  // 40000 samples: two blocks

    // A full redraw from the recording, across the block boundary.
    recorder.Invalidate(window);
    EXPECT_EQ(buttons(), dimmed);
    EXPECT_TRUE(IsTrace(window, PixelX(-0.9), kZeroRow));
    EXPECT_TRUE(IsTrace(window, PixelX(0.0), kZeroRow));
    EXPECT_TRUE(IsTrace(window, PixelX(0.9), kZeroRow));
    EXPECT_GT(recorder.Counters().busyStep, 0);
    ExpectCleanSession(recorder);

    // Selecting the first half redraws only that range.
    recorder.SelectRange(0, 19999);
    EXPECT_TRUE(IsTrace(window, PixelX(-0.9), kZeroRow));
    EXPECT_FALSE(IsTrace(window, PixelX(0.5), kZeroRow));
    // Clearing the selection falls back on the whole recording.
    recorder.ClearSelection();
    EXPECT_TRUE(IsTrace(window, PixelX(0.9), kZeroRow));
    ExpectCleanSession(recorder);
}

TEST_F(XYPlotSession, ARecordingLargerThanTheLowZonePlaysAndRedrawsWhole)
{
    // 2.4 million samples of three channels (29 MB) against 16 MiB of low zone to spare.
    constexpr size_t kFrames = 2400000;
    LowZoneStats start = GetLowZoneStats();
    SetLowZoneLimit(start.mappedBytes + (size_t(16) << 20));
    ResetLowZonePeak();
    Recording& recording = recorder.GetRecording();
    recording.SetCacheLimit(size_t(1) << 20);
    recording.SetSpool(size_t(1) << 20, {});
    RampSource source(kFrames, 0.001);
    recorder.StartSampling(source, 4096);
    EXPECT_EQ(recorder.Sample(kFrames), kFrames);
    recorder.StopSampling();
    ASSERT_EQ(recording.SampleCount(), int32_t(kFrames));
    int live = CountTrace(window);

    // A redraw reads every block back: the ramp is whole, pixel for pixel as it was drawn live.
    recorder.Invalidate(window);
    EXPECT_EQ(CountTrace(window), live);
    for (int h = PixelX(-0.9); h <= PixelX(0.9); ++h) EXPECT_TRUE(IsTrace(window, h, kZeroRow)) << h;
    EXPECT_TRUE(recording.LoadFailure().empty()) << recording.LoadFailure();
    // The low zone held the open block, the locked ones and the cache, never the recording.
    EXPECT_LT(GetLowZoneStats().peakLiveBytes - start.liveBytes, size_t(8) << 20);
    SetLowZoneLimit(SIZE_MAX);
    ExpectCleanSession(recorder);
}

TEST_F(XYPlotSession, ChannelChosenFromTheAxisPopupComesBackAsACommand)
{
    RampSource source(2000, 0.001);
    recorder.StartSampling(source, 500);
    recorder.Sample(2000);
    recorder.StopSampling();
    ASSERT_TRUE(IsTrace(window, PixelX(-0.9), kZeroRow));

    // Channel 3 for the X axis: its menu lists the template's items, a divider, then the channels.
    int16_t file = OpenResourceFile(XY_RESOURCE_PATH);
    const MenuTemplate* menu = GetMenuTemplate(1000);
    ASSERT_NE(menu, nullptr);
    int16_t firstChannelItem = int16_t(menu->items.size() + 2);
    CloseResFile(file);
    input.QueuePopUpChoice(int16_t(firstChannelItem + 2));
    recorder.Click(window, Point{290, 218});  // the X axis title, at the bottom of its band
    EXPECT_EQ(input.Pending(), 0u) << "the click did not open the axis popup";

    // X now plots channel 3 (0.5 everywhere): one point at (0.5, 0).
    EXPECT_TRUE(IsTrace(window, PixelX(0.5), kZeroRow));
    EXPECT_FALSE(IsTrace(window, PixelX(-0.9), kZeroRow));
    ExpectCleanSession(recorder);
}

// The window's horizontal or vertical axis.
recorder::Axis& AxisOf(Recorder& recorder, WindowRef window, bool vertical)
{
    for (recorder::Axis* axis : recorder.Axes(window))
        if (axis->Vertical() == vertical) return *axis;
    throw std::runtime_error("the window has no such axis");
}

Point TitleCentre(const recorder::Axis& axis)
{
    Rect title = axis.TitleArea();
    return Point{int16_t((title.top + title.bottom) / 2), int16_t((title.left + title.right) / 2)};
}

int16_t ItemNamed(MenuRef menu, const std::string& text)
{
    for (SInt16 item = 1; item <= CountMenuItems(menu); ++item) {
        Str255 name;
        GetMenuItemText(menu, item, name);
        if (std::string(reinterpret_cast<const char*>(name + 1), name[0]) == text) return item;
    }
    return 0;
}

std::vector<UInt32> PixelsOf(WindowRef window)
{
    SInt32 width = 0, height = 0;
    const UInt32* pixels = GetPortPixels(GetWindowPort(window), &width, &height);
    return std::vector<UInt32>(pixels, pixels + size_t(width) * size_t(height));
}

// A host tells a redraw of recorded data by the extension's busy bracket
// around it; each action on a window showing a range redraws it once.
TEST_F(XYPlotSession, EachActionRedrawsTheWindowOnce)
{
    RampSource source(40000, 0.001);
    recorder.StartSampling(source, 1000);
    recorder.Sample(40000);
    recorder.StopSampling();
    auto redraws = [&](const std::function<void()>& action) {
        int before = recorder.Redraws(window);
        action();
        return recorder.Redraws(window) - before;
    };
    recorder::Axis& x = AxisOf(recorder, window, false);
    recorder::Axis& y = AxisOf(recorder, window, true);

    EXPECT_EQ(redraws([&] { recorder.SelectRange(0, 39999); }), 1) << "a new current range";
    EXPECT_EQ(redraws([&] { recorder.SelectRange(0, 19999); }), 1) << "another current range";
    EXPECT_EQ(redraws([&] { recorder.Resize(window, 440, 330); }), 1) << "a resize";
    EXPECT_EQ(redraws([&] { recorder.Zoom(window); }), 1) << "the zoom box";
    EXPECT_EQ(redraws([&] {
                  input.QueuePopUpChoice(ItemNamed(x.Menu(), "Zoom Out"));
                  recorder.Click(window, TitleCentre(x));
              }),
              1)
        << "a range item of an axis menu";
    EXPECT_EQ(redraws([&] {
                  Rect band = y.Bounds();
                  Point press{int16_t((band.top + band.bottom) / 2), int16_t(band.right - 3)};
                  input.QueueDrag(Point{int16_t(press.v + 20), press.h});
                  recorder.Click(window, press);
              }),
              1)
        << "a drag of an axis scale";
    EXPECT_EQ(redraws([&] { EXPECT_TRUE(recorder.ChooseAxisRange(window, y, 0.75, -0.25)); }), 1)
        << "the host's range choice";
    EXPECT_EQ(redraws([&] {
                  input.QueuePopUpChoice(int16_t(recorder::FirstChannelItemOf(x.Menu()) + 2));
                  recorder.Click(window, TitleCentre(x));
              }),
              1)
        << "a channel chosen from an axis menu";
    EXPECT_EQ(input.Pending(), 0u);
    EXPECT_EQ(y.HighEnd(), 0.75);
    EXPECT_EQ(y.LowEnd(), -0.25);
    ExpectCleanSession(recorder);
}

TEST_F(XYPlotSession, TheHostsRangeChoiceIsTakenLikeARangeItemOrRefused)
{
    recorder::Axis& x = AxisOf(recorder, window, false);
    EXPECT_TRUE(recorder.ChooseAxisRange(window, x, 5, -3));
    EXPECT_EQ(x.HighEnd(), 5);
    EXPECT_EQ(x.LowEnd(), -3);
    EXPECT_TRUE(recorder.ChooseAxisRange(window, x, 5, -3)) << "the range it has";
    EXPECT_FALSE(recorder.ChooseAxisRange(window, x, 2, 2)) << "no span";
    EXPECT_FALSE(recorder.ChooseAxisRange(window, x, NAN, 0)) << "no number";
    EXPECT_EQ(x.HighEnd(), 5);
    // A refused choice is not left for the next click: the title opens the menu again.
    input.QueuePopUpChoice(ItemNamed(x.Menu(), "Zoom In"));
    recorder.Click(window, TitleCentre(x));
    EXPECT_EQ(input.Pending(), 0u);
    EXPECT_EQ(x.HighEnd(), 3);
    EXPECT_EQ(x.LowEnd(), -1);
    ExpectCleanSession(recorder);
}

// A window set up while hidden (its size, ranges and the current range) draws
// once, when shown, and shows what the same window set up in view shows.
TEST_F(XYPlotSession, AWindowSetUpHiddenDrawsOnceWhenShown)
{
    RampSource source(40000, 0.001);
    recorder.StartSampling(source, 1000);
    recorder.Sample(40000);
    recorder.StopSampling();
    auto setRanges = [&](WindowRef w) {
        ASSERT_TRUE(recorder.ChooseAxisRange(w, AxisOf(recorder, w, false), 1.5, -1));
        ASSERT_TRUE(recorder.ChooseAxisRange(w, AxisOf(recorder, w, true), 0.2, -0.1));
    };
    // As view set up its window: shown, the range drawn, then the axes' ranges.
    WindowRef shown = recorder.OpenWindow(*bundle);
    recorder.Resize(shown, 400, 300);
    recorder.SelectRange(100, 30000);
    setRanges(shown);
    EXPECT_EQ(recorder.Redraws(shown), 4) << "the range notification, its update and one per range";
    std::vector<UInt32> shownAllAlong = PixelsOf(shown);
    recorder.CloseWindow(shown);

    WindowRef hidden = recorder.OpenWindow(*bundle, false);
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(IsWindowVisible(hidden));
    EXPECT_EQ(FrontWindow(), window);
    recorder.Resize(hidden, 400, 300);
    setRanges(hidden);
    recorder.SelectRange(100, 30000);
    EXPECT_EQ(recorder.Redraws(hidden), 0);
    recorder.Show(hidden);
    EXPECT_TRUE(IsWindowVisible(hidden));
    EXPECT_EQ(FrontWindow(), hidden);
    EXPECT_EQ(recorder.Redraws(hidden), 1);
    EXPECT_GT(CountTrace(hidden), 100);
    std::vector<UInt32> drawnOnce = PixelsOf(hidden);
    ASSERT_EQ(drawnOnce.size(), shownAllAlong.size());
    for (size_t i = 0; i < drawnOnce.size(); ++i)
        if (drawnOnce[i] != shownAllAlong[i]) {
            ADD_FAILURE() << "pixel " << i % 400 << "," << i / 400 << ": " << std::hex << drawnOnce[i] << " vs "
                          << shownAllAlong[i];
            break;
        }
    ExpectCleanSession(recorder);
}

TEST_F(XYPlotSession, EraseTimeDialogArmsTheAutomaticErase)
{
    // 0.1 s per sample: 600 samples a minute, so 2.5 minutes erase after 1500 samples.
    input.QueueTrack(true);
    input.QueueDialogTyping(4, "2.5");
    input.QueueDialogHit(1);
    recorder.Click(window, Point{8, 24});  // the Settings button
    EXPECT_EQ(input.Pending(), 0u) << "the dialog did not take the answers";

    RampSource source(1700, 0.1);
    recorder.StartSampling(source, 100);
    recorder.Sample(1500);  // ends exactly on the erase point: no erase yet
    EXPECT_TRUE(IsTrace(window, PixelX(-0.9), kZeroRow));
    recorder.Sample(100);  // passes it: drawn, then the plot area is erased
    EXPECT_EQ(CountTrace(window), 0);
    recorder.Sample(100);  // the trace goes on from where it was
    EXPECT_FALSE(IsTrace(window, PixelX(-0.9), kZeroRow));
    EXPECT_TRUE(IsTrace(window, PixelX(0.9), kZeroRow));
    recorder.StopSampling();
    ExpectCleanSession(recorder);
}

// Notes where the dialog stands when the user answers it.
class DialogWatcher : public ScriptedInput {
public:
    SInt16 ModalDialogHit(DialogRef dialog) override
    {
        GetWindowBounds(GetDialogWindow(dialog), kWindowStructureRgn, &dialogBounds);
        return ScriptedInput::ModalDialogHit(dialog);
    }
    Rect dialogBounds{};
};

TEST_F(XYPlotSession, DialogIsCentredOverTheFrontWindowAndCancelPostsNothing)
{
    DialogWatcher watcher;
    ScopedInputSource install(&watcher);
    watcher.QueueTrack(true);
    watcher.QueueDialogTyping(4, "7");
    watcher.QueueDialogHit(2);  // cancel
    recorder.Click(window, Point{8, 24});
    Rect plot;
    GetWindowBounds(window, kWindowStructureRgn, &plot);
    const Rect& d = watcher.dialogBounds;
    ASSERT_GT(d.right - d.left, 0);
    EXPECT_LE(std::abs((d.left + d.right) - (plot.left + plot.right)), 1);
    EXPECT_LE(std::abs((d.top + d.bottom) - (plot.top + plot.bottom)), 1);
    EXPECT_EQ(GetToolboxObjectCounts().dialogs, 0);

    // Cancelled: no erase time was set, so a long run never erases.
    RampSource source(3000, 0.1);
    recorder.StartSampling(source, 500);
    recorder.Sample(3000);
    EXPECT_TRUE(IsTrace(window, PixelX(-0.9), kZeroRow));
    recorder.StopSampling();
    ExpectCleanSession(recorder);
}

TEST_F(XYPlotSession, EraseCommandAndMenuCommand)
{
    RampSource source(1000, 0.001);
    recorder.StartSampling(source, 100);
    recorder.Sample(500);
    ASSERT_GT(CountTrace(window), 0);
    recorder.EraseCommand(window);
    EXPECT_EQ(recorder.Counters().beforeErase, 1);
    EXPECT_EQ(CountTrace(window), 0);
    recorder.StopSampling();

    ASSERT_FALSE(recorder.MenuCommands().empty());
    EXPECT_EQ(recorder.MenuCommands()[0].path, "Windows:Real-Time X-Y");
    EXPECT_EQ(recorder.ExtensionName(bundle->ExtensionID()), "Real-Time X-Y");
    recorder.ChooseMenuCommand("Windows:Real-Time X-Y");
    EXPECT_EQ(recorder.Windows().size(), 2u);
    ExpectCleanSession(recorder);
}

TEST_F(XYPlotSession, EachWindowKnowsTheAxesItsInstanceMade)
{
    std::vector<recorder::Axis*> axes = recorder.Axes(window);
    ASSERT_EQ(axes.size(), 2u);
    EXPECT_FALSE(axes[0]->Vertical());  // X first, as the extension makes them
    EXPECT_TRUE(axes[1]->Vertical());
    // They lie along the plot: the X axis below it, the Y axis left of it.
    EXPECT_EQ(axes[0]->Bounds().top, axes[1]->Bounds().bottom + 1);
    EXPECT_EQ(axes[1]->Bounds().right, axes[0]->Bounds().left - 1);

    WindowRef second = recorder.OpenWindow(*bundle);
    ASSERT_NE(second, nullptr);
    std::vector<recorder::Axis*> others = recorder.Axes(second);
    ASSERT_EQ(others.size(), 2u);
    EXPECT_NE(others[0], axes[0]);
    EXPECT_NE(others[1], axes[1]);
    int live = recorder::CountLiveAxes();
    recorder.CloseWindow(second);
    EXPECT_EQ(recorder::CountLiveAxes(), live - 2);
    EXPECT_EQ(recorder.Axes(window), axes);
    EXPECT_THROW(recorder.Axes(second), RecorderError);
}

TEST_F(XYPlotSession, WritesPngsAndLeavesNothingOnFailure)
{
    RampSource source(1000, 0.001);
    recorder.StartSampling(source, 100);
    recorder.Sample(1000);
    recorder.StopSampling();

    fs::path dir = fs::temp_directory_path() / ("recorder-png-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    recorder.WritePng(window, (dir / "plain.png").string());
    Picture plain = ReadPng((dir / "plain.png").string());
    EXPECT_EQ(plain.width, 400);
    EXPECT_EQ(plain.height, 300);
    EXPECT_EQ(plain.At(PixelX(0.0), kZeroRow), kTracePixel);

    // Framed: the same content below a grey title bar and inside a black border.
    recorder.WritePng(window, (dir / "framed.png").string(), true);
    Picture framed = ReadPng((dir / "framed.png").string());
    ASSERT_EQ(framed.width, 400 + 2 * kWindowBorderWidth);
    ASSERT_EQ(framed.height, 300 + kWindowTitleBarHeight + kWindowBorderWidth);
    for (int v = 0; v < 300; ++v)
        for (int h = 0; h < 400; ++h)
            ASSERT_EQ(framed.At(h + kWindowBorderWidth, v + kWindowTitleBarHeight), plain.At(h, v)) << h << "," << v;
    EXPECT_EQ(framed.At(0, 100), 0x000000u);
    EXPECT_EQ(framed.At(framed.width - 1, 100), 0x000000u);
    EXPECT_EQ(framed.At(2, 2), 0xDDDDDDu);

    // A picture gets the mode of any new file: 0666 less the umask.
    mode_t mask = umask(027);
    recorder.WritePng(window, (dir / "shared.png").string());
    umask(mask);
    struct stat info {};
    ASSERT_EQ(stat((dir / "shared.png").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    // Refused: a folder that does not exist, and a path that is a folder.
    std::string missing = (dir / "no-such-folder" / "x.png").string();
    try {
        recorder.WritePng(window, missing);
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const RecorderError& error) {
        EXPECT_NE(std::string(error.what()).find(missing), std::string::npos) << error.what();
    }
    fs::create_directories(dir / "taken.png");
    EXPECT_THROW(recorder.WritePng(window, (dir / "taken.png").string()), RecorderError);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"framed.png", "plain.png", "shared.png", "taken.png"}));
    fs::remove_all(dir);
}

TEST(RecorderLeaks, ThousandWindowsReturnEverythingTheyTook)
{
    Recorder recorder;
    ExtensionBundle& bundle = recorder.LoadBundle(XY_BUNDLE_PATH);
    ScriptedInput input;
    ScopedInputSource install(&input);
    // One window first: the extension's once-per-process state and the host's reused blocks.
    recorder.CloseWindow(recorder.OpenWindow(bundle));
    LowZoneStats zone = GetLowZoneStats();

    for (int i = 0; i < 1000; ++i) {
        WindowRef window = recorder.OpenWindow(bundle);
        ASSERT_NE(window, nullptr) << "window " << i;
        if (i % 100 == 0) {
            recorder.Resize(window, 350, 260);
            recorder.Zoom(window);
            recorder.MouseOver(window, Point{8, 8});
            recorder.Click(window, Point{100, 150});
        }
        if (i % 100 == 50) {  // an erase-time dialog round
            input.QueueTrack(true);
            input.QueueDialogTyping(4, "2.5");
            input.QueueDialogHit(1);
            recorder.Click(window, Point{8, 24});
            ASSERT_EQ(input.Pending(), 0u) << "window " << i << ": the dialog did not take the answers";
        }
        recorder.CloseWindow(window);
    }

    // With every window closed nothing of the session or the toolbox is left.
    RecorderCounts after = recorder.Counts();
    EXPECT_EQ(after.windows, 0);
    EXPECT_EQ(after.axes, 0);
    EXPECT_EQ(after.queuedCommands, 0);
    EXPECT_EQ(after.lockedBlocks, 0);
    EXPECT_EQ(after.savedPens, 0);
    EXPECT_EQ(after.busyDepth, 0);
    ToolboxObjectCounts afterObjects = GetToolboxObjectCounts();
    EXPECT_EQ(afterObjects.windows, 0);
    EXPECT_EQ(afterObjects.controls, 0);
    EXPECT_EQ(afterObjects.menus, 0);
    EXPECT_EQ(afterObjects.dialogs, 0);
    EXPECT_EQ(afterObjects.regions, 0);
    EXPECT_EQ(afterObjects.ports, 0);
    EXPECT_EQ(afterObjects.eventHandlers, 0);
    LowZoneStats afterZone = GetLowZoneStats();
    EXPECT_EQ(afterZone.liveBlocks, zone.liveBlocks);
    EXPECT_EQ(afterZone.liveBytes, zone.liveBytes);
    for (const HostMessage& message : recorder.Messages()) ADD_FAILURE() << "host message: " << message.text;
}
