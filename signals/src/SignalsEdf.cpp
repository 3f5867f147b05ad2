// EDF and BDF (and their + variants): read by mapping the file and parsing
// its header here, written through edflib.
#include <edflib.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <numeric>
#include <stdexcept>

#include "FileBytes.h"
#include "SignalsInternal.h"
#include "signals/InputFile.h"
#include "signals/InputText.h"
#include "signals/Signals.h"

namespace fs = std::filesystem;
using namespace signals_detail;

namespace {

// ---- The header ----
//
// 256 bytes for the file, then 256 for each signal, field by field across all
// signals. Every field is ASCII text padded with spaces; writers pad on the
// right as the format asks, some on the left ("  1     "), so both are
// trimmed.

constexpr uint64_t kFileHeaderBytes = 256;
constexpr uint64_t kSignalHeaderBytes = 256;
// Data records longer than this are refused: a record is read whole at a time
// by other readers, and no real recording needs more.
constexpr uint64_t kMaxRecordBytes = uint64_t(64) << 20;
constexpr long long kTimeUnitsPerSecond = 10000000;  // record durations in units of 100 ns

struct EdfSignal {
    std::string label, units;
    std::string physicalText[2];  // minimum, maximum as written
    double physical[2] = {0, 0};
    long long digital[2] = {0, 0};
    long long perRecord = 0;
    uint64_t offsetInRecord = 0;  // bytes
    bool annotations = false;
};

struct EdfHeader {
    bool bdf = false;
    bool plus = false;
    bool discontinuous = false;
    long long declaredRecords = 0;  // -1: not known to the writer
    long long durationUnits = 0;
    std::vector<EdfSignal> signals;  // all, annotation signals too
    uint64_t headerBytes = 0;
    uint64_t recordBytes = 0;
};

std::string Field(const FileBytes& file, uint64_t offset, size_t width)
{
    std::string text(width, ' ');
    text.resize(file.ReadAt(text.data(), width, offset));
    for (char& c : text)
        if (c == '\0') c = ' ';
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

[[noreturn]] void FormatError(const fs::path& path, const std::string& what)
{
    Fail(path, "not a valid EDF/BDF file (its header has format errors): " + what);
}

long long WholeNumber(const fs::path& path, const std::string& text, const std::string& what)
{
    long long value = 0;
    const char* begin = text.data() + (text.size() > 1 && text[0] == '+' ? 1 : 0);
    auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        FormatError(path, what + " " + QuoteInput(text) + " is no whole number");
    return value;
}

double Number(const fs::path& path, const std::string& text, const std::string& what)
{
    double value = 0;
    const char* begin = text.data() + (text.size() > 1 && text[0] == '+' ? 1 : 0);
    auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
    if (text.empty() || end != text.data() + text.size() ||
        (error != std::errc() && error != std::errc::result_out_of_range))
        FormatError(path, what + " " + QuoteInput(text) + " is no number");
    // Too large for a double: infinite, which the caller refuses as no sample it can hold.
    if (error == std::errc::result_out_of_range) return std::strtod(text.c_str(), nullptr);
    return value;
}

// A duration in seconds as whole units of 100 ns, read from its digits so
// that "0.1" is exactly a tenth of a second.
long long DurationUnits(const fs::path& path, const std::string& text)
{
    size_t point = text.find('.');
    std::string whole = text.substr(0, point), fraction = point == std::string::npos ? "" : text.substr(point + 1);
    bool digits = !text.empty() && text != "." && std::all_of(whole.begin(), whole.end(), ::isdigit) &&
                  std::all_of(fraction.begin(), fraction.end(), ::isdigit) && whole.size() <= 8;
    if (!digits) FormatError(path, "the duration of a data record " + QuoteInput(text) + " is no number of seconds");
    long long units = whole.empty() ? 0 : std::stoll(whole) * kTimeUnitsPerSecond;
    fraction.resize(7, '0');
    return units + std::stoll(fraction);
}

EdfHeader ReadHeader(const FileBytes& file, const fs::path& path)
{
    if (file.Size() < kFileHeaderBytes)
        FormatError(path, "the file is shorter than a header (" + std::to_string(file.Size()) + " bytes)");
    EdfHeader header;
    unsigned char version[8];
    file.ReadAt(version, 8, 0);
    header.bdf = version[0] == 0xFF && std::memcmp(version + 1, "BIOSEMI", 7) == 0;
    if (!header.bdf && Field(file, 0, 8) != "0")
        FormatError(path, "its version " + QuoteInput(std::string(reinterpret_cast<char*>(version), 8)) +
                              " is neither EDF's \"0\" nor BDF's");
    std::string reserved = Field(file, 192, 44);
    header.plus = reserved.rfind(header.bdf ? "BDF+" : "EDF+", 0) == 0;
    header.discontinuous = header.plus && reserved.compare(4, 1, "D") == 0;
    header.declaredRecords = WholeNumber(path, Field(file, 236, 8), "the number of data records");
    if (header.declaredRecords < -1)
        FormatError(path, "the number of data records is " + std::to_string(header.declaredRecords));
    header.durationUnits = DurationUnits(path, Field(file, 244, 8));
    long long count = WholeNumber(path, Field(file, 252, 4), "the number of signals");
    if (count < 1) Fail(path, "no signals");
    header.headerBytes = kFileHeaderBytes + uint64_t(count) * kSignalHeaderBytes;
    if (header.headerBytes > file.Size())
        FormatError(path, "its header of " + std::to_string(count) + " signals is longer than the file");

    auto ns = uint64_t(count);
    // Offsets of the fields, each an array over the signals.
    const uint64_t label = kFileHeaderBytes, units = label + 16 * ns + 80 * ns, physicalMin = units + 8 * ns,
                   physicalMax = physicalMin + 8 * ns, digitalMin = physicalMax + 8 * ns,
                   digitalMax = digitalMin + 8 * ns, samples = digitalMax + 8 * ns + 80 * ns;
    const long long lowest = header.bdf ? -8388608 : -32768, highest = header.bdf ? 8388607 : 32767;
    const uint64_t width = header.bdf ? 3 : 2;
    for (uint64_t s = 0; s < ns; ++s) {
        EdfSignal signal;
        signal.label = Field(file, label + 16 * s, 16);
        signal.units = Field(file, units + 8 * s, 8);
        signal.annotations = signal.label == "EDF Annotations" || signal.label == "BDF Annotations";
        std::string name = "signal " + std::to_string(s + 1) + " (" + ShowInput(signal.label) + ")";
        signal.perRecord = WholeNumber(path, Field(file, samples + 8 * s, 8), name + ": the samples per record");
        if (signal.perRecord < 1 || uint64_t(signal.perRecord) > kMaxRecordBytes)
            FormatError(path, name + ": " + std::to_string(signal.perRecord) + " samples per data record");
        signal.offsetInRecord = header.recordBytes;
        header.recordBytes += uint64_t(signal.perRecord) * width;
        if (header.recordBytes > kMaxRecordBytes)
            FormatError(path, "its data records are longer than " + std::to_string(kMaxRecordBytes >> 20) + " MiB");
        if (!signal.annotations) {
            for (int m = 0; m < 2; ++m) {
                const char* which = m ? "maximum" : "minimum";
                signal.physicalText[m] = Field(file, (m ? physicalMax : physicalMin) + 8 * s, 8);
                signal.physical[m] = Number(path, signal.physicalText[m], name + ": the physical " + which);
                signal.digital[m] = WholeNumber(path, Field(file, (m ? digitalMax : digitalMin) + 8 * s, 8),
                                                name + ": the digital " + which);
                if (signal.digital[m] < lowest || signal.digital[m] > highest)
                    FormatError(path, name + ": the digital " + which + " " + std::to_string(signal.digital[m]) +
                                          " is outside " + std::to_string(lowest) + ".." + std::to_string(highest));
            }
            if (signal.digital[1] <= signal.digital[0])
                FormatError(path, name + ": the digital maximum is not above the minimum");
            if (signal.physical[1] == signal.physical[0])
                FormatError(path, name + ": the physical maximum equals the minimum");
        }
        header.signals.push_back(std::move(signal));
    }
    return header;
}

// ---- The samples ----

// How one signal's digital values become physical ones, as edflib computes
// them, so that a file reads the same whichever of the two reads it.
struct EdfScale {
    uint64_t offsetInRecord;
    long long perRecord;
    double bitValue, offset;
};

struct EdfReadJob {
    const unsigned char* data;  // the first data record
    uint64_t recordBytes;
    long long fastest;
    bool bdf;
    const EdfScale* scale;
    int64_t first;
    size_t count;
    float* out;
};

inline double Physical(const unsigned char* sample, bool bdf, const EdfScale& scale)
{
    int32_t digital =
        bdf ? int32_t(uint32_t(sample[0]) << 8 | uint32_t(sample[1]) << 16 | uint32_t(sample[2]) << 24) >> 8
            : int16_t(uint16_t(sample[0] | sample[1] << 8));
    return scale.bitValue * (scale.offset + double(digital));
}

// Frames first.. of one signal, each record's samples held up to the fastest
// signal's rate.
void ReadEdfSamples(void* context)
{
    const auto& job = *static_cast<const EdfReadJob*>(context);
    const EdfScale& scale = *job.scale;
    const uint64_t width = job.bdf ? 3 : 2;
    size_t done = 0;
    while (done < job.count) {
        int64_t frame = job.first + int64_t(done);
        int64_t record = frame / job.fastest;
        long long within = frame % job.fastest;
        size_t run = size_t(std::min<long long>(job.fastest - within, (long long)(job.count - done)));
        const unsigned char* samples = job.data + uint64_t(record) * job.recordBytes + scale.offsetInRecord;
        for (size_t i = 0; i < run; ++i) {
            long long own = scale.perRecord == job.fastest ? within + (long long)i
                                                           : (within + (long long)i) * scale.perRecord / job.fastest;
            job.out[done + i] = float(Physical(samples + uint64_t(own) * width, job.bdf, scale));
        }
        done += run;
    }
}

class EdfStore : public SampleStore {
public:
    EdfStore(std::shared_ptr<const FileBytes> file, const EdfHeader& header, int64_t records, long long fastest)
        : file_(std::move(file)), headerBytes_(header.headerBytes), recordBytes_(header.recordBytes), records_(records),
          fastest_(fastest), bdf_(header.bdf)
    {
        for (const EdfSignal& signal : header.signals) {
            if (signal.annotations) continue;
            double bitValue = (signal.physical[1] - signal.physical[0]) / double(signal.digital[1] - signal.digital[0]);
            scales_.push_back(EdfScale{signal.offsetInRecord, signal.perRecord, bitValue,
                                       signal.physical[1] / bitValue - double(signal.digital[1])});
        }
    }
    size_t ChannelCount() const override { return scales_.size(); }
    int64_t FrameCount() const override { return records_ * fastest_; }
    void Read(size_t channel, int64_t first, size_t count, float* out) const override
    {
        if (channel >= scales_.size() || first < 0 || first > FrameCount() || int64_t(count) > FrameCount() - first)
            throw std::out_of_range("read outside the samples of " + file_->Name());
        EdfReadJob job{
            file_->Data() + headerBytes_, recordBytes_, fastest_, bdf_, &scales_[channel], first, count, out};
        file_->Guarded(ReadEdfSamples, &job);
    }
    // The physical value of a signal's own sample (not held), as a double.
    double OwnSample(size_t channel, int64_t own) const
    {
        const EdfScale& scale = scales_.at(channel);
        int64_t record = own / scale.perRecord, within = own % scale.perRecord;
        unsigned char sample[3] = {0, 0, 0};
        file_->ReadAt(sample, bdf_ ? 3 : 2,
                      headerBytes_ + uint64_t(record) * recordBytes_ + scale.offsetInRecord +
                          uint64_t(within) * (bdf_ ? 3 : 2));
        return Physical(sample, bdf_, scale);
    }
    int64_t OwnIndex(size_t channel, int64_t frame) const
    {
        const EdfScale& scale = scales_.at(channel);
        return frame / fastest_ * scale.perRecord + frame % fastest_ * scale.perRecord / fastest_;
    }

private:
    std::shared_ptr<const FileBytes> file_;
    uint64_t headerBytes_, recordBytes_;
    int64_t records_;
    long long fastest_;
    bool bdf_;
    std::vector<EdfScale> scales_;
};

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
            while (digits.back() == '0') digits.pop_back();
            if (digits.back() == '.') digits.pop_back();
        }
        if (digits.size() <= 8) return bound;
    }
    return value;  // beyond 8 digits before the point: edflib refuses it with a clear code
}

