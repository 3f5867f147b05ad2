// What demo, play and view share: putting a recording in front of the X-Y
// window and writing the picture.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Session.h"
#include "signals/SignalSetSource.h"

struct PlotOptions {
    std::string xChannel;  // title or number; empty: the command's default
    std::string yChannel;
    int width = 480;
    int height = 400;
    std::string out = "xy.png";
    std::string bundle;
    std::string sourceName = "the demo recording";  // for messages: the file's name
    std::vector<std::string> inputs;                 // files the run reads: no output is written over them
};

struct LiveOptions {
    size_t batch = 100;
    std::optional<double> eraseMinutes;  // automatic erase after this many minutes
    std::string framesDir;               // a PNG every `every` batches, when set
    long every = 10;
    bool realtime = false;  // pace the batches at the sample rate, as a live host does
};

// Throws InputError unless a PNG can be written at path (see ResolveOutput in
// signals/OutputFile.h). Checked before any work.
void CheckOutputPath(const std::string& path, const std::string& what);

// Throws InputError unless the PNG and the frames (when wanted) can be
// written, and the PNG is none of the inputs: checked before any work, and
// nothing is made on disk.
void CheckOutputs(const PlotOptions& plot, const LiveOptions* live);

// A new plot window with the channels on its axes (--x, --y or the defaults).
WindowRef OpenPlot(Session& session, const PlotOptions& plot, const std::vector<ChannelSettings>& channels);
// Each axis adopts its channel's display range, as a user does with the axis
// menu's "Channel Range".
void AdoptChannelRanges(Session& session, WindowRef window);

// Samples the source live through the window: start, batches, stop; then the PNG.
void PlotLive(const PlotOptions& plot, const LiveOptions& live, SignalSetSource& source);

// Loads signals as recorded data and redraws samples first..last (inclusive)
// through the current-range notification; then the PNG.
void PlotRecorded(const PlotOptions& plot, const StoredSignals& signals, int32_t first, int32_t last);
