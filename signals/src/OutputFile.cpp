#include "signals/OutputFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "signals/InputFile.h"
#include "signals/InputText.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kTemporaryTag = ".xyrecorder-";
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// ---- What an interrupt removes ----
//
// Paths live in fixed slots, so that the signal handler reads them without
// allocating; they change only while the cleanup signals are blocked.

enum class Leftover : int { file, folderOfFiles, emptyFolder };

struct CleanupSlot {
    volatile sig_atomic_t used;
    unsigned long order;  // later entries go first: files before their folder
    Leftover kind;
    char path[PATH_MAX];
};

CleanupSlot gCleanup[32];
unsigned long gCleanupOrder = 0;

class CleanupSignalsBlocked {
public:
    CleanupSignalsBlocked()
    {
        sigset_t block;
        sigemptyset(&block);
        for (int signal : kCleanupSignals) sigaddset(&block, signal);
        pthread_sigmask(SIG_BLOCK, &block, &saved_);
    }
    ~CleanupSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

private:
    sigset_t saved_;
};

// Removes the regular files in a folder, then the folder; async-signal-safe.
void RemoveFolderOfFiles(const char* path)
{
    int folder = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        alignas(8) char entries[4096];
        for (bool removed = true; removed;) {  // unlinking while listing may skip entries: list again
            removed = false;
            ::lseek(folder, 0, SEEK_SET);
            long got;
            while ((got = ::syscall(SYS_getdents64, folder, entries, sizeof entries)) > 0) {
                for (long at = 0; at < got;) {
                    auto* entry = reinterpret_cast<struct dirent64*>(entries + at);
                    at += entry->d_reclen;
                    if (entry->d_type != DT_DIR && ::unlinkat(folder, entry->d_name, 0) == 0) removed = true;
                }
            }
        }
        ::close(folder);
    }
    ::rmdir(path);
}

void RemoveLeftover(Leftover kind, const char* path)
{
    if (kind == Leftover::file)
        ::unlink(path);
    else if (kind == Leftover::folderOfFiles)
        RemoveFolderOfFiles(path);
    else
        ::rmdir(path);
}

void RemoveEverythingRegistered()
{
    for (;;) {
        CleanupSlot* latest = nullptr;
        for (CleanupSlot& slot : gCleanup)
            if (slot.used && (!latest || slot.order > latest->order)) latest = &slot;
        if (!latest) return;
        RemoveLeftover(latest->kind, latest->path);
        latest->used = 0;
    }
}

// FinishOnInterrupt: armed while a run can finish on its own.
volatile sig_atomic_t gFinishArmed = 0;
volatile sig_atomic_t gFinishRequested = 0;

void OnCleanupSignal(int signal)
{
    if (gFinishArmed && !gFinishRequested) {
        gFinishRequested = 1;
        return;
    }
    RemoveEverythingRegistered();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(signal, &fallback, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    ::raise(signal);
}

}  // namespace

// A registration in the cleanup slots for as long as it lives.
class TemporaryCleanup {
public:
    TemporaryCleanup(Leftover kind, const fs::path& path)
    {
        const std::string& text = path.native();
        if (text.size() >= PATH_MAX) throw OutputError("the path " + EscapeInput(text) + " is too long");
        CleanupSignalsBlocked blocked;
        for (CleanupSlot& slot : gCleanup) {
            if (slot.used) continue;
            std::memcpy(slot.path, text.c_str(), text.size() + 1);
            slot.kind = kind;
            slot.order = ++gCleanupOrder;
            slot.used = 1;
            slot_ = &slot;
            return;
        }
        throw OutputError("too many files are being written at once");
    }
    ~TemporaryCleanup() { Release(); }
    TemporaryCleanup(const TemporaryCleanup&) = delete;
    TemporaryCleanup& operator=(const TemporaryCleanup&) = delete;

    // What it names is gone or kept: an interrupt leaves it alone.
    void Release()
    {
        if (!slot_) return;
        CleanupSignalsBlocked blocked;
        slot_->used = 0;
        slot_ = nullptr;
    }

private:
    CleanupSlot* slot_ = nullptr;
};

