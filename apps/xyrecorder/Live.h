// What demo, play and view share: putting a recording in front of the X-Y
// window and writing the picture.
#pragma once

#include <optional>
#include <string>

#include "Session.h"
#include "signals/SignalSetSource.h"

struct PlotOptions {
    std::string xChannel;  // title or number; empty: the command's default
    std::string yChannel;
    int width = 480;
    int height = 400;
    std::string out = "xy.png";  // .svg, .pdf, else PNG
    int scale = 1;               // the picture this many times larger
    std::string bundle;
    std::string sourceName = "the demo recording";  // for messages: the file's name
};

struct LiveOptions {
    size_t batch = 100;
    std::optional<double> eraseMinutes;  // automatic erase after this many minutes
    std::string framesDir;               // a PNG every `every` batches, when set
    long every = 10;
    bool realtime = false;  // pace the batches at the sample rate, as a live host does
};

// Throws InputError unless a PNG can be written at path: its folder exists and
// is writable, and path is no folder. Checked before any work.
void CheckOutputPath(const std::string& path, const std::string& what);

// Throws InputError unless the PNG and the frames (when wanted) can be
// written: checked before any work, and nothing is made on disk.
void CheckOutputs(const PlotOptions& plot, const LiveOptions* live);

// Samples the source live through the window: start, batches, stop; then the PNG.
void PlotLive(const PlotOptions& plot, const LiveOptions& live, SignalSetSource& source);

// Loads signals as recorded data and redraws samples first..last (inclusive)
// through the current-range notification; then the PNG.
void PlotRecorded(const PlotOptions& plot, const SignalSet& signals, int32_t first, int32_t last);
