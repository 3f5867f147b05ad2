// Helpers shared by the signal readers and writers.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "signals/Signals.h"

namespace signals_detail {

// What the readers take, in messages about what a path names instead.
inline const std::string kRecordingFile = "a recording file";

// "FILE: what" as a SignalFileError.
[[noreturn]] void Fail(const std::filesystem::path& path, const std::string& what);

// Throws unless path names an existing regular file that we may read.
void RequireReadableFile(const std::filesystem::path& path);

// Throws unless seconds is a sample interval a recording may have; what says
// where it comes from ("the time column's sample interval").
void RequireSampleInterval(const std::filesystem::path& path, double seconds, const std::string& what);

// Writes path as WriteOutput does (OutputFile.h): a failure leaves no partial
// file, and nothing but a regular file is replaced.
void WriteAtomically(const std::filesystem::path& path,
                     const std::function<void(const std::filesystem::path&)>& write);

// Throws unless every channel has the same, non-zero number of samples and the
// interval is positive.
void RequireWritable(const std::filesystem::path& path, const SignalSet& set);

// The sample rate as whole hertz, or a SignalFileError naming the format.
int WholeSampleRate(const std::filesystem::path& path, const SignalSet& set, const char* format);

}  // namespace signals_detail
