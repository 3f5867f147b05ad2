// A person answering a modal dialog: its window is shown over the window the
// click came from, takes the keyboard, and each click or key becomes the item
// hit the platform's ModalDialog reports: a released button or check box,
// a click in the edit text, each change typed there; Return is the default
// item, Escape the cancel item; Tab, arrows and the mouse move the selection.
#include <algorithm>

#include "PersonInput.h"
#include "Screen.h"
#include "TestHooks.h"
#include "toolbox/Controls.h"
#include "toolbox/Dialogs.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Windows.h"

namespace display {

namespace {

constexpr Uint32 kFlashMilliseconds = 120;  // a button pressed by a key looks pressed this long

bool IsControlItem(DialogItemKind kind)
{
    return kind == DialogItemKind::button || kind == DialogItemKind::checkBox || kind == DialogItemKind::radioButton;
}

SInt16 ItemAt(DialogRef dialog, Point local)
{
    for (SInt16 item = 1; item <= CountDITL(dialog); ++item) {
        Rect bounds;
        GetDialogItemBounds(dialog, item, &bounds);
        if (GetDialogItemKind(dialog, item) == DialogItemKind::editText) InsetRect(&bounds, -3, -3);  // its frame
        if (PtInRect(local, &bounds)) return item;
    }
    return 0;
}

ControlRef ControlOfItem(DialogRef dialog, SInt16 item)
{
    Rect bounds;
    GetDialogItemBounds(dialog, item, &bounds);
    ControlRef control = nullptr;
    const Point middle{SInt16((bounds.top + bounds.bottom) / 2), SInt16((bounds.left + bounds.right) / 2)};
    FindControl(middle, GetDialogWindow(dialog), &control);
    return control;
}

void Redraw(DialogRef dialog)
{
    if (IsWindowVisible(GetDialogWindow(dialog))) DrawDialog(dialog);
}

void Select(DialogRef dialog, SInt16 item, int start, int end)
{
    SelectDialogItemText(dialog, item, SInt16(std::min(start, end)), SInt16(std::max(start, end)));
    Redraw(dialog);
}

int TextLength(DialogRef dialog, SInt16 item)
{
    Str255 text;
    GetDialogItemText(dialog, item, text);
    return text[0];
}

}  // namespace

PortWindow& PersonInput::ShowDialog(DialogRef dialog)
{
    WindowRef window = GetDialogWindow(dialog);
    if (PortWindow* shown = screen_.Find(window)) return *shown;
    // Where the dialog lies relative to the window it belongs to.
    Rect content;
    GetWindowBounds(window, kWindowContentRgn, &content);
    WindowRef over = pressedWindow_ && screen_.Find(pressedWindow_) ? pressedWindow_ : nullptr;
    const SDL_Point at =
        over ? screen_.ToDesktop(over, Point{content.top, content.left}) : SDL_Point{content.left, content.top};
    Str255 title;
    GetWTitle(window, title);
    PortWindow& shown = screen_.Show(GetWindowPort(window), window, PortKind::dialog, at, PascalToString(title));
    if (PortWindow* parent = over ? screen_.Find(over) : nullptr) SDL_SetWindowModalFor(shown.Sdl(), parent->Sdl());
    SDL_RaiseWindow(shown.Sdl());
    SDL_SetWindowInputFocus(shown.Sdl());
    hooks_.Trace("dialog open");
    return shown;
}

void PersonInput::FlashItem(DialogRef dialog, PortWindow& shown, SInt16 item)
{
    ControlRef control = ControlOfItem(dialog, item);
    if (!control) return;
    HiliteControl(control, kControlButtonPart);
    shown.Present();
    SDL_Delay(kFlashMilliseconds);
    HiliteControl(control, 0);
    RedrawControls(GetDialogWindow(dialog));
}

std::optional<SInt16> PersonInput::DialogClick(DialogRef dialog, PortWindow& shown, const SDL_Event& event)
{
    const SDL_Point desktop = DesktopMouse(event);
    const Point local = shown.ToLocal(desktop.x, desktop.y);
    const SInt16 item = ItemAt(dialog, local);
    if (item == 0 || !IsDialogItemEnabled(dialog, item)) return std::nullopt;
    const DialogItemKind kind = GetDialogItemKind(dialog, item);
    if (IsControlItem(kind)) {
        ControlRef control = ControlOfItem(dialog, item);
        if (!control || !IsControlActive(control)) return std::nullopt;
        if (!TrackButton(control, shown)) return std::nullopt;
        return item;
    }
    if (kind == DialogItemKind::editText) {
        // Click for the caret, drag to select, double-click for the whole text.
        const int anchor = GetDialogItemTextOffset(dialog, item, local);
        if (event.button.clicks >= 2) {
            Select(dialog, item, 0, TextLength(dialog, item));
        } else {
            Select(dialog, item, anchor, anchor);
            FollowButton(shown,
                         [&](Point at) { Select(dialog, item, anchor, GetDialogItemTextOffset(dialog, item, at)); });
        }
    }
    return item;
}

std::optional<SInt16> PersonInput::DialogKey(DialogRef dialog, PortWindow& shown, const SDL_Event& event)
{
    const SInt16 focus = GetDialogKeyboardFocusItem(dialog);
    const SDL_Keycode key = event.key.keysym.sym;
    const bool shift = event.key.keysym.mod & KMOD_SHIFT, control = event.key.keysym.mod & KMOD_CTRL;
    SInt16 start = 0, end = 0;
    if (focus) GetDialogItemSelection(dialog, focus, &start, &end);
    const int length = focus ? TextLength(dialog, focus) : 0;
    auto typed = [&](unsigned char byte) -> std::optional<SInt16> {
        const unsigned char text[2] = {1, byte};
        TypeDialogText(dialog, focus, text);
        return focus;
    };
    switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        if (SInt16 item = GetDialogDefaultItem(dialog)) {
            FlashItem(dialog, shown, item);
            return item;
        }
        return std::nullopt;
    case SDLK_ESCAPE:
        if (SInt16 item = GetDialogCancelItem(dialog)) {
            FlashItem(dialog, shown, item);
            return item;
        }
        return std::nullopt;
    case SDLK_TAB: {
        // The next edit-text item, its whole text selected.
        const SInt16 count = CountDITL(dialog);
        for (SInt16 step = 1; step <= count; ++step) {
            const SInt16 item = SInt16((focus + step * (shift ? -1 : 1) + count - 1 + count) % count + 1);
            if (GetDialogItemKind(dialog, item) == DialogItemKind::editText) {
                Select(dialog, item, 0, TextLength(dialog, item));
                break;
            }
        }
        return std::nullopt;
    }
    default:
        break;
    }
    if (control && (key == SDLK_q || key == SDLK_w)) {
        pump_.SetAside(event);  // quit or close: the dialog ends as cancelled
        return std::nullopt;
    }
    if (!focus) return std::nullopt;
    switch (key) {
    case SDLK_BACKSPACE:
        return typed('\b');
    case SDLK_DELETE:
        if (start == end && end < length) SelectDialogItemText(dialog, focus, start, SInt16(end + 1));
        return typed('\b');
    case SDLK_LEFT:
        if (shift)
            Select(dialog, focus, std::max(0, start - 1), end);
        else
            Select(dialog, focus, start == end ? std::max(0, start - 1) : start,
                   start == end ? std::max(0, start - 1) : start);
        return std::nullopt;
    case SDLK_RIGHT:
        if (shift)
            Select(dialog, focus, start, std::min(length, end + 1));
        else
            Select(dialog, focus, start == end ? std::min(length, end + 1) : end,
                   start == end ? std::min(length, end + 1) : end);
        return std::nullopt;
    case SDLK_HOME:
        Select(dialog, focus, 0, shift ? end : 0);
        return std::nullopt;
    case SDLK_END:
        Select(dialog, focus, shift ? start : length, length);
        return std::nullopt;
    case SDLK_a:
        if (control) Select(dialog, focus, 0, length);
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

SInt16 PersonInput::ModalDialogHit(DialogRef dialog)
{
    const SInt16 cancel = GetDialogCancelItem(dialog) ? GetDialogCancelItem(dialog) : SInt16(2);
    PortWindow& shown = ShowDialog(dialog);
    SDL_Event event;
    while (!pump_.MustLeaveModalLoop()) {
        if (!pump_.NextEvent(event, 100)) continue;
        std::optional<SInt16> hit;
        switch (event.type) {
        case SDL_MOUSEBUTTONDOWN:
            // Other windows take no clicks while the dialog is up; keys all go to it.
            if (event.button.button == SDL_BUTTON_LEFT && screen_.FindId(event.button.windowID) == &shown)
                hit = DialogClick(dialog, shown, event);
            else
                SDL_RaiseWindow(shown.Sdl());
            break;
        case SDL_MOUSEBUTTONUP:
        case SDL_MOUSEMOTION:
            break;
        case SDL_KEYDOWN:
            hit = DialogKey(dialog, shown, event);
            break;
        case SDL_TEXTINPUT: {
            const SInt16 focus = GetDialogKeyboardFocusItem(dialog);
            std::string text;
            Utf8ToMacRoman(event.text.text, &text);
            if (focus && !text.empty()) {
                Str255 typed;
                CopyCStringToPascal(text, typed);
                TypeDialogText(dialog, focus, typed);
                hit = focus;
            }
            break;
        }
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE && screen_.FindId(event.window.windowID) == &shown) {
                hit = cancel;
                break;
            }
            pump_.SetAside(event);
            break;
        default:
            pump_.SetAside(event);
            break;
        }
        if (hit) {
            hooks_.Trace("dialog hit " + std::to_string(*hit));
            return *hit;
        }
    }
    hooks_.Trace("dialog hit " + std::to_string(cancel));
    return cancel;
}

}  // namespace display
