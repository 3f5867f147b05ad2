// What tests of the live window use to follow and freeze it. With
// XYRECORDER_WINDOW_TRACE=FILE the display writes one line per step to FILE
// (windows shown, actions done, menus and dialogs opened and closed). SIGUSR1
// holds it: no more samples are delivered, every window is brought up to date
// on screen, each shown port is written as a PNG beside FILE, and a line
// reports the recording; SIGUSR2 lets it go on. Without the variable nothing
// of this is active and the signals keep their usual meaning.
#pragma once

#include <cstdio>
#include <string>

class Recorder;

namespace display {

class Screen;

class TestHooks {
public:
    TestHooks();  // reads the environment; blocks the two signals when active
    ~TestHooks();
    TestHooks(const TestHooks&) = delete;
    TestHooks& operator=(const TestHooks&) = delete;

    bool Active() const { return trace_ != nullptr; }
    // How long the loop may sleep before it looks for the signals again.
    static constexpr int kPollMilliseconds = 20;

    void Trace(const std::string& line);

    enum class Request { none, hold, resume };
    Request Poll();

    // Writes the held state: held-NAME.png for every port shown, then the
    // trace line "held N samples=S checksum=C sampling=0|1 NAME:ID ..." (N
    // counts holds, ID is the desktop's window id).
    void WriteHeld(Screen& screen, const Recorder& host);

private:
    std::FILE* trace_ = nullptr;
    std::string folder_;
    int signals_ = -1;  // signalfd
    int holds_ = 0;
};

}  // namespace display
