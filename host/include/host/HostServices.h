// The host application's side of the extension ABI: its service table, with
// each service's contract, and the vocabulary the services speak (pens, axis
// options, cursor codes, click results). Messages and their blocks are in
// host/Messages.h, the records in host/Records.h. Header-only; compiles on its own.
//
// The table is an array of native function pointers indexed by slot number
// (the byte offset of the 32-bit table divided by 4). Results: i16 sign-extended,
// u8 low byte only. Strings are a length byte and up to 255 bytes; the host
// copies every string and record it is given; buffers the host fills are 256
// bytes. Objects the host hands out are below 4 GiB, so that 32-bit fields can
// carry them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/Messages.h"
#include "host/Records.h"
#include "toolbox/Events.h"
#include "toolbox/MacTypes.h"

struct OpaqueAxisObject;
struct OpaqueDataSource;
struct OpaqueModalFilter;
using AxisObject = OpaqueAxisObject*;       // a host-made axis with scale, title and popup menu
using DataSourceRef = OpaqueDataSource*;    // the host's recorded data
using ModalFilterUPP = OpaqueModalFilter*;  // a host filter routine for HostModalDialog

// ---- What the services speak of ----------------------------------------------------

// HostSetPen: the pen of live and recorded traces.
constexpr int16_t kTracePen = 133;

// HostGetDataSource: the kind that names the host's recorded data.
constexpr int16_t kRecordedDataSource = 1;

// HostPlaceWindow: the resource a window or dialog was made from.
constexpr int32_t kWindowResourceType = int32_t(FourCharCode("WIND"));
constexpr int32_t kDialogResourceType = int32_t(FourCharCode("DLOG"));

// HostAxisSetOption: each option is one bit.
enum : int32_t {
    kAxisOptionInfoVaries = 2,   // the channel's display settings vary over the data shown
    kAxisOptionMinorTicks = 4,   // unlabelled minor ticks between the labelled ones
    kAxisOptionFixedRange = 8,   // the user can't change the range from the axis
    kAxisOptionTitlePopup = 32,  // the title opens the axis's popup menu
};

// HostAxisCursor: what the mouse is over.
enum : int16_t {
    kAxisCursorNone = 0,   // not the axis
    kAxisCursorScale = 1,  // the scale: drag to move the range
    kAxisCursorTitle = 2,  // the title: click to open the popup
};

// HostAxisClick: 0, the click was not the axis's; negative, the axis changed
// its range (read it with HostAxisGetRange); 2 to kHostChannelCount + 1, channel
// (result - 1) was chosen from the popup; any other, the axis took the click.
enum : int16_t {
    kAxisClickNotTaken = 0,
    kAxisClickRangeChanged = -1,
    kAxisClickTaken = 1,
    kAxisClickFirstChannel = 2,  // channel 1
};

// ---- The service table -------------------------------------------------------

