// What demo, play and view share: putting a recording in front of the X-Y
// window and writing the picture.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Session.h"
#include "signals/SignalSetSource.h"

// An axis range set by hand (--xrange, --yrange LO:HI): low at the left or
// bottom end.
struct AxisRange {
    double low;
    double high;
};

// "LO:HI", two numbers with LO below HI; UsageError naming what otherwise.
AxisRange ParseAxisRange(const std::string& text, const std::string& what);

struct PlotOptions {
    std::string xChannel;  // title or number; empty: the command's default
    std::string yChannel;
    int width = 480;
    int height = 400;
    std::string out = "xy.png";  // .svg, .pdf, else PNG
    int scale = 1;               // the picture this many times larger
    std::string bundle;
    std::string sourceName = "the demo recording";  // for messages: the file's name
    std::vector<std::string> inputs;                // files the run reads: no output is written over them
    std::optional<AxisRange> xRange;                // by hand; else the channel's range (view: fitted)
    std::optional<AxisRange> yRange;
    bool fitFile = false;  // view: the channels' ranges from the file rather than fitted to the stretch shown
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

// A warning on stderr when --out names another kind of file than a picture ("x.txt").
void WarnUnlessPictureName(const std::string& out);
// The name of an output in messages: its path, or "standard output" for "-".
std::string OutputName(const std::string& path);
// The line for stderr that names the picture written (with its size at scale) and the frames.
std::string WhatWasWritten(const std::string& out, WindowRef window, int scale, const std::string& framesDir,
                           size_t frames);

// A new plot window with the channels on its axes (--x, --y or the defaults);
// hidden until shown when shown is false.
WindowRef OpenPlot(Session& session, const PlotOptions& plot, const std::vector<ChannelSettings>& channels,
                   bool shown = true);
// Each axis takes the range given by hand through the host's range choice,
// else adopts its channel's display range as a user does with the axis
// menu's "Channel Range".
void AdoptAxisRanges(Session& session, WindowRef window, const PlotOptions& plot);

// Loads the signals as recorded data and opens a window that shows samples
// first..last, drawn once: it is set up hidden (channels; each axis's range
// by hand, else fitted to those samples or, with fitFile, the channel's; the
// current range) and then shown.
WindowRef ShowRecorded(Session& session, const PlotOptions& plot, const StoredSignals& signals, int32_t first,
                       int32_t last);

// Samples the source live through the window: start, batches, stop; then the PNG.
void PlotLive(const PlotOptions& plot, const LiveOptions& live, SignalSetSource& source);

// Loads signals as recorded data and redraws samples first..last (inclusive)
// through the current-range notification; then the PNG.
void PlotRecorded(const PlotOptions& plot, const StoredSignals& signals, int32_t first, int32_t last);
