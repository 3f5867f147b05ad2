// The recording: channels with their display settings, and the samples kept
// in blocks of at most 32767 samples. Each channel's floats of a block live in
// a Memory Manager handle in the low zone, so the data service can hand it out
// locked. Each block keeps the channels' settings as they were when it began.
//
// Ranges: range A is the user's selection, range B the whole recording. When
// no selection is set, range A spans the whole recording too but is marked as
// no selection, so HostRangeCheckC refuses it and the extension falls back on
// range B. The checks:
//   A: start <= end, start >= 0 and end < SampleCount() (non-empty, inside);
//   B: the range was issued for this recording's current contents (Clear()
//      makes earlier ranges stale);
//   C: the range is the user's selection, as it stands now.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "host/HostServices.h"
#include "recorder/ChannelInfo.h"
#include "signals/SampleSource.h"

class Recording {
public:
    static constexpr int32_t kMaxBlockLength = 32767;
    static constexpr int32_t kMaxBlocks = 32767;

    Recording();
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    // ---- Channels (numbered from 1) ----
    int16_t ChannelCount() const { return int16_t(channels_.size()); }
    // Adds a channel; blocks recorded before have no data for it. Returns its number.
    int16_t AddChannel(const ChannelSettings& settings);
    const ChannelSettings& Channel(int16_t channel) const;  // throws std::out_of_range
    // Changes a channel's settings; when the last block already holds samples,
    // the next samples go to a new block that carries the new settings.
    void SetChannel(int16_t channel, const ChannelSettings& settings);
    // Settings as shown now; a record that describes no channel for a channel
    // the recording lacks.
    ChannelInfoRecord LiveChannelInfo(int16_t channel) const;

    // ---- Blocks ----
    // Starts a new block carrying every channel's current settings. An empty
    // last block is reused instead.
    void BeginBlock();
    // Appends frames samples: channels[m] holds channel m + 1's floats, or is
    // null when there is none (the block then has no data for that channel, if
    // it had none so far). Starts new blocks at kMaxBlockLength. Throws
    // std::length_error when the recording is full (32767 blocks) and
    // std::bad_alloc when the low zone is.
    void Append(std::span<const float* const> channels, size_t frames);

    int32_t SampleCount() const { return sampleCount_; }
    int16_t BlockCount() const { return int16_t(blocks_.size()); }
    int16_t BlockLength(int16_t block) const;     // 0 for a block that does not exist
    int32_t BlockStart(int16_t block) const;      // position of the block's first sample
    // Block and index of a sample position. Positions past the last sample
    // locate the last sample, negative ones the first: the extension asks for
    // one past the end while sampling runs.
    SampleLocation Locate(int32_t position) const;
    std::optional<float> Sample(int16_t channel, int32_t position) const;

    // The channel's floats of a block, locked; null when the block has no data
    // for the channel. Every lock, also one that gave null, needs an unlock.
    Handle LockBlockData(int16_t channel, int16_t block);
    void UnlockBlockData(int16_t channel, int16_t block);
    int LockedBlockCount() const { return lockedCount_; }   // locks not yet unlocked
    int UnbalancedUnlocks() const { return unbalancedUnlocks_; }

    // The channel's settings when the block was recorded.
    ChannelInfoRecord BlockChannelInfo(int16_t channel, int16_t block) const;

    // ---- Ranges ----
    // Throws std::out_of_range unless 0 <= first <= last < SampleCount().
    void Select(int32_t first, int32_t last);
    void ClearSelection() { selection_.reset(); }
    std::optional<std::pair<int32_t, int32_t>> Selection() const { return selection_; }
    SampleRange RangeA() const;
    SampleRange RangeB() const;
    bool RangeCheckA(const SampleRange& range) const;
    bool RangeCheckB(const SampleRange& range) const;
    bool RangeCheckC(const SampleRange& range) const;

    // Forgets every block and channel (no lock may be held); earlier ranges become stale.
    void Clear();

    // The opaque reference the data services take.
    DataSourceRef Source() const { return source_; }

private:
    struct ChannelState {
        ChannelSettings settings;
        uint32_t generation = 0;
    };
    struct Block {
        int32_t start = 0;
        int32_t length = 0;
        std::vector<Handle> data;               // per channel; null when none
        std::vector<ChannelInfoRecord> info;    // per channel, at the block's start
    };

    ChannelInfoRecord InfoFor(int16_t channel) const;
    Block& NewBlock();
    Block& BlockForAppend(std::span<const float* const> channels);
    bool BlockIsLocked(int16_t block) const;
    const Block* FindBlock(int16_t block) const;
    Block* FindBlock(int16_t block);
    SampleRange MakeRange(int32_t first, int32_t last, uint32_t kind) const;
    void DisposeBlocks();

    std::vector<ChannelState> channels_;
    std::vector<Block> blocks_;
    bool lastBlockOpen_ = false;  // the last block still takes samples with its settings
    int32_t sampleCount_ = 0;
    std::optional<std::pair<int32_t, int32_t>> selection_;
    uint32_t contentsGeneration_ = 1;
    std::map<std::pair<int16_t, int16_t>, int> locks_;  // (block, channel) -> locks held
    int lockedCount_ = 0;
    int unbalancedUnlocks_ = 0;
    DataSourceRef source_;
};
