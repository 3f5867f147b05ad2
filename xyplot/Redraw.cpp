// Repainting the window and drawing recorded data as one polyline.
#include "XYPlotExtension.h"

namespace {

constexpr int16_t kBusyStepPerBlock = 15;
const unsigned char kShortDataMessage[] = "\043Demand is outstripping supply in XY";

// Sets the axis's channel info, or marks it as having none that fits.
void ShowChannelInfo(AxisObject axis, uint8_t infoVaries, const ChannelInfoRecord& info)
{
    if (infoVaries)
        gHost->HostAxisSetOption(axis, kAxisOptionInfoVaries, 1);
    else
        gHost->HostAxisSetChannelInfo(axis, &info);
}

// Compares the block's channel info with the stored one; see RedrawTrace.
void CheckChannelInfo(int16_t channel, int16_t block, bool firstBlock, uint8_t& varies, ChannelInfoRecord& stored,
                      bool& result)
{
    ChannelInfoRecord info;
    BlockChannelInfo(channel, block, &info);
    if (firstBlock) {
        bool changed = varies || !gHost->HostSameChannelInfo(&info, &stored);
        varies = 0;
        stored = info;
        if (changed) result = true;
    } else if (!gHost->HostSameChannelInfo(&info, &stored)) {
        varies = 1;
        result = true;
    }
}

}  // namespace

void XYPlotExtension::UpdateWindow(WindowRef window, LocalDataHandle instance)
{
    LocalDataType& record = **instance;
    SetPortToWindow(window);
    Rect r = WindowPortRect(window);
    ClipRect(&r);
    EraseRect(&r);

    TextFont(applFont);
    TextSize(9);
    TextFace(bold);
    DrawControls(window);
    TextFace(normal);

    r = GrowBoxRect(r);
    ClipRect(&r);
    DrawGrowIcon(window);

    if (record.traceEndSample > record.traceStartSample &&
        IsRectVisible(&record.plotRect, GetWindowPort(record.window)))
        RedrawTrace(record.traceStartSample, record.traceEndSample, instance, !record.isSampling);

    Rect port = WindowPortRect(window);
    ClipRect(&port);
    ShowChannelInfo(record.xAxis, record.xInfoVaries, record.xChannelInfo);
    ShowChannelInfo(record.yAxis, record.yInfoVaries, record.yChannelInfo);

    Str255 title;
    gHost->HostChannelTitle(record.xChannel, title);
    gHost->HostAxisSetTitle(record.xAxis, title, 1);
    gHost->HostChannelTitle(record.yChannel, title);
    gHost->HostAxisSetTitle(record.yAxis, title, 1);
    gHost->HostDrawAxis(record.xAxis, 1);
    gHost->HostDrawAxis(record.yAxis, 1);

    MoveTo(int16_t(record.plotRect.left - 1), record.plotRect.top);
    LineTo(int16_t(record.plotRect.left - 1), record.plotRect.bottom);
    LineTo(record.plotRect.right, record.plotRect.bottom);
}

bool XYPlotExtension::RedrawTrace(int32_t startSample, int32_t endSample, LocalDataHandle instance, bool checkInfo)
{
    LocalDataType& record = **instance;
    gHost->HostBusyBegin();
    ClipRect(&record.plotRect);
    gHost->HostSetPen(kTracePen);

    SampleLocation start, end;
    LocateSample(startSample, &start);
    LocateSample(endSample, &end);
    bool result = false;
    if (start.block != 0 || start.index != 0 || end.block != 0 || end.index != 0) {
        const PixelMapping mapping = PixelMapping::Of(record);
        bool firstPoint = true;
        // A 32-bit counter: the walk must also end after block 32767.
        for (int32_t block = start.block; block <= end.block; ++block) {
            auto b = int16_t(block);
            int32_t first = b == start.block ? start.index : 0;
            int32_t last = b == end.block ? end.index : BlockLength(b) - 1;
            gHost->HostBusyStep(kBusyStepPerBlock);
            if (checkInfo) {
                CheckChannelInfo(record.xChannel, b, b == start.block, record.xInfoVaries, record.xChannelInfo, result);
                CheckChannelInfo(record.yChannel, b, b == start.block, record.yInfoVaries, record.yChannelInfo, result);
            }
            Handle xData = LockBlockData(record.xChannel, b);
            Handle yData = record.yChannel == record.xChannel ? xData : LockBlockData(record.yChannel, b);
            if (xData && yData) {
                int64_t needed = int64_t(last) + 1;
                if (int64_t(FloatCount(xData)) < needed || int64_t(FloatCount(yData)) < needed) {
                    gHost->HostShowMessage(kShortDataMessage);
                } else {
                    const float* xs = reinterpret_cast<const float*>(*xData);
                    const float* ys = reinterpret_cast<const float*>(*yData);
                    int32_t i = first;
                    int16_t h = 0, v = 0;
                    if (firstPoint) {
                        // The polyline starts at the first sample that has a place.
                        i = FirstPlacedSample(mapping, xs, ys, first, last + 1, &h, &v);
                        if (i <= last) {
                            MoveTo(h, v);
                            firstPoint = false;
                            ++i;
                        }
                    }
                    LineToSamples(mapping, xs, ys, i, last + 1, &h, &v);
                }
            }
            UnlockBlockData(record.xChannel, b);
            if (record.yChannel != record.xChannel) UnlockBlockData(record.yChannel, b);
        }
    }

    Rect port = WindowPortRect(record.window);
    ClipRect(&port);
    gHost->HostBusyEnd();
    gHost->HostRestorePen();
    return result;
}
