// Window Manager: windows with one port each, in one list front to back, with
// an update rectangle, resize limits and the bounds-changed event.
#include <algorithm>
#include <cmath>

#include "ToolboxInternal.h"
#include "toolbox/InputSource.h"

using namespace toolbox;

namespace {

// Front to back.
std::vector<WindowRef> gWindows;

constexpr Rect kEmptyRect{0, 0, 0, 0};
const WindowRef kInFront = reinterpret_cast<WindowRef>(intptr_t(-1));

// Variation codes of the classic window kinds that have a grow or zoom box.
constexpr SInt16 documentProc = 0, zoomDocProc = 8, zoomNoGrow = 12;

bool IsEmpty(const Rect& r) { return r.bottom <= r.top || r.right <= r.left; }
Rect PortRect(WindowRef w) { return Rect{0, 0, SInt16(w->port->height), SInt16(w->port->width)}; }

void InsertInList(WindowRef window, WindowRef behind)
{
    auto it = gWindows.begin();
    if (behind == nullptr) {
        it = gWindows.end();
    } else if (behind != kInFront) {
        auto found = std::find(gWindows.begin(), gWindows.end(), behind);
        it = found == gWindows.end() ? gWindows.end() : found + 1;
    }
    gWindows.insert(it, window);
}

bool IsLive(WindowRef window)
{
    return window && std::find(gWindows.begin(), gWindows.end(), window) != gWindows.end();
}

}  // namespace

namespace toolbox {

WindowRef CreateWindow(const WindowParams& params, WindowRef behind)
{
    WindowRef window = LowNew<OpaqueWindowPtr>();
    window->contentBounds = params.bounds;
    window->title = params.title.substr(0, 255);
    window->procID = params.procID;
    window->visible = params.visible;
    window->goAway = params.goAway;
    window->growable = params.growable;
    window->zoomable = params.zoomable;
    window->refCon = params.refCon;
    const int width = std::max(0, params.bounds.right - params.bounds.left);
    const int height = std::max(0, params.bounds.bottom - params.bounds.top);
    window->port = NewPort(width, height, window);
    InsertInList(window, behind);
    ++gCounts.windows;
    window->updateRect = window->visible ? PortRect(window) : kEmptyRect;
    return window;
}

void SendBoundsChanged(WindowRef window, UInt32 attributes, const Rect& previous, const Rect& current)
{
    EventRef event = nullptr;
    if (CreateEvent(nullptr, kEventClassWindow, kEventWindowBoundsChanged, 0, 0, &event) != noErr) return;
    SetEventParameter(event, kEventParamDirectObject, typeWindowRef, sizeof(WindowRef), &window);
    SetEventParameter(event, kEventParamAttributes, typeUInt32, sizeof(UInt32), &attributes);
    SetEventParameter(event, kEventParamPreviousBounds, typeQDRectangle, sizeof(Rect), &previous);
    SetEventParameter(event, kEventParamCurrentBounds, typeQDRectangle, sizeof(Rect), &current);
    SendEventToEventTarget(event, GetWindowEventTarget(window));
    ReleaseEvent(event);
}

}  // namespace toolbox

WindowRef GetNewCWindow(SInt16 windowID, void*, WindowRef behind)
{
    const WindowTemplate* t = GetWindowTemplate(windowID);
    if (!t) return nullptr;
    WindowParams params;
    params.bounds = t->bounds;
    params.title = t->title;
    params.procID = t->procID;
    params.visible = t->visible;
    params.goAway = t->goAwayFlag;
    params.growable = t->growable;
    params.zoomable = t->zoomable;
    params.refCon = t->refCon;
    return CreateWindow(params, behind);
}

WindowRef NewCWindow(void*, const Rect* bounds, ConstStr255Param title, Boolean visible, SInt16 procID,
                     WindowRef behind, Boolean goAwayFlag, SInt32 refCon)
{
    if (!bounds) return nullptr;
    WindowParams params;
    params.bounds = *bounds;
    params.title = title ? PascalToString(title) : std::string();
    params.procID = procID;
    params.visible = visible;
    params.goAway = goAwayFlag;
    const SInt16 variation = procID & 15;
    params.growable = variation == documentProc || variation == zoomDocProc;
    params.zoomable = variation == zoomDocProc || variation == zoomNoGrow;
    params.refCon = refCon;
    return CreateWindow(params, behind);
}

void DisposeWindow(WindowRef window)
{
    if (!IsLive(window)) return;
    if (window->dialog) DeleteDialogRecord(window->dialog);
    for (ControlRef control : window->controls) DeleteControl(control);
    window->controls.clear();
    RemoveAllEventHandlers(window->target);
    gWindows.erase(std::find(gWindows.begin(), gWindows.end(), window));
    DeletePort(window->port);
    LowDelete(window);
    --gCounts.windows;
}

