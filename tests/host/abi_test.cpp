// The host ABI as the host documents it: slot numbers and record offsets are
// written out here by hand, so that a slip in the header shows up.
// First, so that the header shows it compiles on its own.
#include "host/HostServices.h"

#include <gtest/gtest.h>

#include <cstddef>

#include "host/ParamBlock.h"

namespace {

int SlotOfOffset(size_t offset) { return int(offset / sizeof(void*)); }

}  // namespace

TEST(HostAbi, ServicesSitAtTheirSlots)
{
    EXPECT_EQ(SlotOfOffset(offsetof(HostServiceTable, HostPostCommand)), 7);
    EXPECT_EQ(SlotOfOffset(offsetof(HostServiceTable, HostPostValueCommand)), 18);
    EXPECT_EQ(SlotOfOffset(offsetof(HostServiceTable, HostRestorePen)), 72);
    EXPECT_EQ(SlotOfOffset(offsetof(HostServiceTable, HostNewWindow)), 80);
    EXPECT_EQ(SlotOfOffset(offsetof(HostServiceTable, HostReportError)), 81);
    EXPECT_EQ(SlotOfOffset(offsetof(HostServiceTable, HostZoomWindow)), 144);
    EXPECT_EQ(SlotOfOffset(offsetof(HostServiceTable, HostGetItemNumber)), 212);
    EXPECT_EQ(SlotOfOffset(offsetof(HostServiceTable, HostPlaceWindow)), 302);
    EXPECT_EQ(SlotOfOffset(offsetof(HostServiceTable, HostAxisGetRange)), 364);
    EXPECT_EQ(SlotOfOffset(offsetof(HostServiceTable, HostAxisCursor)), 387);
    EXPECT_EQ(SlotOfOffset(offsetof(HostServiceTable, HostLockBlockData)), 471);
    EXPECT_EQ(SlotOfOffset(offsetof(HostServiceTable, HostGetRangeB)), 524);
    EXPECT_EQ(SlotOfOffset(offsetof(HostServiceTable, HostAddChannelItems)), 567);
    EXPECT_EQ(SlotOfOffset(offsetof(HostServiceTable, HostCommandNumber)), 630);
    EXPECT_EQ(SlotOfOffset(offsetof(HostServiceTable, HostGetDataSource)), 654);
    int services = 0;
#define COUNT_SERVICE(slot, name) ++services;
    HOST_SERVICES(COUNT_SERVICE)
#undef COUNT_SERVICE
    EXPECT_EQ(services, 62);
}

TEST(HostAbi, RecordsHaveTheirSizesAndOffsets)
{
    EXPECT_EQ(sizeof(ChannelInfoRecord), 118u);
    EXPECT_EQ(sizeof(SampleRange), 400u);
    EXPECT_EQ(sizeof(SamplingInfo), 72u);
    EXPECT_EQ(sizeof(SampleLocation), 4u);

    SampleRange range{};
    range.startSample = 0x11223344;
    range.endSample = -2;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&range);
    EXPECT_EQ(BlockField<int32_t>(bytes, 8), 0x11223344);
    EXPECT_EQ(BlockField<int32_t>(bytes, 12), -2);

    SamplingInfo info{};
    info.SetSampleInterval(0.25);
    EXPECT_EQ(BlockField<double>(info.bytes, 42), 0.25);

    CommandRecord command{};
    command.kind = 2;
    command.axisSelector = 1;
    command.channel = 17;
    bytes = reinterpret_cast<const uint8_t*>(&command);
    EXPECT_EQ(BlockField<int16_t>(bytes, 2), 2);
    EXPECT_EQ(BlockField<uint32_t>(bytes, 4), 1u);
    EXPECT_EQ(BlockField<int16_t>(bytes, 8), 17);
    command.minutes = -2.5;
    EXPECT_EQ(BlockField<double>(bytes, 8), -2.5);
}

