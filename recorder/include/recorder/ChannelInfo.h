// The recorder's layout of a ChannelInfoRecord: how a channel's values are
// displayed. Extensions copy these records whole and only ever write byte 44
// (0: no channel described) and the part from byte 46 on, which
// HostInitInfoPart fills with the defaults below. So everything the recorder
// relies on lies in byte 44 and the info part; bytes 0..43 are scratch.
#pragma once

#include <string>

#include "host/HostServices.h"

struct ChannelDisplay {
    bool describesChannel = false;  // byte 44
    int16_t channel = 0;            // 1-based; 0 for none
    std::string units;              // up to 15 bytes of Mac Roman
    double displayLow = -1.0;       // the range the channel is shown with
    double displayHigh = 1.0;
    int16_t decimals = 2;     // digits after the point in scale labels
    uint32_t generation = 0;  // bumped whenever the user changes the channel's settings
};

// Writes d into the record (byte 44 and the info part).
void EncodeChannelDisplay(const ChannelDisplay& d, ChannelInfoRecord& record);
// Reads byte 44 and the info part.
ChannelDisplay DecodeChannelDisplay(const ChannelInfoRecord& record);
// The default info part, as HostInitInfoPart writes it from byte 46 on.
void InitChannelInfoPart(uint8_t* infoPart);
// Whether two records describe the same display (byte 44 and the info part).
bool SameChannelDisplay(const ChannelInfoRecord& a, const ChannelInfoRecord& b);
