// Input shown in messages and listings: escaped, so that no control sequence
// in a file or an argument reaches the user's terminal, and cut, so that a
// message never grows with its input.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Bytes of input that a message shows at most.
inline constexpr size_t kInputExcerptBytes = 60;

// text with control characters (C0, DEL and the C1 range) and bytes that are
// no UTF-8 written as escapes (\n, \t, \r, \xNN, \u0080..\u009F), cut after
// at most limit bytes of text with "…". Unquoted: for a word in a line whose
// format has no quotes, such as a title in a listing.
std::string ShowInput(std::string_view text, size_t limit = kInputExcerptBytes);

// The same in double quotes, with quotes and backslashes escaped too; a cut
// excerpt is followed by the whole length: "7777…" (1048577 bytes).
std::string QuoteInput(std::string_view text, size_t limit = kInputExcerptBytes);

// Escaped as ShowInput does but never cut: a path (the user needs all of it,
// and the system bounds its length), or a message whose parts from input are
// already cut, before it goes to the terminal.
std::string EscapeInput(std::string_view text);
