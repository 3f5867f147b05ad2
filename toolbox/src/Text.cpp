// Text with FreeType and DejaVu Sans. Strings are Mac Roman bytes; glyphs are
// anti-aliased coverage maps, cached per face, size and character, blended in
// the port's fore colour through its drawClip. Sizes are pixels (72 dpi).
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "ToolboxInternal.h"

#ifndef TOOLBOX_FONT_DIR
#define TOOLBOX_FONT_DIR "/usr/share/fonts/truetype/dejavu"
#endif

namespace {

// The code point drawn for a Mac Roman byte; 0 for control characters, which
// draw nothing, except the system font's command, check and diamond marks.
char32_t GlyphCode(unsigned char c)
{
    if (c >= 0x20) return c == 0x7F ? 0 : MacRomanToUnicode(c);
    switch (c) {
    case 0x11:
        return 0x2318;
    case 0x12:
        return 0x2713;
    case 0x13:
        return 0x25C6;
    default:
        return 0;
    }
}

// The font file of a text face's bold and italic bits.
std::string FontFile(SInt16 textFace)
{
    static const char* const kFiles[4] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf",
                                          "DejaVuSans-BoldOblique.ttf"};
    const int index = ((textFace & bold) ? 1 : 0) | ((textFace & italic) ? 2 : 0);
    return std::string(TOOLBOX_FONT_DIR) + "/" + kFiles[index];
}

struct Glyph {
    int left = 0, top = 0, width = 0, rows = 0, advance = 0;
    std::vector<unsigned char> coverage;  // width * rows
};

class FontCache {
public:
    ~FontCache()
    {
        for (FT_Face face : faces_)
            if (face) FT_Done_Face(face);
        if (library_) FT_Done_FreeType(library_);
    }

    // The face for a text face (bold and italic bits), at a pixel size; null
    // when its file can't be loaded (reported once).
    FT_Face Face(SInt16 textFace, int size)
    {
        const int index = ((textFace & bold) ? 1 : 0) | ((textFace & italic) ? 2 : 0);
        if (!faces_[index] && !failed_[index]) Load(index, textFace);
        FT_Face face = faces_[index];
        if (face && sizes_[index] != size) {
            FT_Set_Pixel_Sizes(face, 0, FT_UInt(size));
            sizes_[index] = size;
        }
        return face;
    }

    const Glyph& GlyphFor(SInt16 textFace, int size, char32_t code)
    {
        const int index = ((textFace & bold) ? 1 : 0) | ((textFace & italic) ? 2 : 0);
        const uint64_t key = (uint64_t(index) << 40) | (uint64_t(size) << 24) | uint64_t(code);
        auto found = glyphs_.find(key);
        if (found != glyphs_.end()) return found->second;
        Glyph glyph;
        FT_Face face = code ? Face(textFace, size) : nullptr;
        if (face && FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) == 0) {
            const FT_GlyphSlot slot = face->glyph;
            const FT_Bitmap& bitmap = slot->bitmap;
            glyph.left = slot->bitmap_left;
            glyph.top = slot->bitmap_top;
            glyph.width = int(bitmap.width);
            glyph.rows = int(bitmap.rows);
            glyph.advance = int((slot->advance.x + 32) >> 6);
            glyph.coverage.resize(size_t(glyph.width) * glyph.rows);
            for (int y = 0; y < glyph.rows; ++y)
                std::copy_n(bitmap.buffer + y * bitmap.pitch, glyph.width, glyph.coverage.begin() + y * glyph.width);
        }
        return glyphs_.emplace(key, std::move(glyph)).first->second;
    }

private:
    void Load(int index, SInt16 textFace)
    {
        const std::string path = FontFile(textFace);
        if (!library_ && FT_Init_FreeType(&library_) != 0) library_ = nullptr;
        if (!library_ || FT_New_Face(library_, path.c_str(), 0, &faces_[index]) != 0) {
            faces_[index] = nullptr;
            failed_[index] = true;
            std::fprintf(stderr, "toolbox text: cannot load font %s; text is not drawn\n", path.c_str());
        }
    }

    FT_Library library_ = nullptr;
    std::array<FT_Face, 4> faces_{};
    std::array<bool, 4> failed_{};
    std::array<int, 4> sizes_{};
    std::unordered_map<uint64_t, Glyph> glyphs_;
};

FontCache& Fonts()
{
    static FontCache cache;
    return cache;
}

int PixelSize(CGrafPtr port) { return port->textSize > 0 ? std::min<int>(port->textSize, 255) : 12; }

void BlitGlyph(CGrafPtr port, const Glyph& glyph, int penH, int baseline)
{
    const int left = penH + glyph.left, top = baseline - glyph.top;
    const Rect& c = port->drawClip;
    if (left >= c.right || top >= c.bottom || left + glyph.width <= c.left || top + glyph.rows <= c.top) return;
    for (int y = 0; y < glyph.rows; ++y)
        for (int x = 0; x < glyph.width; ++x)
            toolbox::BlendPixel(port, left + x, top + y, port->forePixel, glyph.coverage[size_t(y) * glyph.width + x]);
}

}  // namespace

