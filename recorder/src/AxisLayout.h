// How an axis lays out its band, shared by its scale arithmetic (Axis.cpp)
// and its drawing (AxisDrawing.cpp).
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
// vary over the data shown (option kAxisOptionInfoVaries), labels and title turn
// grey and the title reads "Title (varies)".
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "toolbox/Toolbox.h"

namespace recorder {

constexpr int16_t kFontSize = 9;
constexpr int kDigitHeight = 7;  // height of a digit above the baseline at size 9
constexpr int kTextAscent = 8;   // capitals, brackets and ascenders
constexpr int kTextDescent = 3;
constexpr int kLineHeight = kTextAscent + kTextDescent + 1;
constexpr int kMajorTick = 4;  // length beyond the scale line
constexpr int kMinorTick = 2;
constexpr int kTitleRowOffset = 15;                // horizontal: title row below the band's top
constexpr int kTitleStripWidth = kLineHeight + 1;  // vertical: title strip at the band's left
constexpr int kLabelGapX = 12;                     // least room between two horizontal labels
constexpr int kLabelGapY = 4;                      // least room between two vertical labels
constexpr int kMinMajorSpacingX = 30;
constexpr int kMinMajorSpacingY = 22;
constexpr int kMinMinorSpacing = 4;
constexpr int kMaxMajorTicks = 200;
constexpr int kPopupTriangleWidth = 7;
constexpr int kPopupTriangleGap = 4;

constexpr uint32_t kInkColor = 0x000000;
constexpr uint32_t kLabelColor = 0x202020;
constexpr uint32_t kVariesColor = 0x8C8C8C;

// Width of a label or title in the current port's text settings.
inline int TextWidthOf(const std::string& text)
{
    return TextWidth(text.data(), 0, int16_t(std::min<size_t>(text.size(), 255)));
}

}  // namespace recorder
