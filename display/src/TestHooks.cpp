// The trace and the hold that tests of the live window rely on.
#include "TestHooks.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "Screen.h"
#include "recorder/Png.h"
#include "recorder/Recorder.h"
#include "toolbox/QuickDraw.h"

namespace display {

namespace {

sigset_t HoldSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGUSR1);
    sigaddset(&set, SIGUSR2);
    return set;
}

// FNV-1a over the bit patterns of every sample, channel by channel: equal
// recordings, and only those in practice, give equal numbers.
uint64_t RecordingChecksum(const Recording& recording)
{
    uint64_t hash = 1469598103934665603ull;
    for (int16_t channel = 1; channel <= recording.ChannelCount(); ++channel) {
        for (int32_t position = 0; position < recording.SampleCount(); ++position) {
            float value = recording.Sample(channel, position).value_or(0.0f);
            uint32_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            for (int byte = 0; byte < 4; ++byte) {
                hash ^= (bits >> (8 * byte)) & 0xFF;
                hash *= 1099511628211ull;
            }
        }
    }
    return hash;
}

}  // namespace

TestHooks::TestHooks()
{
    const char* path = std::getenv("XYRECORDER_WINDOW_TRACE");
    if (!path || !*path) return;
    trace_ = std::fopen(path, "w");
    if (!trace_) return;
    folder_ = std::filesystem::absolute(path).parent_path().string();
    sigset_t set = HoldSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signals_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

TestHooks::~TestHooks()
{
    if (signals_ >= 0) close(signals_);
    if (trace_) std::fclose(trace_);
}

void TestHooks::Trace(const std::string& line)
{
    if (!trace_) return;
    std::fprintf(trace_, "%s\n", line.c_str());
    std::fflush(trace_);
}

TestHooks::Request TestHooks::Poll()
{
    if (signals_ < 0) return Request::none;
    signalfd_siginfo info;
    Request request = Request::none;
    while (read(signals_, &info, sizeof info) == ssize_t(sizeof info))
        request = info.ssi_signo == SIGUSR1 ? Request::hold : Request::resume;
    return request;
}

void TestHooks::WriteHeld(Screen& screen, const Recorder& host)
{
    if (!trace_) return;
    ++holds_;
    screen.PresentAll();
    std::string shown;
    for (const auto& window : screen.Windows()) {
        if (!window->Alive() || window->Kind() == PortKind::tooltip) continue;
        SInt32 width = 0, height = 0;
        const UInt32* pixels = GetPortPixels(window->Port(), &width, &height);
        const std::string name = window->Name();
        try {
            WritePixelsPng(pixels, width, height, folder_ + "/held-" + name + ".png");
        } catch (const std::exception& error) {
            Trace(std::string("error ") + error.what());
        }
        shown += " " + name + ":" + window->DesktopId();
    }
    const Recording& recording = host.GetRecording();
    char line[160];
    std::snprintf(line, sizeof line, "held %d samples=%d checksum=%016" PRIx64 " sampling=%d", holds_,
                  recording.SampleCount(), RecordingChecksum(recording), host.IsSampling() ? 1 : 0);
    Trace(line + shown);
}

}  // namespace display
