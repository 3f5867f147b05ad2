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
    case 'B':
        return bold;
    case 'I':
        return italic;
    case 'U':
        return underline;
    case 'O':
        return 8;  // outline
    case 'S':
        return 16;  // shadow
    default:
        return 0;
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

}  // namespace

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

// ---- Showing a popup menu ----
//
// The menu definition's size, draw and choose messages as three routines, for
// hosts that show a popup on a screen: the system font at 12 pixels, a mark
// column, item text, command keys on the right, dividers as thin lines.

namespace {

constexpr int kMenuFrame = 1;    // the outline
constexpr int kMenuPadding = 4;  // above the first item and below the last
constexpr int kMarkColumn = 20;  // from the frame to the item text
constexpr int kTextRightMargin = 16;
constexpr int kCommandGap = 20;  // between the text and a command key
constexpr int kDividerHeight = 9;
constexpr int kMinimumMenuWidth = 60;

constexpr UInt32 kMenuBackground = 0xF7F7F7, kMenuOutline = 0x8A8A8A, kMenuDivider = 0xD4D4D4;
constexpr UInt32 kMenuText = 0x000000, kMenuDisabledText = 0xA0A0A0;
constexpr UInt32 kMenuHilite = 0x2F6BC4, kMenuHiliteText = 0xFFFFFF;

// Gives the current port (or, with none, a scratch port) the menu font for
// the scope, and puts the port's text settings, pen and colour back after.
class MenuFontScope {
public:
    MenuFontScope()
        : scratch_(CurrentPort() ? nullptr : NewPort(0, 0, nullptr)), port_(scratch_ ? scratch_ : CurrentPort())
    {
        saved_ = Saved{port_->textFont, port_->textSize, port_->textFace, port_->forePixel, port_->pen};
        if (scratch_) SetPort(scratch_);
        port_->textFont = systemFont;
        port_->textSize = 12;
        port_->textFace = normal;
        FontInfo info;
        GetFontInfo(&info);
        ascent = info.ascent;
        descent = info.descent;
        itemHeight = info.ascent + info.descent + 6;
    }
    ~MenuFontScope()
    {
        port_->textFont = saved_.textFont;
        port_->textSize = saved_.textSize;
        port_->textFace = saved_.textFace;
        port_->forePixel = saved_.forePixel;
        port_->pen = saved_.pen;
        if (scratch_) {
            SetPort(nullptr);
            DeletePort(scratch_);
        }
    }
    MenuFontScope(const MenuFontScope&) = delete;
    MenuFontScope& operator=(const MenuFontScope&) = delete;

    CGrafPtr Port() const { return port_; }
    int TextWidth(const MenuItem& item) const
    {
        port_->textFace = item.style & (bold | italic | underline);
        const int width = MeasureText(port_, item.text.data(), int(item.text.size()));
        port_->textFace = normal;
        return width;
    }
    int CommandWidth(const MenuItem& item) const
    {
        const char text[2] = {'\x11', char(item.commandKey)};
        return item.commandKey ? MeasureText(port_, text, 2) : 0;
    }
    int HeightOf(const MenuItem& item) const { return item.divider ? kDividerHeight : itemHeight; }

    int ascent = 0, descent = 0, itemHeight = 0;

private:
    struct Saved {
        SInt16 textFont, textSize, textFace;
        UInt32 forePixel;
        Point pen;
    };
    CGrafPtr scratch_;
    CGrafPtr port_;
    Saved saved_{};
};

struct MenuSize {
    int width, height;
};

MenuSize MeasureMenu(MenuRef menu, const MenuFontScope& font)
{
    int text = 0, command = 0, height = 2 * (kMenuFrame + kMenuPadding);
    for (const MenuItem& item : menu->items) {
        height += font.HeightOf(item);
        if (item.divider) continue;
        text = std::max(text, font.TextWidth(item));
        command = std::max(command, font.CommandWidth(item));
    }
    int width = 2 * kMenuFrame + kMarkColumn + text + (command ? kCommandGap + command : 0) + kTextRightMargin;
    return MenuSize{std::clamp(width, kMinimumMenuWidth, 32767), std::min(height, 32767)};
}

}  // namespace

SInt16 GetMenuWidth(MenuRef menu)
{
    if (!menu) return 0;
    MenuFontScope font;
    return SInt16(MeasureMenu(menu, font).width);
}

SInt16 GetMenuHeight(MenuRef menu)
{
    if (!menu) return 0;
    MenuFontScope font;
    return SInt16(MeasureMenu(menu, font).height);
}

void DrawPopUpMenu(MenuRef menu, SInt16 hiliteItem)
{
    if (!menu || !CurrentPort()) return;
    MenuFontScope font;
    CGrafPtr port = font.Port();
    const MenuSize size = MeasureMenu(menu, font);
    FillRectInPort(port, Rect{0, 0, SInt16(size.height), SInt16(size.width)}, kMenuOutline);
    FillRectInPort(port,
                   Rect{kMenuFrame, kMenuFrame, SInt16(size.height - kMenuFrame), SInt16(size.width - kMenuFrame)},
                   kMenuBackground);
    int top = kMenuFrame + kMenuPadding;
    for (size_t i = 0; i < menu->items.size() && top < size.height; ++i) {
        const MenuItem& item = menu->items[i];
        const int bottom = top + font.HeightOf(item);
        const int left = kMenuFrame, right = size.width - kMenuFrame;
        if (item.divider) {
            const int middle = (top + bottom) / 2;
            FillRectInPort(port, Rect{SInt16(middle), SInt16(left + 4), SInt16(middle + 1), SInt16(right - 4)},
                           kMenuDivider);
            top = bottom;
            continue;
        }
        const bool enabled = item.enabled && menu->enabled;
        const bool hilited = enabled && hiliteItem == SInt16(i + 1);
        if (hilited) FillRectInPort(port, Rect{SInt16(top), SInt16(left), SInt16(bottom), SInt16(right)}, kMenuHilite);
        port->forePixel = hilited ? kMenuHiliteText : enabled ? kMenuText : kMenuDisabledText;
        const SInt16 baseline = SInt16((top + bottom + font.ascent - font.descent) / 2);
        if (item.mark != noMark) {
            const char mark = char(item.mark);
            port->pen = Point{baseline, SInt16(left + 5)};
            DrawTextAt(port, &mark, 1);
        }
        port->textFace = item.style & (bold | italic | underline);
        port->pen = Point{baseline, SInt16(left + kMarkColumn)};
        DrawTextAt(port, item.text.data(), int(item.text.size()));
        port->textFace = normal;
        if (item.commandKey) {
            const char command[2] = {'\x11', char(item.commandKey)};
            port->pen = Point{baseline, SInt16(right - kTextRightMargin + 4 - font.CommandWidth(item))};
            DrawTextAt(port, command, 2);
        }
        top = bottom;
    }
}

SInt16 FindPopUpMenuItem(MenuRef menu, Point where)
{
    if (!menu) return 0;
    MenuFontScope font;
    const MenuSize size = MeasureMenu(menu, font);
    if (where.h < kMenuFrame || where.h >= size.width - kMenuFrame) return 0;
    int top = kMenuFrame + kMenuPadding;
    for (size_t i = 0; i < menu->items.size(); ++i) {
        const int bottom = top + font.HeightOf(menu->items[i]);
        if (where.v >= top && where.v < bottom) return SInt16(i + 1);
        top = bottom;
    }
    return 0;
}
