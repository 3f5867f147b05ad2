// Layout, the data-to-pixel mapping and window sizing.
#include <cmath>

#include "PlotFixture.h"

using GeometryTest = PlotTest;

TEST_F(GeometryTest, LayoutOfA300By400PortWithDefaultRanges)
{
    LocalDataHandle instance = NewWindow();
    const LocalDataType& r = **instance;
    EXPECT_EQ(r.plotRect, (Rect{23, 51, 268, 385}));
    EXPECT_DOUBLE_EQ(r.yPixelsPerUnit, -125.44);
    EXPECT_EQ(r.yPixelOffset, 146);
    EXPECT_DOUBLE_EQ(r.xPixelsPerUnit, 171.008);
    EXPECT_EQ(r.xPixelOffset, 218);
    EXPECT_EQ(host.axes[r.xAxis].bounds, (Rect{269, 51, 299, 385}));
    EXPECT_EQ(host.axes[r.yAxis].bounds, (Rect{23, 2, 268, 50}));
    auto bounds = host.CallsTo("HostAxisSetBounds");
    EXPECT_EQ(bounds[0].Int(2), 0);
    EXPECT_EQ(bounds[0].Int(3), 14);
    EXPECT_EQ(bounds[1].Int(2), 1);

    PixelMapping map = PixelMapping::Of(r);
    int16_t h = 0, v = 0;
    map.Map(0.0f, 0.0f, &h, &v);
    EXPECT_EQ(h, 218);
    EXPECT_EQ(v, 146);
    map.Map(float(kNegativeFullScale), float(kFullScale), &h, &v);
    EXPECT_EQ(h, 51);
    EXPECT_EQ(v, 23);
    // The bottom value's product, -122.5, rounds away from zero: one below plotRect.
    map.Map(float(kFullScale), float(kNegativeFullScale), &h, &v);
    EXPECT_EQ(h, 385);
    EXPECT_EQ(v, 269);
}

TEST_F(GeometryTest, LayoutFollowsSizeAndEndValues)
{
    host.newWindowBounds = Rect{40, 40, 240, 240};
    LocalDataHandle instance = NewWindow();
    LocalDataType& r = **instance;
    EXPECT_EQ(r.plotRect, (Rect{23, 51, 168, 185}));

    // Inverted: larger values are drawn lower.
    r.yTopValue = -1.0;
    r.yBottomValue = 1.0;
    LayoutPlot(instance);
    EXPECT_GT(r.yPixelsPerUnit, 0);
    int16_t h = 0, v1 = 0, v2 = 0;
    PixelMapping::Of(r).Map(0, 0.5f, &h, &v1);
    PixelMapping::Of(r).Map(0, -0.5f, &h, &v2);
    EXPECT_GT(v1, v2);

    // Equal ends: one pixel per unit, the value on the top and left edges.
    r.yTopValue = r.yBottomValue = 3.0;
    r.xLeftValue = r.xRightValue = -2.0;
    LayoutPlot(instance);
    EXPECT_EQ(r.yPixelsPerUnit, 1.0);
    EXPECT_EQ(r.xPixelsPerUnit, 1.0);
    EXPECT_EQ(r.yPixelOffset, 23 - 3);
    EXPECT_EQ(r.xPixelOffset, 51 + 2);

    // Not a number: the same fallback.
    r.yTopValue = std::nan("");
    LayoutPlot(instance);
    EXPECT_EQ(r.yPixelsPerUnit, 1.0);
}

TEST_F(GeometryTest, MappingMatches16BitArithmeticInRangeAndSaturatesBeyond)
{
    LocalDataHandle instance = NewWindow();
    LocalDataType& r = **instance;
    // Ends far from zero make the 16-bit offsets wrap; points inside still land right.
    r.yTopValue = 1001.0;
    r.yBottomValue = 1000.0;
    r.xLeftValue = 5000.0;
    r.xRightValue = 5001.0;
    LayoutPlot(instance);
    PixelMapping map = PixelMapping::Of(r);
    for (float value : {1000.0f, 1000.25f, 1000.5f, 1001.0f}) {
        int16_t h = 0, v = 0;
        map.Map(value + 4000.0f, value, &h, &v);
        auto expectedV = int16_t(r.yPixelOffset + int16_t(roundtol(double(value) * r.yPixelsPerUnit)));
        auto expectedH = int16_t(r.xPixelOffset + int16_t(roundtol(double(value + 4000.0f) * r.xPixelsPerUnit)));
        EXPECT_EQ(v, expectedV) << value;
        EXPECT_EQ(h, expectedH) << value;
        EXPECT_GE(v, r.plotRect.top);
        EXPECT_LE(v, r.plotRect.bottom);
    }
    // A span so narrow that the offsets' products saturate roundtol: still exact at the ends.
    r.yTopValue = 1000.0;
    r.yBottomValue = 999.9999;
    LayoutPlot(instance);
    int16_t h = 0, v = 0;
    PixelMapping::Of(r).Map(0.0f, 1000.0f, &h, &v);
    EXPECT_EQ(v, 23);

    map.Map(1e30f, -1e30f, &h, &v);
    EXPECT_EQ(h, INT16_MAX);
    EXPECT_EQ(v, INT16_MAX);
    map.Map(-INFINITY, INFINITY, &h, &v);
    EXPECT_EQ(h, INT16_MIN);
    EXPECT_EQ(v, INT16_MIN);
    EXPECT_FALSE(map.Map(std::nanf(""), 0, &h, &v));
}

