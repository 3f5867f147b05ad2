// Stored recordings: the stores that are not files (memory, a choice of
// channels), reading a whole store back, the display ranges of a mapped
// file, and opening any file by its kind.
#include "signals/StoredSignals.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "SignalsInternal.h"
#include "signals/InputText.h"

namespace fs = std::filesystem;
using namespace signals_detail;

namespace {

class MemoryStore : public SampleStore {
public:
    explicit MemoryStore(std::vector<std::vector<float>> channels) : channels_(std::move(channels)) {}
    size_t ChannelCount() const override { return channels_.size(); }
    int64_t FrameCount() const override { return channels_.empty() ? 0 : int64_t(channels_.front().size()); }
    void Read(size_t channel, int64_t first, size_t count, float* out) const override
    {
        const std::vector<float>& samples = channels_.at(channel);
        if (first < 0 || uint64_t(first) + count > samples.size())
            throw std::out_of_range("read past the end of a recording in memory");
        std::copy_n(samples.data() + first, count, out);
    }

private:
    std::vector<std::vector<float>> channels_;
};

class ChannelChoice : public SampleStore {
public:
    ChannelChoice(std::shared_ptr<const SampleStore> store, std::vector<size_t> channels)
        : store_(std::move(store)), channels_(std::move(channels))
    {}
    size_t ChannelCount() const override { return channels_.size(); }
    int64_t FrameCount() const override { return store_->FrameCount(); }
    void Read(size_t channel, int64_t first, size_t count, float* out) const override
    {
        store_->Read(channels_.at(channel), first, count, out);
    }

private:
    std::shared_ptr<const SampleStore> store_;
    std::vector<size_t> channels_;
};

}  // namespace

int StoredSignals::FindChannel(std::string_view titleOrNumber) const
{
    SignalSet lookup;
    for (const ChannelSettings& info : channels) lookup.channels.push_back(SignalChannel{info, {}});
    return lookup.FindChannel(titleOrNumber);
}

StoredSignals StoreInMemory(SignalSet set)
{
    StoredSignals stored;
    stored.sampleInterval = set.sampleInterval;
    stored.notes = std::move(set.notes);
    std::vector<std::vector<float>> samples;
    for (const SignalChannel& channel : set.channels)
        if (channel.samples.size() != set.SampleCount())
            throw std::invalid_argument("channel " + QuoteInput(channel.info.title) + " has a different length");
    for (SignalChannel& channel : set.channels) {
        stored.channels.push_back(std::move(channel.info));
        samples.push_back(std::move(channel.samples));
    }
    stored.samples = std::make_shared<MemoryStore>(std::move(samples));
    return stored;
}

StoredSignals ChooseChannels(const StoredSignals& signals, const std::vector<size_t>& channels)
{
    StoredSignals chosen;
    chosen.sampleInterval = signals.sampleInterval;
    chosen.notes = signals.notes;
    for (size_t channel : channels) chosen.channels.push_back(signals.channels.at(channel));
    chosen.samples = std::make_shared<ChannelChoice>(signals.samples, channels);
    return chosen;
}

SignalSet ReadAll(const StoredSignals& signals)
{
    SignalSet set;
    set.sampleInterval = signals.sampleInterval;
    set.notes = signals.notes;
    size_t count = signals.SampleCount();
    for (size_t c = 0; c < signals.channels.size(); ++c) {
        SignalChannel channel{signals.channels[c], std::vector<float>(count)};
        if (count > 0) signals.samples->Read(c, 0, count, channel.samples.data());
        set.channels.push_back(std::move(channel));
    }
    return set;
}

namespace signals_detail {

void FitStoredRanges(StoredSignals& signals, const fs::path& path, uint64_t sampleBytes, const std::string& fullScale,
                     const std::function<std::string(size_t channel, int64_t frame, float value)>& nonFinite)
{
    if (sampleBytes > kScannedRangeBytes) {
        signals.notes.push_back(EscapeInput(path.string()) + ": " + std::to_string(sampleBytes >> 20) +
                                " MiB of samples, too many to scan before they are shown: the display ranges are " +
                                fullScale);
        return;
    }
    // Block by block across the channels, so that an interleaved file is read once.
    constexpr size_t kFrames = 32768;
    size_t channels = signals.channels.size();
    int64_t frames = int64_t(signals.SampleCount());
    std::vector<float> low(channels, INFINITY), high(channels, -INFINITY), buffer(kFrames);
    std::vector<int64_t> firstBad(channels, -1);
    for (int64_t start = 0; start < frames; start += int64_t(kFrames)) {
        size_t count = size_t(std::min<int64_t>(int64_t(kFrames), frames - start));
        for (size_t c = 0; c < channels; ++c) {
            signals.samples->Read(c, start, count, buffer.data());
            float lo = low[c], hi = high[c];
            for (size_t i = 0; i < count; ++i) {
                float sample = buffer[i];
                if (std::isfinite(sample)) {
                    lo = std::min(lo, sample);
                    hi = std::max(hi, sample);
                } else if (firstBad[c] < 0) {
                    firstBad[c] = start + int64_t(i);
                }
            }
            low[c] = lo;
            high[c] = hi;
        }
    }
    for (size_t c = 0; c < channels; ++c) {
        if (firstBad[c] >= 0) {
            float value;
            signals.samples->Read(c, firstBad[c], 1, &value);
            Fail(path, nonFinite(c, firstBad[c], value));
        }
    }
    for (size_t c = 0; c < channels; ++c) {
        ChannelSettings& info = signals.channels[c];
        if (low[c] > high[c]) {
            info.displayLow = -1;
            info.displayHigh = 1;
        } else {
            info = FitDisplayRange(info, low[c], high[c]);
        }
    }
}

}  // namespace signals_detail

StoredSignals OpenSignals(const fs::path& path, const CsvOptions& csv)
{
    return ReadingAsGiven(path, [&](const fs::path& file) {
        switch (RecordingFormat(file)) {
        case SignalFormat::Csv:
            return StoreInMemory(ReadCsv(file, csv));
        case SignalFormat::Edf:
        case SignalFormat::Bdf:
            return OpenEdf(file);
        case SignalFormat::Wav:
            break;
        }
        return OpenWav(file);
    });
}
