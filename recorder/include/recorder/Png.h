// Writing port pixels (0x00RRGGBB, rows top to bottom) as an 8-bit RGB PNG.
#pragma once

#include <cstdint>
#include <string>

// Writes to a temporary file beside path and renames it, so that a failure
// leaves no partial file. Throws std::runtime_error naming the path and reason.
void WritePixelsPng(const uint32_t* pixels, int width, int height, const std::string& path);
