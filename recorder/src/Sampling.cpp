// Sampling: a source's batches recorded and sent to the windows (kinds 300,
// 310 and 301), with the batch record and its buffers made once a run, and
// the sampling information the extension asks for.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "RecorderImpl.h"
#include "Services.h"
#include "toolbox/Memory.h"

static_assert(SampleSource::kMaxChannels == kHostChannelCount, "a source's channels must fit a batch's slots");

void Recorder::Impl::ReleaseBatch()
{
    for (float* buffer : batchBuffers) LowZoneFree(buffer);
    batchBuffers.clear();
    LowDelete(batch);
    batch = nullptr;
    batchFrames = 0;
}

void Recorder::Impl::DeliverBatch(size_t frames)
{
    std::span<const float* const> channels(const_cast<const float* const*>(batchBuffers.data()), batchBuffers.size());
    owner.recording_.Append(channels, frames);
    batch->count = int16_t(frames);
    Notify(kNotifyNewData, LowAddress(batch), 0, true);
}

void Recorder::StartSampling(SampleSource& source, size_t batchFrames)
{
    ActionScope scope(*impl_);
    if (sampling_) throw RecorderError("start sampling: sampling is already under way");
    if (batchFrames < 1 || batchFrames > size_t(Recording::kMaxBlockLength))
        throw RecorderError("start sampling: batch size " + std::to_string(batchFrames) + " is not within 1..32767");
    const std::vector<ChannelSettings>& channels = source.Channels();
    if (channels.empty() || channels.size() > size_t(kHostChannelCount))
        throw RecorderError("start sampling: the source has " + std::to_string(channels.size()) + " channels; 1 to " +
                            std::to_string(kHostChannelCount) + " are possible");
    double interval = source.SampleInterval();
    if (!(interval > 0.0) || !std::isfinite(interval))
        throw RecorderError("start sampling: sample interval " + std::to_string(interval) + " s is not positive");

    // New channels join the axis menus before sampling starts (kind 402 refills them).
    std::vector<int16_t> added;
    for (size_t m = size_t(recording_.ChannelCount()); m < channels.size(); ++m)
        added.push_back(recording_.AddChannel(channels[m]));
    for (int16_t channel : added) impl_->Notify(kNotifyChannelChanged, uint32_t(channel), 0, false);

    impl_->ReleaseBatch();
    impl_->batch = LowNew<::SampleBatch>();
    std::memset(impl_->batch, 0, sizeof(::SampleBatch));
    impl_->batchFrames = batchFrames;
    for (size_t m = 0; m < channels.size(); ++m) {
        auto* buffer = static_cast<float*>(LowZoneAllocate(batchFrames * sizeof(float)));
        impl_->batchBuffers.push_back(buffer);
        impl_->batch->channelData[m] = LowAddress(buffer);
    }

    recording_.BeginBlock();
    sampleInterval_ = interval;
    sampling_ = &source;
    impl_->Notify(kNotifySamplingStarted, 0, 0, false);
}

size_t Recorder::SampleBatch()
{
    ActionScope scope(*impl_);
    if (!sampling_) throw RecorderError("sample: sampling is not under way");
    std::span<float* const> buffers(impl_->batchBuffers.data(), impl_->batchBuffers.size());
    size_t frames = sampling_->Read(impl_->batchFrames, buffers);
    frames = std::min(frames, impl_->batchFrames);
    if (frames == 0) return 0;
    impl_->DeliverBatch(frames);
    return frames;
}

size_t Recorder::Sample(size_t frames)
{
    ActionScope scope(*impl_);
    size_t taken = 0;
    while (taken < frames) {
        size_t got = SampleBatch();
        if (got == 0) break;
        taken += got;
    }
    return taken;
}

void Recorder::PushBatch(std::span<const std::vector<float>> channels)
{
    ActionScope scope(*impl_);
    if (!sampling_) throw RecorderError("push batch: sampling is not under way");
    if (channels.size() > impl_->batchBuffers.size())
        throw RecorderError("push batch: " + std::to_string(channels.size()) + " channels given, the run has " +
                            std::to_string(impl_->batchBuffers.size()));
    size_t frames = channels.empty() ? 0 : channels[0].size();
    for (size_t m = 0; m < channels.size(); ++m) {
        if (channels[m].size() != frames)
            throw RecorderError("push batch: channel " + std::to_string(m + 1) + " has " +
                                std::to_string(channels[m].size()) + " samples, channel 1 has " +
                                std::to_string(frames));
    }
    if (frames == 0) return;
    if (frames > impl_->batchFrames)
        throw RecorderError("push batch: " + std::to_string(frames) + " samples exceed the batch size " +
                            std::to_string(impl_->batchFrames));
    for (size_t m = 0; m < impl_->batchBuffers.size(); ++m) {
        float* buffer = impl_->batchBuffers[m];
        if (m < channels.size())
            std::copy(channels[m].begin(), channels[m].end(), buffer);
        else
            std::fill(buffer, buffer + frames, 0.0f);
    }
    impl_->DeliverBatch(frames);
}

void Recorder::StopSampling()
{
    ActionScope scope(*impl_);
    if (!sampling_) throw RecorderError("stop sampling: sampling is not under way");
    sampling_ = nullptr;
    impl_->Notify(kNotifySamplingStopped, 0, 0, false);
    impl_->ReleaseBatch();
}

namespace services {

void HostGetSamplingInfo(SamplingInfo* info)
{
    if (!info) return;
    std::memset(info, 0, sizeof *info);
    info->SetSampleInterval(SessionAccess::SampleInterval());
}

}  // namespace services
