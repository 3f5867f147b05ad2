// A picture record drawn with cairo: as PDF (text kept as text in the font
// files the toolbox draws with, embedded) and as PNG at a whole-number scale.
#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "PictureInternal.h"
#include "recorder/PictureFiles.h"
#include "recorder/Png.h"
#include "recorder/StdioOutput.h"
#include "signals/InputText.h"

namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* context) const { cairo_destroy(context); }
};
struct FontFaceDeleter {
    void operator()(cairo_font_face_t* face) const { cairo_font_face_destroy(face); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;
using FontFace = std::unique_ptr<cairo_font_face_t, FontFaceDeleter>;

void SetColour(cairo_t* cr, UInt32 pixel)
{
    cairo_set_source_rgb(cr, ((pixel >> 16) & 0xFF) / 255.0, ((pixel >> 8) & 0xFF) / 255.0, (pixel & 0xFF) / 255.0);
}

void AddRect(cairo_t* cr, const Rect& r) { cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top); }

void FillRect(cairo_t* cr, const Rect& r, UInt32 pixel)
{
    SetColour(cr, pixel);
    AddRect(cr, r);
    cairo_fill(cr);
}

// An image surface of the picture's image, its pixels premultiplied (they
// are opaque or empty, so as they are); without alpha when all are opaque.
Surface ImageSurface(const PictureImage& image)
{
    const int width = image.bounds.right - image.bounds.left, height = image.bounds.bottom - image.bounds.top;
    const bool opaque = std::find(image.pixels.begin(), image.pixels.end(), 0u) == image.pixels.end();
    Surface surface(cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, width, height));
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    if (!data)
        throw std::runtime_error("cairo could not make an image of " + std::to_string(width) + " x " +
                                 std::to_string(height) + " pixels");
    for (int y = 0; y < height; ++y)
        std::memcpy(data + size_t(y) * size_t(stride), image.pixels.data() + size_t(y) * size_t(width),
                    size_t(width) * sizeof(UInt32));
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

// The toolbox's four font files as cairo faces, loaded when first used.
class Fonts {
public:
    cairo_font_face_t* Face(SInt16 face)
    {
        const int index = ((face & bold) ? 1 : 0) | ((face & italic) ? 2 : 0);
        if (!faces_[size_t(index)]) {
            FcPattern* pattern = FcPatternCreate();
            const std::string file = GetTextFontFile(face);
            FcPatternAddString(pattern, FC_FILE, reinterpret_cast<const FcChar8*>(file.c_str()));
            FcPatternAddInteger(pattern, FC_INDEX, 0);
            faces_[size_t(index)].reset(cairo_ft_font_face_create_for_pattern(pattern));
            FcPatternDestroy(pattern);
        }
        return faces_[size_t(index)].get();
    }

private:
    std::array<FontFace, 4> faces_;
};

// The run's characters as glyphs of the font, each where the toolbox put it,
// one cluster a character, so that the text can be copied out of a PDF.
void ShowText(cairo_t* cr, const PictureText& text, Fonts& fonts)
{
    if (text.glyphs.empty()) return;
    cairo_set_font_face(cr, fonts.Face(text.face));
    cairo_set_font_size(cr, text.size);
    const std::string utf8 = GlyphsUtf8(text);
    cairo_glyph_t* glyphs = nullptr;
    cairo_text_cluster_t* clusters = nullptr;
    int glyphCount = 0, clusterCount = 0;
    cairo_text_cluster_flags_t flags{};
    cairo_scaled_font_t* font = cairo_get_scaled_font(cr);
    const cairo_status_t status = cairo_scaled_font_text_to_glyphs(
        font, 0, text.origin.v, utf8.data(), int(utf8.size()), &glyphs, &glyphCount, &clusters, &clusterCount, &flags);
    if (status == CAIRO_STATUS_SUCCESS && glyphCount == int(text.glyphs.size())) {
        for (int i = 0; i < glyphCount; ++i) {
            glyphs[i].x = text.glyphs[size_t(i)].h;
            glyphs[i].y = text.origin.v;
        }
        SetColour(cr, text.pixel);
        cairo_show_text_glyphs(cr, utf8.data(), int(utf8.size()), glyphs, glyphCount, clusters, clusterCount, flags);
    }
    cairo_glyph_free(glyphs);
    cairo_text_cluster_free(clusters);
}

void DrawText(cairo_t* cr, const PictureText& text, Fonts& fonts)
{
    cairo_save(cr);
    if (!ClipContains(text.clip, text.ink)) {
        AddRect(cr, text.clip);
        cairo_clip(cr);
    }
    ShowText(cr, text, fonts);
    if (text.face & underline) FillRect(cr, UnderlineOf(text), text.pixel);
    cairo_restore(cr);
}

void DrawImage(cairo_t* cr, const PictureImage& image)
{
    Surface surface = ImageSurface(image);
    cairo_save(cr);
    AddRect(cr, image.bounds);
    cairo_clip(cr);
    cairo_set_source_surface(cr, surface.get(), image.bounds.left, image.bounds.top);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);  // an image of its own in a PDF, not a pattern
    cairo_restore(cr);
}

