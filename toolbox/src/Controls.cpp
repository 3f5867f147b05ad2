// Control Manager: push buttons, check boxes, radio buttons and the small
// 16 x 16 icon button, drawn in software with the port's text settings.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "ToolboxInternal.h"
#include "toolbox/InputSource.h"

using namespace toolbox;

namespace {

constexpr SInt16 kControlRadioButtonPart = 12;
constexpr SInt16 kInactive = 255;

// 254 and 255 both mean inactive on the platform.
bool IsActive(ControlRef c) { return c->hilite < 254; }
bool IsPressed(ControlRef c) { return c->hilite > 0 && c->hilite < 254; }

SInt16 PartOf(ControlRef c)
{
    switch (c->procID) {
    case checkBoxProc:
        return kControlCheckBoxPart;
    case radioButProc:
        return kControlRadioButtonPart;
    default:
        return kControlButtonPart;
    }
}

SInt16 ClampValue(ControlRef c, SInt16 value)
{
    return std::clamp(value, c->minimum, std::max(c->minimum, c->maximum));
}

void Fill(CGrafPtr port, int top, int left, int bottom, int right, UInt32 pixel)
{
    FillRectInPort(port, Rect{SInt16(top), SInt16(left), SInt16(bottom), SInt16(right)}, pixel);
}

// An outline with its four corner pixels left out: a slightly rounded frame.
void RoundedFrame(CGrafPtr port, const Rect& r, UInt32 pixel)
{
    Fill(port, r.top, r.left + 1, r.top + 1, r.right - 1, pixel);
    Fill(port, r.bottom - 1, r.left + 1, r.bottom, r.right - 1, pixel);
    Fill(port, r.top + 1, r.left, r.bottom - 1, r.left + 1, pixel);
    Fill(port, r.top + 1, r.right - 1, r.bottom - 1, r.right, pixel);
}

// The title in the port's font, its baseline centring the text in [top, bottom).
void DrawTitleAt(CGrafPtr port, const std::string& title, int h, int top, int bottom, UInt32 pixel)
{
    FontInfo info;
    GetFontInfo(&info);
    const int baseline = (top + bottom + info.ascent - info.descent) / 2;
    const UInt32 savedFore = port->forePixel;
    port->forePixel = pixel;
    port->pen = Point{SInt16(baseline), SInt16(h)};
    DrawTextAt(port, title.data(), int(title.size()));
    port->forePixel = savedFore;
}

// ---- Icon button glyphs: 12 x 12, 4 x 4 samples a pixel ----

// Colour of one sample, alpha in the top byte (0: nothing there).
using GlyphShader = UInt32 (*)(double x, double y);

UInt32 EraserSample(double x, double y)
{
    // A block tilted 45 degrees: u runs along it (tip to the upper right), w across.
    const double u = (x - y) / std::sqrt(2.0), w = (x + y - 11.0) / std::sqrt(2.0);
    const double halfLength = 5.6, halfWidth = 2.4, outline = 0.85;
    if (y > 10.9 && y < 12.0 && x > 1.0 && x < 12.0) return 0xFF8A8A8A;  // the line it wipes
    if (std::fabs(u) > halfLength || std::fabs(w) > halfWidth) return 0;
    if (std::fabs(u) > halfLength - outline || std::fabs(w) > halfWidth - outline) return 0xFF3C3C3C;
    if (std::fabs(u - 1.0) < outline / 2) return 0xFF3C3C3C;  // band between tip and body
    return u > 1.0 ? 0xFFE5596E : 0xFFFFFFFF;
}

UInt32 GearSample(double x, double y)
{
    const double dx = x - 6.0, dy = y - 6.0;
    const double r = std::sqrt(dx * dx + dy * dy), angle = std::atan2(dy, dx);
    const double teeth = std::cos(8.0 * angle + 0.4) > 0.1 ? 5.9 : 4.4;
    if (r > teeth || r < 1.9) return 0;
    return 0xFF4A4A4A;
}

void DrawGlyph(CGrafPtr port, int left, int top, GlyphShader shader, bool dimmed)
{
    constexpr int kSamples = 4;
    for (int py = 0; py < 12; ++py) {
        for (int px = 0; px < 12; ++px) {
            unsigned r = 0, g = 0, b = 0, covered = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const UInt32 c = shader(px + (sx + 0.5) / kSamples, py + (sy + 0.5) / kSamples);
                    if (!(c >> 24)) continue;
                    ++covered;
                    r += (c >> 16) & 0xFF;
                    g += (c >> 8) & 0xFF;
                    b += c & 0xFF;
                }
            }
            if (!covered) continue;
            const UInt32 color = ((r / covered) << 16) | ((g / covered) << 8) | (b / covered);
            unsigned alpha = covered * 255 / (kSamples * kSamples);
            if (dimmed) alpha = alpha * 2 / 5;
            BlendPixel(port, left + px, top + py, color, alpha);
        }
    }
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

