// The recorder's axis objects through the host services, on a real window port.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "FakeInput.h"
#include "PascalText.h"
#include "Pictures.h"
#include "recorder/Axis.h"
#include "recorder/ChannelInfo.h"
#include "recorder/Recorder.h"
#include "toolbox/Toolbox.h"

namespace {

using recorder::Axis;
using recorder::AxisFromObject;
using recorder::AxisTick;
using recorder::CountLiveAxes;

constexpr double kFull = 0.9765625;
constexpr Rect kPlot{23, 51, 268, 385};
constexpr Rect kXBand{269, 51, 299, 385};
constexpr Rect kYBand{23, 2, 268, 50};
constexpr UInt32 kWhite = 0xFFFFFF;

bool InRect(int h, int v, const Rect& r) { return h >= r.left && h < r.right && v >= r.top && v < r.bottom; }

int Darkness(UInt32 p) { return 255 - (int((p >> 16) & 0xFF) + int((p >> 8) & 0xFF) + int(p & 0xFF)) / 3; }

ChannelInfoRecord Described(const std::string& units, double low, double high, int16_t decimals = 2)
{
    ChannelDisplay d;
    d.describesChannel = true;
    d.channel = 1;
    d.units = units;
    d.displayLow = low;
    d.displayHigh = high;
    d.decimals = decimals;
    ChannelInfoRecord record{};
    EncodeChannelDisplay(d, record);
    return record;
}

class AxesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetChannels({"Pressure", "Flow", "Volume"});
        liveAxes_ = CountLiveAxes();
        liveMenus_ = GetToolboxObjectCounts().menus;
        Rect bounds{100, 100, 400, 500};
        window_ = NewCWindow(nullptr, &bounds, Pstr("Axes"), true, 0, nullptr, true, 0);
        ASSERT_NE(window_, nullptr);
        SetPort(GetWindowPort(window_));
        Rect port;
        GetWindowPortBounds(window_, &port);
        ClipRect(&port);
        RGBColor white{0xFFFF, 0xFFFF, 0xFFFF}, black{0, 0, 0};
        RGBBackColor(&white);
        RGBForeColor(&black);
        EraseRect(&port);
        SetInputSource(&input_);
    }

    void TearDown() override
    {
        for (AxisObject axis : axes_) host_.HostDisposeAxis(axis);
        SetInputSource(nullptr);
        DisposeWindow(window_);
        SetPort(nullptr);
        EXPECT_EQ(CountLiveAxes(), liveAxes_);
        EXPECT_EQ(GetToolboxObjectCounts().menus, liveMenus_);
    }

    // As the plot window makes them: placeholder bounds, then the layout's band.
    AxisObject NewAxis(bool vertical)
    {
        Rect placeholder{0, 0, 100, 100};
        AxisObject axis = host_.HostNewAxis(&placeholder, kFull, -kFull, vertical, vertical);
        axes_.push_back(axis);
        host_.HostAxisSetInsets(axis, 9, 21, 9, 21);
        host_.HostAxisSetOption(axis, 32, 1);
        host_.HostAxisSetOption(axis, 4, 1);
        host_.HostAxisSetOption(axis, 8, 0);
        Rect band = vertical ? kYBand : kXBand;
        host_.HostAxisSetBounds(axis, &band, vertical, 14);
        return axis;
    }

    // The popup menu: range items, a divider, then one item per channel.
    MenuRef AttachMenu(AxisObject axis)
    {
        MenuRef menu = NewMenu(1000, Pstr("Axis"));
        AppendMenu(menu, Pstr("Zoom In;Zoom Out;Channel Range"));
        AppendMenu(menu, Pstr("(-"));
        host_.HostAxisSetMenu(axis, menu, 1);
        firstChannelItem_ = int16_t(CountMenuItems(menu) + 1);
        host_.HostAddChannelItems(menu, firstChannelItem_, 0, 0);
        return menu;
    }

    static EventRecord MouseDown(int h, int v)
    {
        EventRecord event{};
        event.what = mouseDown;
        event.where = Point{int16_t(v), int16_t(h)};
        return event;
    }

    std::pair<double, double> Range(AxisObject axis)
    {
        double high = NAN, low = NAN;
        host_.HostAxisGetRange(axis, &high, &low);
        return {high, low};
    }

    UInt32 Pixel(int h, int v) { return GetPortPixel(GetWindowPort(window_), int16_t(h), int16_t(v)); }

    // The session's recording gets channels with these titles, and no others.
    void SetChannels(const std::vector<std::string>& titles)
    {
        Recording& recording = recorder_.GetRecording();
        recording.Clear();
        for (const std::string& title : titles) {
            ChannelSettings settings;
            settings.title = title;
            recording.AddChannel(settings);
        }
    }

    // Darkest pixel in the rectangle.
    int DarkestIn(const Rect& r)
    {
        int darkest = 0;
        for (int v = r.top; v < r.bottom; ++v)
            for (int h = r.left; h < r.right; ++h) darkest = std::max(darkest, Darkness(Pixel(h, v)));
        return darkest;
    }

    Recorder recorder_;
    const HostServiceTable& host_ = recorder_.ServiceTable();
    FakeInput input_;
    WindowRef window_ = nullptr;
    std::vector<AxisObject> axes_;
    int16_t firstChannelItem_ = 0;
    int liveAxes_ = 0;
    int liveMenus_ = 0;
};

