// The platform's event record, as hosts embed it in their parameter blocks.
#pragma once

#include "toolbox/MacTypes.h"

#pragma GCC visibility push(default)  // the library exports what its headers declare

enum : UInt16 { nullEvent = 0, mouseDown = 1, mouseUp = 2, keyDown = 3, updateEvt = 6, activateEvt = 8 };

#pragma pack(push, 2)
struct EventRecord {
    UInt16 what;
    UInt32 message;
    UInt32 when;
    Point where;
    UInt16 modifiers;
};
#pragma pack(pop)
static_assert(sizeof(EventRecord) == 16);

#pragma GCC visibility pop
