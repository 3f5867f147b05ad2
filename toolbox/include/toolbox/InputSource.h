// What a user does while the toolbox tracks the mouse or waits in a dialog.
// The host sets the source: a script in tests, a person in a live window.
// Without a source nothing happens: no grow, no track, no menu choice, and
// ModalDialog answers the dialog's cancel item.
#pragma once

#include "toolbox/MacTypes.h"

#pragma GCC visibility push(default)  // the library exports what its headers declare

class InputSource {
public:
    virtual ~InputSource() = default;
    // New content size (height << 16 | width) for a grow within limits, 0 for no change.
    virtual SInt32 GrowWindow(WindowRef window, Point start, const Rect& limits) = 0;
    // True when the mouse is released inside the control.
    virtual bool TrackControl(ControlRef control, Point start) = 0;
    // The next item hit in a modal dialog; may type into its items first.
    virtual SInt16 ModalDialogHit(DialogRef dialog) = 0;
    // The item chosen from a popup menu, 0 for none.
    virtual SInt16 PopUpMenuSelect(MenuRef menu, Point where) = 0;
    // Where the mouse is released after a press at start (window-local); start for a plain click.
    virtual Point TrackDrag(WindowRef window, Point start) = 0;
};

void SetInputSource(InputSource* source);  // null removes it
InputSource* GetInputSource();

#pragma GCC visibility pop
