// The program's session: the recorder with the bundle loaded, and the user's
// actions on plot windows, found as a user finds them: axes by their
// direction, buttons by their titles, dialog items by their kinds.
#include "Session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "recorder/Axis.h"
#include "recorder/PictureFiles.h"
#include "signals/DemoSignals.h"
#include "signals/InputFile.h"
#include "signals/InputText.h"
#include "signals/OutputFile.h"
#include "toolbox/Controls.h"
#include "toolbox/Dialogs.h"
#include "toolbox/Menus.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Windows.h"

namespace fs = std::filesystem;

namespace {

// The plot window's buttons, by the titles a user reads on them.
const char* const kEraseButton = "Erase Now";
const char* const kSettingsButton = "Settings\u2026";

std::string PascalText(const unsigned char* text)
{
    return std::string(reinterpret_cast<const char*>(text + 1), text[0]);
}

const char* SideName(AxisSide side) { return side == AxisSide::x ? "X" : "Y"; }

// The first item of that kind in the dialog; 0 when there is none.
SInt16 FirstItemOfKind(DialogRef dialog, DialogItemKind kind)
{
    for (SInt16 item = 1; item <= CountDITL(dialog); ++item)
        if (GetDialogItemKind(dialog, item) == kind) return item;
    return 0;
}

}  // namespace