TEST_F(AxesTest, MapsValuesExactlyAsThePlotDoes)
{
    Axis* x = AxisFromObject(NewAxis(false));
    Axis* y = AxisFromObject(NewAxis(true));
    ASSERT_TRUE(x && y);
    EXPECT_DOUBLE_EQ(x->PixelsPerUnit(), 171.008);
    EXPECT_EQ(x->PixelOffset(), 218);
    EXPECT_EQ(x->PixelOf(-kFull), 51);
    EXPECT_EQ(x->PixelOf(kFull), 385);
    EXPECT_DOUBLE_EQ(y->PixelsPerUnit(), -125.44);
    EXPECT_EQ(y->PixelOffset(), 146);
    EXPECT_EQ(y->PixelOf(kFull), 23);
    EXPECT_EQ(y->PixelOf(-kFull), 269);  // -122.5 rounds away from zero, as in the plot
    EXPECT_FALSE(x->Vertical());
    EXPECT_TRUE(y->Vertical());
    EXPECT_EQ(x->BoundsCode(), 14);
    EXPECT_EQ(x->Options(), 32 | 4);
}

TEST_F(AxesTest, TicksStepByOneTwoFiveWithLabelsThatDoNotOverlap)
{
    Axis* x = AxisFromObject(NewAxis(false));
    Axis* y = AxisFromObject(NewAxis(true));
    const std::vector<std::pair<double, double>> ranges = {{kFull, -kFull}, {1000, 0},   {0.0021, 0.0012},
                                                           {-3, -250},      {5e7, -5e7}, {1, 0.999}};
    for (auto [high, low] : ranges) {
        for (Axis* axis : {x, y}) {
            SCOPED_TRACE(testing::Message() << (axis->Vertical() ? "Y " : "X ") << low << ".." << high);
            axis->SetRange(high, low);
            std::vector<AxisTick> majors;
            for (const AxisTick& t : axis->Ticks())
                if (t.major) majors.push_back(t);
            ASSERT_GE(majors.size(), 2u);
            ASSERT_LE(majors.size(), 15u);
            double step = majors[1].value - majors[0].value;
            double exponent = std::floor(std::log10(step) + 1e-9);
            double mantissa = step / std::pow(10.0, exponent);
            EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-6 || std::fabs(mantissa - 2) < 1e-6 ||
                        std::fabs(mantissa - 5) < 1e-6)
                << "step " << step;
            std::set<std::string> labels;
            for (size_t i = 0; i < majors.size(); ++i) {
                const AxisTick& t = majors[i];
                EXPECT_EQ(t.pixel, axis->PixelOf(t.value));
                EXPECT_NEAR(t.value, majors[0].value + step * double(i), step * 1e-6);
                labels.insert(t.label);
                if (t.value == 0) {
                    EXPECT_NE(t.label[0], '-') << "no negative zero";
                }
                if (i == 0) continue;
                int spacing = std::abs(t.pixel - majors[i - 1].pixel);
                if (axis->Vertical()) {
                    EXPECT_GE(spacing, 11);
                } else {
                    int widths = (TextWidth(t.label.data(), 0, int16_t(t.label.size())) +
                                  TextWidth(majors[i - 1].label.data(), 0, int16_t(majors[i - 1].label.size()))) /
                                 2;
                    EXPECT_GT(spacing, widths + 4) << t.label << " after " << majors[i - 1].label;
                }
            }
            EXPECT_EQ(labels.size(), majors.size()) << "labels must tell the ticks apart";
        }
    }
}

