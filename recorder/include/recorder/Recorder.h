// The recorder session: the one host object of the process. It builds the
// host service table, loads extension bundles, keeps the recording, runs
// sampling, routes window events to the extension instances and renders
// windows to PNG.
//
// Every public action runs to completion before it returns: commands that the
// extension posted during the action are delivered (message 8) after the
// Main1 call that posted them has returned, and every window whose update
// region is not empty then gets its update (message 11). A program drives the
// user's side (grow sizes, button tracking, popup choices, dialog answers)
// through the toolbox's input source, e.g. a ScriptedInput.
//
// Only one Recorder exists at a time (host services get no context); a second
// one throws RecorderError.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/HostServices.h"
#include "recorder/BundleLoader.h"
#include "recorder/Recording.h"
#include "signals/SampleSource.h"
#include "toolbox/MacTypes.h"

namespace recorder {
class Axis;
}

// The colour of the trace pen (HostSetPen(kTracePen)): a strong blue that
// stands out against the white plot area, the black axes and frame.
constexpr RGBColor kTraceColour{0x0000, 0x6666, 0xCCCC};
constexpr uint32_t kTracePixel = 0x000066CC;  // kTraceColour as a port pixel (0x00RRGGBB)

// Content size of a window zoomed out to the standard state (HostZoomWindow part 8).
constexpr int16_t kStandardZoomWidth = 800;
constexpr int16_t kStandardZoomHeight = 600;

// Misuse of the session or a failure of the host; what() names the value at fault.
struct RecorderError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Text that the extension showed to the user.
struct HostMessage {
    enum class Kind { message, error };  // HostShowMessage, HostReportError
    Kind kind;
    std::string text;
};

// A menu command an extension registered with HostAddMenuCommand.
struct MenuCommand {
    std::string path;  // e.g. "Windows:Real-Time X-Y"
    int16_t flags;
    int16_t command;  // the host's command number
    int16_t extensionID;
    int16_t localNumber;  // the extension's own number for it
};

struct RecorderOptions {
    bool echoMessages = false;  // also print messages and errors on stderr
    bool showProgress = false;  // a progress line on stderr (when it is a terminal) during long redraws
};

// How often the extension called the host services that leave no other trace.
struct ServiceCounters {
    int beforeErase = 0;  // HostBeforeErase
    int busyBegin = 0;
    int busyStep = 0;
    int busyEnd = 0;
    int penSet = 0;           // HostSetPen
    int penRestore = 0;       // HostRestorePen
    int penUnderflows = 0;    // HostRestorePen with no pen to restore: a bug in the caller
    int unknownCommands = 0;  // posts of command numbers the host never gave out
};

// Objects the session holds, for leak checks: all return to their values
// before a window was opened once the window is closed.
struct RecorderCounts {
    int windows = 0;         // open extension windows
    int axes = 0;            // live axis objects
    int queuedCommands = 0;  // posted, not yet delivered
    int lockedBlocks = 0;    // HostLockBlockData without its unlock
    int savedPens = 0;       // HostSetPen without its HostRestorePen
    int busyDepth = 0;       // HostBusyBegin without its HostBusyEnd
};

class Recorder {
public:
    explicit Recorder(RecorderOptions options = {});
    ~Recorder();  // closes every window, then unloads the bundles
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // The session of the process, null when there is none.
    static Recorder* Current();

    // ---- Bundles ----
    // Loads a bundle, opens its resource file, gives it the next extension ID
    // (1, 2, ...) with message 0 and sends the start-up messages 1 to 5.
    // Throws BundleError.
    ExtensionBundle& LoadBundle(const std::string& path);
    // The same for an extension linked into the program (a test's probe).
    ExtensionBundle& AttachExtension(Main1Function main1, const std::string& resourcePath, const std::string& name);
    std::vector<ExtensionBundle*> Bundles() const;
    // Results of the start-up messages 1 to 5 of a bundle.
    std::vector<int32_t> StartupResults(const ExtensionBundle& bundle) const;
    // The extension's name: the last part of the first "Windows:" menu path it
    // registered, else the bundle's file name without ".so".
    std::string ExtensionName(int16_t extensionID) const;

    // ---- Windows ----
    // Message 6: a new window of the extension, shown and brought to the
    // front. Null (and an error in Messages()) when the extension made none.
    // With shown false the window stays hidden until Show: a program sets it
    // up (size, channels, ranges, the current range) without drawing, and
    // the window draws once, when shown.
    WindowRef OpenWindow(ExtensionBundle& bundle, bool shown = true);
    WindowRef OpenWindow(bool shown = true);  // of the first bundle loaded
    // Shows a hidden window and brings it to the front; its whole content is
    // updated at the end of the call. A window already shown is only brought
    // to the front.
    void Show(WindowRef window);
    void CloseWindow(WindowRef window);  // message 7
    void CloseAllWindows();
    std::vector<WindowRef> Windows() const;  // in the order they were opened
    bool IsExtensionWindow(WindowRef window) const;
    uint32_t InstanceOf(WindowRef window) const;  // the handle message 6 returned
    // Message 10 to the window's instance.
    bool InstanceOwnsWindow(WindowRef window);
    // The live axes the window's instance made (HostNewAxis), in the order it
    // made them: those made while it opened the window, and later in its calls.
    std::vector<recorder::Axis*> Axes(WindowRef window) const;

