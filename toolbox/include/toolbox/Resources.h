// Resource Manager. A bundle's resources live in a JSON resource file next to
// it (the format is in toolbox/RESOURCES.md). Open files form a chain that is
// searched newest first, starting at the current file.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "toolbox/MacTypes.h"

#pragma GCC visibility push(default)  // the library exports what its headers declare

// A resource file that cannot be read or parsed; what() names the file and,
// for a syntax error, the line.
struct ResourceFileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Window template (WIND).
struct WindowTemplate {
    Rect bounds;    // content rectangle in global coordinates
    SInt16 procID;  // window kind
    bool visible;
    bool goAwayFlag;  // has a close box
    bool growable;    // has a grow box
    bool zoomable;    // has a zoom box
    SInt32 refCon;
    std::string title;
};

// Menu template (MENU): items as AppendMenu reads them (metacharacters allowed).
struct MenuTemplate {
    SInt16 menuID;
    std::string title;
    std::vector<std::string> items;
};

// Dialog item kinds of a DLOG template.
enum class DialogItemKind { button, checkBox, radioButton, staticText, editText, userItem };

struct DialogItemTemplate {
    DialogItemKind kind;
    Rect bounds;  // in the dialog window's local coordinates
    std::string text;
    bool enabled;
};

// Dialog template (DLOG with its item list).
struct DialogTemplate {
    Rect bounds;
    std::string title;
    bool visible;
    SInt16 defaultItem;  // drawn with the default ring; 0 for none
    SInt16 cancelItem;
    std::vector<DialogItemTemplate> items;  // item 1 first
};

// Opens a resource file, puts it at the head of the chain and makes it current.
// Returns its reference number; throws ResourceFileError.
SInt16 OpenResourceFile(const std::string& path);
void CloseResFile(SInt16 refNum);
void UseResFile(SInt16 refNum);
SInt16 CurResFile();
OSErr ResError();

// Lookups search from the current file towards the oldest. They return null
// (and ResError() resNotFound) when no file of the chain has the resource.
const WindowTemplate* GetWindowTemplate(SInt16 id);
const MenuTemplate* GetMenuTemplate(SInt16 id);
const DialogTemplate* GetDialogTemplate(SInt16 id);

// String index (1-based) of STR# id; an empty string when missing.
void GetIndString(Str255 theString, SInt16 strListID, SInt16 index);

// A resource handed out by GetMenu is the caller's once detached. Menus are
// fresh copies anyway, so this only records that the caller owns it.
void DetachResource(Handle resource);
void DetachResource(MenuRef menu);

#pragma GCC visibility pop