struct EdfCloser {
    int handle;
    ~EdfCloser()
    {
        if (handle >= 0) edfclose_file(handle);
    }
};

}  // namespace

StoredSignals OpenEdf(const fs::path& path)
{
    std::shared_ptr<const FileBytes> file = FileBytes::Map(path);
    EdfHeader header = ReadHeader(*file, path);
    if (header.discontinuous)
        Fail(path, "a discontinuous EDF+D/BDF+D recording, which can't be played at one sample interval");

    StoredSignals stored;
    std::vector<const EdfSignal*> data;
    long long fastest = 0;
    for (const EdfSignal& signal : header.signals) {
        if (signal.annotations) continue;
        data.push_back(&signal);
        fastest = std::max(fastest, signal.perRecord);
    }
    if (data.empty()) Fail(path, "no signals (only annotations)");

    auto held = int64_t((file->Size() - header.headerBytes) / header.recordBytes);
    int64_t records = header.declaredRecords < 0 ? held : std::min<int64_t>(header.declaredRecords, held);
    if (records < 1 || header.durationUnits <= 0) Fail(path, "no data records");
    if (header.declaredRecords > held)
        stored.notes.push_back(EscapeInput(path.string()) + ": the file ends early: its header gives " +
                               std::to_string(header.declaredRecords) + " data records, the file holds " +
                               std::to_string(held));
    if (records > 0x7fffffffLL / fastest) Fail(path, "too many samples (more than 2^31 per signal)");
    stored.sampleInterval = double(header.durationUnits) / kTimeUnitsPerSecond / double(fastest);
    RequireSampleInterval(path, stored.sampleInterval, "the sample interval of its data records");

    bool slower = false;
    std::vector<std::string> names;
    for (size_t s = 0; s < data.size(); ++s) {
        const EdfSignal& signal = *data[s];
        ChannelSettings info;
        info.title = signal.label.empty() ? "Signal " + std::to_string(s + 1) : signal.label;
        info.units = signal.units;
        names.push_back("signal " + std::to_string(s + 1) + " (" + ShowInput(info.title) + ")");
        // A physical value beyond a float's range, or no number at all, can't be a sample.
        for (int m = 0; m < 2; ++m)
            if (!std::isfinite(signal.physical[m]) || std::fabs(signal.physical[m]) > std::numeric_limits<float>::max())
                Fail(path, names.back() + ": the physical " + (m ? "maximum " : "minimum ") +
                               QuoteInput(signal.physicalText[m]) + " is no number a 32-bit sample can hold");
        info = FitDisplayRange(info, float(std::min(signal.physical[0], signal.physical[1])),
                               float(std::max(signal.physical[0], signal.physical[1])));
        slower = slower || signal.perRecord != fastest;
        stored.channels.push_back(info);
    }
    auto store = std::make_shared<EdfStore>(file, header, records, fastest);
    stored.samples = store;
    if (slower)
        stored.notes.push_back(EscapeInput(path.string()) +
                               ": signals with lower sample rates are held at the fastest rate (" +
                               std::to_string(int(std::lround(stored.SampleRate()))) + " Hz)");
    FitStoredRanges(stored, path, uint64_t(records) * header.recordBytes,
                    "the signals' physical ranges from the header", [&](size_t channel, int64_t frame, float) {
                        int64_t own = store->OwnIndex(channel, frame);
                        return names[channel] + ": sample " + std::to_string(own) + " scales to " +
                               std::to_string(store->OwnSample(channel, own)) +
                               ", beyond what a 32-bit sample can hold";
                    });
    return stored;
}

