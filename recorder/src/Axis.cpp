// The recorder's axis object: its range and mapping, the ticks its scale
// shows, and what clicks and the mouse do to it. How it looks is in
// AxisDrawing.cpp, how extensions reach it in AxisServices.cpp.
#include "recorder/Axis.h"

#include <algorithm>
#include <cmath>

#include "AxisLayout.h"
#include "AxisRegistry.h"
#include "recorder/AxisTicks.h"
#include "toolbox/Toolbox.h"

namespace recorder {
namespace {

// Zoom In stops where a double no longer resolves the span around the values.
constexpr double kLeastRelativeSpan = 1e-9;

WindowRef CurrentWindow()
{
    GrafPtr port = nullptr;
    GetPort(&port);
    return port ? GetWindowFromPort(port) : nullptr;
}

}  // namespace

Axis::Axis(const Rect& bounds, double highEnd, double lowEnd, bool vertical)
    : bounds_(bounds), vertical_(vertical), high_(highEnd), low_(lowEnd)
{}

Axis::~Axis()
{
    if (menu_) ReleaseAxisMenu(this, menu_);
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
        ReleaseAxisMenu(this, old);
    }
    menu_ = menu;
    menuIsPopup_ = popup;
}

bool Axis::HasPopup() const { return menu_ && menuIsPopup_ && HasOption(kAxisOptionTitlePopup); }

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
    SetOption(kAxisOptionInfoVaries, false);
}

void Axis::SetTitle(const std::string& title, bool withUnits)
{
    title_ = title;
    titleWithUnits_ = withUnits;
}

std::string Axis::TitleText() const { return TitleText(MakeScale().labelOffset); }

