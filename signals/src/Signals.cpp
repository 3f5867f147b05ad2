#include "signals/Signals.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <system_error>
#include <unistd.h>

#include "SignalsInternal.h"
#include "signals/InputFile.h"
#include "signals/InputText.h"
#include "signals/OutputFile.h"

namespace fs = std::filesystem;

namespace signals_detail {

void Fail(const fs::path& path, const std::string& what)
{
    throw SignalFileError(EscapeInput(path.string()) + ": " + what);
}

void RequireReadableFile(const fs::path& path)
{
    if (auto problem = InputProblem(path, kRecordingFile)) Fail(path, *problem);
}

void WriteAtomically(const fs::path& path, const std::function<void(const fs::path&)>& write)
{
    try {
        WriteOutput(path, write);
    } catch (const OutputError& error) {
        Fail(path, std::string("cannot be written: ") + error.what());
    }
}

void RequireSampleInterval(const fs::path& path, double seconds, const std::string& what)
{
    if (auto problem = SampleIntervalProblem(seconds)) Fail(path, what + ": " + *problem);
}

void RequireWritable(const fs::path& path, const SignalSet& set)
{
    if (set.channels.empty()) Fail(path, "nothing to write: no channels");
    size_t count = set.SampleCount();
    if (count == 0) Fail(path, "nothing to write: no samples");
    for (const SignalChannel& channel : set.channels)
        if (channel.samples.size() != count)
            Fail(path, "channel " + QuoteInput(channel.info.title) + " has " + std::to_string(channel.samples.size()) +
                           " samples, the first channel " + std::to_string(count));
    if (!(set.sampleInterval > 0) || !std::isfinite(set.sampleInterval))
        Fail(path, "the sample interval must be a positive number of seconds");
}

namespace {

std::optional<std::string> WholeRateProblem(double rate, const char* format)
{
    double whole = std::round(rate);
    if (whole < 1 || whole > 1e7 || std::fabs(rate - whole) > 1e-6 * whole) {
        char text[64];
        std::snprintf(text, sizeof text, "%g", rate);
        return std::string(format) + " needs a whole number of samples per second, not " + text;
    }
    return std::nullopt;
}

}  // namespace

int WholeSampleRate(const fs::path& path, const SignalSet& set, const char* format)
{
    if (auto problem = WholeRateProblem(set.SampleRate(), format)) Fail(path, *problem);
    return int(std::round(set.SampleRate()));
}

}  // namespace signals_detail

using namespace signals_detail;

namespace {}  // namespace

std::optional<std::string> SampleIntervalProblem(double seconds)
{
    if (seconds >= kMinSampleInterval && seconds <= kMaxSampleInterval) return std::nullopt;
    char text[96];
    std::snprintf(text, sizeof text, "%g s is outside %g to %g s", seconds, kMinSampleInterval, kMaxSampleInterval);
    return std::string(text);
}

int SignalSet::FindChannel(std::string_view titleOrNumber) const
{
    if (titleOrNumber.empty()) return 0;  // not the first channel that happens to have no title
    std::string wanted = Lowercase(titleOrNumber);
    for (size_t i = 0; i < channels.size(); ++i)
        if (Lowercase(channels[i].info.title) == wanted) return int(i) + 1;
    int number = 0;
    auto [end, ec] = std::from_chars(titleOrNumber.data(), titleOrNumber.data() + titleOrNumber.size(), number);
    if (ec == std::errc() && end == titleOrNumber.data() + titleOrNumber.size() && number >= 1 &&
        size_t(number) <= channels.size())
        return number;
    return 0;
}

std::optional<SignalFormat> SignalFormatOfName(const fs::path& path)
{
    std::string extension = Lowercase(path.extension().string());
    if (extension == ".csv" || extension == ".txt") return SignalFormat::Csv;
    if (extension == ".edf") return SignalFormat::Edf;
    if (extension == ".bdf") return SignalFormat::Bdf;
    if (extension == ".wav" || extension == ".wave" || extension == ".aif" || extension == ".aiff" ||
        extension == ".flac" || extension == ".au" || extension == ".caf")
        return SignalFormat::Wav;
    return std::nullopt;
}

SignalFormat SignalFormatOf(const fs::path& path)
{
    if (std::optional<SignalFormat> format = SignalFormatOfName(path)) return *format;
    Fail(path, "unknown kind of recording (expected .wav, .csv, .edf or .bdf)");
}

std::optional<SignalFormat> SignalFormatOfContent(std::string_view start)
{
    auto startsWith = [&](std::string_view magic) { return start.substr(0, magic.size()) == magic; };
    for (std::string_view magic : {"RIFF", "RIFX", "RF64", "FORM", "fLaC", ".snd", "caff"})
        if (startsWith(magic)) return SignalFormat::Wav;
    if (startsWith("\xFF"
                   "BIOSEMI"))
        return SignalFormat::Bdf;
    if (startsWith("0       ")) return SignalFormat::Edf;
    // Text: no control characters but line ends and tabs (bytes above 127 may be UTF-8).
    if (start.empty()) return std::nullopt;
    for (char c : start)
        if ((unsigned char)c < 32 && c != '\n' && c != '\r' && c != '\t') return std::nullopt;
    return SignalFormat::Csv;
}

