// What the commands that plot share on their command line (main.cpp): the
// plot and live options, their names and their help.
#pragma once

#include <string>
#include <vector>

#include "Live.h"
#include "Options.h"

extern const char* const kPlotOptionsHelp;
extern const std::vector<std::string> kPlotValueOptions;
extern const std::vector<std::string> kLiveValueOptions;

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b);
// UsageError for values out of range.
PlotOptions ReadPlotOptions(const Options& options);
LiveOptions ReadLiveOptions(const Options& options);
