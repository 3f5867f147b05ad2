// Desktop windows that show toolbox ports: one SDL window, renderer and
// streaming texture per port. Only the port's dirty part is copied up, and a
// window is presented only when its port changed (or the desktop exposed it),
// at most once per frame of the display.
#pragma once

#include <SDL2/SDL.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "toolbox/MacTypes.h"

namespace display {

using Clock = std::chrono::steady_clock;

enum class PortKind {
    plot,     // an extension's window: resizable, takes clicks, keys and hovering
    dialog,   // a modal dialog of the toolbox
    popup,    // a popup menu being tracked
    tooltip,  // help text near the pointer
    panel,    // the program's own text (the keys)
};

class PortWindow {
public:
    // Shows port (of window, or offscreen when window is null) with its
    // top-left corner at the desktop point at; throws DisplayError.
    PortWindow(CGrafPtr port, WindowRef window, PortKind kind, int zoom, SDL_Point at, const std::string& title);
    ~PortWindow();
    PortWindow(const PortWindow&) = delete;
    PortWindow& operator=(const PortWindow&) = delete;

    CGrafPtr Port() const { return port_; }
    WindowRef Window() const { return window_; }
    PortKind Kind() const { return kind_; }
    SDL_Window* Sdl() const { return sdl_; }
    Uint32 Id() const { return SDL_GetWindowID(sdl_); }
    // The desktop's own name for the window (an X11 window id), for tests.
    std::string DesktopId() const;
    int Zoom() const { return zoom_; }
    // window-N for the Nth plot window of the session, else the kind: dialog, popup, ...
    std::string Name() const;
    int Number() const { return number_; }
    void SetNumber(int number) { number_ = number; }
    // The port still exists (it may have been disposed of with its window).
    bool Alive() const;

    // Something to put on screen: the port changed or the desktop needs the picture again.
    bool Changed() const;
    void MarkExposed() { exposed_ = true; }
    // Copies the port's changes to the screen now.
    void Present();
    Clock::time_point LastPresent() const { return lastPresent_; }
    // A new port size (grow, zoom): the texture and the desktop window follow.
    void FollowPortSize();
    // The desktop maximized the window: its size is the desktop's, not the port's.
    bool Maximized() const { return maximized_; }
    void SetMaximized(bool maximized) { maximized_ = maximized; }
    // The desktop window back to the port's size (after the desktop or the
    // person asked for a size the extension refused or limited).
    void SnapToPort();
    // The desktop window at a size the port does not have (yet): a grow being dragged.
    void ShowSize(int width, int height);

    // Desktop position of the content's top-left corner.
    SDL_Point Position() const;
    void MoveTo(SDL_Point at);
    // Port coordinates of a point in desktop coordinates, and back.
    Point ToLocal(int desktopX, int desktopY) const;
    SDL_Point ToDesktop(Point local) const;
    // Port size shown.
    int Width() const { return textureWidth_; }
    int Height() const { return textureHeight_; }

private:
    void MakeTexture(int width, int height);

    CGrafPtr port_;
    UInt32 portSerial_;
    WindowRef window_;
    PortKind kind_;
    int zoom_;
    int number_ = 0;
    SDL_Window* sdl_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    RgnHandle dirty_ = nullptr;
    int textureWidth_ = 0, textureHeight_ = 0;
    bool exposed_ = true;
    bool maximized_ = false;
    Clock::time_point lastPresent_{};
};

// Desktop-specific preparations once SDL's video is open (X11: see X11Desktop.cpp).
void PrepareDesktop();

class Screen {
public:
    // Opens SDL's video; throws DisplayError.
    explicit Screen(int zoom);
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    int Zoom() const { return zoom_; }
    Clock::duration FrameInterval() const { return frameInterval_; }

    PortWindow& Show(CGrafPtr port, WindowRef window, PortKind kind, SDL_Point at, const std::string& title);
    void Close(PortWindow* window);
    PortWindow* Find(WindowRef window) const;
    PortWindow* FindId(Uint32 id) const;
    PortWindow* FindKind(PortKind kind) const;
    const std::vector<std::unique_ptr<PortWindow>>& Windows() const { return windows_; }

    // Presents each window whose port changed and whose frame is due;
    // returns when the next waiting one will be due (time_point::max() when
    // none waits). Presented counts the plot windows put on screen.
    Clock::time_point PresentDue(Clock::time_point now, int* presented = nullptr);
    void PresentAll();  // every changed window, now

    // Where a point given in the toolbox's global coordinates lies on the
    // desktop, placed relative to a window that is shown (the toolbox has no
    // screen: its global coordinates only place windows relative to each other).
    SDL_Point ToDesktop(WindowRef shown, Point global) const;
    // The desktop area a rectangle of this size should stay within, near a point.
    SDL_Rect UsableBounds(SDL_Point near) const;

private:
    int zoom_;
    Clock::duration frameInterval_;
    std::vector<std::unique_ptr<PortWindow>> windows_;
};

}  // namespace display
