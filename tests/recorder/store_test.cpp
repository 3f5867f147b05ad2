// The recording store: blocks, locating samples, locking block data, per-block
// channel settings and the ranges A and B with their checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "recorder/Recording.h"
#include "toolbox/Memory.h"

namespace {

ChannelSettings Settings(const std::string& title, double low = -1.0, double high = 1.0)
{
    ChannelSettings settings;
    settings.title = title;
    settings.units = "V";
    settings.displayLow = low;
    settings.displayHigh = high;
    return settings;
}

// Appends n samples to every channel given, counting up from the recording's current count.
void AppendRamp(Recording& recording, size_t n, int channelsWithData)
{
    std::vector<std::vector<float>> data(static_cast<size_t>(channelsWithData));
    std::vector<const float*> pointers;
    for (int m = 0; m < channelsWithData; ++m) {
        data[size_t(m)].resize(n);
        for (size_t i = 0; i < n; ++i)
            data[size_t(m)][i] = float(recording.SampleCount() + int32_t(i)) + 0.25f * float(m);
        pointers.push_back(data[size_t(m)].data());
    }
    recording.Append(pointers, n);
}

}  // namespace

TEST(RecordingStore, SplitsBlocksAt32767AndLocatesEverySample)
{
    Recording recording;
    recording.AddChannel(Settings("A"));
    recording.BeginBlock();
    for (int batch = 0; batch < 70; ++batch) AppendRamp(recording, 1000, 1);
    ASSERT_EQ(recording.SampleCount(), 70000);
    ASSERT_EQ(recording.BlockCount(), 3);
    EXPECT_EQ(recording.BlockLength(0), 32767);
    EXPECT_EQ(recording.BlockLength(1), 32767);
    EXPECT_EQ(recording.BlockLength(2), 70000 - 2 * 32767);
    EXPECT_EQ(recording.BlockLength(3), 0);
    EXPECT_EQ(recording.BlockLength(-1), 0);

    auto located = [&](int32_t position) {
        SampleLocation l = recording.Locate(position);
        return std::make_pair(int(l.block), int(l.index));
    };
    EXPECT_EQ(located(0), std::make_pair(0, 0));
    EXPECT_EQ(located(32766), std::make_pair(0, 32766));
    EXPECT_EQ(located(32767), std::make_pair(1, 0));
    EXPECT_EQ(located(65534), std::make_pair(2, 0));
    EXPECT_EQ(located(69999), std::make_pair(2, 70000 - 65534 - 1));
    // One past the end (the live trace's end) and beyond give the last sample.
    EXPECT_EQ(located(70000), located(69999));
    EXPECT_EQ(located(INT32_MAX), located(69999));
    EXPECT_EQ(located(-3), std::make_pair(0, 0));

    // The data crossed the block boundaries intact.
    for (int32_t p : {0, 32766, 32767, 50000, 69999}) EXPECT_EQ(recording.Sample(1, p), float(p));
}

TEST(RecordingStore, EmptyRecordingLocatesAtOrigin)
{
    Recording recording;
    EXPECT_EQ(recording.Locate(0).block, 0);
    EXPECT_EQ(recording.Locate(5).index, 0);
    recording.AddChannel(Settings("A"));
    recording.BeginBlock();
    recording.BeginBlock();  // an empty block is reused, not stacked
    EXPECT_EQ(recording.BlockCount(), 1);
    EXPECT_EQ(recording.Locate(0).block, 0);
}

TEST(RecordingStore, EachRunStartsABlockAndEmptyBlocksAreNeverLocated)
{
    Recording recording;
    recording.AddChannel(Settings("A"));
    recording.BeginBlock();
    AppendRamp(recording, 10, 1);
    recording.BeginBlock();
    AppendRamp(recording, 5, 1);
    recording.BeginBlock();  // a run that never sampled
    ASSERT_EQ(recording.BlockCount(), 3);
    EXPECT_EQ(recording.BlockStart(1), 10);
    EXPECT_EQ(recording.Locate(10).block, 1);
    EXPECT_EQ(recording.Locate(14).block, 1);
    EXPECT_EQ(recording.Locate(15).block, 1);  // past the end: the last sample, not the empty block
    EXPECT_EQ(recording.Locate(15).index, 4);
}

