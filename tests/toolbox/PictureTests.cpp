// Pictures: a picture drawn again gives the pixels its drawing gave, lines
// join into polylines and leave out what sets nothing new, clipping, text
// runs, comments, and the picture's life beside its port's.
#include <algorithm>
#include <random>

#include "ToolboxTestSupport.h"

namespace {

using Points = std::vector<std::pair<int, int>>;

// The points of the record's polylines, one list each.
std::vector<Points> Polylines(const PictureRecord& record)
{
    std::vector<Points> lines;
    for (const PictureOp& op : record.ops) {
        if (op.kind != PictureOpKind::polyline) continue;
        Points points;
        for (UInt32 i = 0; i < op.count; ++i)
            points.push_back({record.points[op.first + i].h, record.points[op.first + i].v});
        lines.push_back(points);
    }
    return lines;
}

size_t CountOps(const PictureRecord& record, PictureOpKind kind)
{
    return size_t(
        std::count_if(record.ops.begin(), record.ops.end(), [&](const PictureOp& op) { return op.kind == kind; }));
}

std::vector<UInt32> PixelsOf(CGrafPtr port)
{
    SInt32 width = 0, height = 0;
    const UInt32* pixels = GetPortPixels(port, &width, &height);
    return std::vector<UInt32>(pixels, pixels + size_t(width) * size_t(height));
}

void Ink(UInt32 rgb)
{
    const RGBColor colour{UInt16(((rgb >> 16) & 0xFF) * 257), UInt16(((rgb >> 8) & 0xFF) * 257),
                          UInt16((rgb & 0xFF) * 257)};
    RGBForeColor(&colour);
}

class PictureTest : public PortTest {
protected:
    void TearDown() override
    {
        KillPicture(picture_);
        PortTest::TearDown();
    }
    // A port of that size with a picture open on it.
    void Record(SInt16 width, SInt16 height)
    {
        UsePort(width, height);
        const Rect frame{0, 0, height, width};
        picture_ = OpenPicture(&frame);
        ASSERT_NE(picture_, nullptr);
    }
    const PictureRecord& Recorded() const { return *GetPictureRecord(picture_); }
    PicHandle picture_ = nullptr;
};

TEST_F(PictureTest, DrawnAgainItGivesThePixelsItsDrawingGave)
{
    // A window, so that its controls (icons blended pixel by pixel, titles) draw too.
    const Rect bounds{60, 60, 220, 320};
    WindowRef window =
        NewCWindow(nullptr, &bounds, Pstr("Picture"), true, 0, reinterpret_cast<WindowRef>(-1), false, 0);
    CGrafPtr port = GetWindowPort(window);
    SetPort(port);
    const Rect all{0, 0, 160, 260};
    picture_ = OpenPicture(&all);
    EraseRect(&all);
    const Rect eraseBounds{1, 1, 17, 17}, checkBounds{1, 40, 17, 140};
    NewControl(window, &eraseBounds, Pstr("Erase Now"), true, 0, 0, 0, kControlSmallIconButtonProc, 0);
    NewControl(window, &checkBounds, Pstr("Automatic"), true, 1, 0, 1, checkBoxProc, 0);

    Ink(0x336699);
    const Rect box{30, 10, 60, 90};
    PaintRect(&box);
    Ink(0x000000);
    FrameRect(&box);
    const Rect inverted{40, 20, 50, 40};
    InvertRect(&inverted);
    // Lines long and short, one of no length, and a random walk that crosses itself.
    MoveTo(100, 30);
    LineTo(250, 45);
    LineTo(250, 45);
    LineTo(5, 150);
    Ink(0x0066CC);
    std::mt19937 random(20261207);
    MoveTo(150, 100);
    int h = 150, v = 100;
    for (int i = 0; i < 3000; ++i) {
        h = std::clamp(h + int(random() % 5) - 2, 100, 250);
        v = std::clamp(v + int(random() % 5) - 2, 70, 150);
        LineTo(SInt16(h), SInt16(v));
    }
    // Text in each face, Mac Roman, one run cut by the clip; lines cut on a
    // row, a column and a diagonal (where a clipped line's ends say it all).
    TextSize(12);
    const unsigned char faces[] = {normal, bold, italic, underline};
    for (int i = 0; i < 4; ++i) {
        TextFace(faces[i]);
        MoveTo(12, SInt16(80 + 14 * i));
        DrawString(Pstr("Caf\x8E <&> \x13"));
    }
    const Rect clip{120, 20, 150, 60};
    ClipRect(&clip);
    MoveTo(10, 140);
    DrawString(Pstr("Clipped text"));
    MoveTo(0, 130);
    LineTo(200, 130);
    MoveTo(30, 100);
    LineTo(30, 159);
    MoveTo(0, 100);
    LineTo(60, 160);
    ClipRect(&kWideOpen);
    ClosePicture();

    const PictureRecord& record = Recorded();
    EXPECT_GT(CountOps(record, PictureOpKind::fill), 4u);
    EXPECT_GT(CountOps(record, PictureOpKind::polyline), 2u);
    EXPECT_EQ(CountOps(record, PictureOpKind::text), 5u + 1u);  // the runs and the check box's title
    EXPECT_GT(CountOps(record, PictureOpKind::image), 1u);      // the icon, the inverted part

    CGrafPtr copy = CreateOffscreenPort(260, 160);
    SetPort(copy);
    const Rect black{0, 0, 160, 260};
    PaintRect(&black);  // nothing of this shows through
    DrawPicture(picture_, &all);
    const std::vector<UInt32> drawn = PixelsOf(port), again = PixelsOf(copy);
    for (size_t i = 0; i < drawn.size(); ++i) ASSERT_EQ(again[i], drawn[i]) << "pixel " << i % 260 << ", " << i / 260;
    DisposeOffscreenPort(copy);
    DisposeWindow(window);
}

// LineTo draws the commonest lines, of at most two steps each way, on a path
// of their own, and another where such a line meets the clip's edge; the
// picture must hold every pixel either path sets.
TEST_F(PictureTest, ATraceOfShortLinesIsRecordedWhole)
{
    Record(120, 100);
    const Rect clip{20, 15, 80, 105};
    ClipRect(&clip);
    std::mt19937 random(7);
    int h = 60, v = 50;
    MoveTo(SInt16(h), SInt16(v));
    for (int i = 0; i < 20000; ++i) {
        if (i % 5000 == 0) Ink(0x0066CC + UInt32(i));       // a new colour now and then
        h = std::clamp(h + int(random() % 5) - 2, 0, 119);  // steps of none to two pixels
        v = std::clamp(v + int(random() % 5) - 2, 0, 99);
        LineTo(SInt16(h), SInt16(v));
    }
    ClipRect(&kWideOpen);
    ClosePicture();
    const std::vector<UInt32> drawn = PixelsOf(port_);
    ASSERT_GT(std::count(drawn.begin(), drawn.end(), 0xFFFFFFu), 0);  // the clip kept some of the port white
    ASSERT_GT(Inked().size(), 3000u);

    CGrafPtr copy = CreateOffscreenPort(120, 100);
    SetPort(copy);
    const Rect frame{0, 0, 100, 120};
    DrawPicture(picture_, &frame);
    const std::vector<UInt32> again = PixelsOf(copy);
    DisposeOffscreenPort(copy);
    SetPort(port_);
    for (size_t i = 0; i < drawn.size(); ++i) ASSERT_EQ(again[i], drawn[i]) << "pixel " << i % 120 << ", " << i / 120;
}

TEST_F(PictureTest, LinesJoinIntoPolylinesWithAPointWhereTheyTurn)
{
    Record(40, 40);
    MoveTo(10, 10);
    LineTo(11, 10);
    LineTo(12, 10);  // straight on: moves the end
    LineTo(12, 12);
    LineTo(12, 12);  // no length: nothing new
    LineTo(14, 14);  // turns
    MoveTo(30, 30);
    LineTo(30, 30);  // a lone pixel
    Ink(0xFF0000);
    LineTo(31, 30);  // another colour: a polyline of its own
    EXPECT_EQ(Polylines(Recorded()),
              (std::vector<Points>{{{10, 10}, {12, 10}, {12, 12}, {14, 14}}, {{30, 30}}, {{30, 30}, {31, 30}}}));
}

TEST_F(PictureTest, ATraceDrawnOverItselfAddsOnlyWhatItShowsAnew)
{
    Record(60, 60);
    auto square = [](int size) {
        MoveTo(10, 10);
        LineTo(SInt16(10 + size), 10);
        LineTo(SInt16(10 + size), SInt16(10 + size));
        LineTo(10, SInt16(10 + size));
        LineTo(10, 10);
    };
    square(30);
    const size_t once = Recorded().points.size();
    square(30);
    square(30);
    EXPECT_EQ(Recorded().points.size(), once) << "a second lap over the same pixels added points";

    // Once something else covers part of it, a lap shows that part anew.
    const Rect patch{5, 5, 15, 15};
    EraseRect(&patch);
    square(30);
    EXPECT_GT(Recorded().points.size(), once);
    // So does a lap in another colour, all of it.
    const size_t before = Recorded().points.size();
    Ink(0x00AA00);
    square(30);
    EXPECT_EQ(Polylines(Recorded()).back(), (Points{{10, 10}, {40, 10}, {40, 40}, {10, 40}, {10, 10}}));
    EXPECT_EQ(Recorded().points.size(), before + 5);
}

// A path that runs over an earlier one and leaves it again stays one
// polyline while the stretch over it is short, and starts anew after a long one.
TEST_F(PictureTest, ShortStretchesOverEarlierLinesKeepThePolylineWhole)
{
    auto lapOver = [&](int overlap) {
        Record(80, 20);
        MoveTo(10, 10);
        LineTo(SInt16(10 + overlap), 10);  // drawn first
        MoveTo(5, 5);
        LineTo(10, 10);                                                  // arrives at it
        for (int h = 11; h <= 10 + overlap; ++h) LineTo(SInt16(h), 10);  // a pixel at a time over it
        LineTo(SInt16(15 + overlap), 15);                                // and leaves
        return Polylines(Recorded()).size();
    };
    EXPECT_EQ(lapOver(16), 2u);  // the first line, then one whole polyline
    KillPicture(picture_);
    picture_ = nullptr;
    EXPECT_EQ(lapOver(17), 3u);  // the second broken where it ran over the first
}

TEST_F(PictureTest, AClippedLineLeavesItsVisiblePixelsAsItsEnds)
{
    Record(100, 100);
    const Rect clip{20, 20, 60, 70};
    ClipRect(&clip);
    MoveTo(0, 0);
    LineTo(99, 77);  // enters through the top, leaves through the right
    MoveTo(0, 90);
    LineTo(99, 95);  // misses the clip altogether
    const std::vector<Points> lines = Polylines(Recorded());
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].size(), 2u);
    // The ends are the first and last pixels the line set, in drawing order.
    const auto inked = Inked();
    ASSERT_FALSE(inked.empty());
    const auto [first, last] = std::minmax_element(inked.begin(), inked.end());
    EXPECT_EQ(lines[0][0], *first);
    EXPECT_EQ(lines[0][1], *last);
}

