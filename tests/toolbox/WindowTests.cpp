// Window Manager and Carbon events: templates, bounds, sizing and its event,
// visibility, the update rectangle, the grow icon and disposal.
#include <cstring>

#include "ToolboxTestSupport.h"

namespace {

const char* const kResources = R"({
  "WIND": { "1000": { "bounds": [60, 40, 260, 340], "title": "Plot", "visible": true,
                      "growable": true, "zoomable": true, "refCon": 7 },
            "1001": { "bounds": [0, 0, 20, 30], "title": "Hidden" } }
})";

struct SeenEvent {
    UInt32 kind = 0;
    WindowRef window = nullptr;
    UInt32 attributes = 0;
    Rect previous{}, current{};
};

// Reads the parameters the way a 32-bit caller does: 4 bytes of window reference.
OSStatus RecordBoundsChange(EventHandlerCallRef, EventRef event, void* userData)
{
    auto* seen = static_cast<std::vector<SeenEvent>*>(userData);
    SeenEvent e;
    e.kind = GetEventKind(event);
    UInt32 low = 0;
    if (GetEventParameter(event, kEventParamDirectObject, typeWindowRef, nullptr, 4, nullptr, &low) != noErr)
        return eventNotHandledErr;
    e.window = reinterpret_cast<WindowRef>(uintptr_t(low));
    GetEventParameter(event, kEventParamAttributes, typeUInt32, nullptr, sizeof(UInt32), nullptr, &e.attributes);
    GetEventParameter(event, kEventParamPreviousBounds, typeQDRectangle, nullptr, sizeof(Rect), nullptr, &e.previous);
    GetEventParameter(event, kEventParamCurrentBounds, typeQDRectangle, nullptr, sizeof(Rect), nullptr, &e.current);
    seen->push_back(e);
    return eventNotHandledErr;
}

class WindowTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        SetPort(nullptr);
        leaks_.ExpectNoToolboxObjectsLeft();
    }
    ResourceScope resources_{kResources};
    LeakCheck leaks_;
};

TEST_F(WindowTest, TemplateGivesTitleFlagsBoundsAndAPortOfTheContentSize)
{
    WindowRef w = GetNewCWindow(1000, nullptr, reinterpret_cast<WindowRef>(-1));
    ASSERT_NE(w, nullptr);
    EXPECT_LT(reinterpret_cast<uintptr_t>(w), uintptr_t(1) << 32);
    EXPECT_LT(reinterpret_cast<uintptr_t>(GetWindowPort(w)), uintptr_t(1) << 32);
    Str255 title;
    GetWTitle(w, title);
    EXPECT_EQ(PascalToString(title), "Plot");
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_TRUE(WindowIsGrowable(w));
    EXPECT_TRUE(WindowIsZoomable(w));
    EXPECT_EQ(GetWRefCon(w), 7);
    Rect r;
    EXPECT_EQ(GetWindowBounds(w, kWindowContentRgn, &r), noErr);
    EXPECT_EQ(r, (Rect{60, 40, 260, 340}));
    EXPECT_EQ(GetWindowBounds(w, kWindowStructureRgn, &r), noErr);
    EXPECT_EQ(r, (Rect{38, 39, 261, 341}));
    EXPECT_EQ(*GetWindowPortBounds(w, &r), (Rect{0, 0, 200, 300}));
    EXPECT_EQ(GetWindowFromPort(GetWindowPort(w)), w);
    EXPECT_EQ(GetNewCWindow(4242, nullptr, nullptr), nullptr);

    WindowRef hidden = GetNewCWindow(1001, nullptr, nullptr);
    EXPECT_FALSE(IsWindowVisible(hidden));
    EXPECT_FALSE(WindowIsGrowable(hidden));
    EXPECT_EQ(FrontWindow(), w);
    EXPECT_EQ(GetNextWindow(w), hidden);
    DisposeWindow(hidden);
    DisposeWindow(w);
}

