// The live window's loop: desktop events become recorder actions, samples
// that arrived are delivered between them, and changed ports go to the screen.
#include "display/LiveDisplay.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <sstream>

#include "PersonInput.h"
#include "Screen.h"
#include "TestHooks.h"
#include "TextPort.h"
#include "host/HostServices.h"
#include "recorder/Recorder.h"
#include "recorder/SampleFeed.h"
#include "recorder/ScriptedInput.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Windows.h"

namespace display {

namespace {

using namespace std::chrono_literals;

// Samples are delivered for at most this long before events are looked at again.
constexpr Clock::duration kDeliveryBudget = 8ms;
constexpr Clock::duration kTooltipDelay = 500ms;
constexpr Clock::duration kQuitRequestPoll = 100ms;
constexpr int kEventsPerTurn = 64;
constexpr int kGrowBoxSize = 12;  // the square in the port's bottom-right corner
constexpr SDL_Point kTooltipOffset{12, 20};

const char* const kKeys = "Space\tstart or stop sampling\n"
                          "Ctrl+N\topen another X-Y window\n"
                          "Ctrl+S\tsave the window as a picture\n"
                          "Ctrl+W\tclose the window\n"
                          "Q\tquit\n"
                          "?\tshow or hide these keys\n"
                          "Axis title\tclick for its channels and range\n"
                          "Axis scale\tdrag to move the range\n";

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

std::vector<std::string> Lines(const char* text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

SDL_SystemCursor CursorFor(int16_t code)
{
    switch (code) {
    case kAxisCursorScale:
        return SDL_SYSTEM_CURSOR_SIZEALL;
    case kAxisCursorTitle:
        return SDL_SYSTEM_CURSOR_HAND;
    default:
        return SDL_SYSTEM_CURSOR_ARROW;
    }
}

}  // namespace

bool DesktopAvailable()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value) return true;
    return false;
}

const char* LiveDisplay::KeysHelp() { return kKeys; }

struct LiveDisplay::Impl final : EventPump {
    Impl(Recorder& host, DisplayOptions options)
        : host(host), options(std::move(options)), screen(this->options.zoom), person(screen, *this, hooks)
    {
        if (const char* path = std::getenv("XYRECORDER_LATENCY_LOG"); path && *path && this->options.feed) {
            latencyLog = std::fopen(path, "w");
            this->options.feed->KeepArrivalTimes(latencyLog != nullptr);
        }
    }

    ~Impl() override
    {
        if (options.feed) options.feed->KeepArrivalTimes(false);
        HideTooltip();
        CloseKeys();
        for (auto& [id, cursor] : cursors) SDL_FreeCursor(cursor);
        if (latencyLog) std::fclose(latencyLog);
    }

    // ---- The loop ----

    void Run()
    {
        ScopedInputSource installed(&person);
        Sync();
        screen.PresentAll();
        hooks.Trace("ready");
        while (!quit) {
            Sync();
            // While sampling, the loop looks for samples once a frame and
            // delivers them just before the frame is presented.
            Clock::time_point until = Clock::time_point::max();
            if (Delivering())
                until = Clock::now();
            else if (options.feed && host.IsSampling() && !held)
                until = NextFrame();
            if (!helpText.empty() && !tooltip) until = std::min(until, helpSince + kTooltipDelay);
            SDL_Event event;
            if (WaitForEvent(event, until, true)) {
                Handle(event);
                for (int more = 0; more < kEventsPerTurn && !quit && SDL_PollEvent(&event); ++more) Handle(event);
            }
            DoPending();
            ShowTooltipWhenDue();
            if (host.Windows().empty()) quit = true;
        }
        hooks.Trace("quit");
    }

    // The next tick of a fixed grid of frames, so that waking late once does
    // not push every later frame back.
    Clock::time_point NextFrame()
    {
        const Clock::time_point now = Clock::now();
        const Clock::duration frame = screen.FrameInterval();
        if (now - frameGrid > 4 * frame || now < frameGrid) frameGrid = now;
        while (frameGrid <= now) frameGrid += frame;
        return frameGrid;
    }

