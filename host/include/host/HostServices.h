// The host application's side of the extension ABI: its service table, the
// records it exchanges with extensions, and the reading of 32-bit parameter-block
// fields. Header-only; compiles on its own.
//
// The table is an array of native function pointers indexed by slot number
// (the byte offset of the 32-bit table divided by 4). Results: i16 sign-extended,
// u8 low byte only. Strings are a length byte and up to 255 bytes; buffers the
// host fills are 256 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "toolbox/Events.h"
#include "toolbox/MacTypes.h"

struct OpaqueAxisObject;
struct OpaqueDataSource;
struct OpaqueModalFilter;
using AxisObject = OpaqueAxisObject*;        // a host-made axis with scale, title and popup menu
using DataSourceRef = OpaqueDataSource*;     // the host's recorded data
using ModalFilterUPP = OpaqueModalFilter*;   // a host filter routine for HostModalDialog

// ---- Parameter-block fields ----------------------------------------------------
// Blocks are byte records with 2-byte alignment; fields are read with memcpy.

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

// Messages a host sends to Main1 (those this host uses).
enum : int16_t {
    kSetExtensionID = 0,
    kNewInstance = 6,
    kDisposeInstance = 7,
    kDoCommand = 8,
    kNotify = 9,
    kOwnsWindow = 10,
    kUpdateWindow = 11,
    kDoGrow = 12,
    kDoZoom = 13,
    kDoContentClick = 14,
    kDoMouseOver = 15,
    kDoActivate = 16,
};

// Notification kinds of message 9.
enum : int16_t {
    NotifyRangeChanged = 0,
    NotifySamplingStarted = 300,
    NotifySamplingStopped = 301,
    NotifyNewData = 310,
    NotifyChannelChanged = 402,
    NotifyPlotChanged = 403,
};

// ---- Host records ----------------------------------------------------------------

// Where a sample lies: block number and index within the block.
struct SampleLocation {
    int16_t block;
    int16_t index;
};
static_assert(sizeof(SampleLocation) == 4);

// A channel's display settings (118 bytes). Extensions treat it as opaque but
// for byte 44 and the part from byte 46 on, which HostInitInfoPart initialises.
struct ChannelInfoRecord {
    static constexpr int kFlagByte = 44;
    static constexpr int kInfoPart = 46;
    uint8_t bytes[118];
};
static_assert(sizeof(ChannelInfoRecord) == 118);

// A range of recorded samples (400 bytes).
struct SampleRange {
    uint8_t hostHeader[8];
    int32_t startSample;  // +8
    int32_t endSample;    // +12: the last sample of the range, inclusive
    uint8_t hostRest[384];
};
static_assert(sizeof(SampleRange) == 400);
static_assert(offsetof(SampleRange, startSample) == 8);
static_assert(offsetof(SampleRange, endSample) == 12);

// Sampling information (72 bytes); sampleInterval is an unaligned double at 42.
struct SamplingInfo {
    static constexpr int kSampleIntervalOffset = 42;
    uint8_t bytes[72];
    double SampleInterval() const { return BlockField<double>(bytes, kSampleIntervalOffset); }
    void SetSampleInterval(double seconds) { SetBlockField(bytes, kSampleIntervalOffset, seconds); }
};
static_assert(sizeof(SamplingInfo) == 72);

// One batch of new samples (notification kind 310): an i16 count at byte 0,
// then at byte 4 x m (channels m = 1..32) the 32-bit address of channel m's
// count floats, or 0 when the batch has no data for that channel. Read with
// these two functions, at any alignment.
constexpr int kSampleBatchChannelSlots = 32;

inline int16_t SampleBatchCount(const void* batch) { return BlockField<int16_t>(static_cast<const uint8_t*>(batch), 0); }

// Channel m's samples, or null when m is outside 1..32 or the slot is empty.
inline const float* SampleBatchChannel(const void* batch, int channel)
{
    if (channel < 1 || channel > kSampleBatchChannelSlots) return nullptr;
    return BlockReference<const float*>(static_cast<const uint8_t*>(batch), 4 * channel);
}

// The batch as a host builds it.
struct SampleBatch {
    static constexpr int kChannelSlots = kSampleBatchChannelSlots;
    int16_t count;
    uint16_t hostReserved;
    uint32_t channelData[kChannelSlots];

    const float* Samples(int channel) const { return SampleBatchChannel(this, channel); }
};
static_assert(sizeof(SampleBatch) == 132);
static_assert(offsetof(SampleBatch, channelData) == 4);

