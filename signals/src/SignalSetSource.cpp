// A stored recording read out batch by batch as a SampleSource.
#include "signals/SignalSetSource.h"

#include <algorithm>
#include <stdexcept>

#include "signals/InputText.h"

SignalSetSource::SignalSetSource(StoredSignals signals) : signals_(std::move(signals))
{
    if (signals_.channels.empty()) throw std::invalid_argument("a source needs at least one channel");
    if (signals_.channels.size() > size_t(kMaxChannels))
        throw std::invalid_argument(std::to_string(signals_.channels.size()) + " channels; a source has at most " +
                                    std::to_string(kMaxChannels));
    if (!(signals_.sampleInterval > 0)) throw std::invalid_argument("the sample interval must be positive");
    if (!signals_.samples || signals_.samples->ChannelCount() != signals_.channels.size())
        throw std::invalid_argument("the channels and their samples do not match");
    for (const ChannelSettings& channel : signals_.channels) {
        channelInfo_.push_back(channel);
        // What the recorder's channel records hold.
        channelInfo_.back().title.resize(std::min<size_t>(channelInfo_.back().title.size(), 255));
        channelInfo_.back().units.resize(std::min<size_t>(channelInfo_.back().units.size(), 15));
    }
}

size_t SignalSetSource::Read(size_t frames, std::span<float* const> channels)
{
    if (channels.size() != signals_.channels.size())
        throw std::invalid_argument("Read: " + std::to_string(channels.size()) + " buffers for " +
                                    std::to_string(signals_.channels.size()) + " channels");
    size_t count = std::min(frames, Remaining());
    for (size_t c = 0; c < channels.size() && count > 0; ++c)
        signals_.samples->Read(c, int64_t(position_), count, channels[c]);
    position_ += count;
    return count;
}