struct HostServiceTable {
    void* unused0To6[7];
    // 7: queues a command numbered by HostCommandNumber; the host delivers it as
    // message 8 after the current call returns, to the window whose call posted it.
    void (*HostPostCommand)(uint16_t command, int32_t axisSelector, int16_t channel);
    void* unused8To17[10];
    // 18: the same for a command carrying a double (at +8 of its CommandRecord).
    void (*HostPostValueCommand)(uint16_t command, int32_t selector, double value);
    void* unused19To71[53];
    // 72: restores the pen the matching HostSetPen replaced, in the port it was
    // set in; without a HostSetPen it does nothing.
    void (*HostRestorePen)(void);
    void* unused73To77[5];
    // 78: a new dialog from DLOG resourceID of the current resources; the
    // caller owns it (DisposeDialog). Null when there is no such resource.
    DialogRef (*HostGetDialog)(int16_t resourceID);
    // 79: waits for an item hit in the innermost dialog opened with HostOpenModal
    // and stores its number; with none open, stores the cancel item 2. filter may be null.
    void (*HostModalDialog)(ModalFilterUPP filter, int16_t* itemHit);
    // 80: a new window from WIND resourceID of the extension's resources,
    // in front of the others; the extension owns it (DisposeWindow). Null when
    // there is no such resource. behind, refCon and kind are the host's to use.
    WindowRef (*HostNewWindow)(int16_t resourceID, int32_t behind, int32_t refCon, int16_t kind);
    // 81: reports a failed operation to the user; null reports an empty text.
    void (*HostReportError)(ConstStr255Param message);
    void* unused82To104[23];
    // 105: shows value in an edit-text item, the whole text selected when select
    // is 1; style is the host's to use. An unknown dialog or item is left alone.
    void (*HostSetItemNumber)(DialogRef dialog, int16_t item, double value, int16_t style, uint8_t select);
    // 106: sets a dialog item's text; null empties it.
    void (*HostSetItemText)(DialogRef dialog, int16_t item, ConstStr255Param text);
    void* unused107To111[5];
    // 112: checks (1) or unchecks (0) a check box or radio button.
    void (*HostSetItemValue)(DialogRef dialog, int16_t item, uint8_t value);
    void* unused113To127[15];
    // 128: makes a control active (1) or dimmed (0) and shows it so; null does nothing.
    void (*HostEnableControl)(ControlRef control, uint8_t enable);
    void* unused129To143[15];
    // 144: zooms the window out to the host's standard size (part 8, inZoomOut)
    // or back in to the user's size (part 7, inZoomIn); with front, selects it.
    void (*HostZoomWindow)(WindowRef window, int16_t partCode, uint8_t redraw, uint8_t front);
    // 145: shows the dialog and makes it the innermost modal dialog.
    void (*HostOpenModal)(DialogRef dialog);
    // 146: ends the dialog's modal phase and hides it; the caller still disposes of it.
    void (*HostCloseModal)(DialogRef dialog);
    // 147: called before a window erases its trace on the host's erase command.
    void (*HostBeforeErase)(WindowRef window);
    void* unused148To152[5];
    // 153: one step of the long operation under way.
    void (*HostBusyStep)(int16_t amount);
    void* unused154;
    // 155: a long operation begins; the host may show progress.
    void (*HostBusyBegin)(void);
    // 156: the long operation ends.
    void (*HostBusyEnd)(void);
    void* unused157To171[15];
    // 172: the host's modal filter routine of that kind, for HostModalDialog; the
    // host owns it.
    ModalFilterUPP (*HostGetModalFilter)(int16_t kind);
    void* unused173To211[39];
    // 212: the number in an edit-text item, kept within lowest..highest; text that
    // is no number gives the value last set with HostSetItemNumber, else lowest.
    double (*HostGetItemNumber)(DialogRef dialog, int16_t item, double lowest, double highest);
    void* unused213To236[24];
    // 237: shows a message to the user; null shows an empty text.
    void (*HostShowMessage)(ConstStr255Param message);
    void* unused238To264[27];
    // 265: asks for (1) or withdraws (0) message-9 notifications of a kind for
    // the extension's windows. Kind 310 comes only when asked for.
    void (*HostRequestNotification)(int16_t extensionID, int16_t kind, uint8_t on);
    void* unused266To301[36];
    // 302: positions a new window (kWindowResourceType) or dialog
    // (kDialogResourceType) before it is shown; the other arguments are the host's to use.
    void (*HostPlaceWindow)(WindowRef window, ConstStr255Param extensionName, int32_t resourceType, int16_t resourceID,
                            int16_t variant, int32_t flags);
    void* unused303To318[16];
    // 319: byte size of a handle's block; 0 for null.
    uint32_t (*HostHandleSize)(Handle h);
    void* unused320To329[10];
    // 330: fills a ChannelInfoRecord with the host's defaults from byte 46 on;
    // infoPart is the address of byte 46.
    void (*HostInitInfoPart)(uint8_t* infoPart);
    void* unused331To363[33];
    // 364: the axis's end values, high end (right or top) first; a null pointer is skipped.
    void (*HostAxisGetRange)(AxisObject axis, double* highEnd, double* lowEnd);
    void* unused365To367[3];
    // 368: the axis takes the menu as its popup (popup 1) and disposes of it with
    // itself, or when another menu replaces it.
    void (*HostAxisSetMenu)(AxisObject axis, MenuRef menu, uint8_t popup);
    void* unused369To372[4];
    // 373: switches one option (kAxisOption...) of the axis.
    void (*HostAxisSetOption)(AxisObject axis, int32_t option, uint8_t on);
    void* unused374;
    // 375: the window-local band the axis draws in, along the plot's edge.
    void (*HostAxisSetBounds)(AxisObject axis, const Rect* bounds, uint8_t vertical, int16_t code);
    // 376: the band the axis draws in; empty for no axis.
    Rect (*HostAxisGetBounds)(AxisObject axis);
    void* unused377To378[2];
    // 379: display settings the axis shows (units, range, decimals); also clears
    // kAxisOptionInfoVaries.
    void (*HostAxisSetChannelInfo)(AxisObject axis, const ChannelInfoRecord* info);
    // 380: the axis's title; with flag 1 the channel's units follow it.
    void (*HostAxisSetTitle)(AxisObject axis, ConstStr255Param title, uint8_t flag);
    void* unused381;
    // 382: the axis's insets, kept for the caller.
    void (*HostAxisSetInsets)(AxisObject axis, int16_t top, int16_t left, int16_t bottom, int16_t right);
    // 383: a new axis for that range; the caller owns it and releases it with HostDisposeAxis.
    AxisObject (*HostNewAxis)(const Rect* bounds, double highEnd, double lowEnd, uint8_t vertical, uint8_t flag);
    // 384: releases an axis and its popup menu; null or an unknown axis does nothing.
    void (*HostDisposeAxis)(AxisObject axis);
    // 385: draws the axis in the current port; its clip, pen and colours stay.
    void (*HostDrawAxis)(AxisObject axis, uint8_t flag);
    // 386: offers a mouse-down (window-local) to the axis: kAxisClick... results.
    int16_t (*HostAxisClick)(AxisObject axis, const EventRecord* click);
    // 387: cursor code (kAxisCursor...) for a window-local point.
    int16_t (*HostAxisCursor)(Point where, AxisObject axis);
    void* unused388To391[4];
    // 392: 1 when both records describe the same display.
    uint8_t (*HostSameChannelInfo)(const ChannelInfoRecord* first, const ChannelInfoRecord* second);
    void* unused393To465[73];
    // 466: the block and index of a sample position, clamped to the recording;
    // block 0, index 0 for an empty one.
    void (*HostLocateSample)(DataSourceRef source, int32_t position, SampleLocation* location);
    void* unused467To470[4];
    // 471: the block's floats of the channel in a locked handle the host owns;
    // null when the channel has no data there. Every call needs its HostUnlockBlockData.
    Handle (*HostLockBlockData)(DataSourceRef source, int16_t channel, int16_t block);
    // 472: ends a HostLockBlockData (also one that gave null).
    void (*HostUnlockBlockData)(DataSourceRef source, int16_t channel, int16_t block);
    // 473: number of samples in the block; 0 for a block that does not exist.
    int16_t (*HostBlockLength)(DataSourceRef source, int16_t block);
    void* unused474To484[11];
    // 485: a channel's display settings as the block was recorded.
    void (*HostBlockChannelInfo)(DataSourceRef source, int16_t channel, int16_t block, ChannelInfoRecord* info);
    void* unused486To489[4];
    // 490: samples recorded so far.
    int32_t (*HostSampleCount)(DataSourceRef source);
    void* unused491To510[20];
    // 511: 1 when the range is not empty and lies inside the recording.
    uint8_t (*HostRangeCheckA)(const SampleRange* range);
    void* unused512To515[4];
    // 516: 1 when the range was made for the recording as it is now (after HostRangeCheckA).
    uint8_t (*HostRangeCheckB)(const SampleRange* range);
    void* unused517To518[2];
    // 519: 1 when the range is the user's selection (after HostRangeCheckA).
    uint8_t (*HostRangeCheckC)(const SampleRange* range);
    void* unused520;
    // 521: range A: the user's selection.
    SampleRange (*HostGetRangeA)(void);
    void* unused522To523[2];
    // 524: range B: the host's fallback range.
    SampleRange (*HostGetRangeB)(void);
    void* unused525To531[7];
    // 532: selects a host pen (kTracePen, ...) in the current port, saving the one
    // it replaces for HostRestorePen.
    void (*HostSetPen)(int16_t pen);
    void* unused533To534[2];
    // 535: a channel's display settings as they are now.
    void (*HostLiveChannelInfo)(int16_t channel, ChannelInfoRecord* info);
    // 536: fills the sampling information.
    void (*HostGetSamplingInfo)(SamplingInfo* info);
    void* unused537To539[3];
    // 540: fills a 256-byte buffer with the channel's title.
    void (*HostChannelTitle)(int16_t channel, StringPtr title);
    void* unused541To566[26];
    // 567: items from firstItem on become one item per channel, channel 1 first;
    // what stood there before goes.
    void (*HostAddChannelItems)(MenuRef menu, int16_t firstItem, uint8_t flag, int16_t variant);
    void* unused568To627[60];
    // 628: makes the extension's resource file current until HostEndResources.
    void (*HostBeginResources)(int16_t extensionID);
    // 629: ends HostBeginResources: the previous resource file is current again.
    void (*HostEndResources)(int16_t extensionID);
    // 630: the host's command number for an extension's local command, the same each time.
    int16_t (*HostCommandNumber)(int16_t localNumber, int16_t extensionID);
    // 631: adds a command to the host's menus under a path such as "Windows:Name";
    // the same path and number again adds nothing.
    void (*HostAddMenuCommand)(ConstStr255Param menuPath, int16_t flags, int16_t command);
    void* unused632To636[5];
    // 637: fills a 256-byte buffer with the extension's name.
    void (*HostExtensionName)(int16_t extensionID, StringPtr name);
    void* unused638To646[9];
    // 647: help text for the point under the mouse; empty or null for none.
    void (*HostSetHelpText)(ConstStr255Param text);
    void* unused648To653[6];
    // 654: the host's recorded data for kRecordedDataSource, owned by the host;
    // null for other kinds.
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
