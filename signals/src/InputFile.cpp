#include "signals/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::string FileKindName(mode_t mode)
{
    return S_ISREG(mode)    ? "a regular file"
           : S_ISDIR(mode)  ? "a directory"
           : S_ISFIFO(mode) ? "a FIFO (named pipe)"
           : S_ISCHR(mode)  ? "a character device"
           : S_ISBLK(mode)  ? "a block device"
           : S_ISSOCK(mode) ? "a socket"
           : S_ISLNK(mode)  ? "a symbolic link"
                            : "a file of an unknown kind";
}

std::string NotARegularFile(mode_t mode, const std::string& kind)
{
    return "is " + FileKindName(mode) + ", not " + kind;
}

std::optional<std::string> InputProblem(const std::filesystem::path& path, const std::string& kind)
{
    // stat looks at the node without opening it: opening a FIFO waits for a
    // writer, and opening some devices acts on them.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? std::string("no such file") : std::string("cannot be read: ") + std::strerror(errno);
    if (!S_ISREG(info.st_mode))
        return NotARegularFile(info.st_mode, kind);
    if (::access(path.c_str(), R_OK) != 0)
        return std::string("cannot be read (permission denied)");
    return std::nullopt;
}

InputFile::InputFile(const std::filesystem::path& path, const std::string& kind)
{
    if (auto problem = InputProblem(path, kind)) {
        problem_ = *problem;
        return;
    }
    descriptor_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat info {};
    if (descriptor_ < 0 || ::fstat(descriptor_, &info) != 0) {
        problem_ = std::string("cannot be read: ") + std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        problem_ = NotARegularFile(info.st_mode, kind);
    } else {
        size_ = uint64_t(info.st_size);
        return;
    }
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
}

InputFile::~InputFile()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

size_t InputFile::ReadAt(void* buffer, size_t size, uint64_t offset) const
{
    size_t done = 0;
    while (done < size) {
        ssize_t got = ::pread(descriptor_, static_cast<char*>(buffer) + done, size - done, off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += size_t(got);
    }
    return done;
}

bool InputFile::ReadAll(std::string& text) const
{
    text.resize(size_t(size_));
    return ReadAt(text.data(), text.size(), 0) == text.size();
}

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}
