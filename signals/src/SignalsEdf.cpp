// EDF and BDF (and their + variants) through edflib.
#include <edflib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <limits>
#include <memory>
#include <numeric>

#include "SignalsInternal.h"
#include "signals/InputFile.h"
#include "signals/InputText.h"
#include "signals/Signals.h"

namespace fs = std::filesystem;
using namespace signals_detail;

namespace {

std::string OpenErrorText(int code)
{
    switch (code) {
    case EDFLIB_MALLOC_ERROR:
        return "out of memory while opening";
    case EDFLIB_NO_SUCH_FILE_OR_DIRECTORY:
        return "cannot be opened";
    case EDFLIB_FILE_CONTAINS_FORMAT_ERRORS:
        return "not a valid EDF/BDF file (its header has format errors)";
    case EDFLIB_MAXFILES_REACHED:
        return "too many EDF files open";
    case EDFLIB_FILE_READ_ERROR:
        return "read error (the file may be truncated)";
    case EDFLIB_FILE_ALREADY_OPENED:
        return "already open";
    case EDFLIB_FILETYPE_ERROR:
        return "not an EDF or BDF file";
    case EDFLIB_FILE_IS_DISCONTINUOUS:
        return "a discontinuous EDF+D/BDF+D recording, which can't be played at one sample interval";
    default:
        return "cannot be read as EDF/BDF (edflib error " + std::to_string(code) + ")";
    }
}

std::string TrimmedField(const char* text)
{
    std::string s = text;
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    size_t start = s.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : s.substr(start);
}

// A bound just outside value that the header's 8-character field holds
// exactly: a multiple of a power of two no finer than 1/64 has a short,
// exact decimal form, so edflib (which cuts the text rather than rounding)
// writes the very value it converts with, and readers scale as it did.
double HeaderBound(double value, bool upper)
{
    for (int k = 6; k >= 0; --k) {
        double scale = std::ldexp(1.0, k);
        double bound = (upper ? std::ceil(value * scale) : std::floor(value * scale)) / scale;
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", k, bound);
        std::string digits = text;
        if (digits.find('.') != std::string::npos) {
            while (digits.back() == '0')
                digits.pop_back();
            if (digits.back() == '.')
                digits.pop_back();
        }
        if (digits.size() <= 8)
            return bound;
    }
    return value;  // beyond 8 digits before the point: edflib refuses it with a clear code
}

// The header's own text of a signal's physical minimum or maximum, for
// messages: edflib keeps only the number it made of it, and counts signals
// without the annotation signals that the header lists among them.
std::string PhysicalField(const fs::path& path, int signal, bool maximum)
{
    InputFile file(path, kRecordingFile);
    char count[5] = {};
    if (!file || file.ReadAt(count, 4, 252) != 4)
        return "";
    int signals = std::atoi(count);
    for (int raw = 0, data = 0; raw < signals && raw < EDFLIB_MAXSIGNALS; ++raw) {
        char label[17] = {};
        file.ReadAt(label, 16, 256 + uint64_t(raw) * 16);
        std::string name = TrimmedField(label);
        if (name == "EDF Annotations" || name == "BDF Annotations")
            continue;
        if (data++ != signal)
            continue;
        char field[9] = {};
        file.ReadAt(field, 8, 256 + uint64_t(signals) * (16 + 80 + 8 + (maximum ? 8 : 0)) + uint64_t(raw) * 8);
        return TrimmedField(field);
    }
    return "";
}

struct EdfCloser {
    int handle;
    ~EdfCloser()
    {
        if (handle >= 0)
            edfclose_file(handle);
    }
};

}  // namespace

