// Sampling notifications and live plotting.
#include <cmath>

#include "PlotFixture.h"

namespace {

class SamplingTest : public PlotTest {
protected:
    void SetUp() override
    {
        PlotTest::SetUp();
        instance = NewWindow();
        host.ClearCalls();
    }

    void Start(int32_t recorded, double interval, bool autoErase, double minutes = 1.0)
    {
        (*instance)->autoErase = autoErase;
        (*instance)->eraseMinutes = minutes;
        host.sampleCount = recorded;
        host.sampleInterval = interval;
        Notify(instance, 300);
    }

    void Send(const Batch& batch) { Notify(instance, 310, batch.Word()); }

    UInt32 Background() { return Pixel(instance, 60, 260); }

    size_t DrawnCount()
    {
        const Rect& plot = (*instance)->plotRect;
        size_t drawn = 0;
        for (int v = plot.top; v < plot.bottom; ++v)
            for (int h = plot.left; h < plot.right; ++h) drawn += Pixel(instance, h, v) != Background();
        return drawn;
    }

    LocalDataHandle instance = nullptr;
};

}  // namespace

TEST_F(SamplingTest, StartTakesCountRateLiveInfoAndArmsTheErase)
{
    Start(200, 0.2, true);
    const LocalDataType& r = **instance;
    EXPECT_EQ(r.traceStartSample, 200);
    EXPECT_EQ(r.traceEndSample, 200);
    EXPECT_EQ(r.samplesPerMinute, 300);
    EXPECT_EQ(r.eraseAtSample, 500);
    EXPECT_EQ(r.isSampling, 1);
    EXPECT_EQ(r.restartTrace, 1);
    auto live = host.CallsTo("HostLiveChannelInfo");
    ASSERT_EQ(live.size(), 2u);
    EXPECT_EQ(live[0].Int(0), 1);
    EXPECT_EQ(live[1].Int(0), 2);
    EXPECT_EQ(host.Count("HostDrawAxis"), 2u);  // the whole window was redrawn
    auto enable = host.CallsTo("HostEnableControl");
    ASSERT_EQ(enable.size(), 1u);
    EXPECT_EQ(enable[0].Ptr(0), r.eraseButton);
    EXPECT_EQ(enable[0].Int(1), 1);
    EXPECT_LT(host.IndexOf("HostDrawAxis"), host.IndexOf("HostGetSamplingInfo"));

    for (auto [interval, perMinute] : {std::pair{0.001, 60000}, {0.7, 86}}) {
        Start(0, interval, false);
        EXPECT_EQ((*instance)->samplesPerMinute, perMinute);
        EXPECT_EQ((*instance)->eraseAtSample, kNeverErase);
    }
}

TEST_F(SamplingTest, ABatchPastTheErasePointErasesAndRearms)
{
    Start(200, 0.2, true);
    (*instance)->traceEndSample = 480;
    Batch batch({{1, std::vector<float>(50, 0.1f)}, {2, std::vector<float>(50, 0.2f)}});
    Send(batch);
    EXPECT_EQ((*instance)->traceEndSample, 530);
    EXPECT_EQ((*instance)->traceStartSample, 530);
    EXPECT_EQ((*instance)->eraseAtSample, 830);
    EXPECT_EQ(DrawnCount(), 0u);  // drawn, then erased
}

TEST_F(SamplingTest, ABatchEndingOnTheErasePointDoesNotErase)
{
    Start(200, 0.2, true);
    (*instance)->traceEndSample = 450;
    Batch batch({{1, std::vector<float>(50, 0.1f)}, {2, std::vector<float>(50, 0.2f)}});
    Send(batch);
    EXPECT_EQ((*instance)->traceEndSample, 500);
    EXPECT_EQ((*instance)->traceStartSample, 200);
    EXPECT_GT(DrawnCount(), 0u);
}

