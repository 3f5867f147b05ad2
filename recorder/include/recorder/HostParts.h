// The recorder's host services come in parts that each fill their own slots
// of the service table. The session (Recorder) builds the table and calls the
// installers; the parts talk back to it only through these hooks.
#pragma once

#include <string>

#include "host/HostServices.h"

// What the axis part needs to know about the recording.
struct AxisHostHooks {
    int16_t (*channelCount)();                           // channels of the recording
    std::string (*channelTitle)(int16_t channel);        // title of channel 1..channelCount
};

// Axes and channel menus: HostNewAxis, HostDisposeAxis, HostAxisSetBounds,
// HostAxisGetBounds, HostAxisSetInsets, HostAxisSetMenu, HostAxisSetOption,
// HostAxisSetChannelInfo, HostAxisSetTitle, HostDrawAxis, HostAxisClick,
// HostAxisCursor, HostAxisGetRange, HostAddChannelItems.
void InstallAxisServices(HostServiceTable& table, const AxisHostHooks& hooks);
int CountLiveAxes();

// Dialogs: HostBeginResources, HostEndResources, HostGetDialog, HostOpenModal,
// HostCloseModal, HostModalDialog, HostGetModalFilter, HostSetItemNumber,
// HostSetItemText, HostSetItemValue, HostGetItemNumber. resourceFileOf gives
// the resource file reference number of an extension ID (-1 when unknown).
void InstallDialogServices(HostServiceTable& table, int16_t (*resourceFileOf)(int16_t extensionID));
