// The recording's own store of recorded samples: chunks in memory, then an
// unnamed temporary file written and read at offsets.
#include "SampleSpool.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "signals/InputText.h"

namespace fs = std::filesystem;

namespace {

fs::path TemporaryFolder()
{
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? fs::path(folder) : fs::path("/tmp");
}

std::string Gibibytes(int64_t floats)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f GiB", double(floats) * sizeof(float) / double(1 << 30));
    return text;
}

}  // namespace

SampleSpool::SampleSpool(size_t memoryBytes, fs::path folder)
    : memoryBytes_(memoryBytes), folder_(folder.empty() ? TemporaryFolder() : std::move(folder))
{}

SampleSpool::~SampleSpool()
{
    if (descriptor_ >= 0) ::close(descriptor_);
}

int64_t SampleSpool::Write(const float* samples, size_t count)
{
    int64_t at = size_;
    if (descriptor_ < 0 && uint64_t(size_ + int64_t(count)) * sizeof(float) > memoryBytes_) MoveToDisk();
    if (descriptor_ >= 0) {
        WriteToDisk(samples, count, at);
    } else {
        for (size_t done = 0; done < count;) {
            auto position = size_t(size_) + done;
            if (position / kChunkFloats >= chunks_.size()) chunks_.push_back(std::make_unique<float[]>(kChunkFloats));
            size_t n = std::min(count - done, kChunkFloats - position % kChunkFloats);
            std::copy_n(samples + done, n, chunks_[position / kChunkFloats].get() + position % kChunkFloats);
            done += n;
        }
    }
    size_ += int64_t(count);
    return at;
}

void SampleSpool::MoveToDisk()
{
    int descriptor = ::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without unnamed files: a named one, unlinked at once.
        std::string name = (folder_ / "xyrecorder-spool-XXXXXX").string();
        descriptor = ::mkostemp(name.data(), O_CLOEXEC);
        if (descriptor >= 0) ::unlink(name.c_str());
    }
    if (descriptor < 0)
        throw SpoolError("the recording needs a temporary file in " + EscapeInput(folder_.string()) +
                         " (TMPDIR) for its samples, and it can't be made there: " + std::strerror(errno));
    descriptor_ = descriptor;
    try {
        for (size_t c = 0; c < chunks_.size(); ++c) {
            int64_t at = int64_t(c * kChunkFloats);
            WriteToDisk(chunks_[c].get(), size_t(std::min<int64_t>(int64_t(kChunkFloats), size_ - at)), at);
        }
    } catch (...) {
        ::close(descriptor_);
        descriptor_ = -1;
        throw;
    }
    chunks_.clear();
}

void SampleSpool::WriteToDisk(const float* samples, size_t count, int64_t at)
{
    const char* bytes = reinterpret_cast<const char*>(samples);
    size_t total = count * sizeof(float), done = 0;
    while (done < total) {
        ssize_t wrote = ::pwrite(descriptor_, bytes + done, total - done, off_t(uint64_t(at) * sizeof(float) + done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            int error = wrote < 0 ? errno : ENOSPC;
            throw SpoolError("the recording's temporary file in " + EscapeInput(folder_.string()) +
                             " (TMPDIR) can't take more samples after " + Gibibytes(size_) + ": " +
                             std::strerror(error));
        }
        done += size_t(wrote);
    }
}

void SampleSpool::Read(size_t channel, int64_t first, size_t count, float* out) const
{
    if (channel != 0 || first < 0 || first > size_ || int64_t(count) > size_ - first)
        throw std::out_of_range("read outside the recording's spool");
    if (descriptor_ < 0) {
        for (size_t done = 0; done < count;) {
            auto position = size_t(first) + done;
            size_t n = std::min(count - done, kChunkFloats - position % kChunkFloats);
            std::copy_n(chunks_[position / kChunkFloats].get() + position % kChunkFloats, n, out + done);
            done += n;
        }
        return;
    }
    char* bytes = reinterpret_cast<char*>(out);
    size_t total = count * sizeof(float), done = 0;
    while (done < total) {
        ssize_t got = ::pread(descriptor_, bytes + done, total - done, off_t(uint64_t(first) * sizeof(float) + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0)
            throw SignalFileError("the recording's temporary file in " + EscapeInput(folder_.string()) +
                                  " can't be read: " + (got < 0 ? std::strerror(errno) : "it ends early"));
        done += size_t(got);
    }
}
