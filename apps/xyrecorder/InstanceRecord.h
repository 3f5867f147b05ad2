// How the program reads a plot window's state for `expect`: through the
// extension's own declaration of its per-window record. The program never
// writes it.
#pragma once

#include <cstdint>

#include "LocalData.h"

using InstanceRecord = LocalDataType;

// The record behind an instance handle (the 32-bit value message 6 returned).
inline const InstanceRecord* RecordOfInstance(uint32_t instance)
{
    Handle handle = ReferenceFrom32<Handle>(instance);
    return handle && *handle ? reinterpret_cast<const InstanceRecord*>(*handle) : nullptr;
}
