#include "signals/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/mman.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

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
    if (!S_ISREG(info.st_mode)) return NotARegularFile(info.st_mode, kind);
    if (::access(path.c_str(), R_OK) != 0) return std::string("cannot be read (permission denied)");
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
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
}

InputFile::~InputFile()
{
    if (descriptor_ >= 0) ::close(descriptor_);
}

size_t InputFile::ReadAt(void* buffer, size_t size, uint64_t offset) const
{
    size_t done = 0;
    while (done < size) {
        ssize_t got = ::pread(descriptor_, static_cast<char*>(buffer) + done, size - done, off_t(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
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
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

std::optional<FileIdentity> IdentityOf(int descriptor)
{
    struct stat info {};
    if (::fstat(descriptor, &info) != 0) return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

std::filesystem::path StandardInputAsFile()
{
    static int copy = -1;
    if (copy >= 0) return "/proc/self/fd/" + std::to_string(copy);
    // Reading a terminal would wait for typing that no recording comes from.
    if (::isatty(STDIN_FILENO))
        throw std::runtime_error("standard input is a terminal; send a recording into it (< recording.csv or a pipe)");
    int memory = ::memfd_create("xyrecorder-input", MFD_CLOEXEC);
    if (memory < 0)
        throw std::runtime_error(std::string("standard input: no memory file to hold it: ") + std::strerror(errno));
    char buffer[1 << 16];
    while (true) {
        ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            int error = errno;
            ::close(memory);
            throw std::runtime_error(std::string("standard input cannot be read: ") + std::strerror(error));
        }
        if (got == 0) break;
        for (ssize_t done = 0; done < got;) {
            ssize_t put = ::write(memory, buffer + done, size_t(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) {
                int error = errno;
                ::close(memory);
                throw std::runtime_error(std::string("standard input: no room to hold it: ") + std::strerror(error));
            }
            done += put;
        }
    }
    copy = memory;
    return "/proc/self/fd/" + std::to_string(copy);
}
