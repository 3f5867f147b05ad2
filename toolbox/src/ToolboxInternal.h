// The toolbox's objects behind the opaque references, shared by the Managers.
// Every object a 32-bit host field may name (ports, regions, windows,
// controls, menus, dialogs) is made with LowNew; its vectors and strings may
// live anywhere.
#pragma once

#include <string>
#include <vector>

#include "toolbox/CarbonEvents.h"
#include "toolbox/Controls.h"
#include "toolbox/Dialogs.h"
#include "toolbox/Memory.h"
#include "toolbox/Menus.h"
#include "toolbox/Pictures.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Resources.h"
#include "toolbox/Windows.h"

namespace toolbox {

// Live objects of each kind (GetToolboxObjectCounts).
extern ToolboxObjectCounts gCounts;

// The widest rectangle: the clip of a new port.
constexpr Rect kWideOpenRect{-32768, -32768, 32767, 32767};

inline UInt32 PackColor(const RGBColor& c)
{
    return (UInt32(c.red >> 8) << 16) | (UInt32(c.green >> 8) << 8) | UInt32(c.blue >> 8);
}
inline RGBColor UnpackColor(UInt32 pixel)
{
    auto wide = [](UInt32 byte) { return UInt16(byte * 0x101); };
    return {wide((pixel >> 16) & 0xFF), wide((pixel >> 8) & 0xFF), wide(pixel & 0xFF)};
}

}  // namespace toolbox

struct OpaqueGrafPtr {
    std::vector<UInt32> pixels;  // width * height, rows top to bottom
    int width = 0;
    int height = 0;
    Rect clip = toolbox::kWideOpenRect;
    // Clip rectangle, port bounds and visible region intersected, kept up to date
    // by every change of any of them, so that drawing tests one rectangle.
    Rect drawClip{0, 0, 0, 0};
    // Bounding rectangle of the pixels written since a host last took it
    // (QDSetDirtyRegion); empty when nothing changed.
    Rect dirty{0, 0, 0, 0};
    Point pen{0, 0};
    RGBColor foreColor{0, 0, 0};
    RGBColor backColor{0xFFFF, 0xFFFF, 0xFFFF};
    UInt32 forePixel = 0x000000;
    UInt32 backPixel = 0xFFFFFF;
    SInt16 textFont = systemFont;
    SInt16 textSize = 12;
    SInt16 textFace = normal;
    WindowRef window = nullptr;   // null for an offscreen port
    PicHandle picture = nullptr;  // the picture open on the port, recording what it draws
};

struct OpaqueRgnHandle {
    Rect bounds{0, 0, 0, 0};  // {0,0,0,0} when empty
};

struct OpaqueEventHandlerRef {
    OpaqueEventTargetRef* target = nullptr;
    EventHandlerUPP proc = nullptr;
    std::vector<EventTypeSpec> types;
    void* userData = nullptr;
};

struct OpaqueEventTargetRef {
    std::vector<EventHandlerRef> handlers;  // oldest first
};

struct OpaqueEventRef {
    struct Parameter {
        EventParamName name;
        EventParamType type;
        std::vector<unsigned char> data;
    };
    UInt32 eventClass = 0;
    UInt32 eventKind = 0;
    int retainCount = 1;
    std::vector<Parameter> parameters;
};

struct OpaqueWindowPtr {
    CGrafPtr port = nullptr;
    Rect contentBounds{0, 0, 0, 0};  // global
    std::string title;
    SInt16 procID = 0;
    bool visible = false;
    bool goAway = false;
    bool growable = false;
    bool zoomable = false;
    SInt32 refCon = 0;
    HISize minSize{1, 1};
    HISize maxSize{32767, 32767};
    Rect updateRect{0, 0, 0, 0};  // port coordinates; empty when nothing is invalid
    std::vector<ControlRef> controls;
    OpaqueEventTargetRef target;
    DialogRef dialog = nullptr;
};

struct OpaqueControlRef {
    WindowRef owner = nullptr;
    Rect bounds{0, 0, 0, 0};
    std::string title;
    SInt16 value = 0;
    SInt16 minimum = 0;
    SInt16 maximum = 0;
    SInt16 procID = 0;
    SInt32 refCon = 0;
    bool visible = true;
    SInt16 hilite = 0;  // 0 active, 1..253 a pressed part, 255 inactive
};

struct MenuItem {
    std::string text;
    bool enabled = true;
    bool divider = false;
    unsigned char mark = noMark;
    unsigned char commandKey = 0;
    SInt16 style = normal;
};

