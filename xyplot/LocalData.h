// The plot window's per-window record. Types only, so that a host's
// inspection tools can read a window's state through its instance handle.
#pragma once

#include <cstdint>

#include "host/HostServices.h"
#include "toolbox/MacTypes.h"

// One plot window's record, in a relocatable block; the host keeps its handle.
struct LocalDataType {
    double yTopValue;       // data value at the top edge of plotRect
    double yBottomValue;    // data value at the bottom edge
    double xLeftValue;      // data value at the left edge
    double xRightValue;     // data value at the right edge
    int16_t xChannel;       // channel plotted horizontally, from 1
    int16_t yChannel;       // channel plotted vertically
    int16_t yPixelOffset;   // pixel y of data value 0
    int16_t xPixelOffset;   // pixel x of data value 0
    double yPixelsPerUnit;  // negative when yTopValue > yBottomValue
    double xPixelsPerUnit;
    WindowRef window;
    Rect plotRect;       // plotting area, in the port's local coordinates
    uint8_t isSampling;  // between sampling start and stop
    int32_t samplesPerMinute;
    int32_t eraseAtSample;     // the trace is erased when traceEndSample passes it
    int32_t traceStartSample;  // first sample of the trace on screen
    int32_t traceEndSample;    // one past the last plotted sample while sampling
    AxisObject xAxis;
    AxisObject yAxis;
    uint8_t xInfoVaries;  // no single ChannelInfoRecord describes the X data on screen
    uint8_t yInfoVaries;
    ChannelInfoRecord xChannelInfo;
    ChannelInfoRecord yChannelInfo;
    double eraseMinutes;
    uint8_t autoErase;
    ControlRef eraseButton;
    ControlRef settingsButton;
    int16_t firstChannelItem;  // item of channel 1 in both axis menus
    MenuRef xMenu;
    MenuRef yMenu;
    int16_t penX;  // last live-plotted point
    int16_t penY;
    uint8_t restartTrace;  // the next live batch starts a new polyline
};

using LocalDataHandle = LocalDataType**;
