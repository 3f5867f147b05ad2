// Helpers shared by the signal readers and writers.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "signals/InputFile.h"
#include "signals/Signals.h"
#include "signals/StoredSignals.h"

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
void WriteAtomically(const std::filesystem::path& path, const std::function<void(const std::filesystem::path&)>& write);

// Throws unless every channel has the same, non-zero number of samples and the
// interval is positive.
void RequireWritable(const std::filesystem::path& path, const SignalSet& set);

// The sample rate as whole hertz, or a SignalFileError naming the format.
int WholeSampleRate(const std::filesystem::path& path, const SignalSet& set, const char* format);

// Fits each channel's display range to its samples, read block by block, when
// the file holds at most kScannedRangeBytes of them (sampleBytes); beyond
// that the ranges stay as the reader set them from the format, and a note
// says they are fullScale. A sample that is no finite number is refused with
// the message nonFinite gives for the lowest such channel's first one.
void FitStoredRanges(StoredSignals& signals, const std::filesystem::path& path, uint64_t sampleBytes,
                     const std::string& fullScale,
                     const std::function<std::string(size_t channel, int64_t frame, float value)>& nonFinite);

// The kind of a recording file: by its name, else by its first bytes; fails
// naming the file when neither says.
SignalFormat RecordingFormat(const std::filesystem::path& path);

// Standard input held as a file (SignalFileError when it can't be), and a
// message about that file as the user knows it: "standard input: ...".
std::filesystem::path StandardInputCopy();
std::string NamedAsStandardInput(std::string message, const std::filesystem::path& copy);

// read(path), or for "-" read(the copy of standard input) with its notes and
// errors naming standard input. Recording is a SignalSet or StoredSignals.
template <class Read>
auto ReadingAsGiven(const std::filesystem::path& path, Read read) -> decltype(read(path))
{
    if (path != kStandardInput) return read(path);
    const std::filesystem::path copy = StandardInputCopy();
    try {
        auto recording = read(copy);
        for (std::string& note : recording.notes) note = NamedAsStandardInput(note, copy);
        return recording;
    } catch (const SignalFileError& error) {
        throw SignalFileError(NamedAsStandardInput(error.what(), copy));
    }
}

}  // namespace signals_detail
