// What the commands that plot share on their command line (main.cpp): the
// plot options, and what they and the sampling options give.
#pragma once

#include "Live.h"
#include "Options.h"

extern const OptionGroup kPlotOptions;

// UsageError for values out of range.
PlotOptions ReadPlotOptions(const Options& options);
LiveOptions ReadLiveOptions(const Options& options);
