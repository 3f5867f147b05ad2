// The axis services: axes made, kept and released for extensions, each call
// handed to its live axis, the channel items of axis popups, and which
// window's instance made each axis.
//
// Arguments the recorder accepts and does not use: the second flag byte of
// HostNewAxis, the flag of HostDrawAxis (an axis always draws whole), the
// flag and variant of HostAddChannelItems, and the insets of HostAxisSetInsets
// (kept for callers; the band, the font and the labels decide the layout).
#include <algorithm>
#include <map>
#include <set>

#include "AxisRegistry.h"
#include "RecorderImpl.h"
#include "Services.h"
#include "recorder/Axis.h"
#include "toolbox/Toolbox.h"

namespace recorder {
namespace {

std::set<Axis*> gLiveAxes;
std::map<MenuRef, int16_t> gFirstChannelItem;

// An axis belongs to the window whose instance made it: the window of the
// call under way, or, while message 6 runs, the window that call opens.
void NoteMaker(AxisObject axis)
{
    Recorder* session = SessionAccess::Current();
    if (!session) return;
    SessionAccess::Impl& state = SessionAccess::State();
    if (state.newAxes) {
        state.newAxes->push_back(axis);
    } else if (!state.calls.empty() && state.calls.back().window) {
        if (WindowEntry* entry = state.Find(state.calls.back().window)) entry->axes.push_back(axis);
    }
}

void ForgetMaker(AxisObject axis)
{
    if (!SessionAccess::Current()) return;
    SessionAccess::Impl& state = SessionAccess::State();
    if (state.newAxes) std::erase(*state.newAxes, axis);
    for (WindowEntry& entry : state.windows) std::erase(entry.axes, axis);
}

}  // namespace

Axis* AxisFromObject(AxisObject object)
{
    Axis* axis = reinterpret_cast<Axis*>(object);
    return gLiveAxes.count(axis) ? axis : nullptr;
}

int16_t FirstChannelItemOf(MenuRef menu)
{
    auto found = gFirstChannelItem.find(menu);
    return found == gFirstChannelItem.end() ? 0 : found->second;
}

int CountLiveAxes() { return int(gLiveAxes.size()); }

void ReleaseAxisMenu(const Axis* holder, MenuRef menu)
{
    bool shared = std::any_of(gLiveAxes.begin(), gLiveAxes.end(),
                              [&](const Axis* other) { return other != holder && other->Menu() == menu; });
    if (shared) return;
    gFirstChannelItem.erase(menu);
    DisposeMenu(menu);
}

}  // namespace recorder

namespace services {

using recorder::Axis;
using recorder::AxisFromObject;

AxisObject HostNewAxis(const Rect* bounds, double highEnd, double lowEnd, uint8_t vertical, uint8_t)
{
    Rect r = bounds ? *bounds : Rect{0, 0, 0, 0};
    Axis* axis = LowNew<Axis>(r, highEnd, lowEnd, vertical != 0);
    LowAddress(axis);  // aborts if the zone ever handed out a block above 4 GiB
    recorder::gLiveAxes.insert(axis);
    auto object = reinterpret_cast<AxisObject>(axis);
    recorder::NoteMaker(object);
    return object;
}

void HostDisposeAxis(AxisObject object)
{
    Axis* axis = AxisFromObject(object);
    if (!axis) return;
    recorder::ForgetMaker(object);
    LowDelete(axis);  // the destructor still sees itself among the live axes: menus are shared-checked
    recorder::gLiveAxes.erase(axis);
}

void HostAxisSetBounds(AxisObject object, const Rect* bounds, uint8_t vertical, int16_t code)
{
    if (Axis* axis = AxisFromObject(object); axis && bounds) axis->SetBounds(*bounds, vertical != 0, code);
}

Rect HostAxisGetBounds(AxisObject object)
{
    Axis* axis = AxisFromObject(object);
    return axis ? axis->Bounds() : Rect{0, 0, 0, 0};
}

void HostAxisSetInsets(AxisObject object, int16_t top, int16_t left, int16_t bottom, int16_t right)
{
    if (Axis* axis = AxisFromObject(object)) axis->SetInsets(top, left, bottom, right);
}

void HostAxisSetMenu(AxisObject object, MenuRef menu, uint8_t popup)
{
    if (Axis* axis = AxisFromObject(object)) axis->SetMenu(menu, popup != 0);
}

void HostAxisSetOption(AxisObject object, int32_t option, uint8_t on)
{
    if (Axis* axis = AxisFromObject(object)) axis->SetOption(option, on != 0);
}

void HostAxisSetChannelInfo(AxisObject object, const ChannelInfoRecord* info)
{
    if (Axis* axis = AxisFromObject(object); axis && info) axis->SetChannelInfo(*info);
}

void HostAxisSetTitle(AxisObject object, ConstStr255Param title, uint8_t withUnits)
{
    if (Axis* axis = AxisFromObject(object))
        axis->SetTitle(title ? PascalToString(title) : std::string(), withUnits != 0);
}

void HostDrawAxis(AxisObject object, uint8_t)
{
    if (Axis* axis = AxisFromObject(object)) axis->Draw();
}

int16_t HostAxisClick(AxisObject object, const EventRecord* click)
{
    Axis* axis = AxisFromObject(object);
    return axis && click ? axis->Click(*click) : int16_t(kAxisClickNotTaken);
}

int16_t HostAxisCursor(Point where, AxisObject object)
{
    Axis* axis = AxisFromObject(object);
    return axis ? axis->Cursor(where) : int16_t(kAxisCursorNone);
}

void HostAxisGetRange(AxisObject object, double* highEnd, double* lowEnd)
{
    Axis* axis = AxisFromObject(object);
    if (!axis) return;
    if (highEnd) *highEnd = axis->HighEnd();
    if (lowEnd) *lowEnd = axis->LowEnd();
}

// Items firstItem.. become one item per channel, channel 1 first; what stood
// there before goes. A menu shorter than firstItem - 1 is padded with
// disabled dividers so that channel k still lands on firstItem + k - 1.
void HostAddChannelItems(MenuRef menu, int16_t firstItem, uint8_t, int16_t)
{
    if (!menu || firstItem < 1) return;
    for (SInt16 count = CountMenuItems(menu); count >= firstItem; --count) DeleteMenuItem(menu, count);
    static const unsigned char kDivider[] = {2, '(', '-'};
    while (CountMenuItems(menu) < firstItem - 1) AppendMenu(menu, kDivider);
    const Recording& recording = SessionAccess::Data();
    for (int16_t channel = 1; channel <= recording.ChannelCount(); ++channel) {
        std::string title = recording.Channel(channel).title;
        if (title.empty()) title = "Channel " + std::to_string(channel);
        Str255 text;
        CopyCStringToPascal(title, text);
        AppendMenuItemText(menu, text);
    }
    recorder::gFirstChannelItem[menu] = firstItem;
}

}  // namespace services
