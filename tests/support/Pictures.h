// Pictures in tests: a port's pixels written as a PNG for a person to look
// at, and a PNG read back as pixels (0xRRGGBB, rows top to bottom).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolbox/Toolbox.h"

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int h, int v) const { return pixels[size_t(v) * size_t(width) + size_t(h)]; }
    bool Empty() const { return pixels.empty(); }
};

// Writes the port's pixels, each repeated scale times across and down; false
// when the file can't be written.
bool WritePortPng(CGrafPtr port, const std::string& path, int scale = 1);

// The picture in a PNG file; an empty one when it can't be read.
// The picture as a PNG; false when the file can't be written.
bool WritePng(const Picture& picture, const std::string& path);
Picture ReadPng(const std::string& path);

// Where tests leave pictures for a person to look at.
std::string TestOutputPath(const std::string& name);
