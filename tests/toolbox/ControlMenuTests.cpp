// Control and Menu Managers: the icon buttons' looks and states, tracking
// through the input source, AppendMenu's metacharacters and popup choices.
#include <algorithm>

#include "ToolboxTestSupport.h"

namespace {

unsigned Red(UInt32 p) { return (p >> 16) & 0xFF; }
unsigned Green(UInt32 p) { return (p >> 8) & 0xFF; }
unsigned Luma(UInt32 p) { return (Red(p) * 3 + Green(p) * 6 + (p & 0xFF)) / 10; }

struct Stats {
    unsigned darkest = 255;
    int pinkish = 0;
    int outside = 0;
};

Stats Look(CGrafPtr port, const Rect& bounds)
{
    Stats s;
    for (const auto& [h, v] : InkedIn(port)) {
        const UInt32 p = GetPortPixel(port, SInt16(h), SInt16(v));
        if (!PtInRect(Point{SInt16(v), SInt16(h)}, &bounds)) ++s.outside;
        s.darkest = std::min(s.darkest, Luma(p));
        if (Red(p) > Green(p) + 80) ++s.pinkish;
    }
    return s;
}

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const Rect bounds{100, 100, 140, 160};
        window_ = NewCWindow(nullptr, &bounds, Pstr("Controls"), true, 0, reinterpret_cast<WindowRef>(-1), false, 0);
        port_ = GetWindowPort(window_);
        SetPort(port_);
    }
    void TearDown() override
    {
        DisposeWindow(window_);
        SetPort(nullptr);
    }
    void Clear()
    {
        const Rect all{0, 0, 40, 60};
        EraseRect(&all);
    }
    WindowRef window_ = nullptr;
    CGrafPtr port_ = nullptr;
};

TEST_F(ControlTest, IconButtonsShowAnEraserAndASettingsMarkInsideTheirBounds)
{
    const Rect eraseBounds{1, 1, 17, 17}, settingsBounds{1, 16, 17, 32};
    ControlRef erase =
        NewControl(window_, &eraseBounds, Pstr("Erase Now"), true, 0, 0, 0, kControlSmallIconButtonProc, 1000);
    const Stats eraser = Look(port_, eraseBounds);
    EXPECT_EQ(eraser.outside, 0);
    EXPECT_GT(eraser.pinkish, 3);  // the eraser's tip
    EXPECT_LT(eraser.darkest, 90);

    Clear();
    ControlRef settings =
        NewControl(window_, &settingsBounds, Pstr("Settings\xC9"), true, 0, 0, 0, kControlSmallIconButtonProc, 1001);
    Draw1Control(settings);
    const Stats gear = Look(port_, settingsBounds);
    EXPECT_EQ(gear.outside, 0);
    EXPECT_EQ(gear.pinkish, 0);
    EXPECT_LT(gear.darkest, 110);

    Clear();
    HiliteControl(erase, 255);  // redrawn at once, dimmed
    EXPECT_FALSE(IsControlActive(erase));
    EXPECT_GT(Look(port_, eraseBounds).darkest, eraser.darkest + 60);
    EXPECT_EQ(GetControlReference(erase), 1000);
    EXPECT_EQ(GetControlOwner(erase), window_);
    Rect r;
    EXPECT_EQ(*GetControlBounds(settings, &r), settingsBounds);
}

TEST_F(ControlTest, DrawControlsDrawsInTheCurrentPortThroughItsClip)
{
    const Rect bounds{1, 1, 17, 17};
    NewControl(window_, &bounds, Pstr("Erase Now"), false, 0, 0, 0, kControlSmallIconButtonProc, 0);
    EXPECT_TRUE(InkedIn(port_).empty());  // invisible: never drawn
    const Rect b2{20, 1, 36, 17};
    ControlRef shown = NewControl(window_, &b2, Pstr("Zoom"), true, 0, 0, 0, kControlSmallIconButtonProc, 0);
    Clear();
    CGrafPtr other = CreateOffscreenPort(60, 40);
    SetPort(other);
    const Rect clip{0, 0, 28, 60};
    ClipRect(&clip);
    DrawControls(window_);
    EXPECT_TRUE(InkedIn(port_).empty());
    const auto inked = InkedIn(other);
    ASSERT_FALSE(inked.empty());  // the letter fallback and frame
    for (const auto& [h, v] : inked) EXPECT_TRUE(v >= 20 && v < 28 && h >= 1 && h < 17) << h << "," << v;
    DisposeOffscreenPort(other);
    SetPort(port_);
    EXPECT_TRUE(IsControlVisible(shown));
}

