// Text the axes draw turned a quarter to the left, as picture comments: the
// port shows it as pixels (blended one by one), a vector picture as text.
// Between a kTurnedTextBegin comment, whose data is the text, and the
// kTurnedTextEnd comment lie the pixels; a vector picture draws the text
// instead of them.
#pragma once

#include <optional>
#include <string>

#include "toolbox/Pictures.h"

constexpr SInt16 kTurnedTextBegin = 150;
constexpr SInt16 kTurnedTextEnd = 151;

// A run drawn upright (as a picture records it), and where it goes: upright
// (x, y) lands at (h + y, v - x), so that it reads from bottom to top.
struct TurnedText {
    SInt16 h = 0, v = 0;
    PictureText run;
};

std::string EncodeTurnedText(const TurnedText& text);
// Empty when the data is not a turned text's.
std::optional<TurnedText> DecodeTurnedText(const std::string& data);

// Where the ops of a turned text end: the index of the kTurnedTextEnd comment
// after the begin comment at index; 0 when there is none.
size_t TurnedTextEnd(const PictureRecord& record, size_t index);
