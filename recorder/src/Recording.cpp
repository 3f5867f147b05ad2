// The recording: channels, blocks of samples and where they live (the open
// block, the cache, the stores), ranges.
#include "recorder/Recording.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>

#include "SampleSpool.h"
#include "toolbox/Memory.h"

namespace {

// What a range record stands for, in its first four host bytes.
enum RangeKind : uint32_t { kSelectionRange = 1, kNoSelectionRange = 2, kWholeRecordingRange = 3 };
constexpr int kRangeKindOffset = 0;
constexpr int kRangeGenerationOffset = 4;

// The data source token: a low-zone word, so that its address fits 32 bits too.
constexpr uint32_t kSourceMagic = 0x52656364;  // "Recd"

}  // namespace

Recording::Recording()
    : source_(reinterpret_cast<DataSourceRef>(LowNew<uint32_t>(kSourceMagic))),
      spoolMemoryBytes_(SampleSpool::kDefaultMemoryBytes)
{}

Recording::~Recording()
{
    DisposeBlocks();
    LowDelete(reinterpret_cast<uint32_t*>(source_));
}

void Recording::DisposeBlocks()
{
    for (Block& block : blocks_)
        for (Handle h : block.open)
            if (h) DisposeHandle(h);
    blocks_.clear();
    for (auto& [key, cached] : cache_) DisposeHandle(cached.data);
    cache_.clear();
    cacheAge_.clear();
    cachedBytes_ = 0;
    stores_.clear();
    spool_.reset();
    spoolStore_ = -1;
}

// ---- Channels ----

int16_t Recording::AddChannel(const ChannelSettings& settings)
{
    if (channels_.size() >= size_t(kHostChannelCount))
        throw std::length_error("a recording has at most " + std::to_string(kHostChannelCount) + " channels");
    channels_.push_back({settings, 0});
    // Within a block every channel has data for all of its samples or none.
    if (!blocks_.empty() && blocks_.back().length > 0) lastBlockOpen_ = false;
    return int16_t(channels_.size());
}

const ChannelSettings& Recording::Channel(int16_t channel) const
{
    if (channel < 1 || channel > ChannelCount())
        throw std::out_of_range("no channel " + std::to_string(channel) + " (the recording has " +
                                std::to_string(ChannelCount()) + ")");
    return channels_[size_t(channel - 1)].settings;
}

void Recording::SetChannel(int16_t channel, const ChannelSettings& settings)
{
    Channel(channel);  // range check
    ChannelState& state = channels_[size_t(channel - 1)];
    state.settings = settings;
    ++state.generation;
    if (blocks_.empty()) return;
    Block& last = blocks_.back();
    if (last.length > 0) {
        lastBlockOpen_ = false;
    } else if (size_t(channel - 1) < last.info->size()) {
        auto infos = std::make_shared<ChannelInfos>(*last.info);
        (*infos)[size_t(channel - 1)] = InfoFor(channel);
        last.info = std::move(infos);
    }
}

ChannelInfoRecord Recording::InfoFor(int16_t channel) const
{
    ChannelInfoRecord record{};
    ChannelDisplay display;
    display.channel = channel;
    if (channel >= 1 && channel <= ChannelCount()) {
        const ChannelState& state = channels_[size_t(channel - 1)];
        display.describesChannel = true;
        display.units = state.settings.units;
        display.displayLow = state.settings.displayLow;
        display.displayHigh = state.settings.displayHigh;
        display.decimals = state.settings.decimals;
        display.generation = state.generation;
    }
    EncodeChannelDisplay(display, record);
    return record;
}

std::shared_ptr<const Recording::ChannelInfos> Recording::CurrentInfos() const
{
    auto infos = std::make_shared<ChannelInfos>();
    infos->reserve(channels_.size());
    for (int16_t m = 1; m <= ChannelCount(); ++m) infos->push_back(InfoFor(m));
    return infos;
}

ChannelInfoRecord Recording::LiveChannelInfo(int16_t channel) const { return InfoFor(channel); }

// ---- Blocks ----

