// The session's service table: every slot filled in one place, in slot order,
// with the file that implements it.
#include "RecorderImpl.h"
#include "Services.h"

void FillServiceTable(HostServiceTable& table)
{
    using namespace services;
    table.HostPostCommand = HostPostCommand;                  //   7  Commands.cpp
    table.HostPostValueCommand = HostPostValueCommand;        //  18  Commands.cpp
    table.HostRestorePen = HostRestorePen;                    //  72  Pens.cpp
    table.HostGetDialog = HostGetDialog;                      //  78  DialogServices.cpp
    table.HostModalDialog = HostModalDialog;                  //  79  DialogServices.cpp
    table.HostNewWindow = HostNewWindow;                      //  80  WindowServices.cpp
    table.HostReportError = HostReportError;                  //  81  UserMessages.cpp
    table.HostSetItemNumber = HostSetItemNumber;              // 105  DialogServices.cpp
    table.HostSetItemText = HostSetItemText;                  // 106  DialogServices.cpp
    table.HostSetItemValue = HostSetItemValue;                // 112  DialogServices.cpp
    table.HostEnableControl = HostEnableControl;              // 128  WindowServices.cpp
    table.HostZoomWindow = HostZoomWindow;                    // 144  WindowServices.cpp
    table.HostOpenModal = HostOpenModal;                      // 145  DialogServices.cpp
    table.HostCloseModal = HostCloseModal;                    // 146  DialogServices.cpp
    table.HostBeforeErase = HostBeforeErase;                  // 147  Commands.cpp
    table.HostBusyStep = HostBusyStep;                        // 153  UserMessages.cpp
    table.HostBusyBegin = HostBusyBegin;                      // 155  UserMessages.cpp
    table.HostBusyEnd = HostBusyEnd;                          // 156  UserMessages.cpp
    table.HostGetModalFilter = HostGetModalFilter;            // 172  DialogServices.cpp
    table.HostGetItemNumber = HostGetItemNumber;              // 212  DialogServices.cpp
    table.HostShowMessage = HostShowMessage;                  // 237  UserMessages.cpp
    table.HostRequestNotification = HostRequestNotification;  // 265  Commands.cpp
    table.HostPlaceWindow = HostPlaceWindow;                  // 302  WindowServices.cpp
    table.HostHandleSize = HostHandleSize;                    // 319  RecordedData.cpp
    table.HostInitInfoPart = HostInitInfoPart;                // 330  RecordedData.cpp
    table.HostAxisGetRange = HostAxisGetRange;                // 364  AxisServices.cpp
    table.HostAxisSetMenu = HostAxisSetMenu;                  // 368  AxisServices.cpp
    table.HostAxisSetOption = HostAxisSetOption;              // 373  AxisServices.cpp
    table.HostAxisSetBounds = HostAxisSetBounds;              // 375  AxisServices.cpp
    table.HostAxisGetBounds = HostAxisGetBounds;              // 376  AxisServices.cpp
    table.HostAxisSetChannelInfo = HostAxisSetChannelInfo;    // 379  AxisServices.cpp
    table.HostAxisSetTitle = HostAxisSetTitle;                // 380  AxisServices.cpp
    table.HostAxisSetInsets = HostAxisSetInsets;              // 382  AxisServices.cpp
    table.HostNewAxis = HostNewAxis;                          // 383  AxisServices.cpp
    table.HostDisposeAxis = HostDisposeAxis;                  // 384  AxisServices.cpp
    table.HostDrawAxis = HostDrawAxis;                        // 385  AxisServices.cpp
    table.HostAxisClick = HostAxisClick;                      // 386  AxisServices.cpp
    table.HostAxisCursor = HostAxisCursor;                    // 387  AxisServices.cpp
    table.HostSameChannelInfo = HostSameChannelInfo;          // 392  RecordedData.cpp
    table.HostLocateSample = HostLocateSample;                // 466  RecordedData.cpp
    table.HostLockBlockData = HostLockBlockData;              // 471  RecordedData.cpp
    table.HostUnlockBlockData = HostUnlockBlockData;          // 472  RecordedData.cpp
    table.HostBlockLength = HostBlockLength;                  // 473  RecordedData.cpp
    table.HostBlockChannelInfo = HostBlockChannelInfo;        // 485  RecordedData.cpp
    table.HostSampleCount = HostSampleCount;                  // 490  RecordedData.cpp
    table.HostRangeCheckA = HostRangeCheckA;                  // 511  RecordedData.cpp
    table.HostRangeCheckB = HostRangeCheckB;                  // 516  RecordedData.cpp
    table.HostRangeCheckC = HostRangeCheckC;                  // 519  RecordedData.cpp
    table.HostGetRangeA = HostGetRangeA;                      // 521  RecordedData.cpp
    table.HostGetRangeB = HostGetRangeB;                      // 524  RecordedData.cpp
    table.HostSetPen = HostSetPen;                            // 532  Pens.cpp
    table.HostLiveChannelInfo = HostLiveChannelInfo;          // 535  RecordedData.cpp
    table.HostGetSamplingInfo = HostGetSamplingInfo;          // 536  Sampling.cpp
    table.HostChannelTitle = HostChannelTitle;                // 540  RecordedData.cpp
    table.HostAddChannelItems = HostAddChannelItems;          // 567  AxisServices.cpp
    table.HostBeginResources = HostBeginResources;            // 628  DialogServices.cpp
    table.HostEndResources = HostEndResources;                // 629  DialogServices.cpp
    table.HostCommandNumber = HostCommandNumber;              // 630  Commands.cpp
    table.HostAddMenuCommand = HostAddMenuCommand;            // 631  Commands.cpp
    table.HostExtensionName = HostExtensionName;              // 637  Commands.cpp
    table.HostSetHelpText = HostSetHelpText;                  // 647  UserMessages.cpp
    table.HostGetDataSource = HostGetDataSource;              // 654  RecordedData.cpp
}
