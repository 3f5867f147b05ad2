// Repainting and drawing recorded data.
#include "PlotFixture.h"

namespace {

// The pixels of the plot area that differ from the background.
std::vector<std::pair<int, int>> Drawn(LocalDataHandle instance)
{
    const Rect& plot = (*instance)->plotRect;
    UInt32 background = GetPortPixel(GetWindowPort((*instance)->window), plot.left, plot.top);
    std::vector<std::pair<int, int>> drawn;
    for (int v = plot.top; v < plot.bottom; ++v)
        for (int h = plot.left; h < plot.right; ++h)
            if (GetPortPixel(GetWindowPort((*instance)->window), SInt16(h), SInt16(v)) != background)
                drawn.emplace_back(h, v);
    return drawn;
}

class RedrawTest : public PlotTest {
protected:
    void SetUp() override
    {
        PlotTest::SetUp();
        instance = NewWindow();
        SetPortToWindow((*instance)->window);
        Rect plot = (*instance)->plotRect;
        EraseRect(&plot);
        host.ClearCalls();
    }

    // Block b holds samples whose X and Y step along a line; channel 3 is missing.
    void MakeBlocks(std::vector<int16_t> lengths)
    {
        for (int16_t length : lengths) {
            FakeBlock block;
            block.length = length;
            for (int16_t i = 0; i < length; ++i) {
                block.channels[1].push_back(0.1f * float(i));
                block.channels[2].push_back(-0.1f * float(i));
            }
            host.blocks.push_back(block);
        }
    }

    bool Redraw(int32_t start, int32_t end, bool checkInfo = true)
    {
        return gExtension.RedrawTrace(start, end, instance, checkInfo);
    }

    LocalDataHandle instance = nullptr;
};

}  // namespace

TEST_F(RedrawTest, BothEndsAtTheVeryStartDrawNothingAndLockNothing)
{
    ChannelInfoRecord before = (*instance)->xChannelInfo;
    EXPECT_FALSE(Redraw(0, 0));
    std::vector<std::string> expected = {"HostBusyBegin",    "HostSetPen",  "HostGetDataSource", "HostLocateSample",
                                         "HostLocateSample", "HostBusyEnd", "HostRestorePen"};
    std::erase(expected, "HostGetDataSource");
    auto names = host.Names();
    std::erase(names, "HostGetDataSource");
    EXPECT_EQ(names, expected);
    EXPECT_EQ(host.CallsTo("HostSetPen")[0].Int(0), 133);
    EXPECT_EQ(0, std::memcmp(&before, &(*instance)->xChannelInfo, sizeof before));
    Rect clip;
    GetClip(&clip);
    Rect port = WindowPortRect((*instance)->window);
    EXPECT_EQ(clip, port);
    EXPECT_TRUE(Drawn(instance).empty());
}

TEST_F(RedrawTest, KnownSamplesLightExactlyTheirPixels)
{
    FakeBlock block;
    block.length = 2;
    block.channels[1] = {0.0f, 0.5f};  // x: 218 -> 218 + round(85.504) = 304
    block.channels[2] = {0.0f, 0.0f};  // y: 146
    host.blocks = {block, FakeBlock{}};
    Redraw(0, 1);
    auto drawn = Drawn(instance);
    ASSERT_EQ(drawn.size(), 87u);
    for (int i = 0; i < 87; ++i) EXPECT_EQ(drawn[size_t(i)], std::make_pair(218 + i, 146));
}

