// Window Manager and Appearance. A window owns one port (same size as its
// content), its controls and the event handlers installed on it. Windows lie
// in one list, front to back. Sizes are whole pixels; there is no screen, so
// global coordinates only place windows relative to each other.
#pragma once

#include "toolbox/MacTypes.h"

#pragma GCC visibility push(default)  // the library exports what its headers declare

// Window regions for GetWindowBounds.
enum : UInt16 { kWindowStructureRgn = 32, kWindowContentRgn = 33 };
// Part codes.
enum : SInt16 { inContent = 3, inDrag = 4, inGrow = 5, inGoAway = 6, inZoomIn = 7, inZoomOut = 8 };
// Appearance brushes.
enum : SInt16 { kThemeBrushDialogBackgroundActive = 1, kThemeBrushDocumentWindowBackground = 15 };

// The frame around the content: title bar above, 1-pixel border elsewhere.
constexpr SInt16 kWindowTitleBarHeight = 22;
constexpr SInt16 kWindowBorderWidth = 1;

struct HISize {
    float width;
    float height;
};

// Creates a window from WIND id of the current resources; null when the
// resource is missing.
WindowRef GetNewCWindow(SInt16 windowID, void* storage, WindowRef behind);
WindowRef NewCWindow(void* storage, const Rect* bounds, ConstStr255Param title, Boolean visible, SInt16 procID,
                     WindowRef behind, Boolean goAwayFlag, SInt32 refCon);
// Disposes of the window with its controls and installed event handlers.
void DisposeWindow(WindowRef window);

CGrafPtr GetWindowPort(WindowRef window);
WindowRef GetWindowFromPort(CGrafPtr port);  // null for a port of no window
Rect* GetWindowPortBounds(WindowRef window, Rect* bounds);
OSStatus GetWindowBounds(WindowRef window, UInt16 regionCode, Rect* globalBounds);
void MoveWindow(WindowRef window, SInt16 hGlobal, SInt16 vGlobal, Boolean front);
void SetWTitle(WindowRef window, ConstStr255Param title);
void GetWTitle(WindowRef window, Str255 title);
SInt32 GetWRefCon(WindowRef window);
void SetWRefCon(WindowRef window, SInt32 refCon);
Boolean WindowIsGrowable(WindowRef window);
Boolean WindowIsZoomable(WindowRef window);

// Resize limits, as whole-window (structure) sizes, frame included; a null
// argument leaves that limit alone.
OSStatus SetWindowResizeLimits(WindowRef window, const HISize* minLimits, const HISize* maxLimits);
OSStatus GetWindowResizeLimits(WindowRef window, HISize* minLimits, HISize* maxLimits);

// Asks the input source for the new size: height in the high 16 bits, width in
// the low 16 bits, 0 when the size does not change. sizeRect holds the limits
// (top: min height, left: min width, bottom: max height, right: max width).
SInt32 GrowWindow(WindowRef window, Point startPt, const Rect* sizeRect);
// Changes the content size and sends kEventWindowBoundsChanged to the window's
// handlers. With fUpdate the newly exposed area joins the update region.
void SizeWindow(WindowRef window, SInt16 width, SInt16 height, Boolean fUpdate);

void ShowHide(WindowRef window, Boolean showFlag);
void ShowWindow(WindowRef window);
void HideWindow(WindowRef window);
Boolean IsWindowVisible(WindowRef window);
WindowRef FrontWindow();
WindowRef GetNextWindow(WindowRef window);
void SelectWindow(WindowRef window);

// Update region: a bounding rectangle, in port coordinates.
void InvalWindowRect(WindowRef window, const Rect* bounds);
void ValidWindowRect(WindowRef window, const Rect* bounds);
Boolean GetWindowUpdateRect(WindowRef window, Rect* bounds);  // false when nothing is invalid
void BeginUpdate(WindowRef window);                           // empties the update region
void EndUpdate(WindowRef window);

// Grow box in the bottom-right 15 x 15 corner of the content, drawn in the
// current port through its clip.
void DrawGrowIcon(WindowRef window);
OSStatus SetThemeWindowBackground(WindowRef window, SInt16 brush, Boolean update);

// Live toolbox objects of each kind, for leak checks.
struct ToolboxObjectCounts {
    int windows, controls, menus, dialogs, regions, ports, eventHandlers;
};
ToolboxObjectCounts GetToolboxObjectCounts();

#pragma GCC visibility pop
