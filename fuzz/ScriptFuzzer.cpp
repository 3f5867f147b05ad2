// The session-script parser over any text: every line split into words and
// checked as `xyrecorder script` does before it runs anything.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckScript(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
