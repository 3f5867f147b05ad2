// One run of the program: the recorder with the X-Y bundle loaded, a scripted
// user, and the user's actions on plot windows expressed the way a person
// performs them (clicks on axes and buttons, popup choices, dialog answers).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Options.h"
#include "recorder/Recorder.h"
#include "recorder/ScriptedInput.h"
#include "signals/Signals.h"
#include "signals/StoredSignals.h"

// The bundle: $XYRECORDER_BUNDLE, else xyplot.so beside the program (as in the
// build folder), else where an install puts it.
std::string DefaultBundlePath();

namespace recorder {
class Axis;
}

enum class AxisSide { x, y };

class Session {
public:
    Session(const std::string& bundlePath, bool showProgress);
    ~Session();

    Recorder& Host() { return recorder_; }
    ScriptedInput& Input() { return input_; }

    // ---- Windows ----
    // A new X-Y window sized to width × height (content); InputError if the
    // extension made none. A window opened hidden draws nothing until
    // Host().Show(window): it is set up first and drawn once.
    WindowRef Open(int width, int height, bool shown = true);

    // ---- What a user sees ----
    // The window's X (horizontal) or Y (vertical) axis, among the axes its
    // instance made; InputError when it has none.
    const recorder::Axis& Axis(WindowRef window, AxisSide side) const;
    // The channel checked in the axis's popup menu; 0 when none is.
    int AxisChannel(WindowRef window, AxisSide side) const;
    // The plot area: between the X axis's ends across and the Y axis's down.
    Rect PlotArea(WindowRef window) const;

    // ---- What a user does ----
    // Clicks the axis title and picks the channel from its popup menu.
    void ChooseChannel(WindowRef window, AxisSide side, int channel);
    // Clicks the axis title and picks a range item ("Zoom In", "Zoom Out",
    // "Channel Range").
    void ChooseAxisItem(WindowRef window, AxisSide side, const std::string& itemText);
    // The host's own range choice for the axis (Recorder::ChooseAxisRange):
    // low at the left or bottom end, high at the other. InputError when the
    // axis did not take it.
    void ChooseAxisRange(WindowRef window, AxisSide side, double low, double high);
    // Drags the axis scale by pixels along the axis.
    void DragAxis(WindowRef window, AxisSide side, int pixels);
    // InputError when the button did not take the click.
    void ClickEraseButton(WindowRef window);
    // Clicks "Settings…" and answers the dialog: types minutes (which also
    // switches automatic erase on), sets the switch, then OK; or cancels.
    void AnswerEraseDialog(WindowRef window, std::optional<double> minutes, std::optional<bool> on, bool cancel);

    // ---- Data ----
    // Adds the channels the recording lacks and, with replace, gives the others
    // these titles, units and display ranges (kind 402 for each one that
    // changes), so the axes and their menus show what a source holds.
    void DefineChannels(const std::vector<ChannelSettings>& infos, bool replace = true);
    // Puts the samples into the recording as recorded data (one run; channels
    // it lacks are added), read from where they are stored as the windows
    // need them, and tells the windows that the current range changed (kind 0).
    void LoadRecorded(const StoredSignals& signals);
    // Recorder::SampleBatch and Sample; InputError when memory runs out.
    size_t SampleBatch();
    size_t Sample(size_t frames);
    // Throws InputError unless the recording can take samples more (the
    // recorder's block limit); what names them.
    void CheckRoom(double samples, const std::string& what) const;

    // A file the run reads (the bundles loaded count too): WritePng and
    // WritePicture never write over it.
    void AddInput(const std::string& path) { inputs_.push_back(path); }
    // Throws InputError naming the path when it can't be written or is an input.
    void WritePng(WindowRef window, const std::string& path);
    // The picture in the format the path names (.svg, .pdf, else PNG), scale
    // times larger; InputError naming the path when it can't be written or
    // is an input.
    void WritePicture(WindowRef window, const std::string& path, int scale);

    // Errors the extension reported, or a block of the recording that could
    // not be read for it, as InputError (the first one).
    void RequireNoErrors(const std::string& during);
    // Prints on stderr what the extension showed the user and has not yet been
    // printed, each text once with its count; errors too when withErrors.
    void ShowMessages(bool withErrors);

private:
    // Throws InputError when path is one of the inputs or the bundle's files.
    void RequireNotReadByTheRun(const std::string& path, const char* what) const;
    Point AxisTitlePoint(WindowRef window, AxisSide side) const;
    // Clicks the title with a popup choice queued; InputError when no menu opened.
    void ClickAxisTitle(WindowRef window, AxisSide side);
    // The centre of the window's button with that title (as the user reads
    // it, UTF-8); InputError when there is none.
    Point ButtonCentre(WindowRef window, const std::string& title) const;
    std::string OutOfMemory() const;
    std::string StoreFull(const RecordingStoreError& error) const;

    Recorder recorder_;
    ScriptedInput input_;
    ScopedInputSource scopedInput_;
    std::vector<std::string> inputs_;
    size_t messagesShown_ = 0;
};

// The samples a recording may hold at most: the recorder's 32767 blocks of
// 32767 samples. Their size is limited only by the disk: the recording keeps
// them where they are stored and the memory below 4 GiB holds only the blocks
// in use.
constexpr double kMaxRecordingSamples = 32767.0 * 32767.0;

// Throws InputError unless samples fit that limit; what names the recording
// in the message.
void CheckRecordingFits(double samples, const std::string& what);

// The demo recording is made whole in memory before it is played: at most
// this many bytes of samples.
constexpr double kMaxDemoBytes = 512.0 * 1024 * 1024;
// CheckRecordingFits, and the demo's samples within kMaxDemoBytes.
void CheckDemoFits(double samples, const std::string& what);

// Throws InputError ("WHAT PATH: is the input INPUT; ...") when path names the
// same file as one of inputs, by any name (a link, another hard link). "-" is
// standard output as path and standard input among inputs.
void RequireNotAnInput(const std::string& path, const std::vector<std::string>& inputs, const std::string& what);

// The message for a std::bad_alloc; detail says when it happened.
std::string OutOfMemoryMessage(const std::string& detail);

// Channel number for a title or number given by the user; InputError naming
// what asked, the source (a file name, "the recording") and its channels.
int ResolveChannel(const std::vector<ChannelSettings>& channels, const std::string& wanted, const std::string& what,
                   const std::string& source);