    bool Delivering() const { return options.feed && host.IsSampling() && !held && options.feed->Available() > 0; }

    // Waits for an event until the time given, presenting what is due and
    // answering the test hooks meanwhile. Samples that arrived are delivered
    // first when deliver (never inside a modal loop). The reader's thread does
    // not wake this loop itself: SDL's wake-up from another thread can reach a
    // desktop window that this thread has just closed.
    bool WaitForEvent(SDL_Event& event, Clock::time_point until, bool deliver)
    {
        for (;;) {
            AnswerHooks();
            if (options.quitRequested && options.quitRequested()) {
                quit = true;
                return false;
            }
            if (deliver) Deliver();
            Clock::time_point now = Clock::now();
            int presented = 0;
            Clock::time_point deadline = std::min(until, screen.PresentDue(now, &presented));
            if (presented) RecordLatencies();
            if (options.quitRequested) deadline = std::min(deadline, now + kQuitRequestPoll);
            if (hooks.Active())
                deadline = std::min(deadline, now + std::chrono::milliseconds(TestHooks::kPollMilliseconds));
            int timeout = -1;
            if (deadline != Clock::time_point::max()) {
                auto wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
                timeout = int(std::clamp<decltype(wait)>(wait, 0, 1000000));
            }
            if (SDL_WaitEventTimeout(&event, timeout)) return true;
            if (Clock::now() >= until) return false;
        }
    }

    void AnswerHooks()
    {
        switch (hooks.Poll()) {
        case TestHooks::Request::hold:
            held = true;
            HideTooltip();
            for (const auto& shown : screen.Windows()) shown->MarkExposed();
            hooks.WriteHeld(screen, host);
            break;
        case TestHooks::Request::resume:
            held = false;
            hooks.Trace("resumed");
            break;
        case TestHooks::Request::none:
            break;
        }
    }

    void Deliver()
    {
        SampleFeed* feed = options.feed;
        if (!feed || held || !host.IsSampling()) return;
        const Clock::time_point deadline = Clock::now() + kDeliveryBudget;
        bool delivered = false;
        try {
            while (feed->Available() > 0 && Clock::now() < deadline) {
                host.SampleBatch();
                delivered = true;
            }
        } catch (const std::bad_alloc&) {
            Report("out of memory for the recording: sampling stopped after " +
                   std::to_string(host.GetRecording().SampleCount()) + " samples");
            Act("stop", [&] { host.StopSampling(); });
            return;
        } catch (const std::exception& error) {
            Report(error.what());
            Act("stop", [&] { host.StopSampling(); });
            return;
        }
        if (latencyLog) feed->TakeDeliveredArrivals(awaitingScreen);
        if (delivered && options.afterAction) options.afterAction();
        if (feed->Ended()) {
            if (!feed->Error().empty()) Report(feed->Error());
            Act("end of source", [&] { host.StopSampling(); });
        }
    }

    // Batches whose pixels are all on screen now: arrival to present, in microseconds.
    void RecordLatencies()
    {
        if (!latencyLog || awaitingScreen.empty()) return;
        for (const auto& shown : screen.Windows())
            if (shown->Kind() == PortKind::plot && shown->Changed()) return;
        const Clock::time_point now = Clock::now();
        for (Clock::time_point arrival : awaitingScreen)
            std::fprintf(
                latencyLog, "%lld\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now - arrival).count()));
        awaitingScreen.clear();
    }

    // ---- Events ----

    void Handle(const SDL_Event& event)
    {
        switch (event.type) {
        case SDL_QUIT:
            quit = true;
            break;
        case SDL_WINDOWEVENT:
            WindowEvent(event.window);
            break;
        case SDL_MOUSEMOTION:
            if (!(event.motion.state & SDL_BUTTON_LMASK))
                hover = Hover{event.motion.windowID, event.motion.x, event.motion.y};
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.button != SDL_BUTTON_LEFT) break;
            DoPending();
            MouseDown(event.button);
            break;
        case SDL_KEYDOWN:
            DoPending();
            Key(event.key);
            break;
        case SDL_TEXTINPUT:
            if (std::string(event.text.text) == "?") ToggleKeys();
            break;
        default:
            break;
        }
    }