// An extension command delivered with message 8.
struct CommandRecord {
    uint16_t hostReserved;
    int16_t kind;            // +2: the extension's local command number
    uint32_t axisSelector;   // +4: kind 2: 0 = X axis, else Y axis
    union {
        int16_t channel;     // +8: kind 2
        double minutes;      // +8: kind 1; the sign carries the automatic-erase switch
    };
};
static_assert(sizeof(CommandRecord) == 16);
static_assert(offsetof(CommandRecord, kind) == 2);
static_assert(offsetof(CommandRecord, axisSelector) == 4);
static_assert(offsetof(CommandRecord, channel) == 8);
static_assert(offsetof(CommandRecord, minutes) == 8);

// Reading a command record the host hands over, at any alignment; each kind
// reads only its own bytes.
inline int16_t CommandKind(const void* command) { return BlockField<int16_t>(static_cast<const uint8_t*>(command), 2); }
inline uint32_t CommandAxisSelector(const void* command)
{
    return BlockField<uint32_t>(static_cast<const uint8_t*>(command), 4);
}
inline int16_t CommandChannel(const void* command) { return BlockField<int16_t>(static_cast<const uint8_t*>(command), 8); }
inline double CommandMinutes(const void* command) { return BlockField<double>(static_cast<const uint8_t*>(command), 8); }

// ---- The service table -------------------------------------------------------

