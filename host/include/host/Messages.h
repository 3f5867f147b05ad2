// What a host says to Main1: message numbers, where each message's fields lie
// in its parameter block, the kinds of message 9, and the reading of block
// fields. Header-only; compiles on its own.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

// ---- Reading and writing block fields --------------------------------------------
// Blocks are byte records with 2-byte alignment: 32-bit fields may start at
// offsets such as 6, 10 and 14. Fields are read and written with memcpy.

template <class T>
T BlockField(const uint8_t* block, int offset)
{
    T value;
    std::memcpy(&value, block + offset, sizeof value);
    return value;
}

template <class T>
void SetBlockField(uint8_t* block, int offset, T value)
{
    std::memcpy(block + offset, &value, sizeof value);
}

// A reference carried in a 32-bit field, widened by zero extension. This is the
// one place where an integer becomes an address.
template <class T>
T ReferenceFrom32(uint32_t value)
{
    static_assert(std::is_pointer_v<T>);
    return reinterpret_cast<T>(static_cast<uintptr_t>(value));
}

template <class T>
T BlockReference(const uint8_t* block, int offset)
{
    return ReferenceFrom32<T>(BlockField<uint32_t>(block, offset));
}

// ---- Messages ----------------------------------------------------------------------
// Main1(message, block, table) returns a signed 32-bit result. Messages 1 to 5
// are the start-up messages a host sends after message 0; they and messages 17
// to 21 mean what the host makes of them.
enum : int16_t {
    kSetExtensionID = 0,  // result 0
    kMessage1 = 1,        // result: the extension's 32-bit answer
    kMessage2 = 2,        // result: 1 or 0
    kMessage3 = 3,
    kMessage4 = 4,
    kMessage5 = 5,     // result: the extension's 32-bit answer
    kNewInstance = 6,  // result: the new instance handle, 0 when none was made
    kDisposeInstance = 7,
    kDoCommand = 8,
    kNotify = 9,
    kOwnsWindow = 10,  // result: 1 when the instance owns the window, else 0
    kUpdateWindow = 11,
    kDoGrow = 12,
    kDoZoom = 13,
    kDoContentClick = 14,
    kDoMouseOver = 15,
    kDoActivate = 16,
    kMessage17 = 17,
    kMessage18 = 18,
    kMessage19 = 19,
    kMessage20 = 20,  // result: 1 or 0
    kMessage21 = 21,
};

// ---- Parameter-block fields ----------------------------------------------------------
// Byte offsets, by message. Every message from 7 on begins with the instance
// handle that message 6 returned.
enum : int {
    kExtensionIDField = 0,    // message 0: i16, the extension's new ID
    kInstanceField = 0,       // messages 7 to 21: the 32-bit instance handle
    kWindowField = 4,         // messages 10 to 16: the window concerned
    kCommandField = 4,        // message 8: address of the CommandRecord
    kNotifyKindField = 4,     // message 9: i16, one of the kinds below
    kNotifyDataField = 6,     // message 9: 32-bit data word, meaning by kind
    kNotifyExtraField = 10,   // message 9: i16
    kGrowStartField = 8,      // message 12: Point, the mouse-down in the grow box
    kZoomInField = 8,         // message 13: u8, 1 to zoom in, 0 to zoom out
    kClickPartField = 8,      // message 14: i16, the control part code FindControl gave
    kClickControlField = 10,  // message 14: ControlRef, or 0 off the controls
    kClickWhereField = 14,    // message 14: Point, window-local
    kClickEventField = 18,    // message 14: the mouse-down EventRecord, 16 bytes
    kMouseWhereField = 8,     // message 15: Point, window-local
    kCursorField = 12,        // message 15: i16 the extension fills with a cursor code
    kActiveField = 8,         // message 16: u8, 1 when the window becomes the front one
};

// ---- Notification kinds of message 9 -------------------------------------------------
enum : int16_t {
    kNotifyRangeChanged = 0,  // the current range of recorded data changed
    kNotifySamplingStarted = 300,
    kNotifySamplingStopped = 301,
    kNotifyNewData = 310,         // data word: address of a SampleBatch; only to extensions that asked
    kNotifyChannelChanged = 402,  // data word: the channel whose settings or title changed
    kNotifyPlotChanged = 403,     // the plot area must be drawn again
};
