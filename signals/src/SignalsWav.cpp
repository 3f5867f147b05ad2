// Sound files. WAV files of PCM or float samples are mapped and converted a
// run at a time; libsndfile checks their header and decodes every other
// kind whole. WAV has no channel names, so our writer keeps titles and units
// in the comment and our reader takes them back.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>

#include "FileBytes.h"
#include "SignalsInternal.h"
#include "signals/InputFile.h"
#include "signals/InputText.h"
#include "signals/Signals.h"
#include "signals/StoredSignals.h"

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
        if (i > 0) text += " | ";
        text += set.channels[i].info.title + " (" + set.channels[i].info.units + ")";
    }
    return text;
}

// Titles and units from a comment DescribeChannels wrote; nothing otherwise.
bool ApplyChannelComment(const char* comment, std::vector<ChannelSettings>& channels)
{
    if (!comment) return false;
    std::string text = comment;
    if (text.rfind(kChannelsTag, 0) != 0) return false;
    text.erase(0, std::string(kChannelsTag).size());
    std::vector<std::pair<std::string, std::string>> named;
    size_t start = 0;
    while (true) {
        size_t bar = text.find(" | ", start);
        std::string item = text.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        size_t open = item.rfind(" (");
        if (open == std::string::npos || item.empty() || item.back() != ')') return false;
        named.emplace_back(item.substr(0, open), item.substr(open + 2, item.size() - open - 3));
        if (bar == std::string::npos) break;
        start = bar + 3;
    }
    if (named.size() != channels.size()) return false;
    for (size_t i = 0; i < named.size(); ++i) {
        channels[i].title = named[i].first;
        channels[i].units = named[i].second;
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
        if (offset > std::numeric_limits<sf_count_t>::max() - base || base + offset < 0) return -1;
        bytes.position = uint64_t(base + offset);
        return sf_count_t(bytes.position);
    }
    static sf_count_t Read(void* buffer, sf_count_t count, void* self)
    {
        auto& bytes = *static_cast<WavBytes*>(self);
        if (count <= 0 || bytes.position >= bytes.size) return 0;
        size_t got = bytes.readAt(buffer, size_t(std::min<uint64_t>(uint64_t(count), bytes.size - bytes.position)),
                                  bytes.position);
        bytes.position += got;
        return sf_count_t(got);
    }
    static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t Tell(void* self) { return sf_count_t(static_cast<WavBytes*>(self)->position); }
};

// The data chunk's place, and its length as its header gives it and as the file holds it.
struct WavDataLength {
    uint64_t offset = 0;
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
    if (!bigEndian && !sizesElsewhere && std::memcmp(head, "RIFF", 4) != 0) return std::nullopt;
    auto number = [&](const unsigned char* at, int width) {
        uint64_t value = 0;
        for (int i = 0; i < width; ++i) value |= uint64_t(at[bigEndian ? width - 1 - i : i]) << (8 * i);
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
            data.offset = body;
            data.declared = sizesElsewhere && size == 0xFFFFFFFF ? ds64DataSize : size;
            data.present = bytes.size - body;
            // 0 and 0xFFFFFFFF stand for a length a streaming writer did not know.
            bool unknown = !sizesElsewhere && (size == 0 || size == 0xFFFFFFFF);
            if (unknown || data.declared > data.present) {
                if (unknown) data.declared = data.present;
                return data;
            }
        } else if (body + size > bytes.size + (size & 1)) {
            invalid("the " + name(chunk) + " chunk claims " + std::to_string(size) +
                    " bytes, beyond the end of the file");
        }
        if (std::memcmp(chunk, "ds64", 4) == 0 && got >= 8 + 16) ds64DataSize = number(chunk + 16, 8);
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

std::string NotFinite(size_t channel, int64_t frame)
{
    return "sample " + std::to_string(frame) + " of channel " + std::to_string(channel + 1) + " is not a finite number";
}

// Encodings read straight from the mapped file. Each converts exactly as
// libsndfile does when it reads floats (normalised to ±1 for integers).
enum class SampleEncoding { unsigned8, signed16, signed24, signed32, float32, float64 };

struct ConvertJob {
    const unsigned char* from;
    size_t stride;
    size_t count;
    float* out;
};

template <SampleEncoding kEncoding>
void ConvertStrided(void* context)
{
    const auto& job = *static_cast<const ConvertJob*>(context);
    const unsigned char* p = job.from;
    for (size_t i = 0; i < job.count; ++i, p += job.stride) {
        float value;
        if constexpr (kEncoding == SampleEncoding::unsigned8) {
            value = float(int(p[0]) - 128) * (1.0f / 128);
        } else if constexpr (kEncoding == SampleEncoding::signed16) {
            int16_t v;
            std::memcpy(&v, p, 2);
            value = float(v) * (1.0f / 32768);
        } else if constexpr (kEncoding == SampleEncoding::signed24) {
            auto v = int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24);
            value = float(v) * (1.0f / 2147483648.0f);
        } else if constexpr (kEncoding == SampleEncoding::signed32) {
            int32_t v;
            std::memcpy(&v, p, 4);
            value = float(v) * (1.0f / 2147483648.0f);
        } else if constexpr (kEncoding == SampleEncoding::float32) {
            std::memcpy(&value, p, 4);
        } else {
            double v;
            std::memcpy(&v, p, 8);
            value = float(v);
        }
        job.out[i] = value;
    }
}

