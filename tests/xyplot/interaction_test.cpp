// Clicks, mouse-over help and commands.
#include <cmath>

#include "PlotFixture.h"

namespace {

class InteractionTest : public PlotTest {
protected:
    void SetUp() override
    {
        PlotTest::SetUp();
        instance = NewWindow();
        host.ClearCalls();
    }

    void Click(ControlRef control, Point where)
    {
        ParamBlock block;
        block.SetRef(0, instance).SetRef(4, (*instance)->window).SetRef(10, control).Set<Point>(14, where);
        block.Set<uint16_t>(18, mouseDown);
        Send(14, block, host);
    }

    std::string MouseOver(Point where, int16_t* cursor = nullptr)
    {
        ParamBlock block;
        block.SetRef(0, instance).SetRef(4, (*instance)->window).Set<Point>(8, where);
        host.ClearCalls();
        Send(15, block, host);
        if (cursor) *cursor = block.Get<int16_t>(12);
        return host.CallsTo("HostSetHelpText").at(0).Str(0);
    }

    bool ClipIsPlot()
    {
        Rect clip;
        GetClip(&clip);
        return EqualRect(&clip, &(*instance)->plotRect);
    }

    int CheckedChannel(MenuRef menu)
    {
        int checked = 0;
        for (int k = 1; k <= 32; ++k) {
            SInt16 mark;
            GetItemMark(menu, int16_t((*instance)->firstChannelItem + k - 1), &mark);
            if (mark == checkMark) checked = checked ? -1 : k;
        }
        return checked;
    }

    LocalDataHandle instance = nullptr;
};

}  // namespace

TEST_F(InteractionTest, AClickTakenByTheXAxisGoesNoFurther)
{
    host.axes[(*instance)->xAxis].clickResult = 1;
    Click((*instance)->eraseButton, Point{5, 5});
    EXPECT_EQ(host.Count("HostAxisClick"), 1u);
    EXPECT_EQ(input.tracks, 0);
    EXPECT_TRUE(ClipIsPlot());
    EXPECT_EQ(host.Count("HostPostCommand"), 0u);

    host.axes[(*instance)->xAxis].clickResult = 0;
    host.axes[(*instance)->yAxis].clickResult = 34;
    host.ClearCalls();
    Click((*instance)->eraseButton, Point{5, 5});
    EXPECT_EQ(host.Count("HostAxisClick"), 2u);
    EXPECT_EQ(input.tracks, 0);
    EXPECT_EQ(host.Count("HostPostCommand"), 0u);
    EXPECT_TRUE(ClipIsPlot());
}

TEST_F(InteractionTest, ChannelChoicesArePostedWithTheirAxisSelector)
{
    struct Case {
        bool yAxis;
        int16_t result;
        int64_t channel;
    };
    for (Case c : {Case{false, 2, 1}, Case{false, 33, 32}, Case{true, 2, 1}, Case{true, 17, 16}}) {
        host.axes[(*instance)->xAxis].clickResult = c.yAxis ? 0 : c.result;
        host.axes[(*instance)->yAxis].clickResult = c.yAxis ? c.result : 0;
        host.ClearCalls();
        Click(nullptr, Point{100, 100});
        auto posts = host.CallsTo("HostPostCommand");
        ASSERT_EQ(posts.size(), 1u);
        EXPECT_EQ(posts[0].Int(0), 102);  // the host's number for local command 2
        EXPECT_EQ(posts[0].Int(1), c.yAxis ? 1 : 0);
        EXPECT_EQ(posts[0].Int(2), c.channel);
        EXPECT_EQ(host.CallsTo("HostCommandNumber")[0].Int(0), 2);
        EXPECT_EQ((*instance)->xChannel, 1);  // nothing changes until the command comes back
        EXPECT_TRUE(ClipIsPlot());
    }
}

TEST_F(InteractionTest, ARangeChangeIsReadBackAndLaidOutAtOnce)
{
    AxisObject y = (*instance)->yAxis;
    host.axes[y].clickResult = -1;
    host.axes[y].high = 2.0;
    host.axes[y].low = -2.0;
    WindowRef window = (*instance)->window;
    BeginUpdate(window);
    EndUpdate(window);
    Click(nullptr, Point{100, 20});
    EXPECT_EQ((*instance)->yTopValue, 2.0);
    EXPECT_EQ((*instance)->yBottomValue, -2.0);
    EXPECT_DOUBLE_EQ((*instance)->yPixelsPerUnit, -245.0 / 4.0);
    Rect update;
    ASSERT_TRUE(GetWindowUpdateRect(window, &update));
    EXPECT_EQ(update, (*instance)->plotRect);
    EXPECT_TRUE(ClipIsPlot());
}

