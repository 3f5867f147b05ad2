#include "Session.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "recorder/Axis.h"
#include "toolbox/Menus.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Windows.h"

namespace fs = std::filesystem;

namespace {

// The two buttons above the plot, from the window's fixed layout.
constexpr Point kEraseButtonCentre{9, 8};
constexpr Point kSettingsButtonCentre{9, 24};
// Items of the erase-time dialog.
constexpr SInt16 kDialogOK = 1, kDialogCancel = 2, kDialogAutoErase = 3, kDialogMinutes = 4;

std::string PascalText(const unsigned char* text) { return std::string(reinterpret_cast<const char*>(text + 1), text[0]); }

recorder::Axis* LiveAxis(AxisObject object, const char* side)
{
    recorder::Axis* axis = recorder::AxisFromObject(object);
    if (!axis)
        throw InputError(std::string("the window has no live ") + side + " axis");
    return axis;
}

}  // namespace

std::string DefaultBundlePath()
{
    if (const char* path = std::getenv("XYRECORDER_BUNDLE"); path && *path)
        return path;
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("xyplot.so") : (self.parent_path() / "xyplot.so").string();
}

Session::Session(const std::string& bundlePath, bool showProgress)
    : recorder_(RecorderOptions{false, showProgress}), scopedInput_(&input_)
{
    try {
        recorder_.LoadBundle(bundlePath);
    } catch (const BundleError& error) {
        throw InputError(error.what());
    }
}

Session::~Session() = default;

WindowRef Session::Open(int width, int height)
{
    WindowRef window = recorder_.OpenWindow();
    if (!window)
        throw InputError("the extension made no window");
    recorder_.Resize(window, int16_t(width), int16_t(height));
    RequireNoErrors("opening the window");
    return window;
}

const InstanceRecord& Session::Record(WindowRef window) const
{
    if (!recorder_.IsExtensionWindow(window))
        throw InputError("no such window");
    const InstanceRecord* record = RecordOfInstance(recorder_.InstanceOf(window));
    if (!record)
        throw InputError("the window has no instance record");
    // The record names its window; anything else means the layout we read by
    // is not the extension's.
    if (record->window != window)
        throw InputError("the window's record does not have the layout this program reads");
    return *record;
}

recorder::Axis* Session::AxisOf(WindowRef window, AxisSide side) const
{
    const InstanceRecord& record = Record(window);
    return side == AxisSide::x ? LiveAxis(record.xAxis, "X") : LiveAxis(record.yAxis, "Y");
}

Point Session::AxisTitlePoint(WindowRef window, AxisSide side) const
{
    Rect title = AxisOf(window, side)->TitleArea();
    return Point{int16_t((title.top + title.bottom) / 2), int16_t((title.left + title.right) / 2)};
}

void Session::ChooseChannel(WindowRef window, AxisSide side, int channel)
{
    int16_t channels = recorder_.GetRecording().ChannelCount();
    if (channel < 1 || channel > channels)
        throw InputError("channel " + std::to_string(channel) + " does not exist; the recording has " +
                         std::to_string(channels));
    const InstanceRecord& record = Record(window);
    input_.QueuePopUpChoice(int16_t(record.firstChannelItem + channel - 1));
    ClickAxisTitle(window, side);
}

void Session::ChooseAxisItem(WindowRef window, AxisSide side, const std::string& itemText)
{
    auto* axis = AxisOf(window, side);
    MenuRef menu = axis->Menu();
    SInt16 item = 0;
    for (SInt16 i = 1, count = menu ? CountMenuItems(menu) : 0; i <= count && item == 0; ++i) {
        Str255 text;
        GetMenuItemText(menu, i, text);
        if (PascalText(text) == itemText)
            item = i;
    }
    if (item == 0)
        throw InputError("the axis menu has no item \"" + itemText + "\"");
    input_.QueuePopUpChoice(item);
    ClickAxisTitle(window, side);
}

void Session::ClickAxisTitle(WindowRef window, AxisSide side)
{
    recorder_.Click(window, AxisTitlePoint(window, side));
    size_t unused = input_.Pending();
    input_.ClearQueues();
    if (unused != 0)
        throw InputError(std::string("the ") + (side == AxisSide::x ? "X" : "Y") + " axis did not open its menu");
}

