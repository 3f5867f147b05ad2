// The sound card's capture as a live stream: two channels through SDL2's
// audio capture, at the device's rate, a batch per device buffer.
#include <SDL.h>
#include <signal.h>

#include <poll.h>

#include <atomic>
#include <cmath>
#include <vector>

#include "LiveStreamInternal.h"
#include "signals/InputText.h"
#include "signals/Signals.h"

namespace {

// When the device is not asked for a rate and does not say its own.
constexpr int kUsualRate = 48000;
// How often the stream looks whether the device is still there.
constexpr int kWatchMilliseconds = 100;

std::string SdlProblem(const std::string& what) { return what + " (" + SDL_GetError() + ")"; }

class AudioCapture final : public LiveStream {
public:
    AudioCapture(const std::string& source, const std::string& device, const LiveSourceOptions& options)
        : LiveStream(device.empty() ? "audio capture" : "audio capture " + QuoteInput(device))
    {
        SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "xyrecorder");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            throw SignalFileError(source + ": " + SdlProblem("no sound system"));
        try {
            Open(source, device, options);
        } catch (...) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            throw;
        }
    }

    ~AudioCapture() override
    {
        Stop();
        if (device_ != 0) SDL_CloseAudioDevice(device_);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

private:
    void Open(const std::string& source, const std::string& device, const LiveSourceOptions& options)
    {
        const char* name = device.empty() ? nullptr : device.c_str();
        SDL_AudioSpec wanted{};
        wanted.freq = kUsualRate;
        if (!device.empty()) {
            int found = -1;
            std::string known;
            for (int i = 0, count = SDL_GetNumAudioDevices(1); i < count; ++i) {
                const char* listed = SDL_GetAudioDeviceName(i, 1);
                if (!listed) continue;
                if (device == listed) found = i;
                known += (known.empty() ? "" : ", ") + QuoteInput(listed);
            }
            if (found < 0)
                throw SignalFileError(
                    source + ": no capture device of that name; " +
                    (known.empty() ? std::string("there is none") : "the capture devices are " + known));
            SDL_AudioSpec own{};
            if (SDL_GetAudioDeviceSpec(found, 1, &own) == 0 && own.freq > 0) wanted.freq = own.freq;
        } else {
            SDL_AudioSpec own{};
            char* defaultName = nullptr;
            if (SDL_GetDefaultAudioInfo(&defaultName, &own, 1) == 0 && own.freq > 0) wanted.freq = own.freq;
            SDL_free(defaultName);
        }
        int allowed = SDL_AUDIO_ALLOW_SAMPLES_CHANGE;
        if (options.sampleInterval)
            wanted.freq = int(std::lround(1.0 / *options.sampleInterval));
        else
            allowed |= SDL_AUDIO_ALLOW_FREQUENCY_CHANGE;
        wanted.format = AUDIO_F32SYS;
        wanted.channels = 2;
        wanted.samples = 1024;
        wanted.callback = [](void* self, Uint8* bytes, int length) {
            static_cast<AudioCapture*>(self)->Captured(reinterpret_cast<const float*>(bytes), size_t(length) / 8);
        };
        wanted.userdata = this;
        SDL_AudioSpec got{};
        // SDL's audio thread takes the mask in force now: no process signals for it.
        sigset_t all, saved;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &saved);
        device_ = SDL_OpenAudioDevice(name, 1, &wanted, &got, allowed);
        pthread_sigmask(SIG_SETMASK, &saved, nullptr);
        if (device_ == 0) throw SignalFileError(source + ": " + SdlProblem("the capture device can't be opened"));
        if (got.freq <= 0) throw SignalFileError(source + ": the capture device gives no sample rate");
        rate_ = got.freq;
        left_.resize(got.samples);
        right_.resize(got.samples);
        for (const char* title : {"Left", "Right"}) {
            ChannelSettings settings;
            settings.title = title;
            settings.displayLow = -1;
            settings.displayHigh = 1;
            settings.decimals = 1;
            channels_.push_back(settings);
        }
    }

    void Run(LiveSink& sink, int stopFd) override
    {
        sink.Begin(channels_, 1.0 / rate_);
        sink_.store(&sink);
        SDL_PauseAudioDevice(device_, 0);
        std::string error;
        for (;;) {
            pollfd stop = {stopFd, POLLIN, 0};
            if (::poll(&stop, 1, kWatchMilliseconds) > 0) break;
            if (SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED) {
                error = "the device went away";
                break;
            }
        }
        // Closing waits for a callback under way; none comes after it.
        SDL_CloseAudioDevice(device_);
        device_ = 0;
        sink_.store(nullptr);
        sink.End(error);
    }

    // On SDL's audio thread: interleaved pairs of floats.
    void Captured(const float* samples, size_t frames)
    {
        LiveSink* sink = sink_.load();
        if (!sink || frames == 0) return;
        if (left_.size() < frames) {
            left_.resize(frames);
            right_.resize(frames);
        }
        for (size_t i = 0; i < frames; ++i) {
            left_[i] = samples[2 * i];
            right_[i] = samples[2 * i + 1];
        }
        const float* channels[2] = {left_.data(), right_.data()};
        sink->Rows(channels, frames, LiveSink::Clock::now());
    }

    SDL_AudioDeviceID device_ = 0;
    int rate_ = kUsualRate;
    std::vector<ChannelSettings> channels_;
    std::vector<float> left_, right_;
    std::atomic<LiveSink*> sink_{nullptr};
};

}  // namespace

std::unique_ptr<LiveStream> signals_detail::OpenAudioCapture(const std::string& source, const std::string& device,
                                                             const LiveSourceOptions& options)
{
    return std::make_unique<AudioCapture>(source, device, options);
}
