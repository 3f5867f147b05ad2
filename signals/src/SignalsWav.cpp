// Sound files through libsndfile. WAV has no channel names, so our writer
// keeps titles and units in the comment and our reader takes them back.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

#include "SignalsInternal.h"
#include "signals/InputFile.h"
#include "signals/InputText.h"
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

// Where a sound file's bytes come from (a file or memory), read through
// libsndfile's virtual I/O so that it never reads past what is there.
struct WavBytes {
    uint64_t size;
    std::function<size_t(void*, size_t, uint64_t)> readAt;
    uint64_t position = 0;

    static sf_count_t Length(void* self) { return sf_count_t(static_cast<WavBytes*>(self)->size); }
    static sf_count_t Seek(sf_count_t offset, int whence, void* self)
    {
        auto& bytes = *static_cast<WavBytes*>(self);
        sf_count_t base = whence == SEEK_CUR   ? sf_count_t(bytes.position)
                          : whence == SEEK_END ? sf_count_t(bytes.size)
                                               : 0;
        if (offset > std::numeric_limits<sf_count_t>::max() - base || base + offset < 0)
            return -1;
        bytes.position = uint64_t(base + offset);
        return sf_count_t(bytes.position);
    }
    static sf_count_t Read(void* buffer, sf_count_t count, void* self)
    {
        auto& bytes = *static_cast<WavBytes*>(self);
        if (count <= 0 || bytes.position >= bytes.size)
            return 0;
        size_t got = bytes.readAt(buffer, size_t(std::min<uint64_t>(uint64_t(count), bytes.size - bytes.position)),
                                  bytes.position);
        bytes.position += got;
        return sf_count_t(got);
    }
    static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t Tell(void* self) { return sf_count_t(static_cast<WavBytes*>(self)->position); }
};

// The data chunk's length as its header gives it and as the file holds it.
struct WavDataLength {
    uint64_t declared = 0, present = 0;
    uint16_t blockAlign = 0;  // bytes per frame of PCM or float samples; 0 for other encodings

    std::string Note() const
    {
        if (blockAlign)
            return "its header gives " + std::to_string(declared / blockAlign) +
                   " samples per channel, the file holds " + std::to_string(present / blockAlign);
        return "its header gives " + std::to_string(declared) + " bytes of data, the file holds " +
               std::to_string(present);
    }
};

// Walks the chunks of a RIFF WAVE file (RIFF, RIFX, RF64) and refuses one
// that claims more than the file holds: libsndfile trusts such sizes and may
// loop forever on a LIST/INFO chunk whose sub-chunk claims nearly 4 GiB.
// Only the data chunk may run past the end (a file cut short); its lengths
// are returned. Nothing for other files.
std::optional<WavDataLength> CheckRiffChunks(const WavBytes& bytes, const fs::path& path)
{
    unsigned char head[12];
    if (bytes.size < 12 || bytes.readAt(head, 12, 0) != 12 || std::memcmp(head + 8, "WAVE", 4) != 0)
        return std::nullopt;
    bool bigEndian = std::memcmp(head, "RIFX", 4) == 0;
    bool sizesElsewhere = std::memcmp(head, "RF64", 4) == 0 || std::memcmp(head, "BW64", 4) == 0;
    if (!bigEndian && !sizesElsewhere && std::memcmp(head, "RIFF", 4) != 0)
        return std::nullopt;
    auto number = [&](const unsigned char* at, int width) {
        uint64_t value = 0;
        for (int i = 0; i < width; ++i)
            value |= uint64_t(at[bigEndian ? width - 1 - i : i]) << (8 * i);
        return value;
    };
    auto invalid = [&](const std::string& what) { Fail(path, "not a valid WAV file: " + what); };
    auto name = [](const unsigned char* id) {
        return QuoteInput(std::string_view(reinterpret_cast<const char*>(id), 4));
    };

    WavDataLength data;
    uint64_t ds64DataSize = 0;
    unsigned char chunk[36];
    for (uint64_t offset = 12; offset + 8 <= bytes.size;) {
        size_t got = bytes.readAt(chunk, sizeof chunk, offset);
        uint64_t size = number(chunk + 4, 4);
        uint64_t body = offset + 8;
        if (std::memcmp(chunk, "data", 4) == 0) {
            data.declared = sizesElsewhere && size == 0xFFFFFFFF ? ds64DataSize : size;
            data.present = bytes.size - body;
            // 0 and 0xFFFFFFFF stand for a length a streaming writer did not know.
            bool unknown = !sizesElsewhere && (size == 0 || size == 0xFFFFFFFF);
            if (unknown || data.declared > data.present) {
                if (unknown)
                    data.declared = data.present;
                return data;
            }
        } else if (body + size > bytes.size + (size & 1)) {
            invalid("the " + name(chunk) + " chunk claims " + std::to_string(size) +
                    " bytes, beyond the end of the file");
        }
        if (std::memcmp(chunk, "ds64", 4) == 0 && got >= 8 + 16)
            ds64DataSize = number(chunk + 16, 8);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && got >= 8 + 14) {
            uint64_t tag = number(chunk + 8, 2);
            bool framed = tag == 1 || tag == 3 || tag == 0xFFFE;  // PCM, float, extensible
            data.blockAlign = framed ? uint16_t(number(chunk + 20, 2)) : 0;
        }
        if (std::memcmp(chunk, "LIST", 4) == 0) {
            uint64_t end = std::min(body + size, bytes.size);
            unsigned char sub[8];
            for (uint64_t at = body + 4; at + 8 <= end; at += 8 + number(sub + 4, 4) + (number(sub + 4, 4) & 1)) {
                bytes.readAt(sub, 8, at);
                uint64_t subSize = number(sub + 4, 4);
                if (at + 8 + subSize > end)
                    invalid("the " + name(sub) + " chunk in LIST claims " + std::to_string(subSize) +
                            " bytes, beyond the end of its LIST chunk");
            }
        }
        offset = body + size + (size & 1);
    }
    return data.declared ? std::optional<WavDataLength>(data) : std::nullopt;
}

