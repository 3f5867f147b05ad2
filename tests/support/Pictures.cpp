// Pictures in tests, through libpng.
#include "Pictures.h"

#include <png.h>

#include <cstdio>

#ifndef XY_TEST_OUTPUT_DIR
#define XY_TEST_OUTPUT_DIR "."
#endif

bool WritePortPng(CGrafPtr port, const std::string& path, int scale)
{
    SInt32 width = 0, height = 0;
    const UInt32* pixels = GetPortPixels(port, &width, &height);
    if (!pixels || scale < 1) return false;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width * scale);
    image.height = png_uint_32(height * scale);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(size_t(image.width) * image.height * 3);
    for (size_t v = 0; v < image.height; ++v)
        for (size_t h = 0; h < image.width; ++h) {
            UInt32 p = pixels[(v / size_t(scale)) * size_t(width) + h / size_t(scale)];
            uint8_t* out = &rgb[(v * image.width + h) * 3];
            out[0] = uint8_t(p >> 16);
            out[1] = uint8_t(p >> 8);
            out[2] = uint8_t(p);
        }
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

Picture ReadPng(const std::string& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Picture picture;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return picture;
    picture.width = int(image.width);
    picture.height = int(image.height);
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        picture.pixels.push_back(uint32_t(rgb[i]) << 16 | uint32_t(rgb[i + 1]) << 8 | rgb[i + 2]);
    return picture;
}

bool WritePng(const Picture& picture, const std::string& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(picture.width);
    image.height = png_uint_32(picture.height);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb;
    rgb.reserve(picture.pixels.size() * 3);
    for (uint32_t p : picture.pixels) {
        rgb.push_back(uint8_t(p >> 16));
        rgb.push_back(uint8_t(p >> 8));
        rgb.push_back(uint8_t(p));
    }
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

std::string TestOutputPath(const std::string& name) { return std::string(XY_TEST_OUTPUT_DIR) + "/" + name; }