TEST_F(RedrawTest, SeveralBlocksMakeOnePolylineWithOneLockPerChannelPerBlock)
{
    MakeBlocks({4, 0, 4});
    host.blocks[2].channels[1] = {0.9f, 0.9f, 0.9f, 0.9f};
    host.blocks[2].channels[2] = {0.9f, 0.9f, 0.9f, 0.9f};
    Redraw(1, 7);  // block 0 index 1 .. block 2 index 3
    EXPECT_EQ(host.Count("HostLockBlockData"), 6u);
    EXPECT_EQ(host.Count("HostUnlockBlockData"), 6u);
    EXPECT_EQ(host.locked, 0);
    EXPECT_EQ(host.Count("HostBusyStep"), 3u);
    EXPECT_EQ(host.CallsTo("HostBusyStep")[0].Int(0), 15);
    EXPECT_EQ(host.Count("HostShowMessage"), 0u);
    // The join from block 0's last point (0.3, -0.3) to block 2's first (0.9, 0.9) is drawn.
    PixelMapping map = PixelMapping::Of(**instance);
    int16_t h1 = 0, v1 = 0, h2 = 0, v2 = 0;
    map.Map(0.3f, -0.3f, &h1, &v1);
    map.Map(0.9f, 0.9f, &h2, &v2);
    ASSERT_LT(h1 + 1, h2);
    for (int h = h1 + 1; h < h2; ++h) {
        bool columnDrawn = false;
        for (int v = (*instance)->plotRect.top; v < (*instance)->plotRect.bottom; ++v)
            columnDrawn |= Pixel(instance, h, v) != Pixel(instance, 60, 260);
        EXPECT_TRUE(columnDrawn) << h;
    }
}

TEST_F(RedrawTest, TheSameChannelOnBothAxesIsLockedOncePerBlock)
{
    MakeBlocks({5, 5});
    (*instance)->yChannel = 1;
    Redraw(0, 9);
    EXPECT_EQ(host.Count("HostLockBlockData"), 2u);
    EXPECT_EQ(host.Count("HostUnlockBlockData"), 2u);
    EXPECT_EQ(host.locked, 0);
}

TEST_F(RedrawTest, ShortOrMissingDataSkipsTheBlockButNotTheWalk)
{
    MakeBlocks({5, 5, 5});
    host.shortHandles[{2, 0}] = 8;  // Y of block 0 holds two floats, not five
    host.blocks[1].channels.erase(1);
    Redraw(0, 14);
    auto messages = host.CallsTo("HostShowMessage");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].Str(0), "Demand is outstripping supply in XY");
    EXPECT_EQ(host.Count("HostUnlockBlockData"), 6u);
    EXPECT_EQ(host.locked, 0);
    EXPECT_FALSE(Drawn(instance).empty());  // block 2 is drawn
}

TEST_F(RedrawTest, ChannelInfoCheckFollowsItsTable)
{
    MakeBlocks({3, 3});
    LocalDataType& r = **instance;
    auto infoOf = [](uint8_t id) {
        ChannelInfoRecord info;
        std::memset(info.bytes, id, sizeof info.bytes);
        return info;
    };

    // First block matches, flag clear: nothing changes, result false.
    r.xChannelInfo = infoOf(1);
    r.yChannelInfo = infoOf(1);
    r.xInfoVaries = r.yInfoVaries = 0;
    EXPECT_FALSE(Redraw(0, 5));

    // The X record differs only in the first block: true; the stored record becomes the block's.
    r.xChannelInfo = infoOf(9);
    EXPECT_TRUE(Redraw(0, 5));
    EXPECT_EQ(r.xChannelInfo.bytes[0], 1);
    EXPECT_EQ(r.xInfoVaries, 0);

    // Flag set before and all blocks match: the flag ends false, the result is true, the host isn't asked first.
    r.xInfoVaries = 1;
    host.ClearCalls();
    EXPECT_TRUE(Redraw(0, 5));
    EXPECT_EQ(r.xInfoVaries, 0);
    EXPECT_EQ(host.Count("HostSameChannelInfo"), 3u);  // Y's first, X's and Y's later block

    // A later block differs: the flag is set, the stored record stays the first block's.
    host.blocks[1].infoIds[2] = 7;
    EXPECT_TRUE(Redraw(0, 5));
    EXPECT_EQ(r.yInfoVaries, 1);
    EXPECT_EQ(r.yChannelInfo.bytes[0], 1);
    auto same = host.CallsTo("HostSameChannelInfo");
    EXPECT_EQ(static_cast<const uint8_t*>(same.back().Ptr(1)), r.yChannelInfo.bytes);  // stored record second

    // Without the check nothing of this changes.
    ChannelInfoRecord stored = r.yChannelInfo;
    host.blocks[0].infoIds[2] = 5;
    host.ClearCalls();
    EXPECT_FALSE(Redraw(0, 5, false));
    EXPECT_EQ(host.Count("HostBlockChannelInfo"), 0u);
    EXPECT_EQ(r.yInfoVaries, 1);
    EXPECT_EQ(0, std::memcmp(&stored, &r.yChannelInfo, sizeof stored));
}

