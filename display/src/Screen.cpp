// Ports on the desktop: textures updated from dirty rectangles, presented at
// the display's rate.
#include "Screen.h"

#include <algorithm>
#include <cstdlib>

#include "display/LiveDisplay.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Windows.h"

namespace display {

namespace {

// Shown around a port that is smaller than its desktop window (while the
// person drags a new size, or when the desktop refuses the port's size).
constexpr Uint8 kSurroundGrey = 0xD8;
constexpr int kDefaultRefreshRate = 60;

std::string SdlError(const std::string& what) { return what + ": " + SDL_GetError(); }

Uint32 WindowFlags(PortKind kind)
{
    switch (kind) {
    case PortKind::plot:
        return SDL_WINDOW_RESIZABLE;
    case PortKind::dialog:
        return 0;
    case PortKind::popup:
        return SDL_WINDOW_POPUP_MENU | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR;
    case PortKind::tooltip:
        return SDL_WINDOW_TOOLTIP | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR;
    case PortKind::panel:
        return SDL_WINDOW_UTILITY;
    }
    return 0;
}

}  // namespace

// ---- PortWindow ----

PortWindow::PortWindow(CGrafPtr port, WindowRef window, PortKind kind, int zoom, SDL_Point at, const std::string& title)
    : port_(port), portSerial_(GetPortSerial(port)), window_(window), kind_(kind), zoom_(zoom)
{
    Rect bounds;
    GetPortBounds(port_, &bounds);
    const int width = std::max(1, int(bounds.right)), height = std::max(1, int(bounds.bottom));
    sdl_ = SDL_CreateWindow(title.c_str(), at.x, at.y, width * zoom_, height * zoom_,
                            WindowFlags(kind) | SDL_WINDOW_HIDDEN);
    if (!sdl_) throw DisplayError(SdlError("cannot make a desktop window"));
    renderer_ = SDL_CreateRenderer(sdl_, -1, 0);
    if (!renderer_) {
        SDL_DestroyWindow(sdl_);
        throw DisplayError(SdlError("cannot draw in a desktop window"));
    }
    MakeTexture(width, height);
    dirty_ = NewRgn();
    SDL_ShowWindow(sdl_);
    Present();
}

PortWindow::~PortWindow()
{
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (sdl_) SDL_DestroyWindow(sdl_);
    if (dirty_) DisposeRgn(dirty_);
}

std::string PortWindow::Name() const
{
    switch (kind_) {
    case PortKind::plot:
        return "window-" + std::to_string(number_);
    case PortKind::dialog:
        return "dialog";
    case PortKind::popup:
        return "popup";
    case PortKind::tooltip:
        return "tooltip";
    case PortKind::panel:
        return "panel";
    }
    return "port";
}

bool PortWindow::Alive() const { return GetPortSerial(port_) == portSerial_; }

void PortWindow::MakeTexture(int width, int height)
{
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture_)
        throw DisplayError(
            SdlError("cannot make a picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels"));
    textureWidth_ = width;
    textureHeight_ = height;
    const Rect all{0, 0, SInt16(height), SInt16(width)};
    QDAddRectToDirtyRegion(port_, &all);
}

bool PortWindow::Changed() const { return exposed_ || (Alive() && QDIsPortBufferDirty(port_)); }

void PortWindow::FollowPortSize()
{
    if (!Alive()) return;
    Rect bounds;
    GetPortBounds(port_, &bounds);
    const int width = std::max(1, int(bounds.right)), height = std::max(1, int(bounds.bottom));
    if (width == textureWidth_ && height == textureHeight_) return;
    MakeTexture(width, height);
    SnapToPort();
    exposed_ = true;
}

void PortWindow::SnapToPort()
{
    if (maximized_) return;
    int shownWidth = 0, shownHeight = 0;
    SDL_GetWindowSize(sdl_, &shownWidth, &shownHeight);
    if (shownWidth != textureWidth_ * zoom_ || shownHeight != textureHeight_ * zoom_) {
        SDL_SetWindowSize(sdl_, textureWidth_ * zoom_, textureHeight_ * zoom_);
        exposed_ = true;
    }
}

void PortWindow::ShowSize(int width, int height)
{
    SDL_SetWindowSize(sdl_, std::max(1, width) * zoom_, std::max(1, height) * zoom_);
    exposed_ = true;
}

void PortWindow::Present()
{
    if (!Alive()) return;
    FollowPortSize();
    QDGetDirtyRegion(port_, dirty_);
    Rect d;
    GetRegionBounds(dirty_, &d);
    if (d.bottom > d.top && d.right > d.left) {
        SInt32 width = 0, height = 0;
        const UInt32* pixels = GetPortPixels(port_, &width, &height);
        const SDL_Rect area{d.left, d.top, d.right - d.left, d.bottom - d.top};
        SDL_UpdateTexture(texture_, &area, pixels + ptrdiff_t(d.top) * width + d.left, int(width) * 4);
        SetEmptyRgn(dirty_);
        QDSetDirtyRegion(port_, dirty_);
    }
    int shownWidth = 0, shownHeight = 0;
    SDL_GetWindowSize(sdl_, &shownWidth, &shownHeight);
    const SDL_Rect target{0, 0, textureWidth_ * zoom_, textureHeight_ * zoom_};
    if (shownWidth > target.w || shownHeight > target.h) {
        SDL_SetRenderDrawColor(renderer_, kSurroundGrey, kSurroundGrey, kSurroundGrey, 255);
        SDL_RenderClear(renderer_);
    }
    SDL_RenderCopy(renderer_, texture_, nullptr, &target);
    SDL_RenderPresent(renderer_);
    exposed_ = false;
    lastPresent_ = Clock::now();
}