SignalSet ReadSound(WavBytes bytes, const fs::path& path)
{
    std::optional<WavDataLength> length = CheckRiffChunks(bytes, path);
    SF_VIRTUAL_IO io{WavBytes::Length, WavBytes::Seek, WavBytes::Read, WavBytes::Write, WavBytes::Tell};
    SF_INFO info{};
    SndfilePtr file(sf_open_virtual(&io, SFM_READ, &info, &bytes));
    if (!file)
        Fail(path, std::string("not a sound file libsndfile can read: ") + sf_strerror(nullptr));
    if (info.channels < 1)
        Fail(path, "no channels");
    if (info.channels > SampleSource::kMaxChannels)
        Fail(path, std::to_string(info.channels) + " channels; at most " +
                       std::to_string(SampleSource::kMaxChannels) + " can be recorded");
    if (info.samplerate <= 0)
        Fail(path, "the sample rate is not positive");
    RequireSampleInterval(path, 1.0 / info.samplerate,
                          "the sample interval of " + std::to_string(info.samplerate) + " samples a second");
    if (info.frames <= 0)
        Fail(path, "no samples");

    size_t channels = size_t(info.channels);
    size_t frames = size_t(info.frames);
    // Read in blocks as the data comes: a compressed file's header may claim
    // any length, and memory should follow what the file really holds.
    constexpr size_t kBlockFrames = 65536;
    std::vector<float> interleaved, block(kBlockFrames * channels);
    while (interleaved.size() < frames * channels) {
        size_t wanted = std::min(kBlockFrames, frames - interleaved.size() / channels);
        sf_count_t read = sf_readf_float(file.get(), block.data(), sf_count_t(wanted));
        if (read <= 0)
            break;
        interleaved.insert(interleaved.end(), block.begin(), block.begin() + ptrdiff_t(size_t(read) * channels));
    }
    SignalSet set;
    auto got = sf_count_t(interleaved.size() / channels);
    if (got <= 0)
        Fail(path, std::string("cannot read samples: ") + sf_strerror(file.get()));
    if (size_t(got) < frames)
        set.notes.push_back(EscapeInput(path.string()) + ": the file ends early; " + std::to_string(got) + " of " +
                            std::to_string(frames) + " samples per channel read");
    else if (length && length->declared > length->present)
        set.notes.push_back(EscapeInput(path.string()) + ": the file ends early: " + length->Note());
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
        set.notes.push_back(EscapeInput(path.string()) +
                            ": channels have no titles in the file; named \"Channel 1\" and on");
    for (SignalChannel& channel : set.channels)
        FitDisplayRange(channel);
    return set;
}

}  // namespace

SignalSet ReadWav(const fs::path& path)
{
    InputFile file(path, kRecordingFile);
    if (!file)
        Fail(path, file.Problem());
    auto readAt = [&](void* buffer, size_t size, uint64_t offset) { return file.ReadAt(buffer, size, offset); };
    return ReadSound(WavBytes{file.Size(), readAt}, path);
}

SignalSet ReadWavBytes(std::string_view bytes, const std::string& name)
{
    auto readAt = [&](void* buffer, size_t size, uint64_t offset) {
        size_t count = offset < bytes.size() ? size_t(std::min<uint64_t>(size, bytes.size() - offset)) : 0;
        std::memcpy(buffer, bytes.data() + offset, count);
        return count;
    };
    return ReadSound(WavBytes{bytes.size(), readAt}, name);
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