TEST_F(RedrawTest, TheWalkEndsAfterBlock32767)
{
    host.On<&HostServiceTable::HostLocateSample>([](DataSourceRef, int32_t position, SampleLocation* location) {
        *location = SampleLocation{32767, int16_t(position)};
    });
    host.On<&HostServiceTable::HostBlockLength>([](DataSourceRef, int16_t) { return int16_t(10); });
    Redraw(0, 3);
    EXPECT_EQ(host.Count("HostBusyStep"), 1u);
    EXPECT_EQ(host.CallsTo("HostLockBlockData")[0].Int(2), 32767);
}

TEST_F(RedrawTest, UpdateOfAnEmptyTraceDrawsEverythingButTheTrace)
{
    MakeBlocks({5});
    Update(instance);
    EXPECT_EQ(host.Count("HostBusyBegin"), 0u);
    std::vector<std::string> expected = {
        "HostAxisSetChannelInfo", "HostAxisSetChannelInfo", "HostChannelTitle", "HostAxisSetTitle",
        "HostChannelTitle",       "HostAxisSetTitle",       "HostDrawAxis",     "HostDrawAxis"};
    EXPECT_EQ(host.Names(), expected);
    EXPECT_EQ(host.CallsTo("HostChannelTitle")[1].Int(0), 2);
    EXPECT_EQ(host.CallsTo("HostDrawAxis")[0].Int(1), 1);
    // The frame: an L outside the left and bottom edges.
    UInt32 background = Pixel(instance, 200, 100);
    EXPECT_NE(Pixel(instance, 50, 23), background);
    EXPECT_NE(Pixel(instance, 50, 268), background);
    EXPECT_NE(Pixel(instance, 384, 268), background);
    EXPECT_EQ(Pixel(instance, 51, 267), background);
    // The buttons were drawn.
    bool buttonDrawn = false;
    for (int v = 1; v < 17; ++v)
        for (int h = 1; h < 32; ++h) buttonDrawn |= Pixel(instance, h, v) != background;
    EXPECT_TRUE(buttonDrawn);
}

TEST_F(RedrawTest, UpdateRedrawsTheTraceOnlyWhereThePlotIsVisible)
{
    MakeBlocks({5});
    (*instance)->traceStartSample = 0;
    (*instance)->traceEndSample = 4;
    (*instance)->xInfoVaries = 1;
    (*instance)->isSampling = 1;  // no channel-info check: the X axis is still shown as varying
    Update(instance);
    EXPECT_EQ(host.Count("HostBusyBegin"), 1u);
    EXPECT_EQ(host.Count("HostBlockChannelInfo"), 0u);
    ASSERT_EQ(host.Count("HostAxisSetOption"), 1u);
    EXPECT_EQ(host.CallsTo("HostAxisSetOption")[0].Int(1), 2);
    EXPECT_EQ(host.CallsTo("HostAxisSetOption")[0].Int(2), 1);

    (*instance)->isSampling = 0;  // the check finds one record for the data on screen
    host.ClearCalls();
    Update(instance);
    EXPECT_EQ((*instance)->xInfoVaries, 0);
    EXPECT_EQ(host.Count("HostAxisSetOption"), 0u);
    EXPECT_EQ(host.Count("HostAxisSetChannelInfo"), 2u);

    HideWindow((*instance)->window);
    host.ClearCalls();
    Update(instance);
    EXPECT_EQ(host.Count("HostBusyBegin"), 0u);
    EXPECT_EQ(host.Count("HostLockBlockData"), 0u);
}