struct OpaqueMenuRef {
    SInt16 menuID = 0;
    std::string title;
    bool enabled = true;
    std::vector<MenuItem> items;
};

struct DialogItem {
    DialogItemKind kind = DialogItemKind::userItem;
    Rect bounds{0, 0, 0, 0};
    std::string text;  // the control's title for buttons and boxes
    bool enabled = true;
    ControlRef control = nullptr;  // buttons, check boxes, radio buttons
    SInt16 selStart = 0;           // edit text only
    SInt16 selEnd = 0;
};

struct OpaqueDialogPtr {
    WindowRef window = nullptr;
    std::vector<DialogItem> items;  // item 1 first
    SInt16 defaultItem = 0;
    SInt16 cancelItem = 0;
    SInt16 editItem = 0;  // the edit-text item that typing goes to, 0 for none
};

namespace toolbox {

// QuickDraw internals used by the other Managers.
CGrafPtr NewPort(int width, int height, WindowRef window);
void DeletePort(CGrafPtr port);
void ResizePort(CGrafPtr port, int width, int height);
void UpdateDrawClip(CGrafPtr port);
CGrafPtr CurrentPort();
void FillRectInPort(CGrafPtr port, Rect r, UInt32 pixel);                    // clipped to drawClip
void BlendPixel(CGrafPtr port, int h, int v, UInt32 pixel, unsigned alpha);  // clipped to drawClip
void MarkDirty(CGrafPtr port, const Rect& r);                                // r within the port

// A line as LineTo draws it: pixel i = 0..dMajor steps once along the major
// axis, its minor offset i*dMinor/dMajor rounded with halves away from the
// start. Steps first..last are those inside the clip (none when first > last).
struct LineSteps {
    bool horizontalMajor;
    int dMajor, dMinor;
    int major0, minor0;
    int majorSign, minorSign;
    int64_t first, last;
    Point PixelAt(int64_t i) const
    {
        const int64_t q = dMajor ? (2 * i * dMinor + dMajor) / (2 * dMajor) : 0;
        const int major = major0 + majorSign * int(i), minor = minor0 + minorSign * int(q);
        return horizontalMajor ? Point{SInt16(minor), SInt16(major)} : Point{SInt16(major), SInt16(minor)};
    }
};
LineSteps ClipLine(const Rect& clip, int h0, int v0, int h1, int v1);

// Pictures: what a port with an open picture records (Pictures.cpp). Lines
// are given before they are drawn, whole; fills clipped; pixels after they
// were set by blending or inverting.
void RecordLine(CGrafPtr port, int h0, int v0, int h1, int v1);
void RecordFill(CGrafPtr port, const Rect& visible, UInt32 pixel);
void RecordPixel(CGrafPtr port, int h, int v);
// Text is recorded as a run, not as the pixels its glyphs blend: between
// these two calls pixels are not recorded; the run's clip is filled in here.
void BeginTextRun(CGrafPtr port);
void EndTextRun(CGrafPtr port, PictureText run);
// The port goes away: its picture stops recording and stays its owner's.
void DetachPicture(CGrafPtr port);

// Saves the current port and sets another one until the end of the scope.
class PortSaver {
public:
    explicit PortSaver(CGrafPtr port) : saved_(CurrentPort()) { SetPort(port); }
    ~PortSaver() { SetPort(saved_); }
    PortSaver(const PortSaver&) = delete;
    PortSaver& operator=(const PortSaver&) = delete;

private:
    CGrafPtr saved_;
};

// Text: width and drawing of Mac Roman bytes with the current port's settings.
int MeasureText(CGrafPtr port, const char* text, int length);
void DrawTextAt(CGrafPtr port, const char* text, int length);  // at the pen, advancing it

// Window Manager internals.
struct WindowParams {
    Rect bounds{0, 0, 0, 0};
    std::string title;
    SInt16 procID = 0;
    bool visible = false;
    bool goAway = false;
    bool growable = false;
    bool zoomable = false;
    SInt32 refCon = 0;
};
WindowRef CreateWindow(const WindowParams& params, WindowRef behind);
void RemoveAllEventHandlers(OpaqueEventTargetRef& target);
// Sends kEventWindowBoundsChanged to the window's handlers.
void SendBoundsChanged(WindowRef window, UInt32 attributes, const Rect& previous, const Rect& current);

// Controls: disposes of a control without touching its owner's list.
void DeleteControl(ControlRef control);
// Dialogs: disposes of the dialog record of a window being disposed of.
void DeleteDialogRecord(DialogRef dialog);

}  // namespace toolbox
