// Pictures: recording what a port draws while a picture is open on it, and
// drawing a picture again. Lines join into polylines where one continues
// from the last; a line that sets no pixel to a new colour is left out, which
// the picture knows from its own record of what it has drawn where.
#include <algorithm>

#include "ToolboxInternal.h"

struct OpaquePicture {
    PictureRecord record;
    CGrafPtr port = nullptr;  // while the picture is open
    // What the picture's own drawing has left in each pixel of the port, or
    // kUnknown (the port's pixels before it opened, text); empty for a port too
    // large to keep it for.
    std::vector<UInt32> drawn;
    int drawnWidth = 0, drawnHeight = 0;
    bool inText = false;
    bool runOpen = false;  // the last op is a polyline that the next line may continue
    // Lines that went on from the open polyline but set nothing new: their
    // ends, each line from the one before. They join the polyline when a line
    // that sets something follows them, so that it stays whole where it
    // runs over what was drawn for a little while.
    std::vector<Point> held;
    // Pixels set one by one (blended, inverted) since the last op: they become one image.
    struct SetPixel {
        SInt16 h, v;
        UInt32 pixel;
    };
    std::vector<SetPixel> pending;
};

namespace toolbox {
namespace {

// The most lines held back in a polyline (OpaquePicture::held); a trace that
// runs over itself for longer leaves the lines out and starts anew.
constexpr size_t kLongestHeldRun = 16;
// Port pixels have no top byte, so this names no colour.
constexpr UInt32 kUnknown = 0xFF000000;
// Ports up to this many pixels keep the record of what was drawn where (64 MiB).
constexpr size_t kLargestDrawnMap = size_t(16) << 20;

bool IsEmpty(const Rect& r) { return r.bottom <= r.top || r.right <= r.left; }

Rect Intersection(const Rect& a, const Rect& b)
{
    Rect r;
    return SectRect(&a, &b, &r) ? r : Rect{0, 0, 0, 0};
}

bool Contains(const Rect& outer, const Rect& inner)
{
    return inner.top >= outer.top && inner.left >= outer.left && inner.bottom <= outer.bottom &&
           inner.right <= outer.right;
}

void PushOp(PicHandle picture, PictureOpKind kind, UInt32 pixel, Rect rect, size_t first, size_t count)
{
    picture->record.ops.push_back(PictureOp{kind, pixel, rect, UInt32(first), UInt32(count)});
    picture->runOpen = kind == PictureOpKind::polyline;
    picture->held.clear();
}

UInt32* DrawnAt(PicHandle picture, int h, int v)
{
    if (h < 0 || v < 0 || h >= picture->drawnWidth || v >= picture->drawnHeight) return nullptr;
    return &picture->drawn[size_t(v) * size_t(picture->drawnWidth) + size_t(h)];
}

void MarkDrawn(PicHandle picture, const Rect& area, UInt32 pixel)
{
    const Rect r = Intersection(area, Rect{0, 0, SInt16(picture->drawnHeight), SInt16(picture->drawnWidth)});
    for (int v = r.top; v < r.bottom; ++v)
        std::fill_n(picture->drawn.begin() + ptrdiff_t(v) * picture->drawnWidth + r.left, r.right - r.left, pixel);
}

// The pixels set one by one since the last op, as one image of the colours they were left.
void FlushPixels(PicHandle picture)
{
    auto& pending = picture->pending;
    if (pending.empty()) return;
    int top = pending[0].v, left = pending[0].h, bottom = top + 1, right = left + 1;
    for (const auto& p : pending) {
        top = std::min<int>(top, p.v);
        left = std::min<int>(left, p.h);
        bottom = std::max(bottom, p.v + 1);
        right = std::max(right, p.h + 1);
    }
    PictureImage image;
    image.bounds = Rect{SInt16(top), SInt16(left), SInt16(bottom), SInt16(right)};
    const int width = right - left;
    image.pixels.assign(size_t(width) * size_t(bottom - top), 0);
    for (const auto& p : pending)  // in order: the last colour a pixel was given stays
        image.pixels[size_t(p.v - top) * size_t(width) + size_t(p.h - left)] = 0xFF000000 | p.pixel;
    // Between them, what the picture drew before shows: the image is opaque
    // there too, as far as the picture knows.
    for (int v = top; v < bottom; ++v) {
        for (int h = left; h < right; ++h) {
            UInt32& pixel = image.pixels[size_t(v - top) * size_t(width) + size_t(h - left)];
            const UInt32* drawn = DrawnAt(picture, h, v);
            if (!pixel && drawn && *drawn != kUnknown) pixel = 0xFF000000 | *drawn;
        }
    }
    for (const auto& p : pending)
        if (UInt32* drawn = DrawnAt(picture, p.h, p.v)) *drawn = p.pixel;
    pending.clear();
    PushOp(picture, PictureOpKind::image, 0, image.bounds, picture->record.images.size(), 1);
    picture->record.images.push_back(std::move(image));
}

// The pixels of steps first..last of a line, walked from the start as LineTo draws them.
class LineWalk {
public:
    explicit LineWalk(const LineSteps& line) : line_(line), step_(line.first)
    {
        const int64_t numerator = 2 * line.first * line.dMinor + line.dMajor;
        remainder_ = line.dMajor ? numerator % (2 * int64_t(line.dMajor)) : 0;
        major_ = line.major0 + line.majorSign * int(line.first);
        minor_ = line.minor0 + line.minorSign * int(line.dMajor ? numerator / (2 * int64_t(line.dMajor)) : 0);
    }
    int H() const { return line_.horizontalMajor ? major_ : minor_; }
    int V() const { return line_.horizontalMajor ? minor_ : major_; }
    // Moves to the next pixel; false when there is none.
    bool Next()
    {
        if (step_ >= line_.last) return false;
        ++step_;
        major_ += line_.majorSign;
        remainder_ += 2 * int64_t(line_.dMinor);
        if (remainder_ >= 2 * int64_t(line_.dMajor)) {
            remainder_ -= 2 * int64_t(line_.dMajor);
            minor_ += line_.minorSign;
        }
        return true;
    }

private:
    const LineSteps& line_;
    int64_t step_, remainder_;
    int major_, minor_;
};

// Marks the line's visible pixels drawn in pixel; true when one of them was
// not that colour already (or the picture can't tell).
bool MarkLine(PicHandle picture, const LineSteps& line, UInt32 pixel)
{
    bool changed = false;
    LineWalk walk(line);
    do {
        UInt32* drawn = DrawnAt(picture, walk.H(), walk.V());
        if (!drawn) {
            changed = true;
        } else if (*drawn != pixel) {
            *drawn = pixel;
            changed = true;
        }
    } while (walk.Next());
    return changed;
}

bool SamePoint(Point a, Point b) { return a.h == b.h && a.v == b.v; }

// True when c lies straight on from a through b: the line a..c sets the
// pixels of a..b and b..c (their minor steps fall alike).
bool StraightOn(Point a, Point b, Point c)
{
    const int dh1 = b.h - a.h, dv1 = b.v - a.v, dh2 = c.h - b.h, dv2 = c.v - b.v;
    return dh1 * dv2 == dv1 * dh2 && dh1 * dh2 + dv1 * dv2 > 0;
}

// Adds the segment from..to: the open polyline goes on when it ended at from
// in this colour, else a new polyline starts. A segment straight on from the
// last one moves its end, so that a trace drawn a pixel at a time keeps a
// point only where it turns.
void AddSegment(PicHandle picture, Point from, Point to, UInt32 pixel)
{
    auto& points = picture->record.points;
    const bool continues =
        picture->runOpen && picture->record.ops.back().pixel == pixel && SamePoint(points.back(), from);
    if (!continues) {
        PushOp(picture, PictureOpKind::polyline, pixel, Rect{0, 0, 0, 0}, points.size(), 1);
        points.push_back(from);
    }
    if (SamePoint(from, to)) return;
    PictureOp& run = picture->record.ops.back();
    if (run.count >= 2 && StraightOn(points[points.size() - 2], from, to)) {
        points.back() = to;
        return;
    }
    points.push_back(to);
    ++run.count;
}

}  // namespace

void RecordLine(CGrafPtr port, int h0, int v0, int h1, int v1)
{
    PicHandle picture = port->picture;
    FlushPixels(picture);
    const Rect& clip = port->drawClip;
    if (IsEmpty(clip)) return;
    const LineSteps line = ClipLine(clip, h0, v0, h1, v1);
    if (line.first > line.last) return;
    const Point from = line.PixelAt(line.first), to = line.PixelAt(line.last);
    bool adds;
    if (!picture->drawn.empty()) {
        adds = MarkLine(picture, line, port->forePixel);
    } else {  // without the map, only a line to the pixel the polyline ends on is known to add nothing
        adds = !(SamePoint(from, to) && picture->runOpen && picture->record.ops.back().pixel == port->forePixel &&
                 SamePoint(picture->record.points.back(), to));
    }
    const UInt32 pixel = port->forePixel;
    auto& held = picture->held;
    const bool goesOn = picture->runOpen && picture->record.ops.back().pixel == pixel &&
                        SamePoint(held.empty() ? picture->record.points.back() : held.back(), from);
    if (adds) {
        if (goesOn) {
            Point at = picture->record.points.back();
            for (const Point end : std::vector<Point>(held)) {
                AddSegment(picture, at, end, pixel);
                at = end;
            }
        }
        held.clear();
        AddSegment(picture, from, to, pixel);
    } else if (goesOn && held.size() < kLongestHeldRun) {
        held.push_back(to);
    } else {
        held.clear();
        picture->runOpen = false;
    }
}

void RecordFill(CGrafPtr port, const Rect& visible, UInt32 pixel)
{
    PicHandle picture = port->picture;
    FlushPixels(picture);
    PictureRecord& record = picture->record;
    if (Contains(visible, Rect{0, 0, SInt16(port->height), SInt16(port->width)})) {
        // Nothing drawn before shows any more.
        record.ops.clear();
        record.points.clear();
        record.texts.clear();
        record.images.clear();
        record.comments.clear();
    }
    MarkDrawn(picture, visible, pixel);
    PushOp(picture, PictureOpKind::fill, pixel, visible, 0, 0);
}

void RecordPixel(CGrafPtr port, int h, int v)
{
    PicHandle picture = port->picture;
    if (picture->inText) return;
    picture->pending.push_back({SInt16(h), SInt16(v), port->pixels[size_t(v) * size_t(port->width) + size_t(h)]});
}

void BeginTextRun(CGrafPtr port)
{
    FlushPixels(port->picture);
    port->picture->inText = true;
}

void EndTextRun(CGrafPtr port, PictureText run)
{
    PicHandle picture = port->picture;
    picture->inText = false;
    const Rect shown = Intersection(run.ink, port->drawClip);
    if (IsEmpty(shown)) return;
    run.clip = port->drawClip;
    MarkDrawn(picture, shown, kUnknown);  // blended: no line's colour
    PushOp(picture, PictureOpKind::text, run.pixel, shown, picture->record.texts.size(), 1);
    picture->record.texts.push_back(std::move(run));
}

void DetachPicture(CGrafPtr port)
{
    PicHandle picture = port->picture;
    FlushPixels(picture);
    picture->inText = false;
    picture->runOpen = false;
    picture->drawn = std::vector<UInt32>();
    picture->port = nullptr;
    port->picture = nullptr;
}

}  // namespace toolbox

