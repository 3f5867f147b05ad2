// QuickDraw on tiny offscreen ports: exact pixels of lines and rectangles,
// clipping, and the rectangle and region utilities.
#include <algorithm>
#include <cstdlib>
#include <random>

#include "ToolboxTestSupport.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

// The unclipped line as plain Bresenham walks it from (h0, v0) to (h1, v1):
// one pixel per step along the major axis, the minor axis stepping when the
// error term crosses the midpoint (ties step).
Pixels ReferenceLine(int h0, int v0, int h1, int v1, const Rect& keep)
{
    Pixels pixels;
    const int dh = std::abs(h1 - h0), dv = std::abs(v1 - v0);
    const int sh = h1 >= h0 ? 1 : -1, sv = v1 >= v0 ? 1 : -1;
    const bool horizontal = dh >= dv;
    const int64_t major = horizontal ? dh : dv, minor = horizontal ? dv : dh;
    int h = h0, v = v0;
    int64_t error = major;  // 2 * distance past the last minor step, scaled by 2 * major
    for (int64_t i = 0;; ++i) {
        if (h >= keep.left && h < keep.right && v >= keep.top && v < keep.bottom) pixels.insert({h, v});
        if (i == major) break;
        error += 2 * minor;
        const bool stepMinor = error >= 2 * major;
        if (stepMinor) error -= 2 * major;
        if (horizontal) {
            h += sh;
            if (stepMinor) v += sv;
        } else {
            v += sv;
            if (stepMinor) h += sh;
        }
    }
    return pixels;
}

class QuickDrawTest : public PortTest {};

TEST_F(QuickDrawTest, DiagonalLineSetsExactlyItsPixels)
{
    UsePort(4, 4);
    MoveTo(0, 0);
    LineTo(2, 2);
    EXPECT_EQ(Inked(), (Pixels{{0, 0}, {1, 1}, {2, 2}}));
    EXPECT_EQ(GetPortPixel(port_, 1, 1), kBlack);
    Point pen;
    GetPen(&pen);
    EXPECT_EQ(pen.h, 2);
    EXPECT_EQ(pen.v, 2);
}

TEST_F(QuickDrawTest, LineToThePenDrawsOnePixel)
{
    UsePort(3, 3);
    MoveTo(1, 2);
    LineTo(1, 2);
    EXPECT_EQ(Inked(), (Pixels{{1, 2}}));
}

TEST_F(QuickDrawTest, HorizontalAndVerticalLinesIncludeBothEnds)
{
    UsePort(6, 6);
    MoveTo(4, 1);
    LineTo(1, 1);  // right to left
    MoveTo(5, 5);
    LineTo(5, 3);  // bottom to top
    EXPECT_EQ(Inked(), (Pixels{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 3}, {5, 4}, {5, 5}}));
}

TEST_F(QuickDrawTest, ShallowLinesStepAtTheMidpoint)
{
    UsePort(8, 4);
    MoveTo(0, 0);
    LineTo(4, 1);
    EXPECT_EQ(Inked(), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}));
}

TEST_F(QuickDrawTest, LinesUseTheForeColourAndLeaveThePenAtTheEnd)
{
    UsePort(5, 5);
    const RGBColor red{0xFFFF, 0x0000, 0x8080};
    RGBForeColor(&red);
    MoveTo(0, 4);
    Line(3, -3);
    EXPECT_EQ(GetPortPixel(port_, 3, 1), 0xFF0080u);
    EXPECT_EQ(GetPortPixel(port_, 0, 4), 0xFF0080u);
    Point pen;
    GetPen(&pen);
    EXPECT_EQ((std::pair<int, int>{pen.h, pen.v}), (std::pair<int, int>{3, 1}));
}

TEST_F(QuickDrawTest, LinesStayInsideTheClipRectangle)
{
    UsePort(10, 10);
    const Rect clip{2, 3, 6, 7};  // rows 2..5, columns 3..6
    ClipRect(&clip);
    MoveTo(0, 4);
    LineTo(9, 4);
    MoveTo(5, -3);
    LineTo(5, 20);
    Pixels expected;
    for (int h = 3; h <= 6; ++h) expected.insert({h, 4});
    for (int v = 2; v <= 5; ++v) expected.insert({5, v});
    EXPECT_EQ(Inked(), expected);
    Rect got;
    GetClip(&got);
    EXPECT_TRUE(EqualRect(&got, &clip));
}

