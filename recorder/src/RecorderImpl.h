// The session's inner state, shared by Recorder.cpp and the host services.
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

struct WindowEntry {
    WindowRef window;
    ExtensionBundle* bundle;
    uint32_t instance;
};

struct ZoomState {
    bool zoomedOut = false;
    int16_t userWidth = 0;
    int16_t userHeight = 0;
};

struct QueuedCommand {
    WindowRef target;       // null: the front window of the extension
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
    std::vector<WindowRef>* newWindows = nullptr;  // windows HostNewWindow made during message 6

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
    std::chrono::steady_clock::time_point startTime = std::chrono::steady_clock::now();

    // Sampling: buffers made at the start of a run and reused by every batch.
    ::SampleBatch* batch = nullptr;
    std::vector<float*> batchBuffers;
    size_t batchFrames = 0;

    // ---- Calls into extensions ----
    int32_t Call(ExtensionBundle& bundle, int16_t message, WindowRef window, uint8_t* block);
    uint8_t* AcquireBlock();
    int32_t SendToWindow(const WindowEntry& entry, int16_t message, const std::function<void(uint8_t*)>& fill);
    void Notify(int16_t kind, uint32_t data, int16_t extra, bool onlyRequested);
    void NotifyWindow(const WindowEntry& entry, int16_t kind, uint32_t data, int16_t extra);

    // ---- After every action ----
    void Settle();
    void DeliverCommand(const QueuedCommand& command);
    bool RunUpdates();

    // ---- Lookups ----
    WindowEntry* Find(WindowRef window);
    WindowEntry& Require(WindowRef window, const char* action);
    ExtensionBundle* BundleOf(int16_t extensionID) const;
    WindowEntry* FrontWindowOf(int16_t extensionID);
    int16_t CallingExtension() const;

    void Report(HostMessage::Kind kind, const std::string& text);
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

// Builds the service table of the session.
void FillCoreServices(HostServiceTable& table);
