// The host-session validator: seeded random sessions through the real
// bundle, as a careless user and a hostile recording would drive it (windows
// opened, resized, zoomed, clicked and closed; channels changed; settings
// that are no numbers; batches of NaN, infinities, huge and empty data;
// sampling started and stopped at any moment). After every action nothing
// may be left locked or half-bracketed and no trace pixel may lie outside
// a window's plot area; after every session every count is back to zero.
// A failure names its seed: XY_VALIDATOR_SEED=N replays that session alone;
// XY_VALIDATOR_SESSIONS=N runs N sessions instead of the usual number.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <random>
#include <sstream>

#include "recorder/Recorder.h"
#include "recorder/ScriptedInput.h"
#include "toolbox/Memory.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Windows.h"

namespace {

constexpr uint32_t kFirstSeed = 20260101;
constexpr int kSessions = 120;
constexpr int kActionsPerSession = 40;

// The plot area of a window with this content size: fixed margins around it.
struct PlotArea {
    int top, left, bottom, right;
};
PlotArea PlotAreaOf(int width, int height) { return {23, 51, height - 32, width - 15}; }

class Dice {
public:
    explicit Dice(uint32_t seed) : engine_(seed) {}
    // An integer in [low, high].
    int Between(int low, int high) { return low + int(engine_() % uint32_t(high - low + 1)); }
    bool Chance(int percent) { return Between(1, 100) <= percent; }
    template <typename T>
    const T& Pick(const std::vector<T>& items)
    {
        return items[size_t(Between(0, int(items.size()) - 1))];
    }

    // A sample a careless source may deliver.
    float Sample(float smooth)
    {
        static const std::vector<float> kHostile = {std::numeric_limits<float>::quiet_NaN(),
                                                    std::numeric_limits<float>::infinity(),
                                                    -std::numeric_limits<float>::infinity(),
                                                    std::numeric_limits<float>::max(),
                                                    -std::numeric_limits<float>::max(),
                                                    std::numeric_limits<float>::denorm_min(),
                                                    1e30f,
                                                    -1e30f,
                                                    0.0f};
        return Chance(15) ? Pick(kHostile) : smooth;
    }
    // A display bound a careless user or file may set.
    double Bound()
    {
        static const std::vector<double> kBounds = {std::nan(""), INFINITY, -INFINITY, 0.0, 1e308, -1e308, 1e-300,
                                                    -1e-300,      1e9,      -1e9,      0.5, -0.5,  1.0,    -1.0};
        return Pick(kBounds);
    }

private:
    std::mt19937 engine_;
};

// Samples of every kind: smooth figures broken by NaN, infinities and the
// float's extremes.
class HostileSource : public SampleSource {
public:
    HostileSource(Dice& dice, int channels, size_t length) : dice_(dice), length_(length)
    {
        for (int m = 1; m <= channels; ++m)
            channels_.push_back(ChannelSettings{"Hostile " + std::to_string(m), "V", -1, 1, 2});
    }
    const std::vector<ChannelSettings>& Channels() const override { return channels_; }
    double SampleInterval() const override { return 0.001; }
    size_t Read(size_t frames, std::span<float* const> channels) override
    {
        size_t n = std::min(frames, length_ - next_);
        for (size_t c = 0; c < channels.size(); ++c)
            for (size_t i = 0; i < n; ++i)
                channels[c][i] = dice_.Sample(float(std::sin(0.01 * double(next_ + i) * double(c + 1))));
        next_ += n;
        return n;
    }

private:
    Dice& dice_;
    std::vector<ChannelSettings> channels_;
    size_t length_;
    size_t next_ = 0;
};

// What the sessions did, so that a validator that stopped exercising
// anything (no batches drawn, no trace seen) fails too.
struct Exercised {
    long batches = 0;
    long tracePixels = 0;  // inside plot areas at the end of each session
};

class Session {
public:
    Session(uint32_t seed, Exercised& exercised) : dice_(seed), exercised_(exercised)
    {
        bundle_ = &recorder_.LoadBundle(XY_BUNDLE_PATH);
    }

