// The session: the one host of the process, its life, the bundles it loads,
// and the routing of window events (open, close, grow, zoom, clicks, the
// mouse, activation) to the extension instances that own the windows.
#include "recorder/Recorder.h"

#include <algorithm>
#include <cstring>

#include "RecorderImpl.h"
#include "recorder/Axis.h"
#include "recorder/ScriptedInput.h"
#include "toolbox/Controls.h"
#include "toolbox/Memory.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Windows.h"

namespace {

Recorder* gCurrent = nullptr;

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

Recorder::Impl::~Impl() { ReleaseBatch(); }

// ---- Recorder ----

Recorder* Recorder::Current() { return gCurrent; }

Recorder::Recorder(RecorderOptions options) : options_(options)
{
    if (gCurrent) throw RecorderError("a recorder session already exists in this process");
    impl_ = std::make_unique<Impl>(*this);
    table_ = std::make_unique<HostServiceTable>();
    std::memset(table_.get(), 0, sizeof(HostServiceTable));
    FillServiceTable(*table_);
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

ExtensionBundle& Recorder::AttachExtension(Main1Function main1, const std::string& resourcePath,
                                           const std::string& name)
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
    for (int16_t message = kMessage1; message <= kMessage5; ++message) {
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

// ---- Windows ----

WindowRef Recorder::OpenWindow(bool shown)
{
    if (impl_->bundles.empty()) throw RecorderError("open window: no bundle is loaded");
    return OpenWindow(*impl_->bundles.front(), shown);
}

WindowRef Recorder::OpenWindow(ExtensionBundle& bundle, bool shown)
{
    ActionScope scope(*impl_);
    std::vector<WindowRef> made;
    std::vector<AxisObject> madeAxes;
    std::vector<WindowRef>* outerWindows = impl_->newWindows;
    std::vector<AxisObject>* outerAxes = impl_->newAxes;
    impl_->newWindows = &made;
    impl_->newAxes = &madeAxes;
    uint8_t* block = impl_->AcquireBlock();
    uint32_t instance = uint32_t(impl_->Call(bundle, kNewInstance, nullptr, block));
    impl_->newWindows = outerWindows;
    impl_->newAxes = outerAxes;
    if (instance == 0) {
        impl_->Report(HostMessage::Kind::error, "extension " + bundle.Stem() + " could not open a window");
        return nullptr;
    }
    // The instance's window is the one it owns among those it made.
    WindowRef window = nullptr;
    for (WindowRef candidate : made) {
        WindowEntry probe{candidate, &bundle, instance, {}};
        if (impl_->SendToWindow(probe, kOwnsWindow, nullptr) != 0) {
            window = candidate;
            break;
        }
    }
    if (!window) {
        impl_->Report(HostMessage::Kind::error,
                      "extension " + bundle.Stem() + " opened an instance without a window of its own");
        uint8_t* params = impl_->AcquireBlock();
        SetBlockField<uint32_t>(params, kInstanceField, instance);
        impl_->Call(bundle, kDisposeInstance, nullptr, params);
        return nullptr;
    }
    impl_->windows.push_back({window, &bundle, instance, madeAxes});
    if (shown) {
        Show(window);
        Invalidate(window);
    } else {
        HideWindow(window);
    }
    if (sampling_) impl_->NotifyWindow(impl_->windows.back(), kNotifySamplingStarted, 0, 0);
    return window;
}

void Recorder::Show(WindowRef window)
{
    ActionScope scope(*impl_);
    impl_->Require(window, "show");
    // Shown, the whole content is invalid: the update at the end of the call draws it.
    if (!IsWindowVisible(window)) ShowWindow(window);
    BringToFront(window);
}

void Recorder::CloseWindow(WindowRef window)
{
    ActionScope scope(*impl_);
    const WindowEntry entry = impl_->Require(window, "close window");
    uint8_t* block = impl_->AcquireBlock();
    SetBlockField<uint32_t>(block, kInstanceField, entry.instance);
    impl_->Call(*entry.bundle, kDisposeInstance, window, block);
    auto& list = impl_->windows;
    list.erase(std::remove_if(list.begin(), list.end(), [&](const WindowEntry& e) { return e.window == window; }),
               list.end());
    auto& queue = impl_->commands;
    queue.erase(std::remove_if(queue.begin(), queue.end(), [&](const QueuedCommand& c) { return c.target == window; }),
                queue.end());
    impl_->zoom.erase(window);
    impl_->redraws.erase(window);
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

std::vector<recorder::Axis*> Recorder::Axes(WindowRef window) const
{
    std::vector<recorder::Axis*> axes;
    for (AxisObject object : impl_->Require(window, "axes").axes)
        if (recorder::Axis* axis = recorder::AxisFromObject(object)) axes.push_back(axis);
    return axes;
}

void Recorder::Grow(WindowRef window, Point start)
{
    ActionScope scope(*impl_);
    const WindowEntry entry = impl_->Require(window, "grow");
    Rect before = PortRectOf(window);
    impl_->SendToWindow(entry, kDoGrow, [&](uint8_t* block) { SetBlockField<Point>(block, kGrowStartField, start); });
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
    impl_->SendToWindow(entry, kDoZoom,
                        [&](uint8_t* block) { SetBlockField<uint8_t>(block, kZoomInField, zoomIn ? 1 : 0); });
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
        SetBlockField<int16_t>(block, kClickPartField, part);
        SetBlockField<uint32_t>(block, kClickControlField, control ? LowAddress(control) : 0);
        SetBlockField<Point>(block, kClickWhereField, where);
        std::memcpy(block + kClickEventField, &event, sizeof event);
    });
}

bool Recorder::ChooseAxisRange(WindowRef window, recorder::Axis& axis, double highEnd, double lowEnd)
{
    ActionScope scope(*impl_);
    std::vector<recorder::Axis*> axes = Axes(window);
    if (std::find(axes.begin(), axes.end(), &axis) == axes.end())
        throw RecorderError("choose axis range: the axis is not one of the window's");
    axis.ChooseRangeAtNextClick(highEnd, lowEnd);
    Rect title = axis.TitleArea();
    Click(window, Point{int16_t((title.top + title.bottom) / 2), int16_t((title.left + title.right) / 2)});
    // A choice the click did not reach (the extension kept it from the axis) is no later click's.
    axis.DropRangeChoice();
    return axis.HighEnd() == highEnd && axis.LowEnd() == lowEnd;
}

int16_t Recorder::MouseOver(WindowRef window, Point where)
{
    ActionScope scope(*impl_);
    const WindowEntry entry = impl_->Require(window, "mouse over");
    int16_t cursor = 0;
    impl_->SendToWindow(entry, kDoMouseOver, [&](uint8_t* block) {
        SetBlockField<Point>(block, kMouseWhereField, where);
        SetBlockField<int16_t>(block, kCursorField, 0);
    });
    // The block is still the one at this depth: read the cursor the extension left there.
    cursor = BlockField<int16_t>(impl_->blockPool[impl_->calls.size()]->Bytes(), kCursorField);
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
        impl_->SendToWindow(old, kDoActivate, [](uint8_t* block) { SetBlockField<uint8_t>(block, kActiveField, 0); });
    }
    SelectWindow(window);
    impl_->SendToWindow(entry, kDoActivate, [](uint8_t* block) { SetBlockField<uint8_t>(block, kActiveField, 1); });
}

void Recorder::Invalidate(WindowRef window)
{
    ActionScope scope(*impl_);
    impl_->Require(window, "invalidate");
    Rect port = PortRectOf(window);
    InvalWindowRect(window, &port);
}

int Recorder::Redraws(WindowRef window) const
{
    auto found = impl_->redraws.find(window);
    return found == impl_->redraws.end() ? 0 : found->second;
}

// ---- Leak accounting ----

RecorderCounts Recorder::Counts() const
{
    RecorderCounts counts;
    counts.windows = int(impl_->windows.size());
    counts.axes = recorder::CountLiveAxes();
    counts.queuedCommands = int(impl_->commands.size());
    counts.lockedBlocks = recording_.LockedBlockCount();
    counts.savedPens = int(impl_->pens.size());
    counts.busyDepth = impl_->busyDepth;
    return counts;
}
