#include "recorder/Recorder.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "RecorderImpl.h"
#include "recorder/HostParts.h"
#include "recorder/Png.h"
#include "recorder/ScriptedInput.h"
#include "toolbox/Controls.h"
#include "toolbox/Memory.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Windows.h"

namespace {

Recorder* gCurrent = nullptr;


// Rounds of commands and updates after one action; more means two windows
// keep making work for each other.
constexpr int kMaxSettleRounds = 64;

const char* const kWindowsMenu = "Windows:";

class PortScope {
public:
    explicit PortScope(WindowRef window)
    {
        GetPort(&saved_);
        SetPort(GetWindowPort(window));
    }
    ~PortScope() { SetPort(saved_); }

private:
    GrafPtr saved_;
};

// Answers one grow with a fixed size and passes everything else on.
class FixedGrow : public InputSource {
public:
    FixedGrow(InputSource* next, int16_t width, int16_t height) : next_(next), width_(width), height_(height) {}
    SInt32 GrowWindow(WindowRef, Point, const Rect& limits) override
    {
        SInt32 width = std::clamp<SInt32>(width_, limits.left, std::max(limits.left, limits.right));
        SInt32 height = std::clamp<SInt32>(height_, limits.top, std::max(limits.top, limits.bottom));
        return (height << 16) | (width & 0xFFFF);
    }
    bool TrackControl(ControlRef c, Point p) override { return next_ ? next_->TrackControl(c, p) : false; }
    SInt16 ModalDialogHit(DialogRef d) override { return next_ ? next_->ModalDialogHit(d) : 0; }
    SInt16 PopUpMenuSelect(MenuRef m, Point p) override { return next_ ? next_->PopUpMenuSelect(m, p) : 0; }
    Point TrackDrag(WindowRef w, Point p) override { return next_ ? next_->TrackDrag(w, p) : p; }

private:
    InputSource* next_;
    int16_t width_, height_;
};

Rect PortRectOf(WindowRef window)
{
    Rect r;
    GetWindowPortBounds(window, &r);
    return r;
}

}  // namespace

// ---- Impl ----

Recorder::Impl::~Impl() { ReleaseBatch(); }

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
        Report(HostMessage::Kind::error, "extension " + bundle.Stem() + " failed in message " +
                                             std::to_string(message) + ": " + error.what());
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
    SetBlockField<uint32_t>(block, 0, entry.instance);
    SetBlockField<uint32_t>(block, 4, LowAddress(entry.window));
    if (fill) fill(block);
    PortScope port(entry.window);
    return Call(*entry.bundle, message, entry.window, block);
}

