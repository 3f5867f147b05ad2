// Memory Manager over the low zone: every block, handle and master pointer lies
// below 4 GiB, so that its address fits a 32-bit field of the host ABI.
// Blocks never move on their own; SetHandleSize moves an unlocked block when it
// must grow past its capacity. New blocks (not the Clear variants) are filled
// with kUnsetMemoryByte so that reads of unset fields show up.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

#include "toolbox/MacTypes.h"

#pragma GCC visibility push(default)  // the library exports what its headers declare

constexpr unsigned char kUnsetMemoryByte = 0xA5;

Handle NewHandle(Size byteCount);
Handle NewHandleClear(Size byteCount);
void DisposeHandle(Handle h);
void HLock(Handle h);
void HUnlock(Handle h);
Boolean HIsLocked(Handle h);
Size GetHandleSize(Handle h);
void SetHandleSize(Handle h, Size newSize);  // MemError() tells memFullErr when a locked block can't grow

Ptr NewPtr(Size byteCount);
Ptr NewPtrClear(Size byteCount);
void DisposePtr(Ptr p);
Size GetPtrSize(Ptr p);

OSErr MemError();

// The zone itself, for the toolbox's and the host's own objects.
struct LowZoneStats {
    size_t liveBlocks;     // blocks handed out and not yet freed (master pointers included)
    size_t liveBytes;      // their requested sizes
    size_t mappedBytes;    // address space the zone holds from the system
    size_t peakLiveBytes;  // the most liveBytes has been since the start or ResetLowZonePeak
};
LowZoneStats GetLowZoneStats();
void ResetLowZonePeak();
// Address space the zone may hold at most (by default what the system gives
// below 4 GiB, about 1 GiB); allocations that would pass it fail as when the
// zone is full. For tests of what must live without the zone's room.
void SetLowZoneLimit(size_t bytes);

void* LowZoneAllocate(size_t byteCount);  // throws std::bad_alloc when the zone is exhausted
void LowZoneFree(void* block);

// A reference as the 32-bit host ABI carries it; aborts if the address lies above 4 GiB.
uint32_t LowAddress(const void* p);

template <class T, class... Args>
T* LowNew(Args&&... args)
{
    void* memory = LowZoneAllocate(sizeof(T));
    try {
        return new (memory) T(std::forward<Args>(args)...);
    } catch (...) {
        LowZoneFree(memory);
        throw;
    }
}

template <class T>
void LowDelete(T* object)
{
    if (!object) return;
    object->~T();
    LowZoneFree(object);
}

#pragma GCC visibility pop
