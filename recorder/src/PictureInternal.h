// What the picture writers share: the walk through a picture record, the
// family the toolbox's font files belong to, and small facts about text runs
// and images.
#pragma once

#include <span>
#include <string>

#include "recorder/TurnedText.h"
#include "toolbox/Pictures.h"
#include "toolbox/QuickDraw.h"

// What a writer draws, in the record's order.
class PictureWriter {
public:
    virtual ~PictureWriter() = default;
    virtual void Fill(const Rect& r, UInt32 pixel) = 0;
    // Consecutive polylines of one colour, together so that they can be one stroke.
    virtual void Polylines(const PictureRecord& record, std::span<const PictureOp> polylines) = 0;
    virtual void Text(const PictureText& text) = 0;
    virtual void Image(const PictureImage& image) = 0;
    // Instead of the pixels that show it on the port.
    virtual void Turned(const TurnedText& text) = 0;
};
void WritePicture(const PictureRecord& record, PictureWriter& writer);

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