TEST_F(WindowTest, SizeWindowKeepsPixelsAndTellsHandlersTheSizeChanged)
{
    WindowRef w = GetNewCWindow(1000, nullptr, nullptr);
    std::vector<SeenEvent> seen;
    const EventTypeSpec boundsChanged{kEventClassWindow, kEventWindowBoundsChanged};
    ASSERT_EQ(InstallEventHandler(GetWindowEventTarget(w), NewEventHandlerUPP(RecordBoundsChange), 1, &boundsChanged,
                                  &seen, nullptr),
              noErr);
    SetPort(GetWindowPort(w));
    MoveTo(5, 5);
    LineTo(5, 5);
    BeginUpdate(w);

    SizeWindow(w, 320, 150, true);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].kind, kEventWindowBoundsChanged);
    EXPECT_EQ(seen[0].window, w);
    EXPECT_EQ(seen[0].attributes, UInt32(kWindowBoundsChangeSizeChanged));
    EXPECT_EQ(seen[0].previous, (Rect{60, 40, 260, 340}));
    EXPECT_EQ(seen[0].current, (Rect{60, 40, 210, 360}));
    Rect r;
    EXPECT_EQ(*GetWindowPortBounds(w, &r), (Rect{0, 0, 150, 320}));
    EXPECT_EQ(GetPortPixel(GetWindowPort(w), 5, 5), kBlack);
    EXPECT_EQ(GetPortPixel(GetWindowPort(w), 310, 100), kWhite);
    ASSERT_TRUE(GetWindowUpdateRect(w, &r));
    EXPECT_EQ(r, (Rect{0, 300, 150, 320}));  // only the exposed strip

    SizeWindow(w, 320, 150, true);  // no change: no event
    SizeWindow(w, 0, 0, false);     // nothing to size: no event
    MoveWindow(w, 100, 90, false);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].attributes, UInt32(kWindowBoundsChangeOriginChanged));
    EXPECT_EQ(seen[1].current, (Rect{90, 100, 240, 420}));
    DisposeWindow(w);
}

OSStatus Claim(EventHandlerCallRef, EventRef, void* order)
{
    static_cast<std::vector<int>*>(order)->push_back(2);
    return noErr;
}
OSStatus PassOn(EventHandlerCallRef, EventRef, void* order)
{
    static_cast<std::vector<int>*>(order)->push_back(1);
    return eventNotHandledErr;
}

TEST_F(WindowTest, HandlersRunNewestFirstUntilOneTakesTheEvent)
{
    WindowRef w = GetNewCWindow(1000, nullptr, nullptr);
    std::vector<int> order;
    const EventTypeSpec boundsChanged{kEventClassWindow, kEventWindowBoundsChanged};
    const EventTypeSpec other{kEventClassWindow, kEventWindowBoundsChanging};
    EventHandlerRef claim = nullptr;
    InstallEventHandler(GetWindowEventTarget(w), PassOn, 1, &boundsChanged, &order, nullptr);
    InstallEventHandler(GetWindowEventTarget(w), Claim, 1, &boundsChanged, &order, &claim);
    InstallEventHandler(GetWindowEventTarget(w), PassOn, 1, &other, &order, nullptr);

    EventRef event;
    ASSERT_EQ(CreateEvent(nullptr, kEventClassWindow, kEventWindowBoundsChanged, 0, 0, &event), noErr);
    EXPECT_EQ(SendEventToEventTarget(event, GetWindowEventTarget(w)), noErr);
    EXPECT_EQ(order, (std::vector<int>{2}));
    ASSERT_EQ(RemoveEventHandler(claim), noErr);
    EXPECT_EQ(SendEventToEventTarget(event, GetWindowEventTarget(w)), eventNotHandledErr);
    EXPECT_EQ(order, (std::vector<int>{2, 1}));

    UInt32 value = 0;
    EXPECT_EQ(GetEventParameter(event, kEventParamAttributes, typeUInt32, nullptr, 4, nullptr, &value),
              eventParameterNotFoundErr);
    value = 5;
    SetEventParameter(event, kEventParamAttributes, typeUInt32, 4, &value);
    Rect wrong;
    EXPECT_NE(GetEventParameter(event, kEventParamAttributes, typeQDRectangle, nullptr, 8, nullptr, &wrong), noErr);
    ReleaseEvent(event);
    DisposeWindow(w);  // takes the two remaining handlers with it
}

OSStatus DisposeTheWindow(EventHandlerCallRef, EventRef event, void*)
{
    WindowRef window = nullptr;
    GetEventParameter(event, kEventParamDirectObject, typeWindowRef, nullptr, sizeof(window), nullptr, &window);
    DisposeWindow(window);
    return eventNotHandledErr;
}