TEST(RecordingStore, LockedDataIsTheBlocksFloatsAndLocksBalance)
{
    Recording recording;
    recording.AddChannel(Settings("A"));
    recording.AddChannel(Settings("B"));
    recording.BeginBlock();
    AppendRamp(recording, 100, 2);

    Handle h = recording.LockBlockData(2, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(HIsLocked(h));
    EXPECT_EQ(GetHandleSize(h), 100 * 4);
    EXPECT_LT(reinterpret_cast<uintptr_t>(*h), uintptr_t(1) << 32);
    const float* floats = reinterpret_cast<const float*>(*h);
    EXPECT_EQ(floats[0], 0.25f);
    EXPECT_EQ(floats[99], 99.25f);
    // A second lock of the same data (X and Y on one channel would not, but others may).
    EXPECT_EQ(recording.LockBlockData(2, 0), h);
    EXPECT_EQ(recording.LockedBlockCount(), 2);
    recording.UnlockBlockData(2, 0);
    EXPECT_TRUE(HIsLocked(h));
    recording.UnlockBlockData(2, 0);
    EXPECT_FALSE(HIsLocked(h));
    EXPECT_EQ(recording.LockedBlockCount(), 0);

    // Locks that give null still count; an unlock without a lock is caught.
    EXPECT_EQ(recording.LockBlockData(7, 0), nullptr);
    EXPECT_EQ(recording.LockBlockData(1, 12), nullptr);
    EXPECT_EQ(recording.LockedBlockCount(), 2);
    recording.UnlockBlockData(7, 0);
    recording.UnlockBlockData(1, 12);
    EXPECT_EQ(recording.UnbalancedUnlocks(), 0);
    recording.UnlockBlockData(1, 0);
    EXPECT_EQ(recording.UnbalancedUnlocks(), 1);
    EXPECT_EQ(recording.LockedBlockCount(), 0);
}

TEST(RecordingStore, AppendingWhileABlockIsLockedStartsANewBlock)
{
    Recording recording;
    recording.AddChannel(Settings("A"));
    recording.BeginBlock();
    AppendRamp(recording, 10, 1);
    Handle h = recording.LockBlockData(1, 0);
    char* before = *h;
    AppendRamp(recording, 5000, 1);
    EXPECT_EQ(*h, before);  // the locked block did not move
    EXPECT_EQ(recording.BlockCount(), 2);
    recording.UnlockBlockData(1, 0);
    EXPECT_EQ(recording.Sample(1, 5009), 5009.0f);
}

TEST(RecordingStore, ChannelAddedLaterHasNoDataInEarlierBlocks)
{
    Recording recording;
    recording.AddChannel(Settings("A"));
    recording.BeginBlock();
    AppendRamp(recording, 20, 1);
    recording.AddChannel(Settings("B"));
    AppendRamp(recording, 20, 2);
    ASSERT_EQ(recording.BlockCount(), 2);  // a block never mixes channels with and without data
    EXPECT_EQ(recording.LockBlockData(2, 0), nullptr);
    recording.UnlockBlockData(2, 0);
    Handle h = recording.LockBlockData(2, 1);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetHandleSize(h), 20 * 4);
    recording.UnlockBlockData(2, 1);
    EXPECT_FALSE(DecodeChannelDisplay(recording.BlockChannelInfo(2, 0)).describesChannel);
    EXPECT_TRUE(DecodeChannelDisplay(recording.BlockChannelInfo(2, 1)).describesChannel);

    // A run whose source lacks channel 2 leaves it without data too.
    AppendRamp(recording, 20, 1);
    EXPECT_EQ(recording.BlockCount(), 3);
    EXPECT_EQ(recording.LockBlockData(2, 2), nullptr);
    recording.UnlockBlockData(2, 2);
    EXPECT_EQ(recording.LockedBlockCount(), 0);
}

TEST(RecordingStore, BlocksKeepTheSettingsTheyWereRecordedWith)
{
    Recording recording;
    recording.AddChannel(Settings("A", -1.0, 1.0));
    recording.BeginBlock();
    AppendRamp(recording, 10, 1);
    recording.SetChannel(1, Settings("A", -5.0, 5.0));
    AppendRamp(recording, 10, 1);
    ASSERT_EQ(recording.BlockCount(), 2);

    ChannelInfoRecord first = recording.BlockChannelInfo(1, 0);
    ChannelInfoRecord second = recording.BlockChannelInfo(1, 1);
    ChannelInfoRecord live = recording.LiveChannelInfo(1);
    EXPECT_FALSE(SameChannelDisplay(first, second));
    EXPECT_TRUE(SameChannelDisplay(second, live));
    ChannelDisplay old = DecodeChannelDisplay(first);
    EXPECT_TRUE(old.describesChannel);
    EXPECT_EQ(old.channel, 1);
    EXPECT_EQ(old.displayHigh, 1.0);
    EXPECT_EQ(old.units, "V");
    EXPECT_EQ(DecodeChannelDisplay(second).displayHigh, 5.0);

    // A change before any sample of the block is taken into the block itself.
    recording.BeginBlock();
    recording.SetChannel(1, Settings("A", -2.0, 2.0));
    EXPECT_EQ(recording.BlockCount(), 3);
    EXPECT_EQ(DecodeChannelDisplay(recording.BlockChannelInfo(1, 2)).displayHigh, 2.0);
    EXPECT_THROW(recording.SetChannel(4, Settings("D")), std::out_of_range);
}

