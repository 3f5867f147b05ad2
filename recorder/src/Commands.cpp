// Commands and what extensions register with the host: command numbers, the
// queue of posted commands and their delivery as message 8, menu commands,
// notification requests and extension names.
#include <algorithm>
#include <cstring>

#include "RecorderImpl.h"
#include "Services.h"
#include "toolbox/Memory.h"

namespace {

const char* const kWindowsMenu = "Windows:";

void Queue(uint16_t command, int32_t selector, bool carriesValue, int16_t channel, double value)
{
    SessionAccess::Impl& state = SessionAccess::State();
    auto found = state.commandByNumber.find(int16_t(command));
    if (found == state.commandByNumber.end()) {
        ++SessionAccess::Counters().unknownCommands;
        state.Report(HostMessage::Kind::error,
                     "a command was posted with number " + std::to_string(command) + ", which the host never gave out");
        return;
    }
    WindowRef target = state.calls.empty() ? nullptr : state.calls.back().window;
    state.commands.push_back({target, found->second.first, int16_t(command), found->second.second, uint32_t(selector),
                              carriesValue, channel, value});
}

}  // namespace

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
    SendToWindow(target, kDoCommand,
                 [&](uint8_t* block) { SetBlockField<uint32_t>(block, kCommandField, LowAddress(record)); });
    LowDelete(record);
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

void Recorder::ChooseMenuCommand(const std::string& path)
{
    ActionScope scope(*impl_);
    auto found =
        std::find_if(menuCommands_.begin(), menuCommands_.end(), [&](const MenuCommand& c) { return c.path == path; });
    if (found == menuCommands_.end()) throw RecorderError("no menu command \"" + path + "\"");
    const MenuCommand command = *found;
    if (path.rfind(kWindowsMenu, 0) == 0) {
        ExtensionBundle* bundle = impl_->BundleOf(command.extensionID);
        if (!bundle) throw RecorderError("menu command \"" + path + "\" belongs to no loaded extension");
        OpenWindow(*bundle);
        return;
    }
    impl_->commands.push_back({nullptr, command.extensionID, command.command, command.localNumber, 0, false, 0, 0.0});
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

namespace services {

void HostPostCommand(uint16_t command, int32_t axisSelector, int16_t channel)
{
    Queue(command, axisSelector, false, channel, 0.0);
}

void HostPostValueCommand(uint16_t command, int32_t selector, double value)
{
    Queue(command, selector, true, 0, value);
}

void HostBeforeErase(WindowRef) { ++SessionAccess::Counters().beforeErase; }

void HostRequestNotification(int16_t extensionID, int16_t kind, uint8_t on)
{
    auto& requests = SessionAccess::State().notificationRequests;
    if (on)
        requests.insert({extensionID, kind});
    else
        requests.erase({extensionID, kind});
}

int16_t HostCommandNumber(int16_t localNumber, int16_t extensionID)
{
    SessionAccess::Impl& state = SessionAccess::State();
    auto key = std::make_pair(extensionID, localNumber);
    auto found = state.numberByCommand.find(key);
    if (found != state.numberByCommand.end()) return found->second;
    int16_t number = state.nextCommandNumber++;
    state.numberByCommand[key] = number;
    state.commandByNumber[number] = key;
    return number;
}

void HostAddMenuCommand(ConstStr255Param menuPath, int16_t flags, int16_t command)
{
    SessionAccess::Impl& state = SessionAccess::State();
    std::vector<MenuCommand>& menuCommands = SessionAccess::MenuCommands();
    std::string path = menuPath ? PascalToString(menuPath) : std::string();
    int16_t extension = state.CallingExtension();
    int16_t local = 0;
    auto found = state.commandByNumber.find(command);
    if (found != state.commandByNumber.end()) {
        extension = found->second.first;
        local = found->second.second;
    }
    for (const MenuCommand& existing : menuCommands)
        if (existing.path == path && existing.command == command) return;
    menuCommands.push_back({path, flags, command, extension, local});
}

void HostExtensionName(int16_t extensionID, StringPtr name)
{
    CopyCStringToPascal(SessionAccess::Session().ExtensionName(extensionID), name);
}

}  // namespace services
