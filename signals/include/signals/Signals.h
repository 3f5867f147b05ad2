// Recordings as plain signals: channels of float samples at one sample
// interval, read from and written to WAV, CSV and EDF/BDF files. The recorder
// plays them through a SampleSource; tests write them to make input files.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "signals/SampleSource.h"

// A file that can't be read or written. The message is one line that names the
// file (and the line and column for text files) and what is wrong.
class SignalFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct SignalChannel {
    ChannelSettings info;        // title, units, the range it is shown with
    std::vector<float> samples;  // values in info.units
};

struct SignalSet {
    std::vector<SignalChannel> channels;  // every channel has the same number of samples
    double sampleInterval = 0.001;        // seconds between two samples
    // What a reader decided on the user's behalf (held samples, lost titles);
    // the program shows these so nothing happens silently.
    std::vector<std::string> notes;

    size_t SampleCount() const { return channels.empty() ? 0 : channels.front().samples.size(); }
    double SampleRate() const { return 1.0 / sampleInterval; }
    // Channel number (1-based) for a title (case-insensitive) or a number
    // written as text; 0 when there is no such channel.
    int FindChannel(std::string_view titleOrNumber) const;
};

enum class SignalFormat { Wav, Csv, Edf, Bdf };

// The sample intervals a recording may have, whoever gives it: a file's time
// column or rate, or the user (--interval).
inline constexpr double kMinSampleInterval = 1e-9;
inline constexpr double kMaxSampleInterval = 3600;
// "1e-300 s is outside 1e-09 to 3600 s"; nothing for an interval within them.
std::optional<std::string> SampleIntervalProblem(double seconds);

struct CsvOptions {
    // Seconds between rows. Wins over a time column; needed without one.
    std::optional<double> sampleInterval;
    // How the user gives it, for messages about a missing interval.
    std::string intervalHint = "--interval S";
    // The time column by title or number, instead of the one found by its
    // title or its date-times; or none at all.
    std::optional<std::string> timeColumn;
    bool noTimeColumn = false;
};

// The format from the file name's extension (.wav/.csv/.edf/.bdf, any case;
// other sound formats libsndfile knows count as Wav). Throws SignalFileError.
SignalFormat SignalFormatOf(const std::filesystem::path& path);
// The same, nothing when the extension says nothing.
std::optional<SignalFormat> SignalFormatOfName(const std::filesystem::path& path);
// The format the first bytes of a file show: a sound file's magic, an EDF or
// BDF header's version field, or text; nothing for anything else.
std::optional<SignalFormat> SignalFormatOfContent(std::string_view start);

// Reads any supported file, choosing the reader from the extension, else from
// the content. "-" (kStandardInput) reads standard input, named so in messages.
SignalSet ReadSignals(const std::filesystem::path& path, const CsvOptions& csv = {});

// Sound files (OpenWav in StoredSignals.h, every sample read): any channel
// count; titles "Channel N" unless the file carries the comment WriteWav
// leaves. Integer formats come normalised to ±1. A WAV file's chunks are
// checked against its size first: a chunk that claims more than the file
// holds is refused (libsndfile may never return from such a file), and data
// cut short gives a note.
SignalSet ReadWav(const std::filesystem::path& path);

// A header row of titles ("Pressure" or "Pressure (mmHg)"), optionally a units
// row, then one row of numbers per sample. Without a header row (the first row
// holds only values) the columns are titled "Channel N". A time column gives
// the interval and is not a channel: the first column when it is titled like
// a time ("time", "t", "Time (s)", "time_ms", "timestamp") or holds ISO 8601
// date-times, or the one CsvOptions names. An untitled first column is a row
// index (as pandas writes one) unless it holds date-times. An empty or NaN
// cell holds its channel's previous value, with a note. Values are separated
// by commas; a file separated by ';' or tabs is refused with a message that
// says so. Any number of channels.
SignalSet ReadCsv(const std::filesystem::path& path, const CsvOptions& options = {});

// The same readers over bytes in memory (what a fuzzer feeds them); name
// stands for the file in messages.
SignalSet ReadWavBytes(std::string_view bytes, const std::string& name);
SignalSet ReadCsvText(std::string text, const std::string& name, const CsvOptions& options = {});

// EDF, EDF+ (continuous), BDF, BDF+ (OpenEdf in StoredSignals.h, every
// sample read): physical values, titles from the signal labels, units from
// the physical dimensions, any number of signals; annotation signals are left
// out. Header fields may be padded on either side. Signals recorded at lower
// rates than the fastest one are held (each sample repeated) up to the
// fastest rate, and a note says so. A header that promises more data records
// than the file holds gives those it holds, with a note. A physical range or
// a sample that a 32-bit float can't hold is refused, naming the signal.
SignalSet ReadEdf(const std::filesystem::path& path);

// Writers. Each writes to a temporary file beside `path` and renames it, so a
// failure leaves no partial file.
// WAV: 32-bit float, the sample rate rounded to whole hertz; titles and units
// go into the file's comment.
void WriteWav(const std::filesystem::path& path, const SignalSet& set);
// CSV: a "Time (s)" column, titles, a units row, values with 9 significant digits.
void WriteCsv(const std::filesystem::path& path, const SignalSet& set);
// EDF+ (16-bit) or BDF+ (24-bit). The sample rate must be a whole number of
// hertz; the physical range of each signal is its data's range. Data records
// are one second long or shorter so that they divide the recording; when none
// does (a prime count at more than 1 kHz), the last record is padded with the
// last value.
void WriteEdf(const std::filesystem::path& path, const SignalSet& set, bool bdf);
void WriteSignals(const std::filesystem::path& path, const SignalSet& set);
// Why a recording at this sample interval can't be written to path (WAV, EDF
// and BDF take whole hertz only), "WAV needs a whole number of samples per
// second, not 81.3"; nothing when it can. Throws SignalFileError for a path
// whose extension names no format.
std::optional<std::string> WriteProblem(const std::filesystem::path& path, double sampleInterval);

// A display range that holds [low, high] with a little room, its ends on a
// 1-2-5 step, and the decimals its labels need; (-1, 1) when either is no
// finite number.
ChannelSettings FitDisplayRange(ChannelSettings info, float low, float high);
// The same from a channel's finite samples; (-1, 1) when there are none.
void FitDisplayRange(SignalChannel& channel);