namespace {

// ---- Temporaries ----

unsigned gTemporaryCount = 0;  // names differ within the process

fs::path TemporaryBeside(const fs::path& file)
{
    fs::path name = file.filename();
    name += kTemporaryTag + std::to_string(::getpid()) + "-" + std::to_string(++gTemporaryCount) + ".tmp";
    return file.parent_path() / name;
}

// The PID in a name TemporaryBeside made; 0 for any other name.
pid_t WriterOf(const std::string& name)
{
    size_t tag = name.rfind(kTemporaryTag);
    if (tag == std::string::npos || name.size() < 4 || name.compare(name.size() - 4, 4, ".tmp") != 0) return 0;
    size_t digits = tag + std::strlen(kTemporaryTag), dash = name.find('-', digits);
    if (dash == std::string::npos || dash == digits || dash + 1 >= name.size() - 4) return 0;
    long pid = 0;
    for (size_t i = digits; i < name.size() - 4; ++i) {
        if (i == dash) continue;
        if (name[i] < '0' || name[i] > '9' || pid > INT_MAX / 10) return 0;
        if (i < dash) pid = pid * 10 + (name[i] - '0');
    }
    return pid_t(pid);
}

bool IsRunning(pid_t pid) { return pid == ::getpid() || ::kill(pid, 0) == 0 || errno == EPERM; }

// Temporaries in folder whose writer has ended: a run killed outright left
// them. Looked at once per folder and process.
void RemoveStaleTemporaries(const fs::path& folder)
{
    static std::set<std::string> looked;
    std::string key = folder.empty() ? std::string(".") : folder.string();
    if (!looked.insert(key).second) return;
    DIR* listing = ::opendir(key.c_str());
    if (!listing) return;
    std::vector<std::string> stale;
    while (dirent* entry = ::readdir(listing)) {
        pid_t writer = WriterOf(entry->d_name);
        if (writer > 0 && !IsRunning(writer)) stale.push_back(entry->d_name);
    }
    ::closedir(listing);
    for (const std::string& name : stale) {
        fs::path path = fs::path(key) / name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) continue;
        if (S_ISREG(info.st_mode))
            ::unlink(path.c_str());
        else if (S_ISDIR(info.st_mode))
            RemoveFolderOfFiles(path.c_str());
    }
}

// ---- Where an output goes ----

// Follows a chain of links to the path at its end, which need not exist.
fs::path FollowLinks(fs::path path)
{
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::error_code ec;
        fs::path target = fs::read_symlink(path, ec);
        if (ec) return path;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    throw OutputError("too many levels of links");
}

fs::path FolderOf(const fs::path& file) { return file.has_parent_path() ? file.parent_path() : fs::path("."); }

void RequireWritableFolder(const fs::path& folder)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        throw OutputError("the folder " + EscapeInput(folder.string()) + " does not exist");
    if (::access(folder.c_str(), W_OK) != 0)
        throw OutputError("the folder " + EscapeInput(folder.string()) + " is not writable");
}

std::string ErrorText(int error) { return std::strerror(error); }

// SIGPIPE stays pending instead of ending the process while a stream is
// written; the write then fails with EPIPE, which is reported.
class BrokenPipeHeld {
public:
    BrokenPipeHeld()
    {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &saved_);
    }
    ~BrokenPipeHeld()
    {
        sigset_t pending;
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE)) {
            timespec none{0, 0};
            sigtimedwait(&pipe_, nullptr, &none);
        }
        pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    }

private:
    sigset_t pipe_, saved_;
};

void CopyAll(int from, int to)
{
    char buffer[65536];
    ::lseek(from, 0, SEEK_SET);
    for (;;) {
        ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw OutputError(ErrorText(errno));
        if (got == 0) return;
        for (ssize_t sent = 0; sent < got;) {
            ssize_t put = ::write(to, buffer + sent, size_t(got - sent));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0)
                throw OutputError(errno == EPIPE ? "the program reading it stopped before the end" : ErrorText(errno));
            sent += put;
        }
    }
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

// The output made whole in a memory file, so that nothing is sent when making it fails.
int MadeInMemory(const std::function<void(const fs::path&)>& write)
{
    int memory = ::memfd_create("xyrecorder-output", MFD_CLOEXEC);
    if (memory < 0) throw OutputError("no memory file to make it in: " + ErrorText(errno));
    try {
        write("/proc/self/fd/" + std::to_string(memory));
    } catch (...) {
        ::close(memory);
        throw;
    }
    return memory;
}