TEST(RecordingStore, RangesAndTheirChecks)
{
    Recording recording;
    EXPECT_FALSE(recording.RangeCheckA(recording.RangeA()));  // nothing recorded: no usable range
    recording.AddChannel(Settings("A"));
    recording.BeginBlock();
    AppendRamp(recording, 100, 1);

    // No selection: A spans the recording but is no selection, B is the whole recording.
    SampleRange a = recording.RangeA();
    EXPECT_TRUE(recording.RangeCheckA(a));
    EXPECT_TRUE(recording.RangeCheckB(a));
    EXPECT_FALSE(recording.RangeCheckC(a));
    SampleRange b = recording.RangeB();
    EXPECT_EQ(b.startSample, 0);
    EXPECT_EQ(b.endSample, 99);

    recording.Select(10, 20);
    a = recording.RangeA();
    EXPECT_EQ(a.startSample, 10);
    EXPECT_EQ(a.endSample, 20);
    EXPECT_TRUE(recording.RangeCheckA(a));
    EXPECT_TRUE(recording.RangeCheckC(a));
    EXPECT_FALSE(recording.RangeCheckC(b));
    recording.Select(30, 30);                // a one-sample selection is a selection
    EXPECT_FALSE(recording.RangeCheckC(a));  // no longer the selection
    EXPECT_TRUE(recording.RangeCheckC(recording.RangeA()));

    SampleRange outside = a;
    outside.endSample = 100;
    EXPECT_FALSE(recording.RangeCheckA(outside));
    outside.startSample = 21;
    outside.endSample = 20;
    EXPECT_FALSE(recording.RangeCheckA(outside));
    EXPECT_THROW(recording.Select(50, 100), std::out_of_range);
    EXPECT_THROW(recording.Select(5, 4), std::out_of_range);
    EXPECT_THROW(recording.Select(-1, 4), std::out_of_range);

    recording.Clear();
    EXPECT_FALSE(recording.RangeCheckB(a));  // made before the recording was cleared
    EXPECT_EQ(recording.SampleCount(), 0);
    EXPECT_FALSE(recording.Selection().has_value());
}

TEST(RecordingStore, ReleasesItsMemory)
{
    LowZoneStats before = GetLowZoneStats();
    {
        Recording recording;
        for (int m = 0; m < 4; ++m) recording.AddChannel(Settings("C"));
        recording.BeginBlock();
        for (int i = 0; i < 50; ++i) AppendRamp(recording, 2000, 4);
        EXPECT_GT(GetLowZoneStats().liveBlocks, before.liveBlocks);
    }
    EXPECT_EQ(GetLowZoneStats().liveBlocks, before.liveBlocks);
    EXPECT_EQ(GetLowZoneStats().liveBytes, before.liveBytes);
}

TEST(RecordingStore, ABlockUnlockedAndLockedAgainGivesTheSameSamples)
{
    // Nothing cached and the spool on disk from the first block: every lock loads the block again.
    Recording recording;
    recording.SetCacheLimit(0);
    recording.SetSpool(0, {});
    recording.AddChannel(Settings("A"));
    recording.AddChannel(Settings("B"));
    recording.BeginBlock();
    AppendRamp(recording, 100000, 2);  // blocks 0 to 2 complete, block 3 open
    ASSERT_EQ(recording.BlockCount(), 4);
    LowZoneStats settled = GetLowZoneStats();

    for (int16_t block = 0; block < 3; ++block) {
        for (int16_t channel = 1; channel <= 2; ++channel) {
            Handle h = recording.LockBlockData(channel, block);
            ASSERT_NE(h, nullptr);
            EXPECT_EQ(GetHandleSize(h), Recording::kMaxBlockLength * 4);
            std::vector<float> first(reinterpret_cast<const float*>(*h),
                                     reinterpret_cast<const float*>(*h) + Recording::kMaxBlockLength);
            recording.UnlockBlockData(channel, block);
            // Unlocked, it leaves the low zone.
            EXPECT_EQ(GetLowZoneStats().liveBytes, settled.liveBytes);
            // Other blocks come and go before it is locked again.
            for (int16_t other = 0; other < 3; ++other) {
                ASSERT_NE(recording.LockBlockData(3 - channel, other), nullptr);
                recording.UnlockBlockData(3 - channel, other);
            }
            h = recording.LockBlockData(channel, block);
            ASSERT_NE(h, nullptr);
            const float* again = reinterpret_cast<const float*>(*h);
            EXPECT_TRUE(std::equal(first.begin(), first.end(), again));
            int32_t start = recording.BlockStart(block);
            EXPECT_EQ(again[0], float(start) + 0.25f * float(channel - 1));
            EXPECT_EQ(again[32766], float(start + 32766) + 0.25f * float(channel - 1));
            EXPECT_EQ(recording.Sample(channel, start + 1234), again[1234]);
            recording.UnlockBlockData(channel, block);
        }
    }
    EXPECT_EQ(recording.LockedBlockCount(), 0);
    EXPECT_TRUE(recording.LoadFailure().empty());
}