SignalSet ReadEdf(const fs::path& path) { return ReadAll(OpenEdf(path)); }

void WriteEdf(const fs::path& path, const SignalSet& set, bool bdf)
{
    RequireWritable(path, set);
    int rate = WholeSampleRate(path, set, bdf ? "BDF" : "EDF");
    int signals = int(set.channels.size());
    if (signals > EDFLIB_MAXSIGNALS) Fail(path, "too many signals for EDF");
    size_t count = set.SampleCount();

    // Data records hold whole numbers of samples: prefer one second, else the
    // longest record that divides the recording, so no padding is needed.
    // Durations are in units of 10 us and must lie between 1 ms and 60 s.
    size_t perRecord = 0;
    for (size_t candidate = std::min<size_t>(rate, count); candidate >= 1; --candidate) {
        if (count % candidate != 0) continue;
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
        int handle =
            edfopen_file_writeonly(temporary.c_str(), bdf ? EDFLIB_FILETYPE_BDFPLUS : EDFLIB_FILETYPE_EDFPLUS, signals);
        if (handle < 0) Fail(path, "cannot be created (edflib error " + std::to_string(handle) + ")");
        EdfCloser closer{handle};
        bool ok = edf_set_datarecord_duration(handle, durationUnits) == 0;
        for (int s = 0; s < signals && ok; ++s) {
            const SignalChannel& channel = set.channels[size_t(s)];
            auto [low, high] = std::minmax_element(channel.samples.begin(), channel.samples.end());
            double physMin = HeaderBound(*low, false), physMax = HeaderBound(*high, true);
            if (!(physMax > physMin)) physMax = HeaderBound(physMin + 1, true);
            ok = edf_set_samplefrequency(handle, s, int(perRecord)) == 0 &&
                 edf_set_physical_minimum(handle, s, physMin) == 0 &&
                 edf_set_physical_maximum(handle, s, physMax) == 0 &&
                 edf_set_digital_minimum(handle, s, bdf ? -8388608 : -32768) == 0 &&
                 edf_set_digital_maximum(handle, s, bdf ? 8388607 : 32767) == 0 &&
                 edf_set_label(handle, s, channel.info.title.substr(0, 16).c_str()) == 0 &&
                 edf_set_physical_dimension(handle, s, channel.info.units.substr(0, 8).c_str()) == 0;
        }
        if (!ok) Fail(path, "edflib refused the header (a range or label it can't store)");
        std::vector<double> record(perRecord);
        for (size_t start = 0; start < padded && ok; start += perRecord) {
            for (int s = 0; s < signals && ok; ++s) {
                const std::vector<float>& samples = set.channels[size_t(s)].samples;
                for (size_t i = 0; i < perRecord; ++i) record[i] = samples[std::min(start + i, count - 1)];
                ok = edfwrite_physical_samples(handle, record.data()) == 0;
            }
        }
        closer.handle = -1;
        if (edfclose_file(handle) != 0 || !ok) Fail(path, "cannot be written");
    });
}