    void WindowEvent(const SDL_WindowEvent& event)
    {
        PortWindow* shown = screen.FindId(event.windowID);
        if (!shown) return;
        const bool plot = shown->Kind() == PortKind::plot;
        switch (event.event) {
        case SDL_WINDOWEVENT_CLOSE:
            if (plot) closeRequests.push_back(shown->Window());
            if (shown->Kind() == PortKind::panel) CloseKeys();
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (plot) resizeRequests.insert(event.windowID);
            break;
        case SDL_WINDOWEVENT_MAXIMIZED:
            if (plot && !shown->Maximized()) zoomRequests.insert(event.windowID);
            break;
        case SDL_WINDOWEVENT_RESTORED:
            if (plot && shown->Maximized()) zoomRequests.insert(event.windowID);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            shown->MarkExposed();
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            if (plot && FrontPlotWindow() != shown->Window()) {
                WindowRef window = shown->Window();
                Act("activate " + shown->Name(), [&] { host.BringToFront(window); });
            }
            break;
        case SDL_WINDOWEVENT_LEAVE:
            hover.reset();
            SetHelp("", SDL_Point{0, 0});
            SetCursor(0);
            break;
        default:
            break;
        }
    }

    void MouseDown(const SDL_MouseButtonEvent& button)
    {
        PortWindow* shown = screen.FindId(button.windowID);
        if (!shown) return;
        if (shown->Kind() == PortKind::panel) {
            CloseKeys();
            return;
        }
        if (shown->Kind() != PortKind::plot) return;
        SetHelp("", SDL_Point{0, 0});
        WindowRef window = shown->Window();
        const SDL_Point at = shown->Position();
        const Point local = shown->ToLocal(at.x + button.x, at.y + button.y);
        person.SetPressedWindow(window);
        if (SDL_GetKeyboardFocus() != shown->Sdl()) Focus(*shown);
        if (FrontPlotWindow() != window) Act("activate " + shown->Name(), [&] { host.BringToFront(window); });
        if (!host.IsExtensionWindow(window)) return;
        Rect port;
        GetWindowPortBounds(window, &port);
        const Rect growBox{SInt16(port.bottom - kGrowBoxSize), SInt16(port.right - kGrowBoxSize), port.bottom,
                           port.right};
        const std::string where = shown->Name() + " " + std::to_string(local.h) + " " + std::to_string(local.v);
        if (WindowIsGrowable(window) && PtInRect(local, &growBox))
            Act("grow " + where, [&] { host.Grow(window, local); });
        else
            Act("click " + where, [&] { host.Click(window, local); });
    }

    void Key(const SDL_KeyboardEvent& key)
    {
        const bool command = key.keysym.mod & (KMOD_CTRL | KMOD_GUI);
        const bool plain = !(key.keysym.mod & (KMOD_CTRL | KMOD_GUI | KMOD_ALT));
        PortWindow* shown = screen.FindId(key.windowID);
        if (shown && shown->Kind() == PortKind::panel) {
            if (key.keysym.sym == SDLK_ESCAPE || (command && key.keysym.sym == SDLK_w)) {
                CloseKeys();
                return;
            }
            shown = nullptr;
        }
        if (!shown || shown->Kind() != PortKind::plot) shown = screen.Find(FrontPlotWindow());
        switch (key.keysym.sym) {
        case SDLK_SPACE:
            if (plain && options.startOrStop && !key.repeat) Act("start-stop", [&] { options.startOrStop(); });
            break;
        case SDLK_n:
            if (command) Act("new window", [&] { host.ChooseMenuCommand(NewWindowCommand()); });
            break;
        case SDLK_s:
            if (command && shown) Save(*shown);
            break;
        case SDLK_w:
            if (command && shown) closeRequests.push_back(shown->Window());
            break;
        case SDLK_q:
            if (plain || command) quit = true;
            break;
        case SDLK_ESCAPE:
            CloseKeys();
            break;
        default:
            break;
        }
    }

