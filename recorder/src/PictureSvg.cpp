// A picture record as SVG, written directly so that text stays text (a text
// element per run, each character placed where the toolbox drew it) and the
// trace stays one short path: 1-pixel strokes through pixel centres with
// square caps, relative steps of a pixel or two.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "PictureInternal.h"
#include "recorder/PictureFiles.h"
#include "recorder/StdioOutput.h"
#include "signals/OutputFile.h"

namespace {

void AppendNumber(std::string& out, long value) { out += std::to_string(value); }

// Text for an attribute or element: the XML specials escaped.
void AppendEscaped(std::string& out, const std::string& utf8)
{
    for (char c : utf8) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            // Control characters are not allowed in XML; the toolbox draws none.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') out += c;
        }
    }
}

void AppendColour(std::string& out, UInt32 pixel)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", unsigned(pixel & 0xFFFFFF));
    out += text;
}

void AppendRect(std::string& out, const Rect& r, UInt32 pixel)
{
    out += "<rect x=\"";
    AppendNumber(out, r.left);
    out += "\" y=\"";
    AppendNumber(out, r.top);
    out += "\" width=\"";
    AppendNumber(out, r.right - r.left);
    out += "\" height=\"";
    AppendNumber(out, r.bottom - r.top);
    out += "\" fill=\"";
    AppendColour(out, pixel);
    out += "\"/>\n";
}

// One path for consecutive polylines of one colour; lone pixels as squares.
void AppendPolylines(std::string& out, const PictureRecord& record, std::span<const PictureOp> polylines)
{
    const UInt32 pixel = polylines.front().pixel;
    std::string squares, path;
    for (const PictureOp& op : polylines) {
        const Point* points = record.points.data() + op.first;
        if (op.count == 1) {
            AppendRect(squares, Rect{points[0].v, points[0].h, SInt16(points[0].v + 1), SInt16(points[0].h + 1)},
                       pixel);
            continue;
        }
        path += 'M';
        AppendNumber(path, points[0].h);
        path += ".5 ";
        AppendNumber(path, points[0].v);
        path += ".5l";
        for (UInt32 i = 1; i < op.count; ++i) {
            const long dh = points[i].h - points[i - 1].h, dv = points[i].v - points[i - 1].v;
            if (i > 1 && dh >= 0) path += ' ';
            AppendNumber(path, dh);
            if (dv >= 0) path += ' ';
            AppendNumber(path, dv);
        }
    }
    if (!path.empty()) {
        out += "<path fill=\"none\" stroke=\"";
        AppendColour(out, pixel);
        out += "\" stroke-width=\"1\" stroke-linecap=\"square\" stroke-linejoin=\"round\" d=\"";
        out += path;
        out += "\"/>\n";
    }
    out += squares;
}

void AppendText(std::string& out, const PictureText& text, int& clipCount)
{
    std::string clip;
    if (!ClipContains(text.clip, text.ink)) {
        clip = "c" + std::to_string(clipCount++);
        out += "<clipPath id=\"" + clip + "\">";
        const Rect r = text.clip;
        out += "<rect x=\"" + std::to_string(r.left) + "\" y=\"" + std::to_string(r.top) + "\" width=\"" +
               std::to_string(r.right - r.left) + "\" height=\"" + std::to_string(r.bottom - r.top) + "\"/>";
        out += "</clipPath>\n";
    }
    if (!text.glyphs.empty()) {
        out += "<text y=\"";
        AppendNumber(out, text.origin.v);
        out += "\" font-family=\"" kPictureFontFamily "\" font-size=\"";
        AppendNumber(out, text.size);
        out += '"';
        if (text.face & bold) out += " font-weight=\"bold\"";
        if (text.face & italic) out += " font-style=\"oblique\"";
        out += " fill=\"";
        AppendColour(out, text.pixel);
        out += '"';
        if (!clip.empty()) out += " clip-path=\"url(#" + clip + ")\"";
        out += '>';
        // A place for each character: renderers that take only the first of
        // a list of places would set the rest at their own advances.
        for (const PictureGlyph& glyph : text.glyphs) {
            out += "<tspan x=\"";
            AppendNumber(out, glyph.h);
            out += "\">";
            AppendEscaped(out, UnicodeToUtf8(std::u32string(1, glyph.code)));
            out += "</tspan>";
        }
        out += "</text>\n";
    }
    if (text.face & underline) {
        if (!clip.empty()) out += "<g clip-path=\"url(#" + clip + ")\">";
        AppendRect(out, UnderlineOf(text), text.pixel);
        if (!clip.empty()) out += "</g>\n";
    }
}

