// Menu Manager: menus as item lists, AppendMenu's metacharacters, marks and
// enabling, and popup choices answered by the input source.
#include <algorithm>

#include "ToolboxInternal.h"
#include "toolbox/InputSource.h"

using namespace toolbox;

namespace {

MenuItem* ItemAt(MenuRef menu, SInt16 item)
{
    if (!menu || item < 1 || size_t(item) > menu->items.size()) return nullptr;
    return &menu->items[size_t(item) - 1];
}

SInt16 StyleBit(char c)
{
    switch (c) {
    case 'B': return bold;
    case 'I': return italic;
    case 'U': return underline;
    case 'O': return 8;   // outline
    case 'S': return 16;  // shadow
    default: return 0;
    }
}

// One item of AppendMenu's data: metacharacters set attributes and leave the text.
MenuItem ParseItem(std::string_view data)
{
    MenuItem item;
    for (size_t i = 0; i < data.size(); ++i) {
        const char c = data[i];
        const bool hasArgument = i + 1 < data.size();
        if (c == '(') {
            item.enabled = false;
        } else if (c == '!' && hasArgument) {
            item.mark = uint8_t(data[++i]);
        } else if (c == '/' && hasArgument) {
            item.commandKey = uint8_t(data[++i]);
        } else if (c == '<' && hasArgument) {
            item.style |= StyleBit(data[++i]);
        } else if (c == '^' && hasArgument) {
            ++i;  // icon number: no icons here
        } else {
            item.text += c;
        }
    }
    if (item.text == "-") {
        item.divider = true;
        item.enabled = false;
    }
    return item;
}

void AppendItems(MenuRef menu, std::string_view data)
{
    size_t start = 0;
    while (start <= data.size()) {
        const size_t end = std::min(data.find(';', start), data.size());
        menu->items.push_back(ParseItem(data.substr(start, end - start)));
        start = end + 1;
    }
}

MenuRef MakeMenu(SInt16 menuID, std::string title)
{
    MenuRef menu = LowNew<OpaqueMenuRef>();
    menu->menuID = menuID;
    menu->title = std::move(title);
    ++gCounts.menus;
    return menu;
}

} // namespace

MenuRef GetMenu(SInt16 resourceID)
{
    const MenuTemplate* t = GetMenuTemplate(resourceID);
    if (!t) return nullptr;
    MenuRef menu = MakeMenu(t->menuID, t->title);
    for (const std::string& item : t->items) AppendItems(menu, item);
    return menu;
}

MenuRef NewMenu(SInt16 menuID, ConstStr255Param title)
{
    return MakeMenu(menuID, title ? PascalToString(title) : std::string());
}

void DisposeMenu(MenuRef menu)
{
    if (!menu) return;
    LowDelete(menu);
    --gCounts.menus;
}

void AppendMenu(MenuRef menu, ConstStr255Param data)
{
    if (menu && data) AppendItems(menu, PascalToString(data));
}

void AppendMenuItemText(MenuRef menu, ConstStr255Param text)
{
    if (!menu || !text) return;
    MenuItem item;
    item.text = PascalToString(text);
    menu->items.push_back(std::move(item));
}

void InsertMenuItemText(MenuRef menu, ConstStr255Param text, SInt16 afterItem)
{
    if (!menu || !text) return;
    MenuItem item;
    item.text = PascalToString(text);
    const size_t at = size_t(std::clamp<int>(afterItem, 0, int(menu->items.size())));
    menu->items.insert(menu->items.begin() + ptrdiff_t(at), std::move(item));
}

void DeleteMenuItem(MenuRef menu, SInt16 item)
{
    if (ItemAt(menu, item)) menu->items.erase(menu->items.begin() + (item - 1));
}

SInt16 CountMenuItems(MenuRef menu) { return menu ? SInt16(std::min<size_t>(menu->items.size(), 32767)) : 0; }
SInt16 GetMenuID(MenuRef menu) { return menu ? menu->menuID : 0; }

void GetMenuItemText(MenuRef menu, SInt16 item, Str255 text)
{
    if (!text) return;
    const MenuItem* it = ItemAt(menu, item);
    CopyCStringToPascal(it ? it->text : std::string(), text);
}

void SetMenuItemText(MenuRef menu, SInt16 item, ConstStr255Param text)
{
    if (MenuItem* it = ItemAt(menu, item); it && text) it->text = PascalToString(text);
}

void CheckMenuItem(MenuRef menu, SInt16 item, Boolean checked)
{
    if (MenuItem* it = ItemAt(menu, item)) it->mark = checked ? checkMark : noMark;
}

void SetItemMark(MenuRef menu, SInt16 item, SInt16 markChar)
{
    if (MenuItem* it = ItemAt(menu, item)) it->mark = uint8_t(markChar);
}

void GetItemMark(MenuRef menu, SInt16 item, SInt16* markChar)
{
    const MenuItem* it = ItemAt(menu, item);
    if (markChar) *markChar = it ? it->mark : noMark;
}

void GetItemCmd(MenuRef menu, SInt16 item, SInt16* cmdChar)
{
    const MenuItem* it = ItemAt(menu, item);
    if (cmdChar) *cmdChar = it ? it->commandKey : 0;
}

void GetItemStyle(MenuRef menu, SInt16 item, SInt16* style)
{
    const MenuItem* it = ItemAt(menu, item);
    if (style) *style = it ? it->style : SInt16(normal);
}

void GetMenuTitle(MenuRef menu, Str255 title)
{
    if (title) CopyCStringToPascal(menu ? menu->title : std::string(), title);
}

void EnableMenuItem(MenuRef menu, SInt16 item)
{
    if (menu && item == 0) menu->enabled = true;
    if (MenuItem* it = ItemAt(menu, item); it && !it->divider) it->enabled = true;
}

void DisableMenuItem(MenuRef menu, SInt16 item)
{
    if (menu && item == 0) menu->enabled = false;
    if (MenuItem* it = ItemAt(menu, item)) it->enabled = false;
}

Boolean IsMenuItemEnabled(MenuRef menu, SInt16 item)
{
    if (menu && item == 0) return menu->enabled;
    const MenuItem* it = ItemAt(menu, item);
    return it && it->enabled && menu->enabled;
}

Boolean IsMenuItemDivider(MenuRef menu, SInt16 item)
{
    const MenuItem* it = ItemAt(menu, item);
    return it && it->divider;
}

SInt32 PopUpMenuSelect(MenuRef menu, SInt16 top, SInt16 left, SInt16)
{
    InputSource* source = GetInputSource();
    if (!menu || !source || !menu->enabled) return 0;
    const SInt16 item = source->PopUpMenuSelect(menu, Point{top, left});
    const MenuItem* it = ItemAt(menu, item);
    if (!it || !it->enabled) return 0;
    return SInt32((uint32_t(uint16_t(menu->menuID)) << 16) | uint16_t(item));
}