TEST_F(AxesTest, DrawsScaleTicksLabelsAndTitleOnlyInsideItsBand)
{
    AxisObject xAxis = NewAxis(false);
    AxisObject yAxis = NewAxis(true);
    AttachMenu(xAxis);
    ChannelInfoRecord info = Described("mmHg", -1, 1);
    host_.HostAxisSetChannelInfo(xAxis, &info);
    host_.HostAxisSetTitle(xAxis, Pstr("Pressure"), 1);
    host_.HostAxisSetTitle(yAxis, Pstr("Flow"), 1);

    Rect port;
    GetWindowPortBounds(window_, &port);
    RGBColor red{0xFFFF, 0, 0};
    RGBForeColor(&red);
    MoveTo(7, 9);
    host_.HostDrawAxis(xAxis, 1);
    host_.HostDrawAxis(yAxis, 1);

    // The port is left as it was found.
    Rect clip;
    GetClip(&clip);
    EXPECT_TRUE(EqualRect(&clip, &port));
    RGBColor fore;
    GetForeColor(&fore);
    EXPECT_EQ(fore.red, 0xFFFF);
    EXPECT_EQ(fore.green, 0);
    Point pen;
    GetPen(&pen);
    EXPECT_EQ(pen.h, 7);
    EXPECT_EQ(pen.v, 9);

    for (int v = 0; v < 300; ++v)
        for (int h = 0; h < 400; ++h)
            if (!InRect(h, v, kXBand) && !InRect(h, v, kYBand)) {
                ASSERT_EQ(Pixel(h, v), kWhite) << h << "," << v;
            }

    // Scale lines along the plot edges.
    for (int h = kXBand.left; h < kXBand.right; ++h) ASSERT_GT(Darkness(Pixel(h, kXBand.top)), 200) << h;
    for (int v = kYBand.top; v < kYBand.bottom; ++v) ASSERT_GT(Darkness(Pixel(kYBand.right - 1, v)), 200) << v;

    // Every major tick has its mark and, next to it, label ink.
    Axis* x = AxisFromObject(xAxis);
    Axis* y = AxisFromObject(yAxis);
    int xLabels = 0;
    for (const AxisTick& t : x->Ticks()) {
        EXPECT_GT(Darkness(Pixel(t.pixel, kXBand.top + (t.major ? 4 : 2))), 200) << t.value;
        if (!t.major) continue;
        ++xLabels;
        Rect under{int16_t(kXBand.top + 5), int16_t(t.pixel - 8), int16_t(kXBand.top + 15), int16_t(t.pixel + 9)};
        EXPECT_GT(DarkestIn(under), 128) << "no label under " << t.label;
    }
    EXPECT_GE(xLabels, 3);
    int yLabels = 0;
    for (const AxisTick& t : y->Ticks()) {
        EXPECT_GT(Darkness(Pixel(kYBand.right - 1 - (t.major ? 4 : 2), t.pixel)), 200) << t.value;
        if (!t.major) continue;
        ++yLabels;
        Rect beside{int16_t(t.pixel - 4), int16_t(kYBand.left + 14), int16_t(t.pixel + 4), int16_t(kYBand.right - 6)};
        EXPECT_GT(DarkestIn(beside), 128) << "no label beside " << t.label;
    }
    EXPECT_GE(yLabels, 3);

    // Titles: the X title row and the Y title strip carry ink.
    EXPECT_GT(DarkestIn(x->TitleArea()), 200);
    EXPECT_GT(DarkestIn(y->TitleArea()), 200);
}

