// The session's own host services: windows, commands, menus, messages, pens,
// busy feedback, sampling information and the recorded data. Axis and dialog
// services are installed by their own parts.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "RecorderImpl.h"
#include "toolbox/Controls.h"
#include "toolbox/Dialogs.h"
#include "toolbox/Memory.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Windows.h"

struct HostServicesCore {
    static Recorder& Session()
    {
        Recorder* recorder = Recorder::Current();
        if (!recorder) {
            std::fprintf(stderr, "recorder: a host service was called with no session\n");
            std::abort();
        }
        return *recorder;
    }
    static Recorder::Impl& Impl() { return *Session().impl_; }
    static Recording& Data() { return Session().recording_; }
    static bool IsOurSource(DataSourceRef source) { return source && source == Data().Source(); }

    // ---- Commands and menus ----

    static void PostCommand(uint16_t command, int32_t axisSelector, int16_t channel)
    {
        Queue(command, axisSelector, false, channel, 0.0);
    }

    static void PostValueCommand(uint16_t command, int32_t selector, double value)
    {
        Queue(command, selector, true, 0, value);
    }

    static void Queue(uint16_t command, int32_t selector, bool carriesValue, int16_t channel, double value)
    {
        auto& impl = Impl();
        auto found = impl.commandByNumber.find(int16_t(command));
        if (found == impl.commandByNumber.end()) {
            ++Session().counters_.unknownCommands;
            impl.Report(HostMessage::Kind::error, "a command was posted with number " + std::to_string(command) +
                                                      ", which the host never gave out");
            return;
        }
        WindowRef target = impl.calls.empty() ? nullptr : impl.calls.back().window;
        impl.commands.push_back({target, found->second.first, int16_t(command), found->second.second,
                                 uint32_t(selector), carriesValue, channel, value});
    }

    static int16_t CommandNumber(int16_t localNumber, int16_t extensionID)
    {
        auto& impl = Impl();
        auto key = std::make_pair(extensionID, localNumber);
        auto found = impl.numberByCommand.find(key);
        if (found != impl.numberByCommand.end()) return found->second;
        int16_t number = impl.nextCommandNumber++;
        impl.numberByCommand[key] = number;
        impl.commandByNumber[number] = key;
        return number;
    }

    static void AddMenuCommand(ConstStr255Param menuPath, int16_t flags, int16_t command)
    {
        Recorder& session = Session();
        auto& impl = Impl();
        std::string path = menuPath ? PascalToString(menuPath) : std::string();
        int16_t extension = impl.CallingExtension();
        int16_t local = 0;
        auto found = impl.commandByNumber.find(command);
        if (found != impl.commandByNumber.end()) {
            extension = found->second.first;
            local = found->second.second;
        }
        for (const MenuCommand& existing : session.menuCommands_)
            if (existing.path == path && existing.command == command) return;
        session.menuCommands_.push_back({path, flags, command, extension, local});
    }

    static void RequestNotification(int16_t extensionID, int16_t kind, uint8_t on)
    {
        auto& requests = Impl().notificationRequests;
        if (on)
            requests.insert({extensionID, kind});
        else
            requests.erase({extensionID, kind});
    }

    static void ExtensionName(int16_t extensionID, StringPtr name)
    {
        CopyCStringToPascal(Session().ExtensionName(extensionID), name);
    }

    // ---- Messages ----

    static void ReportError(ConstStr255Param message)
    {
        Impl().Report(HostMessage::Kind::error, message ? PascalToString(message) : std::string());
    }

    static void ShowMessage(ConstStr255Param message)
    {
        Impl().Report(HostMessage::Kind::message, message ? PascalToString(message) : std::string());
    }

    static void SetHelpText(ConstStr255Param text) { Session().helpText_ = text ? PascalToString(text) : ""; }

    // ---- Windows and controls ----

    static WindowRef NewWindow(int16_t resourceID, int32_t, int32_t, int16_t)
    {
        // New windows come in front of all others; placement comes from HostPlaceWindow.
        WindowRef window = GetNewCWindow(resourceID, nullptr, reinterpret_cast<WindowRef>(intptr_t(-1)));
        if (!window) {
            Impl().Report(HostMessage::Kind::error,
                          "the extension's resources have no window " + std::to_string(resourceID));
            return nullptr;
        }
        if (Impl().newWindows) Impl().newWindows->push_back(window);
        return window;
    }

