// Calling the extensions: parameter blocks, Main1 calls with their failures
// reported, notifications, the lookups every action needs, and what runs at
// the end of every action (queued commands, then updates).
#include <cstdio>
#include <cstdlib>

#include "RecorderImpl.h"
#include "toolbox/Memory.h"
#include "toolbox/Windows.h"

namespace {

// Rounds of commands and updates after one action; more means two windows
// keep making work for each other.
constexpr int kMaxSettleRounds = 64;

}  // namespace

Recorder* SessionAccess::Current() { return Recorder::Current(); }

Recorder& SessionAccess::Session()
{
    Recorder* recorder = Recorder::Current();
    if (!recorder) {
        std::fprintf(stderr, "recorder: a host service was called with no session\n");
        std::abort();
    }
    return *recorder;
}

uint8_t* Recorder::Impl::AcquireBlock()
{
    size_t depth = calls.size();
    while (blockPool.size() <= depth) blockPool.push_back(std::make_unique<ParamBlock>());
    ParamBlock& block = *blockPool[depth];
    block.Clear();
    return block.Bytes();
}

int32_t Recorder::Impl::Call(ExtensionBundle& bundle, int16_t message, WindowRef window, uint8_t* block)
{
    calls.push_back({&bundle, window});
    int32_t result = 0;
    try {
        result = bundle.Send(message, block);
    } catch (const std::exception& error) {
        Report(HostMessage::Kind::error,
               "extension " + bundle.Stem() + " failed in message " + std::to_string(message) + ": " + error.what());
    } catch (...) {
        Report(HostMessage::Kind::error,
               "extension " + bundle.Stem() + " failed in message " + std::to_string(message));
    }
    calls.pop_back();
    return result;
}

int32_t Recorder::Impl::SendToWindow(const WindowEntry& entry, int16_t message,
                                     const std::function<void(uint8_t*)>& fill)
{
    uint8_t* block = AcquireBlock();
    SetBlockField<uint32_t>(block, kInstanceField, entry.instance);
    SetBlockField<uint32_t>(block, kWindowField, LowAddress(entry.window));
    if (fill) fill(block);
    PortScope port(entry.window);
    return Call(*entry.bundle, message, entry.window, block);
}

void Recorder::Impl::NotifyWindow(const WindowEntry& entry, int16_t kind, uint32_t data, int16_t extra)
{
    uint8_t* block = AcquireBlock();
    SetBlockField<uint32_t>(block, kInstanceField, entry.instance);
    SetBlockField<int16_t>(block, kNotifyKindField, kind);
    SetBlockField<uint32_t>(block, kNotifyDataField, data);
    SetBlockField<int16_t>(block, kNotifyExtraField, extra);
    Call(*entry.bundle, kNotify, entry.window, block);
}

void Recorder::Impl::Notify(int16_t kind, uint32_t data, int16_t extra, bool onlyRequested)
{
    // Indexing, not iterators: a notification may not close windows, but be safe.
    for (size_t i = 0; i < windows.size(); ++i) {
        const WindowEntry entry = windows[i];
        if (onlyRequested && !notificationRequests.count({entry.bundle->ExtensionID(), kind})) continue;
        NotifyWindow(entry, kind, data, extra);
    }
}

void Recorder::Impl::Report(HostMessage::Kind kind, const std::string& text)
{
    owner.messages_.push_back({kind, text});
    if (owner.options_.echoMessages)
        std::fprintf(stderr, "%s: %s\n", kind == HostMessage::Kind::error ? "error" : "message", text.c_str());
}

// ---- Lookups ----

WindowEntry* Recorder::Impl::Find(WindowRef window)
{
    for (WindowEntry& entry : windows)
        if (entry.window == window) return &entry;
    return nullptr;
}

WindowEntry& Recorder::Impl::Require(WindowRef window, const char* action)
{
    WindowEntry* entry = Find(window);
    if (!entry) {
        char address[32];
        std::snprintf(address, sizeof address, "%p", static_cast<void*>(window));
        throw RecorderError(std::string(action) + ": window " + address + " is not an open extension window");
    }
    return *entry;
}

ExtensionBundle* Recorder::Impl::BundleOf(int16_t extensionID) const
{
    for (const auto& bundle : bundles)
        if (bundle->ExtensionID() == extensionID) return bundle.get();
    return nullptr;
}

WindowEntry* Recorder::Impl::FrontWindowOf(int16_t extensionID)
{
    for (WindowRef w = FrontWindow(); w; w = GetNextWindow(w)) {
        WindowEntry* entry = Find(w);
        if (entry && entry->bundle->ExtensionID() == extensionID) return entry;
    }
    for (WindowEntry& entry : windows)
        if (entry.bundle->ExtensionID() == extensionID) return &entry;
    return nullptr;
}

int16_t Recorder::Impl::CallingExtension() const { return calls.empty() ? 0 : calls.back().bundle->ExtensionID(); }

// ---- After every action ----

bool Recorder::Impl::RunUpdates()
{
    bool any = false;
    for (size_t i = 0; i < windows.size(); ++i) {
        const WindowEntry entry = windows[i];
        Rect invalid;
        if (!GetWindowUpdateRect(entry.window, &invalid)) continue;
        any = true;
        BeginUpdate(entry.window);
        SendToWindow(entry, kUpdateWindow, nullptr);
        EndUpdate(entry.window);
    }
    return any;
}

void Recorder::Impl::Settle()
{
    for (int round = 0; round < kMaxSettleRounds; ++round) {
        bool worked = false;
        while (!commands.empty()) {
            QueuedCommand command = commands.front();
            commands.pop_front();
            DeliverCommand(command);
            worked = true;
        }
        if (RunUpdates()) worked = true;
        if (!worked) return;
    }
    Report(HostMessage::Kind::error, "windows keep posting commands or invalidating themselves; gave up after " +
                                         std::to_string(kMaxSettleRounds) + " rounds");
}

ActionScope::~ActionScope()
{
    if (--impl_.actionDepth > 0) return;
    ++impl_.actionDepth;  // settling may call Recorder actions of its own
    try {
        impl_.Settle();
    } catch (const std::exception& error) {
        impl_.Report(HostMessage::Kind::error, std::string("after the action: ") + error.what());
    }
    --impl_.actionDepth;
}