struct HostServiceTable {
    void* unused0To6[7];
    // 7: queues a command; delivered later as message 8 with the same selector and channel.
    void (*HostPostCommand)(uint16_t command, int32_t axisSelector, int16_t channel);
    void* unused8To17[10];
    // 18: queues a command carrying a double; delivered later as message 8.
    void (*HostPostValueCommand)(uint16_t command, int32_t selector, double value);
    void* unused19To71[53];
    // 72: restores the pen that HostSetPen replaced.
    void (*HostRestorePen)(void);
    void* unused73To77[5];
    // 78: a new dialog made from DLOG resourceID of the current resources, or null.
    DialogRef (*HostGetDialog)(int16_t resourceID);
    // 79: waits for a hit in the front modal dialog and stores its item number.
    void (*HostModalDialog)(ModalFilterUPP filter, int16_t* itemHit);
    // 80: a new window made from WIND resourceID, or null.
    WindowRef (*HostNewWindow)(int16_t resourceID, int32_t behind, int32_t refCon, int16_t kind);
    // 81: reports a failed operation to the user.
    void (*HostReportError)(ConstStr255Param message);
    void* unused82To104[23];
    // 105: shows value in an editable text item.
    void (*HostSetItemNumber)(DialogRef dialog, int16_t item, double value, int16_t style, uint8_t select);
    // 106: sets a dialog item's text.
    void (*HostSetItemText)(DialogRef dialog, int16_t item, ConstStr255Param text);
    void* unused107To111[5];
    // 112: sets a check box or radio button.
    void (*HostSetItemValue)(DialogRef dialog, int16_t item, uint8_t value);
    void* unused113To127[15];
    // 128: enables (1) or disables (0) a control.
    void (*HostEnableControl)(ControlRef control, uint8_t enable);
    void* unused129To143[15];
    // 144: zooms in (part 7) or out (part 8).
    void (*HostZoomWindow)(WindowRef window, int16_t partCode, uint8_t redraw, uint8_t front);
    // 145: begins the modal phase of a dialog.
    void (*HostOpenModal)(DialogRef dialog);
    // 146: ends the modal phase of a dialog.
    void (*HostCloseModal)(DialogRef dialog);
    // 147: called before a window erases its trace on the host's erase command.
    void (*HostBeforeErase)(WindowRef window);
    void* unused148To152[5];
    // 153: one step of a long operation.
    void (*HostBusyStep)(int16_t amount);
    void* unused154;
    // 155: a long operation begins.
    void (*HostBusyBegin)(void);
    // 156: the long operation ends.
    void (*HostBusyEnd)(void);
    void* unused157To171[15];
    // 172: the host's modal filter routine of that kind.
    ModalFilterUPP (*HostGetModalFilter)(int16_t kind);
    void* unused173To211[39];
    // 212: the number in an editable text item, kept within lowest..highest.
    double (*HostGetItemNumber)(DialogRef dialog, int16_t item, double lowest, double highest);
    void* unused213To236[24];
    // 237: shows a message to the user.
    void (*HostShowMessage)(ConstStr255Param message);
    void* unused238To264[27];
    // 265: asks for (or withdraws) message-9 notifications of a kind.
    void (*HostRequestNotification)(int16_t extensionID, int16_t kind, uint8_t on);
    void* unused266To301[36];
    // 302: positions a new window or dialog.
    void (*HostPlaceWindow)(WindowRef window, ConstStr255Param extensionName, int32_t resourceType, int16_t resourceID, int16_t variant, int32_t flags);
    void* unused303To318[16];
    // 319: byte size of a handle's block.
    uint32_t (*HostHandleSize)(Handle h);
    void* unused320To329[10];
    // 330: initialises a ChannelInfoRecord from byte 46 on.
    void (*HostInitInfoPart)(uint8_t* infoPart);
    void* unused331To363[33];
    // 364: the axis's end values, high end (right or top) first.
    void (*HostAxisGetRange)(AxisObject axis, double* highEnd, double* lowEnd);
    void* unused365To367[3];
    // 368: the axis shows menu as its popup.
    void (*HostAxisSetMenu)(AxisObject axis, MenuRef menu, uint8_t popup);
    void* unused369To372[4];
    // 373: switches one option of the axis.
    void (*HostAxisSetOption)(AxisObject axis, int32_t option, uint8_t on);
    void* unused374;
    // 375: the area the axis draws in.
    void (*HostAxisSetBounds)(AxisObject axis, const Rect* bounds, uint8_t vertical, int16_t code);
    // 376: the area the axis draws in.
    Rect (*HostAxisGetBounds)(AxisObject axis);
    void* unused377To378[2];
    // 379: display settings the axis shows.
    void (*HostAxisSetChannelInfo)(AxisObject axis, const ChannelInfoRecord* info);
    // 380: the axis's title.
    void (*HostAxisSetTitle)(AxisObject axis, ConstStr255Param title, uint8_t flag);
    void* unused381;
    // 382: the axis's insets.
    void (*HostAxisSetInsets)(AxisObject axis, int16_t top, int16_t left, int16_t bottom, int16_t right);
    // 383: a new axis for that range; the caller disposes of it.
    AxisObject (*HostNewAxis)(const Rect* bounds, double highEnd, double lowEnd, uint8_t vertical, uint8_t flag);
    // 384: releases an axis.
    void (*HostDisposeAxis)(AxisObject axis);
    // 385: draws the axis in the current port.
    void (*HostDrawAxis)(AxisObject axis, uint8_t flag);
    // 386: 0: not the axis's; negative: range changed; 2..33: channel (result - 1) chosen; else taken.
    int16_t (*HostAxisClick)(AxisObject axis, const EventRecord* click);
    // 387: cursor code for the point, 0 when the point is not the axis's.
    int16_t (*HostAxisCursor)(Point where, AxisObject axis);
    void* unused388To391[4];
    // 392: 1 when both describe the same display.
    uint8_t (*HostSameChannelInfo)(const ChannelInfoRecord* first, const ChannelInfoRecord* second);
    void* unused393To465[73];
    // 466: the block and index of a sample position.
    void (*HostLocateSample)(DataSourceRef source, int32_t position, SampleLocation* location);
    void* unused467To470[4];
    // 471: a locked handle of the block's floats, null when the channel has no data there.
    Handle (*HostLockBlockData)(DataSourceRef source, int16_t channel, int16_t block);
    // 472: ends a HostLockBlockData (also one that gave null).
    void (*HostUnlockBlockData)(DataSourceRef source, int16_t channel, int16_t block);
    // 473: number of samples in the block.
    int16_t (*HostBlockLength)(DataSourceRef source, int16_t block);
    void* unused474To484[11];
    // 485: a channel's display settings in a block.
    void (*HostBlockChannelInfo)(DataSourceRef source, int16_t channel, int16_t block, ChannelInfoRecord* info);
    void* unused486To489[4];
    // 490: samples recorded so far.
    int32_t (*HostSampleCount)(DataSourceRef source);
    void* unused491To510[20];
    // 511: first check of a candidate current range.
    uint8_t (*HostRangeCheckA)(const SampleRange* range);
    void* unused512To515[4];
    // 516: second check, after HostRangeCheckA.
    uint8_t (*HostRangeCheckB)(const SampleRange* range);
    void* unused517To518[2];
    // 519: whether range A is the current range, after HostRangeCheckA.
    uint8_t (*HostRangeCheckC)(const SampleRange* range);
    void* unused520;
    // 521: range A: the user's selection.
    SampleRange (*HostGetRangeA)(void);
    void* unused522To523[2];
    // 524: range B: the host's fallback range.
    SampleRange (*HostGetRangeB)(void);
    void* unused525To531[7];
    // 532: selects a host pen in the current port.
    void (*HostSetPen)(int16_t pen);
    void* unused533To534[2];
    // 535: a channel's live display settings.
    void (*HostLiveChannelInfo)(int16_t channel, ChannelInfoRecord* info);
    // 536: fills the sampling information.
    void (*HostGetSamplingInfo)(SamplingInfo* info);
    void* unused537To539[3];
    // 540: fills a 256-byte buffer with the channel's title.
    void (*HostChannelTitle)(int16_t channel, StringPtr title);
    void* unused541To566[26];
    // 567: (re)fills one item per channel from firstItem on.
    void (*HostAddChannelItems)(MenuRef menu, int16_t firstItem, uint8_t flag, int16_t variant);
    void* unused568To627[60];
    // 628: makes the extension's resources current.
    void (*HostBeginResources)(int16_t extensionID);
    // 629: ends HostBeginResources.
    void (*HostEndResources)(int16_t extensionID);
    // 630: the host's command number for an extension's local command.
    int16_t (*HostCommandNumber)(int16_t localNumber, int16_t extensionID);
    // 631: adds a menu command.
    void (*HostAddMenuCommand)(ConstStr255Param menuPath, int16_t flags, int16_t command);
    void* unused632To636[5];
    // 637: fills a 256-byte buffer with the extension's name.
    void (*HostExtensionName)(int16_t extensionID, StringPtr name);
    void* unused638To646[9];
    // 647: help text for the point under the mouse; empty for none.
    void (*HostSetHelpText)(ConstStr255Param text);
    void* unused648To653[6];
    // 654: the host's data source.
    DataSourceRef (*HostGetDataSource)(int16_t kind);
};