TEST_F(SamplingTest, BatchesContinueOnePolylineAndGapsJoinTheLastPoint)
{
    Start(0, 0.001, false);
    UInt32 background = Background();
    // First batch: a single sample is a dot.
    Batch first({{1, {0.5f}}, {2, {0.5f}}});
    Send(first);
    EXPECT_EQ(DrawnCount(), 1u);
    PixelMapping map = PixelMapping::Of(**instance);
    int16_t h1 = 0, v1 = 0;
    map.Map(0.5f, 0.5f, &h1, &v1);
    EXPECT_NE(Pixel(instance, h1, v1), background);
    EXPECT_EQ((*instance)->penX, h1);
    EXPECT_EQ((*instance)->penY, v1);

    // No Y data: nothing drawn, the end still moves.
    Batch noY({{1, {0.0f, 0.0f, 0.0f}}});
    Send(noY);
    EXPECT_EQ((*instance)->traceEndSample, 4);
    EXPECT_EQ(DrawnCount(), 1u);

    // The next batch joins its first point to the dot: a horizontal line on row v1.
    Batch next({{1, {-0.5f}}, {2, {0.5f}}});
    Send(next);
    int16_t h2 = 0, v2 = 0;
    map.Map(-0.5f, 0.5f, &h2, &v2);
    EXPECT_EQ(DrawnCount(), size_t(h1 - h2 + 1));
    for (int h = h2; h <= h1; ++h) EXPECT_NE(Pixel(instance, h, v1), background) << h;
}

TEST_F(SamplingTest, EraseKeepsThePenSoTheNextLineStartsFromTheLastPoint)
{
    Start(0, 0.001, false);
    Batch first({{1, {0.0f, 0.5f}}, {2, {0.0f, 0.0f}}});
    Send(first);
    gExtension.EraseTrace(instance);
    EXPECT_EQ(DrawnCount(), 0u);
    EXPECT_EQ((*instance)->traceStartSample, 2);
    Batch next({{1, {0.5f}}, {2, {0.5f}}});
    Send(next);
    PixelMapping map = PixelMapping::Of(**instance);
    int16_t h = 0, vFrom = 0, vTo = 0;
    map.Map(0.5f, 0.0f, &h, &vFrom);
    map.Map(0.5f, 0.5f, &h, &vTo);
    EXPECT_EQ(DrawnCount(), size_t(vFrom - vTo + 1));
}

TEST_F(SamplingTest, HiddenWindowsAndEmptyWordsDropTheBatch)
{
    Start(0, 0.001, false);
    Batch batch({{1, {0.1f, 0.2f}}, {2, {0.1f, 0.2f}}});
    Notify(instance, 310, 0);
    EXPECT_EQ((*instance)->traceEndSample, 0);
    HideWindow((*instance)->window);
    Send(batch);
    EXPECT_EQ((*instance)->traceEndSample, 0);
    EXPECT_EQ((*instance)->restartTrace, 1);
}

TEST_F(SamplingTest, LiveBatchesSelectThePenOnceAndInvalidateNothing)
{
    Start(0, 0.001, false);
    WindowRef window = (*instance)->window;
    BeginUpdate(window);
    EndUpdate(window);
    host.ClearCalls();
    std::vector<float> xs(1000), ys(1000);
    for (size_t i = 0; i < xs.size(); ++i) {
        xs[i] = float(std::sin(0.01 * double(i)));
        ys[i] = float(std::cos(0.013 * double(i)));
    }
    Batch batch({{1, xs}, {2, ys}});
    LeakCheck leaks;
    Send(batch);
    EXPECT_EQ(host.Names(), (std::vector<std::string>{"HostSetPen", "HostRestorePen"}));
    leaks.ExpectNoLowZoneBlocksLeft();
    Rect update;
    EXPECT_FALSE(GetWindowUpdateRect(window, &update));
}

TEST_F(SamplingTest, ChannelsOutsideTheBatchSlotsReadNothing)
{
    Start(0, 0.001, false);
    Batch batch({{1, {0.1f, 0.2f}}, {32, {0.1f, 0.2f}}});
    for (int16_t channel : {0, -1, 33}) {
        (*instance)->yChannel = channel;
        Send(batch);
        EXPECT_EQ(DrawnCount(), 0u) << channel;
    }
    EXPECT_EQ((*instance)->traceEndSample, 6);
    (*instance)->yChannel = 32;
    Send(batch);
    EXPECT_GT(DrawnCount(), 0u);
}

TEST_F(SamplingTest, NonFiniteSamplesNeitherBreakTheTraceNorLeaveThePlot)
{
    Start(0, 0.001, false);
    float nan = std::nanf("");
    Batch batch(
        {{1, {nan, -0.5f, nan, 0.5f, 1e30f, INFINITY, -INFINITY}}, {2, {0.0f, 0.0f, 0.3f, 0.0f, 0.0f, 1e38f, nan}}});
    Send(batch);
    PixelMapping map = PixelMapping::Of(**instance);
    int16_t h1 = 0, h2 = 0, v = 0;
    map.Map(-0.5f, 0.0f, &h1, &v);
    map.Map(0.5f, 0.0f, &h2, &v);
    for (int h = h1; h <= h2; ++h) EXPECT_NE(Pixel(instance, h, v), Background()) << h;  // bridged across the NaN
    // Nothing outside the plot area changed: the axes' bands and the margins are still blank.
    const Rect& plot = (*instance)->plotRect;
    for (int h = plot.right; h < 400; ++h) EXPECT_EQ(Pixel(instance, h, v), Pixel(instance, 399, 100)) << h;
    EXPECT_EQ((*instance)->traceEndSample, 7);
}

