// Sound files through libsndfile. WAV has no channel names, so our writer
// keeps titles and units in the comment and our reader takes them back.
#include <sndfile.h>

#include <cmath>
#include <memory>

#include "SignalsInternal.h"
#include "signals/Signals.h"

namespace fs = std::filesystem;
using namespace signals_detail;

namespace {

constexpr const char* kChannelsTag = "channels: ";

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfilePtr = std::unique_ptr<SNDFILE, SndfileCloser>;

std::string DescribeChannels(const SignalSet& set)
{
    std::string text = kChannelsTag;
    for (size_t i = 0; i < set.channels.size(); ++i) {
        if (i > 0)
            text += " | ";
        text += set.channels[i].info.title + " (" + set.channels[i].info.units + ")";
    }
    return text;
}

// Titles and units from a comment DescribeChannels wrote; nothing otherwise.
bool ApplyChannelComment(const char* comment, SignalSet& set)
{
    if (!comment)
        return false;
    std::string text = comment;
    if (text.rfind(kChannelsTag, 0) != 0)
        return false;
    text.erase(0, std::string(kChannelsTag).size());
    std::vector<std::pair<std::string, std::string>> named;
    size_t start = 0;
    while (true) {
        size_t bar = text.find(" | ", start);
        std::string item = text.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        size_t open = item.rfind(" (");
        if (open == std::string::npos || item.empty() || item.back() != ')')
            return false;
        named.emplace_back(item.substr(0, open), item.substr(open + 2, item.size() - open - 3));
        if (bar == std::string::npos)
            break;
        start = bar + 3;
    }
    if (named.size() != set.channels.size())
        return false;
    for (size_t i = 0; i < named.size(); ++i) {
        set.channels[i].info.title = named[i].first;
        set.channels[i].info.units = named[i].second;
    }
    return true;
}

}  // namespace

SignalSet ReadWav(const fs::path& path)
{
    RequireReadableFile(path);
    SF_INFO info{};
    SndfilePtr file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file)
        Fail(path, std::string("not a sound file libsndfile can read: ") + sf_strerror(nullptr));
    if (info.channels < 1)
        Fail(path, "no channels");
    if (info.channels > SampleSource::kMaxChannels)
        Fail(path, std::to_string(info.channels) + " channels; at most " +
                       std::to_string(SampleSource::kMaxChannels) + " can be recorded");
    if (info.samplerate <= 0)
        Fail(path, "the sample rate is not positive");
    if (info.frames <= 0)
        Fail(path, "no samples");

    size_t channels = size_t(info.channels);
    size_t frames = size_t(info.frames);
    std::vector<float> interleaved(frames * channels);
    SignalSet set;
    sf_count_t got = sf_readf_float(file.get(), interleaved.data(), sf_count_t(frames));
    if (got <= 0)
        Fail(path, std::string("cannot read samples: ") + sf_strerror(file.get()));
    if (size_t(got) < frames)
        set.notes.push_back(path.string() + ": the file ends early; " + std::to_string(got) + " of " +
                            std::to_string(frames) + " samples per channel read");
    frames = size_t(got);  // a truncated file still gives what it holds

    set.sampleInterval = 1.0 / info.samplerate;
    set.channels.resize(channels);
    for (size_t c = 0; c < channels; ++c) {
        SignalChannel& channel = set.channels[c];
        channel.info.title = "Channel " + std::to_string(c + 1);
        channel.samples.resize(frames);
        for (size_t i = 0; i < frames; ++i) {
            float value = interleaved[i * channels + c];
            if (!std::isfinite(value))
                Fail(path, "sample " + std::to_string(i) + " of channel " + std::to_string(c + 1) +
                               " is not a finite number");
            channel.samples[i] = value;
        }
    }
    if (!ApplyChannelComment(sf_get_string(file.get(), SF_STR_COMMENT), set))
        set.notes.push_back(path.string() + ": channels have no titles in the file; named \"Channel 1\" and on");
    for (SignalChannel& channel : set.channels)
        FitDisplayRange(channel);
    return set;
}

void WriteWav(const fs::path& path, const SignalSet& set)
{
    RequireWritable(path, set);
    int rate = WholeSampleRate(path, set, "WAV");
    if (set.channels.size() > 1024)
        Fail(path, "too many channels for WAV");
    WriteAtomically(path, [&](const fs::path& temporary) {
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = int(set.channels.size());
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SndfilePtr file(sf_open(temporary.c_str(), SFM_WRITE, &info));
        if (!file)
            Fail(path, std::string("cannot be created: ") + sf_strerror(nullptr));
        sf_set_string(file.get(), SF_STR_COMMENT, DescribeChannels(set).c_str());
        size_t channels = set.channels.size();
        size_t frames = set.SampleCount();
        std::vector<float> interleaved(frames * channels);
        for (size_t c = 0; c < channels; ++c)
            for (size_t i = 0; i < frames; ++i)
                interleaved[i * channels + c] = set.channels[c].samples[i];
        if (sf_writef_float(file.get(), interleaved.data(), sf_count_t(frames)) != sf_count_t(frames))
            Fail(path, std::string("cannot be written: ") + sf_strerror(file.get()));
        file.reset();
    });
}
