// Where the recording keeps the samples it recorded once their block is
// complete: in memory while they are few, then in a temporary file of its own
// (in TMPDIR, else /tmp) that has no name, so that it goes away with the
// program however the program ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

#include "signals/StoredSignals.h"

// The spool could not take samples: the disk is full, the folder can't be written.
struct SpoolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One channel of floats, appended run by run; a run is read back by where it starts.
class SampleSpool : public SampleStore {
public:
    static constexpr size_t kDefaultMemoryBytes = size_t(16) << 20;

    // folder empty: TMPDIR, else /tmp.
    explicit SampleSpool(size_t memoryBytes = kDefaultMemoryBytes, std::filesystem::path folder = {});
    ~SampleSpool() override;
    SampleSpool(const SampleSpool&) = delete;
    SampleSpool& operator=(const SampleSpool&) = delete;

    // Appends count floats; where they start. Throws SpoolError and then holds what it held before.
    int64_t Write(const float* samples, size_t count);
    bool OnDisk() const { return descriptor_ >= 0; }
    const std::filesystem::path& Folder() const { return folder_; }

    size_t ChannelCount() const override { return 1; }
    int64_t FrameCount() const override { return size_; }
    void Read(size_t channel, int64_t first, size_t count, float* out) const override;

private:
    static constexpr size_t kChunkFloats = size_t(1) << 20;
    void MoveToDisk();
    void WriteToDisk(const float* samples, size_t count, int64_t at);

    size_t memoryBytes_;
    std::filesystem::path folder_;
    std::vector<std::unique_ptr<float[]>> chunks_;  // while in memory
    int descriptor_ = -1;
    int64_t size_ = 0;
};
