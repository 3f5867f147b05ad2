// xyrecorder live SOURCE: samples recorded and plotted as they arrive from a
// live source (standard input, a serial device, UDP, audio capture), with or
// without the live window. Whatever ends the run, the recording so far is kept.
#pragma once

#include <string>
#include <vector>

void PrintLiveHelp();

// Exit code 0 when the source ended, was stopped (Ctrl-C, --duration) or the
// user quit; 1 when the source failed (a device gone, rows that changed) or
// an output could not be written, after everything that could be was.
int RunLive(const std::vector<std::string>& arguments);