constexpr int kHostServiceSlotCount = 655;
static_assert(sizeof(HostServiceTable) == kHostServiceSlotCount * sizeof(void*));

// Every service with its slot number, for checks and for hosts that fill the table.
#define HOST_SERVICES(X) \
    X(7, HostPostCommand) \
    X(18, HostPostValueCommand) \
    X(72, HostRestorePen) \
    X(78, HostGetDialog) \
    X(79, HostModalDialog) \
    X(80, HostNewWindow) \
    X(81, HostReportError) \
    X(105, HostSetItemNumber) \
    X(106, HostSetItemText) \
    X(112, HostSetItemValue) \
    X(128, HostEnableControl) \
    X(144, HostZoomWindow) \
    X(145, HostOpenModal) \
    X(146, HostCloseModal) \
    X(147, HostBeforeErase) \
    X(153, HostBusyStep) \
    X(155, HostBusyBegin) \
    X(156, HostBusyEnd) \
    X(172, HostGetModalFilter) \
    X(212, HostGetItemNumber) \
    X(237, HostShowMessage) \
    X(265, HostRequestNotification) \
    X(302, HostPlaceWindow) \
    X(319, HostHandleSize) \
    X(330, HostInitInfoPart) \
    X(364, HostAxisGetRange) \
    X(368, HostAxisSetMenu) \
    X(373, HostAxisSetOption) \
    X(375, HostAxisSetBounds) \
    X(376, HostAxisGetBounds) \
    X(379, HostAxisSetChannelInfo) \
    X(380, HostAxisSetTitle) \
    X(382, HostAxisSetInsets) \
    X(383, HostNewAxis) \
    X(384, HostDisposeAxis) \
    X(385, HostDrawAxis) \
    X(386, HostAxisClick) \
    X(387, HostAxisCursor) \
    X(392, HostSameChannelInfo) \
    X(466, HostLocateSample) \
    X(471, HostLockBlockData) \
    X(472, HostUnlockBlockData) \
    X(473, HostBlockLength) \
    X(485, HostBlockChannelInfo) \
    X(490, HostSampleCount) \
    X(511, HostRangeCheckA) \
    X(516, HostRangeCheckB) \
    X(519, HostRangeCheckC) \
    X(521, HostGetRangeA) \
    X(524, HostGetRangeB) \
    X(532, HostSetPen) \
    X(535, HostLiveChannelInfo) \
    X(536, HostGetSamplingInfo) \
    X(540, HostChannelTitle) \
    X(567, HostAddChannelItems) \
    X(628, HostBeginResources) \
    X(629, HostEndResources) \
    X(630, HostCommandNumber) \
    X(631, HostAddMenuCommand) \
    X(637, HostExtensionName) \
    X(647, HostSetHelpText) \
    X(654, HostGetDataSource)

#define HOST_SERVICE_SLOT_CHECK(slot, name) \
    static_assert(offsetof(HostServiceTable, name) == (slot) * sizeof(void*), #name " is not at its slot");
HOST_SERVICES(HOST_SERVICE_SLOT_CHECK)
#undef HOST_SERVICE_SLOT_CHECK