void WriteStream(const fs::path& stream, const std::function<void(const fs::path&)>& write)
{
    Descriptor memory(MadeInMemory(write));
    // Without O_NONBLOCK, opening a FIFO that nobody reads waits for a reader forever.
    Descriptor out(::open(stream.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (out.Get() < 0)
        throw OutputError(errno == ENXIO ? "no program is reading the FIFO (named pipe)" : ErrorText(errno));
    struct stat info {};
    if (::fstat(out.Get(), &info) != 0 || !(S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)))
        throw OutputError("changed while the run went on; nothing was written");
    ::fcntl(out.Get(), F_SETFL, ::fcntl(out.Get(), F_GETFL) & ~O_NONBLOCK);
    BrokenPipeHeld held;
    CopyAll(memory.Get(), out.Get());
}

void WriteStandardOutput(const std::function<void(const fs::path&)>& write)
{
    Descriptor memory(MadeInMemory(write));
    BrokenPipeHeld held;
    CopyAll(memory.Get(), STDOUT_FILENO);
}

void RequireStandardOutput()
{
    struct stat info {};
    if (::fstat(STDOUT_FILENO, &info) != 0) throw OutputError("standard output is closed");
    if (::isatty(STDOUT_FILENO))
        throw OutputError("standard output is a terminal, which can't show a picture; redirect it to a file "
                          "(> picture.png) or a program (| display)");
}

}  // namespace

OutputTarget ResolveOutput(const fs::path& path)
{
    if (path == kStandardOutput) {
        RequireStandardOutput();
        return {OutputTarget::Kind::standardOutput, path};
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) throw OutputError(ErrorText(errno));
        // Nothing there, or a link to nothing: the file is made where the link points.
        fs::path file = FollowLinks(path);
        RequireWritableFolder(FolderOf(file));
        return {OutputTarget::Kind::replace, file};
    }
    if (S_ISDIR(info.st_mode)) throw OutputError("is a folder, not a file name");
    if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) return {OutputTarget::Kind::stream, path};
    if (!S_ISREG(info.st_mode))
        throw OutputError("is " + FileKindName(info.st_mode) +
                          "; output goes to a regular file, a FIFO or a character device");
    std::error_code ec;
    fs::path file = fs::canonical(path, ec);
    if (ec) throw OutputError("can't tell where it lies: " + ec.message());
    RequireWritableFolder(FolderOf(file));
    return {OutputTarget::Kind::replace, file};
}

void WriteOutput(const fs::path& path, const std::function<void(const fs::path&)>& write)
{
    OutputTarget target = ResolveOutput(path);
    if (target.kind == OutputTarget::Kind::standardOutput) return WriteStandardOutput(write);
    if (target.kind == OutputTarget::Kind::stream) return WriteStream(target.file, write);

    RemoveStaleTemporaries(FolderOf(target.file));
    // The temporary gets the mode any new file gets (0666 less the umask), as
    // the file would if written in place; mkstemp would make it private.
    // Registered before it exists, so that no interrupt can leave it behind.
    fs::path temporary;
    std::unique_ptr<TemporaryCleanup> cleanup;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = TemporaryBeside(target.file);
        cleanup = std::make_unique<TemporaryCleanup>(Leftover::file, temporary);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        int error = errno;
        cleanup->Release();  // what failed to be made is not ours to remove
        throw OutputError("can't create a file there: " + ErrorText(error));
    }
    ::close(fd);
    try {
        write(temporary);
        // On disk before it takes the old file's place: a crash leaves one or the other.
        Descriptor written(::open(temporary.c_str(), O_RDONLY | O_CLOEXEC));
        if (written.Get() < 0 || ::fsync(written.Get()) != 0) throw OutputError(ErrorText(errno));
        if (::rename(temporary.c_str(), target.file.c_str()) != 0)
            throw OutputError("can't put the file in place: " + ErrorText(errno));
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
}

// ---- Output folders ----

void CheckOutputFolder(const fs::path& target, const std::string& what,
                       const std::function<bool(const std::string&)>& replaceable)
{
    fs::path folder = FollowLinks(fs::absolute(target));
    std::error_code ec;
    fs::file_status status = fs::status(folder, ec);
    if (fs::exists(status)) {
        if (!fs::is_directory(status)) throw OutputError(EscapeInput(folder.string()) + " is not a folder");
        for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
            std::string name = entry.path().filename().string();
            if (!entry.is_regular_file(ec) || !replaceable(name))
                throw OutputError("the folder holds other files than " + what + " (" + QuoteInput(name) +
                                  "); give a new folder, an empty one, or one that holds only " + what);
        }
        if (ec) throw OutputError("the folder can't be read: " + ec.message());
        RequireWritableFolder(folder.parent_path());
        return;
    }
    // The nearest folder above that exists takes the new folders.
    fs::path existing = folder;
    while (!fs::exists(existing, ec) && existing.has_parent_path() && existing != existing.parent_path())
        existing = existing.parent_path();
    if (!fs::is_directory(existing, ec)) throw OutputError(EscapeInput(existing.string()) + " is not a folder");
    if (::access(existing.c_str(), W_OK) != 0)
        throw OutputError("the folder " + EscapeInput(existing.string()) + " is not writable");
}

