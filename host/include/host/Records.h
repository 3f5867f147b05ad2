// The records a host and its extensions exchange, with their exact sizes and
// offsets, and the channel count they are built around. Header-only; compiles
// on its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/Messages.h"

// Channels are numbered 1 to 32: a batch has a slot for each, and an axis
// popup lists at most this many channel items.
constexpr int kHostChannelCount = 32;

// Where a sample lies: block number and index within the block.
struct SampleLocation {
    int16_t block;
    int16_t index;
};
static_assert(sizeof(SampleLocation) == 4);

// A channel's display settings (118 bytes). Extensions treat it as opaque but
// for byte 44 and the part from byte 46 on, which HostInitInfoPart initialises.
struct ChannelInfoRecord {
    static constexpr int kFlagByte = 44;
    static constexpr int kInfoPart = 46;
    uint8_t bytes[118];
};
static_assert(sizeof(ChannelInfoRecord) == 118);

// A range of recorded samples (400 bytes).
struct SampleRange {
    uint8_t hostHeader[8];
    int32_t startSample;  // +8
    int32_t endSample;    // +12: the last sample of the range, inclusive
    uint8_t hostRest[384];
};
static_assert(sizeof(SampleRange) == 400);
static_assert(offsetof(SampleRange, startSample) == 8);
static_assert(offsetof(SampleRange, endSample) == 12);

// Sampling information (72 bytes); sampleInterval is an unaligned double at 42.
struct SamplingInfo {
    static constexpr int kSampleIntervalOffset = 42;
    uint8_t bytes[72];
    double SampleInterval() const { return BlockField<double>(bytes, kSampleIntervalOffset); }
    void SetSampleInterval(double seconds) { SetBlockField(bytes, kSampleIntervalOffset, seconds); }
};
static_assert(sizeof(SamplingInfo) == 72);

// One batch of new samples (notification kind 310): an i16 count at byte 0,
// then at byte 4 x m (channels m = 1..32) the 32-bit address of channel m's
// count floats, or 0 when the batch has no data for that channel. Read with
// these two functions, at any alignment.
inline int16_t SampleBatchCount(const void* batch)
{
    return BlockField<int16_t>(static_cast<const uint8_t*>(batch), 0);
}

// Channel m's samples, or null when m is outside 1..32 or the slot is empty.
inline const float* SampleBatchChannel(const void* batch, int channel)
{
    if (channel < 1 || channel > kHostChannelCount) return nullptr;
    return BlockReference<const float*>(static_cast<const uint8_t*>(batch), 4 * channel);
}

// The batch as a host builds it.
struct SampleBatch {
    int16_t count;
    uint16_t hostReserved;
    uint32_t channelData[kHostChannelCount];

    const float* Samples(int channel) const { return SampleBatchChannel(this, channel); }
};
static_assert(sizeof(SampleBatch) == 132);
static_assert(offsetof(SampleBatch, channelData) == 4);

// An extension command delivered with message 8.
struct CommandRecord {
    uint16_t hostReserved;
    int16_t kind;           // +2: the extension's local command number
    uint32_t axisSelector;  // +4: kind 2: 0 = X axis, else Y axis
    union {
        int16_t channel;  // +8: kind 2
        double minutes;   // +8: kind 1; the sign carries the automatic-erase switch
    };
};
static_assert(sizeof(CommandRecord) == 16);
static_assert(offsetof(CommandRecord, kind) == 2);
static_assert(offsetof(CommandRecord, axisSelector) == 4);
static_assert(offsetof(CommandRecord, channel) == 8);
static_assert(offsetof(CommandRecord, minutes) == 8);

// Reading a command record the host hands over, at any alignment; each kind
// reads only its own bytes.
inline int16_t CommandKind(const void* command) { return BlockField<int16_t>(static_cast<const uint8_t*>(command), 2); }
inline uint32_t CommandAxisSelector(const void* command)
{
    return BlockField<uint32_t>(static_cast<const uint8_t*>(command), 4);
}
inline int16_t CommandChannel(const void* command)
{
    return BlockField<int16_t>(static_cast<const uint8_t*>(command), 8);
}
inline double CommandMinutes(const void* command)
{
    return BlockField<double>(static_cast<const uint8_t*>(command), 8);
}