TEST_F(QuickDrawTest, ExtremeCoordinatesDrawWhatTheUnclippedLineDrawsInsideThePort)
{
    UsePort(40, 30);
    const Rect port{0, 0, 30, 40};
    const int lines[][4] = {
        {-32768, -32768, 32767, 5}, {32767, 5, -32768, -32768},
        {-32768, 10, 32767, 12},    {-32768, -32768, 32767, 32767},
        {20, -32768, 21, 32767},    {32767, -32768, -32768, 32767},
        {-5, 15, 32767, 16},        {10, 10, -32768, 11},
        {39, 29, -32768, -32768},
    };
    for (const auto& l : lines) {
        EraseRect(&port);
        MoveTo(SInt16(l[0]), SInt16(l[1]));
        LineTo(SInt16(l[2]), SInt16(l[3]));
        EXPECT_EQ(Inked(), ReferenceLine(l[0], l[1], l[2], l[3], port))
            << "line (" << l[0] << "," << l[1] << ")-(" << l[2] << "," << l[3] << ")";
    }
}

TEST_F(QuickDrawTest, RandomClippedLinesMatchTheUnclippedLine)
{
    UsePort(20, 15);
    const unsigned seed = 20261207;
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> coordinate(-30, 50), edge(-2, 22);
    const Rect port{0, 0, 15, 20};
    for (int n = 0; n < 3000; ++n) {
        Rect clip{SInt16(edge(random)), SInt16(edge(random)), SInt16(edge(random)), SInt16(edge(random))};
        ClipRect(&kWideOpen);
        EraseRect(&port);
        ClipRect(&clip);
        const int h0 = coordinate(random), v0 = coordinate(random), h1 = coordinate(random), v1 = coordinate(random);
        MoveTo(SInt16(h0), SInt16(v0));
        LineTo(SInt16(h1), SInt16(v1));
        Rect keep;
        SectRect(&clip, &port, &keep);
        ASSERT_EQ(Inked(), ReferenceLine(h0, v0, h1, v1, keep))
            << "seed " << seed << " case " << n << ": (" << h0 << "," << v0 << ")-(" << h1 << "," << v1 << ")";
    }
}

// A polyline of dense samples draws mostly to the pen's own pixel and its neighbours.
TEST_F(QuickDrawTest, ShortLinesAtTheClipEdgesMatchTheUnclippedLine)
{
    UsePort(6, 5);
    const Rect port{0, 0, 5, 6};
    for (const Rect& clip : {Rect{1, 1, 4, 5}, Rect{0, 0, 5, 6}, Rect{2, 2, 2, 4}}) {
        Rect keep;
        SectRect(&clip, &port, &keep);
        for (int v0 = -1; v0 <= 5; ++v0)
            for (int h0 = -1; h0 <= 6; ++h0)
                for (int dv = -2; dv <= 2; ++dv)
                    for (int dh = -2; dh <= 2; ++dh) {
                        ClipRect(&kWideOpen);
                        EraseRect(&port);
                        ClipRect(&clip);
                        MoveTo(SInt16(h0), SInt16(v0));
                        LineTo(SInt16(h0 + dh), SInt16(v0 + dv));
                        ASSERT_EQ(Inked(), ReferenceLine(h0, v0, h0 + dh, v0 + dv, keep))
                            << "(" << h0 << "," << v0 << ")-(" << h0 + dh << "," << v0 + dv << ") clip " << clip.left
                            << "," << clip.top << "," << clip.right << "," << clip.bottom;
                    }
    }
}

TEST_F(QuickDrawTest, RectanglesFollowTheHalfOpenConvention)
{
    UsePort(6, 6);
    Rect r;
    SetRect(&r, 1, 2, 4, 3);  // left 1, top 2, right 4, bottom 3
    EXPECT_EQ(r, (Rect{2, 1, 3, 4}));
    PaintRect(&r);
    EXPECT_EQ(Inked(), (Pixels{{1, 2}, {2, 2}, {3, 2}}));
    EraseRect(&r);
    EXPECT_TRUE(Inked().empty());

    SetRect(&r, 1, 1, 5, 4);
    FrameRect(&r);
    EXPECT_EQ(Inked(), (Pixels{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {1, 2}, {4, 2}, {1, 3}, {2, 3}, {3, 3}, {4, 3}}));
    Rect inside{2, 2, 3, 4};
    InvertRect(&inside);
    EXPECT_EQ(GetPortPixel(port_, 2, 2), kBlack);
    EXPECT_EQ(GetPortPixel(port_, 1, 2), kBlack);
    InvertRect(&r);
    EXPECT_EQ(GetPortPixel(port_, 2, 2), kWhite);
    EXPECT_EQ(GetPortPixel(port_, 1, 1), kWhite);
}

