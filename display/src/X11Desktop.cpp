// What only the X11 desktop needs. Apart so that the window system's headers,
// which define names like Expose and None, stay out of the rest.
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>

#include <cstdio>
#include <cstring>

#include "Screen.h"

namespace display {

namespace {

XErrorHandler gPreviousHandler = nullptr;

// SDL wakes its waiting loop by sending an event, on a connection of its own,
// to its newest window; when this thread closes that window (a menu, a dialog,
// the help text) at the same moment, the server refuses the event and Xlib's
// default answer is to end the process. An event for a window that is gone is
// harmless: it is dropped. Every other error goes on as before.
int DropEventsToClosedWindows(Display* display, XErrorEvent* error)
{
    if (error->error_code == BadWindow && error->request_code == X_SendEvent) return 0;
    return gPreviousHandler ? gPreviousHandler(display, error) : 0;
}

}  // namespace

void PrepareDesktop()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "x11") != 0 || gPreviousHandler) return;
    gPreviousHandler = XSetErrorHandler(DropEventsToClosedWindows);
}

std::string PortWindow::DesktopId() const
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(sdl_, &info)) return "none";
#if defined(SDL_VIDEO_DRIVER_X11)
    if (info.subsystem == SDL_SYSWM_X11) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(info.info.x11.window));
        return text;
    }
#endif
    return "none";
}

}  // namespace display
