// The checks of a session script's `expect` lines, which look only at what a
// host can know.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Session.h"

// An expectation that did not hold (exit code 3), as opposed to an action
// that failed (exit code 1).
struct ExpectationFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class ScriptChecks {
public:
    // session and window give the session and the current window when a check
    // runs; lastCursor is the cursor code the last hover gave.
    ScriptChecks(std::function<Session&()> session, std::function<WindowRef()> window, const int16_t& lastCursor);

    // Checks one `expect` line: its shape always (UsageError), and with act
    // what it expects (ExpectationFailed, or InputError when there is nothing
    // to look at).
    void Expect(const std::vector<std::string>& words, bool act);

private:
    using Words = std::vector<std::string>;
    Session& Host() { return session_(); }
    WindowRef Current() { return window_(); }
    void Need(const Words& w, size_t low, size_t high, const char* usage);
    std::string AxisTitle(bool x);
    std::function<double()> NumericField(const std::string& field);
    long CountTracePixels(bool inside);

    std::function<Session&()> session_;
    std::function<WindowRef()> window_;
    const int16_t& lastCursor_;
};