TEST_F(PictureTest, TextIsARunOfCharactersWhereTheyWereDrawn)
{
    Record(200, 60);
    TextSize(12);
    TextFace(bold);
    Ink(0x202020);
    MoveTo(20, 30);
    DrawString(Pstr("A\x8E<&\x01z"));  // 0x8E is é in Mac Roman; 0x01 draws nothing
    const PictureRecord& record = Recorded();
    ASSERT_EQ(record.texts.size(), 1u);
    const PictureText& run = record.texts[0];
    EXPECT_EQ(run.macRoman, "A\x8E<&\x01z");
    EXPECT_EQ(run.size, 12);
    EXPECT_EQ(run.face, bold);
    EXPECT_EQ(run.pixel, 0x202020u);
    EXPECT_EQ(run.origin.h, 20);
    EXPECT_EQ(run.origin.v, 30);
    EXPECT_EQ(run.width, StringWidth(Pstr("A\x8E<&\x01z")));
    std::u32string codes;
    for (const PictureGlyph& glyph : run.glyphs) codes += glyph.code;
    EXPECT_EQ(codes, U"A\u00E9<&z");
    // Each character where the pen stood when it was drawn.
    const SInt16 expected[] = {
        20, SInt16(20 + TextWidth("A\x8E<&\x01z", 0, 1)), SInt16(20 + TextWidth("A\x8E<&\x01z", 0, 2)),
        SInt16(20 + TextWidth("A\x8E<&\x01z", 0, 3)), SInt16(20 + TextWidth("A\x8E<&\x01z", 0, 5))};
    for (size_t i = 0; i < run.glyphs.size(); ++i) EXPECT_EQ(run.glyphs[i].h, expected[i]) << i;
    // Its ink holds every pixel it set.
    for (const auto& [h, v] : Inked()) EXPECT_TRUE(PtInRect(Point{SInt16(v), SInt16(h)}, &run.ink)) << h << "," << v;

    // Out of the clip it is not there at all; partly in, it keeps the clip.
    const Rect clip{0, 0, 60, 40};
    ClipRect(&clip);
    MoveTo(60, 50);
    DrawString(Pstr("hidden"));
    EXPECT_EQ(Recorded().texts.size(), 1u);
    MoveTo(30, 50);
    DrawString(Pstr("cut"));
    ASSERT_EQ(Recorded().texts.size(), 2u);
    EXPECT_EQ(Recorded().texts[1].clip, clip);
}

