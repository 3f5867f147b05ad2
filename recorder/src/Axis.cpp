// The recorder's axis objects and the host services that reach them.
//
// Layout of a band (size 9 text, all in pixels):
//   horizontal: scale line on the band's top row (the edge along the plot),
//   ticks hanging 4 (major) or 2 (minor) below it, labels centred under their
//   ticks, and the title row from 15 below the top: "Title (units)" centred,
//   followed by a popup triangle when the title opens the menu.
//   vertical: scale line on the band's rightmost column, ticks to its left,
//   labels right-aligned left of them, and the title turned to read bottom to
//   top in a strip along the band's left side.
// Everything is clipped to the band. When the channel's display settings
// vary over the data shown (option kAxisInfoVaries), labels and title turn
// grey and the title reads "Title (varies)".
//
// The insets of HostAxisSetInsets are kept for callers; the band, the font and
// the labels decide the layout. Arguments the recorder accepts and does not use: the second flag byte of
// HostNewAxis, the flag of HostDrawAxis (an axis always draws whole), and the
// flag and variant of HostAddChannelItems. The flag of HostAxisSetTitle says
// whether the channel's units follow the title.
#include "recorder/Axis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include "recorder/HostParts.h"
#include "toolbox/Toolbox.h"

namespace recorder {
namespace {

constexpr int16_t kFontSize = 9;
constexpr int kDigitHeight = 7;   // height of a digit above the baseline at size 9
constexpr int kTextAscent = 8;    // capitals, brackets and ascenders
constexpr int kTextDescent = 3;
constexpr int kLineHeight = kTextAscent + kTextDescent + 1;
constexpr int kMajorTick = 4;     // length beyond the scale line
constexpr int kMinorTick = 2;
constexpr int kTitleRowOffset = 15;  // horizontal: title row below the band's top
constexpr int kTitleStripWidth = kLineHeight + 1;  // vertical: title strip at the band's left
constexpr int kLabelGapX = 12;    // least room between two horizontal labels
constexpr int kLabelGapY = 4;     // least room between two vertical labels
constexpr int kMinMajorSpacingX = 30;
constexpr int kMinMajorSpacingY = 22;
constexpr int kMinMinorSpacing = 4;
constexpr int kMaxDecimals = 6;
constexpr int kMaxMajorTicks = 200;
// Tick indices are counted as integers and turned into doubles; beyond 2^52 a
// double no longer tells neighbouring indices apart, so such a step can't be drawn.
constexpr double kLargestTickIndex = 4503599627370496.0;  // 2^52
// Zoom In stops where a double no longer resolves the span around the values.
constexpr double kLeastRelativeSpan = 1e-9;
constexpr int kPopupTriangleWidth = 7;
constexpr int kPopupTriangleGap = 4;

constexpr uint32_t kInkColor = 0x000000;
constexpr uint32_t kLabelColor = 0x202020;
constexpr uint32_t kVariesColor = 0x8C8C8C;

AxisHostHooks gHooks{};
std::set<Axis*> gLiveAxes;
std::map<MenuRef, int16_t> gFirstChannelItem;

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

int Width(const std::string& text)
{
    return TextWidth(text.data(), 0, int16_t(std::min<size_t>(text.size(), 255)));
}

void DrawAt(const std::string& text, int h, int baseline)
{
    MoveTo(int16_t(h), int16_t(baseline));
    DrawText(text.data(), 0, int16_t(std::min<size_t>(text.size(), 255)));
}

// text, cut and ended with "..." so that it is at most width wide.
std::string FitText(std::string text, int width)
{
    if (Width(text) <= width) return text;
    while (!text.empty()) {
        text.pop_back();
        std::string candidate = text + "...";
        if (Width(candidate) <= width) return candidate;
    }
    return std::string();
}

// A 1-2-5 step: mantissa x 10^exponent.
struct NiceStep {
    int mantissa;
    int exponent;
    double Value() const
    {
        return exponent >= 0 ? mantissa * std::pow(10.0, exponent) : mantissa / std::pow(10.0, -exponent);
    }
    // k steps, exact for decimal steps as far as a double allows.
    double Times(double k) const
    {
        return exponent >= 0 ? k * mantissa * std::pow(10.0, exponent) : k * mantissa / std::pow(10.0, -exponent);
    }
    NiceStep Next() const
    {
        if (mantissa == 1) return {2, exponent};
        if (mantissa == 2) return {5, exponent};
        return {1, exponent + 1};
    }
    int Decimals() const { return std::max(0, -exponent); }
};

// Tick indices first..last (inclusive) of multiples of step within lo..hi;
// false when there are none that can be counted exactly.
bool TickIndices(double lo, double hi, double step, int maxCount, int64_t* first, int64_t* last)
{
    if (!(step > 0) || !std::isfinite(step)) return false;
    double i0 = std::ceil(lo / step - 1e-9);
    double i1 = std::floor(hi / step + 1e-9);
    if (!(std::fabs(i0) <= kLargestTickIndex && std::fabs(i1) <= kLargestTickIndex)) return false;  // also NaN
    if (i1 < i0 || i1 - i0 > maxCount) return false;
    *first = int64_t(i0);
    *last = int64_t(i1);
    return true;
}

// The smallest 1-2-5 step of at least minimum (a positive, finite value).
NiceStep NiceStepAtLeast(double minimum)
{
    int exponent = int(std::floor(std::log10(minimum)));
    NiceStep step{1, exponent};
    while (step.Value() < minimum * (1 - 1e-12)) step = step.Next();
    return step;
}

std::string FormatTick(double value, const NiceStep& step, int decimals, double largest)
{
    if (value == 0) value = 0.0;  // never "-0"
    char text[64];
    if (largest < 1e7 && decimals <= kMaxDecimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        return text;
    }
    // Exponent form, compact: "4e7", "-2.5e-8".
    int significant = int(std::floor(std::log10(largest))) - step.exponent + 1;
    std::snprintf(text, sizeof text, "%.*e", std::clamp(significant, 1, 12) - 1, value);
    std::string s = text;
    size_t e = s.find('e');
    std::string mantissa = s.substr(0, e);
    if (mantissa.find('.') != std::string::npos) {
        while (mantissa.back() == '0') mantissa.pop_back();
        if (mantissa.back() == '.') mantissa.pop_back();
    }
    int exponent = std::atoi(s.c_str() + e + 1);
    return exponent == 0 ? mantissa : mantissa + "e" + std::to_string(exponent);
}

}  // namespace

// ---- Axis -------------------------------------------------------------------------

Axis::Axis(const Rect& bounds, double highEnd, double lowEnd, bool vertical)
    : bounds_(bounds), vertical_(vertical), high_(highEnd), low_(lowEnd)
{
}

Axis::~Axis()
{
    if (!menu_) return;
    bool shared = std::any_of(gLiveAxes.begin(), gLiveAxes.end(),
                              [&](const Axis* other) { return other != this && other->menu_ == menu_; });
    if (shared) return;
    gFirstChannelItem.erase(menu_);
    DisposeMenu(menu_);
}

void Axis::SetBounds(const Rect& bounds, bool vertical, int16_t code)
{
    bounds_ = bounds;
    vertical_ = vertical;
    boundsCode_ = code;
}

void Axis::SetInsets(int16_t top, int16_t left, int16_t bottom, int16_t right)
{
    insets_ = Rect{top, left, bottom, right};
}

void Axis::SetRange(double highEnd, double lowEnd)
{
    high_ = highEnd;
    low_ = lowEnd;
}

void Axis::SetMenu(MenuRef menu, bool popup)
{
    if (menu_ && menu_ != menu) {
        MenuRef old = menu_;
        menu_ = nullptr;
        bool shared = std::any_of(gLiveAxes.begin(), gLiveAxes.end(),
                                  [&](const Axis* other) { return other != this && other->menu_ == old; });
        if (!shared) {
            gFirstChannelItem.erase(old);
            DisposeMenu(old);
        }
    }
    menu_ = menu;
    menuIsPopup_ = popup;
}

bool Axis::HasPopup() const { return menu_ && menuIsPopup_ && HasOption(kAxisTitlePopup); }

void Axis::SetOption(int32_t option, bool on)
{
    if (on)
        options_ |= option;
    else
        options_ &= ~option;
}

void Axis::SetChannelInfo(const ChannelInfoRecord& info)
{
    display_ = DecodeChannelDisplay(info);
    SetOption(kAxisInfoVaries, false);
}

void Axis::SetTitle(const std::string& title, bool withUnits)
{
    title_ = title;
    titleWithUnits_ = withUnits;
}

std::string Axis::TitleText() const
{
    std::string note;
    if (HasOption(kAxisInfoVaries))
        note = "(varies)";
    else if (titleWithUnits_ && display_.describesChannel && !display_.units.empty())
        note = "(" + display_.units + ")";
    if (note.empty()) return title_;
    if (title_.empty()) return note;
    return title_ + " " + note;
}

Axis::Mapping Axis::Map() const
{
    // The low pixel end (left or top) carries the low value on X and the high value on Y.
    int16_t start = vertical_ ? bounds_.top : bounds_.left;
    int16_t extent = int16_t(vertical_ ? bounds_.bottom - bounds_.top : bounds_.right - bounds_.left);
    double startValue = vertical_ ? high_ : low_;
    double endValue = vertical_ ? low_ : high_;
    double span = endValue - startValue;
    double pixelsPerUnit = std::fabs(span) > 0 ? double(extent) / span : 1.0;
    if (!std::isfinite(pixelsPerUnit) || pixelsPerUnit == 0) pixelsPerUnit = 1.0;
    return Mapping{pixelsPerUnit, int16_t(start - int16_t(roundtol(pixelsPerUnit * startValue)))};
}

double Axis::PixelsPerUnit() const { return Map().pixelsPerUnit; }

int16_t Axis::PixelOffset() const { return Map().offset; }

int16_t Axis::PixelOf(double value) const
{
    Mapping m = Map();
    return int16_t(m.offset + int16_t(roundtol(value * m.pixelsPerUnit)));
}

Rect Axis::TitleArea() const
{
    if (vertical_) {
        int16_t right = int16_t(std::min<int>(bounds_.left + kTitleStripWidth, bounds_.right));
        return Rect{bounds_.top, bounds_.left, bounds_.bottom, right};
    }
    int16_t top = int16_t(std::min<int>(bounds_.top + kTitleRowOffset, bounds_.bottom));
    return Rect{top, bounds_.left, bounds_.bottom, bounds_.right};
}

std::vector<AxisTick> Axis::Ticks() const
{
    GrafPtr port = nullptr;
    GetPort(&port);
    if (!port) return {};  // nothing to measure labels with
    TextFont(applFont);
    TextSize(kFontSize);
    TextFace(normal);
    double lo = std::min(high_, low_);
    double hi = std::max(high_, low_);
    int start = vertical_ ? bounds_.top : bounds_.left;
    int end = vertical_ ? bounds_.bottom : bounds_.right;
    int extent = end - start;
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo) || extent < 2) return {};
    double pixelsPerValue = extent / (hi - lo);
    if (!std::isfinite(pixelsPerValue) || pixelsPerValue <= 0) return {};
    double leastStep = (hi - lo) / (extent / double(kMinMinorSpacing));
    if (!(leastStep > 0) || !std::isfinite(leastStep)) return {};  // a span too small for a double's exponent

    double largest = std::max(std::fabs(lo), std::fabs(hi));
    int labelRoom = (bounds_.right - 1 - kMajorTick - 2) - (bounds_.left + kTitleStripWidth + 1);
    bool wantChannelDecimals = display_.describesChannel && !HasOption(kAxisInfoVaries);
    int channelDecimals = std::clamp<int>(display_.decimals, 0, kMaxDecimals);
    NiceStep smallest = NiceStepAtLeast(leastStep);

    // The labelled ticks of one step, or nothing when that step does not serve.
    // strict: at least two labels, each fitting its room; otherwise ticks far
    // enough apart are enough (labels then may be crowded or overhang).
    auto majorsFor = [&](const NiceStep& step, bool strict) -> std::vector<AxisTick> {
        double spacing = step.Value() * pixelsPerValue;
        if (spacing < (vertical_ ? kMinMajorSpacingY : kMinMajorSpacingX)) return {};
        int64_t first = 0, last = 0;
        if (!TickIndices(lo, hi, step.Value(), kMaxMajorTicks, &first, &last)) return {};
        // The channel's decimals when their labels fit; the step's (fewer) otherwise.
        std::vector<int> choices{step.Decimals()};
        if (wantChannelDecimals && channelDecimals > step.Decimals()) choices.insert(choices.begin(), channelDecimals);
        std::vector<AxisTick> majors;
        for (int decimals : choices) {
            majors.clear();
            int widest = 0;
            for (int64_t k = first; k <= last; ++k) {
                double value = step.Times(double(k));
                int16_t pixel = PixelOf(value);
                if (pixel < start || pixel >= end) continue;
                majors.push_back({value, pixel, true, FormatTick(value, step, decimals, largest)});
                widest = std::max(widest, Width(majors.back().label));
            }
            bool fits = majors.size() >= 2 && (vertical_ ? spacing >= kDigitHeight + kLabelGapY && widest <= labelRoom
                                                         : spacing >= widest + kLabelGapX);
            if (fits) return majors;
        }
        return strict ? std::vector<AxisTick>{} : majors;
    };

    NiceStep step = smallest;
    std::vector<AxisTick> ticks;
    for (bool strict : {true, false}) {
        step = smallest;
        for (int attempt = 0; attempt < 80 && ticks.empty(); ++attempt) {
            ticks = majorsFor(step, strict);
            if (ticks.empty()) step = step.Next();
            if (!strict && step.Value() * pixelsPerValue > 2 * extent) break;
        }
        if (!ticks.empty()) break;
    }
    if (ticks.empty()) return ticks;

    if (HasOption(kAxisMinorTicks)) {
        double spacing = step.Value() * pixelsPerValue;
        int subdivisions = step.mantissa == 2 ? 4 : 5;
        if (spacing / subdivisions < kMinMinorSpacing) subdivisions = step.mantissa == 5 ? 1 : 2;
        if (subdivisions > 1 && spacing / subdivisions >= kMinMinorSpacing) {
            double minor = step.Value() / subdivisions;
            int64_t i0 = 0, i1 = -1;
            if (!TickIndices(lo, hi, minor, extent / kMinMinorSpacing + 2, &i0, &i1)) i1 = i0 - 1;
            for (int64_t i = i0; i <= i1; ++i) {
                if (i % subdivisions == 0) continue;
                double value = step.Times(double(i) / subdivisions);
                int16_t pixel = PixelOf(value);
                if (pixel < start || pixel >= end) continue;
                ticks.push_back({value, pixel, false, std::string()});
            }
        }
    }
    std::sort(ticks.begin(), ticks.end(), [](const AxisTick& a, const AxisTick& b) { return a.value < b.value; });
    return ticks;
}

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
        std::vector<AxisTick> ticks = Ticks();
        if (vertical_)
            DrawVertical(ticks);
        else
            DrawHorizontal(ticks);
    }

    TextFont(applFont);
    TextSize(kFontSize);
    TextFace(normal);
    RGBForeColor(&savedFore);
    RGBBackColor(&savedBack);
    MoveTo(savedPen.h, savedPen.v);
    ClipRect(&savedClip);
}