using namespace toolbox;

PicHandle OpenPicture(const Rect* picFrame)
{
    CGrafPtr port = CurrentPort();
    if (!port || port->picture || !picFrame) return nullptr;
    auto* picture = new OpaquePicture;
    picture->record.frame = *picFrame;
    picture->port = port;
    if (size_t(port->width) * size_t(port->height) <= kLargestDrawnMap) {
        picture->drawnWidth = port->width;
        picture->drawnHeight = port->height;
        picture->drawn.assign(size_t(port->width) * size_t(port->height), kUnknown);
    }
    port->picture = picture;
    return picture;
}

void ClosePicture()
{
    CGrafPtr port = CurrentPort();
    if (port && port->picture) DetachPicture(port);
}

void KillPicture(PicHandle picture)
{
    if (!picture) return;
    if (picture->port) DetachPicture(picture->port);
    delete picture;
}

const PictureRecord* GetPictureRecord(PicHandle picture)
{
    if (!picture) return nullptr;
    FlushPixels(picture);
    return &picture->record;
}

void PicComment(SInt16 kind, SInt16 dataSize, Handle dataHandle)
{
    CGrafPtr port = CurrentPort();
    if (!port || !port->picture) return;
    PicHandle picture = port->picture;
    FlushPixels(picture);
    PictureComment comment{kind, std::string()};
    if (dataHandle && *dataHandle && dataSize > 0) comment.data.assign(*dataHandle, size_t(dataSize));
    PushOp(picture, PictureOpKind::comment, 0, Rect{0, 0, 0, 0}, picture->record.comments.size(), 1);
    picture->record.comments.push_back(std::move(comment));
}

