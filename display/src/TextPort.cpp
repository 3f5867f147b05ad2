// Text in a port of its own, drawn with the platform's fonts.
#include "TextPort.h"

#include <algorithm>

#include "toolbox/QuickDraw.h"

namespace display {

CGrafPtr MakeTextPort(const std::vector<std::string>& lines, TextLook look)
{
    const bool tip = look == TextLook::tooltip;
    const int margin = tip ? 5 : 14, size = tip ? 11 : 12, columnGap = 18;
    // Each line: its text, or two columns split at a tab.
    std::vector<std::pair<std::string, std::string>> rows;
    for (const std::string& line : lines) {
        std::string text;
        if (!Utf8ToMacRoman(line, &text)) text = line;
        const size_t tab = text.find('\t');
        rows.emplace_back(text.substr(0, tab), tab == std::string::npos ? std::string() : text.substr(tab + 1));
    }
    GrafPtr saved;
    GetPort(&saved);
    CGrafPtr scratch = CreateOffscreenPort(1, 1);
    SetPort(scratch);
    TextFont(systemFont);
    TextSize(SInt16(size));
    FontInfo font;
    GetFontInfo(&font);
    auto width = [](const std::string& text) { return int(TextWidth(text.data(), 0, SInt16(text.size()))); };
    int first = 0, second = 0;
    for (const auto& [left, right] : rows) {
        first = std::max(first, width(left));
        second = std::max(second, width(right));
    }
    DisposeOffscreenPort(scratch);

    const int secondColumn = margin + first + (second ? columnGap : 0);
    const int lineHeight = font.ascent + font.descent + (tip ? 1 : 5);
    const int portWidth = std::min(secondColumn + second + margin, 2000);
    const int portHeight = std::min(int(rows.size()) * lineHeight + 2 * margin - (tip ? 2 : 0), 2000);
    CGrafPtr port = CreateOffscreenPort(SInt16(portWidth), SInt16(portHeight));
    SetPort(port);
    const RGBColor paper = tip ? RGBColor{0xFFFF, 0xFFFF, 0xE1E1} : RGBColor{0xF4F4, 0xF4F4, 0xF4F4};
    const RGBColor ink{0x2020, 0x2020, 0x2020}, edge{0x8A8A, 0x8A8A, 0x8A8A};
    RGBBackColor(&paper);
    const Rect all{0, 0, SInt16(portHeight), SInt16(portWidth)};
    EraseRect(&all);
    RGBForeColor(&edge);
    FrameRect(&all);
    RGBForeColor(&ink);
    TextFont(systemFont);
    TextSize(SInt16(size));
    int baseline = margin + font.ascent - (tip ? 1 : 0);
    for (const auto& [left, right] : rows) {
        TextFace(right.empty() ? normal : bold);
        MoveTo(SInt16(margin), SInt16(baseline));
        DrawText(left.data(), 0, SInt16(left.size()));
        TextFace(normal);
        MoveTo(SInt16(secondColumn), SInt16(baseline));
        DrawText(right.data(), 0, SInt16(right.size()));
        baseline += lineHeight;
    }
    SetPort(saved);
    return port;
}

}  // namespace display
