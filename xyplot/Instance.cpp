// Creating and disposing of a plot window and its record.
#include <cstring>

#include "XYPlotExtension.h"

EventHandlerUPP gWindowEventHandlerUPP = nullptr;

namespace {

constexpr int16_t kMenuCommandFlags = 32;
constexpr int16_t kButtonProcID = 3793;
constexpr int32_t kEraseButtonRefCon = 1000;
constexpr int32_t kSettingsButtonRefCon = 1001;
constexpr int16_t kAxisInset = 9;
constexpr int16_t kAxisTitleInset = 21;

const unsigned char kMenuPath[] = "\025Windows:Real-Time X-Y";
const unsigned char kEraseTitle[] = "\011Erase Now";
const unsigned char kSettingsTitle[] = "\011Settings\xC9";  // ends with an ellipsis
const unsigned char kDivider[] = "\002(-";

// Builds one axis's popup: a fresh copy of MENU 1000, a divider, the channel items.
MenuRef BuildChannelMenu(AxisObject axis, LocalDataType& record, int16_t channel, bool countItems)
{
    MenuRef menu = GetMenu(kPlotWindowID);
    DetachResource(menu);
    AppendMenu(menu, kDivider);
    gHost->HostAxisSetMenu(axis, menu, 1);
    if (countItems) record.firstChannelItem = int16_t(CountMenuItems(menu) + 1);
    gHost->HostAddChannelItems(menu, record.firstChannelItem, 0, 0);
    CheckChannelItems(menu, record.firstChannelItem, channel);
    gHost->HostAxisSetOption(axis, kAxisOptionTitlePopup, 1);
    gHost->HostAxisSetOption(axis, kAxisOptionMinorTicks, 1);
    gHost->HostAxisSetOption(axis, kAxisOptionFixedRange, 0);
    return menu;
}

}  // namespace

void CheckChannelItems(MenuRef menu, int16_t firstChannelItem, int16_t channel)
{
    for (int16_t item = firstChannelItem; item < firstChannelItem + kHostChannelCount; ++item)
        CheckMenuItem(menu, item, channel == item - firstChannelItem + 1);
}

void CopyString(unsigned char* destination, const unsigned char* source)
{
    std::memcpy(destination, source, size_t(source[0]) + 1);
}

LocalDataHandle XYPlotExtension::NewInstance()
{
    auto instance = reinterpret_cast<LocalDataHandle>(NewHandle(sizeof(LocalDataType)));
    if (!instance) return nullptr;
    HLock(reinterpret_cast<Handle>(instance));
    LocalDataType& record = **instance;

    record.window = gHost->HostNewWindow(kPlotWindowID, 0, -1, 3);
    OSStatus status = SetThemeWindowBackground(record.window, kThemeBrushDocumentWindowBackground, false);
    if (!record.window) {
        // Nothing to attach the rest to: give back what was made; the host
        // learns from the null instance that no window could be opened.
        DisposeHandle(reinterpret_cast<Handle>(instance));
        return nullptr;
    }
    if (status == noErr) {
        PlaceWindow(record.window, kPlotWindowID, 0, 1);
        SetMinimumWindowSize(record.window, 200, 200);
        // Every window follows size changes made by others; the routine is made once.
        if (!gWindowEventHandlerUPP) gWindowEventHandlerUPP = NewEventHandlerUPP(WindowEventHandler);
        const EventTypeSpec boundsChanged = {kEventClassWindow, kEventWindowBoundsChanged};
        InstallEventHandler(GetWindowEventTarget(record.window), gWindowEventHandlerUPP, 1, &boundsChanged, instance,
                            nullptr);
    }
    SetPortToWindow(record.window);

    Str255 menuPath;
    CopyString(menuPath, kMenuPath);
    int16_t command = CommandNumber(EraseCommand);
    gHost->HostAddMenuCommand(menuPath, kMenuCommandFlags, command);

    Rect r;
    SetRect(&r, 1, 1, 17, 17);
    record.eraseButton = NewControl(record.window, &r, kEraseTitle, true, 0, 0, 0, kButtonProcID, kEraseButtonRefCon);
    OffsetRect(&r, 15, 0);
    record.settingsButton =
        NewControl(record.window, &r, kSettingsTitle, true, 0, 0, 0, kButtonProcID, kSettingsButtonRefCon);

    record.eraseMinutes = 1.0;
    record.autoErase = 0;
    record.samplesPerMinute = 1;
    record.yTopValue = kFullScale;
    record.yBottomValue = kNegativeFullScale;
    record.xLeftValue = kNegativeFullScale;
    record.xRightValue = kFullScale;
    record.xChannel = 1;
    record.yChannel = 2;
    record.traceStartSample = 0;
    record.traceEndSample = 0;
    record.isSampling = 0;
    // What a sampling start would give them, so that a batch reaching a window
    // opened during sampling starts a new polyline.
    record.eraseAtSample = kNeverErase;
    record.restartTrace = 1;
    record.penX = 0;
    record.penY = 0;

    SetRect(&r, 0, 0, 100, 100);
    record.xAxis = gHost->HostNewAxis(&r, record.xRightValue, record.xLeftValue, 0, 0);
    gHost->HostAxisSetInsets(record.xAxis, kAxisInset, kAxisTitleInset, kAxisInset, kAxisTitleInset);
    record.yAxis = gHost->HostNewAxis(&r, record.yTopValue, record.yBottomValue, 1, 1);
    gHost->HostAxisSetInsets(record.yAxis, kAxisInset, kAxisTitleInset, kAxisInset, kAxisTitleInset);

    gHost->HostInitInfoPart(record.xChannelInfo.bytes + ChannelInfoRecord::kInfoPart);
    record.xChannelInfo.bytes[ChannelInfoRecord::kFlagByte] = 0;
    record.yChannelInfo = record.xChannelInfo;
    record.xInfoVaries = 0;
    record.yInfoVaries = 0;

    record.xMenu = BuildChannelMenu(record.xAxis, record, record.xChannel, true);
    record.yMenu = BuildChannelMenu(record.yAxis, record, record.yChannel, false);

    LayoutPlot(instance);
    HUnlock(reinterpret_cast<Handle>(instance));
    RequestNotification(kNotifyNewData, true);
    return instance;
}

void XYPlotExtension::DisposeInstance(LocalDataHandle instance)
{
    if (!instance) return;
    LocalDataType& record = **instance;
    DisposeWindow(record.window);
    gHost->HostDisposeAxis(record.xAxis);
    gHost->HostDisposeAxis(record.yAxis);
    DisposeHandle(reinterpret_cast<Handle>(instance));
}
