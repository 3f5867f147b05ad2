// A recording played as a source of samples: a recording file (read from
// where it is stored, a run at a time) or the built-in demo, from its first
// sample on, batch after batch, until it ends.
#pragma once

#include "signals/SampleSource.h"
#include "signals/Signals.h"
#include "signals/StoredSignals.h"

class SignalSetSource : public SampleSource {
public:
    // Throws std::invalid_argument for no channels, more than kMaxChannels, or
    // channels of different lengths.
    explicit SignalSetSource(StoredSignals signals);
    explicit SignalSetSource(SignalSet signals) : SignalSetSource(StoreInMemory(std::move(signals))) {}

    const std::vector<ChannelSettings>& Channels() const override { return channelInfo_; }
    double SampleInterval() const override { return signals_.sampleInterval; }
    size_t Read(size_t frames, std::span<float* const> channels) override;

    const StoredSignals& Signals() const { return signals_; }
    size_t Position() const { return position_; }
    size_t Remaining() const { return signals_.SampleCount() - position_; }
    void Rewind() { position_ = 0; }

private:
    StoredSignals signals_;
    std::vector<ChannelSettings> channelInfo_;
    size_t position_ = 0;
};
