// The sound-file reader (WAV and whatever else libsndfile recognises) over any
// bytes, through the same virtual I/O that reads files.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "signals/Signals.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        ReadWavBytes(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.wav");
    } catch (const SignalFileError&) {
        // A clear refusal is a good answer to a bad file.
    }
    return 0;
}