    // Runs the session; the first thing that went wrong, or "" when nothing did.
    std::string Run()
    {
        // One window first: the extension's once-per-process state and the host's reused blocks.
        recorder_.CloseWindow(recorder_.OpenWindow(*bundle_));
        LowZoneStats zone = GetLowZoneStats();
        for (int step = 0; step < kActionsPerSession; ++step) {
            std::string action = Act();
            std::string fault = CheckWindows();
            if (!fault.empty()) return "after action " + std::to_string(step) + " (" + action + "): " + fault;
        }
        exercised_.tracePixels += TraceInside();
        if (recorder_.IsSampling()) recorder_.StopSampling();
        source_.reset();
        recorder_.CloseAllWindows();
        recorder_.GetRecording().Clear();
        return CheckNothingLeft(zone);
    }

private:
    std::string Act()
    {
        std::vector<WindowRef> windows = recorder_.Windows();
        WindowRef window = windows.empty() ? nullptr : dice_.Pick(windows);
        int choice = dice_.Between(0, 15);
        if (!window || (choice == 0 && windows.size() < 4)) {
            recorder_.OpenWindow(*bundle_);
            return "open";
        }
        switch (choice) {
        case 1:
            recorder_.CloseWindow(window);
            return "close";
        case 2: {
            int width = dice_.Chance(10) ? dice_.Between(1, 2100) : dice_.Between(200, 700);
            int height = dice_.Chance(10) ? dice_.Between(1, 1100) : dice_.Between(200, 500);
            recorder_.Resize(window, int16_t(width), int16_t(height));
            return "resize " + std::to_string(width) + " x " + std::to_string(height);
        }
        case 3:
            recorder_.Zoom(window);
            return "zoom";
        case 4: {  // anywhere, at times with a popup choice (a channel, a range item, nothing)
            Point where = RandomPoint(window);
            if (dice_.Chance(50)) input_.QueuePopUpChoice(int16_t(dice_.Between(-1, 45)));
            if (dice_.Chance(50)) input_.QueueDrag(RandomPoint(window));
            recorder_.Click(window, where);
            input_.ClearQueues();
            return "click " + std::to_string(where.h) + "," + std::to_string(where.v);
        }
        case 5: {
            Point where = RandomPoint(window);
            recorder_.MouseOver(window, where);
            return "hover";
        }
        case 6: {  // the erase-time dialog, answered with anything
            static const std::vector<std::string> kTyped = {"2.5", "0",   "-3",     "nan",    "inf",    "1e309",
                                                            "",    "abc", "100000", "0.0001", "\x1b[2J"};
            input_.QueueTrack(true);
            input_.QueueDialogTyping(4, dice_.Pick(kTyped));
            if (dice_.Chance(30)) input_.QueueDialogHit(3);
            input_.QueueDialogHit(dice_.Chance(70) ? 1 : 2);
            recorder_.Click(window, Point{8, 24});
            input_.ClearQueues();
            return "settings";
        }
        case 7:
            input_.QueueTrack(dice_.Chance(80));
            recorder_.Click(window, Point{8, 8});
            input_.ClearQueues();
            return "erase now";
        case 8:
            return HostileChannel();
        case 9:
            return StartOrStop();
        case 10:
        case 11:
            return Batch();
        case 12:
            return RecordedData();
        case 13:
            recorder_.NotifyPlotChanged();
            return "plot changed";
        case 14:
            recorder_.Invalidate(window);
            return "invalidate";
        default:
            recorder_.BringToFront(window);
            return "bring to front";
        }
    }

    Point RandomPoint(WindowRef window)
    {
        Rect port;
        GetWindowPortBounds(window, &port);
        return Point{int16_t(dice_.Between(-5, port.bottom + 5)), int16_t(dice_.Between(-5, port.right + 5))};
    }

    std::string HostileChannel()
    {
        Recording& recording = recorder_.GetRecording();
        ChannelSettings settings;
        static const std::vector<std::string> kTitles = {"", std::string(255, 'W'), "\x1b[31mred\x07", "Ünits",
                                                         "Pressure"};
        settings.title = dice_.Pick(kTitles);
        settings.units = dice_.Chance(50) ? std::string(15, 'u') : "";
        settings.displayLow = dice_.Bound();
        settings.displayHigh = dice_.Chance(20) ? settings.displayLow : dice_.Bound();
        settings.decimals = int16_t(dice_.Between(-3, 40));
        if (recording.ChannelCount() < SampleSource::kMaxChannels && dice_.Chance(30)) {
            recorder_.AddChannel(settings);
            return "add a channel";
        }
        if (recording.ChannelCount() == 0) return "no channel to change";
        auto channel = int16_t(dice_.Between(1, recording.ChannelCount()));
        recorder_.SetChannel(channel, settings);
        return "channel " + std::to_string(channel) + " " + std::to_string(settings.displayLow) + ".." +
               std::to_string(settings.displayHigh);
    }