    static void PlaceWindow(WindowRef window, ConstStr255Param, int32_t resourceType, int16_t, int16_t, int32_t)
    {
        if (!window) return;
        Rect content, structure;
        GetWindowBounds(window, kWindowContentRgn, &content);
        GetWindowBounds(window, kWindowStructureRgn, &structure);
        const int frameLeft = content.left - structure.left, frameTop = content.top - structure.top;
        if (uint32_t(resourceType) == FourCharCode("DLOG") || GetDialogFromWindow(window)) {
            // Centred over the front window.
            WindowRef reference = FrontWindow();
            while (reference == window) reference = GetNextWindow(reference);
            Rect over{0, 0, 768, 1024};
            if (reference) GetWindowBounds(reference, kWindowStructureRgn, &over);
            int width = structure.right - structure.left, height = structure.bottom - structure.top;
            int left = std::max(0, (over.left + over.right - width) / 2);
            int top = std::max(0, (over.top + over.bottom - height) / 2);
            MoveWindow(window, int16_t(left + frameLeft), int16_t(top + frameTop), false);
            return;
        }
        // Document windows cascade by 20 pixels, ten steps deep.
        constexpr int kCascadeStep = 20, kCascadeDepth = 10, kFirstLeft = 20, kFirstTop = 40;
        int step = Impl().placedWindows++ % kCascadeDepth;
        MoveWindow(window, int16_t(kFirstLeft + frameLeft + step * kCascadeStep),
                   int16_t(kFirstTop + frameTop + step * kCascadeStep), false);
    }

    static void ZoomWindow(WindowRef window, int16_t partCode, uint8_t, uint8_t front)
    {
        if (!window) return;
        ZoomState& state = Impl().zoom[window];
        Rect port;
        GetWindowPortBounds(window, &port);
        if (partCode == inZoomOut && !state.zoomedOut) {
            state.userWidth = int16_t(port.right - port.left);
            state.userHeight = int16_t(port.bottom - port.top);
            state.zoomedOut = true;
            SizeWindow(window, kStandardZoomWidth, kStandardZoomHeight, true);
        } else if (partCode == inZoomIn && state.zoomedOut) {
            state.zoomedOut = false;
            SizeWindow(window, state.userWidth, state.userHeight, true);
        }
        if (front) SelectWindow(window);
    }

    // Drawn at once rather than invalidated: an update redraws the whole plot
    // from the recording. A hidden window is drawn whole when shown. Controls
    // may share edges, so all of them are drawn again in their order, as an
    // update leaves them, and unclipped: the extension's clip is not ours.
    static void EnableControl(ControlRef control, uint8_t enable)
    {
        if (!control) return;
        WindowRef owner = GetControlOwner(control);
        if (!owner || !IsWindowVisible(owner)) {
            HiliteControl(control, enable ? 0 : 255);
            return;
        }
        GrafPtr saved = nullptr;
        GetPort(&saved);
        SetPort(GetWindowPort(owner));
        Rect clip, all;
        GetClip(&clip);
        GetWindowPortBounds(owner, &all);
        ClipRect(&all);
        HiliteControl(control, enable ? 0 : 255);
        DrawControls(owner);
        ClipRect(&clip);
        SetPort(saved);
    }

    static void BeforeErase(WindowRef) { ++Session().counters_.beforeErase; }

    // ---- Pens and busy feedback ----

    static void SetPen(int16_t pen)
    {
        auto& impl = Impl();
        ++Session().counters_.penSet;
        SavedPen saved;
        GetPort(&saved.port);
        saved.portSerial = GetPortSerial(saved.port);
        GetForeColor(&saved.colour);
        impl.pens.push_back(saved);
        constexpr RGBColor kBlack{0, 0, 0};
        RGBForeColor(pen == kTracePen ? &kTraceColour : &kBlack);
    }

    static void RestorePen()
    {
        auto& impl = Impl();
        Recorder& session = Session();
        if (impl.pens.empty()) {
            ++session.counters_.penUnderflows;
            return;
        }
        ++session.counters_.penRestore;
        SavedPen saved = impl.pens.back();
        impl.pens.pop_back();
        // A port disposed since (or a new one at its address) is left alone.
        if (!saved.port || GetPortSerial(saved.port) != saved.portSerial) return;
        GrafPtr current;
        GetPort(&current);
        SetPort(saved.port);
        RGBForeColor(&saved.colour);
        SetPort(current);
    }

    static void BusyBegin()
    {
        auto& impl = Impl();
        ++Session().counters_.busyBegin;
        if (impl.busyDepth++ == 0) {
            impl.busyStart = std::chrono::steady_clock::now();
            impl.busySteps = 0;
            impl.progressShown = false;
        }
    }

    static void BusyStep(int16_t)
    {
        auto& impl = Impl();
        Recorder& session = Session();
        ++session.counters_.busyStep;
        if (impl.busyDepth == 0) return;
        ++impl.busySteps;
        if (!session.options_.showProgress || !isatty(STDERR_FILENO)) return;
        constexpr auto kLongRedraw = std::chrono::milliseconds(300);
        if (std::chrono::steady_clock::now() - impl.busyStart < kLongRedraw) return;
        std::fprintf(stderr, "\rredrawing... %d blocks", impl.busySteps);
        impl.progressShown = true;
    }

    static void BusyEnd()
    {
        auto& impl = Impl();
        ++Session().counters_.busyEnd;
        if (impl.busyDepth > 0 && --impl.busyDepth == 0 && impl.progressShown) {
            std::fprintf(stderr, "\n");
            impl.progressShown = false;
        }
    }

    // ---- Sampling information and channels ----

    static void GetSamplingInfo(SamplingInfo* info)
    {
        if (!info) return;
        std::memset(info, 0, sizeof *info);
        info->SetSampleInterval(Session().sampleInterval_);
    }

