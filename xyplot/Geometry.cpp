// Where things lie in a plot window and how data values become pixels.
#include <cmath>

#include "XYPlotExtension.h"

namespace {

constexpr int16_t kTopMargin = 23;
constexpr int16_t kLeftMargin = 51;
constexpr int16_t kBottomMargin = 32;
constexpr int16_t kRightMargin = 15;
constexpr int16_t kXAxisBandTop = 1;  // below the bottom of plotRect
constexpr int16_t kXAxisBandBottom = 31;
constexpr int16_t kYAxisBandLeft = 2;  // absolute, not relative to the port
constexpr int16_t kAxisBoundsCode = 14;
constexpr int16_t kGrowBoxSide = 12;

// Pixels per data unit for a span; 1.0 when the span is zero or not a number.
double ScaleFor(int16_t pixels, double span) { return std::fabs(span) > 0 ? double(pixels) / span : 1.0; }

}  // namespace

Rect GrowBoxRect(const Rect& port)
{
    return Rect{int16_t(port.bottom - kGrowBoxSide), int16_t(port.right - kGrowBoxSide), port.bottom, port.right};
}

void LayoutPlot(LocalDataHandle instance)
{
    LocalDataType& record = **instance;
    Rect port = WindowPortRect(record.window);
    int16_t top = int16_t(port.top + kTopMargin);
    int16_t left = int16_t(port.left + kLeftMargin);
    int16_t bottom = int16_t(port.bottom - kBottomMargin);
    int16_t right = int16_t(port.right - kRightMargin);
    int16_t height = int16_t(bottom - top);
    int16_t width = int16_t(right - left);

    record.yPixelsPerUnit = ScaleFor(height, record.yBottomValue - record.yTopValue);
    // Narrowed to 16 bits from a 64-bit difference: no overflow when roundtol saturates.
    record.yPixelOffset = int16_t(int64_t(top) - roundtol(record.yPixelsPerUnit * record.yTopValue));
    record.xPixelsPerUnit = ScaleFor(width, record.xRightValue - record.xLeftValue);
    record.xPixelOffset = int16_t(int64_t(left) - roundtol(record.xPixelsPerUnit * record.xLeftValue));
    record.plotRect = Rect{top, left, bottom, right};

    Rect xBounds{int16_t(bottom + kXAxisBandTop), left, int16_t(bottom + kXAxisBandBottom), right};
    gHost->HostAxisSetBounds(record.xAxis, &xBounds, 0, kAxisBoundsCode);
    Rect yBounds{top, kYAxisBandLeft, bottom, int16_t(left - 1)};
    gHost->HostAxisSetBounds(record.yAxis, &yBounds, 1, kAxisBoundsCode);
}

void RelayoutWindow(LocalDataHandle instance)
{
    Rect port = WindowPortRect((*instance)->window);
    ClipRect(&port);
    InvalInCurrentWindow(port);
    LayoutPlot(instance);
}

OSStatus WindowEventHandler(EventHandlerCallRef, EventRef event, void* userData)
{
    if (GetEventKind(event) != kEventWindowBoundsChanged) return eventNotHandledErr;
    WindowRef window;
    if (GetEventParameter(event, kEventParamDirectObject, typeWindowRef, nullptr, sizeof window, nullptr, &window) !=
        noErr)
        return eventNotHandledErr;
    UInt32 attributes;
    if (GetEventParameter(event, kEventParamAttributes, typeUInt32, nullptr, sizeof attributes, nullptr, &attributes) !=
        noErr)
        return eventNotHandledErr;
    if (attributes & kWindowBoundsChangeSizeChanged) {
        // The clip and the invalidation must reach this window, whichever port is current.
        GrafPtr saved;
        GetPort(&saved);
        auto instance = static_cast<LocalDataHandle>(userData);
        SetPortToWindow((*instance)->window);
        RelayoutWindow(instance);
        SetPort(saved);
    }
    // Let the other handlers, the standard one among them, see the event too.
    return eventNotHandledErr;
}

void XYPlotExtension::DoGrow(WindowRef window, Point start, LocalDataHandle instance)
{
    Rect limits;
    SetRect(&limits, 200, 200, 2000, 1000);
    SInt32 newSize = GrowWindow(window, start, &limits);
    SetPortToWindow(window);
    // A grow that ends without a change leaves the size alone.
    if (newSize != 0) SizeWindow(window, int16_t(newSize & 0xFFFF), int16_t(newSize >> 16), false);
    RelayoutWindow(instance);
}

void XYPlotExtension::DoZoom(WindowRef window, uint8_t zoomIn, LocalDataHandle instance)
{
    if (window != (*instance)->window) return;
    ShowHide(window, false);
    gHost->HostZoomWindow(window, zoomIn ? inZoomIn : inZoomOut, 1, 1);
    ShowHide(window, true);
    RelayoutWindow(instance);
}

void XYPlotExtension::DoActivate(WindowRef window, uint8_t, LocalDataHandle instance)
{
    Rect growBox = GrowBoxRect(WindowPortRect(window));
    ClipRect(&growBox);
    DrawGrowIcon(window);
    ClipRect(&(*instance)->plotRect);
}

void SetMinimumWindowSize(WindowRef window, float width, float height)
{
    Rect content, structure;
    GetWindowBounds(window, kWindowContentRgn, &content);
    GetWindowBounds(window, kWindowStructureRgn, &structure);
    int frameWidth = (structure.right - structure.left) - (content.right - content.left);
    int frameHeight = (structure.bottom - structure.top) - (content.bottom - content.top);
    HISize minimum{float(frameWidth) + width, float(frameHeight) + height};
    SetWindowResizeLimits(window, &minimum, nullptr);
}

void SetPortToWindow(WindowRef window) { SetPort(GetWindowPort(window)); }

Rect WindowPortRect(WindowRef window)
{
    Rect r;
    GetWindowPortBounds(window, &r);
    return r;
}

void ClipToWindow(WindowRef window)
{
    Rect r;
    GetWindowPortBounds(window, &r);
    ClipRect(&r);
}

void InvalInCurrentWindow(Rect r)
{
    GrafPtr port;
    GetPort(&port);
    WindowRef window = GetWindowFromPort(port);
    if (window) InvalWindowRect(window, &r);
}

uint8_t IsRectVisible(const Rect* r, CGrafPtr port)
{
    RgnHandle region = NewRgn();
    if (!region) return 0;
    GetPortVisibleRegion(port, region);
    uint8_t visible = RectInRgn(r, region) ? 1 : 0;
    DisposeRgn(region);
    return visible;
}

void UpdateErasePoint(LocalDataType& record)
{
    if (!record.autoErase) {
        record.eraseAtSample = kNeverErase;
        return;
    }
    // A point beyond the 32-bit range is never reached: saturate, don't wrap.
    int64_t point = int64_t(record.traceStartSample) + roundtol(double(record.samplesPerMinute) * record.eraseMinutes);
    record.eraseAtSample = int32_t(point > INT32_MAX ? INT32_MAX : point < INT32_MIN ? INT32_MIN : point);
}
