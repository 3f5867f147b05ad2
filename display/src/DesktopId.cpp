// The desktop's own name for a window. Apart so that the window system's
// headers, which define names like Expose and None, stay out of the rest.
#include <SDL2/SDL_syswm.h>

#include <cstdio>

#include "Screen.h"

namespace display {

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
