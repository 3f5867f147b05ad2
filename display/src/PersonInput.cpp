// A person's answers to the toolbox's tracking: buttons, drags and grows.
#include "PersonInput.h"

#include <algorithm>

#include "Screen.h"
#include "TestHooks.h"
#include "toolbox/Controls.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Windows.h"

namespace display {

namespace {

// How often a waiting loop looks at the screen when no event comes.
constexpr int kModalWaitMilliseconds = 100;

bool IsLeftButton(const SDL_Event& event, Uint32 type)
{
    return event.type == type && event.button.button == SDL_BUTTON_LEFT;
}

}  // namespace

PortWindow* PersonInput::WindowOver(WindowRef window) { return screen_.Find(window); }

SDL_Point PersonInput::DesktopMouse(const SDL_Event& event) const
{
    const PortWindow* over = nullptr;
    int x = 0, y = 0;
    if (event.type == SDL_MOUSEMOTION) {
        over = screen_.FindId(event.motion.windowID);
        x = event.motion.x;
        y = event.motion.y;
    } else if (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP) {
        over = screen_.FindId(event.button.windowID);
        x = event.button.x;
        y = event.button.y;
    }
    if (over) {
        const SDL_Point at = over->Position();
        return SDL_Point{at.x + x, at.y + y};
    }
    SDL_Point now{0, 0};
    SDL_GetGlobalMouseState(&now.x, &now.y);
    return now;
}

std::optional<Point> PersonInput::FollowButton(const PortWindow& window, const std::function<void(Point)>& moved)
{
    SDL_Event event;
    while (!pump_.MustLeaveModalLoop()) {
        if (!pump_.NextEvent(event, kModalWaitMilliseconds)) continue;
        if (event.type == SDL_MOUSEMOTION) {
            const SDL_Point at = DesktopMouse(event);
            if (moved) moved(window.ToLocal(at.x, at.y));
        } else if (IsLeftButton(event, SDL_MOUSEBUTTONUP)) {
            const SDL_Point at = DesktopMouse(event);
            return window.ToLocal(at.x, at.y);
        } else if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) {
            return std::nullopt;
        } else if (!IsLeftButton(event, SDL_MOUSEBUTTONDOWN)) {
            pump_.SetAside(event);
        }
    }
    return std::nullopt;
}

void PersonInput::RedrawControls(WindowRef window)
{
    GrafPtr saved;
    GetPort(&saved);
    SetPort(GetWindowPort(window));
    Rect clip, all;
    GetClip(&clip);
    GetWindowPortBounds(window, &all);
    ClipRect(&all);
    DrawControls(window);
    ClipRect(&clip);
    SetPort(saved);
}

bool PersonInput::TrackButton(ControlRef control, const PortWindow& window)
{
    Rect bounds;
    GetControlBounds(control, &bounds);
    WindowRef owner = GetControlOwner(control);
    const SInt16 pressed =
        GetControlProcID(control) == checkBoxProc ? SInt16(kControlCheckBoxPart) : SInt16(kControlButtonPart);
    bool inside = true;
    HiliteControl(control, pressed);
    std::optional<Point> release = FollowButton(window, [&](Point at) {
        const bool now = PtInRect(at, &bounds);
        if (now == inside) return;
        inside = now;
        HiliteControl(control, inside ? pressed : SInt16(0));
    });
    HiliteControl(control, 0);
    RedrawControls(owner);
    return release && PtInRect(*release, &bounds);
}

bool PersonInput::TrackControl(ControlRef control, Point)
{
    PortWindow* window = WindowOver(GetControlOwner(control));
    if (!window) return false;
    const bool inside = TrackButton(control, *window);
    hooks_.Trace(std::string("tracked ") + (inside ? "inside" : "outside"));
    return inside;
}

Point PersonInput::TrackDrag(WindowRef window, Point start)
{
    PortWindow* shown = WindowOver(window);
    if (!shown) return start;
    std::optional<Point> release = FollowButton(*shown, nullptr);
    const Point end = release.value_or(start);
    hooks_.Trace("dragged " + std::to_string(end.h - start.h) + " " + std::to_string(end.v - start.v));
    return end;
}

// The desktop window takes each size as the mouse moves; the port keeps its
// pixels until the extension sizes it to the answer.
SInt32 PersonInput::GrowWindow(WindowRef window, Point start, const Rect& limits)
{
    PortWindow* shown = WindowOver(window);
    if (!shown) return 0;
    Rect port;
    GetWindowPortBounds(window, &port);
    const int width = port.right - port.left, height = port.bottom - port.top;
    auto sizeAt = [&](Point at) {
        // limits: top = least height, left = least width, bottom and right the most.
        const int w = std::clamp(width + at.h - start.h, int(limits.left), std::max<int>(limits.left, limits.right));
        const int h = std::clamp(height + at.v - start.v, int(limits.top), std::max<int>(limits.top, limits.bottom));
        return std::pair<int, int>{w, h};
    };
    std::optional<Point> release = FollowButton(*shown, [&](Point at) {
        auto [w, h] = sizeAt(at);
        shown->ShowSize(w, h);
    });
    const auto [w, h] = release ? sizeAt(*release) : std::pair<int, int>{width, height};
    hooks_.Trace("grown " + std::to_string(w) + " " + std::to_string(h));
    if (w == width && h == height) return 0;
    return SInt32((uint32_t(h) << 16) | uint32_t(w));
}

}  // namespace display
