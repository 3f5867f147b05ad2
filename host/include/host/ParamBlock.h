// A parameter block as a host hands it to Main1: a cleared byte record in the
// low zone (it carries 32-bit addresses), big enough for every message (the
// largest, message 14, reaches byte 34).
#pragma once

#include <cstring>
#include <new>

#include "host/HostServices.h"
#include "toolbox/Memory.h"

class ParamBlock {
public:
    static constexpr int kBytes = 64;

    ParamBlock() : bytes_(reinterpret_cast<uint8_t*>(NewPtrClear(kBytes)))
    {
        if (!bytes_) throw std::bad_alloc();
    }
    ~ParamBlock() { DisposePtr(reinterpret_cast<Ptr>(bytes_)); }
    ParamBlock(const ParamBlock&) = delete;
    ParamBlock& operator=(const ParamBlock&) = delete;

    uint8_t* Bytes() const { return bytes_; }
    void Clear() { std::memset(bytes_, 0, kBytes); }

    template <class T>
    ParamBlock& Set(int offset, T value)
    {
        SetBlockField(bytes_, offset, value);
        return *this;
    }
    // A reference in a 32-bit field.
    ParamBlock& SetRef(int offset, const void* reference)
    {
        SetBlockField<uint32_t>(bytes_, offset, LowAddress(reference));
        return *this;
    }
    template <class T>
    T Get(int offset) const
    {
        return BlockField<T>(bytes_, offset);
    }

private:
    uint8_t* bytes_;
};