    static void LiveChannelInfo(int16_t channel, ChannelInfoRecord* info)
    {
        if (info) *info = Data().LiveChannelInfo(channel);
    }

    static void ChannelTitle(int16_t channel, StringPtr title)
    {
        if (!title) return;
        const Recording& data = Data();
        std::string text;
        if (channel >= 1 && channel <= data.ChannelCount())
            text = data.Channel(channel).title;
        else if (channel >= 1 && channel <= Recording::kMaxChannels)
            text = "Channel " + std::to_string(channel);
        CopyCStringToPascal(text, title);
    }

    static uint8_t SameChannelInfo(const ChannelInfoRecord* first, const ChannelInfoRecord* second)
    {
        return first && second && SameChannelDisplay(*first, *second) ? 1 : 0;
    }

    static void InitInfoPart(uint8_t* infoPart)
    {
        if (infoPart) InitChannelInfoPart(infoPart);
    }

    // ---- Recorded data ----

    static DataSourceRef GetDataSource(int16_t kind) { return kind == 1 ? Data().Source() : nullptr; }

    static void LocateSample(DataSourceRef source, int32_t position, SampleLocation* location)
    {
        if (!location) return;
        *location = IsOurSource(source) ? Data().Locate(position) : SampleLocation{0, 0};
    }

    static Handle LockBlockData(DataSourceRef source, int16_t channel, int16_t block)
    {
        if (!IsOurSource(source)) return nullptr;
        return Data().LockBlockData(channel, block);
    }

    static void UnlockBlockData(DataSourceRef source, int16_t channel, int16_t block)
    {
        if (IsOurSource(source)) Data().UnlockBlockData(channel, block);
    }

    static int16_t BlockLength(DataSourceRef source, int16_t block)
    {
        return IsOurSource(source) ? Data().BlockLength(block) : 0;
    }

    static void BlockChannelInfo(DataSourceRef source, int16_t channel, int16_t block, ChannelInfoRecord* info)
    {
        if (!info) return;
        *info = IsOurSource(source) ? Data().BlockChannelInfo(channel, block) : Recording().BlockChannelInfo(channel, -1);
    }

    static int32_t SampleCount(DataSourceRef source) { return IsOurSource(source) ? Data().SampleCount() : 0; }

    static uint32_t HandleSize(Handle h) { return h ? uint32_t(GetHandleSize(h)) : 0; }

    static SampleRange GetRangeA() { return Data().RangeA(); }
    static SampleRange GetRangeB() { return Data().RangeB(); }
    static uint8_t RangeCheckA(const SampleRange* range) { return range && Data().RangeCheckA(*range) ? 1 : 0; }
    static uint8_t RangeCheckB(const SampleRange* range) { return range && Data().RangeCheckB(*range) ? 1 : 0; }
    static uint8_t RangeCheckC(const SampleRange* range) { return range && Data().RangeCheckC(*range) ? 1 : 0; }
};

void FillCoreServices(HostServiceTable& table)
{
    using S = HostServicesCore;
    table.HostPostCommand = S::PostCommand;
    table.HostPostValueCommand = S::PostValueCommand;
    table.HostCommandNumber = S::CommandNumber;
    table.HostAddMenuCommand = S::AddMenuCommand;
    table.HostRequestNotification = S::RequestNotification;
    table.HostExtensionName = S::ExtensionName;
    table.HostReportError = S::ReportError;
    table.HostShowMessage = S::ShowMessage;
    table.HostSetHelpText = S::SetHelpText;
    table.HostNewWindow = S::NewWindow;
    table.HostPlaceWindow = S::PlaceWindow;
    table.HostZoomWindow = S::ZoomWindow;
    table.HostEnableControl = S::EnableControl;
    table.HostBeforeErase = S::BeforeErase;
    table.HostSetPen = S::SetPen;
    table.HostRestorePen = S::RestorePen;
    table.HostBusyBegin = S::BusyBegin;
    table.HostBusyStep = S::BusyStep;
    table.HostBusyEnd = S::BusyEnd;
    table.HostGetSamplingInfo = S::GetSamplingInfo;
    table.HostLiveChannelInfo = S::LiveChannelInfo;
    table.HostChannelTitle = S::ChannelTitle;
    table.HostSameChannelInfo = S::SameChannelInfo;
    table.HostInitInfoPart = S::InitInfoPart;
    table.HostGetDataSource = S::GetDataSource;
    table.HostLocateSample = S::LocateSample;
    table.HostLockBlockData = S::LockBlockData;
    table.HostUnlockBlockData = S::UnlockBlockData;
    table.HostBlockLength = S::BlockLength;
    table.HostBlockChannelInfo = S::BlockChannelInfo;
    table.HostSampleCount = S::SampleCount;
    table.HostHandleSize = S::HandleSize;
    table.HostGetRangeA = S::GetRangeA;
    table.HostGetRangeB = S::GetRangeB;
    table.HostRangeCheckA = S::RangeCheckA;
    table.HostRangeCheckB = S::RangeCheckB;
    table.HostRangeCheckC = S::RangeCheckC;
}
