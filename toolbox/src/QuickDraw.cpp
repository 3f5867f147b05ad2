// QuickDraw: ports over 32-bit framebuffers, the pen, colours, lines and
// rectangles. Every pixel written goes through the port's drawClip, the
// intersection of its clip rectangle, its bounds and its visible region.
#include <algorithm>
#include <cstdint>
#include <unordered_map>

#include "ToolboxInternal.h"

namespace toolbox {

ToolboxObjectCounts gCounts{};

namespace {

CGrafPtr gCurrentPort = nullptr;
// Live ports and their serial numbers; a freed port's block may soon hold a
// new one. Never destroyed: ports may be disposed during exit.
std::unordered_map<CGrafPtr, UInt32>& PortSerials()
{
    static auto* serials = new std::unordered_map<CGrafPtr, UInt32>;
    return *serials;
}
UInt32 gLastPortSerial = 0;

Rect Intersect(const Rect& a, const Rect& b)
{
    Rect r{std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom), std::min(a.right, b.right)};
    if (r.bottom <= r.top || r.right <= r.left) return Rect{0, 0, 0, 0};
    return r;
}

// Pixels i = 0..dMajor of a Bresenham line step once along the major axis per
// pixel; the minor offset of pixel i is q(i) = floor((2*i*dMinor + dMajor) /
// (2*dMajor)), i.e. i*dMinor/dMajor rounded with halves away from the start.
// q is monotonic, so the pixels inside a clip rectangle form one run of i,
// found here without walking the invisible part.
int64_t FirstStepReaching(int64_t dMajor, int64_t dMinor, int64_t q)
{
    if (q <= 0) return 0;
    int64_t numerator = 2 * dMajor * q - dMajor;
    return (numerator + 2 * dMinor - 1) / (2 * dMinor);
}

// Steps whose coordinate start + sign*step lies in [lo, hi], within [0, limit].
void StepRangeForCoordinate(int start, int sign, int lo, int hi, int64_t limit, int64_t& first, int64_t& last)
{
    if (sign > 0) {
        first = int64_t(lo) - start;
        last = int64_t(hi) - start;
    } else {
        first = int64_t(start) - hi;
        last = int64_t(start) - lo;
    }
    first = std::max<int64_t>(first, 0);
    last = std::min<int64_t>(last, limit);
}

void PlotPixel(CGrafPtr port, int h, int v)
{
    const Rect& c = port->drawClip;
    if (h >= c.left && h < c.right && v >= c.top && v < c.bottom)
        port->pixels[size_t(v) * size_t(port->width) + size_t(h)] = port->forePixel;
}

// A line of at most two steps along each axis (|dh|, |dv| <= 2), the commonest
// line of a dense polyline, is its end pixels and the one between: a step from
// the start along each axis that moves (for one step or none, the end again).
// The rare one that meets the clip's edge is drawn pixel by pixel out of line,
// as are longer lines, so that LineTo's common case stays a few instructions.
[[gnu::noinline]] void DrawShortLineClipped(CGrafPtr port, int h0, int v0, int dh, int dv)
{
    PlotPixel(port, h0, v0);
    PlotPixel(port, h0 + (dh > 0) - (dh < 0), v0 + (dv > 0) - (dv < 0));
    PlotPixel(port, h0 + dh, v0 + dv);
}

inline void DrawShortLine(CGrafPtr port, int h0, int v0, int dh, int dv)
{
    // drawClip is never inverted, so a coordinate below its start wraps round
    // to a large unsigned offset and one comparison per axis and end suffices.
    const Rect& c = port->drawClip;
    const unsigned width = unsigned(c.right - c.left), height = unsigned(c.bottom - c.top);
    const unsigned h = unsigned(h0 - c.left), v = unsigned(v0 - c.top);
    if (!((h < width) & (h + unsigned(dh) < width) & (v < height) & (v + unsigned(dv) < height))) {
        DrawShortLineClipped(port, h0, v0, dh, dv);
        return;
    }
    const ptrdiff_t rowStride = port->width;
    UInt32* const start = port->pixels.data() + v0 * rowStride + h0;
    const UInt32 pixel = port->forePixel;
    start[0] = pixel;
    start[((dv > 0) - (dv < 0)) * rowStride + (dh > 0) - (dh < 0)] = pixel;
    start[dv * rowStride + dh] = pixel;
}

[[gnu::noinline]] void DrawLine(CGrafPtr port, int h0, int v0, int h1, int v1)
{
    const Rect& c = port->drawClip;
    if (c.bottom <= c.top || c.right <= c.left) return;
    if (h0 == h1 && v0 == v1) {
        PlotPixel(port, h0, v0);
        return;
    }
    const LineSteps line = ClipLine(c, h0, v0, h1, v1);
    if (line.first > line.last) return;
    const int twoMajor = 2 * line.dMajor, twoMinor = 2 * line.dMinor;
    int q = 0, remainder = line.dMajor;
    if (line.first != 0) {  // the common line that starts inside the clip skips the divisions
        const int64_t numerator = 2 * line.first * line.dMinor + line.dMajor;
        q = int(numerator / twoMajor);
        remainder = int(numerator % twoMajor);
    }
    const int majorAt = line.major0 + line.majorSign * int(line.first), minorAt = line.minor0 + line.minorSign * q;
    const int h = line.horizontalMajor ? majorAt : minorAt, v = line.horizontalMajor ? minorAt : majorAt;
    const ptrdiff_t rowStride = port->width;
    const ptrdiff_t hStep = h1 >= h0 ? 1 : -1, vStep = (v1 >= v0 ? 1 : -1) * rowStride;
    const ptrdiff_t majorStep = line.horizontalMajor ? hStep : vStep, minorStep = line.horizontalMajor ? vStep : hStep;
    const UInt32 pixel = port->forePixel;
    UInt32* p = port->pixels.data() + ptrdiff_t(v) * rowStride + h;
    for (int64_t n = line.last - line.first + 1;;) {
        *p = pixel;
        if (--n == 0) break;
        p += majorStep;
        remainder += twoMinor;
        if (remainder >= twoMajor) {
            remainder -= twoMajor;
            p += minorStep;
        }
    }
}

}  // namespace

