// The low zone: size-classed blocks carved from 1 MiB arenas, and large blocks
// mapped one by one (and unmapped when freed). Everything is below 4 GiB.
#include "toolbox/Memory.h"

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

constexpr uint64_t kFourGiB = uint64_t(1) << 32;
constexpr uint32_t kLiveMagic = 0x5A6F6E65;   // "Zone"
constexpr uint32_t kFreedMagic = 0x46726565;  // "Free"
constexpr size_t kArenaBytes = size_t(1) << 20;
constexpr int kSmallestClassShift = 5;  // 32 bytes, header included
constexpr int kLargestClassShift = 16;  // 64 KiB, header included
constexpr int kClassCount = kLargestClassShift - kSmallestClassShift + 1;
constexpr uint8_t kLargeClass = 0xFF;

enum BlockFlags : uint8_t { kLocked = 1, kHandleData = 2, kMasterPointer = 4 };

// 16 bytes in front of every block, keeping the data 16-byte aligned.
struct BlockHeader {
    uint32_t magic;
    uint8_t sizeClass;
    uint8_t flags;
    uint16_t reserved;
    uint32_t size;      // requested bytes
    uint32_t capacity;  // usable bytes
};
static_assert(sizeof(BlockHeader) == 16);

[[noreturn]] void ZoneFault(const char* what, const void* where)
{
    std::fprintf(stderr, "toolbox memory: %s (%p)\n", what, where);
    std::abort();
}

