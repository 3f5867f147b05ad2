// Port pixels written as an 8-bit RGB PNG through libpng, atomically.
#include "recorder/Png.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "recorder/StdioOutput.h"
#include "signals/InputText.h"
#include "signals/OutputFile.h"

namespace {

struct PngFailure {
    char message[256];
};

void OnPngError(png_structp png, png_const_charp message)
{
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    std::snprintf(failure->message, sizeof failure->message, "%s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Encodes rows into an open file; false with failure->message set on error.
// Kept free of objects with destructors, since libpng leaves it by longjmp.
bool Encode(FILE* file, const uint8_t* const* rows, int width, int height, PngFailure* failure)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, failure, OnPngError, OnPngWarning);
    if (!png) {
        std::snprintf(failure->message, sizeof failure->message, "libpng could not start");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::snprintf(failure->message, sizeof failure->message, "libpng could not start");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, const_cast<png_bytepp>(rows));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

void WritePixelsPng(const uint32_t* pixels, int width, int height, const std::string& path)
{
    if (!pixels || width <= 0 || height <= 0)
        throw std::runtime_error("PNG " + EscapeInput(path) + ": no pixels to write (" + std::to_string(width) + " x " +
                                 std::to_string(height) + ")");
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    std::vector<const uint8_t*> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        uint8_t* row = rgb.data() + size_t(y) * size_t(width) * 3;
        rows[size_t(y)] = row;
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
            row[3 * x] = uint8_t(p >> 16);
            row[3 * x + 1] = uint8_t(p >> 8);
            row[3 * x + 2] = uint8_t(p);
        }
    }

    WriteStdioOutput(path, "PNG", [&](std::FILE* file) {
        PngFailure failure{};
        if (!Encode(file, rows.data(), width, height, &failure)) throw OutputError(failure.message);
    });
}
