// The recording as extensions and programs reach it: channels and their
// settings, the selection (ranges A and B), and the data services that hand
// out blocks of samples.
#include "RecorderImpl.h"
#include "Services.h"
#include "toolbox/Memory.h"

namespace {

bool IsOurSource(DataSourceRef source) { return source && source == SessionAccess::Data().Source(); }

}  // namespace

int16_t Recorder::AddChannel(const ChannelSettings& settings)
{
    ActionScope scope(*impl_);
    int16_t channel;
    try {
        channel = recording_.AddChannel(settings);
    } catch (const std::length_error& error) {
        throw RecorderError(std::string("add channel \"") + settings.title + "\": " + error.what());
    }
    impl_->Notify(kNotifyChannelChanged, uint32_t(channel), 0, false);
    return channel;
}

void Recorder::SetChannel(int16_t channel, const ChannelSettings& settings)
{
    ActionScope scope(*impl_);
    try {
        recording_.SetChannel(channel, settings);
    } catch (const std::out_of_range& error) {
        throw RecorderError(std::string("set channel: ") + error.what());
    }
    impl_->Notify(kNotifyChannelChanged, uint32_t(channel), 0, false);
}

void Recorder::SelectRange(int32_t first, int32_t last)
{
    ActionScope scope(*impl_);
    try {
        recording_.Select(first, last);
    } catch (const std::out_of_range& error) {
        throw RecorderError(std::string("select range: ") + error.what());
    }
    impl_->Notify(kNotifyRangeChanged, 0, 0, false);
}

void Recorder::ClearSelection()
{
    ActionScope scope(*impl_);
    recording_.ClearSelection();
    impl_->Notify(kNotifyRangeChanged, 0, 0, false);
}

void Recorder::NotifyPlotChanged()
{
    ActionScope scope(*impl_);
    impl_->Notify(kNotifyPlotChanged, 0, 0, false);
}

namespace services {

// ---- Channels ----

void HostInitInfoPart(uint8_t* infoPart)
{
    if (infoPart) InitChannelInfoPart(infoPart);
}

uint8_t HostSameChannelInfo(const ChannelInfoRecord* first, const ChannelInfoRecord* second)
{
    return first && second && SameChannelDisplay(*first, *second) ? 1 : 0;
}

void HostLiveChannelInfo(int16_t channel, ChannelInfoRecord* info)
{
    if (info) *info = SessionAccess::Data().LiveChannelInfo(channel);
}

// Channels the recording lacks are "Channel N" up to the host's channel count.
void HostChannelTitle(int16_t channel, StringPtr title)
{
    if (!title) return;
    const Recording& data = SessionAccess::Data();
    std::string text;
    if (channel >= 1 && channel <= data.ChannelCount())
        text = data.Channel(channel).title;
    else if (channel >= 1 && channel <= kHostChannelCount)
        text = "Channel " + std::to_string(channel);
    CopyCStringToPascal(text, title);
}

// ---- Blocks of samples ----

DataSourceRef HostGetDataSource(int16_t kind)
{
    return kind == kRecordedDataSource ? SessionAccess::Data().Source() : nullptr;
}

void HostLocateSample(DataSourceRef source, int32_t position, SampleLocation* location)
{
    if (!location) return;
    *location = IsOurSource(source) ? SessionAccess::Data().Locate(position) : SampleLocation{0, 0};
}

Handle HostLockBlockData(DataSourceRef source, int16_t channel, int16_t block)
{
    if (!IsOurSource(source)) return nullptr;
    return SessionAccess::Data().LockBlockData(channel, block);
}

void HostUnlockBlockData(DataSourceRef source, int16_t channel, int16_t block)
{
    if (IsOurSource(source)) SessionAccess::Data().UnlockBlockData(channel, block);
}

int16_t HostBlockLength(DataSourceRef source, int16_t block)
{
    return IsOurSource(source) ? SessionAccess::Data().BlockLength(block) : 0;
}

void HostBlockChannelInfo(DataSourceRef source, int16_t channel, int16_t block, ChannelInfoRecord* info)
{
    if (!info) return;
    *info = IsOurSource(source) ? SessionAccess::Data().BlockChannelInfo(channel, block)
                                : Recording().BlockChannelInfo(channel, -1);
}

int32_t HostSampleCount(DataSourceRef source) { return IsOurSource(source) ? SessionAccess::Data().SampleCount() : 0; }

uint32_t HostHandleSize(Handle h) { return h ? uint32_t(GetHandleSize(h)) : 0; }

// ---- Ranges ----

SampleRange HostGetRangeA() { return SessionAccess::Data().RangeA(); }
SampleRange HostGetRangeB() { return SessionAccess::Data().RangeB(); }

uint8_t HostRangeCheckA(const SampleRange* range) { return range && SessionAccess::Data().RangeCheckA(*range) ? 1 : 0; }

uint8_t HostRangeCheckB(const SampleRange* range) { return range && SessionAccess::Data().RangeCheckB(*range) ? 1 : 0; }

uint8_t HostRangeCheckC(const SampleRange* range) { return range && SessionAccess::Data().RangeCheckC(*range) ? 1 : 0; }

}  // namespace services