// Maps length bytes below 4 GiB: first where the kernel keeps 32-bit mappings,
// then by hints at fixed low addresses.
void* MapLow(size_t length)
{
    void* p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    if (p != MAP_FAILED && reinterpret_cast<uint64_t>(p) + length <= kFourGiB) return p;
    if (p != MAP_FAILED) munmap(p, length);
    for (uint64_t hint = 0x10000000; hint + length < 0x7FFF0000; hint += 0x1000000) {
        p = mmap(reinterpret_cast<void*>(hint), length, PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
        if (p == MAP_FAILED) continue;
        if (reinterpret_cast<uint64_t>(p) + length <= kFourGiB) return p;
        munmap(p, length);
    }
    return nullptr;
}

struct Zone {
    std::mutex lock;
    std::array<std::vector<BlockHeader*>, kClassCount> freeLists;
    char* arenaNext = nullptr;
    char* arenaEnd = nullptr;
    LowZoneStats stats{};
    size_t limit = SIZE_MAX;  // address space the zone may take from the system

    // Large blocks freed lately, kept whole for the next of the same length:
    // unmapping stops every thread of the process (the TLB shootdown), and a
    // recording frees and takes blocks of one length over and over.
    static constexpr size_t kLargestSpare = size_t(1) << 20;
    static constexpr size_t kSpareBytes = size_t(16) << 20;
    std::vector<std::pair<size_t, void*>> spares;  // length, mapping
    size_t spareBytes = 0;

    void* Map(size_t length)
    {
        for (size_t i = 0; i < spares.size(); ++i) {
            if (spares[i].first != length) continue;
            void* p = spares[i].second;
            spares[i] = spares.back();
            spares.pop_back();
            spareBytes -= length;
            return p;
        }
        if (length > limit || stats.mappedBytes > limit - length) {
            ReleaseSpares();
            if (length > limit || stats.mappedBytes > limit - length) return nullptr;
        }
        void* p = MapLow(length);
        if (p) stats.mappedBytes += length;
        return p;
    }

    void Unmap(void* p, size_t length)
    {
        if (length <= kLargestSpare && spareBytes + length <= kSpareBytes) {
            spares.emplace_back(length, p);
            spareBytes += length;
            return;
        }
        munmap(p, length);
        stats.mappedBytes -= length;
    }

    void ReleaseSpares()
    {
        for (auto [length, p] : spares) {
            munmap(p, length);
            stats.mappedBytes -= length;
        }
        spares.clear();
        spareBytes = 0;
    }

    BlockHeader* Allocate(size_t byteCount)
    {
        size_t total = byteCount + sizeof(BlockHeader);
        if (total > (size_t(1) << kLargestClassShift)) return AllocateLarge(byteCount);
        int cls = 0;
        while ((size_t(1) << (cls + kSmallestClassShift)) < total) ++cls;
        size_t classBytes = size_t(1) << (cls + kSmallestClassShift);
        BlockHeader* block;
        if (!freeLists[cls].empty()) {
            block = freeLists[cls].back();
            freeLists[cls].pop_back();
        } else {
            if (size_t(arenaEnd - arenaNext) < classBytes) {
                auto* arena = static_cast<char*>(Map(kArenaBytes));
                if (!arena) return nullptr;
                arenaNext = arena;
                arenaEnd = arena + kArenaBytes;
            }
            block = reinterpret_cast<BlockHeader*>(arenaNext);
            arenaNext += classBytes;
        }
        *block = BlockHeader{kLiveMagic, uint8_t(cls),        0,
                             0,          uint32_t(byteCount), uint32_t(classBytes - sizeof(BlockHeader))};
        Count(byteCount, +1);
        return block;
    }

    BlockHeader* AllocateLarge(size_t byteCount)
    {
        size_t length = (byteCount + sizeof(BlockHeader) + 4095) & ~size_t(4095);
        if (length >= kFourGiB) return nullptr;
        auto* block = static_cast<BlockHeader*>(Map(length));
        if (!block) return nullptr;
        *block =
            BlockHeader{kLiveMagic, kLargeClass, 0, 0, uint32_t(byteCount), uint32_t(length - sizeof(BlockHeader))};
        Count(byteCount, +1);
        return block;
    }

    void Free(BlockHeader* block)
    {
        Count(block->size, -1);
        block->magic = kFreedMagic;
        if (block->sizeClass == kLargeClass) {
            Unmap(block, block->capacity + sizeof(BlockHeader));
        } else {
            freeLists[block->sizeClass].push_back(block);
        }
    }

    void Count(size_t bytes, int direction)
    {
        if (direction > 0) {
            ++stats.liveBlocks;
            stats.liveBytes += bytes;
            stats.peakLiveBytes = std::max(stats.peakLiveBytes, stats.liveBytes);
        } else {
            --stats.liveBlocks;
            stats.liveBytes -= bytes;
        }
    }
};

Zone& TheZone()
{
    static Zone* zone = new Zone;  // never destroyed: blocks may be freed during exit
    return *zone;
}

thread_local OSErr gMemError = noErr;

BlockHeader* HeaderOf(const void* data)
{
    auto* header = reinterpret_cast<BlockHeader*>(const_cast<char*>(static_cast<const char*>(data))) - 1;
    if (header->magic == kFreedMagic) ZoneFault("block used after it was disposed", data);
    if (header->magic != kLiveMagic) ZoneFault("not a block of the low zone, or its header was overwritten", data);
    return header;
}

void* DataOf(BlockHeader* header) { return header + 1; }

void* AllocateData(Size byteCount, uint8_t flags, bool clear)
{
    if (byteCount < 0) {
        gMemError = paramErr;
        return nullptr;
    }
    BlockHeader* header;
    {
        Zone& zone = TheZone();
        std::lock_guard guard(zone.lock);
        header = zone.Allocate(size_t(byteCount));
    }
    if (!header) {
        gMemError = memFullErr;
        return nullptr;
    }
    header->flags = flags;
    std::memset(DataOf(header), clear ? 0 : kUnsetMemoryByte, size_t(byteCount));
    gMemError = noErr;
    return DataOf(header);
}

void FreeData(void* data)
{
    BlockHeader* header = HeaderOf(data);
    Zone& zone = TheZone();
    std::lock_guard guard(zone.lock);
    zone.Free(header);
}

BlockHeader* HandleDataHeader(Handle h)
{
    HeaderOf(h);  // the master pointer is a block of its own
    return HeaderOf(*h);
}

Handle MakeHandle(Size byteCount, bool clear)
{
    void* data = AllocateData(byteCount, kHandleData, clear);
    if (!data) return nullptr;
    auto* master = static_cast<char**>(AllocateData(sizeof(char*), kMasterPointer, true));
    if (!master) {
        FreeData(data);
        gMemError = memFullErr;
        return nullptr;
    }
    *master = static_cast<char*>(data);
    return master;
}

}  // namespace