SignalSet ReadEdf(const fs::path& path)
{
    RequireReadableFile(path);
    auto header = std::make_unique<edf_hdr_struct>();
    if (edfopen_file_readonly(path.c_str(), header.get(), EDFLIB_DO_NOT_READ_ANNOTATIONS) != 0)
        Fail(path, OpenErrorText(header->filetype));
    EdfCloser closer{header->handle};

    int signals = header->edfsignals;
    if (signals < 1)
        Fail(path, "no signals (only annotations)");
    if (signals > SampleSource::kMaxChannels)
        Fail(path, std::to_string(signals) + " signals; at most " + std::to_string(SampleSource::kMaxChannels) +
                       " can be recorded");
    if (header->datarecords_in_file < 1 || header->datarecord_duration <= 0)
        Fail(path, "no data records");

    int fastest = 0;
    for (int s = 0; s < signals; ++s)
        fastest = std::max(fastest, header->signalparam[s].smp_in_datarecord);
    if (fastest < 1)
        Fail(path, "no samples in its data records");
    long long total = header->datarecords_in_file * fastest;
    if (total > 0x7fffffffLL)
        Fail(path, "too many samples (more than 2^31 per signal)");

    SignalSet set;
    set.sampleInterval = double(header->datarecord_duration) / EDFLIB_TIME_DIMENSION / fastest;
    RequireSampleInterval(path, set.sampleInterval, "the sample interval of its data records");
    std::vector<double> buffer;
    bool held = false;
    for (int s = 0; s < signals; ++s) {
        const edf_param_struct& param = header->signalparam[s];
        SignalChannel channel;
        channel.info.title = TrimmedField(param.label);
        if (channel.info.title.empty())
            channel.info.title = "Signal " + std::to_string(s + 1);
        channel.info.units = TrimmedField(param.physdimension);
        std::string signalName = "signal " + std::to_string(s + 1) + " (" + ShowInput(channel.info.title) + ")";
        // A physical value beyond a float's range, or no number at all, can't be a sample.
        for (bool maximum : {false, true}) {
            double bound = maximum ? param.phys_max : param.phys_min;
            if (!std::isfinite(bound) || std::fabs(bound) > std::numeric_limits<float>::max())
                Fail(path, signalName + ": the physical " + (maximum ? "maximum " : "minimum ") +
                               QuoteInput(PhysicalField(path, s, maximum)) +
                               " is no number a 32-bit sample can hold");
        }
        long long own = param.smp_in_file;
        buffer.resize(size_t(own));
        if (own > 0) {
            int got = edfread_physical_samples(closer.handle, s, int(own), buffer.data());
            if (got != own)
                Fail(path, signalName + ": read " + std::to_string(std::max(got, 0)) + " of " + std::to_string(own) +
                               " samples; the file is truncated or corrupt");
            // Digital values beyond the header's digital range scale beyond its physical one.
            for (long long i = 0; i < own; ++i)
                if (!std::isfinite(float(buffer[size_t(i)])))
                    Fail(path, signalName + ": sample " + std::to_string(i) + " scales to " +
                                   std::to_string(buffer[size_t(i)]) + ", beyond what a 32-bit sample can hold");
        }
        // Sample-and-hold up to the fastest rate: a slower signal keeps each
        // value until its next sample is due.
        int perRecord = param.smp_in_datarecord;
        channel.samples.resize(size_t(total));
        if (perRecord == fastest) {
            std::copy(buffer.begin(), buffer.end(), channel.samples.begin());
        } else {
            held = true;
            for (long long i = 0; i < total; ++i) {
                long long source = perRecord > 0 ? i * perRecord / fastest : 0;
                channel.samples[size_t(i)] = own > 0 ? float(buffer[size_t(std::min(source, own - 1))]) : 0.0f;
            }
        }
        FitDisplayRange(channel);
        set.channels.push_back(std::move(channel));
    }
    if (held)
        set.notes.push_back(EscapeInput(path.string()) + ": signals with lower sample rates are held at the fastest rate (" +
                            std::to_string(int(std::lround(set.SampleRate()))) + " Hz)");
    return set;
}

void WriteEdf(const fs::path& path, const SignalSet& set, bool bdf)
{
    RequireWritable(path, set);
    int rate = WholeSampleRate(path, set, bdf ? "BDF" : "EDF");
    int signals = int(set.channels.size());
    if (signals > EDFLIB_MAXSIGNALS)
        Fail(path, "too many signals for EDF");
    size_t count = set.SampleCount();

    // Data records hold whole numbers of samples: prefer one second, else the
    // longest record that divides the recording, so no padding is needed.
    // Durations are in units of 10 us and must lie between 1 ms and 60 s.
    size_t perRecord = 0;
    for (size_t candidate = std::min<size_t>(rate, count); candidate >= 1; --candidate) {
        if (count % candidate != 0)
            continue;
        long long units = (long long)candidate * 100000;
        if (units % rate == 0 && units / rate >= 100) {
            perRecord = candidate;
            break;
        }
    }
    size_t padded = count;
    if (perRecord == 0) {  // nothing divides: pad the last second with its last value
        perRecord = size_t(rate);
        padded = (count + perRecord - 1) / perRecord * perRecord;
    }
    int durationUnits = int((long long)perRecord * 100000 / rate);

    WriteAtomically(path, [&](const fs::path& temporary) {
        int handle = edfopen_file_writeonly(temporary.c_str(), bdf ? EDFLIB_FILETYPE_BDFPLUS : EDFLIB_FILETYPE_EDFPLUS,
                                            signals);
        if (handle < 0)
            Fail(path, "cannot be created (edflib error " + std::to_string(handle) + ")");
        EdfCloser closer{handle};
        bool ok = edf_set_datarecord_duration(handle, durationUnits) == 0;
        for (int s = 0; s < signals && ok; ++s) {
            const SignalChannel& channel = set.channels[size_t(s)];
            auto [low, high] = std::minmax_element(channel.samples.begin(), channel.samples.end());
            double physMin = HeaderBound(*low, false), physMax = HeaderBound(*high, true);
            if (!(physMax > physMin))
                physMax = HeaderBound(physMin + 1, true);
            ok = edf_set_samplefrequency(handle, s, int(perRecord)) == 0 &&
                 edf_set_physical_minimum(handle, s, physMin) == 0 &&
                 edf_set_physical_maximum(handle, s, physMax) == 0 &&
                 edf_set_digital_minimum(handle, s, bdf ? -8388608 : -32768) == 0 &&
                 edf_set_digital_maximum(handle, s, bdf ? 8388607 : 32767) == 0 &&
                 edf_set_label(handle, s, channel.info.title.substr(0, 16).c_str()) == 0 &&
                 edf_set_physical_dimension(handle, s, channel.info.units.substr(0, 8).c_str()) == 0;
        }
        if (!ok)
            Fail(path, "edflib refused the header (a range or label it can't store)");
        std::vector<double> record(perRecord);
        for (size_t start = 0; start < padded && ok; start += perRecord) {
            for (int s = 0; s < signals && ok; ++s) {
                const std::vector<float>& samples = set.channels[size_t(s)].samples;
                for (size_t i = 0; i < perRecord; ++i)
                    record[i] = samples[std::min(start + i, count - 1)];
                ok = edfwrite_physical_samples(handle, record.data()) == 0;
            }
        }
        closer.handle = -1;
        if (edfclose_file(handle) != 0 || !ok)
            Fail(path, "cannot be written");
    });
}