void Axis::DrawHorizontal(const std::vector<AxisTick>& ticks) const
{
    bool varies = HasOption(kAxisInfoVaries);
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
        int width = Width(t.label);
        int centred = t.pixel - width / 2;
        int left = std::clamp(centred, int(bounds_.left), std::max<int>(bounds_.left, bounds_.right - width));
        Placed p{&t, left, width, left != centred};
        if (!placed.empty() && placed.back().left + placed.back().width + kLabelGapX / 2 > left) {
            if (placed.back().moved) placed.pop_back();
            else continue;
        }
        placed.push_back(p);
    }
    for (const Placed& p : placed) DrawAt(p.tick->label, p.left, baseline);

    std::string text = TitleText();
    bool popup = HasPopup();
    if (text.empty() && !popup) return;
    TextFace(bold);
    int extra = popup ? kPopupTriangleGap + kPopupTriangleWidth : 0;
    text = FitText(text, bounds_.right - bounds_.left - extra - 2);
    int width = Width(text) + extra;
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

void Axis::DrawVertical(const std::vector<AxisTick>& ticks) const
{
    bool varies = HasOption(kAxisInfoVaries);
    int scaleH = bounds_.right - 1;
    SetInk(kInkColor);
    Line(scaleH, bounds_.top, scaleH, bounds_.bottom - 1);
    for (const AxisTick& t : ticks) Line(scaleH - (t.major ? kMajorTick : kMinorTick), t.pixel, scaleH, t.pixel);

    std::string text = TitleText();
    Rect strip = TitleArea();
    if (!text.empty() || HasPopup()) DrawRotatedTitle(strip, text, HasPopup(), varies ? kVariesColor : kInkColor);

    // Labels come after the title: one too wide for its room is still whole,
    // on a cleared patch over the title strip, rather than cut.
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
        int width = Width(t->label);
        int left = std::max<int>(bounds_.left, labelRight - width);
        if (left < strip.right) {
            Rect patch{int16_t(baseline - kDigitHeight - 1), int16_t(left - 1), int16_t(baseline + 2), int16_t(left + width + 1)};
            EraseRect(&patch);
        }
        DrawAt(t->label, left, baseline);
        previousBaseline = baseline;
    }
}

