// Writing a file so that a failure destroys nothing: through a temporary file
// beside it, renamed over it once complete.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Calls write with a new temporary file in path's folder, then puts that file
// in path's place: path holds either what it held before or all that write
// wrote, and nothing is left behind on failure. what names the kind of file
// in messages ("PNG", "SVG"). Throws std::runtime_error naming what, the path
// and the reason; what write throws is passed on after the clean-up.
void ReplaceFile(const std::string& path, const std::string& what, const std::function<void(std::FILE*)>& write);