Recording::Block& Recording::NewBlock()
{
    if (blocks_.size() >= size_t(kMaxBlocks))
        throw std::length_error("the recording is full: " + std::to_string(kMaxBlocks) + " blocks");
    CompleteLastBlock();
    blocks_.emplace_back();
    Block& block = blocks_.back();
    block.start = sampleCount_;
    block.open.assign(channels_.size(), nullptr);
    block.info = CurrentInfos();
    lastBlockOpen_ = true;
    return block;
}

void Recording::BeginBlock()
{
    if (!blocks_.empty() && blocks_.back().length == 0 && !BlockIsLocked(int16_t(blocks_.size() - 1))) {
        // Reuse the empty block, with today's settings.
        Block& last = blocks_.back();
        for (Handle h : last.open)
            if (h) DisposeHandle(h);
        ForgetCached(int16_t(blocks_.size() - 1));
        last.open.assign(channels_.size(), nullptr);
        last.kept.clear();
        last.info = CurrentInfos();
        lastBlockOpen_ = true;
        return;
    }
    NewBlock();
}

void Recording::CompleteLastBlock()
{
    if (blocks_.empty() || blocks_.back().open.empty()) return;
    Block& last = blocks_.back();
    auto number = int16_t(blocks_.size() - 1);
    if (last.length > 0) {
        if (!spool_) {
            spool_ = std::make_shared<SampleSpool>(spoolMemoryBytes_, spoolFolder_);
            spoolStore_ = int32_t(stores_.size());
            stores_.push_back(spool_);
        }
        // Every channel is spooled before the block changes, so that a full
        // disk leaves it open and whole.
        std::vector<Kept> kept(last.open.size());
        try {
            for (size_t m = 0; m < last.open.size(); ++m) {
                if (!last.open[m]) continue;
                int64_t at = spool_->Write(reinterpret_cast<const float*>(*last.open[m]), size_t(last.length));
                kept[m] = Kept{spoolStore_, 0, at};
            }
        } catch (const SpoolError& error) {
            throw RecordingStoreError(error.what());
        }
        last.kept = std::move(kept);
    }
    // Its floats stay in the low zone as cached blocks, locked ones too.
    for (size_t m = 0; m < last.open.size(); ++m) {
        Handle h = last.open[m];
        if (!h) continue;
        if (last.length > 0)
            Cache({number, int16_t(m + 1)}, h);
        else
            DisposeHandle(h);
    }
    last.open.clear();
    TrimCache(cacheLimit_, false);
}

bool Recording::BlockIsLocked(int16_t block) const
{
    if (lockedCount_ == 0) return false;
    for (const auto& [key, count] : locks_)
        if (key.first == block && count > 0) return true;
    return false;
}

bool Recording::IsLocked(BlockChannel key) const
{
    auto found = locks_.find(key);
    return found != locks_.end() && found->second > 0;
}

Recording::Block& Recording::BlockForAppend(std::span<const float* const> channels)
{
    if (!blocks_.empty() && lastBlockOpen_) {
        Block& last = blocks_.back();
        bool fits = last.length < kMaxBlockLength && last.open.size() == channels_.size() &&
                    !BlockIsLocked(int16_t(blocks_.size() - 1));
        if (fits && last.length > 0) {
            // The channels with data stay the same within a block.
            for (size_t m = 0; m < last.open.size() && fits; ++m) {
                bool hasData = m < channels.size() && channels[m];
                fits = hasData == (last.open[m] != nullptr);
            }
        }
        if (fits) return last;
    }
    if (!blocks_.empty() && blocks_.back().length == 0 && !BlockIsLocked(int16_t(blocks_.size() - 1))) {
        BeginBlock();
        return blocks_.back();
    }
    return NewBlock();
}