// Little-endian PCM and float in a RIFF, RF64 or extensible WAV whose frames
// are exactly the channels' samples side by side; nothing for the rest.
std::optional<SampleEncoding> MappedEncoding(const SF_INFO& info, const std::optional<WavDataLength>& length)
{
    int container = info.format & SF_FORMAT_TYPEMASK;
    int endian = info.format & SF_FORMAT_ENDMASK;
    if (!length || (container != SF_FORMAT_WAV && container != SF_FORMAT_WAVEX && container != SF_FORMAT_RF64) ||
        (endian != SF_ENDIAN_FILE && endian != SF_ENDIAN_LITTLE))
        return std::nullopt;
    SampleEncoding encoding;
    int width;
    switch (info.format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_U8:
        encoding = SampleEncoding::unsigned8, width = 1;
        break;
    case SF_FORMAT_PCM_16:
        encoding = SampleEncoding::signed16, width = 2;
        break;
    case SF_FORMAT_PCM_24:
        encoding = SampleEncoding::signed24, width = 3;
        break;
    case SF_FORMAT_PCM_32:
        encoding = SampleEncoding::signed32, width = 4;
        break;
    case SF_FORMAT_FLOAT:
        encoding = SampleEncoding::float32, width = 4;
        break;
    case SF_FORMAT_DOUBLE:
        encoding = SampleEncoding::float64, width = 8;
        break;
    default:
        return std::nullopt;
    }
    if (length->blockAlign != uint64_t(info.channels) * uint64_t(width)) return std::nullopt;
    return encoding;
}

// A mapped WAV file's samples, converted a run of one channel at a time.
class WavStore : public SampleStore {
public:
    WavStore(std::shared_ptr<const FileBytes> file, uint64_t offset, uint64_t frameBytes, size_t channels,
             int64_t frames, SampleEncoding encoding)
        : file_(std::move(file)), offset_(offset), frameBytes_(frameBytes), channels_(channels), frames_(frames),
          sampleBytes_(frameBytes / channels)
    {
        static constexpr void (*kConverters[])(void*) = {
            ConvertStrided<SampleEncoding::unsigned8>, ConvertStrided<SampleEncoding::signed16>,
            ConvertStrided<SampleEncoding::signed24>,  ConvertStrided<SampleEncoding::signed32>,
            ConvertStrided<SampleEncoding::float32>,   ConvertStrided<SampleEncoding::float64>};
        convert_ = kConverters[int(encoding)];
    }
    size_t ChannelCount() const override { return channels_; }
    int64_t FrameCount() const override { return frames_; }
    void Read(size_t channel, int64_t first, size_t count, float* out) const override
    {
        if (channel >= channels_ || first < 0 || first > frames_ || int64_t(count) > frames_ - first)
            throw std::out_of_range("read outside the samples of " + file_->Name());
        ConvertJob job{file_->Data() + offset_ + uint64_t(first) * frameBytes_ + channel * sampleBytes_,
                       size_t(frameBytes_), count, out};
        file_->Guarded(convert_, &job);
    }

private:
    std::shared_ptr<const FileBytes> file_;
    uint64_t offset_, frameBytes_;
    size_t channels_;
    int64_t frames_;
    uint64_t sampleBytes_;
    void (*convert_)(void*);
};

// A sound file read whole through libsndfile, for the encodings that are not
// mapped (compressed, big-endian, other containers).
SignalSet DecodeSound(SNDFILE* file, const SF_INFO& info, const std::optional<WavDataLength>& length,
                      const fs::path& path)
{
    size_t channels = size_t(info.channels);
    size_t frames = size_t(info.frames);
    // Read in blocks as the data comes: a compressed file's header may claim
    // any length, and memory should follow what the file really holds.
    constexpr size_t kBlockFrames = 65536;
    std::vector<float> interleaved, block(kBlockFrames * channels);
    while (interleaved.size() < frames * channels) {
        size_t wanted = std::min(kBlockFrames, frames - interleaved.size() / channels);
        sf_count_t read = sf_readf_float(file, block.data(), sf_count_t(wanted));
        if (read <= 0) break;
        interleaved.insert(interleaved.end(), block.begin(), block.begin() + ptrdiff_t(size_t(read) * channels));
    }
    SignalSet set;
    auto got = sf_count_t(interleaved.size() / channels);
    if (got <= 0) Fail(path, std::string("cannot read samples: ") + sf_strerror(file));
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
        channel.samples.resize(frames);
        for (size_t i = 0; i < frames; ++i) {
            float value = interleaved[i * channels + c];
            if (!std::isfinite(value)) Fail(path, NotFinite(c, int64_t(i)));
            channel.samples[i] = value;
        }
    }
    for (SignalChannel& channel : set.channels) FitDisplayRange(channel);
    return set;
}