    std::string StartOrStop()
    {
        if (recorder_.IsSampling()) {
            recorder_.StopSampling();
            source_.reset();
            return "stop";
        }
        source_ = std::make_unique<HostileSource>(dice_, dice_.Between(1, 32), size_t(dice_.Between(0, 20000)));
        size_t batch = dice_.Chance(10) ? 32767 : size_t(dice_.Between(1, 500));
        recorder_.StartSampling(*source_, batch);
        return "start, batches of " + std::to_string(batch);
    }

    std::string Batch()
    {
        if (!recorder_.IsSampling()) return StartOrStop();
        ++exercised_.batches;
        if (dice_.Chance(50)) return "batch of " + std::to_string(recorder_.SampleBatch()) + " from the source";
        // Given samples: empty, short, or as long as a batch may be, for some channels.
        int channels = dice_.Between(0, int(source_->Channels().size()));
        int frames = dice_.Chance(20) ? 0 : dice_.Chance(10) ? -1 : dice_.Between(1, 50);
        std::vector<std::vector<float>> data(static_cast<size_t>(channels));
        size_t length = frames < 0 ? maxBatch_ : size_t(frames);
        for (auto& samples : data)
            for (size_t i = 0; i < length; ++i)
                samples.push_back(dice_.Sample(float(dice_.Between(-1000, 1000)) / 1000.0f));
        try {
            recorder_.PushBatch(data);
        } catch (const RecorderError&) {
            // Longer than the run's batches: refused by the host, as it should be.
        }
        return "push " + std::to_string(channels) + " channels of " + std::to_string(length);
    }

    std::string RecordedData()
    {
        Recording& recording = recorder_.GetRecording();
        if (!recorder_.IsSampling() && recording.ChannelCount() > 0 && recording.SampleCount() < 2000000 &&
            dice_.Chance(50)) {
            size_t frames = size_t(dice_.Between(1, 40000));
            std::vector<std::vector<float>> data(static_cast<size_t>(recording.ChannelCount()));
            std::vector<const float*> pointers;
            for (auto& samples : data) {
                for (size_t i = 0; i < frames; ++i) samples.push_back(dice_.Sample(float(std::cos(0.003 * double(i)))));
                pointers.push_back(samples.data());
            }
            recording.BeginBlock();
            recording.Append(pointers, frames);
        }
        int32_t count = recording.SampleCount();
        if (count == 0 || dice_.Chance(20)) {
            recorder_.ClearSelection();
            return "clear the selection";
        }
        int32_t first = dice_.Between(0, count - 1);
        int32_t last = dice_.Between(first, count - 1);
        recorder_.SelectRange(first, last);
        return "select " + std::to_string(first) + ".." + std::to_string(last);
    }

    std::string CheckWindows()
    {
        RecorderCounts counts = recorder_.Counts();
        if (counts.lockedBlocks || counts.savedPens || counts.busyDepth || counts.queuedCommands)
            return "left between actions: " + std::to_string(counts.lockedBlocks) + " locked blocks, " +
                   std::to_string(counts.savedPens) + " saved pens, busy depth " + std::to_string(counts.busyDepth) +
                   ", " + std::to_string(counts.queuedCommands) + " queued commands";
        if (recorder_.Counters().penUnderflows || recorder_.GetRecording().UnbalancedUnlocks())
            return "a pen restored or a block unlocked that was not set or locked";
        for (const HostMessage& message : recorder_.Messages())
            if (message.kind == HostMessage::Kind::error) return "the extension reported: " + message.text;
        for (WindowRef window : recorder_.Windows()) {
            SInt32 width = 0, height = 0;
            const UInt32* pixels = GetPortPixels(GetWindowPort(window), &width, &height);
            PlotArea area = PlotAreaOf(width, height);
            for (SInt32 v = 0; v < height; ++v) {
                bool besideOnly = v >= area.top && v < area.bottom;  // a row through the plot: its two margins
                auto next = [&](SInt32 h) {
                    return besideOnly && h == area.left - 1 ? std::max(h + 1, area.right) : h + 1;
                };
                for (SInt32 h = 0; h < width; h = next(h))
                    if ((pixels[v * width + h] & 0xFFFFFF) == kTracePixel &&
                        !(besideOnly && h >= area.left && h < area.right))
                        return "a trace pixel at " + std::to_string(h) + "," + std::to_string(v) +
                               " outside the plot area of a " + std::to_string(width) + " x " + std::to_string(height) +
                               " window";
            }
        }
        return "";
    }