    // Resizes, zooms and closings asked for meanwhile, then the hovering. The
    // desktop's maximize is the zoom box: maximizing zooms, restoring zooms
    // back; while maximized the port is shown as the zoom made it.
    void DoPending()
    {
        for (Uint32 id : std::exchange(zoomRequests, {})) {
            PortWindow* shown = screen.FindId(id);
            if (!shown) continue;
            WindowRef window = shown->Window();
            shown->SetMaximized(SDL_GetWindowFlags(shown->Sdl()) & SDL_WINDOW_MAXIMIZED);
            Act("zoom " + shown->Name(), [&] { host.Zoom(window); });
        }
        for (Uint32 id : std::exchange(resizeRequests, {})) {
            PortWindow* shown = screen.FindId(id);
            if (!shown || shown->Maximized()) continue;
            int width = 0, height = 0;
            SDL_GetWindowSize(shown->Sdl(), &width, &height);
            width /= shown->Zoom();
            height /= shown->Zoom();
            if (width == shown->Width() && height == shown->Height()) continue;
            WindowRef window = shown->Window();
            Act("resize " + shown->Name() + " " + std::to_string(width) + " " + std::to_string(height),
                [&] { host.Resize(window, int16_t(std::min(width, 32767)), int16_t(std::min(height, 32767))); });
        }
        for (WindowRef window : std::exchange(closeRequests, {})) {
            PortWindow* shown = screen.Find(window);
            if (!shown || !host.IsExtensionWindow(window)) continue;
            Act("close " + shown->Name(), [&] { host.CloseWindow(window); });
        }
        leaveModal = false;
        if (hover) {
            const Hover at = *std::exchange(hover, std::nullopt);
            PortWindow* shown = screen.FindId(at.id);
            if (shown && shown->Kind() == PortKind::plot && host.IsExtensionWindow(shown->Window())) {
                const SDL_Point origin = shown->Position();
                const Point local = shown->ToLocal(origin.x + at.x, origin.y + at.y);
                try {
                    SetCursor(host.MouseOver(shown->Window(), local));
                } catch (const std::exception& error) {
                    Report(error.what());
                }
                SetHelp(host.HelpText(), SDL_Point{origin.x + at.x, origin.y + at.y});
            }
        }
    }

    // Runs one recorder action the way every action of the person runs: in
    // the trace, errors reported, then windows brought in line with the session.
    void Act(const std::string& what, const std::function<void()>& action)
    {
        hooks.Trace("action " + what + " samples=" + std::to_string(host.GetRecording().SampleCount()));
        try {
            action();
        } catch (const std::exception& error) {
            Report(what + ": " + error.what());
        }
        if (options.afterAction) options.afterAction();
        for (const auto& shown : screen.Windows())
            if (shown->Kind() == PortKind::plot) shown->SnapToPort();
        Sync();
        hooks.Trace("done " + what + " samples=" + std::to_string(host.GetRecording().SampleCount()));
    }

    void Report(const std::string& text) { std::fprintf(stderr, "xyrecorder: %s\n", text.c_str()); }

    // ---- The desktop windows follow the session's ----