TEST_F(SamplingTest, StopDisablesEraseAndEndsAtTheLastRecordedSample)
{
    Start(0, 0.001, false);
    host.sampleCount = 700;
    host.ClearCalls();
    Notify(instance, 301);
    EXPECT_EQ((*instance)->traceEndSample, 699);
    EXPECT_EQ((*instance)->isSampling, 0);
    EXPECT_EQ(host.CallsTo("HostEnableControl")[0].Int(1), 0);
    gExtension.EraseTrace(instance);  // idle: does nothing
    EXPECT_EQ((*instance)->traceStartSample, 0);
}

TEST_F(SamplingTest, RangeChangesAreIgnoredWhileSampling)
{
    Start(0, 0.001, false);
    host.ClearCalls();
    Notify(instance, 0);
    EXPECT_TRUE(host.Calls().empty());
}

TEST_F(SamplingTest, NoUsableRangeClearsTheTraceAndInvalidatesBothAxesEvenWhenHidden)
{
    (*instance)->traceStartSample = 5;
    (*instance)->traceEndSample = 9;
    HideWindow((*instance)->window);
    BeginUpdate((*instance)->window);
    EndUpdate((*instance)->window);
    host.checkA = false;
    Notify(instance, 0);
    const LocalDataType& r = **instance;
    EXPECT_EQ(r.traceStartSample, 0);
    EXPECT_EQ(r.traceEndSample, 0);
    EXPECT_EQ(r.xInfoVaries, 1);
    EXPECT_EQ(r.yInfoVaries, 1);
    Rect update;
    ASSERT_TRUE(GetWindowUpdateRect(r.window, &update));
    EXPECT_LE(update.top, 23);      // Y axis band
    EXPECT_GE(update.bottom, 299);  // X axis band
}

TEST_F(SamplingTest, ARangeThatMatchesTheStoredInfoIsDrawnWithoutInvalidatingAxes)
{
    FakeBlock block;
    block.length = 3;
    block.channels[1] = {0.1f, 0.2f, 0.3f};
    block.channels[2] = {0.1f, 0.2f, 0.3f};
    host.blocks = {block};
    host.rangeA.startSample = 0;
    host.rangeA.endSample = 2;
    Notify(instance, 0);  // first time: the stored records change, axes invalidated
    Rect update;
    EXPECT_TRUE(GetWindowUpdateRect((*instance)->window, &update));
    BeginUpdate((*instance)->window);
    EndUpdate((*instance)->window);
    Notify(instance, 0);
    EXPECT_FALSE(GetWindowUpdateRect((*instance)->window, &update));
    EXPECT_EQ((*instance)->traceEndSample, 2);
    EXPECT_GT(DrawnCount(), 0u);
}

TEST_F(SamplingTest, ChannelChangesInvalidateTheirAxesAndRefillBothMenus)
{
    WindowRef window = (*instance)->window;
    BeginUpdate(window);
    EndUpdate(window);
    Notify(instance, 402, 7);
    Rect update;
    EXPECT_FALSE(GetWindowUpdateRect(window, &update));
    auto refills = host.CallsTo("HostAddChannelItems");
    ASSERT_EQ(refills.size(), 2u);
    EXPECT_EQ(refills[0].Ptr(0), (*instance)->yMenu);
    EXPECT_EQ(refills[1].Ptr(0), (*instance)->xMenu);
    SInt16 mark;
    GetItemMark((*instance)->yMenu, int16_t((*instance)->firstChannelItem + 1), &mark);
    EXPECT_EQ(mark, checkMark);

    (*instance)->yChannel = 1;
    Notify(instance, 402, 1);
    ASSERT_TRUE(GetWindowUpdateRect(window, &update));
    EXPECT_LE(update.top, 23);
    EXPECT_GE(update.bottom, 299);

    BeginUpdate(window);
    EndUpdate(window);
    Notify(instance, 403);
    ASSERT_TRUE(GetWindowUpdateRect(window, &update));
    EXPECT_EQ(update, (*instance)->plotRect);
}