namespace {

constexpr size_t kContentSniffBytes = 512;

}  // namespace

SignalFormat signals_detail::RecordingFormat(const fs::path& path)
{
    if (std::optional<SignalFormat> format = SignalFormatOfName(path)) return *format;
    InputFile file(path, kRecordingFile);
    if (!file) Fail(path, file.Problem());
    std::string start(size_t(std::min<uint64_t>(file.Size(), kContentSniffBytes)), '\0');
    start.resize(file.ReadAt(start.data(), start.size(), 0));
    std::optional<SignalFormat> format = SignalFormatOfContent(start);
    if (!format)
        Fail(path, start.empty() ? "empty: no recording in it"
                                 : "unknown kind of recording: neither its name (.wav, .csv, .edf or .bdf) "
                                   "nor its first bytes say what it is");
    return *format;
}

fs::path signals_detail::StandardInputCopy()
{
    try {
        return StandardInputAsFile();
    } catch (const std::runtime_error& error) {
        throw SignalFileError(error.what());
    }
}

std::string signals_detail::NamedAsStandardInput(std::string message, const fs::path& copy)
{
    const std::string held = EscapeInput(copy.string());
    if (message.compare(0, held.size(), held) == 0) message.replace(0, held.size(), "standard input");
    return message;
}

SignalSet ReadSignals(const fs::path& path, const CsvOptions& csv)
{
    return ReadingAsGiven(path, [&](const fs::path& file) {
        switch (RecordingFormat(file)) {
        case SignalFormat::Csv:
            return ReadCsv(file, csv);
        case SignalFormat::Edf:
        case SignalFormat::Bdf:
            return ReadEdf(file);
        case SignalFormat::Wav:
            break;
        }
        return ReadWav(file);
    });
}

void WriteSignals(const fs::path& path, const SignalSet& set)
{
    switch (SignalFormatOf(path)) {
    case SignalFormat::Csv:
        return WriteCsv(path, set);
    case SignalFormat::Edf:
        return WriteEdf(path, set, false);
    case SignalFormat::Bdf:
        return WriteEdf(path, set, true);
    case SignalFormat::Wav:
        break;
    }
    WriteWav(path, set);
}

std::optional<std::string> WriteProblem(const fs::path& path, double sampleInterval)
{
    switch (SignalFormatOf(path)) {
    case SignalFormat::Csv:
        return std::nullopt;
    case SignalFormat::Edf:
        return WholeRateProblem(1.0 / sampleInterval, "EDF");
    case SignalFormat::Bdf:
        return WholeRateProblem(1.0 / sampleInterval, "BDF");
    case SignalFormat::Wav:
        break;
    }
    return WholeRateProblem(1.0 / sampleInterval, "WAV");
}

ChannelSettings FitDisplayRange(ChannelSettings info, float low, float high)
{
    double lo = low, hi = high;
    if (!std::isfinite(lo) || !std::isfinite(hi)) {
        // No range fits what is no number; the default range is shown instead.
        info.displayLow = -1;
        info.displayHigh = 1;
        info.decimals = 2;
        return info;
    }
    if (!(hi > lo)) {
        double half = std::max(1.0, std::fabs(lo) * 0.1);
        lo -= half;
        hi += half;
    }
    double margin = (hi - lo) * 0.05;
    // The margin never takes a one-signed signal across zero.
    lo = lo >= 0 ? std::max(0.0, lo - margin) : lo - margin;
    hi = hi <= 0 ? std::min(0.0, hi + margin) : hi + margin;
    // A 1-2-5 step about a tenth of the span; the ends fall on it.
    double rough = (hi - lo) / 10;
    double power = std::pow(10.0, std::floor(std::log10(rough)));
    double fraction = rough / power;
    double step = (fraction <= 1 ? 1 : fraction <= 2 ? 2 : fraction <= 5 ? 5 : 10) * power;
    info.displayLow = std::floor(lo / step) * step;
    info.displayHigh = std::ceil(hi / step) * step;
    info.decimals = int16_t(std::clamp(-int(std::floor(std::log10(step) + 1e-9)), 0, 6));
    return info;
}

void FitDisplayRange(SignalChannel& channel)
{
    // The finite samples' range: a NaN would make any comparison order meaningless.
    float low = INFINITY, high = -INFINITY;
    for (float sample : channel.samples) {
        if (std::isfinite(sample)) {
            low = std::min(low, sample);
            high = std::max(high, sample);
        }
    }
    if (low > high) {
        channel.info.displayLow = -1;
        channel.info.displayHigh = 1;
        return;
    }
    channel.info = FitDisplayRange(channel.info, low, high);
}