CGrafPtr GetWindowPort(WindowRef window) { return window ? window->port : nullptr; }
WindowRef GetWindowFromPort(CGrafPtr port) { return port ? port->window : nullptr; }

Rect* GetWindowPortBounds(WindowRef window, Rect* bounds)
{
    if (bounds) *bounds = window ? PortRect(window) : kEmptyRect;
    return bounds;
}

OSStatus GetWindowBounds(WindowRef window, UInt16 regionCode, Rect* globalBounds)
{
    if (!window || !globalBounds) return paramErr;
    const Rect& c = window->contentBounds;
    switch (regionCode) {
    case kWindowContentRgn:
        *globalBounds = c;
        return noErr;
    case kWindowStructureRgn:
        *globalBounds = Rect{SInt16(c.top - kWindowTitleBarHeight), SInt16(c.left - kWindowBorderWidth),
                             SInt16(c.bottom + kWindowBorderWidth), SInt16(c.right + kWindowBorderWidth)};
        return noErr;
    default:
        return paramErr;
    }
}

void MoveWindow(WindowRef window, SInt16 hGlobal, SInt16 vGlobal, Boolean front)
{
    if (!window) return;
    const Rect previous = window->contentBounds;
    Rect& c = window->contentBounds;
    OffsetRect(&c, SInt16(hGlobal - c.left), SInt16(vGlobal - c.top));
    if (front) SelectWindow(window);
    if (!EqualRect(&previous, &c)) SendBoundsChanged(window, kWindowBoundsChangeOriginChanged, previous, c);
}

void SetWTitle(WindowRef window, ConstStr255Param title)
{
    if (window) window->title = title ? PascalToString(title) : std::string();
}

void GetWTitle(WindowRef window, Str255 title)
{
    if (title) CopyCStringToPascal(window ? window->title : std::string(), title);
}

SInt32 GetWRefCon(WindowRef window) { return window ? window->refCon : 0; }
void SetWRefCon(WindowRef window, SInt32 refCon)
{
    if (window) window->refCon = refCon;
}
Boolean WindowIsGrowable(WindowRef window) { return window && window->growable; }
Boolean WindowIsZoomable(WindowRef window) { return window && window->zoomable; }

OSStatus SetWindowResizeLimits(WindowRef window, const HISize* minLimits, const HISize* maxLimits)
{
    if (!window) return paramErr;
    if (minLimits) window->minSize = *minLimits;
    if (maxLimits) window->maxSize = *maxLimits;
    return noErr;
}

OSStatus GetWindowResizeLimits(WindowRef window, HISize* minLimits, HISize* maxLimits)
{
    if (!window) return paramErr;
    if (minLimits) *minLimits = window->minSize;
    if (maxLimits) *maxLimits = window->maxSize;
    return noErr;
}

SInt32 GrowWindow(WindowRef window, Point startPt, const Rect* sizeRect)
{
    InputSource* source = GetInputSource();
    if (!window || !source) return 0;
    const Rect limits = sizeRect ? *sizeRect : Rect{1, 1, 32767, 32767};
    const SInt32 answer = source->GrowWindow(window, startPt, limits);
    if (answer == 0) return 0;
    const int height = std::clamp<int>(SInt16(answer >> 16), limits.top, std::max(limits.top, limits.bottom));
    const int width = std::clamp<int>(SInt16(answer & 0xFFFF), limits.left, std::max(limits.left, limits.right));
    if (width == window->port->width && height == window->port->height) return 0;
    return SInt32((uint32_t(height) << 16) | uint32_t(width));
}

void SizeWindow(WindowRef window, SInt16 width, SInt16 height, Boolean fUpdate)
{
    if (!window || width <= 0 || height <= 0) return;
    const int oldWidth = window->port->width, oldHeight = window->port->height;
    if (width == oldWidth && height == oldHeight) return;
    const Rect previous = window->contentBounds;
    window->contentBounds.bottom = SInt16(previous.top + height);
    window->contentBounds.right = SInt16(previous.left + width);
    ResizePort(window->port, width, height);
    // The update rectangle stays within the port.
    Rect port = PortRect(window);
    SectRect(&window->updateRect, &port, &window->updateRect);
    if (fUpdate) {
        if (width > oldWidth) {
            Rect exposed{0, SInt16(oldWidth), height, width};
            InvalWindowRect(window, &exposed);
        }
        if (height > oldHeight) {
            Rect exposed{SInt16(oldHeight), 0, height, width};
            InvalWindowRect(window, &exposed);
        }
    }
    SendBoundsChanged(window, kWindowBoundsChangeSizeChanged, previous, window->contentBounds);
}