// Text is drawn upright in an offscreen port and copied turned a quarter to
// the left, blending its coverage between the band's background and the ink.
void Axis::DrawRotatedTitle(const Rect& strip, const std::string& fullText, bool popup, uint32_t color) const
{
    int length = strip.bottom - strip.top;
    if (length < 4) return;
    TextFace(bold);
    int extra = popup ? kPopupTriangleGap + kPopupTriangleWidth : 0;
    std::string text = FitText(fullText, length - extra - 2);
    int width = Width(text) + extra;
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
    DrawAt(text, 0, baseline);
    if (popup) {
        int h = width - kPopupTriangleWidth;
        int v = baseline - 5;
        for (int row = 0; row <= kPopupTriangleWidth / 2; ++row)
            Line(h + row, v + row, h + kPopupTriangleWidth - 1 - row, v + row);
    }
    SInt32 pixelsWide = 0, pixelsHigh = 0;
    const UInt32* pixels = GetPortPixels(offscreen, &pixelsWide, &pixelsHigh);
    std::vector<UInt32> copy;
    if (pixels) copy.assign(pixels, pixels + size_t(pixelsWide) * size_t(pixelsHigh));
    SetPort(window);
    DisposeOffscreenPort(offscreen);
    if (copy.empty()) return;

    // Offscreen (x, y) lands at (strip.left + 1 + y, bottomV - x): the text reads bottom to top.
    int bottomV = strip.top + (length + width) / 2 - 1;
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
}