TEST_F(ControlTest, TrackingAsksTheInputSourceOnlyForActiveControls)
{
    const Rect bounds{1, 1, 17, 17}, boxBounds{20, 1, 36, 60};
    ControlRef button = NewControl(window_, &bounds, Pstr("Erase Now"), true, 0, 0, 0, kControlSmallIconButtonProc, 0);
    ControlRef box = NewControl(window_, &boxBounds, Pstr("Auto"), true, 0, 0, 1, checkBoxProc, 0);
    EXPECT_EQ(TrackControl(button, Point{5, 5}, nullptr), kControlNoPart);  // nobody to ask
    FakeInput input;
    InputScope scope(&input);
    input.releaseInside = true;
    EXPECT_EQ(TrackControl(button, Point{5, 5}, nullptr), kControlButtonPart);
    EXPECT_EQ(TrackControl(box, Point{25, 5}, nullptr), kControlCheckBoxPart);
    input.releaseInside = false;
    EXPECT_EQ(TrackControl(button, Point{5, 5}, nullptr), kControlNoPart);
    HiliteControl(button, 255);
    input.releaseInside = true;
    const int asked = input.Calls();
    EXPECT_EQ(TrackControl(button, Point{5, 5}, nullptr), kControlNoPart);
    EXPECT_EQ(input.Calls(), asked);

    ControlRef found = nullptr;
    EXPECT_EQ(FindControl(Point{5, 5}, window_, &found), kControlNoPart);  // inactive
    EXPECT_EQ(found, nullptr);
    HiliteControl(button, 0);
    EXPECT_EQ(FindControl(Point{16, 16}, window_, &found), kControlButtonPart);
    EXPECT_EQ(found, button);
    EXPECT_EQ(FindControl(Point{17, 5}, window_, &found), kControlNoPart);  // bottom edge is outside

    SetControlValue(box, 5);
    EXPECT_EQ(GetControlValue(box), 1);  // clamped to the maximum
    const int before = GetToolboxObjectCounts().controls;
    DisposeControl(box);
    EXPECT_EQ(GetToolboxObjectCounts().controls, before - 1);
    EXPECT_EQ(FindControl(Point{25, 5}, window_, &found), kControlNoPart);
}

TEST_F(ControlTest, AWindowListsItsControlsInTheOrderTheyWereMade)
{
    const Rect r{1, 1, 17, 17};
    EXPECT_EQ(CountWindowControls(window_), 0);
    ControlRef first = NewControl(window_, &r, Pstr("First"), true, 0, 0, 0, pushButProc, 0);
    ControlRef second = NewControl(window_, &r, Pstr("Second"), false, 0, 0, 0, pushButProc, 0);
    ControlRef third = NewControl(window_, &r, Pstr("Third"), true, 0, 0, 0, pushButProc, 0);
    ASSERT_EQ(CountWindowControls(window_), 3);
    EXPECT_EQ(GetIndexedWindowControl(window_, 1), first);
    EXPECT_EQ(GetIndexedWindowControl(window_, 2), second);  // hidden ones too
    EXPECT_EQ(GetIndexedWindowControl(window_, 3), third);
    EXPECT_EQ(GetIndexedWindowControl(window_, 0), nullptr);
    EXPECT_EQ(GetIndexedWindowControl(window_, 4), nullptr);
    DisposeControl(second);
    ASSERT_EQ(CountWindowControls(window_), 2);
    EXPECT_EQ(GetIndexedWindowControl(window_, 2), third);
    EXPECT_EQ(CountWindowControls(nullptr), 0);
}