TEST_F(WindowTest, AHandlerMayDisposeOfItsWindowWhileTheEventRuns)
{
    WindowRef w = GetNewCWindow(1000, nullptr, nullptr);
    std::vector<int> order;
    const EventTypeSpec boundsChanged{kEventClassWindow, kEventWindowBoundsChanged};
    EventHandlerRef older = nullptr;
    InstallEventHandler(GetWindowEventTarget(w), PassOn, 1, &boundsChanged, &order, &older);
    InstallEventHandler(GetWindowEventTarget(w), DisposeTheWindow, 1, &boundsChanged, nullptr, nullptr);
    SizeWindow(w, 100, 100, false);
    EXPECT_TRUE(order.empty());  // the older handler went with the window
    EXPECT_EQ(RemoveEventHandler(older), paramErr);
}

TEST_F(WindowTest, AHiddenWindowHasNoVisibleRegionAndDrawsNothing)
{
    WindowRef w = GetNewCWindow(1000, nullptr, nullptr);
    CGrafPtr port = GetWindowPort(w);
    SetPort(port);
    ShowHide(w, false);
    EXPECT_FALSE(IsWindowVisible(w));
    RgnHandle vis = NewRgn();
    GetPortVisibleRegion(port, vis);
    EXPECT_TRUE(EmptyRgn(vis));
    const Rect plot{23, 51, 168, 285};
    EXPECT_FALSE(RectInRgn(&plot, vis));
    MoveTo(0, 0);
    LineTo(100, 100);
    PaintRect(&plot);
    EXPECT_TRUE(InkedIn(port).empty());

    BeginUpdate(w);
    ShowHide(w, true);
    GetPortVisibleRegion(port, vis);
    EXPECT_TRUE(RectInRgn(&plot, vis));
    Rect r;
    ASSERT_TRUE(GetWindowUpdateRect(w, &r));  // shown again: all of it wants drawing
    EXPECT_EQ(r, (Rect{0, 0, 200, 300}));
    LineTo(101, 101);
    EXPECT_EQ(GetPortPixel(port, 101, 101), kBlack);
    DisposeRgn(vis);
    DisposeWindow(w);
}

TEST_F(WindowTest, UpdateRegionIsTheBoundingRectangleOfWhatIsInvalid)
{
    WindowRef w = GetNewCWindow(1000, nullptr, nullptr);
    BeginUpdate(w);
    Rect r;
    EXPECT_FALSE(GetWindowUpdateRect(w, &r));
    const Rect a{10, 10, 20, 20}, b{50, 5, 60, 15}, outside{-50, -50, 5, 400};
    InvalWindowRect(w, &a);
    InvalWindowRect(w, &b);
    ASSERT_TRUE(GetWindowUpdateRect(w, &r));
    EXPECT_EQ(r, (Rect{10, 5, 60, 20}));
    const Rect topBand{0, 0, 30, 300};
    ValidWindowRect(w, &topBand);
    GetWindowUpdateRect(w, &r);
    EXPECT_EQ(r, (Rect{30, 5, 60, 20}));
    const Rect hole{40, 8, 45, 12};  // would leave a non-rectangle: kept
    ValidWindowRect(w, &hole);
    GetWindowUpdateRect(w, &r);
    EXPECT_EQ(r, (Rect{30, 5, 60, 20}));
    InvalWindowRect(w, &outside);  // clipped to the port
    GetWindowUpdateRect(w, &r);
    EXPECT_EQ(r, (Rect{0, 0, 60, 300}));
    BeginUpdate(w);
    EXPECT_FALSE(GetWindowUpdateRect(w, &r));
    DisposeWindow(w);
}

