// Pictures: a port records what is drawn on it while a picture is open on it,
// after clipping, so that a host can draw it again or hand it on as a vector
// picture. Lines become polylines through pixel centres, fills rectangles,
// text runs keep their characters, font, size and face, and what is blended
// pixel by pixel (a control's icon) becomes a small image of the pixels it left.
#pragma once

#include <string>
#include <vector>

#include "toolbox/MacTypes.h"

#pragma GCC visibility push(default)  // the library exports what its headers declare

struct OpaquePicture;
using PicHandle = OpaquePicture*;

enum class PictureOpKind : UInt8 { fill, polyline, text, image, comment };

// One drawing operation, in the port's coordinates.
struct PictureOp {
    PictureOpKind kind;
    UInt32 pixel;  // fill and polyline: the colour (0x00RRGGBB)
    Rect rect;     // fill: the area filled (inside the port and its clip)
    UInt32 first;  // polyline: its first point in points; text, image, comment: the index in texts, images, comments
    UInt32 count;  // polyline: its number of points (1 for a lone pixel)
};

// A glyph that draws something, its origin on the run's baseline.
struct PictureGlyph {
    char32_t code;  // Unicode
    SInt16 h;
};

struct PictureText {
    Point origin;  // the pen when drawing began: the baseline's left end
    SInt16 font;
    SInt16 size;           // pixels
    SInt16 face;           // bold, italic, underline bits
    UInt32 pixel;          // the colour
    SInt16 width;          // how far the pen advanced
    Rect ink;              // the pixels the run may touch, underline included
    Rect clip;             // the part of the port it could draw in
    std::string macRoman;  // the bytes drawn
    std::vector<PictureGlyph> glyphs;
};

// Pixels as they stood after drawing, 0xFFRRGGBB, or 0 where the picture
// does not know what shows (nothing it drew).
struct PictureImage {
    Rect bounds;
    std::vector<UInt32> pixels;  // rows top to bottom
};

// Data a program put in the picture for programs that read it (PicComment).
struct PictureComment {
    SInt16 kind;
    std::string data;
};

// What a picture holds. A polyline's points are pixel centres: each segment
// between two points is a line LineTo draws (its part inside the clip).
// Segments that would set no pixel to a new colour are left out, so a trace
// drawn over itself costs what it shows, not what it took to draw.
struct PictureRecord {
    Rect frame;                  // the picture's frame, as OpenPicture was given it
    std::vector<PictureOp> ops;  // in drawing order
    std::vector<Point> points;
    std::vector<PictureText> texts;
    std::vector<PictureImage> images;
    std::vector<PictureComment> comments;
};

// Opens a picture on the current port: from now on what is drawn there is
// recorded as well as drawn. Null when there is no port or the port already
// records one.
PicHandle OpenPicture(const Rect* picFrame);
// Closes the picture open on the current port.
void ClosePicture();
// Draws the picture in the current port, its frame's top left at dstRect's;
// it is not scaled.
void DrawPicture(PicHandle picture, const Rect* dstRect);
// Disposes of a picture, closing it first if it is still open.
void KillPicture(PicHandle picture);
// Puts a comment of dataSize bytes from the handle (none for a null handle)
// in the picture open on the current port; drawing the picture ignores it.
void PicComment(SInt16 kind, SInt16 dataSize, Handle dataHandle);

// For hosts: what a picture holds; null for a null picture.
const PictureRecord* GetPictureRecord(PicHandle picture);
// The font file the toolbox draws a text face with (bold and italic bits).
std::string GetTextFontFile(SInt16 face);

#pragma GCC visibility pop
