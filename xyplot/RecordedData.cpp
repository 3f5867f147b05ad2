// The extension's thin layer over the host's recorded data.
#include "XYPlotExtension.h"

DataSourceRef gDataSource = nullptr;

namespace {

// The host's data source, asked for once and kept while it is non-zero.
DataSourceRef DataSource()
{
    if (!gDataSource) gDataSource = gHost->HostGetDataSource(kRecordedDataSource);
    return gDataSource;
}

}  // namespace

void LocateSample(int32_t position, SampleLocation* location)
{
    DataSourceRef source = DataSource();
    gHost->HostLocateSample(source, position, location);
}

Handle LockBlockData(int16_t channel, int16_t block)
{
    DataSourceRef source = DataSource();
    return gHost->HostLockBlockData(source, channel, block);
}

void UnlockBlockData(int16_t channel, int16_t block)
{
    DataSourceRef source = DataSource();
    gHost->HostUnlockBlockData(source, channel, block);
}

int16_t BlockLength(int16_t block)
{
    DataSourceRef source = DataSource();
    return gHost->HostBlockLength(source, block);
}

void BlockChannelInfo(int16_t channel, int16_t block, ChannelInfoRecord* info)
{
    DataSourceRef source = DataSource();
    gHost->HostBlockChannelInfo(source, channel, block, info);
}

int32_t SampleCount()
{
    DataSourceRef source = DataSource();
    return gHost->HostSampleCount(source);
}

uint32_t FloatCount(Handle data) { return gHost->HostHandleSize(data) / 4; }

bool HasCurrentRange()
{
    SampleRange range = gHost->HostGetRangeA();
    return gHost->HostRangeCheckA(&range) && gHost->HostRangeCheckB(&range);
}

bool CurrentRangeIsA()
{
    SampleRange range = gHost->HostGetRangeA();
    return gHost->HostRangeCheckA(&range) && gHost->HostRangeCheckC(&range);
}

SampleRange GetCurrentRange()
{
    if (CurrentRangeIsA()) return gHost->HostGetRangeA();
    return gHost->HostGetRangeB();
}
