// The toolbox's input source for a person: whenever the extension tracks a
// button, a drag, a grow or a popup menu, or waits in a modal dialog, the
// answer comes from real mouse and keyboard events. Meanwhile the screen stays
// up to date, and whatever must wait for the extension to return (quitting,
// closing or resizing a window, the samples that arrive) is set aside; a
// request to quit or to close a window ends the loop as a cancel would.
#pragma once

#include <SDL2/SDL.h>

#include <functional>
#include <optional>

#include "toolbox/InputSource.h"

namespace display {

class PortWindow;
class Screen;
class TestHooks;

// What the person's modal loops ask of the live loop around them.
class EventPump {
public:
    virtual ~EventPump() = default;
    // The next event, waiting at most timeoutMs (-1: until one comes), while
    // the screen and the test hooks are kept up; false when none came.
    virtual bool NextEvent(SDL_Event& event, int timeoutMs) = 0;
    // An event the modal loop has no use for: done at once where that is safe
    // (exposures), kept for after the extension returns otherwise.
    virtual void SetAside(const SDL_Event& event) = 0;
    // The person asked for something that must end the modal loop first.
    virtual bool MustLeaveModalLoop() const = 0;
};

class PersonInput : public InputSource {
public:
    PersonInput(Screen& screen, EventPump& pump, TestHooks& hooks) : screen_(screen), pump_(pump), hooks_(hooks) {}

    // The window the person pressed the mouse in: popups and dialogs open over it.
    void SetPressedWindow(WindowRef window) { pressedWindow_ = window; }

    SInt32 GrowWindow(WindowRef window, Point start, const Rect& limits) override;
    bool TrackControl(ControlRef control, Point start) override;
    SInt16 ModalDialogHit(DialogRef dialog) override;
    SInt16 PopUpMenuSelect(MenuRef menu, Point where) override;
    Point TrackDrag(WindowRef window, Point start) override;

private:
    // Follows the pressed left button until it is released, calling moved
    // with each new position (port coordinates of window). The release point;
    // none when the loop had to be left.
    std::optional<Point> FollowButton(const PortWindow& window, const std::function<void(Point)>& moved);
    // Tracks a control of window as a button is tracked: pressed-looking while
    // the mouse is inside. True when released inside.
    bool TrackButton(ControlRef control, const PortWindow& window);
    // The desktop position of the mouse for an event, or the pointer's now.
    SDL_Point DesktopMouse(const SDL_Event& event) const;
    PortWindow* WindowOver(WindowRef window);
    // Draws the window's controls again in their order over the whole port,
    // as an update leaves them (controls may share an edge).
    static void RedrawControls(WindowRef window);

    // The modal dialog's parts (DialogTracking.cpp).
    PortWindow& ShowDialog(DialogRef dialog);
    std::optional<SInt16> DialogClick(DialogRef dialog, PortWindow& shown, const SDL_Event& event);
    std::optional<SInt16> DialogKey(DialogRef dialog, PortWindow& shown, const SDL_Event& event);
    void FlashItem(DialogRef dialog, PortWindow& shown, SInt16 item);

    Screen& screen_;
    EventPump& pump_;
    TestHooks& hooks_;
    WindowRef pressedWindow_ = nullptr;
};

}  // namespace display
