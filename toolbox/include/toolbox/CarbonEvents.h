// Carbon Event Manager: handlers per window target, event kinds and typed
// parameters. Handlers run in installation order, newest first, until one
// returns something other than eventNotHandledErr.
#pragma once

#include "toolbox/MacTypes.h"

#pragma GCC visibility push(default)  // the library exports what its headers declare

enum : OSStatus { eventNotHandledErr = -9874, eventParameterNotFoundErr = -9870, eventInternalErr = -9868 };

constexpr UInt32 kEventClassWindow = FourCharCode("wind");
enum : UInt32 { kEventWindowBoundsChanging = 26, kEventWindowBoundsChanged = 27 };
constexpr UInt32 kEventParamDirectObject = FourCharCode("----");
constexpr UInt32 kEventParamAttributes = FourCharCode("attr");
constexpr UInt32 kEventParamCurrentBounds = FourCharCode("crct");
constexpr UInt32 kEventParamPreviousBounds = FourCharCode("prct");
constexpr UInt32 typeWindowRef = FourCharCode("wind");
constexpr UInt32 typeUInt32 = FourCharCode("magn");
constexpr UInt32 typeQDRectangle = FourCharCode("qdrt");
enum : UInt32 {
    kWindowBoundsChangeUserDrag = 1,
    kWindowBoundsChangeUserResize = 2,
    kWindowBoundsChangeSizeChanged = 4,
    kWindowBoundsChangeOriginChanged = 8
};

using EventParamName = UInt32;
using EventParamType = UInt32;
using EventHandlerProcPtr = OSStatus (*)(EventHandlerCallRef callRef, EventRef event, void* userData);
using EventHandlerUPP = EventHandlerProcPtr;

struct EventTypeSpec {
    UInt32 eventClass;
    UInt32 eventKind;
};

EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr proc);
void DisposeEventHandlerUPP(EventHandlerUPP upp);

EventTargetRef GetWindowEventTarget(WindowRef window);
OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, UInt32 numTypes, const EventTypeSpec* list,
                             void* userData, EventHandlerRef* outRef);
OSStatus RemoveEventHandler(EventHandlerRef handler);

OSStatus CreateEvent(void* allocator, UInt32 eventClass, UInt32 kind, double when, UInt32 flags, EventRef* outEvent);
void ReleaseEvent(EventRef event);
UInt32 GetEventClass(EventRef event);
UInt32 GetEventKind(EventRef event);
OSStatus SetEventParameter(EventRef event, EventParamName name, EventParamType type, UInt32 size, const void* data);
OSStatus GetEventParameter(EventRef event, EventParamName name, EventParamType desiredType, EventParamType* actualType,
                           UInt32 bufferSize, UInt32* actualSize, void* data);
// Runs the target's handlers for the event; eventNotHandledErr when none took it.
OSStatus SendEventToEventTarget(EventRef event, EventTargetRef target);

#pragma GCC visibility pop
