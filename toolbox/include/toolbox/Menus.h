// Menu Manager. AppendMenu reads the platform's metacharacters: ';' separates
// items, '(' disables an item, an item text "-" is a divider line (so "(-" is
// a disabled divider), '!c' marks with c, '/c' sets a command key, '<B' makes
// the item bold. Items are numbered from 1.
#pragma once

#include <string>

#include "toolbox/MacTypes.h"

#pragma GCC visibility push(default)  // the library exports what its headers declare

constexpr unsigned char checkMark = 0x12;
constexpr unsigned char noMark = 0;

// A fresh copy of MENU id from the current resources, null when missing. The
// caller disposes of it (or hands it to someone who does).
MenuRef GetMenu(SInt16 resourceID);
MenuRef NewMenu(SInt16 menuID, ConstStr255Param title);
void DisposeMenu(MenuRef menu);

void AppendMenu(MenuRef menu, ConstStr255Param data);
// Appends one item with this exact text: no metacharacters.
void AppendMenuItemText(MenuRef menu, ConstStr255Param text);
void InsertMenuItemText(MenuRef menu, ConstStr255Param text, SInt16 afterItem);
void DeleteMenuItem(MenuRef menu, SInt16 item);
SInt16 CountMenuItems(MenuRef menu);
SInt16 GetMenuID(MenuRef menu);

void GetMenuItemText(MenuRef menu, SInt16 item, Str255 text);
void SetMenuItemText(MenuRef menu, SInt16 item, ConstStr255Param text);
void CheckMenuItem(MenuRef menu, SInt16 item, Boolean checked);
void SetItemMark(MenuRef menu, SInt16 item, SInt16 markChar);
void GetItemMark(MenuRef menu, SInt16 item, SInt16* markChar);
// For hosts that show menus: the command key (0 for none), the style bits and the title.
void GetItemCmd(MenuRef menu, SInt16 item, SInt16* cmdChar);
void GetItemStyle(MenuRef menu, SInt16 item, SInt16* style);
void GetMenuTitle(MenuRef menu, Str255 title);
void EnableMenuItem(MenuRef menu, SInt16 item);  // item 0: the whole menu
void DisableMenuItem(MenuRef menu, SInt16 item);
Boolean IsMenuItemEnabled(MenuRef menu, SInt16 item);
Boolean IsMenuItemDivider(MenuRef menu, SInt16 item);

// Asks the host's input source for a choice; returns the menu ID in the high
// 16 bits and the item in the low 16 bits, 0 when nothing is chosen.
SInt32 PopUpMenuSelect(MenuRef menu, SInt16 top, SInt16 left, SInt16 popUpItem);

// ---- For hosts that show a popup menu on a screen ----
// The menu's size as DrawPopUpMenu draws it: the system font at 12 pixels,
// a mark column, the item texts and command keys, 1-pixel outline.
SInt16 GetMenuWidth(MenuRef menu);
SInt16 GetMenuHeight(MenuRef menu);
// Draws the whole menu into the current port with its top-left corner at
// (0, 0), hiliteItem (if enabled; 0 for none) shown selected. Leaves the
// port's text settings, pen and colours as they were.
void DrawPopUpMenu(MenuRef menu, SInt16 hiliteItem);
// The item under a point of the drawn menu, 0 off the items; dividers and
// disabled items count as items (the caller decides whether they can be chosen).
SInt16 FindPopUpMenuItem(MenuRef menu, Point where);

#pragma GCC visibility pop
