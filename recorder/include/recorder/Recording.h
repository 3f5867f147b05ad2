// The recording: channels with their display settings, and the samples kept
// in blocks of at most 32767 samples. Each block keeps the channels' settings
// as they were when it began.
//
// Samples are kept once, where they are cheapest: a recorded file stays in
// its store (a mapped file), and samples taken while sampling go to the
// recording's spool (memory, then a temporary file) once their block is
// complete. Only the block that samples are appended to lives in the low zone
// all the time. Any other block is placed there, as a Memory Manager handle
// of its floats, when its data are locked; unlocked, it stays in a cache of
// at most CacheLimit() bytes (least recently used first out) and is loaded
// again when it has left. So the low zone holds the open block, what is
// locked and the cache, and a recording's size is limited by the disk.
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
#include <filesystem>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "host/HostServices.h"
#include "recorder/ChannelInfo.h"
#include "signals/SampleSource.h"
#include "signals/StoredSignals.h"

class SampleSpool;

// Samples could not be kept: the spool's disk is full or can't be written.
// The recording holds what it held before the append.
struct RecordingStoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Recording {
public:
    static constexpr int32_t kMaxBlockLength = 32767;
    static constexpr int32_t kMaxBlocks = 32767;
    static constexpr size_t kDefaultCacheBytes = size_t(32) << 20;

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
    // std::length_error when the recording is full (32767 blocks),
    // std::bad_alloc when the low zone is, and RecordingStoreError when a
    // complete block can't be spooled.
    void Append(std::span<const float* const> channels, size_t frames);
    // Appends a stored recording as one run of recorded data, without copying
    // a sample: channel m + 1 takes the store's channel m; channels beyond the
    // store's have no data. Throws std::invalid_argument when the store has
    // more channels than the recording, std::length_error when the samples
    // would pass 32767 blocks or 2^31 samples.
    void AppendStored(std::shared_ptr<const SampleStore> store);

    int32_t SampleCount() const { return sampleCount_; }
    int16_t BlockCount() const { return int16_t(blocks_.size()); }
    int16_t BlockLength(int16_t block) const;  // 0 for a block that does not exist
    int32_t BlockStart(int16_t block) const;   // position of the block's first sample
    // Block and index of a sample position. Positions past the last sample
    // locate the last sample, negative ones the first: the extension asks for
    // one past the end while sampling runs.
    SampleLocation Locate(int32_t position) const;
    std::optional<float> Sample(int16_t channel, int32_t position) const;

    // The channel's floats of a block, locked; null when the block has no data
    // for the channel. Every lock, also one that gave null, needs an unlock.
    Handle LockBlockData(int16_t channel, int16_t block);
    void UnlockBlockData(int16_t channel, int16_t block);
    int LockedBlockCount() const { return lockedCount_; }  // locks not yet unlocked
    int UnbalancedUnlocks() const { return unbalancedUnlocks_; }
    // What the first block that could not be loaded said (a file cut short
    // while mapped, a read error); its locks gave null. Empty when none.
    const std::string& LoadFailure() const { return loadFailure_; }

    // ---- Where blocks live ----
    // Bytes of unlocked blocks kept in the low zone for the next lock.
    size_t CacheLimit() const { return cacheLimit_; }
    void SetCacheLimit(size_t bytes);
    size_t CachedBytes() const { return cachedBytes_; }  // locked blocks included
    // Where complete blocks of recorded samples go: memory up to memoryBytes,
    // then a temporary file in folder (empty: TMPDIR, else /tmp). Takes effect
    // for a recording that has spooled nothing yet.
    void SetSpool(size_t memoryBytes, const std::filesystem::path& folder);

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
    // Where a complete block keeps one channel's samples.
    struct Kept {
        int32_t store = -1;  // in stores_; -1: the block has no data for the channel
        uint32_t channel = 0;
        int64_t first = 0;  // the store's frame of the block's first sample
    };
    using ChannelInfos = std::vector<ChannelInfoRecord>;
    struct Block {
        int32_t start = 0;
        int32_t length = 0;
        // The block samples are appended to: per channel its floats in the
        // low zone, null when none. Empty once the block is complete.
        std::vector<Handle> open;
        std::vector<Kept> kept;                    // a complete block's samples, per channel
        std::shared_ptr<const ChannelInfos> info;  // per channel, at the block's start; shared by a stored run
        bool HasData(size_t m) const
        {
            return open.empty() ? m < kept.size() && kept[m].store >= 0 : m < open.size() && open[m];
        }
    };
    using BlockChannel = std::pair<int16_t, int16_t>;  // (block, channel)
    // A complete block's floats in the low zone: locked, or cached for the next lock.
    struct Cached {
        Handle data;
        std::list<BlockChannel>::iterator age;  // in cacheAge_
    };

    ChannelInfoRecord InfoFor(int16_t channel) const;
    std::shared_ptr<const ChannelInfos> CurrentInfos() const;
    Block& NewBlock();
    Block& BlockForAppend(std::span<const float* const> channels);
    // Spools the last block's samples if it is still open; its handles join the cache.
    void CompleteLastBlock();
    bool BlockIsLocked(int16_t block) const;
    bool IsLocked(BlockChannel key) const;
    const Block* FindBlock(int16_t block) const;
    Block* FindBlock(int16_t block);
    Handle LoadBlock(BlockChannel key, const Block& block);
    void Cache(BlockChannel key, Handle data);
    // Unlocked cached blocks out, oldest first, until the cache holds at most
    // limit bytes; the last one taken out is given back when reuse is asked.
    Handle TrimCache(size_t limit, bool reuse);
    void ForgetCached(int16_t block);
    SampleRange MakeRange(int32_t first, int32_t last, uint32_t kind) const;
    void DisposeBlocks();

    std::vector<ChannelState> channels_;
    std::vector<Block> blocks_;
    bool lastBlockOpen_ = false;  // the last block still takes samples with its settings
    int32_t sampleCount_ = 0;
    std::optional<std::pair<int32_t, int32_t>> selection_;
    uint32_t contentsGeneration_ = 1;
    std::map<BlockChannel, int> locks_;  // locks held
    int lockedCount_ = 0;
    int unbalancedUnlocks_ = 0;
    DataSourceRef source_;

    std::vector<std::shared_ptr<const SampleStore>> stores_;
    std::shared_ptr<SampleSpool> spool_;  // made when the first block is complete
    int32_t spoolStore_ = -1;             // its place in stores_
    size_t spoolMemoryBytes_;
    std::filesystem::path spoolFolder_;
    std::map<BlockChannel, Cached> cache_;
    std::list<BlockChannel> cacheAge_;  // least recently used first
    size_t cachedBytes_ = 0;
    size_t cacheLimit_ = kDefaultCacheBytes;
    std::string loadFailure_;
};
