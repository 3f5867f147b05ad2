// The checks of a session script's `expect` lines: what a host can know of
// the current window (pixels, titles, its axes and their menus, its size) and
// of the session (windows, the recording, sampling, messages).
#include "ScriptChecks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "Options.h"
#include "recorder/Axis.h"
#include "signals/InputText.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Windows.h"

namespace {

std::string Show(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

uint32_t ParseColour(const std::string& text)
{
    if (text == "trace") return kTracePixel;
    if (text == "white") return 0xFFFFFF;
    if (text == "black") return 0x000000;
    if (text.size() == 7 && text[0] == '#') {
        char* end = nullptr;
        unsigned long value = std::strtoul(text.c_str() + 1, &end, 16);
        if (end == text.c_str() + 7) return uint32_t(value);
    }
    throw UsageError("colour " + QuoteInput(text) + " is not trace, white, black or #RRGGBB");
}

std::string ShowColour(uint32_t pixel)
{
    char text[16];
    std::snprintf(text, sizeof text, "#%06X", pixel & 0xFFFFFF);
    return text;
}

}  // namespace

ScriptChecks::ScriptChecks(std::function<Session&()> session, std::function<WindowRef()> window,
                           const int16_t& lastCursor)
    : session_(std::move(session)), window_(std::move(window)), lastCursor_(lastCursor)
{}

void ScriptChecks::Need(const Words& w, size_t low, size_t high, const char* usage)
{
    if (w.size() < low || w.size() > high) throw UsageError(std::string("expected: ") + usage);
}

void ScriptChecks::Expect(const Words& w, bool act)
{
    if (w.size() < 2)
        throw UsageError("expected: expect FIELD VALUE | expect pixel H V COLOUR | expect trace inside|outside ...");
    const std::string& field = w[1];
    if (field == "pixel") {
        Need(w, 5, 5, "expect pixel H V COLOUR");
        auto h = int16_t(ParseInteger(w[2], "h", -32768, 32767));
        auto v = int16_t(ParseInteger(w[3], "v", -32768, 32767));
        uint32_t want = ParseColour(w[4]);
        if (act) {
            SInt32 width = 0, height = 0;
            GetPortPixels(GetWindowPort(Current()), &width, &height);
            if (h < 0 || v < 0 || h >= width || v >= height)
                throw InputError("pixel " + w[2] + " " + w[3] + " lies outside the window (" + std::to_string(width) +
                                 " × " + std::to_string(height) + ")");
            uint32_t got = GetPortPixel(GetWindowPort(Current()), h, v) & 0xFFFFFF;
            if (got != want)
                throw ExpectationFailed("pixel " + w[2] + " " + w[3] + " is " + ShowColour(got) + ", expected " + w[4] +
                                        " (" + ShowColour(want) + ")");
        }
        return;
    }
    if (field == "trace") {
        Need(w, 3, 4, "expect trace inside|outside [none|some|N]");
        if (w[2] != "inside" && w[2] != "outside")
            throw UsageError("expect trace takes inside or outside, not \"" + w[2] + "\"");
        std::string amount = w.size() == 4 ? w[3] : (w[2] == "inside" ? "some" : "none");
        long exact = -1;
        if (amount != "none" && amount != "some") exact = ParseInteger(amount, "pixel count", 0, 100000000);
        if (act) {
            long count = CountTracePixels(w[2] == "inside");
            bool ok = amount == "none" ? count == 0 : amount == "some" ? count > 0 : count == exact;
            if (!ok)
                throw ExpectationFailed(std::to_string(count) + " trace pixels " + w[2] + " the plot area, expected " +
                                        amount);
        }
        return;
    }
    if (field == "message") {
        Need(w, 3, 3, "expect message TEXT");
        if (act) {
            for (const HostMessage& message : Host().Host().Messages())
                if (message.text == w[2]) return;
            throw ExpectationFailed("the extension showed no message " + QuoteInput(w[2]));
        }
        return;
    }
    if (field == "no-errors") {
        Need(w, 2, 2, "expect no-errors");
        if (act)
            for (const HostMessage& message : Host().Host().Messages())
                if (message.kind == HostMessage::Kind::error)
                    throw ExpectationFailed("the extension reported: " + message.text);
        return;
    }
    if (field == "plotArea") {
        Need(w, 6, 6, "expect plotArea TOP LEFT BOTTOM RIGHT");
        int want[4];
        for (int i = 0; i < 4; ++i) want[i] = int(ParseInteger(w[2 + size_t(i)], "plotArea", -32768, 32767));
        if (act) {
            const Rect r = Host().PlotArea(Current());
            int got[4] = {r.top, r.left, r.bottom, r.right};
            if (!std::equal(got, got + 4, want))
                throw ExpectationFailed("plotArea is " + std::to_string(got[0]) + " " + std::to_string(got[1]) + " " +
                                        std::to_string(got[2]) + " " + std::to_string(got[3]));
        }
        return;
    }
    Need(w, 3, 3, "expect FIELD VALUE");
    if (field == "xTitle" || field == "yTitle" || field == "help") {
        if (act) {
            std::string got = field == "help" ? Host().Host().HelpText() : AxisTitle(field == "xTitle");
            if (got != w[2])
                throw ExpectationFailed(field + " is " + QuoteInput(got) + ", expected " + QuoteInput(w[2]));
        }
        return;
    }
    auto reader = NumericField(field);
    double want = ParseNumber(w[2], field, -1e300, 1e300);
    if (act) {
        double got = reader();
        if (std::fabs(got - want) > 1e-9 * std::max(1.0, std::fabs(want)))
            throw ExpectationFailed(field + " is " + Show(got) + ", expected " + w[2]);
    }
}

std::string ScriptChecks::AxisTitle(bool x)
{
    return Host().Axis(Current(), x ? AxisSide::x : AxisSide::y).TitleText();
}

std::function<double()> ScriptChecks::NumericField(const std::string& field)
{
    using A = recorder::Axis;
    // What the window's axes show: their ends, mapping and popup menus.
    static const std::map<std::string, std::pair<AxisSide, std::function<double(const A&)>>> kAxisFields = {
        {"xLeftValue", {AxisSide::x, [](const A& a) { return a.LowEnd(); }}},
        {"xRightValue", {AxisSide::x, [](const A& a) { return a.HighEnd(); }}},
        {"yTopValue", {AxisSide::y, [](const A& a) { return a.HighEnd(); }}},
        {"yBottomValue", {AxisSide::y, [](const A& a) { return a.LowEnd(); }}},
        {"xPixelOffset", {AxisSide::x, [](const A& a) { return a.PixelOffset(); }}},
        {"yPixelOffset", {AxisSide::y, [](const A& a) { return a.PixelOffset(); }}},
        {"xPixelsPerUnit", {AxisSide::x, [](const A& a) { return a.PixelsPerUnit(); }}},
        {"yPixelsPerUnit", {AxisSide::y, [](const A& a) { return a.PixelsPerUnit(); }}},
        {"firstChannelItem", {AxisSide::x, [](const A& a) { return recorder::FirstChannelItemOf(a.Menu()); }}},
    };
    if (auto it = kAxisFields.find(field); it != kAxisFields.end()) {
        // Copied out by name: a lambda may not capture structured bindings before C++20.
        AxisSide side = it->second.first;
        auto read = it->second.second;
        return [this, side, read] { return read(Host().Axis(Current(), side)); };
    }
    if (field == "xChannel" || field == "yChannel") {
        AxisSide side = field == "xChannel" ? AxisSide::x : AxisSide::y;
        return [this, side] { return double(Host().AxisChannel(Current(), side)); };
    }
    if (field == "isSampling") return [this] { return Host().Host().IsSampling() ? 1.0 : 0.0; };
    if (field == "cursor") return [this] { return double(lastCursor_); };
    if (field == "windows") return [this] { return double(Host().Host().Windows().size()); };
    if (field == "samples") return [this] { return double(Host().Host().GetRecording().SampleCount()); };
    if (field == "channels") return [this] { return double(Host().Host().GetRecording().ChannelCount()); };
    if (field == "width" || field == "height")
        return [this, field] {
            Rect r;
            GetWindowPortBounds(Current(), &r);
            return double(field == "width" ? r.right - r.left : r.bottom - r.top);
        };
    throw UsageError("unknown field " + QuoteInput(field) + " (see xyrecorder script --help)");
}

long ScriptChecks::CountTracePixels(bool inside)
{
    WindowRef window = Current();
    const Rect plot = Host().PlotArea(window);
    SInt32 width = 0, height = 0;
    const UInt32* pixels = GetPortPixels(GetWindowPort(window), &width, &height);
    long count = 0;
    for (SInt32 v = 0; v < height; ++v)
        for (SInt32 h = 0; h < width; ++h) {
            if ((pixels[v * width + h] & 0xFFFFFF) != kTracePixel) continue;
            bool in = v >= plot.top && v < plot.bottom && h >= plot.left && h < plot.right;
            count += in == inside;
        }
    return count;
}
