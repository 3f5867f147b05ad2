// Helpers shared by the signal readers and writers.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "signals/Signals.h"

namespace signals_detail {

// "FILE: what" as a SignalFileError.
[[noreturn]] void Fail(const std::filesystem::path& path, const std::string& what);

// Throws unless path names an existing regular file that we may read.
void RequireReadableFile(const std::filesystem::path& path);

// Runs write(temporary) for a temporary file next to path, then renames it over
// path; removes the temporary if write throws.
void WriteAtomically(const std::filesystem::path& path,
                     const std::function<void(const std::filesystem::path&)>& write);

// Throws unless every channel has the same, non-zero number of samples and the
// interval is positive.
void RequireWritable(const std::filesystem::path& path, const SignalSet& set);

// The sample rate as whole hertz, or a SignalFileError naming the format.
int WholeSampleRate(const std::filesystem::path& path, const SignalSet& set, const char* format);

}  // namespace signals_detail