TEST(Menus, AppendMenuReadsMetacharacters)
{
    MenuRef menu = NewMenu(300, Pstr("Axis"));
    AppendMenu(menu, Pstr("Zoom In/Z;(Zoom Out;Bold<B;Marked!*"));
    AppendMenu(menu, Pstr("(-"));
    AppendMenu(menu, Pstr("-"));
    ASSERT_EQ(CountMenuItems(menu), 6);
    Str255 text;
    GetMenuItemText(menu, 1, text);
    EXPECT_EQ(PascalToString(text), "Zoom In");
    SInt16 value;
    GetItemCmd(menu, 1, &value);
    EXPECT_EQ(value, 'Z');
    EXPECT_TRUE(IsMenuItemEnabled(menu, 1));
    EXPECT_FALSE(IsMenuItemEnabled(menu, 2));
    GetMenuItemText(menu, 2, text);
    EXPECT_EQ(PascalToString(text), "Zoom Out");
    GetItemStyle(menu, 3, &value);
    EXPECT_EQ(value, bold);
    GetItemMark(menu, 4, &value);
    EXPECT_EQ(value, '*');
    for (SInt16 divider : {5, 6}) {
        EXPECT_TRUE(IsMenuItemDivider(menu, divider));
        EXPECT_FALSE(IsMenuItemEnabled(menu, divider));
    }
    EXPECT_FALSE(IsMenuItemDivider(menu, 1));

    InsertMenuItemText(menu, Pstr("(literal;text"), 0);  // no metacharacters here
    ASSERT_EQ(CountMenuItems(menu), 7);
    GetMenuItemText(menu, 1, text);
    EXPECT_EQ(PascalToString(text), "(literal;text");
    EXPECT_TRUE(IsMenuItemEnabled(menu, 1));
    DeleteMenuItem(menu, 1);
    DeleteMenuItem(menu, 99);
    EXPECT_EQ(CountMenuItems(menu), 6);
    DisposeMenu(menu);
}

TEST(Menus, CheckMarksAndEnabling)
{
    MenuRef menu = NewMenu(301, Pstr("Channels"));
    for (int i = 0; i < 4; ++i) AppendMenuItemText(menu, Pstr("Channel"));
    CheckMenuItem(menu, 2, true);
    CheckMenuItem(menu, 99, true);  // no such item: ignored
    SInt16 mark;
    GetItemMark(menu, 2, &mark);
    EXPECT_EQ(mark, checkMark);
    GetItemMark(menu, 1, &mark);
    EXPECT_EQ(mark, noMark);
    CheckMenuItem(menu, 2, false);
    GetItemMark(menu, 2, &mark);
    EXPECT_EQ(mark, noMark);
    DisableMenuItem(menu, 3);
    EXPECT_FALSE(IsMenuItemEnabled(menu, 3));
    EnableMenuItem(menu, 3);
    EXPECT_TRUE(IsMenuItemEnabled(menu, 3));
    DisableMenuItem(menu, 0);
    EXPECT_FALSE(IsMenuItemEnabled(menu, 1));
    DisposeMenu(menu);
}

TEST(Menus, GetMenuGivesAFreshCopyEachTime)
{
    ResourceScope resources(R"({ "MENU": { "1000": { "title": "Axis", "items": ["Full Scale", "(Fixed"] } } })");
    const int before = GetToolboxObjectCounts().menus;
    MenuRef a = GetMenu(1000), b = GetMenu(1000);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_LT(reinterpret_cast<uintptr_t>(a), uintptr_t(1) << 32);
    EXPECT_EQ(GetToolboxObjectCounts().menus, before + 2);
    AppendMenu(a, Pstr("(-"));
    EXPECT_EQ(CountMenuItems(a), 3);
    EXPECT_EQ(CountMenuItems(b), 2);
    EXPECT_FALSE(IsMenuItemEnabled(b, 2));
    EXPECT_EQ(GetMenuID(b), 1000);
    EXPECT_EQ(GetMenu(999), nullptr);
    DisposeMenu(a);
    DisposeMenu(b);
    EXPECT_EQ(GetToolboxObjectCounts().menus, before);
}

TEST(Menus, PopUpChoicesComeFromTheInputSource)
{
    MenuRef menu = NewMenu(1000, Pstr("Axis"));
    AppendMenu(menu, Pstr("One;(Two;Three"));
    EXPECT_EQ(PopUpMenuSelect(menu, 10, 20, 1), 0);
    FakeInput input;
    InputScope scope(&input);
    input.popupItem = 3;
    EXPECT_EQ(PopUpMenuSelect(menu, 10, 20, 1), (1000 << 16) | 3);
    input.popupItem = 2;  // disabled
    EXPECT_EQ(PopUpMenuSelect(menu, 10, 20, 1), 0);
    input.popupItem = 9;
    EXPECT_EQ(PopUpMenuSelect(menu, 10, 20, 1), 0);
    DisposeMenu(menu);
}

}  // namespace