std::string DefaultBundlePath()
{
    if (const char* path = std::getenv("XYRECORDER_BUNDLE"); path && *path) return path;
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return "xyplot.so";
    fs::path beside = self.parent_path() / "xyplot.so";
    fs::path installed = self.parent_path() / XY_INSTALLED_BUNDLE_DIR / "xyplot.so";
    return (fs::exists(beside, ec) || !fs::exists(installed, ec) ? beside : installed.lexically_normal()).string();
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

WindowRef Session::Open(int width, int height, bool shown)
{
    WindowRef window = recorder_.OpenWindow(shown);
    if (!window) throw InputError("the extension made no window");
    recorder_.Resize(window, int16_t(width), int16_t(height));
    RequireNoErrors("opening the window");
    return window;
}

const recorder::Axis& Session::Axis(WindowRef window, AxisSide side) const
{
    if (!recorder_.IsExtensionWindow(window)) throw InputError("no such window");
    for (const recorder::Axis* axis : recorder_.Axes(window))
        if (axis->Vertical() == (side == AxisSide::y)) return *axis;
    throw InputError(std::string("the window has no ") + SideName(side) + " axis");
}

int Session::AxisChannel(WindowRef window, AxisSide side) const
{
    MenuRef menu = Axis(window, side).Menu();
    int16_t first = menu ? recorder::FirstChannelItemOf(menu) : 0;
    if (first <= 0) return 0;
    for (SInt16 item = first; item <= CountMenuItems(menu); ++item) {
        SInt16 mark = 0;
        GetItemMark(menu, item, &mark);
        if (mark == checkMark) return item - first + 1;
    }
    return 0;
}

Rect Session::PlotArea(WindowRef window) const
{
    const Rect& across = Axis(window, AxisSide::x).Bounds();
    const Rect& down = Axis(window, AxisSide::y).Bounds();
    return Rect{down.top, across.left, down.bottom, across.right};
}

Point Session::ButtonCentre(WindowRef window, const std::string& title) const
{
    for (UInt16 i = 1; i <= CountWindowControls(window); ++i) {
        ControlRef control = GetIndexedWindowControl(window, i);
        Str255 text;
        GetControlTitle(control, text);
        if (MacRomanToUtf8(PascalText(text)) != title) continue;
        Rect r;
        GetControlBounds(control, &r);
        return Point{int16_t((r.top + r.bottom) / 2), int16_t((r.left + r.right) / 2)};
    }
    throw InputError("the window has no \"" + title + "\" button");
}

Point Session::AxisTitlePoint(WindowRef window, AxisSide side) const
{
    Rect title = Axis(window, side).TitleArea();
    return Point{int16_t((title.top + title.bottom) / 2), int16_t((title.left + title.right) / 2)};
}

void Session::ChooseChannel(WindowRef window, AxisSide side, int channel)
{
    int16_t channels = recorder_.GetRecording().ChannelCount();
    if (channel < 1 || channel > channels)
        throw InputError("channel " + std::to_string(channel) + " does not exist; the recording has " +
                         std::to_string(channels));
    MenuRef menu = Axis(window, side).Menu();
    int16_t first = menu ? recorder::FirstChannelItemOf(menu) : 0;
    if (first <= 0) throw InputError(std::string("the ") + SideName(side) + " axis has no channel menu");
    input_.QueuePopUpChoice(int16_t(first + channel - 1));
    ClickAxisTitle(window, side);
}

void Session::ChooseAxisItem(WindowRef window, AxisSide side, const std::string& itemText)
{
    MenuRef menu = Axis(window, side).Menu();
    SInt16 item = 0;
    for (SInt16 i = 1, count = menu ? CountMenuItems(menu) : 0; i <= count && item == 0; ++i) {
        Str255 text;
        GetMenuItemText(menu, i, text);
        if (PascalText(text) == itemText) item = i;
    }
    if (item == 0) throw InputError("the axis menu has no item " + QuoteInput(itemText));
    input_.QueuePopUpChoice(item);
    ClickAxisTitle(window, side);
}

void Session::ChooseAxisRange(WindowRef window, AxisSide side, double low, double high)
{
    const recorder::Axis& shown = Axis(window, side);
    for (recorder::Axis* axis : recorder_.Axes(window)) {
        if (axis != &shown) continue;
        if (!recorder_.ChooseAxisRange(window, *axis, high, low)) {
            char text[120];
            std::snprintf(text, sizeof text, "the %s axis did not take the range %g:%g", SideName(side), low, high);
            throw InputError(text);
        }
    }
}

void Session::ClickAxisTitle(WindowRef window, AxisSide side)
{
    recorder_.Click(window, AxisTitlePoint(window, side));
    size_t unused = input_.Pending();
    input_.ClearQueues();
    if (unused != 0) throw InputError(std::string("the ") + SideName(side) + " axis did not open its menu");
}

void Session::DragAxis(WindowRef window, AxisSide side, int pixels)
{
    const recorder::Axis& axis = Axis(window, side);
    Rect band = axis.Bounds();
    Rect title = axis.TitleArea();
    // Press on the scale next to the plot, away from the title strip.
    Point start = side == AxisSide::x ? Point{int16_t(band.top + 3), int16_t((band.left + band.right) / 2)}
                                      : Point{int16_t((band.top + band.bottom) / 2), int16_t(band.right - 3)};
    if (PtInRect(start, &title)) throw InputError("no room on the axis scale to drag");
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
    Point centre = ButtonCentre(window, kEraseButton);
    input_.QueueTrack(true);
    recorder_.Click(window, centre);
    size_t unused = input_.Pending();
    input_.ClearQueues();
    if (unused != 0) throw InputError("the Erase Now button did not take the click");
}

void Session::AnswerEraseDialog(WindowRef window, std::optional<double> minutes, std::optional<bool> on, bool cancel)
{
    Point centre = ButtonCentre(window, kSettingsButton);
    // The dialog's items as a user finds them: the number field, the switch
    // (clicked only when it shows the other state), OK and Cancel.
    std::string missing;
    input_.QueueTrack(true);
    if (minutes) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", *minutes);
        input_.QueueDialogAnswer([text = std::string(text), &missing](DialogRef dialog) -> SInt16 {
            SInt16 field = FirstItemOfKind(dialog, DialogItemKind::editText);
            if (!field) {
                missing = "number field";
                return GetDialogCancelItem(dialog);
            }
            Str255 typed;
            CopyCStringToPascal(text, typed);
            TypeDialogText(dialog, field, typed);
            return field;
        });
    }
    if (on)
        input_.QueueDialogAnswer([want = *on, &missing](DialogRef dialog) -> SInt16 {
            SInt16 box = FirstItemOfKind(dialog, DialogItemKind::checkBox);
            if (!box) {
                missing = "check box";
                return GetDialogCancelItem(dialog);
            }
            return (GetDialogItemValue(dialog, box) != 0) != want ? box : 0;
        });
    input_.QueueDialogAnswer(
        [cancel](DialogRef dialog) { return cancel ? GetDialogCancelItem(dialog) : GetDialogDefaultItem(dialog); });
    recorder_.Click(window, centre);
    size_t unused = input_.Pending();
    input_.ClearQueues();
    if (!missing.empty()) throw InputError("the erase-time dialog has no " + missing);
    if (unused != 0) throw InputError("the erase-time dialog did not open");
}