void Recording::Append(std::span<const float* const> channels, size_t frames)
{
    size_t done = 0;
    while (done < frames) {
        Block& block = BlockForAppend(channels);
        size_t room = size_t(kMaxBlockLength - block.length);
        size_t n = std::min(room, frames - done);
        size_t newBytes = (size_t(block.length) + n) * sizeof(float);
        // Grow every channel first, so that a failure leaves the block as it was.
        size_t grown = 0;
        for (; grown < block.open.size(); ++grown) {
            if (grown >= channels.size() || !channels[grown]) continue;
            Handle& h = block.open[grown];
            if (!h) {
                // Room for the whole block at once: growing it batch by batch
                // would move (and fill) it again and again.
                h = NewHandle(Size(size_t(kMaxBlockLength) * sizeof(float)));
                if (!h) break;
                SetHandleSize(h, 0);
            }
            SetHandleSize(h, Size(newBytes));
            if (MemError() != noErr) break;
        }
        if (grown < block.open.size()) {
            for (size_t m = 0; m < grown; ++m) {
                if (m >= channels.size() || !channels[m]) continue;
                if (block.length == 0) {
                    DisposeHandle(block.open[m]);
                    block.open[m] = nullptr;
                } else {
                    SetHandleSize(block.open[m], Size(size_t(block.length) * sizeof(float)));
                }
            }
            throw std::bad_alloc();
        }
        for (size_t m = 0; m < block.open.size(); ++m) {
            if (m >= channels.size() || !channels[m]) continue;
            auto* floats = reinterpret_cast<float*>(*block.open[m]);
            std::memcpy(floats + block.length, channels[m] + done, n * sizeof(float));
        }
        block.length += int32_t(n);
        sampleCount_ += int32_t(n);
        done += n;
    }
}

void Recording::AppendStored(std::shared_ptr<const SampleStore> store)
{
    if (!store) throw std::invalid_argument("no store");
    if (store->ChannelCount() > channels_.size())
        throw std::invalid_argument("the store has " + std::to_string(store->ChannelCount()) +
                                    " channels, the recording " + std::to_string(channels_.size()));
    int64_t frames = store->FrameCount();
    int64_t blocks = (frames + kMaxBlockLength - 1) / kMaxBlockLength;
    if (frames > int64_t(INT32_MAX) - sampleCount_ || blocks > int64_t(kMaxBlocks) - int64_t(blocks_.size()))
        throw std::length_error("the recording can't take " + std::to_string(frames) +
                                " samples more: it holds at most " + std::to_string(kMaxBlocks) + " blocks of " +
                                std::to_string(kMaxBlockLength));
    if (frames == 0) return;
    CompleteLastBlock();
    auto number = int32_t(stores_.size());
    stores_.push_back(std::move(store));
    std::shared_ptr<const ChannelInfos> infos = CurrentInfos();
    for (int64_t first = 0; first < frames; first += kMaxBlockLength) {
        Block block;
        block.start = sampleCount_;
        block.length = int32_t(std::min<int64_t>(kMaxBlockLength, frames - first));
        block.kept.resize(channels_.size());
        for (size_t m = 0; m < stores_.back()->ChannelCount(); ++m) block.kept[m] = Kept{number, uint32_t(m), first};
        block.info = infos;
        blocks_.push_back(std::move(block));
        sampleCount_ += blocks_.back().length;
    }
    lastBlockOpen_ = false;
}

const Recording::Block* Recording::FindBlock(int16_t block) const
{
    if (block < 0 || size_t(block) >= blocks_.size()) return nullptr;
    return &blocks_[size_t(block)];
}

Recording::Block* Recording::FindBlock(int16_t block)
{
    return const_cast<Block*>(static_cast<const Recording*>(this)->FindBlock(block));
}

int16_t Recording::BlockLength(int16_t block) const
{
    const Block* b = FindBlock(block);
    return b ? int16_t(b->length) : 0;
}

int32_t Recording::BlockStart(int16_t block) const
{
    const Block* b = FindBlock(block);
    return b ? b->start : sampleCount_;
}

SampleLocation Recording::Locate(int32_t position) const
{
    if (sampleCount_ == 0) return {0, 0};
    position = std::clamp(position, int32_t(0), sampleCount_ - 1);
    // The last block that starts at or before the position; empty blocks share
    // their start with the next one, so this is never an empty block.
    auto next = std::upper_bound(blocks_.begin(), blocks_.end(), position,
                                 [](int32_t p, const Block& b) { return p < b.start; });
    auto found = next - 1;
    return {int16_t(found - blocks_.begin()), int16_t(position - found->start)};
}