void DrawIconButton(CGrafPtr port, ControlRef c)
{
    const Rect& r = c->bounds;
    const bool active = IsActive(c);
    Fill(port, r.top + 1, r.left + 1, r.bottom - 1, r.right - 1, IsPressed(c) ? 0xC9CED6 : 0xF3F3F3);
    RoundedFrame(port, r, active ? 0x8A8A8A : 0xC8C8C8);
    const int left = (r.left + r.right) / 2 - 6, top = (r.top + r.bottom) / 2 - 6;
    if (StartsWith(c->title, "Erase")) {
        DrawGlyph(port, left, top, EraserSample, !active);
    } else if (StartsWith(c->title, "Settings")) {
        DrawGlyph(port, left, top, GearSample, !active);
    } else if (!c->title.empty()) {
        const std::string letter = c->title.substr(0, 1);
        const int width = MeasureText(port, letter.data(), 1);
        DrawTitleAt(port, letter, (r.left + r.right - width) / 2, r.top, r.bottom, active ? 0x303030 : 0xA8A8A8);
    }
}

void DrawPushButton(CGrafPtr port, ControlRef c)
{
    const Rect& r = c->bounds;
    const bool active = IsActive(c);
    Fill(port, r.top + 1, r.left + 1, r.bottom - 1, r.right - 1, IsPressed(c) ? 0xC9D6EA : 0xFAFAFA);
    Fill(port, r.bottom - 2, r.left + 1, r.bottom - 1, r.right - 1, IsPressed(c) ? 0xB9C6DA : 0xE6E6E6);
    RoundedFrame(port, r, active ? 0x6E6E6E : 0xBDBDBD);
    const int width = MeasureText(port, c->title.data(), int(c->title.size()));
    DrawTitleAt(port, c->title, (r.left + r.right - width) / 2, r.top, r.bottom, active ? 0x000000 : 0xA0A0A0);
}

void DrawCheckBox(CGrafPtr port, ControlRef c, bool radio)
{
    const Rect& r = c->bounds;
    const bool active = IsActive(c);
    const int top = (r.top + r.bottom) / 2 - 6, left = r.left + 1;
    const UInt32 ink = active ? 0x202020 : 0xA8A8A8, edge = active ? 0x6E6E6E : 0xBDBDBD;
    const UInt32 face = IsPressed(c) ? 0xC9D6EA : 0xFFFFFF;
    if (radio) {
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 12; ++x) {
                const double d = std::hypot(x + 0.5 - 6.0, y + 0.5 - 6.0);
                if (d <= 6.0)
                    BlendPixel(port, left + x, top + y, d > 5.0 ? edge : face, unsigned(std::min(1.0, 6.0 - d) * 255));
                if (c->value && d <= 2.8)
                    BlendPixel(port, left + x, top + y, ink, unsigned(std::min(1.0, 2.8 - d) * 255));
            }
        }
    } else {
        Fill(port, top, left, top + 12, left + 12, face);
        RoundedFrame(port, Rect{SInt16(top), SInt16(left), SInt16(top + 12), SInt16(left + 12)}, edge);
        if (c->value == 1) {
            const UInt32 savedFore = port->forePixel;
            port->forePixel = ink;
            for (int thick = 0; thick < 2; ++thick) {
                port->pen = Point{SInt16(top + 5 + thick), SInt16(left + 2)};
                LineTo(SInt16(left + 4), SInt16(top + 7 + thick));
                LineTo(SInt16(left + 9), SInt16(top + 2 + thick));
            }
            port->forePixel = savedFore;
        } else if (c->value > 1) {
            Fill(port, top + 5, left + 3, top + 7, left + 9, ink);  // mixed
        }
    }
    DrawTitleAt(port, c->title, left + 16, r.top, r.bottom, active ? 0x000000 : 0xA0A0A0);
}