// Consecutive polylines of one colour as one stroke, lone pixels as squares.
void DrawPolylines(cairo_t* cr, const PictureRecord& record, std::span<const PictureOp> polylines)
{
    SetColour(cr, polylines.front().pixel);
    cairo_new_path(cr);
    bool lines = false;
    for (const PictureOp& op : polylines) {
        const Point* points = record.points.data() + op.first;
        if (op.count == 1) continue;
        cairo_move_to(cr, points[0].h + 0.5, points[0].v + 0.5);
        for (UInt32 i = 1; i < op.count; ++i) cairo_line_to(cr, points[i].h + 0.5, points[i].v + 0.5);
        lines = true;
    }
    if (lines) cairo_stroke(cr);
    cairo_new_path(cr);
    for (const PictureOp& op : polylines) {
        if (op.count != 1) continue;
        const Point p = record.points[op.first];
        cairo_rectangle(cr, p.h, p.v, 1, 1);
    }
    cairo_fill(cr);
}

class CairoWriter : public PictureWriter {
public:
    explicit CairoWriter(cairo_t* cr) : cr_(cr) {}
    void Fill(const Rect& r, UInt32 pixel) override { FillRect(cr_, r, pixel); }
    void Polylines(const PictureRecord& record, std::span<const PictureOp> polylines) override
    {
        DrawPolylines(cr_, record, polylines);
    }
    void Text(const PictureText& text) override { DrawText(cr_, text, fonts_); }
    void Image(const PictureImage& image) override { DrawImage(cr_, image); }
    void Turned(const TurnedText& text) override
    {
        cairo_save(cr_);
        cairo_translate(cr_, text.h, text.v);
        cairo_rotate(cr_, -M_PI / 2);
        DrawText(cr_, text.run, fonts_);
        cairo_restore(cr_);
    }

private:
    cairo_t* cr_;
    Fonts fonts_;
};

void DrawRecord(cairo_t* cr, const PictureRecord& record)
{
    cairo_translate(cr, -record.frame.left, -record.frame.top);
    AddRect(cr, record.frame);
    cairo_clip(cr);
    cairo_set_line_width(cr, 1);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    CairoWriter writer(cr);
    WritePicture(record, writer);
}

int FrameWidth(const PictureRecord& record) { return record.frame.right - record.frame.left; }
int FrameHeight(const PictureRecord& record) { return record.frame.bottom - record.frame.top; }

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length)
{
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

cairo_status_t WriteBytes(void* closure, const unsigned char* data, unsigned int length)
{
    return std::fwrite(data, 1, length, static_cast<std::FILE*>(closure)) == length ? CAIRO_STATUS_SUCCESS
                                                                                    : CAIRO_STATUS_WRITE_ERROR;
}

}  // namespace

std::string ImagePngBytes(const PictureImage& image)
{
    Surface surface = ImageSurface(image);
    std::string bytes;
    if (cairo_surface_write_to_png_stream(surface.get(), AppendBytes, &bytes) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cairo could not encode an image");
    return bytes;
}

void WritePicturePdf(const PictureRecord& record, const PictureSettings& settings, const std::string& path)
{
    WriteStdioOutput(path, "PDF", [&](std::FILE* file) {
        // One pixel of the window is one point of the page, times the scale.
        Surface surface(cairo_pdf_surface_create_for_stream(WriteBytes, file, FrameWidth(record) * settings.scale,
                                                            FrameHeight(record) * settings.scale));
        if (!settings.title.empty())
            cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_TITLE, settings.title.c_str());
        cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, "xyrecorder");
        {
            Context cr(cairo_create(surface.get()));
            cairo_scale(cr.get(), settings.scale, settings.scale);
            DrawRecord(cr.get(), record);
        }
        cairo_surface_finish(surface.get());
        if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
            throw std::runtime_error(cairo_status_to_string(cairo_surface_status(surface.get())));
    });
}

void WritePicturePng(const PictureRecord& record, const PictureSettings& settings, const std::string& path)
{
    const int width = FrameWidth(record) * settings.scale, height = FrameHeight(record) * settings.scale;
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("PNG " + EscapeInput(path) + ": cairo could not make a picture of " +
                                 std::to_string(width) + " x " + std::to_string(height) + " pixels");
    {
        Context cr(cairo_create(surface.get()));
        cairo_set_source_rgb(cr.get(), 1, 1, 1);
        cairo_paint(cr.get());
        cairo_scale(cr.get(), settings.scale, settings.scale);
        DrawRecord(cr.get(), record);
    }
    cairo_surface_flush(surface.get());
    // RGB24 pixels are 32-bit words 0x00RRGGBB (the top byte unused), rows stride bytes apart.
    const int stride = cairo_image_surface_get_stride(surface.get());
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    if (stride != width * 4) throw std::runtime_error("PNG " + EscapeInput(path) + ": cairo padded the picture's rows");
    WritePixelsPng(reinterpret_cast<const uint32_t*>(data), width, height, path);
}
