// What the live-window tests stand on: an X server of their own (Xvfb), real
// input through its XTest extension, pictures of what it shows, and the
// xyrecorder program run in it and followed through its trace.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Pictures.h"

namespace live_test {

namespace fs = std::filesystem;

using ::Picture;  // tests/support: 0xRRGGBB, rows top to bottom
using ::ReadPng;
using ::WritePng;

// Every pixel shown factor × factor times.
Picture Scaled(const Picture& picture, int factor);

// Where a window's content lies on the screen.
struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};

// An Xvfb of its own on a free display number, 1280 × 1024 × 24, and a
// connection to it that sends real pointer and key events.
class XServer {
public:
    XServer();  // fails the test (and throws) when Xvfb can't start
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    const std::string& Name() const { return name_; }  // ":N"

    void MoveTo(int x, int y);
    void Press();
    void Release();
    void Click(int x, int y);
    // A key by its X keysym name ("Return", "q", "question", "period"), with
    // Control and Shift held when asked.
    void Key(const std::string& keysym, bool control = false, bool shift = false);
    void Type(const std::string& text);  // letters, digits, '.', ',' and '?'

    std::optional<Geometry> WindowGeometry(unsigned long window);
    // Asks for a new content size as a window manager would.
    void Resize(unsigned long window, int width, int height);
    // Asks the window to close, as a window manager's close button does.
    void RequestClose(unsigned long window);
    // The top-level windows, bottom first.
    std::vector<unsigned long> StackingOrder();
    Picture Grab(const Geometry& area);

private:
    pid_t xvfb_ = -1;
    std::string name_;
    void* display_ = nullptr;  // Display*
};

// What a hold reported: the recording and the ports shown, with their PNGs.
struct Held {
    int number = 0;
    long samples = 0;
    std::string checksum;
    bool sampling = false;
    std::vector<std::string> ports;  // window-1, window-2, dialog, popup, panel, in screen order
    std::map<std::string, Geometry> where;
};

// xyrecorder run in the X server with its trace on, in a folder of its own.
class LiveProgram {
public:
    LiveProgram(const XServer& server, const fs::path& folder, const std::vector<std::string>& arguments);
    ~LiveProgram();  // kills the program if it still runs
    LiveProgram(const LiveProgram&) = delete;
    LiveProgram& operator=(const LiveProgram&) = delete;

    // The first trace line after the last one waited for that starts with
    // prefix; fails the test (and throws) after the timeout.
    std::string WaitFor(const std::string& prefix, double seconds = 60);
    // The X window of window-N, from the trace.
    unsigned long WindowId(const std::string& name) const;
    // Freezes the program (SIGUSR1) and reads what it reports; Resume lets it go on.
    Held Hold();
    void Resume();
    // The exit status, or -1 after the timeout (the program is then killed).
    int WaitExit(double seconds = 60);
    std::string Errors() const;  // stderr so far
    fs::path HeldPng(const std::string& port) const { return folder_ / ("held-" + port + ".png"); }
    pid_t Pid() const { return pid_; }

private:
    std::vector<std::string> Lines() const;

    fs::path folder_;
    pid_t pid_ = -1;
    size_t consumed_ = 0;  // trace lines already looked at
    std::map<std::string, unsigned long> ids_;
};

// The path of the xyrecorder program under test.
std::string ProgramPath();

}  // namespace live_test