void Session::DefineChannels(const std::vector<ChannelSettings>& infos, bool replace)
{
    Recording& recording = recorder_.GetRecording();
    for (size_t m = 0; m < infos.size(); ++m) {
        ChannelSettings info = infos[m];
        info.title.resize(std::min<size_t>(info.title.size(), 255));
        info.units.resize(std::min<size_t>(info.units.size(), 15));  // what a channel record holds
        if (m >= size_t(recording.ChannelCount())) {
            recorder_.AddChannel(info);
            continue;
        }
        if (!replace) continue;
        const ChannelSettings& now = recording.Channel(int16_t(m + 1));
        if (now.title != info.title || now.units != info.units || now.displayLow != info.displayLow ||
            now.displayHigh != info.displayHigh || now.decimals != info.decimals)
            recorder_.SetChannel(int16_t(m + 1), info);
    }
}

void Session::LoadRecorded(const StoredSignals& signals)
{
    if (recorder_.IsSampling()) throw InputError("can't load recorded data while sampling; stop first");
    CheckRoom(double(signals.SampleCount()), "the recorded data");
    DefineChannels(signals.channels, false);
    Recording& recording = recorder_.GetRecording();
    try {
        recording.AppendStored(signals.samples);
    } catch (const RecordingStoreError& error) {
        throw InputError(error.what());
    } catch (const std::bad_alloc&) {
        throw InputError(OutOfMemoryMessage("loading " + std::to_string(signals.SampleCount()) +
                                            " samples beside the " + std::to_string(recording.SampleCount()) +
                                            " recorded"));
    } catch (const std::exception& error) {
        throw InputError(std::string("the recording can't hold the samples: ") + error.what());
    }
    // The recorder has no notice for new data outside sampling: the current
    // range changed, so the windows hear kind 0 (the selection stays).
    if (auto selection = recording.Selection())
        recorder_.SelectRange(selection->first, selection->second);
    else
        recorder_.ClearSelection();
}

size_t Session::SampleBatch()
{
    try {
        return recorder_.SampleBatch();
    } catch (const std::bad_alloc&) {
        throw InputError(OutOfMemory());
    } catch (const RecordingStoreError& error) {
        throw InputError(StoreFull(error));
    }
}

size_t Session::Sample(size_t frames)
{
    try {
        return recorder_.Sample(frames);
    } catch (const std::bad_alloc&) {
        throw InputError(OutOfMemory());
    } catch (const RecordingStoreError& error) {
        throw InputError(StoreFull(error));
    }
}

std::string Session::StoreFull(const RecordingStoreError& error) const
{
    return std::string(error.what()) + "; sampling stopped after " +
           std::to_string(recorder_.GetRecording().SampleCount()) + " samples";
}

std::string Session::OutOfMemory() const
{
    return OutOfMemoryMessage("sampling stopped after " + std::to_string(recorder_.GetRecording().SampleCount()) +
                              " samples");
}

void Session::CheckRoom(double samples, const std::string& what) const
{
    double had = recorder_.GetRecording().SampleCount();
    if (had == 0) {
        CheckRecordingFits(samples, what);
        return;
    }
    if (had + samples <= kMaxRecordingSamples) return;
    char text[240];
    std::snprintf(text, sizeof text,
                  "%s (%.0f samples) does not fit beside the %.0f samples already recorded; the recorder holds at "
                  "most %.0f (32767 blocks of 32767 samples)",
                  what.c_str(), samples, had, kMaxRecordingSamples);
    throw InputError(text);
}

void Session::RequireNotReadByTheRun(const std::string& path, const char* what) const
{
    std::vector<std::string> inputs = inputs_;
    for (const ExtensionBundle* bundle : recorder_.Bundles()) {
        inputs.push_back(bundle->Path());
        inputs.push_back(bundle->ResourcePath());
    }
    RequireNotAnInput(path, inputs, what);
}

void Session::WritePng(WindowRef window, const std::string& path)
{
    RequireNotReadByTheRun(path, "PNG");
    try {
        recorder_.WritePng(window, path);
    } catch (const RecorderError& error) {
        throw InputError(error.what());
    }
}