// ---- Clicks ---------------------------------------------------------------------------

namespace {

WindowRef CurrentWindow()
{
    GrafPtr port = nullptr;
    GetPort(&port);
    return port ? GetWindowFromPort(port) : nullptr;
}

}  // namespace

int16_t Axis::Click(const EventRecord& event)
{
    Point where = event.where;
    if (!PtInRect(where, &bounds_)) return 0;
    Rect title = TitleArea();
    if (HasPopup() && PtInRect(where, &title)) return ClickTitle(where);
    return ClickScale(where);
}

int16_t Axis::ClickTitle(Point where)
{
    Point global = where;
    if (WindowRef window = CurrentWindow()) {
        Rect content;
        if (GetWindowBounds(window, kWindowContentRgn, &content) == noErr) {
            global.v = int16_t(global.v + content.top);
            global.h = int16_t(global.h + content.left);
        }
    }
    SInt16 checkedItem = 0;
    for (SInt16 item = 1, count = CountMenuItems(menu_); item <= count; ++item) {
        SInt16 mark = 0;
        GetItemMark(menu_, item, &mark);
        if (mark == checkMark) {
            checkedItem = item;
            break;
        }
    }
    SInt32 choice = PopUpMenuSelect(menu_, global.v, global.h, checkedItem);
    int item = choice & 0xFFFF;
    if (item <= 0 || item > CountMenuItems(menu_)) return 1;

    int firstChannelItem = FirstChannelItemOf(menu_);
    if (firstChannelItem > 0 && item >= firstChannelItem) {
        int channel = item - firstChannelItem + 1;
        return int16_t(std::min(channel + 1, 32767));
    }
    Str255 text;
    GetMenuItemText(menu_, int16_t(item), text);
    return ApplyRangeItem(PascalToString(text)) ? -1 : 1;
}