OutputFolder::OutputFolder(const fs::path& target, const std::string& what,
                           std::function<bool(const std::string&)> replaceable)
    : replaceable_(std::move(replaceable))
{
    CheckOutputFolder(target, what, replaceable_);
    target_ = FollowLinks(fs::absolute(target));
    std::vector<fs::path> missing;
    for (fs::path above = target_.parent_path(); !fs::exists(above); above = above.parent_path())
        missing.insert(missing.begin(), above);
    try {
        for (const fs::path& folder : missing) {
            cleanups_.push_back(std::make_unique<TemporaryCleanup>(Leftover::emptyFolder, folder));
            if (::mkdir(folder.c_str(), 0777) != 0)
                throw OutputError("can't make the folder " + EscapeInput(folder.string()) + ": " + ErrorText(errno));
            made_.push_back(folder);
        }
        RemoveStaleTemporaries(target_.parent_path());
        fresh_ = TemporaryBeside(target_);
        cleanups_.push_back(std::make_unique<TemporaryCleanup>(Leftover::folderOfFiles, fresh_));
        if (::mkdir(fresh_.c_str(), 0777) != 0) throw OutputError("can't make a folder beside it: " + ErrorText(errno));
    } catch (...) {
        RemoveUncommitted();
        throw;
    }
}

OutputFolder::~OutputFolder() { RemoveUncommitted(); }

void OutputFolder::RemoveUncommitted()
{
    if (!committed_) {
        if (!fresh_.empty()) RemoveFolderOfFiles(fresh_.c_str());
        for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder) ::rmdir(folder->c_str());
    }
    cleanups_.clear();
}

void OutputFolder::Commit()
{
    CleanupSignalsBlocked blocked;  // all of it, or none of it
    struct stat earlier {};
    if (::lstat(target_.c_str(), &earlier) != 0) {
        if (::rename(fresh_.c_str(), target_.c_str()) != 0)
            throw OutputError("can't put the folder in place: " + ErrorText(errno));
    } else {
        if (!S_ISDIR(earlier.st_mode)) throw OutputError("is no longer a folder; nothing was replaced");
        // Only what was checked at the start goes with it: anything that
        // appeared there since keeps the earlier folder in place.
        std::error_code ec;
        for (const fs::directory_entry& entry : fs::directory_iterator(target_, ec))
            if (!entry.is_regular_file(ec) || !replaceable_(entry.path().filename().string()))
                throw OutputError("the folder now holds " + QuoteInput(entry.path().filename().string()) +
                                  ", which appeared during the run; nothing was replaced");
        ::chmod(fresh_.c_str(), earlier.st_mode & 07777);
        fs::path old = fresh_;
        if (::renameat2(AT_FDCWD, fresh_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) != 0) {
            if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
                throw OutputError("can't put the folder in place: " + ErrorText(errno));
            // A file system that can't swap two names: one after the other.
            old = TemporaryBeside(target_);
            if (::rename(target_.c_str(), old.c_str()) != 0)
                throw OutputError("can't put the folder in place: " + ErrorText(errno));
            if (::rename(fresh_.c_str(), target_.c_str()) != 0) {
                int error = errno;
                ::rename(old.c_str(), target_.c_str());
                throw OutputError("can't put the folder in place: " + ErrorText(error));
            }
        }
        // The earlier run's files, now under the temporary name, go.
        for (const fs::directory_entry& entry : fs::directory_iterator(old, ec))
            if (replaceable_(entry.path().filename().string())) fs::remove(entry.path(), ec);
        ::rmdir(old.c_str());
    }
    committed_ = true;
    cleanups_.clear();
}

void RemoveTemporariesOnInterrupt()
{
    for (int signal : kCleanupSignals) {
        struct sigaction now {};
        if (::sigaction(signal, nullptr, &now) == 0 && now.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = OnCleanupSignal;
        sigemptyset(&action.sa_mask);
        for (int other : kCleanupSignals) sigaddset(&action.sa_mask, other);
        ::sigaction(signal, &action, nullptr);
    }
}

FinishOnInterrupt::FinishOnInterrupt()
{
    gFinishRequested = 0;
    gFinishArmed = 1;
}

FinishOnInterrupt::~FinishOnInterrupt() { gFinishArmed = 0; }

bool FinishOnInterrupt::Requested() { return gFinishRequested != 0; }