// Labels such as "-218360" are wider than the room between a Y axis's title
// strip and its ticks: the labels are shortened, and no label pixel ever lies
// in the title's box, whose pixels are those of the title drawn alone.
TEST_F(AxesTest, LongYLabelsLeaveTheTitleWhole)
{
    AxisObject yAxis = NewAxis(true);
    AttachMenu(yAxis);
    ChannelInfoRecord info = Described("uV", -250000, 250000, 0);
    host_.HostAxisSetChannelInfo(yAxis, &info);
    Axis* y = AxisFromObject(yAxis);
    const Rect title = y->TitleArea();
    Rect port;
    GetWindowPortBounds(window_, &port);
    auto draw = [&](const std::string& text, bool withUnits, double high, double low) {
        host_.HostAxisSetTitle(yAxis, Pstr(text), withUnits);
        y->SetRange(high, low);
        EraseRect(&port);
        host_.HostDrawAxis(yAxis, 1);
        std::vector<UInt32> box;
        for (int v = title.top; v < title.bottom; ++v)
            for (int h = title.left; h < title.right; ++h) box.push_back(Pixel(h, v));
        return box;
    };

    struct Case {
        double high, low;
        const char* label;  // one of the labels drawn
        const char* shown;  // the title as drawn
    };
    for (Case c :
         {Case{250000, -250000, "-200k", "GEC EC (uV)"}, Case{0, -218360, "-200k", "GEC EC (uV)"},
          Case{-218300, -218420, "-400", "GEC EC + 218000 (uV)"}, Case{2.5e9, 0, "2e9", "GEC EC (uV)"},
          Case{0.0025, -0.0025, "-2.0m", "GEC EC (uV)"}, Case{1000.04, 1000.01, "0.030", "GEC EC - 1000 (uV)"}}) {
        SCOPED_TRACE(testing::Message() << c.low << ".." << c.high);
        std::vector<UInt32> inCase = draw("GEC EC", true, c.high, c.low);
        EXPECT_EQ(y->TitleText(), c.shown);
        std::vector<std::string> labels;
        for (const AxisTick& t : y->Ticks())
            if (t.major) labels.push_back(t.label);
        EXPECT_NE(std::find(labels.begin(), labels.end(), c.label), labels.end()) << ::testing::PrintToString(labels);
        // Each label drawn, right of the title's box.
        for (const AxisTick& t : y->Ticks()) {
            if (!t.major) continue;
            Rect beside{int16_t(t.pixel - 3), title.right, int16_t(t.pixel + 3), int16_t(kYBand.right - 6)};
            EXPECT_GT(DarkestIn(beside), 128) << "no label beside " << t.label;
        }
        // The same title over short labels (-1 to 1), clear of its box.
        std::vector<UInt32> alone = draw(c.shown, false, 1, -1);
        ASSERT_GT(DarkestIn(title), 200);
        EXPECT_TRUE(inCase == alone) << "label ink in the title's box";
    }
}

TEST_F(AxesTest, TitleShowsUnitsOrVariesOrNothing)
{
    AxisObject axis = NewAxis(false);
    Axis* x = AxisFromObject(axis);
    host_.HostAxisSetTitle(axis, Pstr("Pressure"), 1);
    EXPECT_EQ(x->TitleText(), "Pressure");  // no channel described yet

    ChannelInfoRecord info = Described("mmHg", 0, 200);
    host_.HostAxisSetChannelInfo(axis, &info);
    EXPECT_EQ(x->TitleText(), "Pressure (mmHg)");

    host_.HostAxisSetOption(axis, 2, 1);
    EXPECT_EQ(x->TitleText(), "Pressure (varies)");
    host_.HostAxisSetChannelInfo(axis, &info);  // a single record describes the data again
    EXPECT_FALSE(x->HasOption(2));
    EXPECT_EQ(x->TitleText(), "Pressure (mmHg)");

    host_.HostAxisSetTitle(axis, Pstr("Pressure"), 0);
    EXPECT_EQ(x->TitleText(), "Pressure");

    ChannelInfoRecord none = info;
    none.bytes[ChannelInfoRecord::kFlagByte] = 0;
    host_.HostAxisSetTitle(axis, Pstr("Pressure"), 1);
    host_.HostAxisSetChannelInfo(axis, &none);
    EXPECT_EQ(x->TitleText(), "Pressure");
}

TEST_F(AxesTest, VaryingInfoDrawsTheScaleLabelsInGrey)
{
    AxisObject axis = NewAxis(false);
    ChannelInfoRecord info = Described("mmHg", -1, 1);
    host_.HostAxisSetChannelInfo(axis, &info);
    host_.HostAxisSetTitle(axis, Pstr("Pressure"), 1);
    Rect labels{int16_t(kXBand.top + 5), kXBand.left, int16_t(kXBand.top + 15), kXBand.right};

    host_.HostDrawAxis(axis, 1);
    EXPECT_GT(DarkestIn(labels), 200);
    host_.HostAxisSetOption(axis, 2, 1);
    host_.HostDrawAxis(axis, 1);
    int darkest = DarkestIn(labels);
    EXPECT_GT(darkest, 60);
    EXPECT_LT(darkest, 140);
}

