// QuickDraw over software framebuffers. Each port has its own 32-bit pixels
// (0x00RRGGBB), a pen position, a clip rectangle, fore and back colours and
// text settings. Drawing acts on the current port and is clipped to the clip
// rectangle, the port's bounds and its visible region. Rect edges follow the
// platform: bottom and right lie outside the rectangle.
#pragma once

#include "toolbox/MacTypes.h"

#pragma GCC visibility push(default)  // the library exports what its headers declare

// Text faces (bits).
enum : SInt16 { normal = 0, bold = 1, italic = 2, underline = 4 };
// Font numbers: 0 system font, 1 application font; both are DejaVu Sans here.
enum : SInt16 { systemFont = 0, applFont = 1 };

struct FontInfo {
    SInt16 ascent;
    SInt16 descent;
    SInt16 widMax;
    SInt16 leading;
};

// ---- Ports ----
void SetPort(GrafPtr port);
void GetPort(GrafPtr* port);
// A port that belongs to no window (an offscreen picture), bounds from (0, 0).
CGrafPtr CreateOffscreenPort(SInt16 width, SInt16 height);
void DisposeOffscreenPort(CGrafPtr port);
Rect* GetPortBounds(CGrafPtr port, Rect* bounds);
// A number that names this port and no other, before or after it, even one
// made later at the same address; 0 when port is no live port.
UInt32 GetPortSerial(CGrafPtr port);

// ---- Pixels of a port, for hosts and tests ----
UInt32 GetPortPixel(CGrafPtr port, SInt16 h, SInt16 v);                     // 0 outside the port
const UInt32* GetPortPixels(CGrafPtr port, SInt32* width, SInt32* height);  // rows top to bottom

// ---- Changed pixels, for hosts that show ports on a screen ----
// The dirty region bounds every pixel written (by any drawing, in any
// Manager) since a host last set it, usually to empty after copying those
// pixels to the screen. A new or resized port is dirty all over.
Boolean QDIsPortBufferDirty(CGrafPtr port);
OSStatus QDGetDirtyRegion(CGrafPtr port, RgnHandle rgn);
OSStatus QDSetDirtyRegion(CGrafPtr port, RgnHandle rgn);
void QDAddRectToDirtyRegion(CGrafPtr port, const Rect* bounds);

// ---- Clip, pen, colours ----
void ClipRect(const Rect* r);
void GetClip(Rect* r);  // the clip rectangle of the current port
void MoveTo(SInt16 h, SInt16 v);
void LineTo(SInt16 h, SInt16 v);
void Move(SInt16 dh, SInt16 dv);
void Line(SInt16 dh, SInt16 dv);
void GetPen(Point* pt);
void PenNormal();
void RGBForeColor(const RGBColor* color);
void RGBBackColor(const RGBColor* color);
void GetForeColor(RGBColor* color);
void GetBackColor(RGBColor* color);

// ---- Shapes ----
void EraseRect(const Rect* r);  // fills with the background colour
void PaintRect(const Rect* r);  // fills with the foreground colour
void FrameRect(const Rect* r);  // 1-pixel outline inside r
void InvertRect(const Rect* r);

// ---- Text: FreeType with DejaVu Sans ----
void TextFont(SInt16 font);
void TextSize(SInt16 size);
void TextFace(SInt16 face);
void DrawString(ConstStr255Param text);  // at the pen, baseline at pen.v; advances the pen
void DrawText(const char* text, SInt16 firstByte, SInt16 byteCount);
SInt16 StringWidth(ConstStr255Param text);
SInt16 TextWidth(const char* text, SInt16 firstByte, SInt16 byteCount);
void GetFontInfo(FontInfo* info);

// ---- Rectangles and points ----
void SetRect(Rect* r, SInt16 left, SInt16 top, SInt16 right, SInt16 bottom);
void OffsetRect(Rect* r, SInt16 dh, SInt16 dv);
void InsetRect(Rect* r, SInt16 dh, SInt16 dv);
Boolean SectRect(const Rect* a, const Rect* b, Rect* intersection);
Boolean EmptyRect(const Rect* r);
Boolean PtInRect(Point pt, const Rect* r);  // left and top edges in, right and bottom out
Boolean EqualRect(const Rect* a, const Rect* b);

// ---- Regions: rectangles only ----
RgnHandle NewRgn();
void DisposeRgn(RgnHandle rgn);
void RectRgn(RgnHandle rgn, const Rect* r);
void SetEmptyRgn(RgnHandle rgn);
void GetRegionBounds(RgnHandle rgn, Rect* bounds);
Boolean EmptyRgn(RgnHandle rgn);
void UnionRgn(RgnHandle a, RgnHandle b, RgnHandle result);  // bounding rectangle of both
Boolean RectInRgn(const Rect* r, RgnHandle rgn);            // true when r meets the region
// The port's visible region: its bounds, or empty while its window is hidden.
RgnHandle GetPortVisibleRegion(CGrafPtr port, RgnHandle visRgn);

#pragma GCC visibility pop