    void Sync()
    {
        const std::vector<WindowRef> windows = host.Windows();
        for (WindowRef window : windows) {
            if (screen.Find(window)) continue;
            Rect content;
            GetWindowBounds(window, kWindowContentRgn, &content);
            Str255 title;
            GetWTitle(window, title);
            const int number = nextNumber++;
            std::string name = PascalToString(title);
            if (number > 1) name += " " + std::to_string(number);
            PortWindow& shown =
                screen.Show(GetWindowPort(window), window, PortKind::plot, SDL_Point{content.left, content.top}, name);
            shown.SetNumber(number);
            Focus(shown);  // the session brings a new window to the front
            hooks.Trace("show " + shown.Name() + " " + shown.DesktopId() + " " + std::to_string(shown.Width()) + " " +
                        std::to_string(shown.Height()));
        }
        std::vector<PortWindow*> gone;
        for (const auto& shown : screen.Windows()) {
            const bool plotGone = shown->Kind() == PortKind::plot &&
                                  std::find(windows.begin(), windows.end(), shown->Window()) == windows.end();
            const bool dialogGone =
                shown->Kind() == PortKind::dialog && (!shown->Alive() || !IsWindowVisible(shown->Window()));
            if (plotGone || dialogGone) gone.push_back(shown.get());
        }
        bool dialogClosed = false;
        for (PortWindow* shown : gone) {
            hooks.Trace("hide " + shown->Name());
            dialogClosed |= shown->Kind() == PortKind::dialog;
            screen.Close(shown);
        }
        // The keys go back to the window the dialog belonged to.
        if (PortWindow* front = dialogClosed ? screen.Find(FrontPlotWindow()) : nullptr) Focus(*front);
    }

    void Focus(PortWindow& shown)
    {
        SDL_RaiseWindow(shown.Sdl());
        SDL_SetWindowInputFocus(shown.Sdl());
    }

    WindowRef FrontPlotWindow() const
    {
        for (WindowRef window = FrontWindow(); window; window = GetNextWindow(window))
            if (host.IsExtensionWindow(window)) return window;
        return nullptr;
    }

    std::string NewWindowCommand() const
    {
        for (const MenuCommand& command : host.MenuCommands())
            if (command.path.rfind("Windows:", 0) == 0) return command.path;
        throw RecorderError("no extension offers a window to open");
    }

    void Save(PortWindow& shown)
    {
        if (!options.savePath) return;
        const std::string path = options.savePath(shown.Number());
        try {
            host.WritePicture(shown.Window(), path, options.saveScale);
            std::fprintf(stderr, "xyrecorder: saved %s as %s\n", shown.Name().c_str(), path.c_str());
            hooks.Trace("saved " + shown.Name() + " " + path);
        } catch (const std::exception& error) {
            Report(error.what());
        }
    }

    // ---- Help text, cursor and the keys ----

    void SetHelp(const std::string& text, SDL_Point mouse)
    {
        if (text == helpText) return;
        HideTooltip();
        helpText = text;
        helpSince = Clock::now();
        tooltipAt = SDL_Point{mouse.x + kTooltipOffset.x, mouse.y + kTooltipOffset.y};
    }

    void ShowTooltipWhenDue()
    {
        if (tooltip || held || helpText.empty() || Clock::now() < helpSince + kTooltipDelay) return;
        tooltipPort = MakeTextPort({helpText}, TextLook::tooltip);
        tooltip = &screen.Show(tooltipPort, nullptr, PortKind::tooltip, tooltipAt, "help");
        hooks.Trace("tooltip " + Quote(helpText));
    }

    void HideTooltip()
    {
        if (tooltip) screen.Close(tooltip);
        if (tooltipPort) DisposeOffscreenPort(tooltipPort);
        tooltip = nullptr;
        tooltipPort = nullptr;
    }

    void SetCursor(int16_t code)
    {
        const SDL_SystemCursor kind = CursorFor(code);
        SDL_Cursor*& cursor = cursors[kind];
        if (!cursor) cursor = SDL_CreateSystemCursor(kind);
        if (cursor) SDL_SetCursor(cursor);
    }

    void ToggleKeys()
    {
        if (keys) {
            CloseKeys();
            return;
        }
        keysPort = MakeTextPort(Lines(kKeys), TextLook::panel);
        PortWindow* front = screen.Find(FrontPlotWindow());
        SDL_Point at = front ? front->Position() : SDL_Point{60, 60};
        keys = &screen.Show(keysPort, nullptr, PortKind::panel, SDL_Point{at.x + 30, at.y + 30}, "Keys");
        hooks.Trace("keys shown");
    }