TEST_F(AxesTest, ClickOutsideTheBandIsNotTheAxis)
{
    AxisObject axis = NewAxis(false);
    AttachMenu(axis);
    EventRecord inPlot = MouseDown(200, 100);
    EventRecord justAbove = MouseDown(200, kXBand.top - 1);
    EventRecord rightEdge = MouseDown(kXBand.right, kXBand.top + 20);
    EXPECT_EQ(host_.HostAxisClick(axis, &inPlot), 0);
    EXPECT_EQ(host_.HostAxisClick(axis, &justAbove), 0);
    EXPECT_EQ(host_.HostAxisClick(axis, &rightEdge), 0);
    EXPECT_EQ(input_.popups + input_.drags, 0);
}

TEST_F(AxesTest, TitlePopupChoosesAChannelAsChannelPlusOne)
{
    std::vector<std::string> titles;
    for (int c = 1; c <= 32; ++c) titles.push_back("Ch " + std::to_string(c));
    SetChannels(titles);
    AxisObject xAxis = NewAxis(false);
    AxisObject yAxis = NewAxis(true);
    AttachMenu(xAxis);
    AttachMenu(yAxis);
    EventRecord xTitle = MouseDown(218, kXBand.top + 20);
    EventRecord yTitle = MouseDown(kYBand.left + 4, 146);

    input_.popupItem = firstChannelItem_;
    EXPECT_EQ(host_.HostAxisClick(xAxis, &xTitle), 2);
    input_.popupItem = int16_t(firstChannelItem_ + 31);
    EXPECT_EQ(host_.HostAxisClick(xAxis, &xTitle), 33);
    input_.popupItem = int16_t(firstChannelItem_ + 1);
    EXPECT_EQ(host_.HostAxisClick(yAxis, &yTitle), 3);
    input_.popupItem = 0;  // dismissed
    EXPECT_EQ(host_.HostAxisClick(yAxis, &yTitle), 1);
    EXPECT_EQ(input_.popups, 4);
    EXPECT_EQ(input_.drags, 0);
    EXPECT_EQ(Range(xAxis), std::make_pair(kFull, -kFull));
}

TEST_F(AxesTest, RangeItemsOfThePopupChangeTheRange)
{
    AxisObject axis = NewAxis(true);
    AttachMenu(axis);
    EventRecord title = MouseDown(kYBand.left + 4, 100);

    input_.popupItem = 1;  // Zoom In
    EXPECT_LT(host_.HostAxisClick(axis, &title), 0);
    EXPECT_EQ(Range(axis), std::make_pair(kFull / 2, -kFull / 2));
    Rect invalid;
    ASSERT_TRUE(GetWindowUpdateRect(window_, &invalid));
    Rect covered;
    SectRect(&invalid, &kYBand, &covered);
    EXPECT_TRUE(EqualRect(&covered, &kYBand)) << "the band must be redrawn with its new scale";

    input_.popupItem = 2;  // Zoom Out
    EXPECT_LT(host_.HostAxisClick(axis, &title), 0);
    EXPECT_EQ(Range(axis), std::make_pair(kFull, -kFull));

    input_.popupItem = 3;  // Channel Range: nothing known about the channel yet
    EXPECT_EQ(host_.HostAxisClick(axis, &title), 1);
    ChannelInfoRecord info = Described("L/s", -50, 150);
    host_.HostAxisSetChannelInfo(axis, &info);
    EXPECT_LT(host_.HostAxisClick(axis, &title), 0);
    EXPECT_EQ(Range(axis), std::make_pair(150.0, -50.0));

    input_.popupItem = 4;  // the divider
    EXPECT_EQ(host_.HostAxisClick(axis, &title), 1);

    host_.HostAxisSetOption(axis, 8, 1);  // fixed range
    input_.popupItem = 1;
    EXPECT_EQ(host_.HostAxisClick(axis, &title), 1);
    EXPECT_EQ(Range(axis), std::make_pair(150.0, -50.0));
}