void AppendBase64(std::string& out, const std::string& bytes)
{
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned n =
            (unsigned(uint8_t(bytes[i])) << 16) | (unsigned(uint8_t(bytes[i + 1])) << 8) | uint8_t(bytes[i + 2]);
        out += kDigits[n >> 18];
        out += kDigits[(n >> 12) & 63];
        out += kDigits[(n >> 6) & 63];
        out += kDigits[n & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const unsigned n = (unsigned(uint8_t(bytes[i])) << 16) | (two ? unsigned(uint8_t(bytes[i + 1])) << 8 : 0);
        out += kDigits[n >> 18];
        out += kDigits[(n >> 12) & 63];
        out += two ? kDigits[(n >> 6) & 63] : '=';
        out += '=';
    }
}

void AppendImage(std::string& out, const PictureImage& image)
{
    const Rect& b = image.bounds;
    out += "<image x=\"" + std::to_string(b.left) + "\" y=\"" + std::to_string(b.top) + "\" width=\"" +
           std::to_string(b.right - b.left) + "\" height=\"" + std::to_string(b.bottom - b.top) +
           "\" preserveAspectRatio=\"none\" style=\"image-rendering:pixelated\" xlink:href=\"data:image/png;base64,";
    AppendBase64(out, ImagePngBytes(image));
    out += "\"/>\n";
}

class SvgWriter : public PictureWriter {
public:
    explicit SvgWriter(std::string& out) : out_(out) {}
    void Fill(const Rect& r, UInt32 pixel) override { AppendRect(out_, r, pixel); }
    void Polylines(const PictureRecord& record, std::span<const PictureOp> polylines) override
    {
        AppendPolylines(out_, record, polylines);
    }
    void Text(const PictureText& text) override { AppendText(out_, text, clipCount_); }
    void Image(const PictureImage& image) override { AppendImage(out_, image); }
    void Turned(const TurnedText& text) override
    {
        out_ +=
            "<g transform=\"translate(" + std::to_string(text.h) + " " + std::to_string(text.v) + ") rotate(-90)\">\n";
        AppendText(out_, text.run, clipCount_);
        out_ += "</g>\n";
    }

private:
    std::string& out_;
    int clipCount_ = 0;
};

std::string SvgDocument(const PictureRecord& record, const PictureSettings& settings)
{
    const Rect& frame = record.frame;
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    std::string out;
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\"";
    out += " width=\"" + std::to_string(width * settings.scale) + "\" height=\"" +
           std::to_string(height * settings.scale) + "\" viewBox=\"" + std::to_string(frame.left) + " " +
           std::to_string(frame.top) + " " + std::to_string(width) + " " + std::to_string(height) +
           "\" xml:space=\"preserve\">\n";
    if (!settings.title.empty()) {
        out += "<title>";
        AppendEscaped(out, settings.title);
        out += "</title>\n";
    }
    SvgWriter writer(out);
    WritePicture(record, writer);
    out += "</svg>\n";
    return out;
}

}  // namespace

void WritePictureSvg(const PictureRecord& record, const PictureSettings& settings, const std::string& path)
{
    const std::string document = SvgDocument(record, settings);
    WriteStdioOutput(path, "SVG", [&](std::FILE* file) {
        if (std::fwrite(document.data(), 1, document.size(), file) != document.size())
            throw OutputError(std::strerror(errno));
    });
}