TEST(RecordingStore, AStoredRecordingIsReadWhereItIsAndOnlyLockedBlocksTakeTheLowZone)
{
    constexpr size_t kFrames = 200000;
    SignalSet set;
    set.channels.resize(2);
    for (size_t c = 0; c < 2; ++c)
        for (size_t i = 0; i < kFrames; ++i) set.channels[c].samples.push_back(float(i) * (c ? -1.0f : 1.0f));
    Recording recording;
    recording.SetCacheLimit(0);
    recording.AddChannel(Settings("A"));
    recording.AddChannel(Settings("B"));
    recording.AddChannel(Settings("None"));
    LowZoneStats before = GetLowZoneStats();
    recording.AppendStored(StoreInMemory(std::move(set)).samples);
    EXPECT_EQ(recording.SampleCount(), int32_t(kFrames));
    EXPECT_EQ(recording.BlockCount(), 7);
    EXPECT_EQ(GetLowZoneStats().liveBytes, before.liveBytes);

    // Two blocks locked at once: the low zone holds those two and no more.
    Handle a = recording.LockBlockData(1, 6), b = recording.LockBlockData(2, 3);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(recording.LockBlockData(3, 3), nullptr);  // a channel the store lacks
    recording.UnlockBlockData(3, 3);
    EXPECT_EQ(GetLowZoneStats().liveBytes - before.liveBytes,
              size_t(GetHandleSize(a)) + size_t(GetHandleSize(b)) + 2 * sizeof(void*));
    EXPECT_EQ(GetHandleSize(a), Size((kFrames - 6 * 32767) * 4));
    EXPECT_EQ(reinterpret_cast<const float*>(*a)[0], float(6 * 32767));
    EXPECT_EQ(reinterpret_cast<const float*>(*b)[5], -float(3 * 32767 + 5));
    recording.UnlockBlockData(1, 6);
    recording.UnlockBlockData(2, 3);
    EXPECT_EQ(GetLowZoneStats().liveBytes, before.liveBytes);

    // Sampling after it starts a block of its own behind the stored run.
    recording.BeginBlock();
    AppendRamp(recording, 10, 3);
    EXPECT_EQ(recording.BlockCount(), 8);
    EXPECT_EQ(recording.Sample(3, int32_t(kFrames) + 9), float(kFrames + 9) + 0.5f);
}

TEST(RecordingStore, ASpoolThatCantBeWrittenLeavesTheRecordingAsItWas)
{
    Recording recording;
    recording.SetSpool(0, "/nonexistent/folder");
    recording.AddChannel(Settings("A"));
    recording.BeginBlock();
    AppendRamp(recording, 32767, 1);  // the block is full but still open
    EXPECT_THROW(AppendRamp(recording, 10, 1), RecordingStoreError);
    EXPECT_EQ(recording.SampleCount(), 32767);
    EXPECT_EQ(recording.BlockCount(), 1);
    Handle h = recording.LockBlockData(1, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(reinterpret_cast<const float*>(*h)[32766], 32766.0f);
    recording.UnlockBlockData(1, 0);
}

TEST(RecordingStore, SamplesSpooledAcrossTheMoveToDiskReadBackWhole)
{
    // 1 MiB in memory, then the file: blocks before, across and after the move.
    Recording recording;
    recording.SetCacheLimit(0);
    recording.SetSpool(size_t(1) << 20, {});
    recording.AddChannel(Settings("A"));
    recording.AddChannel(Settings("B"));
    recording.BeginBlock();
    for (int run = 0; run < 12; ++run) AppendRamp(recording, 25000, 2);
    recording.BeginBlock();  // completes the last block
    for (int16_t block = 0; block + 1 < recording.BlockCount(); ++block) {
        for (int16_t channel = 1; channel <= 2; ++channel) {
            Handle h = recording.LockBlockData(channel, block);
            ASSERT_NE(h, nullptr) << block;
            const float* floats = reinterpret_cast<const float*>(*h);
            int32_t start = recording.BlockStart(block);
            for (int16_t i = 0; i < recording.BlockLength(block); ++i)
                ASSERT_EQ(floats[i], float(start + i) + 0.25f * float(channel - 1)) << block << " " << i;
            recording.UnlockBlockData(channel, block);
        }
    }
}