namespace toolbox {

int MeasureText(CGrafPtr port, const char* text, int length)
{
    if (!port || !text) return 0;
    int width = 0;
    const int size = PixelSize(port);
    for (int i = 0; i < length; ++i)
        width += Fonts().GlyphFor(port->textFace, size, GlyphCode(uint8_t(text[i]))).advance;
    return width;
}

void DrawTextAt(CGrafPtr port, const char* text, int length)
{
    if (!port || !text || length <= 0) return;
    const int size = PixelSize(port);
    const int startH = port->pen.h, baseline = port->pen.v;
    // An open picture records the run as text, with where each glyph went.
    const bool recording = port->picture != nullptr;
    PictureText run{};
    int inkTop = baseline, inkLeft = startH, inkBottom = baseline, inkRight = startH;
    if (recording) BeginTextRun(port);
    int penH = startH;
    for (int i = 0; i < length; ++i) {
        const char32_t code = GlyphCode(uint8_t(text[i]));
        const Glyph& glyph = Fonts().GlyphFor(port->textFace, size, code);
        BlitGlyph(port, glyph, penH, baseline);
        if (recording && code) {
            run.glyphs.push_back(PictureGlyph{code, SInt16(penH)});
            if (glyph.width > 0 && glyph.rows > 0) {
                inkTop = std::min(inkTop, baseline - glyph.top);
                inkLeft = std::min(inkLeft, penH + glyph.left);
                inkBottom = std::max(inkBottom, baseline - glyph.top + glyph.rows);
                inkRight = std::max(inkRight, penH + glyph.left + glyph.width);
            }
        }
        penH += glyph.advance;
    }
    if (port->textFace & underline) {
        for (int h = startH; h < penH; ++h) BlendPixel(port, h, baseline + 1, port->forePixel, 255);
        inkBottom = std::max(inkBottom, baseline + 2);
        inkLeft = std::min(inkLeft, startH);
        inkRight = std::max(inkRight, penH);
    }
    port->pen.h = SInt16(uint16_t(penH));
    if (recording) {
        run.origin = Point{SInt16(baseline), SInt16(startH)};
        run.font = port->textFont;
        run.size = SInt16(size);
        run.face = port->textFace;
        run.pixel = port->forePixel;
        run.width = SInt16(std::clamp(penH - startH, 0, 32767));
        auto edge = [](int value) { return SInt16(std::clamp(value, -32768, 32767)); };
        run.ink = Rect{edge(inkTop), edge(inkLeft), edge(inkBottom), edge(inkRight)};
        run.macRoman.assign(text, size_t(length));
        EndTextRun(port, std::move(run));
    }
}

}  // namespace toolbox

using namespace toolbox;

void TextFont(SInt16 font)
{
    if (CGrafPtr port = CurrentPort()) port->textFont = font;
}

void TextSize(SInt16 size)
{
    if (CGrafPtr port = CurrentPort()) port->textSize = size;
}

void TextFace(SInt16 face)
{
    if (CGrafPtr port = CurrentPort()) port->textFace = face;
}

void DrawString(ConstStr255Param text)
{
    if (text) DrawTextAt(CurrentPort(), reinterpret_cast<const char*>(text + 1), text[0]);
}

void DrawText(const char* text, SInt16 firstByte, SInt16 byteCount)
{
    if (text && firstByte >= 0) DrawTextAt(CurrentPort(), text + firstByte, byteCount);
}

SInt16 StringWidth(ConstStr255Param text)
{
    return text ? SInt16(std::min(32767, MeasureText(CurrentPort(), reinterpret_cast<const char*>(text + 1), text[0])))
                : 0;
}

SInt16 TextWidth(const char* text, SInt16 firstByte, SInt16 byteCount)
{
    if (!text || firstByte < 0 || byteCount <= 0) return 0;
    return SInt16(std::min(32767, MeasureText(CurrentPort(), text + firstByte, byteCount)));
}

std::string GetTextFontFile(SInt16 face) { return FontFile(face); }

void GetFontInfo(FontInfo* info)
{
    if (!info) return;
    *info = FontInfo{0, 0, 0, 0};
    CGrafPtr port = CurrentPort();
    if (!port) return;
    FT_Face face = Fonts().Face(port->textFace, PixelSize(port));
    if (!face) return;
    const FT_Size_Metrics& m = face->size->metrics;
    info->ascent = SInt16((m.ascender + 63) >> 6);
    info->descent = SInt16((-m.descender + 63) >> 6);
    info->widMax = SInt16((m.max_advance + 63) >> 6);
    info->leading = SInt16(std::max<long>(0, (m.height >> 6) - info->ascent - info->descent));
}
