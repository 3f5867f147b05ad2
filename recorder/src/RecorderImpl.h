// The session's inner state, shared by the files of the session and its host
// services, and the one way the services reach it.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "recorder/Recorder.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Windows.h"

struct WindowEntry {
    WindowRef window;
    ExtensionBundle* bundle;
    uint32_t instance;
    std::vector<AxisObject> axes;  // made by the instance, in order
};

struct ZoomState {
    bool zoomedOut = false;
    int16_t userWidth = 0;
    int16_t userHeight = 0;
};

struct QueuedCommand {
    WindowRef target;  // null: the front window of the extension
    int16_t extensionID;
    int16_t hostNumber;
    int16_t localNumber;
    uint32_t axisSelector;
    bool carriesValue;
    int16_t channel;
    double value;
};

struct SavedPen {
    CGrafPtr port;
    UInt32 portSerial;  // tells the port from a later one at the same address
    RGBColor colour;
};

// One Main1 call under way: which bundle, about which window.
struct CallFrame {
    ExtensionBundle* bundle;
    WindowRef window;
};

struct Recorder::Impl {
    Recorder& owner;
    explicit Impl(Recorder& r) : owner(r) {}
    ~Impl();

    std::vector<std::unique_ptr<ExtensionBundle>> bundles;
    std::map<const ExtensionBundle*, std::vector<int32_t>> startupResults;
    std::vector<WindowEntry> windows;
    std::map<WindowRef, ZoomState> zoom;

    // Parameter blocks by call depth, kept for reuse so that no call allocates once warm.
    std::vector<std::unique_ptr<ParamBlock>> blockPool;
    std::vector<CallFrame> calls;
    // While message 6 runs: the windows and axes the new instance makes.
    std::vector<WindowRef>* newWindows = nullptr;
    std::vector<AxisObject>* newAxes = nullptr;

    std::deque<QueuedCommand> commands;
    std::map<int16_t, std::pair<int16_t, int16_t>> commandByNumber;  // host number -> (extension, local)
    std::map<std::pair<int16_t, int16_t>, int16_t> numberByCommand;
    int16_t nextCommandNumber = 1000;
    std::set<std::pair<int16_t, int16_t>> notificationRequests;  // (extension, kind)

    std::vector<SavedPen> pens;
    int placedWindows = 0;
    int actionDepth = 0;
    int busyDepth = 0;
    int busySteps = 0;  // of the redraw under way
    std::chrono::steady_clock::time_point busyStart;
    bool progressShown = false;
    std::map<WindowRef, int> redraws;  // outermost busy brackets opened in each window's calls
    std::chrono::steady_clock::time_point startTime = std::chrono::steady_clock::now();

    // Sampling: buffers made at the start of a run and reused by every batch.
    ::SampleBatch* batch = nullptr;
    std::vector<float*> batchBuffers;
    size_t batchFrames = 0;

    // ---- Calls into extensions (Calls.cpp) ----
    int32_t Call(ExtensionBundle& bundle, int16_t message, WindowRef window, uint8_t* block);
    uint8_t* AcquireBlock();
    int32_t SendToWindow(const WindowEntry& entry, int16_t message, const std::function<void(uint8_t*)>& fill);
    void Notify(int16_t kind, uint32_t data, int16_t extra, bool onlyRequested);
    void NotifyWindow(const WindowEntry& entry, int16_t kind, uint32_t data, int16_t extra);
    void Report(HostMessage::Kind kind, const std::string& text);

    // ---- After every action (Calls.cpp) ----
    void Settle();
    bool RunUpdates();
    void DeliverCommand(const QueuedCommand& command);  // Commands.cpp

    // ---- Lookups (Calls.cpp) ----
    WindowEntry* Find(WindowRef window);
    WindowEntry& Require(WindowRef window, const char* action);
    ExtensionBundle* BundleOf(int16_t extensionID) const;
    WindowEntry* FrontWindowOf(int16_t extensionID);
    int16_t CallingExtension() const;

    // ---- Sampling (Sampling.cpp) ----
    void ReleaseBatch();
    void DeliverBatch(size_t frames);
};

// Runs an action's end: queued commands, then updates.
class ActionScope {
public:
    explicit ActionScope(Recorder::Impl& impl) : impl_(impl) { ++impl_.actionDepth; }
    ~ActionScope();
    ActionScope(const ActionScope&) = delete;
    ActionScope& operator=(const ActionScope&) = delete;

private:
    Recorder::Impl& impl_;
};

// Makes a window's port current for a scope.
class PortScope {
public:
    explicit PortScope(WindowRef window)
    {
        GetPort(&saved_);
        SetPort(GetWindowPort(window));
    }
    ~PortScope() { SetPort(saved_); }
    PortScope(const PortScope&) = delete;
    PortScope& operator=(const PortScope&) = delete;

private:
    GrafPtr saved_;
};

// How the host services, which get no context of their own, reach the session
// of the process. Every accessor but Current() aborts when there is none: a
// service called without a session is a bug in the caller.
struct SessionAccess {
    using Impl = Recorder::Impl;
    static Recorder* Current();
    static Recorder& Session();
    static Recorder::Impl& State() { return *Session().impl_; }
    static Recording& Data() { return Session().recording_; }
    static ServiceCounters& Counters() { return Session().counters_; }
    static std::vector<MenuCommand>& MenuCommands() { return Session().menuCommands_; }
    static std::string& HelpText() { return Session().helpText_; }
    static const RecorderOptions& Options() { return Session().options_; }
    static double SampleInterval() { return Session().sampleInterval_; }
};

// Fills every slot of the session's service table (ServiceTable.cpp).
void FillServiceTable(HostServiceTable& table);