CGrafPtr CurrentPort() { return gCurrentPort; }

CGrafPtr NewPort(int width, int height, WindowRef window)
{
    CGrafPtr port = LowNew<OpaqueGrafPtr>();
    port->window = window;
    port->width = std::clamp(width, 0, 32767);
    port->height = std::clamp(height, 0, 32767);
    port->pixels.assign(size_t(port->width) * port->height, port->backPixel);
    UpdateDrawClip(port);
    MarkDirty(port, Rect{0, 0, SInt16(port->height), SInt16(port->width)});
    ++gCounts.ports;
    PortSerials()[port] = ++gLastPortSerial;
    return port;
}

void DeletePort(CGrafPtr port)
{
    if (!port) return;
    if (gCurrentPort == port) gCurrentPort = nullptr;
    if (port->picture) DetachPicture(port);
    PortSerials().erase(port);
    LowDelete(port);
    --gCounts.ports;
}

void ResizePort(CGrafPtr port, int width, int height)
{
    width = std::clamp(width, 0, 32767);
    height = std::clamp(height, 0, 32767);
    std::vector<UInt32> pixels(size_t(width) * height, port->backPixel);
    const int keepWidth = std::min(width, port->width), keepHeight = std::min(height, port->height);
    for (int v = 0; v < keepHeight; ++v)
        std::copy_n(port->pixels.begin() + ptrdiff_t(v) * port->width, keepWidth,
                    pixels.begin() + ptrdiff_t(v) * width);
    port->pixels.swap(pixels);
    port->width = width;
    port->height = height;
    UpdateDrawClip(port);
    port->dirty = Rect{0, 0, 0, 0};
    MarkDirty(port, Rect{0, 0, SInt16(height), SInt16(width)});
}

void UpdateDrawClip(CGrafPtr port)
{
    const bool visible = !port->window || port->window->visible;
    Rect bounds{0, 0, SInt16(port->height), SInt16(port->width)};
    port->drawClip = visible ? Intersect(port->clip, bounds) : Rect{0, 0, 0, 0};
}

void FillRectInPort(CGrafPtr port, Rect r, UInt32 pixel)
{
    if (!port) return;
    r = Intersect(r, port->drawClip);
    MarkDirty(port, r);
    if (port->picture && r.bottom > r.top) RecordFill(port, r, pixel);
    for (int v = r.top; v < r.bottom; ++v)
        std::fill_n(port->pixels.begin() + ptrdiff_t(v) * port->width + r.left, r.right - r.left, pixel);
}

void BlendPixel(CGrafPtr port, int h, int v, UInt32 pixel, unsigned alpha)
{
    const Rect& c = port->drawClip;
    if (alpha == 0 || h < c.left || h >= c.right || v < c.top || v >= c.bottom) return;
    UInt32& dst = port->pixels[size_t(v) * port->width + h];
    MarkDirty(port, Rect{SInt16(v), SInt16(h), SInt16(v + 1), SInt16(h + 1)});
    if (alpha >= 255) {
        dst = pixel;
    } else {
        UInt32 out = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const unsigned d = (dst >> shift) & 0xFF, s = (pixel >> shift) & 0xFF;
            out |= ((d * (255 - alpha) + s * alpha + 127) / 255) << shift;
        }
        dst = out;
    }
    if (port->picture) RecordPixel(port, h, v);
}