void Session::DragAxis(WindowRef window, AxisSide side, int pixels)
{
    auto* axis = AxisOf(window, side);
    Rect band = axis->Bounds();
    Rect title = axis->TitleArea();
    // Press on the scale next to the plot, away from the title strip.
    Point start = side == AxisSide::x ? Point{int16_t(band.top + 3), int16_t((band.left + band.right) / 2)}
                                      : Point{int16_t((band.top + band.bottom) / 2), int16_t(band.right - 3)};
    if (PtInRect(start, &title))
        throw InputError("no room on the axis scale to drag");
    Point release = start;
    if (side == AxisSide::x)
        release.h = int16_t(release.h + pixels);
    else
        release.v = int16_t(release.v + pixels);
    input_.QueueDrag(release);
    recorder_.Click(window, start);
    input_.ClearQueues();
}

void Session::ClickEraseButton(WindowRef window)
{
    input_.QueueTrack(true);
    recorder_.Click(window, kEraseButtonCentre);
    input_.ClearQueues();
}

void Session::AnswerEraseDialog(WindowRef window, std::optional<double> minutes, std::optional<bool> on, bool cancel)
{
    input_.QueueTrack(true);
    bool autoOn = Record(window).autoErase != 0;
    if (minutes) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", *minutes);
        input_.QueueDialogTyping(kDialogMinutes, text);
        autoOn = true;  // the number field switches automatic erase on
    }
    if (on && *on != autoOn)
        input_.QueueDialogHit(kDialogAutoErase);
    input_.QueueDialogHit(cancel ? kDialogCancel : kDialogOK);
    recorder_.Click(window, kSettingsButtonCentre);
    size_t unused = input_.Pending();
    input_.ClearQueues();
    if (unused != 0)
        throw InputError("the erase-time dialog did not open (is the window's Settings button there?)");
}

void Session::DefineChannels(const std::vector<ChannelSpec>& infos)
{
    Recording& recording = recorder_.GetRecording();
    for (size_t m = size_t(recording.ChannelCount()); m < infos.size(); ++m) {
        ChannelSpec info = infos[m];
        info.title.resize(std::min<size_t>(info.title.size(), 255));
        info.units.resize(std::min<size_t>(info.units.size(), 15));  // what a channel record holds
        recorder_.AddChannel(info);
    }
}

void Session::LoadRecorded(const SignalSet& signals)
{
    std::vector<ChannelSpec> infos;
    for (const SignalChannel& channel : signals.channels)
        infos.push_back(channel.info);
    DefineChannels(infos);
    std::vector<const float*> data;
    for (const SignalChannel& channel : signals.channels)
        data.push_back(channel.samples.data());
    Recording& recording = recorder_.GetRecording();
    recording.BeginBlock();
    try {
        recording.Append(data, signals.SampleCount());
    } catch (const std::exception& error) {
        throw InputError(std::string("the recording can't hold the file's samples: ") + error.what());
    }
}

void Session::WritePng(WindowRef window, const std::string& path)
{
    try {
        recorder_.WritePng(window, path);
    } catch (const RecorderError& error) {
        throw InputError(error.what());
    }
}

void Session::RequireNoErrors(const std::string& during)
{
    for (const HostMessage& message : recorder_.Messages())
        if (message.kind == HostMessage::Kind::error)
            throw InputError("the extension reported an error while " + during + ": " + message.text);
}

int ResolveChannel(const std::vector<ChannelSpec>& channels, const std::string& wanted, const std::string& what,
                   const std::string& source)
{
    SignalSet lookup;
    for (const ChannelSpec& info : channels)
        lookup.channels.push_back(SignalChannel{info, {}});
    if (int channel = lookup.FindChannel(wanted))
        return channel;
    std::string list;
    for (size_t i = 0; i < channels.size(); ++i)
        list += (i ? ", " : "") + std::to_string(i + 1) + " \"" + channels[i].title + "\"";
    throw InputError(what + " " + wanted + ": " + source + " has no such channel; its channels are " + list);
}
