// What the picture writers share: the family the toolbox's font files belong
// to, and small facts about text runs and images of a picture record.
#pragma once

#include <string>

#include "toolbox/Pictures.h"
#include "toolbox/QuickDraw.h"

// The family of the files GetTextFontFile names, for formats that name fonts.
#define kPictureFontFamily "DejaVu Sans"

inline bool ClipContains(const Rect& clip, const Rect& ink)
{
    return ink.top >= clip.top && ink.left >= clip.left && ink.bottom <= clip.bottom && ink.right <= clip.right;
}

// The characters of a run that draw something, as UTF-8.
std::string GlyphsUtf8(const PictureText& text);
// The 1-pixel line under a run, one below its baseline, as the toolbox draws it.
Rect UnderlineOf(const PictureText& text);
// The image as a PNG file's bytes (8-bit RGBA).
std::string ImagePngBytes(const PictureImage& image);
