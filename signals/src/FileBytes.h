// A recording file's bytes as the mapped readers see them: the file mapped
// read-only (or, for a fuzzer, bytes in memory), and copies out of them that
// survive the file being cut short while it is mapped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace signals_detail {

class FileBytes {
public:
    // The whole file mapped; throws SignalFileError naming it.
    static std::shared_ptr<const FileBytes> Map(const std::filesystem::path& path);
    // Bytes the caller keeps alive for as long as this object lives.
    static std::shared_ptr<const FileBytes> Borrow(std::string_view bytes, const std::string& name);
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    const unsigned char* Data() const { return data_; }
    uint64_t Size() const { return size_; }            // when it was opened
    const std::string& Name() const { return name_; }  // for messages

    // Bytes at offset, up to size of them; fewer at the end, none when the
    // file has been cut short there since it was mapped. Never throws, so
    // that libraries written in C may call it.
    size_t ReadAt(void* buffer, size_t size, uint64_t offset) const;

    // Runs convert(context), which reads this file's bytes. A fault because
    // the file has been cut short since it was mapped ends it early and
    // throws SignalFileError. convert must hold no objects with destructors:
    // it is left by a long jump.
    void Guarded(void (*convert)(void* context), void* context) const;

private:
    FileBytes() = default;
    const unsigned char* data_ = nullptr;
    uint64_t size_ = 0;
    bool mapped_ = false;
    std::string name_;
};

}  // namespace signals_detail