    // Trace pixels inside the plot areas, once a session: that the sessions draw at all.
    long TraceInside()
    {
        long count = 0;
        for (WindowRef window : recorder_.Windows()) {
            SInt32 width = 0, height = 0;
            const UInt32* pixels = GetPortPixels(GetWindowPort(window), &width, &height);
            PlotArea area = PlotAreaOf(width, height);
            for (SInt32 v = std::max(area.top, 0); v < std::min(area.bottom, height); ++v)
                for (SInt32 h = std::max(area.left, 0); h < std::min(area.right, width); ++h)
                    count += (pixels[v * width + h] & 0xFFFFFF) == kTracePixel;
        }
        return count;
    }

    std::string CheckNothingLeft(const LowZoneStats& zone)
    {
        std::ostringstream left;
        RecorderCounts counts = recorder_.Counts();
        ToolboxObjectCounts objects = GetToolboxObjectCounts();
        LowZoneStats after = GetLowZoneStats();
        if (counts.windows || counts.axes || counts.queuedCommands || counts.lockedBlocks || counts.savedPens ||
            counts.busyDepth)
            left << " session objects (windows " << counts.windows << ", axes " << counts.axes << ")";
        if (objects.windows || objects.controls || objects.menus || objects.dialogs || objects.regions ||
            objects.ports || objects.eventHandlers)
            left << " toolbox objects (windows " << objects.windows << ", controls " << objects.controls << ", menus "
                 << objects.menus << ", dialogs " << objects.dialogs << ", regions " << objects.regions << ", ports "
                 << objects.ports << ", handlers " << objects.eventHandlers << ")";
        if (after.liveBlocks != zone.liveBlocks || after.liveBytes != zone.liveBytes)
            left << " low-zone blocks (" << after.liveBlocks << " of " << after.liveBytes << " bytes, "
                 << zone.liveBlocks << " of " << zone.liveBytes << " before)";
        return left.str().empty() ? "" : "left after the session:" + left.str();
    }

    Dice dice_;
    Exercised& exercised_;
    Recorder recorder_;
    ScriptedInput input_;
    ScopedInputSource installInput_{&input_};
    ExtensionBundle* bundle_ = nullptr;
    std::unique_ptr<HostileSource> source_;  // outlives every run that samples it
    size_t maxBatch_ = 32767;
};

TEST(HostSessionValidator, RandomSessionsLeaveNothingBehindAndDrawOnlyInThePlotArea)
{
    std::vector<uint32_t> seeds;
    const char* sessions = std::getenv("XY_VALIDATOR_SESSIONS");
    if (const char* replay = std::getenv("XY_VALIDATOR_SEED"))
        seeds.push_back(uint32_t(std::strtoul(replay, nullptr, 10)));
    else
        for (long i = 0, n = sessions ? std::strtol(sessions, nullptr, 10) : kSessions; i < n; ++i)
            seeds.push_back(kFirstSeed + uint32_t(i));
    Exercised exercised;
    for (uint32_t seed : seeds) {
        std::string fault;
        try {
            fault = Session(seed, exercised).Run();
        } catch (const std::exception& error) {
            fault = std::string("threw: ") + error.what();
        }
        ASSERT_EQ(fault, "") << "session seed " << seed << " (replay: XY_VALIDATOR_SEED=" << seed << ")";
    }
    std::printf("%zu seeded sessions of %d actions through the real bundle: %ld batches, %ld trace pixels seen\n",
                seeds.size(), kActionsPerSession, exercised.batches, exercised.tracePixels);
    if (seeds.size() >= size_t(kSessions)) {
        EXPECT_GT(exercised.batches, long(seeds.size()));
        EXPECT_GT(exercised.tracePixels, 10000);
    }
}

}  // namespace
