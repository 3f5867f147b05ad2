// The session as a host, seen from a probe extension linked into the test:
// the parameter blocks it builds (offsets written out by hand), the order of
// calls, command delivery after the call that posted, sampling notifications
// and the services that keep state.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "recorder/Recorder.h"
#include "recorder/ScriptedInput.h"
#include "toolbox/Controls.h"
#include "toolbox/Memory.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Resources.h"
#include "toolbox/Windows.h"

namespace {

struct Received {
    int16_t message;
    std::array<uint8_t, 64> block;
    int16_t currentResources;
};

// What the probe did and saw; reset by each test.
struct Probe {
    std::vector<Received> received;
    const HostServiceTable* host = nullptr;
    int16_t extensionID = 0;
    bool requestBatches = true;
    bool refuseWindows = false;
    int depth = 0;
    std::vector<int> messagesDuringCall;  // message numbers that arrived while another call ran
    std::function<void(int16_t message, uint8_t* params)> onMessage;
    // Per notification kind: sample count the host reported during it.
    std::vector<std::pair<int16_t, int32_t>> notifications;
    std::vector<std::vector<float>> batches;  // channel 1..3 values of each batch, flattened per batch
    std::vector<uint32_t> batchSlot4;
    std::vector<std::array<uint8_t, 16>> commands;
};
Probe gProbe;

struct ProbeInstance {
    WindowRef window;
    ControlRef button;
};

ProbeInstance& InstanceOf(uint8_t* params) { return **BlockReference<ProbeInstance**>(params, 0); }

int32_t ProbeMain1(int16_t message, uint8_t* params, const HostServiceTable* host)
{
    Probe& p = gProbe;
    p.host = host;
    if (p.depth > 0) p.messagesDuringCall.push_back(message);
    ++p.depth;
    Received r{message, {}, CurResFile()};
    if (params) std::memcpy(r.block.data(), params, r.block.size());
    p.received.push_back(r);
    int32_t result = 0;
    switch (message) {
    case 0:
        p.extensionID = BlockField<int16_t>(params, 0);
        break;
    case 6: {
        if (p.refuseWindows) break;
        WindowRef window = host->HostNewWindow(1000, 0, -1, 3);
        if (!window) break;
        Str255 name;
        host->HostExtensionName(p.extensionID, name);
        host->HostPlaceWindow(window, name, int32_t(FourCharCode("WIND")), 1000, 0, 1);
        Rect r{1, 1, 17, 17};
        Str255 title;
        CopyCStringToPascal("Probe", title);
        auto h = reinterpret_cast<ProbeInstance**>(NewHandle(sizeof(ProbeInstance)));
        (*h)->window = window;
        (*h)->button = NewControl(window, &r, title, true, 0, 0, 1, pushButProc, 0);
        Str255 path;
        CopyCStringToPascal("Windows:Probe", path);
        host->HostAddMenuCommand(path, 32, host->HostCommandNumber(0, p.extensionID));
        if (p.requestBatches) host->HostRequestNotification(p.extensionID, 310, 1);
        result = int32_t(LowAddress(h));
        break;
    }
    case 7: {
        auto h = BlockReference<ProbeInstance**>(params, 0);
        DisposeWindow((*h)->window);
        DisposeHandle(reinterpret_cast<Handle>(h));
        break;
    }
    case 8: {
        std::array<uint8_t, 16> record;
        std::memcpy(record.data(), BlockReference<const uint8_t*>(params, 4), 16);
        p.commands.push_back(record);
        break;
    }
    case 9: {
        int16_t kind = BlockField<int16_t>(params, 4);
        DataSourceRef source = host->HostGetDataSource(1);
        p.notifications.push_back({kind, host->HostSampleCount(source)});
        if (kind == 310) {
            auto* batch = BlockReference<const SampleBatch*>(params, 6);
            std::vector<float> values;
            for (int m = 1; m <= 3; ++m)
                for (int i = 0; i < batch->count; ++i)
                    values.push_back(batch->Samples(m) ? batch->Samples(m)[i] : -999.0f);
            p.batches.push_back(values);
            p.batchSlot4.push_back(batch->channelData[3]);
        }
        break;
    }
    case 10:
        result = BlockReference<WindowRef>(params, 4) == InstanceOf(params).window ? 1 : 0;
        break;
    case 12: {
        Rect limits{100, 100, 1000, 2000};
        SInt32 size = GrowWindow(InstanceOf(params).window, BlockField<Point>(params, 8), &limits);
        if (size) SizeWindow(InstanceOf(params).window, int16_t(size & 0xFFFF), int16_t(size >> 16), false);
        break;
    }
    case 13:
        host->HostZoomWindow(InstanceOf(params).window, params[8] ? 7 : 8, 1, 1);
        break;
    case 15:
        SetBlockField<int16_t>(params, 12, 77);
        break;
    default:
        break;
    }
    if (p.onMessage) p.onMessage(message, params);
    --p.depth;
    return result;
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gProbe = Probe{};
        bundle = &recorder.AttachExtension(ProbeMain1, XY_RESOURCE_PATH, "probe");
    }

