// Control Manager: push buttons, check boxes and the small 16 x 16 icon button
// (procID 3793) whose glyph follows its title: an eraser for a title that
// starts with "Erase", a settings mark for one that starts with "Settings",
// the title's first letter otherwise. Inactive controls are drawn dimmed.
#pragma once

#include "toolbox/MacTypes.h"

#pragma GCC visibility push(default)  // the library exports what its headers declare

enum : SInt16 {
    pushButProc = 0,
    checkBoxProc = 1,
    radioButProc = 2,
    kControlSmallIconButtonProc = 3793,
};
enum : SInt16 { kControlNoPart = 0, kControlButtonPart = 10, kControlCheckBoxPart = 11 };

using ControlActionUPP = void (*)(ControlRef control, SInt16 part);

ControlRef NewControl(WindowRef owner, const Rect* bounds, ConstStr255Param title, Boolean visible, SInt16 value,
                      SInt16 minimum, SInt16 maximum, SInt16 procID, SInt32 refCon);
void DisposeControl(ControlRef control);
// Draws every visible control of the window in the current port.
void DrawControls(WindowRef window);
void Draw1Control(ControlRef control);
// Asks the host's input source whether the mouse is released inside the
// control; returns the control's part code then, 0 otherwise. Inactive
// controls never track.
SInt16 TrackControl(ControlRef control, Point startPoint, ControlActionUPP action);
// The visible, active control under the point (window-local), or 0.
SInt16 FindControl(Point where, WindowRef window, ControlRef* control);

Rect* GetControlBounds(ControlRef control, Rect* bounds);
WindowRef GetControlOwner(ControlRef control);
SInt32 GetControlReference(ControlRef control);
void GetControlTitle(ControlRef control, Str255 title);
SInt16 GetControlValue(ControlRef control);
void SetControlValue(ControlRef control, SInt16 value);
// 0 makes a control active, 255 inactive (dimmed).
void HiliteControl(ControlRef control, SInt16 hiliteState);
Boolean IsControlActive(ControlRef control);
Boolean IsControlVisible(ControlRef control);
SInt16 GetControlProcID(ControlRef control);

// For hosts, which find a window's buttons as a user does, by what they show:
// the window's controls in the order they were made (and are drawn), from 1.
UInt16 CountWindowControls(WindowRef window);
ControlRef GetIndexedWindowControl(WindowRef window, UInt16 index);  // null outside 1..count

#pragma GCC visibility pop