Handle NewHandle(Size byteCount) { return MakeHandle(byteCount, false); }
Handle NewHandleClear(Size byteCount) { return MakeHandle(byteCount, true); }

void DisposeHandle(Handle h)
{
    if (!h) {
        gMemError = nilHandleErr;
        return;
    }
    if (!(HeaderOf(h)->flags & kMasterPointer)) ZoneFault("DisposeHandle of a pointer that is no handle", h);
    FreeData(*h);
    FreeData(h);
    gMemError = noErr;
}

void HLock(Handle h)
{
    if (h) HandleDataHeader(h)->flags |= kLocked;
}

void HUnlock(Handle h)
{
    if (h) HandleDataHeader(h)->flags &= uint8_t(~kLocked);
}

Boolean HIsLocked(Handle h) { return h && (HandleDataHeader(h)->flags & kLocked) ? 1 : 0; }

Size GetHandleSize(Handle h)
{
    if (!h) {
        gMemError = nilHandleErr;
        return 0;
    }
    gMemError = noErr;
    return Size(HandleDataHeader(h)->size);
}

void SetHandleSize(Handle h, Size newSize)
{
    if (!h || newSize < 0) {
        gMemError = h ? paramErr : nilHandleErr;
        return;
    }
    BlockHeader* header = HandleDataHeader(h);
    if (uint32_t(newSize) <= header->capacity) {
        std::lock_guard guard(TheZone().lock);
        LowZoneStats& stats = TheZone().stats;
        stats.liveBytes += size_t(newSize);
        stats.liveBytes -= header->size;
        stats.peakLiveBytes = std::max(stats.peakLiveBytes, stats.liveBytes);
        header->size = uint32_t(newSize);
        gMemError = noErr;
        return;
    }
    if (header->flags & kLocked) {
        gMemError = memFullErr;
        return;
    }
    // Grow geometrically so that repeated appends stay cheap.
    Size capacity = Size(std::min<int64_t>(int64_t(newSize) + newSize / 2, INT32_MAX));
    void* moved = AllocateData(capacity, header->flags, false);
    if (!moved) return;
    std::memcpy(moved, *h, header->size);
    BlockHeader* movedHeader = HeaderOf(moved);
    {
        std::lock_guard guard(TheZone().lock);
        TheZone().stats.liveBytes -= size_t(capacity) - size_t(newSize);
    }
    movedHeader->size = uint32_t(newSize);
    FreeData(*h);
    *h = static_cast<char*>(moved);
    gMemError = noErr;
}

Ptr NewPtr(Size byteCount) { return static_cast<Ptr>(AllocateData(byteCount, 0, false)); }
Ptr NewPtrClear(Size byteCount) { return static_cast<Ptr>(AllocateData(byteCount, 0, true)); }

void DisposePtr(Ptr p)
{
    if (!p) return;
    if (HeaderOf(p)->flags & (kHandleData | kMasterPointer)) ZoneFault("DisposePtr of a handle's block", p);
    FreeData(p);
    gMemError = noErr;
}

Size GetPtrSize(Ptr p) { return p ? Size(HeaderOf(p)->size) : 0; }

OSErr MemError() { return gMemError; }

LowZoneStats GetLowZoneStats()
{
    Zone& zone = TheZone();
    std::lock_guard guard(zone.lock);
    return zone.stats;
}

void SetLowZoneLimit(size_t bytes)
{
    Zone& zone = TheZone();
    std::lock_guard guard(zone.lock);
    zone.limit = bytes;
}

void ResetLowZonePeak()
{
    Zone& zone = TheZone();
    std::lock_guard guard(zone.lock);
    zone.stats.peakLiveBytes = zone.stats.liveBytes;
}

void* LowZoneAllocate(size_t byteCount)
{
    if (byteCount > size_t(INT32_MAX)) throw std::bad_alloc();
    void* p = AllocateData(Size(byteCount), 0, false);
    if (!p) throw std::bad_alloc();
    return p;
}

void LowZoneFree(void* block)
{
    if (block) FreeData(block);
}

uint32_t LowAddress(const void* p)
{
    auto value = reinterpret_cast<uint64_t>(p);
    if (value >= kFourGiB) ZoneFault("address does not fit the 32-bit host ABI", p);
    return uint32_t(value);
}
