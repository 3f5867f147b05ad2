// Dialog Manager: a dialog is a window with an item list from a DLOG template.
// Buttons, check boxes and radio buttons are controls of the window; texts are
// drawn here. Typing goes to the selected edit-text item and replaces its
// selection.
#include <algorithm>
#include <unordered_map>

#include "ToolboxInternal.h"
#include "toolbox/InputSource.h"

using namespace toolbox;

namespace {

constexpr SInt16 kMovableDialogProc = 5;
constexpr size_t kMaxItemText = 255;

DialogItem* ItemAt(DialogRef dialog, SInt16 item)
{
    if (!dialog || item < 1 || size_t(item) > dialog->items.size()) return nullptr;
    return &dialog->items[size_t(item) - 1];
}

SInt16 ProcFor(DialogItemKind kind)
{
    switch (kind) {
    case DialogItemKind::checkBox:
        return checkBoxProc;
    case DialogItemKind::radioButton:
        return radioButProc;
    default:
        return pushButProc;
    }
}

bool IsControlItem(DialogItemKind kind)
{
    return kind == DialogItemKind::button || kind == DialogItemKind::checkBox || kind == DialogItemKind::radioButton;
}

void ClampSelection(DialogItem& item)
{
    const SInt16 length = SInt16(item.text.size());
    item.selStart = std::clamp<SInt16>(item.selStart, 0, length);
    item.selEnd = std::clamp<SInt16>(item.selEnd, item.selStart, length);
}

// Lines of text that fit width, broken at spaces and at carriage returns.
std::vector<std::string> WrapLines(CGrafPtr port, const std::string& text, int width)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = std::min(text.find('\r', start), text.size());
        std::string paragraph = text.substr(start, end - start);
        std::string line;
        size_t at = 0;
        while (at <= paragraph.size()) {
            const size_t space = std::min(paragraph.find(' ', at), paragraph.size());
            const std::string word = paragraph.substr(at, space - at);
            const std::string candidate = line.empty() ? word : line + " " + word;
            if (!line.empty() && MeasureText(port, candidate.data(), int(candidate.size())) > width) {
                lines.push_back(line);
                line = word;
            } else {
                line = candidate;
            }
            at = space + 1;
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void DrawTextBox(CGrafPtr port, const DialogItem& item, const FontInfo& font)
{
    const Rect savedClip = port->clip;
    Rect clip;
    SectRect(&item.bounds, &savedClip, &clip);
    port->clip = clip;
    UpdateDrawClip(port);
    const int lineHeight = font.ascent + font.descent + font.leading;
    int baseline = item.bounds.top + font.ascent;
    for (const std::string& line : WrapLines(port, item.text, item.bounds.right - item.bounds.left)) {
        port->pen = Point{SInt16(baseline), item.bounds.left};
        DrawTextAt(port, line.data(), int(line.size()));
        baseline += lineHeight;
    }
    port->clip = savedClip;
    UpdateDrawClip(port);
}

void DrawEditText(CGrafPtr port, const DialogItem& item, bool focused, const FontInfo& font)
{
    Rect frame = item.bounds;
    InsetRect(&frame, -3, -3);
    FillRectInPort(port, frame, 0xFFFFFF);
    const UInt32 savedFore = port->forePixel;
    port->forePixel = focused ? 0x5A7FB5 : 0x8A8A8A;
    FrameRect(&frame);
    port->forePixel = savedFore;
    const int left = item.bounds.left, top = item.bounds.top;
    const int selLeft = left + MeasureText(port, item.text.data(), item.selStart);
    const int selRight = left + MeasureText(port, item.text.data(), item.selEnd);
    const int bottom = top + font.ascent + font.descent;
    if (focused && item.selEnd > item.selStart) {
        FillRectInPort(port, Rect{SInt16(top), SInt16(selLeft), SInt16(bottom), SInt16(selRight)}, 0xB4D5FE);
    }
    DrawTextBox(port, item, font);
    if (focused && item.selEnd == item.selStart) {
        FillRectInPort(port, Rect{SInt16(top), SInt16(selLeft), SInt16(bottom), SInt16(selLeft + 1)}, 0x000000);
    }
}

// The default item's ring: three pixels wide, four outside the button.
void DrawDefaultRing(CGrafPtr port, const Rect& button)
{
    for (int inset = 2; inset <= 4; ++inset) {
        const int top = button.top - inset, left = button.left - inset;
        const int bottom = button.bottom + inset, right = button.right + inset;
        const int corner = inset == 4 ? 2 : 1;
        const UInt32 ring = 0x2F6BC4;
        FillRectInPort(port, Rect{SInt16(top), SInt16(left + corner), SInt16(top + 1), SInt16(right - corner)}, ring);
        FillRectInPort(port, Rect{SInt16(bottom - 1), SInt16(left + corner), SInt16(bottom), SInt16(right - corner)},
                       ring);
        FillRectInPort(port, Rect{SInt16(top + corner), SInt16(left), SInt16(bottom - corner), SInt16(left + 1)}, ring);
        FillRectInPort(port, Rect{SInt16(top + corner), SInt16(right - 1), SInt16(bottom - corner), SInt16(right)},
                       ring);
    }
}

}  // namespace

namespace {

// Live dialogs and their serial numbers; a freed dialog's block may soon hold
// a new one. Never destroyed: dialogs may be disposed during exit.
std::unordered_map<DialogRef, UInt32>& DialogSerials()
{
    static auto* serials = new std::unordered_map<DialogRef, UInt32>;
    return *serials;
}
UInt32 gLastDialogSerial = 0;

}  // namespace

namespace toolbox {

void DeleteDialogRecord(DialogRef dialog)
{
    if (!dialog) return;
    DialogSerials().erase(dialog);
    dialog->window->dialog = nullptr;
    LowDelete(dialog);
    --gCounts.dialogs;
}

}  // namespace toolbox

DialogRef GetNewDialog(SInt16 dialogID, void*, WindowRef behind)
{
    const DialogTemplate* t = GetDialogTemplate(dialogID);
    if (!t) return nullptr;
    WindowParams params;
    params.bounds = t->bounds;
    params.title = t->title;
    params.procID = kMovableDialogProc;
    params.visible = t->visible;
    WindowRef window = CreateWindow(params, behind);
    SetThemeWindowBackground(window, kThemeBrushDialogBackgroundActive, true);
    DialogRef dialog = LowNew<OpaqueDialogPtr>();
    ++gCounts.dialogs;
    DialogSerials()[dialog] = ++gLastDialogSerial;
    dialog->window = window;
    window->dialog = dialog;
    dialog->defaultItem = t->defaultItem;
    dialog->cancelItem = t->cancelItem;
    for (size_t i = 0; i < t->items.size(); ++i) {
        const DialogItemTemplate& source = t->items[i];
        DialogItem item;
        item.kind = source.kind;
        item.bounds = source.bounds;
        item.text = source.text.substr(0, kMaxItemText);
        item.enabled = source.enabled;
        if (IsControlItem(item.kind)) {
            Str255 title;
            CopyCStringToPascal(item.text, title);
            item.control = NewControl(window, &item.bounds, title, true, 0, 0, 1, ProcFor(item.kind), SInt32(i + 1));
        }
        if (item.kind == DialogItemKind::editText && dialog->editItem == 0) {
            dialog->editItem = SInt16(i + 1);
            item.selEnd = SInt16(item.text.size());
        }
        dialog->items.push_back(std::move(item));
    }
    return dialog;
}

void DisposeDialog(DialogRef dialog)
{
    if (dialog) DisposeWindow(dialog->window);
}

UInt32 GetDialogSerial(DialogRef dialog)
{
    auto found = DialogSerials().find(dialog);
    return found == DialogSerials().end() ? 0 : found->second;
}

WindowRef GetDialogWindow(DialogRef dialog) { return dialog ? dialog->window : nullptr; }
DialogRef GetDialogFromWindow(WindowRef window) { return window ? window->dialog : nullptr; }

SInt16 CountDITL(DialogRef dialog) { return dialog ? SInt16(dialog->items.size()) : 0; }

DialogItemKind GetDialogItemKind(DialogRef dialog, SInt16 item)
{
    const DialogItem* it = ItemAt(dialog, item);
    return it ? it->kind : DialogItemKind::userItem;
}

Rect* GetDialogItemBounds(DialogRef dialog, SInt16 item, Rect* bounds)
{
    const DialogItem* it = ItemAt(dialog, item);
    if (bounds) *bounds = it ? it->bounds : Rect{0, 0, 0, 0};
    return bounds;
}

void GetDialogItemText(DialogRef dialog, SInt16 item, Str255 text)
{
    const DialogItem* it = ItemAt(dialog, item);
    if (text) CopyCStringToPascal(it ? it->text : std::string(), text);
}

void SetDialogItemText(DialogRef dialog, SInt16 item, ConstStr255Param text)
{
    DialogItem* it = ItemAt(dialog, item);
    if (!it || !text) return;
    it->text = PascalToString(text);
    ClampSelection(*it);
    if (it->control) {
        it->control->title = it->text;
        Draw1Control(it->control);
    }
}

SInt16 GetDialogItemValue(DialogRef dialog, SInt16 item)
{
    const DialogItem* it = ItemAt(dialog, item);
    return it && it->control ? GetControlValue(it->control) : 0;
}

void SetDialogItemValue(DialogRef dialog, SInt16 item, SInt16 value)
{
    if (const DialogItem* it = ItemAt(dialog, item); it && it->control) SetControlValue(it->control, value);
}

Boolean IsDialogItemEnabled(DialogRef dialog, SInt16 item)
{
    const DialogItem* it = ItemAt(dialog, item);
    return it && it->enabled;
}

void SelectDialogItemText(DialogRef dialog, SInt16 item, SInt16 start, SInt16 end)
{
    DialogItem* it = ItemAt(dialog, item);
    if (!it || it->kind != DialogItemKind::editText) return;
    dialog->editItem = item;
    it->selStart = start;
    it->selEnd = end;
    ClampSelection(*it);
}

void GetDialogItemSelection(DialogRef dialog, SInt16 item, SInt16* start, SInt16* end)
{
    const DialogItem* it = ItemAt(dialog, item);
    if (start) *start = it ? it->selStart : 0;
    if (end) *end = it ? it->selEnd : 0;
}

// Each byte is one key: backspace (8) deletes the selection or the character
// before the caret; anything else replaces the selection. Text stops at 255.
void TypeDialogText(DialogRef dialog, SInt16 item, ConstStr255Param text)
{
    DialogItem* it = ItemAt(dialog, item);
    if (!it || !text || it->kind != DialogItemKind::editText) return;
    dialog->editItem = item;
    ClampSelection(*it);
    for (int i = 1; i <= text[0]; ++i) {
        const char key = char(text[i]);
        size_t start = size_t(it->selStart), end = size_t(it->selEnd);
        if (key == '\b' && start == end && start > 0) --start;
        it->text.erase(start, end - start);
        if (key != '\b' && it->text.size() < kMaxItemText) it->text.insert(start++, 1, key);
        it->selStart = it->selEnd = SInt16(start);
    }
}

SInt16 GetDialogKeyboardFocusItem(DialogRef dialog) { return dialog ? dialog->editItem : 0; }

// The caret position a click at where gives: the boundary between characters
// nearest to where.h on the item's single line, as DrawDialog draws it.
SInt16 GetDialogItemTextOffset(DialogRef dialog, SInt16 item, Point where)
{
    const DialogItem* it = ItemAt(dialog, item);
    if (!it || it->kind != DialogItemKind::editText) return 0;
    CGrafPtr port = dialog->window->port;
    PortSaver saver(port);
    const SInt16 savedFont = port->textFont, savedSize = port->textSize, savedFace = port->textFace;
    port->textFont = systemFont;
    port->textSize = 12;
    port->textFace = normal;
    SInt16 offset = 0;
    int previous = it->bounds.left;
    for (size_t i = 1; i <= it->text.size(); ++i) {
        const int edge = it->bounds.left + MeasureText(port, it->text.data(), int(i));
        if (where.h < (previous + edge + 1) / 2) break;
        offset = SInt16(i);
        previous = edge;
    }
    port->textFont = savedFont;
    port->textSize = savedSize;
    port->textFace = savedFace;
    return offset;
}

SInt16 GetDialogDefaultItem(DialogRef dialog) { return dialog ? dialog->defaultItem : 0; }
SInt16 GetDialogCancelItem(DialogRef dialog) { return dialog ? dialog->cancelItem : 0; }

void DrawDialog(DialogRef dialog)
{
    if (!dialog) return;
    CGrafPtr port = dialog->window->port;
    PortSaver saver(port);
    const SInt16 savedFont = port->textFont, savedSize = port->textSize, savedFace = port->textFace;
    const UInt32 savedFore = port->forePixel;
    port->textFont = systemFont;
    port->textSize = 12;
    port->textFace = normal;
    port->forePixel = 0x000000;
    FontInfo font;
    GetFontInfo(&font);
    FillRectInPort(port, Rect{0, 0, SInt16(port->height), SInt16(port->width)}, port->backPixel);
    for (size_t i = 0; i < dialog->items.size(); ++i) {
        const DialogItem& item = dialog->items[i];
        const SInt16 number = SInt16(i + 1);
        switch (item.kind) {
        case DialogItemKind::staticText:
            DrawTextBox(port, item, font);
            break;
        case DialogItemKind::editText:
            DrawEditText(port, item, number == dialog->editItem, font);
            break;
        case DialogItemKind::userItem:
            break;
        default:
            if (number == dialog->defaultItem && item.kind == DialogItemKind::button)
                DrawDefaultRing(port, item.bounds);
            Draw1Control(item.control);
            break;
        }
    }
    port->textFont = savedFont;
    port->textSize = savedSize;
    port->textFace = savedFace;
    port->forePixel = savedFore;
}

// Without an input source nobody can answer: the dialog is cancelled (or, with
// no cancel item, confirmed with its default item).
void ModalDialog(DialogRef dialog, SInt16* itemHit)
{
    if (!itemHit) return;
    *itemHit = 0;
    if (!dialog) return;
    InputSource* source = GetInputSource();
    if (!source) {
        *itemHit = dialog->cancelItem ? dialog->cancelItem : dialog->defaultItem;
        return;
    }
    if (dialog->window->visible) DrawDialog(dialog);
    *itemHit = source->ModalDialogHit(dialog);
}
