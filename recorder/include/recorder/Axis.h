// The recorder's axis objects: the AxisObject that the host services hand to
// extensions. An axis owns a band of the window (its bounds) next to a plot
// edge, draws a scale with 1-2-5 ticks, labels and a title there, and takes
// clicks: the title opens the axis's popup menu, a drag on the scale pans the
// range.
//
// Orientation: a horizontal axis (X) runs left to right under the plot, its
// high end on the right; a vertical axis (Y) runs top to bottom left of the
// plot, its high end at the top. The band's extent along the axis equals the
// plot's, and values map to pixels exactly as the extension maps data:
// pixel = offset + roundtol(value * pixelsPerUnit), the low pixel end (left or
// top) taking the value of that end, both held as signed 16-bit values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/HostServices.h"
#include "recorder/ChannelInfo.h"

namespace recorder {

// The options (kAxisOption... of host/HostServices.h) as this host shows them:
// InfoVaries greys labels and title and makes the title read "Title (varies)";
// MinorTicks draws unlabelled ticks between the labelled ones; FixedRange
// makes drags and the range items do nothing; TitlePopup makes the title open
// the popup menu and shows a popup triangle after it.

// Texts of the range items that the popup menu holds before its channel list.
// Zoom In halves the span about the centre; it is refused (the click gives 1)
// once the span would fall below 1e-9 of the larger end's magnitude, where a
// double no longer resolves it.
inline constexpr const char* kZoomInItem = "Zoom In";
inline constexpr const char* kZoomOutItem = "Zoom Out";
inline constexpr const char* kChannelRangeItem = "Channel Range";

struct AxisTick {
    double value;
    int16_t pixel;  // along the axis: x for a horizontal axis, y for a vertical one
    bool major;     // labelled
    std::string label;
};

class Axis {
public:
    Axis(const Rect& bounds, double highEnd, double lowEnd, bool vertical);
    ~Axis();  // disposes of the popup menu the axis was given
    Axis(const Axis&) = delete;
    Axis& operator=(const Axis&) = delete;

    bool Vertical() const { return vertical_; }
    const Rect& Bounds() const { return bounds_; }
    // code is kept as given; it does not change drawing.
    void SetBounds(const Rect& bounds, bool vertical, int16_t code);
    int16_t BoundsCode() const { return boundsCode_; }
    // Stored for callers; layout follows the font and the band, not these.
    void SetInsets(int16_t top, int16_t left, int16_t bottom, int16_t right);
    Rect Insets() const { return insets_; }

    double HighEnd() const { return high_; }  // right (X) or top (Y)
    double LowEnd() const { return low_; }    // left (X) or bottom (Y)
    void SetRange(double highEnd, double lowEnd);

    // The axis takes the menu and disposes of it with itself (or when another
    // replaces it). popup: the title opens it (with kAxisOptionTitlePopup on).
    void SetMenu(MenuRef menu, bool popup);
    MenuRef Menu() const { return menu_; }
    bool HasPopup() const;

    int32_t Options() const { return options_; }
    bool HasOption(int32_t option) const { return (options_ & option) == option && option != 0; }
    void SetOption(int32_t option, bool on);

    // Also clears kAxisOptionInfoVaries: the record now describes what is shown.
    void SetChannelInfo(const ChannelInfoRecord& info);
    const ChannelDisplay& Display() const { return display_; }

    // withUnits: the title is followed by the channel's units in brackets.
    void SetTitle(const std::string& title, bool withUnits);
    const std::string& Title() const { return title_; }
    // The title as drawn: "Pressure (mmHg)", "Pressure (varies)" or
    // "Pressure"; "Pressure - 218000 (mmHg)" when the labels show the values
    // less that offset (see Ticks).
    std::string TitleText() const;

    // The mapping along the axis.
    double PixelsPerUnit() const;
    int16_t PixelOffset() const;
    int16_t PixelOf(double value) const;

    // Ticks and labels as Draw places them; measures text in the current port
    // with the axis's font (application font, size 9). Labels are the values
    // in full when some step's labels fit their room; else with an SI prefix
    // ("-250k"); else, for a range narrow beside its magnitude, less a round
    // offset that the title names ("-400" for -218400, titled "... + 218000").
    std::vector<AxisTick> Ticks() const;
    // The parts of the band: the title strip (popup) and the rest (scale).
    Rect TitleArea() const;

    // The host's own range choice: the next click on the title applies these
    // ends as a range item of the popup menu does, instead of opening it.
    void ChooseRangeAtNextClick(double highEnd, double lowEnd) { rangeChoice_ = {highEnd, lowEnd}; }
    void DropRangeChoice() { rangeChoice_.reset(); }

    // Draws into the current port, clipped to the bounds; leaves the port's
    // clip, pen and colours as they were, and its text at font 1, size 9, plain.
    // Any range draws: one without ticks a double can tell apart (not finite,
    // empty, or too narrow for its values) draws the scale line and title only.
    void Draw() const;
    // A mouse-down (window-local where); results as HostAxisClick gives them.
    int16_t Click(const EventRecord& event);
    int16_t Cursor(Point where) const;

private:
    struct Scale {
        std::vector<AxisTick> ticks;
        double labelOffset = 0;  // labels show value - labelOffset
    };
    enum class LabelForm { full, prefixed, offset };
    Scale MakeScale() const;
    std::string TitleText(double labelOffset) const;
    struct Mapping {
        double pixelsPerUnit;
        int16_t offset;
    };
    Mapping Map() const;
    int16_t AlongAxis(Point p) const { return vertical_ ? p.v : p.h; }
    int16_t ClickTitle(Point where);
    int16_t ClickScale(Point where);
    bool ApplyRangeItem(const std::string& itemText);
    bool ApplyRange(double high, double low);
    void InvalidateBand() const;
    void DrawHorizontal(const Scale& scale) const;
    void DrawVertical(const Scale& scale) const;
    void DrawRotatedTitle(const Rect& strip, const std::string& text, bool popup, uint32_t color) const;

    Rect bounds_;
    Rect insets_{0, 0, 0, 0};
    bool vertical_;
    int16_t boundsCode_ = 0;
    double high_;
    double low_;
    MenuRef menu_ = nullptr;
    bool menuIsPopup_ = false;
    int32_t options_ = 0;
    ChannelDisplay display_;
    std::string title_;
    bool titleWithUnits_ = true;
    std::optional<std::pair<double, double>> rangeChoice_;  // high, low
};

// The axis behind an AxisObject, or null when it is no live axis of this process.
Axis* AxisFromObject(AxisObject object);
// The first channel item HostAddChannelItems was last given for the menu; 0 when none.
int16_t FirstChannelItemOf(MenuRef menu);
// Axes made and not yet disposed of, for leak checks.
int CountLiveAxes();

}  // namespace recorder
