// What a host needs to show ports on a screen: the dirty region that says
// which pixels changed, popup menus drawn into a port, and where a click puts
// the caret in a dialog's edit text.
#include "ToolboxTestSupport.h"

namespace {

Rect DirtyOf(CGrafPtr port)
{
    RgnHandle region = NewRgn();
    QDGetDirtyRegion(port, region);
    Rect bounds;
    GetRegionBounds(region, &bounds);
    DisposeRgn(region);
    return bounds;
}

void ClearDirty(CGrafPtr port)
{
    RgnHandle empty = NewRgn();
    QDSetDirtyRegion(port, empty);
    DisposeRgn(empty);
}

class DirtyRegionTest : public PortTest {};

TEST_F(DirtyRegionTest, BoundsEveryPixelWrittenSinceItWasTaken)
{
    UsePort(100, 80);
    EXPECT_EQ(DirtyOf(port_), (Rect{0, 0, 80, 100})) << "a new port is dirty all over";
    ClearDirty(port_);
    EXPECT_FALSE(QDIsPortBufferDirty(port_));

    MoveTo(30, 20);
    LineTo(10, 25);  // right to left: the box still runs from the smaller end
    EXPECT_EQ(DirtyOf(port_), (Rect{20, 10, 26, 31}));
    const Rect box{50, 60, 55, 70};
    PaintRect(&box);
    EXPECT_EQ(DirtyOf(port_), (Rect{20, 10, 55, 70})) << "the union of both";

    ClearDirty(port_);
    MoveTo(5, 5);
    DrawString(Pstr("Hi"));
    const Rect text = DirtyOf(port_);
    EXPECT_TRUE(QDIsPortBufferDirty(port_));
    EXPECT_LE(text.bottom, 5 + 4) << "glyphs sit on the baseline";
    EXPECT_GE(text.left, 5);
}

TEST_F(DirtyRegionTest, DrawingThatShowsNothingLeavesItClean)
{
    UsePort(100, 80);
    ClearDirty(port_);
    const Rect clip{10, 10, 20, 20};
    ClipRect(&clip);
    MoveTo(50, 50);
    LineTo(90, 70);  // wholly outside the clip
    const Rect outside{40, 40, 60, 60};
    EraseRect(&outside);
    EXPECT_FALSE(QDIsPortBufferDirty(port_));
    MoveTo(0, 15);
    LineTo(99, 15);  // crosses the clip: only the visible part counts
    EXPECT_EQ(DirtyOf(port_), (Rect{15, 10, 16, 20}));
}

TEST(DirtyRegion, AResizedOrHiddenWindowPort)
{
    const Rect bounds{100, 100, 150, 160};
    WindowRef window = NewCWindow(nullptr, &bounds, Pstr("W"), true, 0, reinterpret_cast<WindowRef>(-1), false, 0);
    CGrafPtr port = GetWindowPort(window);
    ClearDirty(port);
    SizeWindow(window, 80, 70, false);
    EXPECT_EQ(DirtyOf(port), (Rect{0, 0, 70, 80}));
    ClearDirty(port);
    HideWindow(window);
    SetPort(port);
    const Rect all{0, 0, 70, 80};
    PaintRect(&all);
    EXPECT_FALSE(QDIsPortBufferDirty(port)) << "a hidden window draws nothing";
    QDAddRectToDirtyRegion(port, &all);
    EXPECT_EQ(DirtyOf(port), (Rect{0, 0, 70, 80}));
    SetPort(nullptr);
    DisposeWindow(window);
}

class PopUpMenuTest : public PortTest {
protected:
    void SetUp() override
    {
        menu_ = NewMenu(1000, Pstr("Axis"));
        AppendMenu(menu_, Pstr("Zoom In;Zoom Out;(-;(Disabled item;Channel 1;Channel 2 with a long name"));
        CheckMenuItem(menu_, 5, true);
    }
    void TearDown() override
    {
        DisposeMenu(menu_);
        PortTest::TearDown();
    }
    // Rows of the port whose middle pixel has this colour.
    std::vector<int> RowsOf(UInt32 colour) const
    {
        std::vector<int> rows;
        SInt32 width, height;
        GetPortPixels(port_, &width, &height);
        for (int v = 0; v < height; ++v)
            if (GetPortPixel(port_, SInt16(width / 2), SInt16(v)) == colour) rows.push_back(v);
        return rows;
    }
    MenuRef menu_ = nullptr;
};

constexpr UInt32 kHilite = 0x2F6BC4;

TEST_F(PopUpMenuTest, TheHilitedItemIsTheOneFoundAtItsRows)
{
    const SInt16 width = GetMenuWidth(menu_), height = GetMenuHeight(menu_);
    ASSERT_GT(width, 60);
    ASSERT_GT(height, 6 * 12);
    UsePort(width, height);
    for (SInt16 item : {SInt16(1), SInt16(2), SInt16(6)}) {
        DrawPopUpMenu(menu_, item);
        std::vector<int> rows = RowsOf(kHilite);
        ASSERT_FALSE(rows.empty()) << "item " << item;
        EXPECT_EQ(rows.back() - rows.front() + 1, int(rows.size())) << "one band";
        for (int v : {rows.front(), rows.back()})
            EXPECT_EQ(FindPopUpMenuItem(menu_, Point{SInt16(v), SInt16(width / 2)}), item) << "row " << v;
        EXPECT_NE(FindPopUpMenuItem(menu_, Point{SInt16(rows.back() + 1), SInt16(width / 2)}), item);
    }
    EXPECT_EQ(FindPopUpMenuItem(menu_, Point{2, SInt16(width / 2)}), 0) << "the top padding";
    EXPECT_EQ(FindPopUpMenuItem(menu_, Point{SInt16(height - 1), SInt16(width / 2)}), 0);
    EXPECT_EQ(FindPopUpMenuItem(menu_, Point{20, SInt16(width)}), 0) << "beside the menu";
}

TEST_F(PopUpMenuTest, DisabledItemsAndDividersAreNeverHilited)
{
    UsePort(GetMenuWidth(menu_), GetMenuHeight(menu_));
    DrawPopUpMenu(menu_, 3);
    EXPECT_TRUE(RowsOf(kHilite).empty());
    DrawPopUpMenu(menu_, 4);
    EXPECT_TRUE(RowsOf(kHilite).empty());
}

TEST_F(PopUpMenuTest, WidthFollowsTheLongestItemAndDrawingKeepsThePortsSettings)
{
    const SInt16 wide = GetMenuWidth(menu_);
    DeleteMenuItem(menu_, 6);
    EXPECT_LT(GetMenuWidth(menu_), wide);

    UsePort(GetMenuWidth(menu_), GetMenuHeight(menu_));
    TextFont(applFont);
    TextSize(9);
    TextFace(bold);
    const RGBColor red{0xFFFF, 0, 0};
    RGBForeColor(&red);
    MoveTo(3, 4);
    DrawPopUpMenu(menu_, 1);
    Point pen;
    GetPen(&pen);
    RGBColor fore;
    GetForeColor(&fore);
    EXPECT_EQ(pen.h, 3);
    EXPECT_EQ(pen.v, 4);
    EXPECT_EQ(fore.red, 0xFFFF);
    EXPECT_EQ(fore.green, 0);
    EXPECT_EQ(StringWidth(Pstr("Zoom")), [] {
        CGrafPtr other = CreateOffscreenPort(10, 10);
        GrafPtr saved;
        GetPort(&saved);
        SetPort(other);
        TextFont(applFont);
        TextSize(9);
        TextFace(bold);
        SInt16 width = StringWidth(Pstr("Zoom"));
        SetPort(saved);
        DisposeOffscreenPort(other);
        return width;
    }()) << "the port still measures in its own font";
}

TEST_F(PopUpMenuTest, TheCheckMarkLiesInTheMarkColumnOfItsItem)
{
    const SInt16 width = GetMenuWidth(menu_);
    UsePort(width, GetMenuHeight(menu_));
    DrawPopUpMenu(menu_, 0);
    auto inkedInColumn = [&](int item) {
        int dark = 0;
        SInt32 w, h;
        GetPortPixels(port_, &w, &h);
        for (int v = 0; v < h; ++v)
            for (int x = 2; x < 18; ++x)
                if (FindPopUpMenuItem(menu_, Point{SInt16(v), SInt16(x)}) == item &&
                    GetPortPixel(port_, SInt16(x), SInt16(v)) < 0x808080)
                    ++dark;
        return dark;
    };
    EXPECT_GT(inkedInColumn(5), 3);
    EXPECT_EQ(inkedInColumn(6), 0);
}

const char* const kDialog = R"({ "DLOG": { "1000": {
  "bounds": [100, 100, 200, 300], "title": "T", "visible": true, "defaultItem": 1, "cancelItem": 2,
  "items": [
    { "kind": "button", "bounds": [60, 120, 80, 180], "text": "OK" },
    { "kind": "button", "bounds": [60, 20, 80, 90], "text": "Cancel" },
    { "kind": "editText", "bounds": [20, 40, 36, 160], "text": "12.5" }
  ] } } })";

TEST(DialogCaret, AClickPutsTheCaretAtTheNearestCharacterBoundary)
{
    ResourceScope resources(kDialog);
    DialogRef dialog = GetNewDialog(1000, nullptr, reinterpret_cast<WindowRef>(-1));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetDialogKeyboardFocusItem(dialog), 3);
    EXPECT_EQ(GetDialogItemTextOffset(dialog, 3, Point{28, 0}), 0) << "left of the text";
    EXPECT_EQ(GetDialogItemTextOffset(dialog, 3, Point{28, 159}), 4) << "right of the text";
    EXPECT_EQ(GetDialogItemTextOffset(dialog, 1, Point{70, 150}), 0) << "no edit text";
    // Moving right never moves the caret left, and every boundary is reached.
    std::set<int> offsets;
    SInt16 last = 0;
    for (SInt16 h = 40; h < 80; ++h) {
        SInt16 offset = GetDialogItemTextOffset(dialog, 3, Point{28, h});
        EXPECT_GE(offset, last);
        last = offset;
        offsets.insert(offset);
    }
    EXPECT_EQ(offsets, (std::set<int>{0, 1, 2, 3, 4}));
    DisposeDialog(dialog);
}

}  // namespace
