// Picture formats by file name, the size a picture may be drawn at, and what
// the SVG and cairo writers share about text runs.
#include "recorder/PictureFiles.h"

#include <algorithm>
#include <cctype>

#include "PictureInternal.h"

PictureFormat PictureFormatOf(const std::string& path)
{
    const size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return PictureFormat::png;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (extension == "svg") return PictureFormat::svg;
    if (extension == "pdf") return PictureFormat::pdf;
    return PictureFormat::png;
}

const char* PictureFormatName(PictureFormat format)
{
    switch (format) {
    case PictureFormat::svg: return "SVG";
    case PictureFormat::pdf: return "PDF";
    default: return "PNG";
    }
}

std::string PictureSizeProblem(PictureFormat format, int width, int height, int scale)
{
    if (scale < 1 || scale > kLargestPictureScale)
        return "the scale " + std::to_string(scale) + " is not a whole number from 1 to " +
               std::to_string(kLargestPictureScale);
    if (width <= 0 || height <= 0) return "the window has no pixels";
    if (format != PictureFormat::png) return std::string();
    const long scaledWidth = long(width) * scale, scaledHeight = long(height) * scale;
    if (scaledWidth > kLargestPictureSide || scaledHeight > kLargestPictureSide ||
        scaledWidth * scaledHeight > kLargestPicturePixels)
        return std::to_string(width) + " x " + std::to_string(height) + " at scale " + std::to_string(scale) + " is " +
               std::to_string(scaledWidth) + " x " + std::to_string(scaledHeight) +
               " pixels; a picture is drawn at most " + std::to_string(kLargestPictureSide) + " pixels a side and " +
               std::to_string(kLargestPicturePixels >> 20) + " Mi pixels in all (e.g. 8000 x 4000)";
    return std::string();
}

std::string GlyphsUtf8(const PictureText& text)
{
    std::u32string codes;
    for (const PictureGlyph& glyph : text.glyphs) codes += glyph.code;
    return UnicodeToUtf8(codes);
}

Rect UnderlineOf(const PictureText& text)
{
    const SInt16 v = SInt16(text.origin.v + 1);
    return Rect{v, text.origin.h, SInt16(v + 1), SInt16(text.origin.h + text.width)};
}
