// The recording: channels, blocks of samples in low-zone handles, ranges.
#include "recorder/Recording.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "toolbox/Memory.h"

namespace {

// What a range record stands for, in its first four host bytes.
enum RangeKind : uint32_t { kSelectionRange = 1, kNoSelectionRange = 2, kWholeRecordingRange = 3 };
constexpr int kRangeKindOffset = 0;
constexpr int kRangeGenerationOffset = 4;

// The data source token: a low-zone word, so that its address fits 32 bits too.
constexpr uint32_t kSourceMagic = 0x52656364;  // "Recd"

}  // namespace

Recording::Recording() : source_(reinterpret_cast<DataSourceRef>(LowNew<uint32_t>(kSourceMagic))) {}

Recording::~Recording()
{
    DisposeBlocks();
    LowDelete(reinterpret_cast<uint32_t*>(source_));
}

void Recording::DisposeBlocks()
{
    for (Block& block : blocks_)
        for (Handle h : block.data)
            if (h) DisposeHandle(h);
    blocks_.clear();
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
    } else if (size_t(channel - 1) < last.info.size()) {
        last.info[size_t(channel - 1)] = InfoFor(channel);
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

ChannelInfoRecord Recording::LiveChannelInfo(int16_t channel) const { return InfoFor(channel); }

// ---- Blocks ----

Recording::Block& Recording::NewBlock()
{
    if (blocks_.size() >= size_t(kMaxBlocks))
        throw std::length_error("the recording is full: " + std::to_string(kMaxBlocks) + " blocks");
    blocks_.emplace_back();
    Block& block = blocks_.back();
    block.start = sampleCount_;
    block.data.assign(channels_.size(), nullptr);
    block.info.reserve(channels_.size());
    for (int16_t m = 1; m <= ChannelCount(); ++m) block.info.push_back(InfoFor(m));
    lastBlockOpen_ = true;
    return block;
}

void Recording::BeginBlock()
{
    if (!blocks_.empty() && blocks_.back().length == 0 && !BlockIsLocked(int16_t(blocks_.size() - 1))) {
        // Reuse the empty block, with today's settings.
        Block& last = blocks_.back();
        for (Handle h : last.data)
            if (h) DisposeHandle(h);
        last.data.assign(channels_.size(), nullptr);
        last.info.clear();
        for (int16_t m = 1; m <= ChannelCount(); ++m) last.info.push_back(InfoFor(m));
        lastBlockOpen_ = true;
        return;
    }
    NewBlock();
}

bool Recording::BlockIsLocked(int16_t block) const
{
    if (lockedCount_ == 0) return false;
    for (const auto& [key, count] : locks_)
        if (key.first == block && count > 0) return true;
    return false;
}

Recording::Block& Recording::BlockForAppend(std::span<const float* const> channels)
{
    if (!blocks_.empty() && lastBlockOpen_) {
        Block& last = blocks_.back();
        bool fits = last.length < kMaxBlockLength && last.data.size() == channels_.size() &&
                    !BlockIsLocked(int16_t(blocks_.size() - 1));
        if (fits && last.length > 0) {
            // The channels with data stay the same within a block.
            for (size_t m = 0; m < last.data.size() && fits; ++m) {
                bool hasData = m < channels.size() && channels[m];
                fits = hasData == (last.data[m] != nullptr);
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
        for (; grown < block.data.size(); ++grown) {
            if (grown >= channels.size() || !channels[grown]) continue;
            Handle& h = block.data[grown];
            if (!h) {
                h = NewHandle(0);
                if (!h) break;
            }
            SetHandleSize(h, Size(newBytes));
            if (MemError() != noErr) break;
        }
        if (grown < block.data.size()) {
            for (size_t m = 0; m < grown; ++m) {
                if (m >= channels.size() || !channels[m]) continue;
                if (block.length == 0) {
                    DisposeHandle(block.data[m]);
                    block.data[m] = nullptr;
                } else {
                    SetHandleSize(block.data[m], Size(size_t(block.length) * sizeof(float)));
                }
            }
            throw std::bad_alloc();
        }
        for (size_t m = 0; m < block.data.size(); ++m) {
            if (m >= channels.size() || !channels[m]) continue;
            auto* floats = reinterpret_cast<float*>(*block.data[m]);
            std::memcpy(floats + block.length, channels[m] + done, n * sizeof(float));
        }
        block.length += int32_t(n);
        sampleCount_ += int32_t(n);
        done += n;
    }
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
    if (!b || channel < 1 || size_t(channel) > b->data.size() || !b->data[size_t(channel - 1)]) return std::nullopt;
    return reinterpret_cast<const float*>(*b->data[size_t(channel - 1)])[where.index];
}

Handle Recording::LockBlockData(int16_t channel, int16_t block)
{
    ++locks_[{block, channel}];
    ++lockedCount_;
    Block* b = FindBlock(block);
    if (!b || channel < 1 || size_t(channel) > b->data.size()) return nullptr;
    Handle h = b->data[size_t(channel - 1)];
    if (h) HLock(h);
    return h;
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
    if (b && channel >= 1 && size_t(channel) <= b->data.size() && b->data[size_t(channel - 1)])
        HUnlock(b->data[size_t(channel - 1)]);
}

ChannelInfoRecord Recording::BlockChannelInfo(int16_t channel, int16_t block) const
{
    const Block* b = FindBlock(block);
    if (b && channel >= 1 && size_t(channel) <= b->info.size()) return b->info[size_t(channel - 1)];
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