StoredSignals OpenSound(WavBytes bytes, const fs::path& path, const std::shared_ptr<const FileBytes>& file)
{
    std::optional<WavDataLength> length = CheckRiffChunks(bytes, path);
    SF_VIRTUAL_IO io{WavBytes::Length, WavBytes::Seek, WavBytes::Read, WavBytes::Write, WavBytes::Tell};
    SF_INFO info{};
    SndfilePtr sound(sf_open_virtual(&io, SFM_READ, &info, &bytes));
    if (!sound) Fail(path, std::string("not a sound file libsndfile can read: ") + sf_strerror(nullptr));
    if (info.channels < 1) Fail(path, "no channels");
    if (info.samplerate <= 0) Fail(path, "the sample rate is not positive");
    RequireSampleInterval(path, 1.0 / info.samplerate,
                          "the sample interval of " + std::to_string(info.samplerate) + " samples a second");

    StoredSignals stored;
    std::optional<SampleEncoding> encoding = MappedEncoding(info, length);
    if (encoding) {
        uint64_t frames = std::min(length->declared, length->present) / length->blockAlign;
        if (frames == 0) Fail(path, "no samples");
        if (length->declared > length->present)
            stored.notes.push_back(EscapeInput(path.string()) + ": the file ends early: " + length->Note());
        stored.sampleInterval = 1.0 / info.samplerate;
        stored.channels.resize(size_t(info.channels));
        stored.samples = std::make_shared<WavStore>(file, length->offset, length->blockAlign, size_t(info.channels),
                                                    int64_t(frames), *encoding);
    } else {
        if (info.frames <= 0) Fail(path, "no samples");
        stored = StoreInMemory(DecodeSound(sound.get(), info, length, path));
    }
    for (size_t c = 0; c < stored.channels.size(); ++c) stored.channels[c].title = "Channel " + std::to_string(c + 1);
    if (!ApplyChannelComment(sf_get_string(sound.get(), SF_STR_COMMENT), stored.channels))
        stored.notes.push_back(EscapeInput(path.string()) +
                               ": channels have no titles in the file; named \"Channel 1\" and on");
    if (encoding)
        FitStoredRanges(stored, path, uint64_t(stored.SampleCount()) * length->blockAlign,
                        "the format's full scale, -1 to 1",
                        [](size_t channel, int64_t frame, float) { return NotFinite(channel, frame); });
    return stored;
}

}  // namespace

StoredSignals OpenWav(const fs::path& path)
{
    std::shared_ptr<const FileBytes> file = FileBytes::Map(path);
    auto readAt = [&](void* buffer, size_t size, uint64_t offset) { return file->ReadAt(buffer, size, offset); };
    return OpenSound(WavBytes{file->Size(), readAt}, path, file);
}

SignalSet ReadWav(const fs::path& path) { return ReadAll(OpenWav(path)); }

SignalSet ReadWavBytes(std::string_view bytes, const std::string& name)
{
    std::shared_ptr<const FileBytes> file = FileBytes::Borrow(bytes, name);
    auto readAt = [&](void* buffer, size_t size, uint64_t offset) { return file->ReadAt(buffer, size, offset); };
    return ReadAll(OpenSound(WavBytes{file->Size(), readAt}, name, file));
}

void WriteWav(const fs::path& path, const SignalSet& set)
{
    RequireWritable(path, set);
    int rate = WholeSampleRate(path, set, "WAV");
    if (set.channels.size() > 1024) Fail(path, "too many channels for WAV");
    WriteAtomically(path, [&](const fs::path& temporary) {
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = int(set.channels.size());
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SndfilePtr file(sf_open(temporary.c_str(), SFM_WRITE, &info));
        if (!file) Fail(path, std::string("cannot be created: ") + sf_strerror(nullptr));
        sf_set_string(file.get(), SF_STR_COMMENT, DescribeChannels(set).c_str());
        size_t channels = set.channels.size();
        size_t frames = set.SampleCount();
        std::vector<float> interleaved(frames * channels);
        for (size_t c = 0; c < channels; ++c)
            for (size_t i = 0; i < frames; ++i) interleaved[i * channels + c] = set.channels[c].samples[i];
        if (sf_writef_float(file.get(), interleaved.data(), sf_count_t(frames)) != sf_count_t(frames))
            Fail(path, std::string("cannot be written: ") + sf_strerror(file.get()));
        file.reset();
    });
}