TEST_F(QuickDrawTest, EraseUsesTheBackColourAndFillsAreClipped)
{
    UsePort(4, 4);
    const RGBColor grey{0x8000, 0x8000, 0x8000};
    RGBBackColor(&grey);
    const Rect clip{0, 0, 2, 4};
    ClipRect(&clip);
    const Rect all{-100, -100, 100, 100};
    EraseRect(&all);
    EXPECT_EQ(GetPortPixel(port_, 3, 1), 0x808080u);
    EXPECT_EQ(GetPortPixel(port_, 0, 2), kWhite);
    EXPECT_EQ(GetPortPixel(port_, 9, 9), 0u);  // outside the port
}

TEST(RectUtilities, PointsOnTheRightAndBottomEdgesAreOutside)
{
    const Rect r{10, 20, 30, 40};
    EXPECT_TRUE(PtInRect(Point{10, 20}, &r));
    EXPECT_TRUE(PtInRect(Point{29, 39}, &r));
    EXPECT_FALSE(PtInRect(Point{30, 39}, &r));
    EXPECT_FALSE(PtInRect(Point{29, 40}, &r));
    EXPECT_FALSE(PtInRect(Point{9, 20}, &r));
}

TEST(RectUtilities, IntersectionOffsetAndInset)
{
    const Rect a{0, 0, 10, 10}, b{5, 8, 20, 20}, far{50, 50, 60, 60};
    Rect r;
    EXPECT_TRUE(SectRect(&a, &b, &r));
    EXPECT_EQ(r, (Rect{5, 8, 10, 10}));
    EXPECT_FALSE(SectRect(&a, &far, &r));
    EXPECT_TRUE(EmptyRect(&r));
    EXPECT_EQ(r, (Rect{0, 0, 0, 0}));

    r = a;
    OffsetRect(&r, 15, -3);
    EXPECT_EQ(r, (Rect{-3, 15, 7, 25}));
    InsetRect(&r, 2, 1);
    EXPECT_EQ(r, (Rect{-2, 17, 6, 23}));
    InsetRect(&r, 4, 0);  // nothing left: the empty rectangle
    EXPECT_TRUE(EmptyRect(&r));
    EXPECT_EQ(r.right, 0);
}

TEST(Regions, RectangleRegionsMeetRectangles)
{
    const ToolboxObjectCounts before = GetToolboxObjectCounts();
    RgnHandle a = NewRgn(), b = NewRgn(), both = NewRgn();
    ASSERT_TRUE(a && b && both);
    EXPECT_EQ(GetToolboxObjectCounts().regions, before.regions + 3);
    EXPECT_LT(reinterpret_cast<uintptr_t>(a), uintptr_t(1) << 32);
    EXPECT_TRUE(EmptyRgn(a));

    const Rect ra{0, 0, 10, 10}, rb{20, 30, 25, 40};
    RectRgn(a, &ra);
    RectRgn(b, &rb);
    const Rect touching{10, 0, 20, 10}, overlapping{9, 9, 20, 20};
    EXPECT_FALSE(RectInRgn(&touching, a));
    EXPECT_TRUE(RectInRgn(&overlapping, a));
    UnionRgn(a, b, both);
    Rect bounds;
    GetRegionBounds(both, &bounds);
    EXPECT_EQ(bounds, (Rect{0, 0, 25, 40}));
    SetEmptyRgn(both);
    EXPECT_TRUE(EmptyRgn(both));
    EXPECT_FALSE(RectInRgn(&ra, both));

    DisposeRgn(a);
    DisposeRgn(b);
    DisposeRgn(both);
    EXPECT_EQ(GetToolboxObjectCounts().regions, before.regions);
}

TEST(Regions, AnOffscreenPortIsVisibleAsAWhole)
{
    CGrafPtr port = CreateOffscreenPort(30, 20);
    RgnHandle vis = NewRgn();
    EXPECT_EQ(GetPortVisibleRegion(port, vis), vis);
    Rect bounds;
    GetRegionBounds(vis, &bounds);
    EXPECT_EQ(bounds, (Rect{0, 0, 20, 30}));
    DisposeRgn(vis);
    DisposeOffscreenPort(port);
}

}  // namespace