std::string Axis::TitleText(double labelOffset) const
{
    std::string note;
    if (HasOption(kAxisOptionInfoVaries))
        note = "(varies)";
    else if (titleWithUnits_ && display_.describesChannel && !display_.units.empty())
        note = "(" + display_.units + ")";
    std::string title = title_;
    // Labels show value - offset: the title names what they show, "Flow - 218000".
    if (labelOffset != 0) title += OffsetTerm(labelOffset);
    if (note.empty()) return title;
    if (title.empty()) return note;
    return title + " " + note;
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

std::vector<AxisTick> Axis::Ticks() const { return MakeScale().ticks; }

Axis::Scale Axis::MakeScale() const
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
    bool wantChannelDecimals = display_.describesChannel && !HasOption(kAxisOptionInfoVaries);
    int channelDecimals = std::clamp<int>(display_.decimals, 0, kMaxTickDecimals);
    NiceStep smallest = NiceStepAtLeast(leastStep);

    // The labelled ticks of one step, or nothing when that step does not serve.
    // strict: at least two labels, each fitting its room; otherwise ticks far
    // enough apart are enough (labels then may be crowded or overhang).
    // form: full labels; with an SI prefix; or less an offset that the title
    // names, for ranges narrow beside their magnitude.
    double offset = LabelOffset(lo, hi);
    double offsetLargest = std::max(std::fabs(lo - offset), std::fabs(hi - offset));
    auto majorsFor = [&](const NiceStep& step, bool strict, LabelForm form) -> std::vector<AxisTick> {
        // Both are multiples of the step: what rounding leaves of a difference of 0 is none.
        auto lessOffset = [&](double value) {
            double rest = value - offset;
            return std::fabs(rest) < step.Value() * 1e-6 ? 0.0 : rest;
        };
        double spacing = step.Value() * pixelsPerValue;
        if (spacing < (vertical_ ? kMinMajorSpacingY : kMinMajorSpacingX)) return {};
        int64_t first = 0, last = 0;
        if (!TickIndices(lo, hi, step.Value(), kMaxMajorTicks, &first, &last)) return {};
        // The channel's decimals when their labels fit; the step's (fewer) otherwise.
        std::vector<int> choices{step.Decimals()};
        if (wantChannelDecimals && channelDecimals > step.Decimals() && form == LabelForm::full)
            choices.insert(choices.begin(), channelDecimals);
        std::vector<AxisTick> majors;
        for (int decimals : choices) {
            majors.clear();
            int widest = 0;
            for (int64_t k = first; k <= last; ++k) {
                double value = step.Times(double(k));
                int16_t pixel = PixelOf(value);
                if (pixel < start || pixel >= end) continue;
                std::string label = form == LabelForm::prefixed ? CompactTick(value, step, largest)
                                    : form == LabelForm::offset
                                        ? FormatTick(lessOffset(value), step, decimals, offsetLargest)
                                        : FormatTick(value, step, decimals, largest);
                if (label.empty()) return {};
                majors.push_back({value, pixel, true, label});
                widest = std::max(widest, TextWidthOf(majors.back().label));
            }
            bool fits = majors.size() >= 2 && (vertical_ ? spacing >= kDigitHeight + kLabelGapY && widest <= labelRoom
                                                         : spacing >= widest + kLabelGapX);
            if (fits) return majors;
        }
        return strict ? std::vector<AxisTick>{} : majors;
    };

    NiceStep step = smallest;
    Scale scale;
    std::vector<AxisTick>& ticks = scale.ticks;
    // Full labels that fit; else prefixed ones, else ones less an offset; else full ones as they come.
    for (auto [strict, form] : {std::pair{true, LabelForm::full}, std::pair{true, LabelForm::prefixed},
                                std::pair{true, LabelForm::offset}, std::pair{false, LabelForm::full}}) {
        if (form == LabelForm::offset && offset == 0) continue;
        step = smallest;
        for (int attempt = 0; attempt < 80 && ticks.empty(); ++attempt) {
            ticks = majorsFor(step, strict, form);
            if (ticks.empty()) step = step.Next();
            if (!strict && step.Value() * pixelsPerValue > 2 * extent) break;
        }
        if (!ticks.empty()) {
            if (form == LabelForm::offset) scale.labelOffset = offset;
            break;
        }
    }
    if (ticks.empty()) return scale;

    if (HasOption(kAxisOptionMinorTicks)) {
        int subdivisions = MinorSubdivisions(step, step.Value() * pixelsPerValue, kMinMinorSpacing);
        if (subdivisions > 1) {
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
    return scale;
}

// ---- Clicks ----

int16_t Axis::Click(const EventRecord& event)
{
    Point where = event.where;
    if (!PtInRect(where, &bounds_)) return kAxisClickNotTaken;
    Rect title = TitleArea();
    if (HasPopup() && PtInRect(where, &title)) return ClickTitle(where);
    return ClickScale(where);
}

int16_t Axis::ClickTitle(Point where)
{
    if (rangeChoice_) {
        auto [high, low] = *rangeChoice_;
        rangeChoice_.reset();
        return !HasOption(kAxisOptionFixedRange) && ApplyRange(high, low) ? kAxisClickRangeChanged : kAxisClickTaken;
    }
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
    if (item <= 0 || item > CountMenuItems(menu_)) return kAxisClickTaken;

    int firstChannelItem = FirstChannelItemOf(menu_);
    if (firstChannelItem > 0 && item >= firstChannelItem) {
        int channel = item - firstChannelItem + 1;
        return int16_t(std::min(kAxisClickFirstChannel + channel - 1, 32767));
    }
    Str255 text;
    GetMenuItemText(menu_, int16_t(item), text);
    return ApplyRangeItem(PascalToString(text)) ? kAxisClickRangeChanged : kAxisClickTaken;
}

bool Axis::ApplyRangeItem(const std::string& itemText)
{
    if (HasOption(kAxisOptionFixedRange)) return false;
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
        if (!display_.describesChannel || HasOption(kAxisOptionInfoVaries)) return false;
        high = display_.displayHigh;
        low = display_.displayLow;
    } else {
        return false;
    }
    if (itemText == kZoomInItem &&
        std::fabs(high - low) < kLeastRelativeSpan * std::max(std::fabs(high), std::fabs(low)))
        return false;
    return ApplyRange(high, low);
}

// A new pair of finite, distinct ends; false (nothing changed) for any other.
bool Axis::ApplyRange(double high, double low)
{
    if (!std::isfinite(high) || !std::isfinite(low) || high == low) return false;
    if (high == high_ && low == low_) return false;
    SetRange(high, low);
    InvalidateBand();
    return true;
}

int16_t Axis::ClickScale(Point where)
{
    InputSource* source = GetInputSource();
    WindowRef window = CurrentWindow();
    if (!source || !window) return kAxisClickTaken;
    Point release = source->TrackDrag(window, where);
    int dragged = AlongAxis(release) - AlongAxis(where);
    if (dragged == 0 || HasOption(kAxisOptionFixedRange)) return kAxisClickTaken;
    // The value under the press ends under the release: the scale follows the mouse.
    double shift = -dragged / Map().pixelsPerUnit;
    double high = high_ + shift, low = low_ + shift;
    if (!std::isfinite(high) || !std::isfinite(low)) return kAxisClickTaken;
    SetRange(high, low);
    InvalidateBand();
    return kAxisClickRangeChanged;
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

}  // namespace recorder