TEST_F(InteractionTest, ButtonsActOnlyWhenReleasedInside)
{
    (*instance)->isSampling = 1;
    (*instance)->traceEndSample = 40;
    input.releaseInside = false;
    Click((*instance)->eraseButton, Point{5, 5});
    EXPECT_EQ((*instance)->traceStartSample, 0);
    input.releaseInside = true;
    Click((*instance)->eraseButton, Point{5, 5});
    EXPECT_EQ((*instance)->traceStartSample, 40);
    EXPECT_EQ(host.Count("HostBeforeErase"), 0u);
    EXPECT_TRUE(ClipIsPlot());
}

TEST_F(InteractionTest, MouseOverGivesCursorAndHelp)
{
    host.axes[(*instance)->xAxis].cursorCode = 0;
    host.axes[(*instance)->yAxis].cursorCode = 5;
    int16_t cursor = 0;
    EXPECT_EQ(MouseOver(Point{8, 16}, &cursor), "Erase Now");  // in both buttons' bounds
    EXPECT_EQ(cursor, 5);
    EXPECT_EQ(MouseOver(Point{8, 17}), "Set Erase Time");
    EXPECT_EQ(MouseOver(Point{17, 20}), "");  // bottom edge is outside
    EXPECT_EQ(host.Count("HostSetHelpText"), 1u);

    host.axes[(*instance)->xAxis].cursorCode = 3;
    MouseOver(Point{100, 100}, &cursor);
    EXPECT_EQ(cursor, 3);
    EXPECT_EQ(host.Count("HostAxisCursor"), 1u);
    auto asked = host.CallsTo("HostAxisCursor")[0];
    EXPECT_EQ(asked.Ptr(1), (*instance)->xAxis);
}

TEST_F(InteractionTest, ChannelCommandsStoreRecheckAndRedraw)
{
    for (int16_t channel : {int16_t(5), int16_t(5), int16_t(0), int16_t(33)}) {
        host.ClearCalls();
        Command(instance, ChannelCommand(1, channel));
        EXPECT_EQ((*instance)->yChannel, channel);
        EXPECT_EQ(CheckedChannel((*instance)->yMenu), channel >= 1 && channel <= 32 ? channel : 0);
        EXPECT_EQ(host.Count("HostDrawAxis"), 2u);  // the whole window
        EXPECT_EQ(host.Count("HostLiveChannelInfo"), 0u);
    }
    EXPECT_EQ(CheckedChannel((*instance)->xMenu), 1);

    (*instance)->isSampling = 1;
    host.ClearCalls();
    Command(instance, ChannelCommand(0, 7));
    EXPECT_EQ((*instance)->xChannel, 7);
    auto live = host.CallsTo("HostLiveChannelInfo");
    ASSERT_EQ(live.size(), 1u);
    EXPECT_EQ(live[0].Int(0), 7);
    EXPECT_EQ(live[0].Ptr(1), &(*instance)->xChannelInfo);
}

TEST_F(InteractionTest, EraseTimeCommandsSetTimeSwitchAndPoint)
{
    LocalDataType& r = **instance;
    Command(instance, EraseTimeCommand(-5.0));
    EXPECT_EQ(r.eraseMinutes, 5.0);
    EXPECT_EQ(r.autoErase, 0);
    EXPECT_EQ(r.eraseAtSample, kNeverErase);

    r.samplesPerMinute = 600;
    r.traceStartSample = 1000;
    Command(instance, EraseTimeCommand(2.5));
    EXPECT_EQ(r.eraseMinutes, 2.5);
    EXPECT_EQ(r.autoErase, 1);
    EXPECT_EQ(r.eraseAtSample, 2500);

    for (double off : {0.0, -0.0, std::nan("")}) {
        Command(instance, EraseTimeCommand(off));
        EXPECT_EQ(r.autoErase, 0);
        EXPECT_EQ(r.eraseAtSample, kNeverErase);
    }
}

TEST_F(InteractionTest, EraseCommandAsksTheHostFirstAndErasesOnlyWhileSampling)
{
    CommandRecord erase{};
    erase.kind = EraseCommand;
    (*instance)->traceEndSample = 30;
    Command(instance, erase);
    EXPECT_EQ(host.Count("HostBeforeErase"), 1u);
    EXPECT_EQ(host.CallsTo("HostBeforeErase")[0].Ptr(0), (*instance)->window);
    EXPECT_EQ((*instance)->traceStartSample, 0);

    (*instance)->isSampling = 1;
    Command(instance, erase);
    EXPECT_EQ((*instance)->traceStartSample, 30);

    for (int16_t kind : {3, -1, 200}) {
        CommandRecord other{};
        other.kind = kind;
        host.ClearCalls();
        Command(instance, other);
        EXPECT_TRUE(host.Calls().empty()) << kind;
    }
}