TEST_F(PictureTest, ErasingThePortForgetsEverythingBefore)
{
    Record(50, 50);
    MoveTo(0, 0);
    LineTo(49, 49);
    DrawString(Pstr("x"));
    PicComment(1, 0, nullptr);
    const Rect all{0, 0, 50, 50};
    EraseRect(&all);
    ASSERT_EQ(Recorded().ops.size(), 1u);
    EXPECT_EQ(Recorded().ops[0].kind, PictureOpKind::fill);
    EXPECT_TRUE(Recorded().points.empty() && Recorded().texts.empty() && Recorded().comments.empty());
    // Erasing less forgets nothing.
    MoveTo(0, 0);
    LineTo(49, 49);
    const Rect most{0, 0, 50, 49};
    EraseRect(&most);
    EXPECT_EQ(Recorded().ops.size(), 3u);
}

TEST_F(PictureTest, CommentsAreKeptInOrderAndDrawNothing)
{
    Record(20, 20);
    Handle data = NewHandle(3);
    std::copy_n("abc", 3, *data);
    MoveTo(1, 1);
    LineTo(5, 1);
    PicComment(150, 3, data);
    MoveTo(1, 5);
    LineTo(5, 5);
    DisposeHandle(data);
    const PictureRecord& record = Recorded();
    ASSERT_EQ(record.ops.size(), 3u);
    EXPECT_EQ(record.ops[1].kind, PictureOpKind::comment);
    ASSERT_EQ(record.comments.size(), 1u);
    EXPECT_EQ(record.comments[0].kind, 150);
    EXPECT_EQ(record.comments[0].data, "abc");
}

