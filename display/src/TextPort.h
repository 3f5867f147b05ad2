// Lines of text drawn by the platform into an offscreen port of their own:
// the help text near the pointer, and the list of keys.
#pragma once

#include <string>
#include <vector>

#include "toolbox/MacTypes.h"

namespace display {

enum class TextLook {
    tooltip,  // small, on pale yellow, framed
    panel,    // a plain window's text on light grey
};

// A port just large enough for the lines (UTF-8; what Mac Roman can't show is
// left out), drawn and ready. A tab splits a line into two aligned columns,
// the first in bold. the caller disposes of it with DisposeOffscreenPort.
CGrafPtr MakeTextPort(const std::vector<std::string>& lines, TextLook look);

}  // namespace display
