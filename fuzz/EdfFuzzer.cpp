// The EDF/BDF reader over any bytes. edflib reads only paths, so the bytes go
// into a memory file that the reader opens by its /proc path: no disk, and
// the reader's own checks (a regular file, its header fields) run as usual.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "signals/Signals.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int memory = memfd_create("edf-fuzz", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(memory);
    if (memory < 0 || ftruncate(memory, 0) != 0 || pwrite(memory, data, size, 0) != ssize_t(size)) std::abort();
    try {
        ReadEdf(path);
    } catch (const SignalFileError&) {
        // A clear refusal is a good answer to a bad file.
    }
    return 0;
}
