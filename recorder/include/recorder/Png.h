// Writing port pixels (0x00RRGGBB, rows top to bottom) as an 8-bit RGB PNG.
#pragma once

#include <cstdint>
#include <string>

// Written as WriteOutput writes (OutputFile.h): a failure leaves no partial
// file, and nothing but a regular file is replaced. Throws std::runtime_error
// naming the path and the reason.
void WritePixelsPng(const uint32_t* pixels, int width, int height, const std::string& path);
