// `--window`: demo, play and view on the desktop, live, until the user quits.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Live.h"
#include "display/LiveDisplay.h"

struct WindowOptions {
    bool wanted = false;  // --window
    int zoom = 1;         // --zoom: whole-pixel scaling
    double speed = 1.0;   // --speed: times the recording's own rate; 0 for as fast as possible
};

// The options --window brings; UsageError for bad values or for options that
// need --window without it (and for the picture-sequence options with it).
WindowOptions ReadWindowOptions(const Options& options, bool live);

// Throws InputError (one clear line) when no desktop can be reached.
void RequireDesktop();

// Samples the source in desktop windows at its pace; the user watches and
// acts until they quit. Ctrl+S saves window N as plot.out (N = 1) or with
// "-N" added to its name.
void WatchLive(const PlotOptions& plot, const LiveOptions& live, const WindowOptions& window, SignalSetSource& source);

// Shows samples first..last of the recording and stays open.
void WatchRecorded(const PlotOptions& plot, const WindowOptions& window, const StoredSignals& signals, int32_t first,
                   int32_t last);

// The display's options for a session: --zoom, Ctrl+S saving to --out (or
// with "-N" for window N), what the extension told the user shown after
// every action.
display::DisplayOptions DisplayOptionsFor(Session& session, const PlotOptions& plot, const WindowOptions& window);

// Runs a session on the desktop; what the extension told the user is shown
// whatever happens, and a desktop that fails is reported as bad input.
void ShowingMessages(Session& session, const std::function<void()>& body);

// What --window and --zoom add to a command's options, and --speed to demo's and play's.
extern const OptionGroup kWindowOptions;
extern const OptionGroup kWindowSpeedOptions;
