// Recordings whose samples stay where they are kept (a mapped file, memory)
// and are converted to floats a run at a time, as they are needed: opening a
// file reads its header, not its samples, so a recording may be larger than
// memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "signals/SampleSource.h"
#include "signals/Signals.h"

// Where a recording's samples are kept, channel by channel, frame by frame.
// Reads may come from several threads at once.
class SampleStore {
public:
    virtual ~SampleStore() = default;
    virtual size_t ChannelCount() const = 0;
    virtual int64_t FrameCount() const = 0;
    // Writes count samples of channel (from 0) from frame first on into out.
    // Throws SignalFileError when they can't be read (a file cut short since
    // it was opened, a read error).
    virtual void Read(size_t channel, int64_t first, size_t count, float* out) const = 0;
};

// A recording as a SignalSet describes it, its samples in a store.
struct StoredSignals {
    std::vector<ChannelSettings> channels;  // channel c's samples are the store's channel c
    double sampleInterval = 0.001;
    std::vector<std::string> notes;  // as SignalSet::notes
    std::shared_ptr<const SampleStore> samples;

    size_t SampleCount() const { return samples ? size_t(samples->FrameCount()) : 0; }
    double SampleRate() const { return 1.0 / sampleInterval; }
    // As SignalSet::FindChannel.
    int FindChannel(std::string_view titleOrNumber) const;
};

// Opens any supported file by its extension, as ReadSignals reads it: WAV
// with PCM or float samples and EDF/BDF are mapped, other sound formats and
// CSV are read into memory. Every channel of the file is listed, however
// many. Display ranges come from the samples when the file holds at most
// kScannedRangeBytes of them, else from the format's full scale (a note says
// so). Throws SignalFileError.
StoredSignals OpenSignals(const std::filesystem::path& path, const CsvOptions& csv = {});
StoredSignals OpenWav(const std::filesystem::path& path);
StoredSignals OpenEdf(const std::filesystem::path& path);

// Above this many bytes of samples in a file, display ranges are not taken
// from a scan of every sample: it would read the whole file before anything
// is shown.
inline constexpr uint64_t kScannedRangeBytes = uint64_t(256) << 20;

// A signal set moved into a store of its own, in memory. Throws
// std::invalid_argument when its channels differ in length.
StoredSignals StoreInMemory(SignalSet set);

// The channels given (numbers from 0, in that order) of a stored recording,
// reading the same store.
StoredSignals ChooseChannels(const StoredSignals& signals, const std::vector<size_t>& channels);

// Every sample read into memory.
SignalSet ReadAll(const StoredSignals& signals);
