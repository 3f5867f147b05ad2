// Carbon Event Manager: events with typed parameters, and handlers installed
// on window targets. A target's handlers run newest first until one returns
// something other than eventNotHandledErr.
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "ToolboxInternal.h"

using namespace toolbox;

namespace {

constexpr EventParamType typeWildCard = FourCharCode("****");
constexpr OSStatus errAECoercionFail = -1700;

bool Handles(EventHandlerRef handler, UInt32 eventClass, UInt32 eventKind)
{
    return std::any_of(handler->types.begin(), handler->types.end(),
                       [&](const EventTypeSpec& t) { return t.eventClass == eventClass && t.eventKind == eventKind; });
}

// Every installed handler, so that a dispatch can tell which of its handlers
// are still there after one of them removed others or disposed of the window.
std::unordered_set<EventHandlerRef> gLiveHandlers;

void DeleteHandler(EventHandlerRef handler)
{
    gLiveHandlers.erase(handler);
    LowDelete(handler);
    --gCounts.eventHandlers;
}

}  // namespace

namespace toolbox {

void RemoveAllEventHandlers(OpaqueEventTargetRef& target)
{
    for (EventHandlerRef handler : target.handlers) DeleteHandler(handler);
    target.handlers.clear();
}

}  // namespace toolbox

EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr proc) { return proc; }
void DisposeEventHandlerUPP(EventHandlerUPP) {}

EventTargetRef GetWindowEventTarget(WindowRef window) { return window ? &window->target : nullptr; }

OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, UInt32 numTypes, const EventTypeSpec* list,
                             void* userData, EventHandlerRef* outRef)
{
    if (outRef) *outRef = nullptr;
    if (!target || !handler || (numTypes > 0 && !list)) return paramErr;
    EventHandlerRef ref = LowNew<OpaqueEventHandlerRef>();
    ref->target = target;
    ref->proc = handler;
    ref->types.assign(list, list + numTypes);
    ref->userData = userData;
    target->handlers.push_back(ref);
    gLiveHandlers.insert(ref);
    ++gCounts.eventHandlers;
    if (outRef) *outRef = ref;
    return noErr;
}

OSStatus RemoveEventHandler(EventHandlerRef handler)
{
    if (!gLiveHandlers.count(handler)) return paramErr;
    auto& handlers = handler->target->handlers;
    auto it = std::find(handlers.begin(), handlers.end(), handler);
    if (it == handlers.end()) return paramErr;
    handlers.erase(it);
    DeleteHandler(handler);
    return noErr;
}

OSStatus CreateEvent(void*, UInt32 eventClass, UInt32 kind, double, UInt32, EventRef* outEvent)
{
    if (!outEvent) return paramErr;
    EventRef event = new OpaqueEventRef;
    event->eventClass = eventClass;
    event->eventKind = kind;
    *outEvent = event;
    return noErr;
}

void ReleaseEvent(EventRef event)
{
    if (event && --event->retainCount == 0) delete event;
}

UInt32 GetEventClass(EventRef event) { return event ? event->eventClass : 0; }
UInt32 GetEventKind(EventRef event) { return event ? event->eventKind : 0; }

OSStatus SetEventParameter(EventRef event, EventParamName name, EventParamType type, UInt32 size, const void* data)
{
    if (!event || (size > 0 && !data)) return paramErr;
    auto it = std::find_if(event->parameters.begin(), event->parameters.end(),
                           [&](const OpaqueEventRef::Parameter& p) { return p.name == name; });
    if (it == event->parameters.end()) it = event->parameters.insert(event->parameters.end(), {name, type, {}});
    it->type = type;
    const auto* bytes = static_cast<const unsigned char*>(data);
    it->data.assign(bytes, bytes + size);
    return noErr;
}

// A buffer smaller than the parameter receives its first bufferSize bytes:
// callers of the 32-bit platform read a window reference into 4 bytes, which
// holds all of a reference from the low zone on this little-endian machine.
OSStatus GetEventParameter(EventRef event, EventParamName name, EventParamType desiredType, EventParamType* actualType,
                           UInt32 bufferSize, UInt32* actualSize, void* data)
{
    if (!event) return paramErr;
    auto it = std::find_if(event->parameters.begin(), event->parameters.end(),
                           [&](const OpaqueEventRef::Parameter& p) { return p.name == name; });
    if (it == event->parameters.end()) return eventParameterNotFoundErr;
    if (desiredType != typeWildCard && desiredType != it->type) return errAECoercionFail;
    if (actualType) *actualType = it->type;
    if (actualSize) *actualSize = UInt32(it->data.size());
    if (data) std::memcpy(data, it->data.data(), std::min<size_t>(bufferSize, it->data.size()));
    return noErr;
}

OSStatus SendEventToEventTarget(EventRef event, EventTargetRef target)
{
    if (!event || !target) return paramErr;
    // Handlers may remove themselves or others, or dispose of the window and
    // its target, while the event runs: walk a copy, never touch the target
    // again, and skip whatever is gone by the time its turn comes.
    const std::vector<EventHandlerRef> snapshot = target->handlers;
    ++event->retainCount;
    OSStatus result = eventNotHandledErr;
    for (auto it = snapshot.rbegin(); it != snapshot.rend() && result == eventNotHandledErr; ++it) {
        EventHandlerRef handler = *it;
        if (!gLiveHandlers.count(handler) || !Handles(handler, event->eventClass, event->eventKind)) continue;
        result = handler->proc(reinterpret_cast<EventHandlerCallRef>(handler), event, handler->userData);
    }
    ReleaseEvent(event);
    return result;
}