    // Messages received since the mark, in order.
    std::vector<int16_t> MessagesSince(size_t mark) const
    {
        std::vector<int16_t> list;
        for (size_t i = mark; i < gProbe.received.size(); ++i) list.push_back(gProbe.received[i].message);
        return list;
    }
    const Received& Last(int16_t message) const
    {
        for (auto it = gProbe.received.rbegin(); it != gProbe.received.rend(); ++it)
            if (it->message == message) return *it;
        throw std::runtime_error("no message " + std::to_string(message));
    }

    Recorder recorder;
    ExtensionBundle* bundle = nullptr;
};

template <class T>
T At(const Received& r, int offset)
{
    T value;
    std::memcpy(&value, r.block.data() + offset, sizeof value);
    return value;
}

class VectorSource : public SampleSource {
public:
    VectorSource(int channels, size_t frames) : specs_(size_t(channels))
    {
        for (int m = 0; m < channels; ++m) specs_[size_t(m)].title = "S" + std::to_string(m + 1);
        total_ = frames;
    }
    const std::vector<ChannelSettings>& Channels() const override { return specs_; }
    double SampleInterval() const override { return 0.002; }
    size_t Read(size_t frames, std::span<float* const> channels) override
    {
        size_t n = std::min(frames, total_ - next_);
        for (size_t m = 0; m < channels.size(); ++m)
            for (size_t i = 0; i < n; ++i) channels[m][i] = float(m + 1) * 1000.0f + float(next_ + i);
        next_ += n;
        return n;
    }

private:
    std::vector<ChannelSettings> specs_;
    size_t total_;
    size_t next_ = 0;
};

}  // namespace

TEST_F(SessionTest, EveryServiceSlotIsFilled)
{
    const auto* slots = reinterpret_cast<void* const*>(&recorder.ServiceTable());
#define EXPECT_SLOT(slot, name) EXPECT_NE(slots[slot], nullptr) << #name;
    HOST_SERVICES(EXPECT_SLOT)
#undef EXPECT_SLOT
    EXPECT_THROW(Recorder second, RecorderError);
}