TEST(HostAbi, BatchSlotsLieFourBytesApartAndOnlyChannelsOneTo32HaveOne)
{
    SampleBatch batch{};
    batch.count = 3;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&batch);
    for (int m = 1; m <= 32; ++m) {
        batch.channelData[m - 1] = uint32_t(0x1000 * m);
        EXPECT_EQ(BlockField<uint32_t>(bytes, 4 * m), uint32_t(0x1000 * m)) << m;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(batch.Samples(m)), uintptr_t(0x1000 * m)) << m;
    }
    EXPECT_EQ(BlockField<int16_t>(bytes, 0), 3);
    EXPECT_EQ(batch.Samples(0), nullptr);
    EXPECT_EQ(batch.Samples(-1), nullptr);
    EXPECT_EQ(batch.Samples(33), nullptr);
}

TEST(HostAbi, BlockReferencesAreZeroExtended)
{
    uint8_t block[16] = {};
    SetBlockField<uint32_t>(block, 6, 0xF0000000u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(BlockReference<void*>(block, 6)), uintptr_t(0xF0000000u));
}

TEST(HostAbi, MessagesAndTheirFieldsHaveTheHostsNumbers)
{
    EXPECT_EQ(kSetExtensionID, 0);
    EXPECT_EQ(kMessage5, 5);
    EXPECT_EQ(kNewInstance, 6);
    EXPECT_EQ(kDisposeInstance, 7);
    EXPECT_EQ(kDoCommand, 8);
    EXPECT_EQ(kNotify, 9);
    EXPECT_EQ(kOwnsWindow, 10);
    EXPECT_EQ(kUpdateWindow, 11);
    EXPECT_EQ(kDoGrow, 12);
    EXPECT_EQ(kDoZoom, 13);
    EXPECT_EQ(kDoContentClick, 14);
    EXPECT_EQ(kDoMouseOver, 15);
    EXPECT_EQ(kDoActivate, 16);
    EXPECT_EQ(kMessage21, 21);

    EXPECT_EQ(kInstanceField, 0);
    EXPECT_EQ(kWindowField, 4);
    EXPECT_EQ(kCommandField, 4);
    EXPECT_EQ(kNotifyKindField, 4);
    EXPECT_EQ(kNotifyDataField, 6);
    EXPECT_EQ(kNotifyExtraField, 10);
    EXPECT_EQ(kGrowStartField, 8);
    EXPECT_EQ(kZoomInField, 8);
    EXPECT_EQ(kClickPartField, 8);
    EXPECT_EQ(kClickControlField, 10);
    EXPECT_EQ(kClickWhereField, 14);
    EXPECT_EQ(kClickEventField, 18);
    EXPECT_EQ(kMouseWhereField, 8);
    EXPECT_EQ(kCursorField, 12);
    EXPECT_EQ(kActiveField, 8);
    // The event record is the last thing in any block: it ends at byte 34.
    EXPECT_LE(kClickEventField + int(sizeof(EventRecord)), ParamBlock::kBytes);

    EXPECT_EQ(kNotifyRangeChanged, 0);
    EXPECT_EQ(kNotifySamplingStarted, 300);
    EXPECT_EQ(kNotifySamplingStopped, 301);
    EXPECT_EQ(kNotifyNewData, 310);
    EXPECT_EQ(kNotifyChannelChanged, 402);
    EXPECT_EQ(kNotifyPlotChanged, 403);
}

TEST(HostAbi, ServiceVocabularyHasTheHostsNumbers)
{
    EXPECT_EQ(kHostChannelCount, 32);
    EXPECT_EQ(kTracePen, 133);
    EXPECT_EQ(kRecordedDataSource, 1);
    EXPECT_EQ(kWindowResourceType, 0x57494E44);
    EXPECT_EQ(kDialogResourceType, 0x444C4F47);
    EXPECT_EQ(kAxisOptionInfoVaries, 2);
    EXPECT_EQ(kAxisOptionMinorTicks, 4);
    EXPECT_EQ(kAxisOptionFixedRange, 8);
    EXPECT_EQ(kAxisOptionTitlePopup, 32);
    EXPECT_EQ(kAxisCursorNone, 0);
    EXPECT_EQ(kAxisCursorScale, 1);
    EXPECT_EQ(kAxisCursorTitle, 2);
    EXPECT_EQ(kAxisClickNotTaken, 0);
    EXPECT_LT(kAxisClickRangeChanged, 0);
    EXPECT_EQ(kAxisClickTaken, 1);
    EXPECT_EQ(kAxisClickFirstChannel, 2);
}
