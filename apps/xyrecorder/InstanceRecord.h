// How the program reads a plot window's state for `expect`: the layout of the
// extension's per-window record, as the extension declares it (fields in
// order, natural alignment). The program never writes it. A mismatch shows at
// once: a fresh window must read ±0.9765625 and channels 1 and 2.
#pragma once

#include <cstdint>

#include "host/HostServices.h"
#include "toolbox/MacTypes.h"

struct InstanceRecord {
    double yTopValue;
    double yBottomValue;
    double xLeftValue;
    double xRightValue;
    int16_t xChannel;
    int16_t yChannel;
    int16_t yPixelOffset;
    int16_t xPixelOffset;
    double yPixelsPerUnit;
    double xPixelsPerUnit;
    WindowRef window;
    Rect plotRect;
    uint8_t isSampling;
    int32_t samplesPerMinute;
    int32_t eraseAtSample;
    int32_t traceStartSample;
    int32_t traceEndSample;
    AxisObject xAxis;
    AxisObject yAxis;
    uint8_t xInfoVaries;
    uint8_t yInfoVaries;
    ChannelInfoRecord xChannelInfo;
    ChannelInfoRecord yChannelInfo;
    double eraseMinutes;
    uint8_t autoErase;
    ControlRef eraseButton;
    ControlRef settingsButton;
    int16_t firstChannelItem;
    MenuRef xMenu;
    MenuRef yMenu;
    int16_t penX;
    int16_t penY;
    uint8_t restartTrace;
};

// The record behind an instance handle (the 32-bit value message 6 returned).
inline const InstanceRecord* RecordOfInstance(uint32_t instance)
{
    Handle handle = ReferenceFrom32<Handle>(instance);
    return handle && *handle ? reinterpret_cast<const InstanceRecord*>(*handle) : nullptr;
}
