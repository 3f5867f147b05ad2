// A window's picture as a file: SVG and PDF drawn from a toolbox picture
// record (lines, fills, text that stays text, small images), and PNG drawn
// from it at a whole-number scale.
#pragma once

#include <string>

#include "toolbox/Pictures.h"

enum class PictureFormat { png, svg, pdf };

// The format a path's extension names: .svg and .pdf (in any case), else PNG.
PictureFormat PictureFormatOf(const std::string& path);
const char* PictureFormatName(PictureFormat format);  // "PNG", "SVG", "PDF"

// The largest scale (for every format), and the largest picture in pixels a
// PNG is drawn at (each side, and in all: 8000 x 4000, 128 MiB while drawn).
constexpr int kLargestPictureScale = 8;
constexpr int kLargestPictureSide = 16384;
constexpr long kLargestPicturePixels = 32L << 20;

// Empty when a width x height window can be written in the format at scale;
// else why not.
std::string PictureSizeProblem(PictureFormat format, int width, int height, int scale);

// What a picture file shows besides the record: its size in the port's
// pixels (the record's frame), how many times larger it is drawn, a title.
struct PictureSettings {
    int scale = 1;
    std::string title;  // UTF-8
};

// Each writes path as WriteStdioOutput does (whole or not at all);
// std::runtime_error names the path and the reason. SVG and PDF are sized scale times the frame; the PNG is drawn
// at scale times.
void WritePictureSvg(const PictureRecord& record, const PictureSettings& settings, const std::string& path);
void WritePicturePdf(const PictureRecord& record, const PictureSettings& settings, const std::string& path);
void WritePicturePng(const PictureRecord& record, const PictureSettings& settings, const std::string& path);
