// A user's file written through a stdio stream, as WriteOutput writes
// (signals/OutputFile.h): whole or not at all, and never over anything but a
// regular file.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Calls write with an empty file to fill, then puts it in path's place.
// Throws std::runtime_error "KIND PATH: reason" (the path escaped) when the
// path can't be written, a write fails, or write throws a std::runtime_error
// (its what() the reason alone, e.g. an OutputError); path then holds what
// it held before.
void WriteStdioOutput(const std::string& path, const char* kind, const std::function<void(std::FILE*)>& write);