TEST_F(PictureTest, APictureLivesOnAsItsOwnersAndRecordsOnlyWhileOpen)
{
    LeakCheck leaks;
    Record(30, 30);
    const Rect frame{0, 0, 30, 30};
    EXPECT_EQ(OpenPicture(&frame), nullptr) << "a second picture on the same port";
    DrawPicture(picture_, &frame);  // into the port it records: refused, not looped
    MoveTo(1, 1);
    LineTo(20, 1);
    ClosePicture();
    MoveTo(1, 5);
    LineTo(20, 5);  // after closing: not recorded
    EXPECT_EQ(Polylines(Recorded()).size(), 1u);

    // The port goes while a picture records it: the picture stays, closed.
    PicHandle second = OpenPicture(&frame);
    ASSERT_NE(second, nullptr);
    MoveTo(1, 9);
    LineTo(20, 9);
    DisposeOffscreenPort(port_);
    port_ = nullptr;
    EXPECT_EQ(Polylines(*GetPictureRecord(second)).size(), 1u);
    KillPicture(second);

    // Killed while open: the port stops recording and draws on.
    UsePort(30, 30);
    PicHandle killed = OpenPicture(&frame);
    KillPicture(killed);
    MoveTo(0, 0);
    LineTo(29, 29);
    EXPECT_EQ(Inked().size(), 30u);
    PicHandle third = OpenPicture(&frame);
    EXPECT_NE(third, nullptr) << "the killed picture still holds the port";
    KillPicture(third);
}

TEST_F(PictureTest, AHiddenWindowRecordsNothing)
{
    const Rect bounds{60, 60, 100, 100};
    WindowRef window =
        NewCWindow(nullptr, &bounds, Pstr("Hidden"), false, 0, reinterpret_cast<WindowRef>(-1), false, 0);
    SetPort(GetWindowPort(window));
    const Rect all{0, 0, 40, 40};
    picture_ = OpenPicture(&all);
    EraseRect(&all);
    MoveTo(0, 0);
    LineTo(39, 39);
    DrawString(Pstr("x"));
    EXPECT_TRUE(Recorded().ops.empty());
    DisposeWindow(window);
}

}  // namespace