bool Axis::ApplyRangeItem(const std::string& itemText)
{
    if (HasOption(kAxisFixedRange)) return false;
    double high = high_, low = low_;
    double centre = high_ / 2 + low_ / 2;
    double halfSpan = high_ / 2 - low_ / 2;
    if (itemText == kZoomInItem) {
        high = centre + halfSpan / 2;
        low = centre - halfSpan / 2;
    } else if (itemText == kZoomOutItem) {
        high = centre + halfSpan * 2;
        low = centre - halfSpan * 2;
    } else if (itemText == kChannelRangeItem) {
        if (!display_.describesChannel || HasOption(kAxisInfoVaries)) return false;
        high = display_.displayHigh;
        low = display_.displayLow;
    } else {
        return false;
    }
    if (!std::isfinite(high) || !std::isfinite(low) || high == low) return false;
    if (high == high_ && low == low_) return false;
    if (itemText == kZoomInItem &&
        std::fabs(high - low) < kLeastRelativeSpan * std::max(std::fabs(high), std::fabs(low)))
        return false;
    SetRange(high, low);
    InvalidateBand();
    return true;
}

int16_t Axis::ClickScale(Point where)
{
    InputSource* source = GetInputSource();
    WindowRef window = CurrentWindow();
    if (!source || !window) return 1;
    Point release = source->TrackDrag(window, where);
    int dragged = AlongAxis(release) - AlongAxis(where);
    if (dragged == 0 || HasOption(kAxisFixedRange)) return 1;
    // The value under the press ends under the release: the scale follows the mouse.
    double shift = -dragged / Map().pixelsPerUnit;
    double high = high_ + shift, low = low_ + shift;
    if (!std::isfinite(high) || !std::isfinite(low)) return 1;
    SetRange(high, low);
    InvalidateBand();
    return -1;
}

