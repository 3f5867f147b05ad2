// Dialog Manager. A dialog is a window with an item list made from a DLOG
// template. Item accessors here take item numbers (the platform's take item
// handles); everything else keeps its platform name.
#pragma once

#include "toolbox/MacTypes.h"
#include "toolbox/Resources.h"

#pragma GCC visibility push(default)  // the library exports what its headers declare

// A new dialog from DLOG id of the current resources, null when missing.
DialogRef GetNewDialog(SInt16 dialogID, void* storage, WindowRef behind);
void DisposeDialog(DialogRef dialog);
WindowRef GetDialogWindow(DialogRef dialog);
DialogRef GetDialogFromWindow(WindowRef window);  // null for a window of no dialog
// A number that names this dialog and no other, before or after it, even one
// made later at the same address; 0 when dialog is no live dialog.
UInt32 GetDialogSerial(DialogRef dialog);

SInt16 CountDITL(DialogRef dialog);
DialogItemKind GetDialogItemKind(DialogRef dialog, SInt16 item);
Rect* GetDialogItemBounds(DialogRef dialog, SInt16 item, Rect* bounds);
void GetDialogItemText(DialogRef dialog, SInt16 item, Str255 text);
void SetDialogItemText(DialogRef dialog, SInt16 item, ConstStr255Param text);
SInt16 GetDialogItemValue(DialogRef dialog, SInt16 item);  // check boxes and radio buttons
void SetDialogItemValue(DialogRef dialog, SInt16 item, SInt16 value);
Boolean IsDialogItemEnabled(DialogRef dialog, SInt16 item);
// Selects characters start..end of an edit-text item; typing replaces them.
void SelectDialogItemText(DialogRef dialog, SInt16 item, SInt16 start, SInt16 end);
void GetDialogItemSelection(DialogRef dialog, SInt16 item, SInt16* start, SInt16* end);
// What typing does in the selected edit-text item: replaces the selection.
void TypeDialogText(DialogRef dialog, SInt16 item, ConstStr255Param text);
// The edit-text item that typing goes to; 0 for none.
SInt16 GetDialogKeyboardFocusItem(DialogRef dialog);
// The character offset in an edit-text item nearest a point of the dialog's
// port: where a click there puts the caret.
SInt16 GetDialogItemTextOffset(DialogRef dialog, SInt16 item, Point where);
SInt16 GetDialogDefaultItem(DialogRef dialog);
SInt16 GetDialogCancelItem(DialogRef dialog);

// Draws the dialog's items into its window's port.
void DrawDialog(DialogRef dialog);
// Asks the host's input source for the next item hit in the dialog.
void ModalDialog(DialogRef dialog, SInt16* itemHit);

#pragma GCC visibility pop
