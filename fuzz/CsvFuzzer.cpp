// The CSV reader over any bytes: read as they are, and again with an
// interval given, so that files without a time column get past the header.
#include <cstddef>
#include <cstdint>
#include <string>

#include "signals/Signals.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    CsvOptions withInterval;
    withInterval.sampleInterval = 0.001;
    for (const CsvOptions& options : {CsvOptions{}, withInterval}) {
        try {
            ReadCsvText(text, "fuzz.csv", options);
        } catch (const SignalFileError&) {
            // A clear refusal is a good answer to a bad file.
        }
    }
    return 0;
}