    // Resize to a content size, as if the user dragged the grow box (message 12).
    // A grow that changes the size makes it the user's size (the one zooming
    // in returns to) and leaves the zoomed-out state; one that keeps the size
    // leaves the zoom state alone.
    void Resize(WindowRef window, int16_t width, int16_t height);
    // Message 12 with a mouse-down at start; the input source gives the size.
    void Grow(WindowRef window, Point start);
    // The zoom box: toggles between the user's size and the standard size.
    void Zoom(WindowRef window);
    void Zoom(WindowRef window, bool zoomIn);  // message 13
    bool IsZoomedOut(WindowRef window) const;  // in the standard state
    // A mouse-down in the content at a window-local point (message 14). What
    // the user does next (release point, popup choice, dialog answers) comes
    // from the input source.
    void Click(WindowRef window, Point where, uint16_t modifiers = 0);
    // The host's own range choice for one of the window's axes: a click on
    // the axis title that the axis answers, as it does a range item of its
    // popup menu, with these ends (HostAxisClick gives kAxisClickRangeChanged
    // and the extension takes the range). False when the axis's ends are not
    // these afterwards: a fixed range, ends that are no finite distinct pair,
    // or a click the extension did not offer to the axis.
    bool ChooseAxisRange(WindowRef window, recorder::Axis& axis, double highEnd, double lowEnd);
    // The mouse over a window-local point (message 15); the cursor code.
    int16_t MouseOver(WindowRef window, Point where);
    // Makes the window the front one: deactivates the old front window and
    // activates this one (message 16).
    void BringToFront(WindowRef window);
    // Invalidates the whole content; the update follows at the end of the call.
    void Invalidate(WindowRef window);

    // ---- Menu commands ----
    const std::vector<MenuCommand>& MenuCommands() const { return menuCommands_; }
    // Chooses a registered menu command by its path. A command under
    // "Windows:" opens a new window of the extension that registered it; any
    // other is delivered (message 8) to that extension's front window.
    // Throws RecorderError for an unknown path.
    void ChooseMenuCommand(const std::string& path);
    // The host's erase command on a window: its extension's local command 0,
    // delivered as message 8.
    void EraseCommand(WindowRef window);

    // ---- Recording ----
    Recording& GetRecording() { return recording_; }
    const Recording& GetRecording() const { return recording_; }
    // Adds a channel and tells every window (kind 402), so that axis menus list it.
    int16_t AddChannel(const ChannelSettings& settings);
    // Changes a channel's settings and tells every window (kind 402). During
    // sampling the next samples go to a new block.
    void SetChannel(int16_t channel, const ChannelSettings& settings);
    // Selects samples first..last (inclusive) as range A and tells every
    // window (kind 0). Throws RecorderError outside the recording.
    void SelectRange(int32_t first, int32_t last);
    void ClearSelection();     // kind 0 too
    void NotifyPlotChanged();  // kind 403 to every window

    // ---- Sampling ----
    // Takes the source's channels (adding channels the recording lacks),
    // starts a new block and sends kind 300 to every window. batchFrames is
    // the number of samples per batch, 1 to 32767. Throws RecorderError when
    // already sampling or for a bad batch size or source.
    void StartSampling(SampleSource& source, size_t batchFrames);
    // Reads one batch from the source, records it and sends it (kind 310) to
    // the windows that asked for batches. Returns the samples taken; 0 when
    // the source is exhausted (or, for a feed, when nothing has arrived).
    size_t SampleBatch();
    // Batches until frames samples are taken or the source ends; the samples taken.
    size_t Sample(size_t frames);
    // One batch of given samples, channel 1 first (at most batchFrames each,
    // all of equal length, at most as many channels as the recording has).
    void PushBatch(std::span<const std::vector<float>> channels);
    void StopSampling();  // kind 301 to every window
    bool IsSampling() const { return sampling_ != nullptr; }
    double SampleInterval() const { return sampleInterval_; }  // of the current or last run

    // ---- Output and inspection ----
    // Writes the window's content as a PNG, optionally inside a frame with its
    // title. Written to a temporary file and renamed, so a failure leaves no
    // partial file. Throws RecorderError naming the path and the reason.
    void WritePng(WindowRef window, const std::string& path, bool withFrame = false) const;
    // Writes the window's picture in the format the path's extension names
    // (.svg, .pdf, else PNG), scale times larger (1 to 8). A PNG at scale 1
    // is WritePng's; the others are drawn from a picture of the window's
    // next update: the window is invalidated and updated at once with a
    // picture open on its port, so the extension draws it all again from
    // the recorded data. Not during another action. Throws RecorderError
    // naming the path and the reason; a failure leaves no partial file.
    void WritePicture(WindowRef window, const std::string& path, int scale = 1);
    const std::vector<HostMessage>& Messages() const { return messages_; }
    void ClearMessages() { messages_.clear(); }
    const std::string& HelpText() const { return helpText_; }
    const ServiceCounters& Counters() const { return counters_; }
    // How often the extension redrew recorded data in the window: the busy
    // brackets (HostBusyBegin at no depth) opened during its calls about the
    // window. Counted from the window's opening.
    int Redraws(WindowRef window) const;
    RecorderCounts Counts() const;
    const HostServiceTable& ServiceTable() const { return *table_; }

private:
    struct Impl;
    ExtensionBundle& StartBundle(std::unique_ptr<ExtensionBundle> bundle);
    friend struct SessionAccess;
    friend class ActionScope;
    friend struct Impl;

    std::unique_ptr<Impl> impl_;
    std::unique_ptr<HostServiceTable> table_;
    Recording recording_;
    std::vector<MenuCommand> menuCommands_;
    std::vector<HostMessage> messages_;
    std::string helpText_;
    ServiceCounters counters_;
    RecorderOptions options_;
    SampleSource* sampling_ = nullptr;
    double sampleInterval_ = 0.01;
};