    void CloseKeys()
    {
        if (keys) screen.Close(keys);
        if (keysPort) DisposeOffscreenPort(keysPort);
        keys = nullptr;
        keysPort = nullptr;
    }

    // ---- EventPump: what modal loops use ----

    bool NextEvent(SDL_Event& event, int timeoutMs) override
    {
        const Clock::time_point until =
            timeoutMs < 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(timeoutMs);
        return WaitForEvent(event, until, false);
    }

    void SetAside(const SDL_Event& event) override
    {
        switch (event.type) {
        case SDL_QUIT:
            quit = true;
            break;
        case SDL_KEYDOWN:
            // Q quits and Ctrl+W closes the window the person pressed in,
            // once the modal loop has ended as a cancel.
            if (event.key.keysym.sym == SDLK_q) quit = true;
            if (event.key.keysym.sym == SDLK_w && (event.key.keysym.mod & (KMOD_CTRL | KMOD_GUI)))
                if (WindowRef pressed = FrontPlotWindow()) {
                    closeRequests.push_back(pressed);
                    leaveModal = true;
                }
            break;
        case SDL_WINDOWEVENT: {
            PortWindow* shown = screen.FindId(event.window.windowID);
            if (!shown) break;
            switch (event.window.event) {
            case SDL_WINDOWEVENT_EXPOSED:
                shown->MarkExposed();
                break;
            case SDL_WINDOWEVENT_CLOSE:
                if (shown->Kind() == PortKind::plot) {
                    closeRequests.push_back(shown->Window());
                    leaveModal = true;
                }
                break;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                if (shown->Kind() == PortKind::plot) resizeRequests.insert(event.window.windowID);
                break;
            case SDL_WINDOWEVENT_MAXIMIZED:
                if (shown->Kind() == PortKind::plot && !shown->Maximized()) zoomRequests.insert(event.window.windowID);
                break;
            case SDL_WINDOWEVENT_RESTORED:
                if (shown->Kind() == PortKind::plot && shown->Maximized()) zoomRequests.insert(event.window.windowID);
                break;
            default:
                break;
            }
            break;
        }
        default:
            break;
        }
    }

    bool MustLeaveModalLoop() const override { return quit || leaveModal; }

    // ---- State ----

    struct Hover {
        Uint32 id;
        int x, y;
    };

    Recorder& host;
    DisplayOptions options;
    TestHooks hooks;  // before the screen: it blocks its signals before SDL starts threads
    Screen screen;
    PersonInput person;
    int nextNumber = 1;
    bool quit = false;
    bool held = false;
    bool leaveModal = false;
    std::vector<WindowRef> closeRequests;
    std::set<Uint32> resizeRequests, zoomRequests;
    std::optional<Hover> hover;
    std::string helpText;
    Clock::time_point helpSince{};
    SDL_Point tooltipAt{0, 0};
    PortWindow* tooltip = nullptr;
    CGrafPtr tooltipPort = nullptr;
    PortWindow* keys = nullptr;
    CGrafPtr keysPort = nullptr;
    std::map<SDL_SystemCursor, SDL_Cursor*> cursors;
    std::FILE* latencyLog = nullptr;
    std::vector<Clock::time_point> awaitingScreen;
    Clock::time_point frameGrid{};
};

LiveDisplay::LiveDisplay(Recorder& host, DisplayOptions options)
{
    if (options.zoom < 1 || options.zoom > kMaxZoom)
        throw DisplayError("zoom " + std::to_string(options.zoom) + " is not within 1.." + std::to_string(kMaxZoom));
    impl_ = std::make_unique<Impl>(host, std::move(options));
}

LiveDisplay::~LiveDisplay() = default;

void LiveDisplay::Run() { impl_->Run(); }

}  // namespace display
