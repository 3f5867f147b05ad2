// A person choosing from a popup menu: the platform draws the menu into a
// port of its own, shown as a borderless desktop window at the press point.
// Dragging to an item and releasing chooses it; releasing without choosing
// leaves the menu open for a second click; Escape, arrows and Return work too.
#include <algorithm>
#include <cstdlib>

#include "PersonInput.h"
#include "Screen.h"
#include "TestHooks.h"
#include "toolbox/Menus.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Windows.h"

namespace display {

namespace {

constexpr int kStillPixels = 3;  // a press and release closer than this is a click, not a drag

bool Selectable(MenuRef menu, SInt16 item)
{
    return item > 0 && IsMenuItemEnabled(menu, item) && !IsMenuItemDivider(menu, item);
}

// The next selectable item from `from` in direction step, wrapping; from
// itself (or 0) when there is none.
SInt16 NextSelectable(MenuRef menu, SInt16 from, int step)
{
    const int count = CountMenuItems(menu);
    int item = from;
    for (int tried = 0; tried < count; ++tried) {
        item = item + step;
        if (item < 1) item = count;
        if (item > count) item = 1;
        if (Selectable(menu, SInt16(item))) return SInt16(item);
    }
    return Selectable(menu, from) ? from : 0;
}

}  // namespace

SInt16 PersonInput::PopUpMenuSelect(MenuRef menu, Point where)
{
    const SInt16 width = GetMenuWidth(menu), height = GetMenuHeight(menu);
    if (width <= 0 || height <= 0 || CountMenuItems(menu) == 0) return 0;
    CGrafPtr port = CreateOffscreenPort(width, height);
    GrafPtr saved;
    GetPort(&saved);
    SInt16 hilite = 0;
    auto draw = [&](SInt16 item) {
        hilite = item;
        SetPort(port);
        DrawPopUpMenu(menu, hilite);
        SetPort(saved);
    };
    draw(0);

    // Opens at the press, kept on the desktop.
    SDL_Point at = screen_.ToDesktop(pressedWindow_ ? pressedWindow_ : FrontWindow(), where);
    const SDL_Rect usable = screen_.UsableBounds(at);
    const int zoom = screen_.Zoom();
    at.x = std::max(usable.x, std::min(at.x, usable.x + usable.w - width * zoom));
    at.y = std::max(usable.y, std::min(at.y, usable.y + usable.h - height * zoom));
    PortWindow& popup = screen_.Show(port, nullptr, PortKind::popup, at, "menu");
    hooks_.Trace("popup open " + std::to_string(CountMenuItems(menu)));

    const Rect menuArea{0, 0, height, width};
    auto itemAt = [&](SDL_Point desktop) {
        const Point local = popup.ToLocal(desktop.x, desktop.y);
        return PtInRect(local, &menuArea) ? FindPopUpMenuItem(menu, local) : SInt16(0);
    };
    auto overMenu = [&](SDL_Point desktop) {
        const Point local = popup.ToLocal(desktop.x, desktop.y);
        return bool(PtInRect(local, &menuArea));
    };
    SDL_Point pressedAt{0, 0};
    SDL_GetGlobalMouseState(&pressedAt.x, &pressedAt.y);
    bool moved = false;
    SInt16 chosen = 0;
    bool done = false;
    SDL_Event event;
    while (!done && !pump_.MustLeaveModalLoop()) {
        if (!pump_.NextEvent(event, 100)) continue;
        switch (event.type) {
        case SDL_MOUSEMOTION: {
            const SDL_Point p = DesktopMouse(event);
            if (std::abs(p.x - pressedAt.x) > kStillPixels || std::abs(p.y - pressedAt.y) > kStillPixels) moved = true;
            const SInt16 item = itemAt(p);
            const SInt16 shown = Selectable(menu, item) ? item : SInt16(0);
            if (shown != hilite) draw(shown);
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
            // A second click: on the menu it chooses at its release, elsewhere it closes the menu.
            if (!overMenu(DesktopMouse(event))) done = true;
            break;
        case SDL_MOUSEBUTTONUP: {
            if (event.button.button != SDL_BUTTON_LEFT) break;
            const SDL_Point p = DesktopMouse(event);
            const SInt16 item = itemAt(p);
            if (Selectable(menu, item)) {
                chosen = item;
                done = true;
            } else if (!overMenu(p) && moved) {
                done = true;  // dragged off the menu and let go: nothing chosen
            }
            break;
        }
        case SDL_KEYDOWN:
            switch (event.key.keysym.sym) {
            case SDLK_ESCAPE:
                done = true;
                break;
            case SDLK_UP:
                draw(NextSelectable(menu, hilite ? hilite : SInt16(CountMenuItems(menu) + 1), -1));
                break;
            case SDLK_DOWN:
                draw(NextSelectable(menu, hilite, +1));
                break;
            case SDLK_RETURN:
            case SDLK_KP_ENTER:
                chosen = Selectable(menu, hilite) ? hilite : SInt16(0);
                done = true;
                break;
            default:
                break;
            }
            break;
        default:
            pump_.SetAside(event);
            break;
        }
    }
    screen_.Close(&popup);
    DisposeOffscreenPort(port);
    // The desktop may have given the menu the keyboard; it goes back.
    if (PortWindow* pressed = screen_.Find(pressedWindow_)) SDL_SetWindowInputFocus(pressed->Sdl());
    hooks_.Trace("popup closed " + std::to_string(chosen));
    return chosen;
}

}  // namespace display