TEST_F(WindowTest, GrowWindowAsksTheInputSourceWithinTheLimits)
{
    WindowRef w = GetNewCWindow(1000, nullptr, nullptr);
    const Rect limits{200, 200, 1000, 2000};
    EXPECT_EQ(GrowWindow(w, Point{0, 0}, &limits), 0);  // nobody to ask
    FakeInput input;
    InputScope scope(&input);
    input.growTo = (450 << 16) | 640;
    EXPECT_EQ(GrowWindow(w, Point{199, 299}, &limits), (450 << 16) | 640);
    EXPECT_EQ(input.lastGrowLimits, limits);
    input.growTo = (5000 << 16) | 10;
    EXPECT_EQ(GrowWindow(w, Point{0, 0}, &limits), (1000 << 16) | 200);
    input.growTo = (200 << 16) | 300;  // the size it has
    EXPECT_EQ(GrowWindow(w, Point{0, 0}, &limits), 0);

    const HISize min{202, 223};
    EXPECT_EQ(SetWindowResizeLimits(w, &min, nullptr), noErr);
    HISize gotMin, gotMax;
    GetWindowResizeLimits(w, &gotMin, &gotMax);
    EXPECT_EQ(gotMin.width, 202);
    EXPECT_EQ(gotMin.height, 223);
    EXPECT_GT(gotMax.width, 2000);
    DisposeWindow(w);
}

TEST_F(WindowTest, GrowIconStaysInItsCornerAndInsideTheClip)
{
    WindowRef w = GetNewCWindow(1000, nullptr, nullptr);
    CGrafPtr port = GetWindowPort(w);
    SetPort(port);
    DrawGrowIcon(w);
    const auto inked = InkedIn(port);
    ASSERT_FALSE(inked.empty());
    for (const auto& [h, v] : inked) {
        EXPECT_GE(h, 300 - 15);
        EXPECT_GE(v, 200 - 15);
    }
    const Rect all{0, 0, 200, 300};
    EraseRect(&all);
    const Rect corner{200 - 12, 300 - 12, 200, 300}, tiny{0, 0, 1, 1};
    ClipRect(&corner);
    DrawGrowIcon(w);
    EXPECT_FALSE(InkedIn(port).empty());
    EraseRect(&all);
    ClipRect(&tiny);
    DrawGrowIcon(w);
    EXPECT_TRUE(InkedIn(port).empty());
    RGBColor fore;
    GetForeColor(&fore);
    EXPECT_EQ(fore.red, 0);  // the pen colour is left as it was
    DisposeWindow(w);
}

TEST_F(WindowTest, ThemeBackgroundSetsTheEraseColour)
{
    EXPECT_NE(SetThemeWindowBackground(nullptr, kThemeBrushDocumentWindowBackground, false), noErr);
    WindowRef w = GetNewCWindow(1000, nullptr, nullptr);
    EXPECT_EQ(SetThemeWindowBackground(w, kThemeBrushDialogBackgroundActive, false), noErr);
    SetPort(GetWindowPort(w));
    const Rect r{0, 0, 2, 2};
    EraseRect(&r);
    EXPECT_NE(GetPortPixel(GetWindowPort(w), 1, 1), kWhite);
    EXPECT_EQ(SetThemeWindowBackground(w, kThemeBrushDocumentWindowBackground, false), noErr);
    EraseRect(&r);
    EXPECT_EQ(GetPortPixel(GetWindowPort(w), 1, 1), kWhite);
    DisposeWindow(w);
}

TEST_F(WindowTest, DisposeTakesControlsAndHandlersAndLeavesNoCurrentPort)
{
    WindowRef w = GetNewCWindow(1000, nullptr, nullptr);
    const Rect r{1, 1, 17, 17};
    NewControl(w, &r, Pstr("Erase Now"), true, 0, 0, 0, kControlSmallIconButtonProc, 1000);
    NewControl(w, &r, Pstr("Settings"), true, 0, 0, 0, kControlSmallIconButtonProc, 1001);
    const EventTypeSpec boundsChanged{kEventClassWindow, kEventWindowBoundsChanged};
    InstallEventHandler(GetWindowEventTarget(w), PassOn, 1, &boundsChanged, nullptr, nullptr);
    const ToolboxObjectCounts live = GetToolboxObjectCounts();
    EXPECT_EQ(live.windows, leaks_.Objects().windows + 1);
    EXPECT_EQ(live.ports, leaks_.Objects().ports + 1);
    EXPECT_EQ(live.controls, leaks_.Objects().controls + 2);
    EXPECT_EQ(live.eventHandlers, leaks_.Objects().eventHandlers + 1);
    SetPort(GetWindowPort(w));
    DisposeWindow(w);
    GrafPtr current;
    GetPort(&current);
    EXPECT_EQ(current, nullptr);
    LineTo(3, 3);  // no port: nothing to draw into, and no crash
}

}  // namespace
