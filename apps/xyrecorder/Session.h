// One run of the program: the recorder with the X-Y bundle loaded, a scripted
// user, and the user's actions on plot windows expressed the way a person
// performs them (clicks on axes and buttons, popup choices, dialog answers).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "InstanceRecord.h"
#include "Options.h"
#include "recorder/Recorder.h"
#include "recorder/ScriptedInput.h"
#include "recorder/Signals.h"

// The bundle: $XYRECORDER_BUNDLE, else xyplot.so beside the program.
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
    // extension made none.
    WindowRef Open(int width, int height);
    const InstanceRecord& Record(WindowRef window) const;

    // ---- What a user does ----
    // Clicks the axis title and picks the channel from its popup menu.
    void ChooseChannel(WindowRef window, AxisSide side, int channel);
    // Clicks the axis title and picks a range item ("Zoom In", "Zoom Out",
    // "Channel Range").
    void ChooseAxisItem(WindowRef window, AxisSide side, const std::string& itemText);
    // Drags the axis scale by pixels along the axis.
    void DragAxis(WindowRef window, AxisSide side, int pixels);
    void ClickEraseButton(WindowRef window);
    // Clicks "Settings…" and answers the dialog: types minutes (which also
    // switches automatic erase on), sets the switch, then OK; or cancels.
    void AnswerEraseDialog(WindowRef window, std::optional<double> minutes, std::optional<bool> on, bool cancel);

    // ---- Data ----
    // Gives the recording these channels (titles, units, display ranges)
    // where it has none yet, so the axis menus list them.
    void DefineChannels(const std::vector<ChannelSpec>& infos);
    // Puts the samples into the recording as recorded data (one run).
    void LoadRecorded(const SignalSet& signals);

    // Throws InputError naming the path when it can't be written.
    void WritePng(WindowRef window, const std::string& path);

    // Errors the extension reported, as InputError (the first one).
    void RequireNoErrors(const std::string& during);

private:
    Point AxisTitlePoint(WindowRef window, AxisSide side) const;
    // Clicks the title with a popup choice queued; InputError when no menu opened.
    void ClickAxisTitle(WindowRef window, AxisSide side);
    recorder::Axis* AxisOf(WindowRef window, AxisSide side) const;

    Recorder recorder_;
    ScriptedInput input_;
    ScopedInputSource scopedInput_;
};

// Channel number for a title or number given by the user; InputError naming
// what asked, the source (a file name, "the recording") and its channels.
int ResolveChannel(const std::vector<ChannelSpec>& channels, const std::string& wanted, const std::string& what,
                   const std::string& source);
