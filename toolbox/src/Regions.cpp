// Rectangle utilities and rectangle-only regions. Coordinates are 16-bit and
// wrap like the platform's; an empty result is the rectangle {0, 0, 0, 0}.
#include <algorithm>
#include <new>

#include "ToolboxInternal.h"

using namespace toolbox;

namespace {

constexpr Rect kEmptyRect{0, 0, 0, 0};

bool IsEmpty(const Rect& r) { return r.bottom <= r.top || r.right <= r.left; }
SInt16 Wrap(int value) { return SInt16(uint16_t(value)); }

}  // namespace

void SetRect(Rect* r, SInt16 left, SInt16 top, SInt16 right, SInt16 bottom)
{
    if (r) *r = Rect{top, left, bottom, right};
}

void OffsetRect(Rect* r, SInt16 dh, SInt16 dv)
{
    if (!r) return;
    *r = Rect{Wrap(r->top + dv), Wrap(r->left + dh), Wrap(r->bottom + dv), Wrap(r->right + dh)};
}

void InsetRect(Rect* r, SInt16 dh, SInt16 dv)
{
    if (!r) return;
    const int top = r->top + dv, left = r->left + dh, bottom = r->bottom - dv, right = r->right - dh;
    *r = (bottom <= top || right <= left) ? kEmptyRect : Rect{Wrap(top), Wrap(left), Wrap(bottom), Wrap(right)};
}

Boolean SectRect(const Rect* a, const Rect* b, Rect* intersection)
{
    Rect r = kEmptyRect;
    if (a && b) {
        r = Rect{std::max(a->top, b->top), std::max(a->left, b->left), std::min(a->bottom, b->bottom),
                 std::min(a->right, b->right)};
        if (IsEmpty(r)) r = kEmptyRect;
    }
    if (intersection) *intersection = r;
    return !IsEmpty(r);
}

Boolean EmptyRect(const Rect* r) { return !r || IsEmpty(*r); }

Boolean PtInRect(Point pt, const Rect* r)
{
    return r && pt.h >= r->left && pt.h < r->right && pt.v >= r->top && pt.v < r->bottom;
}

Boolean EqualRect(const Rect* a, const Rect* b)
{
    return a && b && a->top == b->top && a->left == b->left && a->bottom == b->bottom && a->right == b->right;
}

// ---- Regions ----

RgnHandle NewRgn()
{
    try {
        RgnHandle rgn = LowNew<OpaqueRgnHandle>();
        ++gCounts.regions;
        return rgn;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void DisposeRgn(RgnHandle rgn)
{
    if (!rgn) return;
    LowDelete(rgn);
    --gCounts.regions;
}

void RectRgn(RgnHandle rgn, const Rect* r)
{
    if (rgn) rgn->bounds = (r && !IsEmpty(*r)) ? *r : kEmptyRect;
}

void SetEmptyRgn(RgnHandle rgn)
{
    if (rgn) rgn->bounds = kEmptyRect;
}

void GetRegionBounds(RgnHandle rgn, Rect* bounds)
{
    if (bounds) *bounds = rgn ? rgn->bounds : kEmptyRect;
}

Boolean EmptyRgn(RgnHandle rgn) { return !rgn || IsEmpty(rgn->bounds); }

void UnionRgn(RgnHandle a, RgnHandle b, RgnHandle result)
{
    if (!a || !b || !result) return;
    if (IsEmpty(a->bounds)) {
        result->bounds = b->bounds;
    } else if (IsEmpty(b->bounds)) {
        result->bounds = a->bounds;
    } else {
        result->bounds = Rect{std::min(a->bounds.top, b->bounds.top), std::min(a->bounds.left, b->bounds.left),
                              std::max(a->bounds.bottom, b->bounds.bottom), std::max(a->bounds.right, b->bounds.right)};
    }
}

Boolean RectInRgn(const Rect* r, RgnHandle rgn) { return rgn && SectRect(r, &rgn->bounds, nullptr); }

RgnHandle GetPortVisibleRegion(CGrafPtr port, RgnHandle visRgn)
{
    if (!visRgn) return visRgn;
    const bool visible = port && (!port->window || port->window->visible);
    visRgn->bounds = visible ? Rect{0, 0, SInt16(port->height), SInt16(port->width)} : kEmptyRect;
    if (IsEmpty(visRgn->bounds)) visRgn->bounds = kEmptyRect;
    return visRgn;
}
