#include "signals/InputText.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

namespace {

// Length of the UTF-8 sequence at text[i] and its code point; 0 when the
// bytes there are no well-formed sequence (overlong, surrogate, cut short).
size_t Utf8Sequence(std::string_view text, size_t i, uint32_t& codePoint)
{
    auto byte = [&](size_t k) { return uint8_t(text[k]); };
    uint8_t lead = byte(i);
    size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead <= 0xDF ? 2 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    codePoint = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        codePoint = codePoint << 6 | (byte(i + k) & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < kSmallest[length] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
    return length;
}

// The escaped text and whether it was cut.
bool Escape(std::string_view text, size_t limit, bool quoted, std::string& out)
{
    char hex[12];
    size_t i = 0;
    while (i < text.size()) {
        uint8_t c = uint8_t(text[i]);
        uint32_t codePoint = c;
        size_t length = c < 0x80 ? 1 : Utf8Sequence(text, i, codePoint);
        if (i + (length ? length : 1) > limit) {
            out += "…";
            return true;
        }
        if (length == 0) {
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
            i += 1;
            continue;
        }
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (quoted && (c == '"' || c == '\\'))
            out += {'\\', char(c)};
        else if (codePoint < 0x20 || codePoint == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(codePoint));
            out += hex;
        } else if (codePoint >= 0x80 && codePoint <= 0x9F) {
            std::snprintf(hex, sizeof hex, "\\u%04X", unsigned(codePoint));
            out += hex;
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return false;
}

}  // namespace

std::string ShowInput(std::string_view text, size_t limit)
{
    std::string out;
    Escape(text, limit, false, out);
    return out;
}

std::string QuoteInput(std::string_view text, size_t limit)
{
    std::string out = "\"";
    bool cut = Escape(text, limit, true, out);
    out += '"';
    if (cut) out += " (" + std::to_string(text.size()) + " bytes)";
    return out;
}

std::string EscapeInput(std::string_view text)
{
    std::string out;
    Escape(text, text.size(), false, out);
    return out;
}

std::string Lowercase(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) c = char(std::tolower((unsigned char)c));
    return lower;
}
