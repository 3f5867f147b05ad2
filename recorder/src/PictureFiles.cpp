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
    case PictureFormat::svg:
        return "SVG";
    case PictureFormat::pdf:
        return "PDF";
    default:
        return "PNG";
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

void WritePicture(const PictureRecord& record, PictureWriter& writer)
{
    const std::vector<PictureOp>& ops = record.ops;
    for (size_t i = 0; i < ops.size();) {
        const PictureOp& op = ops[i];
        switch (op.kind) {
        case PictureOpKind::fill:
            writer.Fill(op.rect, op.pixel);
            break;
        case PictureOpKind::polyline: {
            size_t end = i + 1;
            while (end < ops.size() && ops[end].kind == PictureOpKind::polyline && ops[end].pixel == op.pixel) ++end;
            writer.Polylines(record, std::span<const PictureOp>(ops.data() + i, end - i));
            i = end;
            continue;
        }
        case PictureOpKind::text:
            writer.Text(record.texts[op.first]);
            break;
        case PictureOpKind::image:
            writer.Image(record.images[op.first]);
            break;
        case PictureOpKind::comment: {
            const PictureComment& comment = record.comments[op.first];
            const size_t end = comment.kind == kTurnedTextBegin ? TurnedTextEnd(record, i) : 0;
            const std::optional<TurnedText> turned = end ? DecodeTurnedText(comment.data) : std::nullopt;
            if (!turned) break;
            writer.Turned(*turned);
            i = end + 1;
            continue;
        }
        }
        ++i;
    }
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
