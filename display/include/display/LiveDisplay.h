// The live window: every window of a recorder session shown as a desktop
// window (SDL2) whose pixels are the window's port, and a person's mouse and
// keys turned into the same recorder actions that scripts use, so that the
// extension cannot tell a person from a script. Samples arriving through a
// feed are delivered between those actions, never inside the extension's
// modal loops; the screen is refreshed only where a port changed and at most
// at the display's rate, and the loop sleeps while nothing happens.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

class Recorder;
class SampleFeed;

namespace display {

// The desktop can't be reached or a window can't be made; what() is one line.
struct DisplayError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// True when a desktop may be there: DISPLAY or WAYLAND_DISPLAY is set.
bool DesktopAvailable();

struct DisplayOptions {
    int zoom = 1;  // every window scaled by whole pixels, 1 to kMaxZoom
    // Samples the session delivers while it samples (StartSampling on this
    // feed); null when there is nothing to sample.
    SampleFeed* feed = nullptr;
    // Space: start or stop sampling. Null: Space does nothing.
    std::function<void()> startOrStop;
    // Ctrl+S: the picture file for window number N (1 for the first opened),
    // written as Recorder::WritePicture writes it (.svg, .pdf, else PNG)
    // saveScale times larger.
    std::function<std::string(int windowNumber)> savePath;
    int saveScale = 1;
    // After every action: the program shows what the extension told the user.
    std::function<void()> afterAction;
    // Asked a few times a second, also inside modal loops: true quits as Q
    // does (an interrupt the program takes as "finish"). Null: never.
    std::function<bool()> quitRequested;
};

constexpr int kMaxZoom = 4;

class LiveDisplay {
public:
    // Opens the desktop. Throws DisplayError naming the display and the reason.
    LiveDisplay(Recorder& host, DisplayOptions options);
    ~LiveDisplay();
    LiveDisplay(const LiveDisplay&) = delete;
    LiveDisplay& operator=(const LiveDisplay&) = delete;

    // Shows the session's windows and answers the person until they quit (Q,
    // or closing the last window). The person is the toolbox's input source
    // meanwhile.
    void Run();

    // The keys and mouse actions, one a line, a tab before what each does, as `?` shows them.
    static const char* KeysHelp();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace display
