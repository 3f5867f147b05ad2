// Pictures of a plot-like window and a dialog, written as PNG files beside
// the test program (in the tests' output folder) for a person to look at, with checks on what they show.
#include "ToolboxTestSupport.h"

namespace {

// The port's pixels inside r, row by row.
std::vector<UInt32> PixelsIn(CGrafPtr port, const Rect& r)
{
    std::vector<UInt32> pixels;
    for (SInt16 v = r.top; v < r.bottom; ++v)
        for (SInt16 h = r.left; h < r.right; ++h) pixels.push_back(GetPortPixel(port, h, v));
    return pixels;
}

// Pixels inside r dark enough to be text or lines on any background.
int DarkInside(CGrafPtr port, const Rect& r)
{
    int dark = 0;
    for (UInt32 p : PixelsIn(port, r))
        dark += ((p >> 16) & 0xFF) < 0x80 && ((p >> 8) & 0xFF) < 0x80 && (p & 0xFF) < 0x80;
    return dark;
}

TEST(Look, PlotWindowWithIconButtonsTextAndGrowIcon)
{
    const Rect bounds{60, 40, 260, 340};
    WindowRef w =
        NewCWindow(nullptr, &bounds, Pstr("Real-Time X-Y"), true, 8, reinterpret_cast<WindowRef>(-1), true, 0);
    CGrafPtr port = GetWindowPort(w);
    SetPort(port);
    SetThemeWindowBackground(w, kThemeBrushDocumentWindowBackground, false);
    Rect r;
    SetRect(&r, 1, 1, 17, 17);
    NewControl(w, &r, Pstr("Erase Now"), true, 0, 0, 0, kControlSmallIconButtonProc, 1000);
    OffsetRect(&r, 15, 0);
    ControlRef settings = NewControl(w, &r, Pstr("Settings\xC9"), true, 0, 0, 0, kControlSmallIconButtonProc, 1001);
    const Rect all{0, 0, 200, 300};
    EraseRect(&all);
    TextFont(applFont);
    TextSize(9);
    TextFace(bold);
    DrawControls(w);
    TextFace(normal);
    const Rect plot{23, 51, 168, 285};
    MoveTo(plot.left - 1, plot.top);
    LineTo(plot.left - 1, plot.bottom);
    LineTo(plot.right, plot.bottom);
    ClipRect(&plot);
    const RGBColor blue{0x1000, 0x4000, 0xC000};
    RGBForeColor(&blue);
    MoveTo(60, 150);
    for (int i = 1; i < 60; ++i) LineTo(SInt16(60 + i * 3 + (i % 7)), SInt16(150 - i * 2 + (i % 5) * 3));
    const RGBColor black{0, 0, 0};
    RGBForeColor(&black);
    ClipRect(&all);
    MoveTo(55, 184);
    DrawString(Pstr("Volts 1.5 \xB5V \xB1 2\xA1 \xC9 Time (s)"));
    MoveTo(40, 12);
    TextSize(12);
    DrawString(Pstr("Channel 1 vs Channel 2"));
    const Rect grow{200 - 12, 300 - 12, 200, 300};
    ClipRect(&grow);
    DrawGrowIcon(w);
    ClipRect(&all);
    EXPECT_TRUE(WritePortPng(port, TestOutputPath("toolbox_look_window.png")));

    // The text line lies where it was drawn, and the grow icon in its corner.
    int textPixels = 0, growPixels = 0;
    for (const auto& [h, v] : InkedIn(port)) {
        if (v >= 174 && v <= 187 && h >= 55) ++textPixels;
        if (v >= 188 && h >= 288) ++growPixels;
    }
    EXPECT_GT(textPixels, 100);
    EXPECT_GT(growPixels, 5);

    // Dimming the settings button changes its pixels and no others.
    Rect settingsBounds, eraseOnly{1, 1, 17, 16};
    GetControlBounds(settings, &settingsBounds);
    Rect settingsOnly{settingsBounds.top, SInt16(settingsBounds.left + 1), settingsBounds.bottom, settingsBounds.right};
    const std::vector<UInt32> active = PixelsIn(port, settingsOnly);
    const std::vector<UInt32> erase = PixelsIn(port, eraseOnly);
    HiliteControl(settings, 255);
    EXPECT_TRUE(WritePortPng(port, TestOutputPath("toolbox_look_window_dimmed.png")));
    EXPECT_NE(PixelsIn(port, settingsOnly), active);
    EXPECT_EQ(PixelsIn(port, eraseOnly), erase);
    DisposeWindow(w);
    SetPort(nullptr);
}

TEST(Look, SettingsDialog)
{
    ResourceScope resources(R"({ "DLOG": { "1000": {
      "bounds": [100, 100, 230, 420], "title": "Erase Time", "visible": true,
      "defaultItem": 1, "cancelItem": 2,
      "items": [
        { "kind": "button", "bounds": [96, 230, 116, 300], "text": "OK" },
        { "kind": "button", "bounds": [96, 140, 116, 210], "text": "Cancel" },
        { "kind": "staticText", "bounds": [12, 14, 48, 300], "text": "Erase the trace automatically every so many minutes while sampling.", "enabled": false },
        { "kind": "editText", "bounds": [60, 120, 76, 180], "text": "1.5" },
        { "kind": "checkBox", "bounds": [58, 14, 76, 110], "text": "Auto erase" },
        { "kind": "staticText", "bounds": [60, 188, 76, 260], "text": "minutes", "enabled": false }
      ] } } })");
    DialogRef dialog = GetNewDialog(1000, nullptr, reinterpret_cast<WindowRef>(-1));
    ASSERT_NE(dialog, nullptr);
    CGrafPtr port = GetWindowPort(GetDialogWindow(dialog));
    DrawDialog(dialog);
    const Rect checkBox{58, 14, 76, 30};
    const std::vector<UInt32> unchecked = PixelsIn(port, checkBox);
    SetDialogItemValue(dialog, 5, 1);
    DrawDialog(dialog);
    EXPECT_TRUE(WritePortPng(port, TestOutputPath("toolbox_look_dialog.png")));

    // The check mark shows; each text lies inside its item, the wrapped one
    // on two lines and short of the item's right edge.
    EXPECT_NE(PixelsIn(port, checkBox), unchecked);
    EXPECT_GT(DarkInside(port, Rect{60, 120, 76, 180}), 20);   // "1.5"
    EXPECT_GT(DarkInside(port, Rect{96, 230, 116, 300}), 20);  // OK
    EXPECT_GT(DarkInside(port, Rect{12, 14, 30, 300}), 100);   // the first line
    EXPECT_GT(DarkInside(port, Rect{30, 14, 48, 300}), 50);    // the second
    EXPECT_EQ(DarkInside(port, Rect{12, 300, 48, 320}), 0);
    DisposeDialog(dialog);
}

}  // namespace
