// Recording files mapped read-only. A mapped file that another program
// truncates makes reads beyond its new end fault (SIGBUS); while a reader
// converts samples that fault is caught on its thread and becomes an error
// that names the file, instead of ending the program.
#include "FileBytes.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "SignalsInternal.h"
#include "signals/InputFile.h"

namespace signals_detail {

namespace {

thread_local sigjmp_buf* tFaultJump = nullptr;
struct sigaction gPreviousBusAction {};

void OnBusError(int signal, siginfo_t* info, void* context)
{
    if (tFaultJump) siglongjmp(*tFaultJump, 1);
    // Not a guarded read: whoever handled the fault before us does, or the default ends the program.
    sigaction(SIGBUS, &gPreviousBusAction, nullptr);
    if (gPreviousBusAction.sa_flags & SA_SIGINFO) {
        if (gPreviousBusAction.sa_sigaction) gPreviousBusAction.sa_sigaction(signal, info, context);
    } else if (gPreviousBusAction.sa_handler != SIG_DFL && gPreviousBusAction.sa_handler != SIG_IGN) {
        gPreviousBusAction.sa_handler(signal);
    }
    // Returning runs the faulting access again, now under the previous action.
}

void InstallFaultHandler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        // No mask to restore after the long jump: SIGBUS stays deliverable in the handler.
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &gPreviousBusAction);
    });
}

// The jump target lives in this frame, which holds nothing to destroy.
bool RunCatchingFaults(void (*convert)(void*), void* context)
{
    sigjmp_buf jump;
    sigjmp_buf* outer = tFaultJump;
    if (sigsetjmp(jump, 0) != 0) {
        tFaultJump = outer;
        return false;
    }
    tFaultJump = &jump;
    convert(context);
    tFaultJump = outer;
    return true;
}

}  // namespace

std::shared_ptr<const FileBytes> FileBytes::Map(const std::filesystem::path& path)
{
    InputFile file(path, kRecordingFile);
    if (!file) Fail(path, file.Problem());
    std::shared_ptr<FileBytes> bytes(new FileBytes);
    bytes->name_ = path.string();
    bytes->size_ = file.Size();
    if (bytes->size_ == 0) return bytes;
    if (bytes->size_ > uint64_t(SIZE_MAX)) Fail(path, "too large to map");
    void* at = mmap(nullptr, size_t(bytes->size_), PROT_READ, MAP_SHARED, file.Descriptor(), 0);
    if (at == MAP_FAILED) Fail(path, std::string("cannot be mapped: ") + std::strerror(errno));
    bytes->data_ = static_cast<const unsigned char*>(at);
    bytes->mapped_ = true;
    InstallFaultHandler();
    return bytes;
}

std::shared_ptr<const FileBytes> FileBytes::Borrow(std::string_view data, const std::string& name)
{
    std::shared_ptr<FileBytes> bytes(new FileBytes);
    bytes->data_ = reinterpret_cast<const unsigned char*>(data.data());
    bytes->size_ = data.size();
    bytes->name_ = name;
    return bytes;
}

FileBytes::~FileBytes()
{
    if (mapped_) munmap(const_cast<unsigned char*>(data_), size_t(size_));
}

namespace {

struct CopyJob {
    void* to;
    const unsigned char* from;
    size_t size;
};

}  // namespace

size_t FileBytes::ReadAt(void* buffer, size_t size, uint64_t offset) const
{
    if (offset >= size_) return 0;
    CopyJob job{buffer, data_ + offset, size_t(std::min<uint64_t>(size, size_ - offset))};
    auto copy = [](void* context) {
        auto* c = static_cast<CopyJob*>(context);
        std::memcpy(c->to, c->from, c->size);
    };
    if (!mapped_) {
        copy(&job);
        return job.size;
    }
    return RunCatchingFaults(copy, &job) ? job.size : 0;
}

void FileBytes::Guarded(void (*convert)(void* context), void* context) const
{
    if (!mapped_) {
        convert(context);
        return;
    }
    if (!RunCatchingFaults(convert, context))
        Fail(name_, "the file was cut short while it was being read (another program truncated it)");
}

}  // namespace signals_detail
