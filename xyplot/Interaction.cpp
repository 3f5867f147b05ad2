// Clicks on axes and buttons, mouse-over help, and the extension's commands.
#include <cmath>

#include "XYPlotExtension.h"

namespace {

const unsigned char kEraseHelp[] = "\011Erase Now";
const unsigned char kSettingsHelp[] = "\016Set Erase Time";
const unsigned char kNoHelp[] = "";

enum class AxisClick { notTaken, taken };

// Offers the click to one axis. A range change is applied at once; a channel
// choice is posted as a command and applied when the host delivers it.
AxisClick OfferToAxis(AxisObject axis, EventRecord* click, double* highEnd, double* lowEnd, uint32_t selector,
                      LocalDataHandle instance)
{
    int16_t result = gHost->HostAxisClick(axis, click);
    if (result == kAxisClickNotTaken) return AxisClick::notTaken;
    if (result < 0) {
        gHost->HostAxisGetRange(axis, highEnd, lowEnd);
        LayoutPlot(instance);
        InvalInCurrentWindow((*instance)->plotRect);
    } else if (uint16_t(result - kAxisClickFirstChannel) < kHostChannelCount) {
        gHost->HostPostCommand(uint16_t(gExtension.CommandNumber(SetChannelCommand)), int32_t(selector),
                               int16_t(result - kAxisClickFirstChannel + 1));
    }
    return AxisClick::taken;
}

}  // namespace

void XYPlotExtension::DoContentClick(WindowRef, int16_t, ControlRef control, Point where, EventRecord* click,
                                     LocalDataHandle instance)
{
    LocalDataType& record = **instance;
    ClipToWindow(record.window);
    if (OfferToAxis(record.xAxis, click, &record.xRightValue, &record.xLeftValue, 0, instance) == AxisClick::notTaken &&
        OfferToAxis(record.yAxis, click, &record.yTopValue, &record.yBottomValue, 1, instance) == AxisClick::notTaken &&
        control && TrackControl(control, where, nullptr)) {
        if (control == record.eraseButton)
            EraseTrace(instance);
        else if (control == record.settingsButton)
            DoEraseTimeDialog(instance);
    }
    ClipRect(&(*instance)->plotRect);
}

void XYPlotExtension::DoMouseOver(WindowRef, Point where, int16_t* cursor, LocalDataHandle instance)
{
    LocalDataType& record = **instance;
    Rect eraseBounds, settingsBounds;
    GetControlBounds(record.eraseButton, &eraseBounds);
    GetControlBounds(record.settingsButton, &settingsBounds);

    int16_t code = gHost->HostAxisCursor(where, record.xAxis);
    if (code == 0) code = gHost->HostAxisCursor(where, record.yAxis);
    *cursor = code;

    const unsigned char* help = PtInRect(where, &eraseBounds)      ? kEraseHelp
                                : PtInRect(where, &settingsBounds) ? kSettingsHelp
                                                                   : kNoHelp;
    gHost->HostSetHelpText(help);
}

void XYPlotExtension::DoCommand(const CommandRecord* command, LocalDataHandle instance)
{
    LocalDataType& record = **instance;
    switch (uint16_t(CommandKind(command))) {
    case EraseCommand:
        gHost->HostBeforeErase(record.window);
        EraseTrace(instance);
        break;
    case SetEraseTimeCommand: {
        double minutes = CommandMinutes(command);
        record.eraseMinutes = std::fabs(minutes);
        record.autoErase = minutes > 0 ? 1 : 0;
        UpdateErasePoint(record);
        break;
    }
    case SetChannelCommand: {
        int16_t channel = CommandChannel(command);
        bool isX = CommandAxisSelector(command) == 0;
        (isX ? record.xChannel : record.yChannel) = channel;
        if (record.isSampling) gHost->HostLiveChannelInfo(channel, isX ? &record.xChannelInfo : &record.yChannelInfo);
        CheckChannelItems(isX ? record.xMenu : record.yMenu, record.firstChannelItem, channel);
        UpdateWindow(record.window, instance);
        break;
    }
    default:
        break;
    }
}
