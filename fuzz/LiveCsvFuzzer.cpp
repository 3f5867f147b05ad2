// Live CSV rows over any bytes, cut into pieces where the input says: the
// first byte picks an interval or none and whether pieces are datagrams,
// each later '\x01' ends a piece. What the parser tells must hold together
// whatever comes: channels once before any rows, every row of those
// channels, an end exactly once, last.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "signals/LiveCsv.h"

namespace {

struct CheckingSink : LiveSink {
    size_t channels = 0;
    bool begun = false, ended = false;

    static void Require(bool holds)
    {
        if (!holds) std::abort();
    }
    void Begin(const std::vector<ChannelSettings>& given, double sampleInterval) override
    {
        Require(!begun && !ended && !given.empty() && given.size() <= size_t(SampleSource::kMaxChannels));
        Require(sampleInterval > 0);
        begun = true;
        channels = given.size();
    }
    void Rows(std::span<const float* const> given, size_t frames, Clock::time_point) override
    {
        Require(begun && !ended && given.size() == channels && frames > 0);
    }
    void Note(const std::string& text) override { Require(!ended && !text.empty()); }
    void End(const std::string&) override
    {
        Require(!ended);
        ended = true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    LiveSourceOptions options;
    if (data[0] & 1) options.sampleInterval = 0.001;
    const bool datagrams = data[0] & 2;
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    CheckingSink sink;
    LiveCsvParser parser(sink, options);
    auto now = LiveCsvParser::Clock::now();
    while (!rest.empty()) {
        const size_t cut = std::min(rest.find('\x01'), rest.size());
        parser.Feed(rest.substr(0, cut), now, datagrams);
        rest.remove_prefix(std::min(cut + 1, rest.size()));
        now += std::chrono::milliseconds(30);  // the first rows' wait runs out on the way
        parser.Tick(now);
    }
    parser.Finish({}, now);
    CheckingSink::Require(sink.ended);
    return 0;
}