void Recorder::Impl::NotifyWindow(const WindowEntry& entry, int16_t kind, uint32_t data, int16_t extra)
{
    uint8_t* block = AcquireBlock();
    SetBlockField<uint32_t>(block, 0, entry.instance);
    SetBlockField<int16_t>(block, 4, kind);
    SetBlockField<uint32_t>(block, 6, data);
    SetBlockField<int16_t>(block, 10, extra);
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

int16_t Recorder::Impl::CallingExtension() const
{
    return calls.empty() ? 0 : calls.back().bundle->ExtensionID();
}

void Recorder::Impl::DeliverCommand(const QueuedCommand& command)
{
    WindowEntry* entry = command.target ? Find(command.target) : FrontWindowOf(command.extensionID);
    if (!entry) return;  // its window was closed before the command came due
    auto* record = LowNew<CommandRecord>();
    std::memset(record, 0, sizeof *record);
    record->hostReserved = uint16_t(command.hostNumber);
    record->kind = command.localNumber;
    record->axisSelector = command.axisSelector;
    if (command.carriesValue)
        record->minutes = command.value;
    else
        record->channel = command.channel;
    const WindowEntry target = *entry;
    SendToWindow(target, kDoCommand, [&](uint8_t* block) { SetBlockField<uint32_t>(block, 4, LowAddress(record)); });
    LowDelete(record);
}

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

void Recorder::Impl::ReleaseBatch()
{
    for (float* buffer : batchBuffers) LowZoneFree(buffer);
    batchBuffers.clear();
    LowDelete(batch);
    batch = nullptr;
    batchFrames = 0;
}

void Recorder::Impl::DeliverBatch(size_t frames)
{
    std::span<const float* const> channels(const_cast<const float* const*>(batchBuffers.data()), batchBuffers.size());
    owner.recording_.Append(channels, frames);
    batch->count = int16_t(frames);
    Notify(NotifyNewData, LowAddress(batch), 0, true);
}

// ---- Recorder ----

Recorder* Recorder::Current() { return gCurrent; }

Recorder::Recorder(RecorderOptions options) : options_(options)
{
    if (gCurrent) throw RecorderError("a recorder session already exists in this process");
    impl_ = std::make_unique<Impl>(*this);
    table_ = std::make_unique<HostServiceTable>();
    std::memset(table_.get(), 0, sizeof(HostServiceTable));
    FillCoreServices(*table_);
    AxisHostHooks axisHooks{
        []() -> int16_t { return gCurrent ? gCurrent->recording_.ChannelCount() : 0; },
        [](int16_t channel) -> std::string {
            if (!gCurrent || channel < 1 || channel > gCurrent->recording_.ChannelCount()) return {};
            return gCurrent->recording_.Channel(channel).title;
        },
    };
    InstallAxisServices(*table_, axisHooks);
    InstallDialogServices(*table_, [](int16_t extensionID) -> int16_t {
        ExtensionBundle* bundle = gCurrent ? gCurrent->impl_->BundleOf(extensionID) : nullptr;
        return bundle ? bundle->ResourceFile() : int16_t(-1);
    });
    void* const* slots = reinterpret_cast<void* const*>(table_.get());
#define RECORDER_CHECK_SLOT(slot, name) \
    if (!slots[slot]) throw RecorderError("host service " #name " (slot " #slot ") is missing");
    HOST_SERVICES(RECORDER_CHECK_SLOT)
#undef RECORDER_CHECK_SLOT
    gCurrent = this;
}

Recorder::~Recorder()
{
    try {
        if (sampling_) StopSampling();
        CloseAllWindows();
    } catch (...) {
        // Windows that fail to close are left to the process's end.
    }
    impl_->ReleaseBatch();
    impl_->bundles.clear();
    impl_->blockPool.clear();
    gCurrent = nullptr;
}

// ---- Bundles ----

ExtensionBundle& Recorder::LoadBundle(const std::string& path)
{
    return StartBundle(std::make_unique<ExtensionBundle>(path, table_.get()));
}

ExtensionBundle& Recorder::AttachExtension(Main1Function main1, const std::string& resourcePath, const std::string& name)
{
    return StartBundle(std::make_unique<ExtensionBundle>(main1, resourcePath, name, table_.get()));
}

ExtensionBundle& Recorder::StartBundle(std::unique_ptr<ExtensionBundle> bundle)
{
    ActionScope scope(*impl_);
    ExtensionBundle& loaded = *bundle;
    impl_->bundles.push_back(std::move(bundle));
    int16_t id = int16_t(impl_->bundles.size());
    loaded.SetExtensionID(id);
    std::vector<int32_t>& results = impl_->startupResults[&loaded];
    results.clear();
    for (int16_t message = 1; message <= 5; ++message) {
        uint8_t* params = impl_->AcquireBlock();
        results.push_back(impl_->Call(loaded, message, nullptr, params));
    }
    return loaded;
}

std::vector<ExtensionBundle*> Recorder::Bundles() const
{
    std::vector<ExtensionBundle*> list;
    for (const auto& bundle : impl_->bundles) list.push_back(bundle.get());
    return list;
}

std::vector<int32_t> Recorder::StartupResults(const ExtensionBundle& bundle) const
{
    auto found = impl_->startupResults.find(&bundle);
    return found == impl_->startupResults.end() ? std::vector<int32_t>{} : found->second;
}

std::string Recorder::ExtensionName(int16_t extensionID) const
{
    for (const MenuCommand& command : menuCommands_) {
        if (command.extensionID != extensionID) continue;
        if (command.path.rfind(kWindowsMenu, 0) == 0) return command.path.substr(std::strlen(kWindowsMenu));
    }
    ExtensionBundle* bundle = impl_->BundleOf(extensionID);
    return bundle ? bundle->Stem() : std::string();
}

// ---- Windows ----

WindowRef Recorder::OpenWindow()
{
    if (impl_->bundles.empty()) throw RecorderError("open window: no bundle is loaded");
    return OpenWindow(*impl_->bundles.front());
}

WindowRef Recorder::OpenWindow(ExtensionBundle& bundle)
{
    ActionScope scope(*impl_);
    std::vector<WindowRef> made;
    std::vector<WindowRef>* outer = impl_->newWindows;
    impl_->newWindows = &made;
    uint8_t* block = impl_->AcquireBlock();
    uint32_t instance = uint32_t(impl_->Call(bundle, kNewInstance, nullptr, block));
    impl_->newWindows = outer;
    if (instance == 0) {
        impl_->Report(HostMessage::Kind::error, "extension " + bundle.Stem() + " could not open a window");
        return nullptr;
    }
    // The instance's window is the one it owns among those it made.
    WindowRef window = nullptr;
    for (WindowRef candidate : made) {
        WindowEntry probe{candidate, &bundle, instance};
        if (impl_->SendToWindow(probe, kOwnsWindow, nullptr) != 0) {
            window = candidate;
            break;
        }
    }
    if (!window) {
        impl_->Report(HostMessage::Kind::error,
                      "extension " + bundle.Stem() + " opened an instance without a window of its own");
        uint8_t* params = impl_->AcquireBlock();
        SetBlockField<uint32_t>(params, 0, instance);
        impl_->Call(bundle, kDisposeInstance, nullptr, params);
        return nullptr;
    }
    impl_->windows.push_back({window, &bundle, instance});
    if (!IsWindowVisible(window)) ShowWindow(window);
    BringToFront(window);
    Invalidate(window);
    if (sampling_) impl_->NotifyWindow(impl_->windows.back(), NotifySamplingStarted, 0, 0);
    return window;
}

void Recorder::CloseWindow(WindowRef window)
{
    ActionScope scope(*impl_);
    const WindowEntry entry = impl_->Require(window, "close window");
    uint8_t* block = impl_->AcquireBlock();
    SetBlockField<uint32_t>(block, 0, entry.instance);
    impl_->Call(*entry.bundle, kDisposeInstance, window, block);
    auto& list = impl_->windows;
    list.erase(std::remove_if(list.begin(), list.end(), [&](const WindowEntry& e) { return e.window == window; }),
               list.end());
    auto& queue = impl_->commands;
    queue.erase(std::remove_if(queue.begin(), queue.end(), [&](const QueuedCommand& c) { return c.target == window; }),
                queue.end());
    impl_->zoom.erase(window);
    for (WindowRef w = FrontWindow(); w; w = GetNextWindow(w)) {
        if (WindowEntry* front = impl_->Find(w)) {
            BringToFront(front->window);
            break;
        }
    }
}

void Recorder::CloseAllWindows()
{
    ActionScope scope(*impl_);
    while (!impl_->windows.empty()) CloseWindow(impl_->windows.back().window);
}

std::vector<WindowRef> Recorder::Windows() const
{
    std::vector<WindowRef> list;
    for (const WindowEntry& entry : impl_->windows) list.push_back(entry.window);
    return list;
}

bool Recorder::IsExtensionWindow(WindowRef window) const { return impl_->Find(window) != nullptr; }

uint32_t Recorder::InstanceOf(WindowRef window) const { return impl_->Require(window, "instance of").instance; }

bool Recorder::InstanceOwnsWindow(WindowRef window)
{
    ActionScope scope(*impl_);
    return impl_->SendToWindow(impl_->Require(window, "owns window"), kOwnsWindow, nullptr) != 0;
}

void Recorder::Grow(WindowRef window, Point start)
{
    ActionScope scope(*impl_);
    const WindowEntry entry = impl_->Require(window, "grow");
    Rect before = PortRectOf(window);
    impl_->SendToWindow(entry, kDoGrow, [&](uint8_t* block) { SetBlockField<Point>(block, 8, start); });
    // A size the user gave is the user's size; a grow that kept the size
    // (dismissed, or at a limit) leaves the zoom state as it was.
    if (!impl_->Find(window)) return;
    Rect after = PortRectOf(window);
    if (EqualRect(&before, &after)) return;
    ZoomState& state = impl_->zoom[window];
    state.zoomedOut = false;
    state.userWidth = int16_t(after.right - after.left);
    state.userHeight = int16_t(after.bottom - after.top);
}

void Recorder::Resize(WindowRef window, int16_t width, int16_t height)
{
    ActionScope scope(*impl_);
    impl_->Require(window, "resize");
    FixedGrow answer(GetInputSource(), width, height);
    ScopedInputSource install(&answer);
    Rect port = PortRectOf(window);
    Grow(window, Point{int16_t(port.bottom - 1), int16_t(port.right - 1)});
}

void Recorder::Zoom(WindowRef window) { Zoom(window, IsZoomedOut(window)); }

void Recorder::Zoom(WindowRef window, bool zoomIn)
{
    ActionScope scope(*impl_);
    const WindowEntry entry = impl_->Require(window, "zoom");
    impl_->SendToWindow(entry, kDoZoom, [&](uint8_t* block) { block[8] = zoomIn ? 1 : 0; });
}

bool Recorder::IsZoomedOut(WindowRef window) const
{
    auto found = impl_->zoom.find(window);
    return found != impl_->zoom.end() && found->second.zoomedOut;
}

void Recorder::Click(WindowRef window, Point where, uint16_t modifiers)
{
    ActionScope scope(*impl_);
    const WindowEntry entry = impl_->Require(window, "click");
    ControlRef control = nullptr;
    int16_t part = FindControl(where, window, &control);
    EventRecord event{};
    event.what = mouseDown;
    event.message = 0;
    auto elapsed = std::chrono::steady_clock::now() - impl_->startTime;
    event.when = uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() * 60 / 1000);
    event.where = where;
    event.modifiers = modifiers;
    impl_->SendToWindow(entry, kDoContentClick, [&](uint8_t* block) {
        SetBlockField<int16_t>(block, 8, part);
        SetBlockField<uint32_t>(block, 10, control ? LowAddress(control) : 0);
        SetBlockField<Point>(block, 14, where);
        std::memcpy(block + 18, &event, sizeof event);
    });
}

int16_t Recorder::MouseOver(WindowRef window, Point where)
{
    ActionScope scope(*impl_);
    const WindowEntry entry = impl_->Require(window, "mouse over");
    int16_t cursor = 0;
    impl_->SendToWindow(entry, kDoMouseOver, [&](uint8_t* block) {
        SetBlockField<Point>(block, 8, where);
        SetBlockField<int16_t>(block, 12, 0);
    });
    // The block is still the one at this depth: read the cursor the extension left there.
    cursor = BlockField<int16_t>(impl_->blockPool[impl_->calls.size()]->Bytes(), 12);
    return cursor;
}

void Recorder::BringToFront(WindowRef window)
{
    ActionScope scope(*impl_);
    const WindowEntry entry = impl_->Require(window, "bring to front");
    WindowEntry* previous = nullptr;
    for (WindowRef w = FrontWindow(); w; w = GetNextWindow(w))
        if ((previous = impl_->Find(w))) break;
    if (previous && previous->window != window) {
        const WindowEntry old = *previous;
        impl_->SendToWindow(old, kDoActivate, [](uint8_t* block) { block[8] = 0; });
    }
    SelectWindow(window);
    impl_->SendToWindow(entry, kDoActivate, [](uint8_t* block) { block[8] = 1; });
}

void Recorder::Invalidate(WindowRef window)
{
    ActionScope scope(*impl_);
    impl_->Require(window, "invalidate");
    Rect port = PortRectOf(window);
    InvalWindowRect(window, &port);
}

// ---- Menu commands ----

void Recorder::ChooseMenuCommand(const std::string& path)
{
    ActionScope scope(*impl_);
    auto found = std::find_if(menuCommands_.begin(), menuCommands_.end(),
                              [&](const MenuCommand& c) { return c.path == path; });
    if (found == menuCommands_.end()) throw RecorderError("no menu command \"" + path + "\"");
    const MenuCommand command = *found;
    if (path.rfind(kWindowsMenu, 0) == 0) {
        ExtensionBundle* bundle = impl_->BundleOf(command.extensionID);
        if (!bundle) throw RecorderError("menu command \"" + path + "\" belongs to no loaded extension");
        OpenWindow(*bundle);
        return;
    }
    impl_->commands.push_back(
        {nullptr, command.extensionID, command.command, command.localNumber, 0, false, 0, 0.0});
}

void Recorder::EraseCommand(WindowRef window)
{
    ActionScope scope(*impl_);
    const WindowEntry entry = impl_->Require(window, "erase command");
    int16_t extension = entry.bundle->ExtensionID();
    auto number = impl_->numberByCommand.find({extension, 0});
    int16_t hostNumber = number == impl_->numberByCommand.end() ? 0 : number->second;
    impl_->commands.push_back({window, extension, hostNumber, 0, 0, false, 0, 0.0});
}

// ---- Recording ----

int16_t Recorder::AddChannel(const ChannelSettings& settings)
{
    ActionScope scope(*impl_);
    int16_t channel;
    try {
        channel = recording_.AddChannel(settings);
    } catch (const std::length_error& error) {
        throw RecorderError(std::string("add channel \"") + settings.title + "\": " + error.what());
    }
    impl_->Notify(NotifyChannelChanged, uint32_t(channel), 0, false);
    return channel;
}

void Recorder::SetChannel(int16_t channel, const ChannelSettings& settings)
{
    ActionScope scope(*impl_);
    try {
        recording_.SetChannel(channel, settings);
    } catch (const std::out_of_range& error) {
        throw RecorderError(std::string("set channel: ") + error.what());
    }
    impl_->Notify(NotifyChannelChanged, uint32_t(channel), 0, false);
}

void Recorder::SelectRange(int32_t first, int32_t last)
{
    ActionScope scope(*impl_);
    try {
        recording_.Select(first, last);
    } catch (const std::out_of_range& error) {
        throw RecorderError(std::string("select range: ") + error.what());
    }
    impl_->Notify(NotifyRangeChanged, 0, 0, false);
}

void Recorder::ClearSelection()
{
    ActionScope scope(*impl_);
    recording_.ClearSelection();
    impl_->Notify(NotifyRangeChanged, 0, 0, false);
}

void Recorder::NotifyPlotChanged()
{
    ActionScope scope(*impl_);
    impl_->Notify(::NotifyPlotChanged, 0, 0, false);
}

// ---- Sampling ----

void Recorder::StartSampling(SampleSource& source, size_t batchFrames)
{
    ActionScope scope(*impl_);
    if (sampling_) throw RecorderError("start sampling: sampling is already under way");
    if (batchFrames < 1 || batchFrames > size_t(Recording::kMaxBlockLength))
        throw RecorderError("start sampling: batch size " + std::to_string(batchFrames) + " is not within 1..32767");
    const std::vector<ChannelSettings>& channels = source.Channels();
    if (channels.empty() || channels.size() > size_t(SampleSource::kMaxChannels))
        throw RecorderError("start sampling: the source has " + std::to_string(channels.size()) +
                            " channels; 1 to 32 are possible");
    double interval = source.SampleInterval();
    if (!(interval > 0.0) || !std::isfinite(interval))
        throw RecorderError("start sampling: sample interval " + std::to_string(interval) + " s is not positive");

    // New channels join the axis menus before sampling starts (kind 402 refills them).
    std::vector<int16_t> added;
    for (size_t m = size_t(recording_.ChannelCount()); m < channels.size(); ++m)
        added.push_back(recording_.AddChannel(channels[m]));
    for (int16_t channel : added) impl_->Notify(NotifyChannelChanged, uint32_t(channel), 0, false);

    impl_->ReleaseBatch();
    impl_->batch = LowNew<::SampleBatch>();
    std::memset(impl_->batch, 0, sizeof(::SampleBatch));
    impl_->batchFrames = batchFrames;
    for (size_t m = 0; m < channels.size(); ++m) {
        auto* buffer = static_cast<float*>(LowZoneAllocate(batchFrames * sizeof(float)));
        impl_->batchBuffers.push_back(buffer);
        impl_->batch->channelData[m] = LowAddress(buffer);
    }

    recording_.BeginBlock();
    sampleInterval_ = interval;
    sampling_ = &source;
    impl_->Notify(NotifySamplingStarted, 0, 0, false);
}

size_t Recorder::SampleBatch()
{
    ActionScope scope(*impl_);
    if (!sampling_) throw RecorderError("sample: sampling is not under way");
    std::span<float* const> buffers(impl_->batchBuffers.data(), impl_->batchBuffers.size());
    size_t frames = sampling_->Read(impl_->batchFrames, buffers);
    frames = std::min(frames, impl_->batchFrames);
    if (frames == 0) return 0;
    impl_->DeliverBatch(frames);
    return frames;
}

size_t Recorder::Sample(size_t frames)
{
    ActionScope scope(*impl_);
    size_t taken = 0;
    while (taken < frames) {
        size_t got = SampleBatch();
        if (got == 0) break;
        taken += got;
    }
    return taken;
}

void Recorder::PushBatch(std::span<const std::vector<float>> channels)
{
    ActionScope scope(*impl_);
    if (!sampling_) throw RecorderError("push batch: sampling is not under way");
    if (channels.size() > impl_->batchBuffers.size())
        throw RecorderError("push batch: " + std::to_string(channels.size()) + " channels given, the run has " +
                            std::to_string(impl_->batchBuffers.size()));
    size_t frames = channels.empty() ? 0 : channels[0].size();
    for (size_t m = 0; m < channels.size(); ++m) {
        if (channels[m].size() != frames)
            throw RecorderError("push batch: channel " + std::to_string(m + 1) + " has " +
                                std::to_string(channels[m].size()) + " samples, channel 1 has " + std::to_string(frames));
    }
    if (frames == 0) return;
    if (frames > impl_->batchFrames)
        throw RecorderError("push batch: " + std::to_string(frames) + " samples exceed the batch size " +
                            std::to_string(impl_->batchFrames));
    for (size_t m = 0; m < impl_->batchBuffers.size(); ++m) {
        float* buffer = impl_->batchBuffers[m];
        if (m < channels.size())
            std::copy(channels[m].begin(), channels[m].end(), buffer);
        else
            std::fill(buffer, buffer + frames, 0.0f);
    }
    impl_->DeliverBatch(frames);
}

void Recorder::StopSampling()
{
    ActionScope scope(*impl_);
    if (!sampling_) throw RecorderError("stop sampling: sampling is not under way");
    sampling_ = nullptr;
    impl_->Notify(NotifySamplingStopped, 0, 0, false);
    impl_->ReleaseBatch();
}

// ---- Inspection ----

RecorderCounts Recorder::Counts() const
{
    RecorderCounts counts;
    counts.windows = int(impl_->windows.size());
    counts.axes = CountLiveAxes();
    counts.queuedCommands = int(impl_->commands.size());
    counts.lockedBlocks = recording_.LockedBlockCount();
    counts.savedPens = int(impl_->pens.size());
    counts.busyDepth = impl_->busyDepth;
    return counts;
}

// ---- Output ----

void Recorder::WritePng(WindowRef window, const std::string& path, bool withFrame) const
{
    if (!window) throw RecorderError("PNG " + path + ": no window");
    SInt32 width = 0, height = 0;
    const UInt32* content = GetPortPixels(GetWindowPort(window), &width, &height);
    if (!content || width <= 0 || height <= 0) throw RecorderError("PNG " + path + ": the window has no pixels");
    std::vector<uint32_t> pixels;
    int outWidth = width, outHeight = height;
    if (!withFrame) {
        pixels.assign(content, content + size_t(width) * size_t(height));
    } else {
        // Title bar above, a 1-pixel border elsewhere, as the window manager frames windows.
        const int border = kWindowBorderWidth, titleBar = kWindowTitleBarHeight;
        outWidth = width + 2 * border;
        outHeight = height + titleBar + border;
        if (outWidth > 32767 || outHeight > 32767) throw RecorderError("PNG " + path + ": the window is too large");
        GrafPtr saved;
        GetPort(&saved);
        CGrafPtr frame = CreateOffscreenPort(int16_t(outWidth), int16_t(outHeight));
        SetPort(frame);
        const RGBColor titleGrey{0xDDDD, 0xDDDD, 0xDDDD}, black{0, 0, 0};
        RGBBackColor(&titleGrey);
        RGBForeColor(&black);
        Rect all{0, 0, int16_t(outHeight), int16_t(outWidth)};
        EraseRect(&all);
        FrameRect(&all);
        MoveTo(0, int16_t(titleBar - 1));
        LineTo(int16_t(outWidth - 1), int16_t(titleBar - 1));
        Str255 title;
        GetWTitle(window, title);
        TextFont(systemFont);
        TextSize(12);
        TextFace(bold);
        FontInfo font;
        GetFontInfo(&font);
        int16_t textWidth = StringWidth(title);
        MoveTo(int16_t(std::max(4, (outWidth - textWidth) / 2)),
               int16_t((titleBar - 1 + font.ascent - font.descent) / 2));
        DrawString(title);
        SInt32 frameWidth = 0, frameHeight = 0;
        const UInt32* framePixels = GetPortPixels(frame, &frameWidth, &frameHeight);
        pixels.assign(framePixels, framePixels + size_t(frameWidth) * size_t(frameHeight));
        DisposeOffscreenPort(frame);
        SetPort(saved);
        for (int y = 0; y < height; ++y)
            std::copy(content + size_t(y) * size_t(width), content + size_t(y + 1) * size_t(width),
                      pixels.begin() + ptrdiff_t(size_t(y + titleBar) * size_t(outWidth) + size_t(border)));
    }
    try {
        WritePixelsPng(pixels.data(), outWidth, outHeight, path);
    } catch (const std::runtime_error& error) {
        throw RecorderError(error.what());
    }
}