void DrawPicture(PicHandle picture, const Rect* dstRect)
{
    CGrafPtr port = CurrentPort();
    // A picture drawn into the port it is recording would record itself as it goes.
    if (!port || !picture || !dstRect || picture->port == port) return;
    FlushPixels(picture);
    const PictureRecord& record = picture->record;
    const int dh = dstRect->left - record.frame.left, dv = dstRect->top - record.frame.top;
    auto moved = [&](Rect r) {
        OffsetRect(&r, SInt16(dh), SInt16(dv));
        return r;
    };
    const UInt32 savedFore = port->forePixel;
    const Point savedPen = port->pen;
    const SInt16 savedFont = port->textFont, savedSize = port->textSize, savedFace = port->textFace;
    for (const PictureOp& op : record.ops) {
        switch (op.kind) {
        case PictureOpKind::fill:
            FillRectInPort(port, moved(op.rect), op.pixel);
            break;
        case PictureOpKind::polyline: {
            port->forePixel = op.pixel;
            const Point* points = record.points.data() + op.first;
            MoveTo(SInt16(points[0].h + dh), SInt16(points[0].v + dv));
            for (UInt32 i = op.count == 1 ? 0 : 1; i < op.count; ++i)
                LineTo(SInt16(points[i].h + dh), SInt16(points[i].v + dv));
            break;
        }
        case PictureOpKind::text: {
            const PictureText& text = record.texts[op.first];
            port->textFont = text.font;
            port->textSize = text.size;
            port->textFace = text.face;
            port->forePixel = text.pixel;
            port->pen = Point{SInt16(text.origin.v + dv), SInt16(text.origin.h + dh)};
            const Rect savedClip = port->drawClip;
            port->drawClip = Intersection(savedClip, moved(text.clip));
            DrawTextAt(port, text.macRoman.data(), int(text.macRoman.size()));
            port->drawClip = savedClip;
            break;
        }
        case PictureOpKind::comment:
            break;
        case PictureOpKind::image: {
            const PictureImage& image = record.images[op.first];
            const int width = image.bounds.right - image.bounds.left;
            for (size_t i = 0; i < image.pixels.size(); ++i) {
                if (!image.pixels[i]) continue;
                const int h = image.bounds.left + int(i % size_t(width)) + dh,
                          v = image.bounds.top + int(i / size_t(width)) + dv;
                BlendPixel(port, h, v, image.pixels[i] & 0xFFFFFF, 255);
            }
            break;
        }
        }
    }
    port->forePixel = savedFore;
    port->pen = savedPen;
    port->textFont = savedFont;
    port->textSize = savedSize;
    port->textFace = savedFace;
}