// Zooming in stops where a double can no longer resolve the span; whatever
// range an axis is given, drawing ends and stays in its band.
TEST_F(AxesTest, ZoomInStopsAtTheResolutionAndAnyRangeDraws)
{
    AxisObject axis = NewAxis(true);
    AttachMenu(axis);
    EventRecord title = MouseDown(kYBand.left + 4, 100);
    AxisFromObject(axis)->SetRange(200, 100);
    input_.popupItem = 1;  // Zoom In
    int zooms = 0;
    while (zooms < 64 && host_.HostAxisClick(axis, &title) < 0) {
        ++zooms;
        host_.HostDrawAxis(axis, 1);
    }
    EXPECT_GT(zooms, 20);
    EXPECT_LT(zooms, 48);
    auto [high, low] = Range(axis);
    EXPECT_GE(high - low, 1e-9 * 150);
    EXPECT_EQ(host_.HostAxisClick(axis, &title), 1);  // refused again, nothing changed
    EXPECT_EQ(Range(axis), std::make_pair(high, low));

    const double inf = INFINITY, huge = 1.7e308, tiny = 4.9e-324;
    const std::vector<std::pair<double, double>> ranges = {
        {150 + 3.5e-13, 150}, {1e17 + 64, 1e17}, {-1e300, 1e300}, {huge, -huge}, {tiny, 0}, {2 * tiny, -tiny},
        {150, 150},           {NAN, 0},          {inf, 0},        {0, -inf},     {NAN, NAN}};
    Axis* y = AxisFromObject(axis);
    Axis* x = AxisFromObject(NewAxis(false));
    host_.HostAxisSetOption(axis, 4, 1);  // minor ticks as well
    for (auto [rangeHigh, rangeLow] : ranges) {
        for (Axis* a : {x, y}) {
            SCOPED_TRACE(testing::Message() << rangeLow << ".." << rangeHigh);
            a->SetRange(rangeHigh, rangeLow);
            RGBColor white{0xFFFF, 0xFFFF, 0xFFFF};
            RGBBackColor(&white);
            Rect port;
            GetWindowPortBounds(window_, &port);
            EraseRect(&port);
            a->Draw();
            for (const AxisTick& t : a->Ticks()) EXPECT_TRUE(std::isfinite(t.value));
            Rect band = a->Bounds();
            for (int v = 0; v < port.bottom; v += 3) {
                for (int h = 0; h < port.right; h += 3) {
                    if (!InRect(h, v, band)) {
                        ASSERT_EQ(Pixel(h, v), kWhite) << h << "," << v;
                    }
                }
            }
        }
    }
}

TEST_F(AxesTest, DraggingTheScalePansByTheDraggedDistance)
{
    AxisObject xAxis = NewAxis(false);
    AxisObject yAxis = NewAxis(true);
    AttachMenu(xAxis);

    EventRecord onXScale = MouseDown(200, kXBand.top + 8);
    input_.dragTo = Point{int16_t(kXBand.top + 12), 234};  // 34 to the right, 4 down
    EXPECT_LT(host_.HostAxisClick(xAxis, &onXScale), 0);
    auto [xHigh, xLow] = Range(xAxis);
    EXPECT_NEAR(xHigh, kFull - 34 / 171.008, 1e-12);
    EXPECT_NEAR(xLow, -kFull - 34 / 171.008, 1e-12);
    // The value that was under the press is now under the release.
    Axis* x = AxisFromObject(xAxis);
    double before = -kFull + (200 - 51) / 171.008;
    EXPECT_EQ(x->PixelOf(before), 234);

    EventRecord onYScale = MouseDown(40, 100);
    input_.dragTo = Point{125, 30};  // 25 down
    EXPECT_LT(host_.HostAxisClick(yAxis, &onYScale), 0);
    auto [yHigh, yLow] = Range(yAxis);
    EXPECT_NEAR(yHigh, kFull + 25 / 125.44, 1e-12);
    EXPECT_NEAR(yLow, -kFull + 25 / 125.44, 1e-12);

    // Moving only across the axis changes nothing.
    input_.dragTo = Point{100, 10};
    EXPECT_EQ(host_.HostAxisClick(yAxis, &onYScale), 1);
    EXPECT_NEAR(Range(yAxis).first, yHigh, 0);

    input_.dragTo.reset();  // a plain click
    EXPECT_EQ(host_.HostAxisClick(xAxis, &onXScale), 1);
    EXPECT_EQ(Range(xAxis), std::make_pair(xHigh, xLow));

    host_.HostAxisSetOption(xAxis, 8, 1);
    input_.dragTo = Point{int16_t(kXBand.top + 8), 150};
    EXPECT_EQ(host_.HostAxisClick(xAxis, &onXScale), 1);
    EXPECT_EQ(Range(xAxis), std::make_pair(xHigh, xLow));
    EXPECT_EQ(input_.popups, 0);
}