void Axis::InvalidateBand() const
{
    if (WindowRef window = CurrentWindow()) InvalWindowRect(window, &bounds_);
}

int16_t Axis::Cursor(Point where) const
{
    if (!PtInRect(where, &bounds_)) return kAxisCursorNone;
    Rect title = TitleArea();
    if (HasPopup() && PtInRect(where, &title)) return kAxisCursorTitle;
    return kAxisCursorScale;
}

// ---- Lookups --------------------------------------------------------------------------

Axis* AxisFromObject(AxisObject object)
{
    Axis* axis = reinterpret_cast<Axis*>(object);
    return gLiveAxes.count(axis) ? axis : nullptr;
}

int16_t FirstChannelItemOf(MenuRef menu)
{
    auto found = gFirstChannelItem.find(menu);
    return found == gFirstChannelItem.end() ? 0 : found->second;
}

// ---- Services -------------------------------------------------------------------------

namespace {

AxisObject HostNewAxis(const Rect* bounds, double highEnd, double lowEnd, uint8_t vertical, uint8_t)
{
    Rect r = bounds ? *bounds : Rect{0, 0, 0, 0};
    Axis* axis = LowNew<Axis>(r, highEnd, lowEnd, vertical != 0);
    LowAddress(axis);  // aborts if the zone ever handed out a block above 4 GiB
    gLiveAxes.insert(axis);
    return reinterpret_cast<AxisObject>(axis);
}

void HostDisposeAxis(AxisObject object)
{
    Axis* axis = AxisFromObject(object);
    if (!axis) return;
    LowDelete(axis);  // the destructor still sees itself among the live axes: menus are shared-checked
    gLiveAxes.erase(axis);
}

void HostAxisSetBounds(AxisObject object, const Rect* bounds, uint8_t vertical, int16_t code)
{
    if (Axis* axis = AxisFromObject(object); axis && bounds) axis->SetBounds(*bounds, vertical != 0, code);
}

Rect HostAxisGetBounds(AxisObject object)
{
    Axis* axis = AxisFromObject(object);
    return axis ? axis->Bounds() : Rect{0, 0, 0, 0};
}

void HostAxisSetInsets(AxisObject object, int16_t top, int16_t left, int16_t bottom, int16_t right)
{
    if (Axis* axis = AxisFromObject(object)) axis->SetInsets(top, left, bottom, right);
}

void HostAxisSetMenu(AxisObject object, MenuRef menu, uint8_t popup)
{
    if (Axis* axis = AxisFromObject(object)) axis->SetMenu(menu, popup != 0);
}

void HostAxisSetOption(AxisObject object, int32_t option, uint8_t on)
{
    if (Axis* axis = AxisFromObject(object)) axis->SetOption(option, on != 0);
}

void HostAxisSetChannelInfo(AxisObject object, const ChannelInfoRecord* info)
{
    if (Axis* axis = AxisFromObject(object); axis && info) axis->SetChannelInfo(*info);
}

void HostAxisSetTitle(AxisObject object, ConstStr255Param title, uint8_t withUnits)
{
    if (Axis* axis = AxisFromObject(object)) axis->SetTitle(title ? PascalToString(title) : std::string(), withUnits != 0);
}

void HostDrawAxis(AxisObject object, uint8_t)
{
    if (Axis* axis = AxisFromObject(object)) axis->Draw();
}

int16_t HostAxisClick(AxisObject object, const EventRecord* click)
{
    Axis* axis = AxisFromObject(object);
    return axis && click ? axis->Click(*click) : 0;
}

int16_t HostAxisCursor(Point where, AxisObject object)
{
    Axis* axis = AxisFromObject(object);
    return axis ? axis->Cursor(where) : int16_t(kAxisCursorNone);
}

void HostAxisGetRange(AxisObject object, double* highEnd, double* lowEnd)
{
    Axis* axis = AxisFromObject(object);
    if (!axis) return;
    if (highEnd) *highEnd = axis->HighEnd();
    if (lowEnd) *lowEnd = axis->LowEnd();
}

// Items firstItem.. become one item per channel, channel 1 first; what stood
// there before goes. A menu shorter than firstItem - 1 is padded with
// disabled dividers so that channel k still lands on firstItem + k - 1.
void HostAddChannelItems(MenuRef menu, int16_t firstItem, uint8_t, int16_t)
{
    if (!menu || firstItem < 1) return;
    for (SInt16 count = CountMenuItems(menu); count >= firstItem; --count) DeleteMenuItem(menu, count);
    static const unsigned char kDivider[] = {2, '(', '-'};
    while (CountMenuItems(menu) < firstItem - 1) AppendMenu(menu, kDivider);
    int channels = gHooks.channelCount ? gHooks.channelCount() : 0;
    for (int channel = 1; channel <= channels; ++channel) {
        std::string title = gHooks.channelTitle ? gHooks.channelTitle(int16_t(channel)) : std::string();
        if (title.empty()) title = "Channel " + std::to_string(channel);
        Str255 text;
        CopyCStringToPascal(title, text);
        AppendMenuItemText(menu, text);
    }
    gFirstChannelItem[menu] = firstItem;
}

}  // namespace
}  // namespace recorder

void InstallAxisServices(HostServiceTable& table, const AxisHostHooks& hooks)
{
    using namespace recorder;
    gHooks = hooks;
    table.HostNewAxis = HostNewAxis;
    table.HostDisposeAxis = HostDisposeAxis;
    table.HostAxisSetBounds = HostAxisSetBounds;
    table.HostAxisGetBounds = HostAxisGetBounds;
    table.HostAxisSetInsets = HostAxisSetInsets;
    table.HostAxisSetMenu = HostAxisSetMenu;
    table.HostAxisSetOption = HostAxisSetOption;
    table.HostAxisSetChannelInfo = HostAxisSetChannelInfo;
    table.HostAxisSetTitle = HostAxisSetTitle;
    table.HostDrawAxis = HostDrawAxis;
    table.HostAxisClick = HostAxisClick;
    table.HostAxisCursor = HostAxisCursor;
    table.HostAxisGetRange = HostAxisGetRange;
    table.HostAddChannelItems = HostAddChannelItems;
}

int CountLiveAxes() { return int(recorder::gLiveAxes.size()); }