LineSteps ClipLine(const Rect& clip, int h0, int v0, int h1, int v1)
{
    LineSteps line;
    const int dh = h1 >= h0 ? h1 - h0 : h0 - h1;
    const int dv = v1 >= v0 ? v1 - v0 : v0 - v1;
    const int sh = h1 >= h0 ? 1 : -1;
    const int sv = v1 >= v0 ? 1 : -1;
    line.horizontalMajor = dh >= dv;
    line.dMajor = line.horizontalMajor ? dh : dv;
    line.dMinor = line.horizontalMajor ? dv : dh;
    line.major0 = line.horizontalMajor ? h0 : v0;
    line.minor0 = line.horizontalMajor ? v0 : h0;
    line.majorSign = line.horizontalMajor ? sh : sv;
    line.minorSign = line.horizontalMajor ? sv : sh;
    line.first = 0;
    line.last = line.dMajor;
    const Rect& c = clip;
    const bool inside = h0 >= c.left && h0 < c.right && v0 >= c.top && v0 < c.bottom && h1 >= c.left && h1 < c.right &&
                        v1 >= c.top && v1 < c.bottom;
    if (inside) return line;
    const int majorLo = line.horizontalMajor ? c.left : c.top,
              majorHi = (line.horizontalMajor ? c.right : c.bottom) - 1;
    const int minorLo = line.horizontalMajor ? c.top : c.left,
              minorHi = (line.horizontalMajor ? c.bottom : c.right) - 1;
    StepRangeForCoordinate(line.major0, line.majorSign, majorLo, majorHi, line.dMajor, line.first, line.last);
    if (line.first > line.last) return line;
    int64_t qFirst, qLast;
    StepRangeForCoordinate(line.minor0, line.minorSign, minorLo, minorHi, line.dMinor, qFirst, qLast);
    if (qFirst > qLast) {
        line.first = 1;
        line.last = 0;
        return line;
    }
    if (line.dMinor > 0) {
        line.first = std::max(line.first, FirstStepReaching(line.dMajor, line.dMinor, qFirst));
        if (qLast < line.dMinor)
            line.last = std::min(line.last, FirstStepReaching(line.dMajor, line.dMinor, qLast + 1) - 1);
    }
    return line;
}

void MarkDirty(CGrafPtr port, const Rect& r)
{
    if (r.bottom <= r.top || r.right <= r.left) return;
    Rect& d = port->dirty;
    if (d.bottom <= d.top) {
        d = r;
        return;
    }
    d = Rect{std::min(d.top, r.top), std::min(d.left, r.left), std::max(d.bottom, r.bottom),
             std::max(d.right, r.right)};
}

}  // namespace toolbox

using namespace toolbox;

// ---- Ports ----

void SetPort(GrafPtr port) { gCurrentPort = port; }
void GetPort(GrafPtr* port)
{
    if (port) *port = gCurrentPort;
}

CGrafPtr CreateOffscreenPort(SInt16 width, SInt16 height) { return NewPort(width, height, nullptr); }

UInt32 GetPortSerial(CGrafPtr port)
{
    auto found = PortSerials().find(port);
    return found == PortSerials().end() ? 0 : found->second;
}

void DisposeOffscreenPort(CGrafPtr port)
{
    if (port && !port->window) DeletePort(port);
}

Rect* GetPortBounds(CGrafPtr port, Rect* bounds)
{
    if (bounds) *bounds = port ? Rect{0, 0, SInt16(port->height), SInt16(port->width)} : Rect{0, 0, 0, 0};
    return bounds;
}

UInt32 GetPortPixel(CGrafPtr port, SInt16 h, SInt16 v)
{
    if (!port || h < 0 || v < 0 || h >= port->width || v >= port->height) return 0;
    return port->pixels[size_t(v) * port->width + h];
}

const UInt32* GetPortPixels(CGrafPtr port, SInt32* width, SInt32* height)
{
    if (width) *width = port ? port->width : 0;
    if (height) *height = port ? port->height : 0;
    return port ? port->pixels.data() : nullptr;
}

// ---- Clip, pen, colours ----

void ClipRect(const Rect* r)
{
    if (!gCurrentPort || !r) return;
    gCurrentPort->clip = *r;
    UpdateDrawClip(gCurrentPort);
}

void GetClip(Rect* r)
{
    if (r) *r = gCurrentPort ? gCurrentPort->clip : Rect{0, 0, 0, 0};
}

void MoveTo(SInt16 h, SInt16 v)
{
    if (gCurrentPort) gCurrentPort->pen = Point{v, h};
}