TEST_F(AxesTest, CursorCodesTellScaleFromTitle)
{
    AxisObject xAxis = NewAxis(false);
    AxisObject yAxis = NewAxis(true);
    AttachMenu(xAxis);
    EXPECT_EQ(host_.HostAxisCursor(Point{100, 200}, xAxis), 0);
    EXPECT_EQ(host_.HostAxisCursor(Point{int16_t(kXBand.top + 3), 200}, xAxis), 1);
    EXPECT_EQ(host_.HostAxisCursor(Point{int16_t(kXBand.top + 22), 200}, xAxis), 2);
    // Without a menu the title opens nothing: it is part of the scale.
    EXPECT_EQ(host_.HostAxisCursor(Point{146, int16_t(kYBand.left + 3)}, yAxis), 1);
    EXPECT_EQ(host_.HostAxisCursor(Point{146, kYBand.right}, yAxis), 0);
    // Nor with a menu not given as a popup, or with the title option off.
    MenuRef plain = NewMenu(1002, Pstr("Plain"));
    host_.HostAxisSetMenu(yAxis, plain, 0);
    EXPECT_EQ(host_.HostAxisCursor(Point{146, int16_t(kYBand.left + 3)}, yAxis), 1);
    host_.HostAxisSetOption(xAxis, 32, 0);
    EXPECT_EQ(host_.HostAxisCursor(Point{int16_t(kXBand.top + 22), 200}, xAxis), 1);
}

TEST_F(AxesTest, AddChannelItemsKeepsExactlyOneItemPerChannel)
{
    AxisObject axis = NewAxis(false);
    SetChannels({"Pressure", "Flow; (L/s)", "(Volume"});
    MenuRef menu = AttachMenu(axis);
    ASSERT_EQ(firstChannelItem_, 5);
    EXPECT_EQ(recorder::FirstChannelItemOf(menu), 5);
    auto items = [&] {
        std::vector<std::string> texts;
        for (SInt16 i = 1; i <= CountMenuItems(menu); ++i) {
            Str255 text;
            GetMenuItemText(menu, i, text);
            texts.push_back(PascalToString(text));
        }
        return texts;
    };
    EXPECT_EQ(items(), (std::vector<std::string>{"Zoom In", "Zoom Out", "Channel Range", "-", "Pressure", "Flow; (L/s)",
                                                 "(Volume"}));
    EXPECT_TRUE(IsMenuItemEnabled(menu, 7));

    // A refill after the channels changed: fewer channels, a new title, an empty one.
    SetChannels({"Pressure", ""});
    CheckMenuItem(menu, 7, true);
    host_.HostAddChannelItems(menu, 5, 0, 0);
    EXPECT_EQ(items(),
              (std::vector<std::string>{"Zoom In", "Zoom Out", "Channel Range", "-", "Pressure", "Channel 2"}));
    SetChannels({"A", "B", "C", "D"});
    host_.HostAddChannelItems(menu, 5, 0, 0);
    host_.HostAddChannelItems(menu, 5, 0, 0);
    EXPECT_EQ(CountMenuItems(menu), 4 + 4);
    SInt16 mark = -1;
    GetItemMark(menu, 7, &mark);
    EXPECT_EQ(mark, noMark) << "refilled items start unchecked";

    // A first item past the end: channel 1 still lands on it.
    MenuRef other = NewMenu(1001, Pstr("Other"));
    AppendMenu(other, Pstr("Zoom In"));
    host_.HostAddChannelItems(other, 4, 0, 0);
    ASSERT_EQ(CountMenuItems(other), 3 + 4);
    Str255 text;
    GetMenuItemText(other, 4, text);
    EXPECT_EQ(PascalToString(text), "A");
    EXPECT_EQ(recorder::FirstChannelItemOf(other), 4);
    DisposeMenu(other);
}

TEST_F(AxesTest, DisposeReleasesTheAxisAndItsMenuAndStaleObjectsAreIgnored)
{
    int menusBefore = GetToolboxObjectCounts().menus;
    AxisObject axis = NewAxis(false);
    AttachMenu(axis);
    EXPECT_EQ(GetToolboxObjectCounts().menus, menusBefore + 1);
    EXPECT_EQ(CountLiveAxes(), liveAxes_ + 1);
    host_.HostDisposeAxis(axis);
    axes_.clear();
    EXPECT_EQ(CountLiveAxes(), liveAxes_);
    EXPECT_EQ(GetToolboxObjectCounts().menus, menusBefore);

    // A disposed or foreign axis is not touched.
    EventRecord click = MouseDown(200, kXBand.top + 3);
    EXPECT_EQ(host_.HostAxisClick(axis, &click), 0);
    EXPECT_EQ(host_.HostAxisCursor(click.where, axis), 0);
    Rect none = host_.HostAxisGetBounds(axis);
    EXPECT_TRUE(EmptyRect(&none));
    double high = 7, low = 7;
    host_.HostAxisGetRange(axis, &high, &low);
    EXPECT_EQ(high, 7);
    host_.HostDrawAxis(nullptr, 1);
    host_.HostDisposeAxis(axis);
    EXPECT_EQ(CountLiveAxes(), liveAxes_);
    EXPECT_LT(reinterpret_cast<uintptr_t>(AxisFromObject(NewAxis(true))), uintptr_t(1) << 32);
}