void DrawControlIn(CGrafPtr port, ControlRef c)
{
    if (!port || !c->visible) return;
    const CGrafPtr saved = CurrentPort();
    SetPort(port);  // text measuring and lines act on the current port
    switch (c->procID) {
    case kControlSmallIconButtonProc:
        DrawIconButton(port, c);
        break;
    case checkBoxProc:
        DrawCheckBox(port, c, false);
        break;
    case radioButProc:
        DrawCheckBox(port, c, true);
        break;
    default:
        DrawPushButton(port, c);
        break;
    }
    SetPort(saved);
}

// What the platform does after a change of state: draw again at once.
void Redraw(ControlRef c)
{
    if (c->owner && c->owner->visible) DrawControlIn(c->owner->port, c);
}

}  // namespace

namespace toolbox {

void DeleteControl(ControlRef control)
{
    LowDelete(control);
    --gCounts.controls;
}

}  // namespace toolbox

ControlRef NewControl(WindowRef owner, const Rect* bounds, ConstStr255Param title, Boolean visible, SInt16 value,
                      SInt16 minimum, SInt16 maximum, SInt16 procID, SInt32 refCon)
{
    if (!owner || !bounds) return nullptr;
    ControlRef c = LowNew<OpaqueControlRef>();
    c->owner = owner;
    c->bounds = *bounds;
    c->title = title ? PascalToString(title) : std::string();
    c->minimum = minimum;
    c->maximum = maximum;
    c->value = ClampValue(c, value);
    c->procID = procID;
    c->refCon = refCon;
    c->visible = visible;
    owner->controls.push_back(c);
    ++gCounts.controls;
    Redraw(c);
    return c;
}

void DisposeControl(ControlRef control)
{
    if (!control) return;
    if (WindowRef owner = control->owner) {
        auto& list = owner->controls;
        list.erase(std::remove(list.begin(), list.end(), control), list.end());
    }
    DeleteControl(control);
}

void DrawControls(WindowRef window)
{
    if (!window) return;
    for (ControlRef c : window->controls) DrawControlIn(CurrentPort(), c);
}

void Draw1Control(ControlRef control)
{
    if (control) Redraw(control);
}

SInt16 TrackControl(ControlRef control, Point startPoint, ControlActionUPP)
{
    InputSource* source = GetInputSource();
    if (!control || !source || !control->visible || !IsActive(control)) return kControlNoPart;
    return source->TrackControl(control, startPoint) ? PartOf(control) : SInt16(kControlNoPart);
}

SInt16 FindControl(Point where, WindowRef window, ControlRef* control)
{
    if (control) *control = nullptr;
    if (!window) return kControlNoPart;
    for (auto it = window->controls.rbegin(); it != window->controls.rend(); ++it) {
        ControlRef c = *it;
        if (!c->visible || !IsActive(c) || !PtInRect(where, &c->bounds)) continue;
        if (control) *control = c;
        return PartOf(c);
    }
    return kControlNoPart;
}

Rect* GetControlBounds(ControlRef control, Rect* bounds)
{
    if (bounds) *bounds = control ? control->bounds : Rect{0, 0, 0, 0};
    return bounds;
}

WindowRef GetControlOwner(ControlRef control) { return control ? control->owner : nullptr; }
SInt32 GetControlReference(ControlRef control) { return control ? control->refCon : 0; }

void GetControlTitle(ControlRef control, Str255 title)
{
    if (title) CopyCStringToPascal(control ? control->title : std::string(), title);
}

SInt16 GetControlValue(ControlRef control) { return control ? control->value : 0; }

void SetControlValue(ControlRef control, SInt16 value)
{
    if (!control) return;
    value = ClampValue(control, value);
    if (value == control->value) return;
    control->value = value;
    Redraw(control);
}

void HiliteControl(ControlRef control, SInt16 hiliteState)
{
    if (!control) return;
    const SInt16 state = std::clamp<SInt16>(hiliteState, 0, kInactive);
    if (state == control->hilite) return;
    control->hilite = state;
    Redraw(control);
}

Boolean IsControlActive(ControlRef control) { return control && IsActive(control); }
Boolean IsControlVisible(ControlRef control) { return control && control->visible; }
SInt16 GetControlProcID(ControlRef control) { return control ? control->procID : 0; }

UInt16 CountWindowControls(WindowRef window) { return window ? UInt16(window->controls.size()) : 0; }

ControlRef GetIndexedWindowControl(WindowRef window, UInt16 index)
{
    if (!window || index < 1 || index > window->controls.size()) return nullptr;
    return window->controls[index - 1];
}
