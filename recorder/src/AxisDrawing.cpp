// How an axis looks: its scale line, ticks, labels and title drawn into the
// current port, within its band (the layout is in AxisLayout.h).
#include <algorithm>
#include <vector>

#include "AxisLayout.h"
#include "recorder/Axis.h"
#include "recorder/TurnedText.h"
#include "toolbox/Pictures.h"
#include "toolbox/Toolbox.h"

namespace recorder {
namespace {

RGBColor ColorOf(uint32_t rgb)
{
    return RGBColor{uint16_t(((rgb >> 16) & 0xFF) * 257), uint16_t(((rgb >> 8) & 0xFF) * 257),
                    uint16_t((rgb & 0xFF) * 257)};
}

uint32_t RgbOf(const RGBColor& c)
{
    return (uint32_t(c.red >> 8) << 16) | (uint32_t(c.green >> 8) << 8) | uint32_t(c.blue >> 8);
}

void SetInk(uint32_t rgb)
{
    RGBColor c = ColorOf(rgb);
    RGBForeColor(&c);
}

void Dot(int h, int v)
{
    Rect r{int16_t(v), int16_t(h), int16_t(v + 1), int16_t(h + 1)};
    PaintRect(&r);
}

void Line(int h1, int v1, int h2, int v2)
{
    MoveTo(int16_t(h1), int16_t(v1));
    LineTo(int16_t(h2), int16_t(v2));
}

void DrawAt(const std::string& text, int h, int baseline)
{
    MoveTo(int16_t(h), int16_t(baseline));
    DrawText(text.data(), 0, int16_t(std::min<size_t>(text.size(), 255)));
}

// A comment in the picture open on the current port, if any.
void Comment(int16_t kind, const std::string& data)
{
    Handle handle = data.empty() ? nullptr : NewHandle(Size(data.size()));
    if (handle) std::copy(data.begin(), data.end(), *handle);
    PicComment(kind, int16_t(handle ? data.size() : 0), handle);
    if (handle) DisposeHandle(handle);
}

// text, cut and ended with "..." so that it is at most width wide.
std::string FitText(std::string text, int width)
{
    if (TextWidthOf(text) <= width) return text;
    while (!text.empty()) {
        text.pop_back();
        std::string candidate = text + "...";
        if (TextWidthOf(candidate) <= width) return candidate;
    }
    return std::string();
}

}  // namespace

void Axis::Draw() const
{
    GrafPtr port = nullptr;
    GetPort(&port);
    if (!port) return;

    Rect savedClip;
    GetClip(&savedClip);
    Point savedPen;
    GetPen(&savedPen);
    RGBColor savedFore, savedBack;
    GetForeColor(&savedFore);
    GetBackColor(&savedBack);

    Rect clip;
    if (SectRect(&savedClip, &bounds_, &clip)) {
        ClipRect(&clip);
        EraseRect(&bounds_);
        Scale scale = MakeScale();
        if (vertical_)
            DrawVertical(scale);
        else
            DrawHorizontal(scale);
    }

    TextFont(applFont);
    TextSize(kFontSize);
    TextFace(normal);
    RGBForeColor(&savedFore);
    RGBBackColor(&savedBack);
    MoveTo(savedPen.h, savedPen.v);
    ClipRect(&savedClip);
}

void Axis::DrawHorizontal(const Scale& scale) const
{
    const std::vector<AxisTick>& ticks = scale.ticks;
    bool varies = HasOption(kAxisOptionInfoVaries);
    int top = bounds_.top;
    SetInk(kInkColor);
    Line(bounds_.left, top, bounds_.right - 1, top);
    for (const AxisTick& t : ticks) Line(t.pixel, top, t.pixel, top + (t.major ? kMajorTick : kMinorTick));

    SetInk(varies ? kVariesColor : kLabelColor);
    int baseline = top + kMajorTick + 2 + kDigitHeight;
    // Centred under the tick, moved inward at the band's ends; where two
    // would touch, the moved one goes (it sits off its tick), else the later.
    struct Placed {
        const AxisTick* tick;
        int left, width;
        bool moved;
    };
    std::vector<Placed> placed;
    for (const AxisTick& t : ticks) {
        if (!t.major) continue;
        int width = TextWidthOf(t.label);
        int centred = t.pixel - width / 2;
        int left = std::clamp(centred, int(bounds_.left), std::max<int>(bounds_.left, bounds_.right - width));
        Placed p{&t, left, width, left != centred};
        if (!placed.empty() && placed.back().left + placed.back().width + kLabelGapX / 2 > left) {
            if (placed.back().moved)
                placed.pop_back();
            else
                continue;
        }
        placed.push_back(p);
    }
    for (const Placed& p : placed) DrawAt(p.tick->label, p.left, baseline);

    std::string text = TitleText(scale.labelOffset);
    bool popup = HasPopup();
    if (text.empty() && !popup) return;
    TextFace(bold);
    int extra = popup ? kPopupTriangleGap + kPopupTriangleWidth : 0;
    text = FitText(text, bounds_.right - bounds_.left - extra - 2);
    int width = TextWidthOf(text) + extra;
    int left = bounds_.left + (bounds_.right - bounds_.left - width) / 2;
    int titleBaseline = top + kTitleRowOffset + kTextAscent;
    SetInk(varies ? kVariesColor : kInkColor);
    DrawAt(text, left, titleBaseline);
    TextFace(normal);
    if (popup) {
        int h = left + width - kPopupTriangleWidth;
        int v = titleBaseline - 5;
        for (int row = 0; row <= kPopupTriangleWidth / 2; ++row)
            Line(h + row, v + row, h + kPopupTriangleWidth - 1 - row, v + row);
    }
}

void Axis::DrawVertical(const Scale& scale) const
{
    const std::vector<AxisTick>& ticks = scale.ticks;
    bool varies = HasOption(kAxisOptionInfoVaries);
    int scaleH = bounds_.right - 1;
    SetInk(kInkColor);
    Line(scaleH, bounds_.top, scaleH, bounds_.bottom - 1);
    for (const AxisTick& t : ticks) Line(scaleH - (t.major ? kMajorTick : kMinorTick), t.pixel, scaleH, t.pixel);

    std::string text = TitleText(scale.labelOffset);
    Rect strip = TitleArea();
    bool titled = !text.empty() || HasPopup();
    if (titled) DrawRotatedTitle(strip, text, HasPopup(), varies ? kVariesColor : kInkColor);

    // A label too wide for its room (Ticks shortens labels first) is never
    // cut: beside a title it is left out, so that the title stays whole;
    // with no title it is drawn whole on a cleared patch over the strip.
    SetInk(varies ? kVariesColor : kLabelColor);
    int labelRight = scaleH - kMajorTick - 2;
    int previousBaseline = INT32_MIN / 2;
    std::vector<const AxisTick*> majors;
    for (const AxisTick& t : ticks)
        if (t.major) majors.push_back(&t);
    std::sort(majors.begin(), majors.end(), [](const AxisTick* a, const AxisTick* b) { return a->pixel < b->pixel; });
    for (const AxisTick* t : majors) {
        int baseline = std::clamp(t->pixel + kDigitHeight / 2, bounds_.top + kDigitHeight,
                                  std::max(bounds_.top + kDigitHeight, bounds_.bottom - 2));
        if (baseline - kDigitHeight < previousBaseline + kLabelGapY - 1) continue;
        int width = TextWidthOf(t->label);
        int left = std::max<int>(bounds_.left, labelRight - width);
        if (left < strip.right) {
            if (titled) continue;
            Rect patch{int16_t(baseline - kDigitHeight - 1), int16_t(left - 1), int16_t(baseline + 2),
                       int16_t(left + width + 1)};
            EraseRect(&patch);
        }
        DrawAt(t->label, left, baseline);
        previousBaseline = baseline;
    }
}

// Text is drawn upright in an offscreen port and copied turned a quarter to
// the left, blending its coverage between the band's background and the ink;
// the popup's triangle is drawn turned. A picture of the window gets the text
// as text too (see TurnedText.h).
void Axis::DrawRotatedTitle(const Rect& strip, const std::string& fullText, bool popup, uint32_t color) const
{
    int length = strip.bottom - strip.top;
    if (length < 4) return;
    TextFace(bold);
    int extra = popup ? kPopupTriangleGap + kPopupTriangleWidth : 0;
    std::string text = FitText(fullText, length - extra - 2);
    int width = TextWidthOf(text) + extra;
    TextFace(normal);
    if (width <= 0) return;

    GrafPtr window = nullptr;
    GetPort(&window);
    RGBColor back;
    GetBackColor(&back);
    uint32_t background = RgbOf(back);

    CGrafPtr offscreen = CreateOffscreenPort(int16_t(width), int16_t(kLineHeight));
    if (!offscreen) return;
    SetPort(offscreen);
    RGBColor white = ColorOf(0xFFFFFF);
    RGBBackColor(&white);
    Rect all{0, 0, int16_t(kLineHeight), int16_t(width)};
    ClipRect(&all);
    EraseRect(&all);
    SetInk(0x000000);
    TextFont(applFont);
    TextSize(kFontSize);
    TextFace(bold);
    int baseline = kTextAscent + 1;
    PicHandle upright = OpenPicture(&all);
    DrawAt(text, 0, baseline);
    ClosePicture();
    TurnedText turned;
    const PictureRecord* record = GetPictureRecord(upright);
    if (record && !record->texts.empty()) turned.run = record->texts.front();
    KillPicture(upright);
    SInt32 pixelsWide = 0, pixelsHigh = 0;
    const UInt32* pixels = GetPortPixels(offscreen, &pixelsWide, &pixelsHigh);
    std::vector<UInt32> copy;
    if (pixels) copy.assign(pixels, pixels + size_t(pixelsWide) * size_t(pixelsHigh));
    SetPort(window);
    DisposeOffscreenPort(offscreen);
    if (copy.empty()) return;

    // Offscreen (x, y) lands at (strip.left + 1 + y, bottomV - x): the text reads bottom to top.
    int bottomV = strip.top + (length + width) / 2 - 1;
    turned.h = int16_t(strip.left + 1);
    turned.v = int16_t(bottomV + 1);
    turned.run.pixel = color;
    Comment(kTurnedTextBegin, turned.run.glyphs.empty() ? std::string() : EncodeTurnedText(turned));
    for (int y = 0; y < pixelsHigh; ++y) {
        for (int x = 0; x < pixelsWide; ++x) {
            UInt32 p = copy[size_t(y) * size_t(pixelsWide) + size_t(x)];
            int luminance = (int((p >> 16) & 0xFF) + int((p >> 8) & 0xFF) + int(p & 0xFF)) / 3;
            int coverage = 255 - luminance;
            if (coverage <= 0) continue;
            uint32_t blended = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                int bg = int((background >> shift) & 0xFF);
                int fg = int((color >> shift) & 0xFF);
                blended |= uint32_t(bg + (fg - bg) * coverage / 255) << shift;
            }
            SetInk(blended);
            Dot(strip.left + 1 + y, bottomV - x);
        }
    }
    Comment(kTurnedTextEnd, std::string());
    if (popup) {
        SetInk(color);
        int h = width - kPopupTriangleWidth;
        int v = baseline - 5;
        for (int row = 0; row <= kPopupTriangleWidth / 2; ++row) {
            int across = strip.left + 1 + v + row;
            Line(across, bottomV - (h + row), across, bottomV - (h + kPopupTriangleWidth - 1 - row));
        }
    }
}

}  // namespace recorder