TEST_F(SessionTest, StartupGivesTheIdAndRunsCallsWithTheBundlesResources)
{
    ASSERT_GE(gProbe.received.size(), 6u);
    EXPECT_EQ(MessagesSince(0), (std::vector<int16_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(At<int16_t>(gProbe.received[0], 0), 1);
    for (const Received& r : gProbe.received) EXPECT_EQ(r.currentResources, bundle->ResourceFile());
}

TEST_F(SessionTest, OpenWindowBlocksAndOwnership)
{
    size_t mark = gProbe.received.size();
    WindowRef window = recorder.OpenWindow(*bundle);
    ASSERT_NE(window, nullptr);
    uint32_t instance = recorder.InstanceOf(window);
    // Creation, the ownership question, activation, then the first update.
    EXPECT_EQ(MessagesSince(mark), (std::vector<int16_t>{6, 10, 16, 11}));
    const Received& owns = Last(10);
    EXPECT_EQ(At<uint32_t>(owns, 0), instance);
    EXPECT_EQ(At<uint32_t>(owns, 4), LowAddress(window));
    const Received& activate = Last(16);
    EXPECT_EQ(At<uint32_t>(activate, 0), instance);
    EXPECT_EQ(At<uint32_t>(activate, 4), LowAddress(window));
    EXPECT_EQ(At<uint8_t>(activate, 8), 1);
    const Received& update = Last(11);
    EXPECT_EQ(At<uint32_t>(update, 4), LowAddress(window));
    EXPECT_TRUE(IsWindowVisible(window));
    Rect pending;
    EXPECT_FALSE(GetWindowUpdateRect(window, &pending));

    // A second window deactivates the first and is placed 20 pixels further.
    WindowRef second = recorder.OpenWindow(*bundle);
    Rect a, b;
    GetWindowBounds(window, kWindowContentRgn, &a);
    GetWindowBounds(second, kWindowContentRgn, &b);
    EXPECT_EQ(b.left - a.left, 20);
    EXPECT_EQ(b.top - a.top, 20);
    EXPECT_TRUE(recorder.InstanceOwnsWindow(second));

    mark = gProbe.received.size();
    uint32_t secondInstance = recorder.InstanceOf(second);
    recorder.CloseWindow(second);
    EXPECT_EQ(gProbe.received[mark].message, 7);
    EXPECT_EQ(At<uint32_t>(gProbe.received[mark], 0), secondInstance);
    EXPECT_EQ(recorder.Windows(), std::vector<WindowRef>{window});
    EXPECT_THROW(recorder.CloseWindow(second), RecorderError);
}

TEST_F(SessionTest, ContentClickBlock)
{
    WindowRef window = recorder.OpenWindow(*bundle);
    uint32_t instance = recorder.InstanceOf(window);
    ScriptedInput input;
    ScopedInputSource install(&input);

    recorder.Click(window, Point{40, 60}, 0x0100);
    const Received& click = Last(14);
    EXPECT_EQ(At<uint32_t>(click, 0), instance);
    EXPECT_EQ(At<uint32_t>(click, 4), LowAddress(window));
    EXPECT_EQ(At<int16_t>(click, 8), 0);  // no control there
    EXPECT_EQ(At<uint32_t>(click, 10), 0u);
    EXPECT_EQ(At<int16_t>(click, 14), 40);  // where.v
    EXPECT_EQ(At<int16_t>(click, 16), 60);  // where.h
    EXPECT_EQ(At<uint16_t>(click, 18), 1);  // EventRecord.what: mouseDown
    EXPECT_EQ(At<int16_t>(click, 28), 40);  // EventRecord.where, window-local
    EXPECT_EQ(At<int16_t>(click, 30), 60);
    EXPECT_EQ(At<uint16_t>(click, 32), 0x0100);

    recorder.Click(window, Point{5, 5});
    const Received& onButton = Last(14);
    ControlRef found = nullptr;
    int16_t part = FindControl(Point{5, 5}, window, &found);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(At<int16_t>(onButton, 8), part);
    EXPECT_EQ(At<uint32_t>(onButton, 10), LowAddress(found));
}

TEST_F(SessionTest, MouseOverGrowZoomBlocks)
{
    WindowRef window = recorder.OpenWindow(*bundle);
    EXPECT_EQ(recorder.MouseOver(window, Point{12, 34}), 77);
    const Received& over = Last(15);
    EXPECT_EQ(At<int16_t>(over, 8), 12);
    EXPECT_EQ(At<int16_t>(over, 10), 34);

    Rect port;
    GetWindowPortBounds(window, &port);
    const Point corner{int16_t(port.bottom - 1), int16_t(port.right - 1)};
    recorder.Resize(window, 321, 234);
    const Received& grow = Last(12);
    EXPECT_EQ(At<uint32_t>(grow, 4), LowAddress(window));
    GetWindowPortBounds(window, &port);
    EXPECT_EQ(port.right, 321);
    EXPECT_EQ(port.bottom, 234);
    EXPECT_EQ(At<int16_t>(grow, 8), corner.v);  // the grow box corner, v then h
    EXPECT_EQ(At<int16_t>(grow, 10), corner.h);

    // Zoom out to the standard size and back to the user's size.
    recorder.Zoom(window);
    EXPECT_EQ(At<uint8_t>(Last(13), 8), 0);
    GetWindowPortBounds(window, &port);
    EXPECT_EQ(port.right, kStandardZoomWidth);
    EXPECT_EQ(port.bottom, kStandardZoomHeight);
    EXPECT_TRUE(recorder.IsZoomedOut(window));
    recorder.Zoom(window);
    EXPECT_EQ(At<uint8_t>(Last(13), 8), 1);
    GetWindowPortBounds(window, &port);
    EXPECT_EQ(port.right, 321);
    EXPECT_EQ(port.bottom, 234);
    recorder.Zoom(window, true);  // already in the user state: nothing changes
    GetWindowPortBounds(window, &port);
    EXPECT_EQ(port.right, 321);

    // A grow that changes the size makes it the user's size; one that keeps
    // the size changes nothing, also not the size zooming in returns to.
    auto size = [&] {
        GetWindowPortBounds(window, &port);
        return std::make_pair(int(port.right), int(port.bottom));
    };
    recorder.Resize(window, 480, 400);
    recorder.Zoom(window);
    EXPECT_EQ(size(), std::make_pair(800, 600));
    recorder.Resize(window, 800, 600);
    EXPECT_TRUE(recorder.IsZoomedOut(window));
    recorder.Zoom(window);
    EXPECT_EQ(size(), std::make_pair(480, 400));
    recorder.Zoom(window);
    EXPECT_EQ(size(), std::make_pair(800, 600));
    recorder.Resize(window, 700, 500);
    EXPECT_FALSE(recorder.IsZoomedOut(window));
    recorder.Zoom(window);
    EXPECT_EQ(size(), std::make_pair(800, 600));
    recorder.Zoom(window);
    EXPECT_EQ(size(), std::make_pair(700, 500));
}

TEST_F(SessionTest, PostedCommandsArriveAfterTheCallThatPostedThem)
{
    WindowRef window = recorder.OpenWindow(*bundle);
    WindowRef other = recorder.OpenWindow(*bundle);
    gProbe.onMessage = [&](int16_t message, uint8_t* params) {
        if (message != 14) return;
        const HostServiceTable* host = gProbe.host;
        host->HostPostCommand(uint16_t(host->HostCommandNumber(2, gProbe.extensionID)), 1, 7);
        host->HostPostValueCommand(uint16_t(host->HostCommandNumber(1, gProbe.extensionID)), 0, -2.5);
        EXPECT_TRUE(gProbe.commands.empty()) << "delivered during the posting call";
        (void)params;
    };
    size_t mark = gProbe.received.size();
    recorder.Click(window, Point{100, 100});
    gProbe.onMessage = nullptr;
    std::vector<int16_t> order = MessagesSince(mark);
    ASSERT_GE(order.size(), 3u);
    EXPECT_EQ(order[0], 14);
    EXPECT_EQ(order[1], 8);
    EXPECT_EQ(order[2], 8);
    EXPECT_TRUE(gProbe.messagesDuringCall.empty());
    // Both went to the window that was clicked.
    EXPECT_EQ(At<uint32_t>(gProbe.received[mark + 1], 0), recorder.InstanceOf(window));
    ASSERT_EQ(gProbe.commands.size(), 2u);
    const auto& channelCommand = gProbe.commands[0];
    int16_t kind;
    uint32_t selector;
    int16_t channel;
    double minutes;
    std::memcpy(&kind, channelCommand.data() + 2, 2);
    std::memcpy(&selector, channelCommand.data() + 4, 4);
    std::memcpy(&channel, channelCommand.data() + 8, 2);
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(selector, 1u);
    EXPECT_EQ(channel, 7);
    std::memcpy(&kind, gProbe.commands[1].data() + 2, 2);
    std::memcpy(&minutes, gProbe.commands[1].data() + 8, 8);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(minutes, -2.5);
    EXPECT_EQ(recorder.Counts().queuedCommands, 0);

    // A command for a window closed before delivery is dropped; unknown numbers are reported.
    gProbe.onMessage = [&](int16_t message, uint8_t*) {
        if (message == 14)
            gProbe.host->HostPostCommand(uint16_t(gProbe.host->HostCommandNumber(2, gProbe.extensionID)), 0, 3);
        if (message == 14) gProbe.host->HostPostCommand(4321, 0, 3);
    };
    recorder.Click(other, Point{100, 100});
    gProbe.onMessage = nullptr;
    EXPECT_EQ(recorder.Counters().unknownCommands, 1);
    EXPECT_EQ(gProbe.commands.size(), 3u);
    ASSERT_FALSE(recorder.Messages().empty());
    EXPECT_NE(recorder.Messages().back().text.find("4321"), std::string::npos);
}

TEST_F(SessionTest, MenuCommandsOpenWindowsAndEraseCommandCarriesLocalZero)
{
    WindowRef window = recorder.OpenWindow(*bundle);
    recorder.OpenWindow(*bundle);
    // Registered on each creation, kept once.
    ASSERT_EQ(recorder.MenuCommands().size(), 1u);
    const MenuCommand& command = recorder.MenuCommands()[0];
    EXPECT_EQ(command.path, "Windows:Probe");
    EXPECT_EQ(command.flags, 32);
    EXPECT_EQ(command.localNumber, 0);
    EXPECT_EQ(command.extensionID, bundle->ExtensionID());
    EXPECT_EQ(recorder.ExtensionName(bundle->ExtensionID()), "Probe");

    recorder.ChooseMenuCommand("Windows:Probe");
    EXPECT_EQ(recorder.Windows().size(), 3u);
    EXPECT_THROW(recorder.ChooseMenuCommand("Windows:Nothing"), RecorderError);

    recorder.EraseCommand(window);
    ASSERT_EQ(gProbe.commands.size(), 1u);
    int16_t kind;
    std::memcpy(&kind, gProbe.commands[0].data() + 2, 2);
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(At<uint32_t>(Last(8), 0), recorder.InstanceOf(window));

    // Command numbers map both ways and are stable.
    const HostServiceTable& host = recorder.ServiceTable();
    int16_t n = host.HostCommandNumber(2, bundle->ExtensionID());
    EXPECT_EQ(host.HostCommandNumber(2, bundle->ExtensionID()), n);
    EXPECT_NE(host.HostCommandNumber(2, 9), n);
}

TEST_F(SessionTest, SamplingNotifiesStartBatchesAndStop)
{
    WindowRef window = recorder.OpenWindow(*bundle);
    VectorSource source(3, 10);
    recorder.StartSampling(source, 4);
    while (recorder.SampleBatch() > 0) {
    }
    recorder.StopSampling();

    // The source's three channels are new: each is announced (402) before sampling starts.
    std::vector<std::pair<int16_t, int32_t>> expected{{402, 0}, {402, 0}, {402, 0},  {300, 0},
                                                      {310, 4}, {310, 8}, {310, 10}, {301, 10}};
    EXPECT_EQ(gProbe.notifications, expected);  // each batch is recorded before it is announced
    ASSERT_EQ(gProbe.batches.size(), 3u);
    EXPECT_EQ(gProbe.batches[2], (std::vector<float>{1008, 1009, 2008, 2009, 3008, 3009}));
    for (uint32_t slot : gProbe.batchSlot4) EXPECT_EQ(slot, 0u);
    const Received& batch = gProbe.received[gProbe.received.size() - 2];
    EXPECT_EQ(batch.message, 9);
    EXPECT_EQ(At<uint32_t>(batch, 0), recorder.InstanceOf(window));
    EXPECT_EQ(At<int16_t>(batch, 4), 310);
    EXPECT_EQ(At<int16_t>(batch, 10), 0);
    EXPECT_EQ(recorder.GetRecording().SampleCount(), 10);
    EXPECT_EQ(recorder.GetRecording().ChannelCount(), 3);
    EXPECT_EQ(recorder.GetRecording().Channel(2).title, "S2");

    // The interval of the run is what HostGetSamplingInfo reports, at byte 42.
    SamplingInfo info;
    std::memset(&info, 0xEE, sizeof info);
    recorder.ServiceTable().HostGetSamplingInfo(&info);
    EXPECT_EQ(info.SampleInterval(), 0.002);
    double atOffset;
    std::memcpy(&atOffset, info.bytes + 42, 8);
    EXPECT_EQ(atOffset, 0.002);
}

TEST_F(SessionTest, BatchesGoOnlyToExtensionsThatAskedAndNeedNoNewMemory)
{
    gProbe.requestBatches = false;
    recorder.OpenWindow(*bundle);
    VectorSource source(2, 100000);
    recorder.StartSampling(source, 100);
    recorder.SampleBatch();
    LowZoneStats before = GetLowZoneStats();
    for (int i = 0; i < 200; ++i) recorder.SampleBatch();
    // Growing the block's handles replaces blocks, never adds them.
    EXPECT_EQ(GetLowZoneStats().liveBlocks, before.liveBlocks);
    recorder.StopSampling();
    for (const auto& [kind, count] : gProbe.notifications) EXPECT_NE(kind, 310);
    EXPECT_EQ(gProbe.notifications[2].first, 300);
    EXPECT_EQ(gProbe.notifications.back().first, 301);
    EXPECT_THROW(recorder.StopSampling(), RecorderError);
    EXPECT_THROW(recorder.SampleBatch(), RecorderError);
}

TEST_F(SessionTest, SelectionSettingsAndPlotNotifications)
{
    WindowRef window = recorder.OpenWindow(*bundle);
    VectorSource source(2, 50);
    recorder.StartSampling(source, 50);
    recorder.SampleBatch();
    EXPECT_THROW(recorder.StartSampling(source, 5), RecorderError);
    recorder.StopSampling();
    size_t mark = gProbe.received.size();
    recorder.SelectRange(5, 9);
    recorder.SetChannel(2, ChannelSettings{"S2", "mV", -3, 3, 1});
    recorder.NotifyPlotChanged();
    recorder.ClearSelection();
    std::vector<int16_t> kinds;
    for (size_t i = mark; i < gProbe.received.size(); ++i)
        if (gProbe.received[i].message == 9) kinds.push_back(At<int16_t>(gProbe.received[i], 4));
    EXPECT_EQ(kinds, (std::vector<int16_t>{0, 402, 403, 0}));
    // Kind 402 carries the channel in the data word.
    for (size_t i = mark; i < gProbe.received.size(); ++i) {
        if (gProbe.received[i].message == 9 && At<int16_t>(gProbe.received[i], 4) == 402) {
            EXPECT_EQ(At<uint32_t>(gProbe.received[i], 6), 2u);
        }
    }
    EXPECT_THROW(recorder.SelectRange(10, 50), RecorderError);
    EXPECT_THROW(recorder.SetChannel(3, ChannelSettings{}), RecorderError);
    (void)window;
}

TEST_F(SessionTest, PenStackAndTraceColour)
{
    WindowRef window = recorder.OpenWindow(*bundle);
    const HostServiceTable& host = recorder.ServiceTable();
    SetPort(GetWindowPort(window));
    RGBColor red{0xFFFF, 0, 0};
    RGBForeColor(&red);
    host.HostSetPen(133);
    Rect clip{0, 0, 100, 100};
    ClipRect(&clip);
    MoveTo(30, 40);
    LineTo(50, 40);
    EXPECT_EQ(GetPortPixel(GetWindowPort(window), 40, 40) & 0xFFFFFF, kTracePixel);
    EXPECT_EQ(recorder.Counts().savedPens, 1);
    host.HostRestorePen();
    RGBColor now;
    GetForeColor(&now);
    EXPECT_EQ(now.red, 0xFFFF);
    EXPECT_EQ(now.green, 0);
    host.HostRestorePen();  // one too many: caught, not crashed
    EXPECT_EQ(recorder.Counters().penUnderflows, 1);
    EXPECT_EQ(recorder.Counts().savedPens, 0);

    // A pen set in a port disposed before its restore: the restore touches no
    // port, also not a new one that the zone placed at the same address.
    CGrafPtr gone = CreateOffscreenPort(20, 20);
    SetPort(gone);
    RGBForeColor(&red);
    host.HostSetPen(133);
    DisposeOffscreenPort(gone);
    CGrafPtr fresh = CreateOffscreenPort(20, 20);
    SetPort(fresh);
    host.HostRestorePen();
    GrafPtr current = nullptr;
    GetPort(&current);
    EXPECT_EQ(current, fresh);
    GetForeColor(&now);
    EXPECT_EQ(now.red, 0) << "the disposed port's colour went to another port";
    EXPECT_EQ(recorder.Counts().savedPens, 0);
    DisposeOffscreenPort(fresh);
}

TEST_F(SessionTest, MessagesHelpAndBusyCounters)
{
    const HostServiceTable& host = recorder.ServiceTable();
    Str255 text;
    CopyCStringToPascal("Demand is outstripping supply in XY", text);
    host.HostShowMessage(text);
    CopyCStringToPascal("went wrong", text);
    host.HostReportError(text);
    ASSERT_EQ(recorder.Messages().size(), 2u);
    EXPECT_EQ(recorder.Messages()[0].kind, HostMessage::Kind::message);
    EXPECT_EQ(recorder.Messages()[0].text, "Demand is outstripping supply in XY");
    EXPECT_EQ(recorder.Messages()[1].kind, HostMessage::Kind::error);
    CopyCStringToPascal("Erase Now", text);
    host.HostSetHelpText(text);
    EXPECT_EQ(recorder.HelpText(), "Erase Now");
    host.HostBusyBegin();
    host.HostBusyStep(15);
    EXPECT_EQ(recorder.Counts().busyDepth, 1);
    host.HostBusyEnd();
    EXPECT_EQ(recorder.Counts().busyDepth, 0);
    EXPECT_EQ(recorder.Counters().busyStep, 1);

    // Titles: the recording's, a stand-in within 1..32, nothing beyond.
    recorder.AddChannel(ChannelSettings{"Pressure", "kPa", 0, 200, 0});
    Str255 title;
    host.HostChannelTitle(1, title);
    EXPECT_EQ(PascalToString(title), "Pressure");
    host.HostChannelTitle(5, title);
    EXPECT_EQ(PascalToString(title), "Channel 5");
    host.HostChannelTitle(33, title);
    EXPECT_EQ(title[0], 0);
}

// Everything readable from a descriptor without waiting.
std::string Drain(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
    return text;
}

// The progress line of a long redraw counts that redraw's steps, and only a
// terminal gets it.
TEST(SessionProgress, LongRedrawShowsItsOwnStepsOnATerminal)
{
    int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(grantpt(terminal), 0);
    ASSERT_EQ(unlockpt(terminal), 0);
    int terminalSide = open(ptsname(terminal), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminalSide, 0);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    int savedStderr = dup(STDERR_FILENO);

    RecorderOptions options;
    options.showProgress = true;
    Recorder recorder(options);
    const HostServiceTable& host = recorder.ServiceTable();
    dup2(terminalSide, STDERR_FILENO);
    host.HostBusyBegin();  // a quick redraw: no line
    for (int i = 0; i < 3; ++i) host.HostBusyStep(1);
    host.HostBusyEnd();
    host.HostBusyBegin();
    std::this_thread::sleep_for(std::chrono::milliseconds(350));
    dup2(pipeEnds[1], STDERR_FILENO);
    host.HostBusyStep(1);
    dup2(terminalSide, STDERR_FILENO);
    host.HostBusyStep(1);
    host.HostBusyEnd();
    dup2(savedStderr, STDERR_FILENO);
    close(savedStderr);

    std::string shown = Drain(terminal);
    EXPECT_NE(shown.find("redrawing... 2 blocks"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("5 blocks"), std::string::npos) << shown;
    EXPECT_EQ(Drain(pipeEnds[0]), "");
    EXPECT_EQ(recorder.Counters().busyStep, 5);
    for (int fd : {terminal, terminalSide, pipeEnds[0], pipeEnds[1]}) close(fd);
}

// The control is drawn dimmed or active at once, whatever clip the extension
// left; nothing waits for an update, which would redraw the whole window.
TEST_F(SessionTest, EnableControlRedrawsOnlyTheControl)
{
    WindowRef window = recorder.OpenWindow(*bundle);
    ControlRef button = nullptr;
    FindControl(Point{5, 5}, window, &button);
    ASSERT_NE(button, nullptr);
    auto pixels = [&] {
        std::vector<UInt32> list;
        for (int16_t v = 1; v < 17; ++v)
            for (int16_t h = 1; h < 17; ++h) list.push_back(GetPortPixel(GetWindowPort(window), h, v));
        return list;
    };
    SetPort(GetWindowPort(window));
    const Rect narrow{100, 100, 200, 200};
    ClipRect(&narrow);
    std::vector<UInt32> blank = pixels();  // the probe never draws its button
    Rect pending;
    recorder.ServiceTable().HostEnableControl(button, 0);
    EXPECT_FALSE(IsControlActive(button));
    EXPECT_FALSE(GetWindowUpdateRect(window, &pending));
    std::vector<UInt32> dimmed = pixels();
    EXPECT_NE(dimmed, blank);
    recorder.ServiceTable().HostEnableControl(button, 1);
    EXPECT_TRUE(IsControlActive(button));
    EXPECT_FALSE(GetWindowUpdateRect(window, &pending));
    EXPECT_NE(pixels(), dimmed);
    Rect clip;
    GetClip(&clip);
    EXPECT_TRUE(EqualRect(&clip, &narrow));

    // Hidden, it can't be drawn; showing the window invalidates all of it.
    HideWindow(window);
    recorder.ServiceTable().HostEnableControl(button, 0);
    EXPECT_FALSE(IsControlActive(button));
    ShowWindow(window);
    ASSERT_TRUE(GetWindowUpdateRect(window, &pending));
    Rect port;
    GetWindowPortBounds(window, &port);
    EXPECT_TRUE(EqualRect(&pending, &port));
}

TEST_F(SessionTest, RefusedWindowIsReportedNotRegistered)
{
    gProbe.refuseWindows = true;
    EXPECT_EQ(recorder.OpenWindow(*bundle), nullptr);
    EXPECT_TRUE(recorder.Windows().empty());
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_NE(recorder.Messages()[0].text.find("could not open a window"), std::string::npos);
}

TEST_F(SessionTest, WindowOpenedDuringSamplingJoinsTheRun)
{
    recorder.OpenWindow(*bundle);
    VectorSource source(2, 100);
    recorder.StartSampling(source, 10);
    recorder.SampleBatch();
    size_t mark = gProbe.received.size();
    WindowRef late = recorder.OpenWindow(*bundle);
    uint32_t instance = recorder.InstanceOf(late);
    bool toldStart = false;
    for (size_t i = mark; i < gProbe.received.size(); ++i) {
        const Received& r = gProbe.received[i];
        if (r.message == 9 && At<uint32_t>(r, 0) == instance && At<int16_t>(r, 4) == 300) toldStart = true;
    }
    EXPECT_TRUE(toldStart);
    mark = gProbe.received.size();
    recorder.SampleBatch();
    int batchesToLate = 0;
    for (size_t i = mark; i < gProbe.received.size(); ++i)
        if (gProbe.received[i].message == 9 && At<uint32_t>(gProbe.received[i], 0) == instance) ++batchesToLate;
    EXPECT_EQ(batchesToLate, 1);
    recorder.StopSampling();
}
