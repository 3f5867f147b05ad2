// The modal dialog that sets the automatic erase time. It edits local copies
// only; a confirmed result travels to the host as a command.
#include "XYPlotExtension.h"

namespace {

enum : int16_t { kConfirmItem = 1, kCancelItem = 2, kAutoEraseItem = 3, kMinutesItem = 4, kUnitItem = 5 };
constexpr int16_t kModalFilterKind = 201;
constexpr double kLowestMinutes = 0.1;
constexpr double kHighestMinutes = 100.0;
const unsigned char kMinute[] = "\006minute";
const unsigned char kMinutes[] = "\007minutes";

}  // namespace

void XYPlotExtension::DoEraseTimeDialog(LocalDataHandle instance)
{
    BeginResources();
    DialogRef dialog = GetPlacedDialog(kPlotWindowID);
    EndResources();
    if (!dialog) return;  // nothing to show: leave the settings as they are

    bool autoOn = (*instance)->autoErase;
    double value = (*instance)->eraseMinutes;

    gHost->HostSetItemNumber(dialog, kMinutesItem, value, 1, 1);
    SelectDialogItemText(dialog, kMinutesItem, 0, 1000);
    gHost->HostOpenModal(dialog);

    int16_t item = 0;
    do {
        gHost->HostSetItemValue(dialog, kAutoEraseItem, autoOn ? 1 : 0);
        gHost->HostSetItemText(dialog, kUnitItem, value == 1.0 ? kMinute : kMinutes);
        gHost->HostModalDialog(gHost->HostGetModalFilter(kModalFilterKind), &item);
        if (item == kAutoEraseItem) {
            autoOn = !autoOn;
        } else if (item == kMinutesItem) {
            value = gHost->HostGetItemNumber(dialog, kMinutesItem, kLowestMinutes, kHighestMinutes);
            autoOn = true;
        }
    } while (uint16_t(item - 1) > 1);

    if (item == kConfirmItem) {
        if (!autoOn) value = -value;
        gHost->HostPostValueCommand(uint16_t(CommandNumber(SetEraseTimeCommand)), 0, value);
    }
    gHost->HostCloseModal(dialog);
    DisposeDialog(dialog);
}