// A window as the plot draws it: a trace, both axes and the frame, kept
// apart. Left as axes.png in the test output folder for a person to look at.
TEST_F(AxesTest, RendersACleanPlotWindow)
{
    AxisObject xAxis = NewAxis(false);
    AxisObject yAxis = NewAxis(true);
    AttachMenu(xAxis);
    AttachMenu(yAxis);
    ChannelInfoRecord pressure = Described("mmHg", -1, 1);
    ChannelInfoRecord flow = Described("L/s", -1, 1, 1);
    host_.HostAxisSetChannelInfo(xAxis, &pressure);
    host_.HostAxisSetChannelInfo(yAxis, &flow);
    host_.HostAxisSetTitle(xAxis, Pstr("Pressure"), 1);
    host_.HostAxisSetTitle(yAxis, Pstr("Flow"), 1);

    Axis* x = AxisFromObject(xAxis);
    Axis* y = AxisFromObject(yAxis);
    RGBColor blue{0x1000, 0x3000, 0xC000};
    RGBForeColor(&blue);
    ClipRect(&kPlot);
    for (int i = 0; i <= 400; ++i) {
        double t = i / 400.0 * 6.283185307;
        int16_t h = x->PixelOf(0.8 * std::sin(3 * t));
        int16_t v = y->PixelOf(0.7 * std::sin(2 * t + 0.5));
        if (i == 0)
            MoveTo(h, v);
        else
            LineTo(h, v);
    }
    Rect port;
    GetWindowPortBounds(window_, &port);
    ClipRect(&port);
    RGBColor black{0, 0, 0};
    RGBForeColor(&black);
    host_.HostDrawAxis(xAxis, 1);
    host_.HostDrawAxis(yAxis, 1);
    MoveTo(kPlot.left - 1, kPlot.top);
    LineTo(kPlot.left - 1, kPlot.bottom);
    LineTo(kPlot.right, kPlot.bottom);

    EXPECT_TRUE(WritePortPng(GetWindowPort(window_), TestOutputPath("axes.png")));
    EXPECT_TRUE(WritePortPng(GetWindowPort(window_), TestOutputPath("axes_3x.png"), 3));

    // The trace stays inside the plot, the axes inside their bands: nothing
    // but white lies elsewhere, beyond the frame's two lines.
    for (int v = 0; v < 300; ++v)
        for (int h = 0; h < 400; ++h) {
            UInt32 p = Pixel(h, v);
            bool frame = (h == kPlot.left - 1 && v >= kPlot.top && v <= kPlot.bottom) ||
                         (v == kPlot.bottom && h >= kPlot.left - 1 && h <= kPlot.right);
            if (p == 0x1030C0) {
                EXPECT_TRUE(InRect(h, v, kPlot)) << h << "," << v;
            } else if (!InRect(h, v, kPlot) && !InRect(h, v, kXBand) && !InRect(h, v, kYBand) && !frame) {
                EXPECT_EQ(p, kWhite) << h << "," << v;
            }
        }

    // Varying settings turn the Y axis's title and labels grey, and nothing black is left there.
    auto blackIn = [&](const Rect& r) {
        int count = 0;
        for (int v = r.top; v < r.bottom; ++v)
            for (int h = r.left; h < r.right - 1; ++h) count += Pixel(h, v) == 0x000000;
        return count;
    };
    Rect yLabels{kYBand.top, kYBand.left, kYBand.bottom, int16_t(kYBand.right - 6)};
    EXPECT_GT(blackIn(yLabels), 50);
    host_.HostAxisSetOption(yAxis, 2, 1);
    host_.HostDrawAxis(yAxis, 1);
    EXPECT_TRUE(WritePortPng(GetWindowPort(window_), TestOutputPath("axes_varies.png"), 2));
    EXPECT_EQ(blackIn(yLabels), 0);
    EXPECT_EQ(y->TitleText(), "Flow (varies)");
}

}  // namespace