void LineTo(SInt16 h, SInt16 v)
{
    CGrafPtr port = gCurrentPort;
    if (!port) return;
    const Point from = port->pen;
    port->pen = Point{v, h};
    if (port->picture) RecordLine(port, from.h, from.v, h, v);
    const int dh = h - from.h, dv = v - from.v;
    if (unsigned(dh + 2) <= 4 && unsigned(dv + 2) <= 4)
        DrawShortLine(port, from.h, from.v, dh, dv);
    else
        DrawLine(port, from.h, from.v, h, v);
    const Rect box{std::min(from.v, v), std::min(from.h, h), SInt16(std::max<int>(from.v, v) + 1),
                   SInt16(std::max<int>(from.h, h) + 1)};
    MarkDirty(port, Intersect(box, port->drawClip));
}

// Relative moves wrap around like the platform's 16-bit arithmetic.
void Move(SInt16 dh, SInt16 dv)
{
    if (gCurrentPort) MoveTo(SInt16(uint16_t(gCurrentPort->pen.h + dh)), SInt16(uint16_t(gCurrentPort->pen.v + dv)));
}

void Line(SInt16 dh, SInt16 dv)
{
    if (gCurrentPort) LineTo(SInt16(uint16_t(gCurrentPort->pen.h + dh)), SInt16(uint16_t(gCurrentPort->pen.v + dv)));
}

void GetPen(Point* pt)
{
    if (pt) *pt = gCurrentPort ? gCurrentPort->pen : Point{0, 0};
}

// The pen is always one pixel drawing in copy mode; nothing else to reset.
void PenNormal() {}

void RGBForeColor(const RGBColor* color)
{
    if (!gCurrentPort || !color) return;
    gCurrentPort->foreColor = *color;
    gCurrentPort->forePixel = PackColor(*color);
}

void RGBBackColor(const RGBColor* color)
{
    if (!gCurrentPort || !color) return;
    gCurrentPort->backColor = *color;
    gCurrentPort->backPixel = PackColor(*color);
}

void GetForeColor(RGBColor* color)
{
    if (color) *color = gCurrentPort ? gCurrentPort->foreColor : RGBColor{0, 0, 0};
}

void GetBackColor(RGBColor* color)
{
    if (color) *color = gCurrentPort ? gCurrentPort->backColor : RGBColor{0xFFFF, 0xFFFF, 0xFFFF};
}

// ---- Shapes ----

void EraseRect(const Rect* r)
{
    if (gCurrentPort && r) FillRectInPort(gCurrentPort, *r, gCurrentPort->backPixel);
}

void PaintRect(const Rect* r)
{
    if (gCurrentPort && r) FillRectInPort(gCurrentPort, *r, gCurrentPort->forePixel);
}

void FrameRect(const Rect* r)
{
    CGrafPtr port = gCurrentPort;
    if (!port || !r || r->bottom <= r->top || r->right <= r->left) return;
    const UInt32 pixel = port->forePixel;
    const SInt16 innerBottom = SInt16(r->bottom - 1), innerRight = SInt16(r->right - 1);
    FillRectInPort(port, Rect{r->top, r->left, SInt16(r->top + 1), r->right}, pixel);
    FillRectInPort(port, Rect{innerBottom, r->left, r->bottom, r->right}, pixel);
    FillRectInPort(port, Rect{r->top, r->left, r->bottom, SInt16(r->left + 1)}, pixel);
    FillRectInPort(port, Rect{r->top, innerRight, r->bottom, r->right}, pixel);
}

void InvertRect(const Rect* r)
{
    CGrafPtr port = gCurrentPort;
    if (!port || !r) return;
    const Rect area = Intersect(*r, port->drawClip);
    MarkDirty(port, area);
    for (int v = area.top; v < area.bottom; ++v) {
        UInt32* row = port->pixels.data() + ptrdiff_t(v) * port->width;
        for (int h = area.left; h < area.right; ++h) {
            row[h] ^= 0xFFFFFF;
            if (port->picture) RecordPixel(port, h, v);
        }
    }
}

// ---- Changed pixels ----

Boolean QDIsPortBufferDirty(CGrafPtr port) { return port && port->dirty.bottom > port->dirty.top; }

OSStatus QDGetDirtyRegion(CGrafPtr port, RgnHandle rgn)
{
    if (!port || !rgn) return paramErr;
    RectRgn(rgn, &port->dirty);
    return noErr;
}

OSStatus QDSetDirtyRegion(CGrafPtr port, RgnHandle rgn)
{
    if (!port || !rgn) return paramErr;
    Rect bounds;
    GetRegionBounds(rgn, &bounds);
    port->dirty = Intersect(bounds, Rect{0, 0, SInt16(port->height), SInt16(port->width)});
    return noErr;
}

void QDAddRectToDirtyRegion(CGrafPtr port, const Rect* bounds)
{
    if (port && bounds) MarkDirty(port, Intersect(*bounds, Rect{0, 0, SInt16(port->height), SInt16(port->width)}));
}
