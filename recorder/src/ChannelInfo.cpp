// The recorder's layout of a ChannelInfoRecord, encoded and decoded.
#include "recorder/ChannelInfo.h"

#include <algorithm>
#include <cstring>

namespace {

// Offsets inside the record.
constexpr int kChannel = 46;      // i16
constexpr int kUnits = 48;        // 16 bytes: length byte + 15
constexpr int kDisplayLow = 64;   // f64
constexpr int kDisplayHigh = 72;  // f64
constexpr int kDecimals = 80;     // i16
constexpr int kGeneration = 82;   // u32
constexpr int kInfoEnd = 118;
constexpr int kUnitsCapacity = 15;

}  // namespace

void EncodeChannelDisplay(const ChannelDisplay& d, ChannelInfoRecord& record)
{
    uint8_t* bytes = record.bytes;
    bytes[ChannelInfoRecord::kFlagByte] = d.describesChannel ? 1 : 0;
    bytes[ChannelInfoRecord::kFlagByte + 1] = 0;
    std::memset(bytes + ChannelInfoRecord::kInfoPart, 0, kInfoEnd - ChannelInfoRecord::kInfoPart);
    SetBlockField<int16_t>(bytes, kChannel, d.channel);
    size_t unitsLength = std::min<size_t>(d.units.size(), kUnitsCapacity);
    bytes[kUnits] = uint8_t(unitsLength);
    std::memcpy(bytes + kUnits + 1, d.units.data(), unitsLength);
    SetBlockField<double>(bytes, kDisplayLow, d.displayLow);
    SetBlockField<double>(bytes, kDisplayHigh, d.displayHigh);
    SetBlockField<int16_t>(bytes, kDecimals, d.decimals);
    SetBlockField<uint32_t>(bytes, kGeneration, d.generation);
}

ChannelDisplay DecodeChannelDisplay(const ChannelInfoRecord& record)
{
    const uint8_t* bytes = record.bytes;
    ChannelDisplay d;
    d.describesChannel = bytes[ChannelInfoRecord::kFlagByte] == 1;
    d.channel = BlockField<int16_t>(bytes, kChannel);
    size_t unitsLength = std::min<size_t>(bytes[kUnits], kUnitsCapacity);
    d.units.assign(reinterpret_cast<const char*>(bytes + kUnits + 1), unitsLength);
    d.displayLow = BlockField<double>(bytes, kDisplayLow);
    d.displayHigh = BlockField<double>(bytes, kDisplayHigh);
    d.decimals = BlockField<int16_t>(bytes, kDecimals);
    d.generation = BlockField<uint32_t>(bytes, kGeneration);
    return d;
}

void InitChannelInfoPart(uint8_t* infoPart)
{
    // infoPart is byte 46 of a record; build the defaults in a whole record and copy the part.
    ChannelInfoRecord defaults{};
    EncodeChannelDisplay(ChannelDisplay{}, defaults);
    std::memcpy(infoPart, defaults.bytes + ChannelInfoRecord::kInfoPart, kInfoEnd - ChannelInfoRecord::kInfoPart);
}

bool SameChannelDisplay(const ChannelInfoRecord& a, const ChannelInfoRecord& b)
{
    return a.bytes[ChannelInfoRecord::kFlagByte] == b.bytes[ChannelInfoRecord::kFlagByte] &&
           std::memcmp(a.bytes + ChannelInfoRecord::kInfoPart, b.bytes + ChannelInfoRecord::kInfoPart,
                       kInfoEnd - ChannelInfoRecord::kInfoPart) == 0;
}
