// Following the host's sampling: live plotting of each batch, erasing, and the
// other notifications of message 9.
#include "XYPlotExtension.h"

namespace {

void RecheckChannelMenu(MenuRef menu, int16_t firstChannelItem, int16_t channel)
{
    gHost->HostAddChannelItems(menu, firstChannelItem, 0, 0);
    CheckChannelItems(menu, firstChannelItem, channel);
}

void InvalidateAxis(AxisObject axis) { InvalInCurrentWindow(gHost->HostAxisGetBounds(axis)); }

// Draws one batch as the continuation of the live polyline.
void DrawBatch(LocalDataType& record, const float* xs, const float* ys, int32_t count)
{
    SetPortToWindow(record.window);
    ClipRect(&record.plotRect);
    gHost->HostSetPen(kTracePen);

    const PixelMapping mapping = PixelMapping::Of(record);
    int32_t i = 0;
    int16_t h = record.penX, v = record.penY;
    if (record.restartTrace) {
        // The polyline starts at the batch's first sample that has a place.
        i = FirstPlacedSample(mapping, xs, ys, 0, count, &h, &v);
        if (i < count) record.restartTrace = 0;
    }
    MoveTo(h, v);
    if (LineToSamples(mapping, xs, ys, i, count, &h, &v)) {
        record.penX = h;
        record.penY = v;
    }

    Rect port = WindowPortRect(record.window);
    ClipRect(&port);
    gHost->HostRestorePen();
}

}  // namespace

void XYPlotExtension::Notify(int16_t kind, int16_t, uint32_t data, LocalDataHandle instance)
{
    LocalDataType& record = **instance;
    switch (kind) {
    case kNotifySamplingStarted: {
        record.xInfoVaries = 0;
        record.yInfoVaries = 0;
        record.isSampling = 1;
        int32_t n = SampleCount();
        record.traceEndSample = n;
        record.traceStartSample = n;
        gHost->HostLiveChannelInfo(record.xChannel, &record.xChannelInfo);
        gHost->HostLiveChannelInfo(record.yChannel, &record.yChannelInfo);
        UpdateWindow(record.window, instance);
        SamplingInfo info;
        gHost->HostGetSamplingInfo(&info);
        record.samplesPerMinute = roundtol((1.0 / info.SampleInterval()) * 60.0);
        UpdateErasePoint(record);
        gHost->HostEnableControl(record.eraseButton, 1);
        record.restartTrace = 1;
        break;
    }
    case kNotifySamplingStopped:
        gHost->HostEnableControl(record.eraseButton, 0);
        record.isSampling = 0;
        record.traceEndSample = SampleCount() - 1;
        break;
    case kNotifyNewData: {
        if (!IsWindowVisible(record.window) || data == 0) return;
        const auto* batch = ReferenceFrom32<const void*>(data);
        int32_t n = SampleBatchCount(batch);
        const float* xs = SampleBatchChannel(batch, record.xChannel);
        const float* ys = SampleBatchChannel(batch, record.yChannel);
        if (n > 0 && xs && ys) DrawBatch(record, xs, ys, n);
        record.traceEndSample += n;
        if (record.traceEndSample > record.eraseAtSample) EraseTrace(instance);
        break;
    }
    case kNotifyRangeChanged:
        if (record.isSampling) return;
        SetPortToWindow(record.window);
        if (HasCurrentRange()) {
            SampleRange range = GetCurrentRange();
            record.traceStartSample = range.startSample;
            record.traceEndSample = range.endSample;
            EraseRect(&record.plotRect);
            if (!IsWindowVisible(record.window)) return;
            if (!RedrawTrace(record.traceStartSample, record.traceEndSample, instance, true)) return;
        } else {
            record.traceStartSample = 0;
            record.traceEndSample = 0;
            record.xInfoVaries = 1;
            record.yInfoVaries = 1;
            EraseRect(&record.plotRect);
        }
        InvalidateAxis(record.xAxis);
        InvalidateAxis(record.yAxis);
        break;
    case kNotifyChannelChanged: {
        auto channel = int32_t(data);
        SetPortToWindow(record.window);
        if (channel == record.xChannel) InvalidateAxis(record.xAxis);
        if (channel == record.yChannel) InvalidateAxis(record.yAxis);
        RecheckChannelMenu(record.yMenu, record.firstChannelItem, record.yChannel);
        RecheckChannelMenu(record.xMenu, record.firstChannelItem, record.xChannel);
        break;
    }
    case kNotifyPlotChanged:
        SetPortToWindow(record.window);
        InvalInCurrentWindow(record.plotRect);
        break;
    default:
        break;
    }
}

void XYPlotExtension::EraseTrace(LocalDataHandle instance)
{
    LocalDataType& record = **instance;
    if (!record.isSampling) return;
    SetPortToWindow(record.window);
    EraseRect(&record.plotRect);
    record.traceStartSample = record.traceEndSample;
    UpdateErasePoint(record);
}