void ShowHide(WindowRef window, Boolean showFlag)
{
    if (!window || bool(showFlag) == window->visible) return;
    window->visible = showFlag;
    UpdateDrawClip(window->port);
    // What lay hidden must be drawn again once shown.
    if (window->visible) window->updateRect = PortRect(window);
}

void ShowWindow(WindowRef window) { ShowHide(window, true); }
void HideWindow(WindowRef window) { ShowHide(window, false); }
Boolean IsWindowVisible(WindowRef window) { return window && window->visible; }

WindowRef FrontWindow()
{
    for (WindowRef w : gWindows)
        if (w->visible) return w;
    return nullptr;
}

WindowRef GetNextWindow(WindowRef window)
{
    auto it = std::find(gWindows.begin(), gWindows.end(), window);
    if (it == gWindows.end() || ++it == gWindows.end()) return nullptr;
    return *it;
}

void SelectWindow(WindowRef window)
{
    auto it = std::find(gWindows.begin(), gWindows.end(), window);
    if (it != gWindows.end()) std::rotate(gWindows.begin(), it, it + 1);
}

// ---- Update region ----

void InvalWindowRect(WindowRef window, const Rect* bounds)
{
    if (!window || !bounds) return;
    Rect port = PortRect(window), r;
    if (!SectRect(bounds, &port, &r)) return;
    Rect& u = window->updateRect;
    u = IsEmpty(u) ? r
                   : Rect{std::min(u.top, r.top), std::min(u.left, r.left), std::max(u.bottom, r.bottom),
                          std::max(u.right, r.right)};
}

// Only what leaves a rectangle can be taken away: a rectangle covering the
// whole update rectangle, or a band across its full width or height.
void ValidWindowRect(WindowRef window, const Rect* bounds)
{
    if (!window || !bounds) return;
    Rect& u = window->updateRect;
    const Rect& v = *bounds;
    if (IsEmpty(u) || IsEmpty(v)) return;
    const bool coversH = v.left <= u.left && v.right >= u.right;
    const bool coversV = v.top <= u.top && v.bottom >= u.bottom;
    if (coversH && coversV) {
        u = kEmptyRect;
    } else if (coversH && v.top <= u.top && v.bottom > u.top) {
        u.top = v.bottom;
    } else if (coversH && v.bottom >= u.bottom && v.top < u.bottom) {
        u.bottom = v.top;
    } else if (coversV && v.left <= u.left && v.right > u.left) {
        u.left = v.right;
    } else if (coversV && v.right >= u.right && v.left < u.right) {
        u.right = v.left;
    }
    if (IsEmpty(u)) u = kEmptyRect;
}

Boolean GetWindowUpdateRect(WindowRef window, Rect* bounds)
{
    const Rect r = window ? window->updateRect : kEmptyRect;
    if (bounds) *bounds = r;
    return !IsEmpty(r);
}

void BeginUpdate(WindowRef window)
{
    if (window) window->updateRect = kEmptyRect;
}

void EndUpdate(WindowRef) {}

// ---- Appearance ----

// Three diagonal ridges, light above dark, in the corner's 15 x 15 box.
void DrawGrowIcon(WindowRef window)
{
    CGrafPtr port = CurrentPort();
    if (!window || !port) return;
    const int right = window->port->width, bottom = window->port->height;
    RGBColor saved;
    GetForeColor(&saved);
    const RGBColor dark = UnpackColor(0x7A7A7A), light = UnpackColor(0xFFFFFF);
    for (int ridge = 0; ridge < 3; ++ridge) {
        const int reach = 3 + 3 * ridge;  // distance of the ridge from the corner
        RGBForeColor(&dark);
        MoveTo(SInt16(right - 2), SInt16(bottom - 1 - reach));
        LineTo(SInt16(right - 1 - reach), SInt16(bottom - 2));
        RGBForeColor(&light);
        MoveTo(SInt16(right - 2), SInt16(bottom - reach));
        LineTo(SInt16(right - reach), SInt16(bottom - 2));
    }
    RGBForeColor(&saved);
}

OSStatus SetThemeWindowBackground(WindowRef window, SInt16 brush, Boolean update)
{
    if (!window) return paramErr;
    UInt32 pixel;
    switch (brush) {
    case kThemeBrushDocumentWindowBackground:
        pixel = 0xFFFFFF;
        break;
    case kThemeBrushDialogBackgroundActive:
        pixel = 0xECECEC;
        break;
    default:
        return paramErr;
    }
    window->port->backPixel = pixel;
    window->port->backColor = UnpackColor(pixel);
    if (update) {
        Rect all = PortRect(window);
        FillRectInPort(window->port, all, pixel);
        InvalWindowRect(window, &all);
    }
    return noErr;
}

ToolboxObjectCounts GetToolboxObjectCounts() { return gCounts; }