std::optional<float> Recording::Sample(int16_t channel, int32_t position) const
{
    if (position < 0 || position >= sampleCount_) return std::nullopt;
    SampleLocation where = Locate(position);
    const Block* b = FindBlock(where.block);
    if (!b || channel < 1 || !b->HasData(size_t(channel - 1))) return std::nullopt;
    size_t m = size_t(channel - 1);
    if (!b->open.empty()) return reinterpret_cast<const float*>(*b->open[m])[where.index];
    if (auto cached = cache_.find({where.block, channel}); cached != cache_.end())
        return reinterpret_cast<const float*>(*cached->second.data)[where.index];
    const Kept& kept = b->kept[m];
    float value;
    try {
        stores_[size_t(kept.store)]->Read(kept.channel, kept.first + where.index, 1, &value);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return value;
}

Handle Recording::LockBlockData(int16_t channel, int16_t block)
{
    ++locks_[{block, channel}];
    ++lockedCount_;
    Block* b = FindBlock(block);
    if (!b || channel < 1 || !b->HasData(size_t(channel - 1))) return nullptr;
    if (!b->open.empty()) {
        Handle h = b->open[size_t(channel - 1)];
        HLock(h);
        return h;
    }
    return LoadBlock({block, channel}, *b);
}

Handle Recording::LoadBlock(BlockChannel key, const Block& block)
{
    if (auto found = cache_.find(key); found != cache_.end()) {
        cacheAge_.splice(cacheAge_.end(), cacheAge_, found->second.age);
        HLock(found->second.data);
        return found->second.data;
    }
    auto bytes = Size(size_t(block.length) * sizeof(float));
    // Room first; an unlocked block on its way out is reused rather than freed
    // and allocated again.
    Handle h = TrimCache(cacheLimit_ > size_t(bytes) ? cacheLimit_ - size_t(bytes) : 0, true);
    if (h) {
        SetHandleSize(h, bytes);
        if (MemError() != noErr) {
            DisposeHandle(h);
            h = nullptr;
        }
    }
    if (!h) h = NewHandle(bytes);
    if (!h) {
        TrimCache(0, false);  // the low zone is full: nothing cached is worth more than this lock
        h = NewHandle(bytes);
    }
    if (!h) {
        if (loadFailure_.empty())
            loadFailure_ =
                "block " + std::to_string(key.first) + " can't be placed in the memory below 4 GiB: it is full";
        return nullptr;
    }
    const Kept& kept = block.kept[size_t(key.second - 1)];
    try {
        stores_[size_t(kept.store)]->Read(kept.channel, kept.first, size_t(block.length), reinterpret_cast<float*>(*h));
    } catch (const std::exception& error) {
        DisposeHandle(h);
        if (loadFailure_.empty()) loadFailure_ = error.what();
        return nullptr;
    }
    Cache(key, h);
    HLock(h);
    return h;
}

void Recording::Cache(BlockChannel key, Handle data)
{
    if (auto stale = cache_.find(key); stale != cache_.end()) {
        cachedBytes_ -= size_t(GetHandleSize(stale->second.data));
        DisposeHandle(stale->second.data);
        cacheAge_.erase(stale->second.age);
        cache_.erase(stale);
    }
    cacheAge_.push_back(key);
    cache_[key] = Cached{data, std::prev(cacheAge_.end())};
    cachedBytes_ += size_t(GetHandleSize(data));
}

Handle Recording::TrimCache(size_t limit, bool reuse)
{
    Handle kept = nullptr;
    for (auto age = cacheAge_.begin(); age != cacheAge_.end() && cachedBytes_ > limit;) {
        BlockChannel key = *age;
        if (IsLocked(key)) {
            ++age;
            continue;
        }
        auto found = cache_.find(key);
        cachedBytes_ -= size_t(GetHandleSize(found->second.data));
        if (kept) DisposeHandle(kept);
        kept = found->second.data;
        age = cacheAge_.erase(age);
        cache_.erase(found);
    }
    if (kept && !reuse) {
        DisposeHandle(kept);
        kept = nullptr;
    }
    return kept;
}

void Recording::ForgetCached(int16_t block)
{
    for (auto found = cache_.lower_bound({block, INT16_MIN}); found != cache_.end() && found->first.first == block;) {
        cachedBytes_ -= size_t(GetHandleSize(found->second.data));
        DisposeHandle(found->second.data);
        cacheAge_.erase(found->second.age);
        found = cache_.erase(found);
    }
}

void Recording::SetCacheLimit(size_t bytes)
{
    cacheLimit_ = bytes;
    TrimCache(cacheLimit_, false);
}

void Recording::SetSpool(size_t memoryBytes, const std::filesystem::path& folder)
{
    spoolMemoryBytes_ = memoryBytes;
    spoolFolder_ = folder;
}

void Recording::UnlockBlockData(int16_t channel, int16_t block)
{
    auto found = locks_.find({block, channel});
    if (found == locks_.end()) {
        ++unbalancedUnlocks_;
        return;
    }
    --lockedCount_;
    if (--found->second > 0) return;
    locks_.erase(found);
    Block* b = FindBlock(block);
    if (!b || channel < 1 || !b->HasData(size_t(channel - 1))) return;
    if (!b->open.empty()) {
        HUnlock(b->open[size_t(channel - 1)]);
    } else if (auto cached = cache_.find({block, channel}); cached != cache_.end()) {
        HUnlock(cached->second.data);
        TrimCache(cacheLimit_, false);
    }
}

ChannelInfoRecord Recording::BlockChannelInfo(int16_t channel, int16_t block) const
{
    const Block* b = FindBlock(block);
    if (b && channel >= 1 && size_t(channel) <= b->info->size()) return (*b->info)[size_t(channel - 1)];
    ChannelInfoRecord absent{};
    ChannelDisplay display;
    display.channel = channel;
    EncodeChannelDisplay(display, absent);
    return absent;
}

// ---- Ranges ----

void Recording::Select(int32_t first, int32_t last)
{
    if (first < 0 || first > last || last >= sampleCount_)
        throw std::out_of_range("selection " + std::to_string(first) + ".." + std::to_string(last) +
                                " is not inside the recording of " + std::to_string(sampleCount_) + " samples");
    selection_ = {first, last};
}

SampleRange Recording::MakeRange(int32_t first, int32_t last, uint32_t kind) const
{
    SampleRange range;
    std::memset(&range, 0, sizeof range);
    SetBlockField<uint32_t>(range.hostHeader, kRangeKindOffset, kind);
    SetBlockField<uint32_t>(range.hostHeader, kRangeGenerationOffset, contentsGeneration_);
    range.startSample = first;
    range.endSample = last;
    return range;
}

SampleRange Recording::RangeA() const
{
    if (selection_) return MakeRange(selection_->first, selection_->second, kSelectionRange);
    return MakeRange(0, sampleCount_ - 1, kNoSelectionRange);
}

SampleRange Recording::RangeB() const { return MakeRange(0, sampleCount_ - 1, kWholeRecordingRange); }

bool Recording::RangeCheckA(const SampleRange& range) const
{
    return range.startSample >= 0 && range.startSample <= range.endSample && range.endSample < sampleCount_;
}

bool Recording::RangeCheckB(const SampleRange& range) const
{
    return BlockField<uint32_t>(range.hostHeader, kRangeGenerationOffset) == contentsGeneration_;
}

bool Recording::RangeCheckC(const SampleRange& range) const
{
    return BlockField<uint32_t>(range.hostHeader, kRangeKindOffset) == kSelectionRange && selection_ &&
           range.startSample == selection_->first && range.endSample == selection_->second;
}

void Recording::Clear()
{
    if (lockedCount_ > 0) throw std::logic_error("the recording can't be cleared while block data is locked");
    DisposeBlocks();
    channels_.clear();
    sampleCount_ = 0;
    selection_.reset();
    lastBlockOpen_ = false;
    ++contentsGeneration_;
}