TEST_F(GeometryTest, GrowSizesTheWindowAndLaysOutWhileANullGrowKeepsTheSize)
{
    LocalDataHandle instance = NewWindow();
    WindowRef window = (*instance)->window;
    ParamBlock block;
    block.SetRef(0, instance).SetRef(4, window).Set<Point>(8, Point{290, 390});

    input.growTo = (500 << 16) | 700;
    Send(12, block, host);
    Rect port = WindowPortRect(window);
    EXPECT_EQ(port, (Rect{0, 0, 500, 700}));
    EXPECT_EQ((*instance)->plotRect, (Rect{23, 51, 468, 685}));
    Rect update;
    ASSERT_TRUE(GetWindowUpdateRect(window, &update));
    EXPECT_EQ(update, port);

    BeginUpdate(window);
    EndUpdate(window);
    input.growTo = 0;
    Send(12, block, host);
    EXPECT_EQ(WindowPortRect(window), (Rect{0, 0, 500, 700}));
    ASSERT_TRUE(GetWindowUpdateRect(window, &update));
    EXPECT_EQ(update, port);
}

TEST_F(GeometryTest, SizeChangesByOthersRelayOutEveryWindowButMovesDoNot)
{
    LocalDataHandle first = NewWindow();
    LocalDataHandle second = NewWindow();
    for (LocalDataHandle instance : {first, second}) {
        SizeWindow((*instance)->window, 600, 450, false);
        EXPECT_EQ((*instance)->plotRect, (Rect{23, 51, 418, 585}));
    }
    // The relayout reaches the resized window even while another's port is current.
    SetPortToWindow((*first)->window);
    Rect firstPort = WindowPortRect((*first)->window);
    ClipRect(&(*first)->plotRect);
    BeginUpdate((*first)->window);
    EndUpdate((*first)->window);
    BeginUpdate((*second)->window);
    EndUpdate((*second)->window);
    SizeWindow((*second)->window, 500, 400, false);
    Rect update, clip;
    ASSERT_TRUE(GetWindowUpdateRect((*second)->window, &update));
    Rect secondPort = WindowPortRect((*second)->window);
    EXPECT_EQ(update, secondPort);
    EXPECT_FALSE(GetWindowUpdateRect((*first)->window, &update));
    GrafPtr current;
    GetPort(&current);
    EXPECT_EQ(current, GetWindowPort((*first)->window));
    GetClip(&clip);
    EXPECT_EQ(clip, (*first)->plotRect);
    EXPECT_NE(clip, firstPort);

    host.ClearCalls();
    MoveWindow((*second)->window, 300, 200, false);
    EXPECT_EQ(host.Count("HostAxisSetBounds"), 0u);
}

TEST_F(GeometryTest, ZoomActsOnlyOnItsOwnWindowAndShowsItAfterwards)
{
    LocalDataHandle first = NewWindow();
    LocalDataHandle second = NewWindow();
    host.On<&HostServiceTable::HostZoomWindow>([](WindowRef w, int16_t part, uint8_t, uint8_t) {
        EXPECT_FALSE(IsWindowVisible(w));
        SizeWindow(w, part == inZoomIn ? 640 : 400, part == inZoomIn ? 480 : 300, false);
    });
    ParamBlock block;
    block.SetRef(0, first).SetRef(4, (*second)->window).Set<uint8_t>(8, 1);
    host.ClearCalls();
    Send(13, block, host);
    EXPECT_TRUE(host.Calls().empty());

    HideWindow((*first)->window);
    block.SetRef(4, (*first)->window);
    Send(13, block, host);
    auto zooms = host.CallsTo("HostZoomWindow");
    ASSERT_EQ(zooms.size(), 1u);
    EXPECT_EQ(zooms[0].Int(1), 7);
    EXPECT_EQ(zooms[0].Int(2), 1);
    EXPECT_EQ(zooms[0].Int(3), 1);
    EXPECT_TRUE(IsWindowVisible((*first)->window));
    EXPECT_EQ((*first)->plotRect, (Rect{23, 51, 448, 625}));
    block.Set<uint8_t>(8, 0);
    Send(13, block, host);
    EXPECT_EQ(host.CallsTo("HostZoomWindow")[1].Int(1), 8);
}

TEST_F(GeometryTest, ActivateDrawsTheGrowBoxAndLeavesTheClipOnThePlot)
{
    LocalDataHandle instance = NewWindow();
    SetPortToWindow((*instance)->window);
    ParamBlock block;
    block.SetRef(0, instance).SetRef(4, (*instance)->window).Set<uint8_t>(8, 1);
    Send(16, block, host);
    Rect clip;
    GetClip(&clip);
    EXPECT_EQ(clip, (*instance)->plotRect);
    // Something was drawn in the grow box and nowhere else.
    bool growBoxDrawn = false;
    for (int v = 288; v < 300; ++v)
        for (int h = 388; h < 400; ++h) growBoxDrawn |= Pixel(instance, h, v) != Pixel(instance, 200, 150);
    EXPECT_TRUE(growBoxDrawn);
}
