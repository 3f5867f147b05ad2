// Files the program reads: only regular files, checked before they are
// opened, so that a FIFO never blocks a run and a device never streams into
// it; and what identifies a file whatever its path, so that no output is
// written over an input.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// What a file of this mode is, for messages: "a FIFO (named pipe)", "a socket".
std::string FileKindName(mode_t mode);

// Why a file of this mode is no regular file, for a message: "is a FIFO
// (named pipe), not a recording file" where kind is "a recording file".
std::string NotARegularFile(mode_t mode, const std::string& kind);

// Why path can't be read as an input: "no such file", NotARegularFile, or
// "cannot be read (permission denied)"; nothing when it can.
std::optional<std::string> InputProblem(const std::filesystem::path& path, const std::string& kind);

// A regular file open for reading. Opening never blocks, and the file is
// checked again once open, so that nothing swapped in meanwhile is read.
class InputFile {
public:
    InputFile(const std::filesystem::path& path, const std::string& kind);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False when the file could not be opened; Problem() then says why.
    explicit operator bool() const { return descriptor_ >= 0; }
    const std::string& Problem() const { return problem_; }
    int Descriptor() const { return descriptor_; }
    uint64_t Size() const { return size_; }  // when it was opened

    // Up to size bytes at offset into buffer; fewer at the end, 0 on an error.
    size_t ReadAt(void* buffer, size_t size, uint64_t offset) const;
    // The whole file; false on a read error.
    bool ReadAll(std::string& text) const;

private:
    int descriptor_ = -1;
    uint64_t size_ = 0;
    std::string problem_;
};

// A file as the system knows it, whatever path leads there.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file path names, links followed; nothing when there is none.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);
