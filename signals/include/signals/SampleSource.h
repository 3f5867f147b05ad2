// Where sampled data comes from: synthetic signals, a recording file, a test's
// arrays. The recorder pulls one batch at a time while it samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// How one channel is named and shown when the recorder takes it over.
struct ChannelSettings {
    std::string title;         // shown as the axis title; up to 255 bytes
    std::string units;         // up to 15 bytes
    double displayLow = -1.0;  // the range the channel is shown with
    double displayHigh = 1.0;
    int16_t decimals = 2;  // digits after the point in scale labels
};

class SampleSource {
public:
    static constexpr int kMaxChannels = 32;  // the batch record has 32 channel slots

    virtual ~SampleSource() = default;

    // The channels, channel 1 first; 1 to kMaxChannels of them, fixed for the
    // source's lifetime.
    virtual const std::vector<ChannelSettings>& Channels() const = 0;

    // Seconds between two samples; positive.
    virtual double SampleInterval() const = 0;

    // Writes up to `frames` consecutive samples of every channel:
    // channels[m] has room for `frames` floats of channel m + 1, and
    // channels.size() == Channels().size(). Returns how many frames were
    // written; fewer than asked only when the source is exhausted (0 at its
    // end), or, for a live feed (SampleFeed), when no more has arrived yet.
    // Called on the recorder's thread; must not allocate per call in a
    // live source, since it runs once per batch. Throws on a read error, with
    // a message that names the file and position at fault.
    virtual size_t Read(size_t frames, std::span<float* const> channels) = 0;
};