void Session::WritePicture(WindowRef window, const std::string& path, int scale)
{
    RequireNotReadByTheRun(path, PictureFormatName(PictureFormatOf(path)));
    try {
        recorder_.WritePicture(window, path, scale);
    } catch (const RecorderError& error) {
        throw InputError(error.what());
    }
}

void Session::RequireNoErrors(const std::string& during)
{
    for (const HostMessage& message : recorder_.Messages())
        if (message.kind == HostMessage::Kind::error)
            throw InputError("the extension reported an error while " + during + ": " + message.text);
    if (const std::string& failure = recorder_.GetRecording().LoadFailure(); !failure.empty())
        throw InputError("the recording could not be read while " + during + ": " + failure);
}

void Session::ShowMessages(bool withErrors)
{
    // In order of first appearance, each text once.
    std::vector<std::pair<const HostMessage*, int>> shown;
    const std::vector<HostMessage>& messages = recorder_.Messages();
    for (size_t i = messagesShown_; i < messages.size(); ++i) {
        const HostMessage& message = messages[i];
        if (message.kind == HostMessage::Kind::error && !withErrors) continue;
        auto same = std::find_if(shown.begin(), shown.end(), [&](const auto& entry) {
            return entry.first->kind == message.kind && entry.first->text == message.text;
        });
        if (same != shown.end())
            ++same->second;
        else
            shown.emplace_back(&message, 1);
    }
    messagesShown_ = messages.size();
    for (const auto& [message, count] : shown) {
        std::string times = count > 1 ? " (" + std::to_string(count) + " times)" : std::string();
        std::fprintf(stderr, "xyrecorder: %s%s%s\n",
                     message->kind == HostMessage::Kind::error ? "the extension reported an error: " : "",
                     EscapeInput(message->text).c_str(), times.c_str());
    }
}

void CheckRecordingFits(double samples, const std::string& what)
{
    if (samples <= kMaxRecordingSamples) return;
    char text[240];
    std::snprintf(text, sizeof text,
                  "%s has %.0f samples; the recorder holds at most %.0f (32767 blocks of 32767 samples)", what.c_str(),
                  samples, kMaxRecordingSamples);
    throw InputError(text);
}

void CheckDemoFits(double samples, const std::string& what)
{
    CheckRecordingFits(samples, what);
    double bytes = samples * double(kDemoChannelCount) * 4.0;
    if (bytes <= kMaxDemoBytes) return;
    char text[240];
    std::snprintf(text, sizeof text,
                  "%s needs %.0f MiB (%.0f samples × %d channels × 4 bytes); the demo is made in memory, at most "
                  "%.0f MiB of samples",
                  what.c_str(), std::ceil(bytes / 1048576.0), samples, kDemoChannelCount, kMaxDemoBytes / 1048576.0);
    throw InputError(text);
}

void RequireNotAnInput(const std::string& path, const std::vector<std::string>& inputs, const std::string& what)
{
    // Standard output may have been sent into an input (">> recording.csv").
    std::optional<FileIdentity> output = path == kStandardOutput ? IdentityOf(STDOUT_FILENO) : IdentityOf(path);
    if (!output) return;
    for (const std::string& input : inputs) {
        bool standard = input == kStandardInput;
        if ((standard ? IdentityOf(STDIN_FILENO) : IdentityOf(input)) == output)
            throw InputError(what + " " + EscapeInput(path) + ": is the input " +
                             (standard ? std::string("standard input") : EscapeInput(input)) +
                             "; it is not written over");
    }
}

std::string OutOfMemoryMessage(const std::string& detail) { return "out of memory for the recording: " + detail; }

int ResolveChannel(const std::vector<ChannelSettings>& channels, const std::string& wanted, const std::string& what,
                   const std::string& source)
{
    if (wanted.empty()) throw InputError(what + ": give a channel title or number");
    SignalSet lookup;
    for (const ChannelSettings& info : channels) lookup.channels.push_back(SignalChannel{info, {}});
    if (int channel = lookup.FindChannel(wanted)) return channel;
    std::string list;
    for (size_t i = 0; i < channels.size(); ++i)
        list += (i ? ", " : "") + std::to_string(i + 1) + " " + QuoteInput(channels[i].title);
    throw InputError(what + " " + ShowInput(wanted) + ": " + EscapeInput(source) +
                     " has no such channel; its channels are " + list);
}