SDL_Point PortWindow::Position() const
{
    SDL_Point at{0, 0};
    SDL_GetWindowPosition(sdl_, &at.x, &at.y);
    return at;
}

void PortWindow::MoveTo(SDL_Point at) { SDL_SetWindowPosition(sdl_, at.x, at.y); }

Point PortWindow::ToLocal(int desktopX, int desktopY) const
{
    const SDL_Point at = Position();
    auto local = [&](int offset) {
        // Floor division: a point left of or above the window stays outside it.
        const int q = offset >= 0 ? offset / zoom_ : -((-offset + zoom_ - 1) / zoom_);
        return SInt16(std::clamp(q, -32768, 32767));
    };
    return Point{local(desktopY - at.y), local(desktopX - at.x)};
}

SDL_Point PortWindow::ToDesktop(Point local) const
{
    const SDL_Point at = Position();
    return SDL_Point{at.x + local.h * zoom_, at.y + local.v * zoom_};
}

// ---- Screen ----

Screen::Screen(int zoom) : zoom_(std::clamp(zoom, 1, kMaxZoom))
{
    // Pixels as they are: no filtering when a window is scaled. The software
    // renderer copies only what changed and needs no graphics driver; a user
    // may still choose another with SDL_RENDER_DRIVER.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHintWithPriority(SDL_HINT_RENDER_DRIVER, "software", SDL_HINT_DEFAULT);
    // ... and puts its pixels straight into the window (shared memory on X11),
    // not through a 3-D driver's texture.
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // Only a desktop the environment names, never a screen-less stand-in that
    // would leave the windows unseen; a user's SDL_VIDEODRIVER still wins.
    std::string drivers;
    if (const char* x11 = std::getenv("DISPLAY"); x11 && *x11) drivers = "x11";
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland)
        drivers += drivers.empty() ? "wayland" : ",wayland";
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, drivers.c_str(), SDL_HINT_DEFAULT);
    if (drivers.empty() && !std::getenv("SDL_VIDEODRIVER"))
        throw DisplayError("no desktop: neither DISPLAY nor WAYLAND_DISPLAY is set");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        const char* x11 = std::getenv("DISPLAY");
        throw DisplayError(
            SdlError(std::string("cannot open the desktop") + (x11 && *x11 ? std::string(" ") + x11 : "")));
    }
    PrepareDesktop();
    SDL_DisplayMode mode;
    int rate =
        SDL_GetCurrentDisplayMode(0, &mode) == 0 && mode.refresh_rate > 0 ? mode.refresh_rate : kDefaultRefreshRate;
    frameInterval_ = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
    SDL_StartTextInput();
}

// SDL's video stays open until the process ends: closing it would put back
// Xlib's first error handler and then read the errors still waiting on SDL's
// wake-up connection (see X11Desktop.cpp), which that handler answers by
// ending the process with a failure.
Screen::~Screen() { windows_.clear(); }

PortWindow& Screen::Show(CGrafPtr port, WindowRef window, PortKind kind, SDL_Point at, const std::string& title)
{
    SDL_Window* focused = SDL_GetKeyboardFocus();
    windows_.push_back(std::make_unique<PortWindow>(port, window, kind, zoom_, at, title));
    // Without a window manager SDL gives every window it shows the keyboard;
    // a menu or the help text must not keep it (it would take the keys with it when it goes).
    if ((kind == PortKind::popup || kind == PortKind::tooltip) && focused) SDL_SetWindowInputFocus(focused);
    return *windows_.back();
}

void Screen::Close(PortWindow* window)
{
    std::erase_if(windows_, [&](const std::unique_ptr<PortWindow>& shown) { return shown.get() == window; });
}

PortWindow* Screen::Find(WindowRef window) const
{
    for (const auto& shown : windows_)
        if (shown->Window() == window && window) return shown.get();
    return nullptr;
}

PortWindow* Screen::FindId(Uint32 id) const
{
    for (const auto& shown : windows_)
        if (shown->Id() == id) return shown.get();
    return nullptr;
}

PortWindow* Screen::FindKind(PortKind kind) const
{
    for (const auto& shown : windows_)
        if (shown->Kind() == kind) return shown.get();
    return nullptr;
}

Clock::time_point Screen::PresentDue(Clock::time_point now, int* presented)
{
    Clock::time_point next = Clock::time_point::max();
    for (const auto& shown : windows_) {
        if (!shown->Changed()) continue;
        const Clock::time_point due = shown->LastPresent() + frameInterval_;
        if (now >= due) {
            shown->Present();
            if (presented && shown->Kind() == PortKind::plot) ++*presented;
        } else {
            next = std::min(next, due);
        }
    }
    return next;
}

void Screen::PresentAll()
{
    for (const auto& shown : windows_)
        if (shown->Changed()) shown->Present();
}

SDL_Point Screen::ToDesktop(WindowRef shown, Point global) const
{
    PortWindow* window = Find(shown);
    Rect content{0, 0, 0, 0};
    if (!window || GetWindowBounds(shown, kWindowContentRgn, &content) != noErr) return SDL_Point{global.h, global.v};
    const SDL_Point at = window->Position();
    return SDL_Point{at.x + (global.h - content.left) * zoom_, at.y + (global.v - content.top) * zoom_};
}

SDL_Rect Screen::UsableBounds(SDL_Point near) const
{
    int index = 0;
    for (int i = 0, count = SDL_GetNumVideoDisplays(); i < count; ++i) {
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(i, &bounds) == 0 && SDL_PointInRect(&near, &bounds)) index = i;
    }
    SDL_Rect usable{0, 0, 1024, 768};
    if (SDL_GetDisplayUsableBounds(index, &usable) != 0) SDL_GetDisplayBounds(index, &usable);
    return usable;
}

}  // namespace display
