// A window's picture over the demo's slowly turning Lissajous figure, recorded
// at 1 kHz for 10 s (the demo) and at 1 MHz for 10 s (ten million samples),
// in the program's 480 x 400 window: the time to write it as the port's PNG,
// as SVG, as PDF and as PNG at scale 2, and the file's size (counter "bytes").
// The vector pictures and the scaled PNG include the redraw from the
// recording that they record; the plain PNG only encodes the port's pixels.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "recorder/Recorder.h"
#include "signals/DemoSignals.h"
#include "toolbox/Windows.h"

namespace {

enum Format : int { kPng = 0, kSvg = 1, kPdf = 2, kPngScale2 = 3 };
const char* const kNames[] = {"png", "svg", "pdf", "png"};

// The session of the process (one at a time) with the figure of the given
// sample rate as recorded data; made again when the rate changes.
class Plot {
public:
    static Plot& Of(double sampleRate)
    {
        static std::unique_ptr<Plot> plot;
        if (!plot || plot->rate_ != sampleRate) {
            plot.reset();
            plot.reset(new Plot(sampleRate));
        }
        return *plot;
    }
    Recorder& Host() { return recorder_; }
    WindowRef Window() const { return window_; }

private:
    explicit Plot(double sampleRate) : rate_(sampleRate)
    {
        DemoOptions options;
        options.sampleRate = sampleRate;
        SignalSet demo = MakeDemoSignals(options);
        const SignalChannel& x = demo.channels[2];  // Sine A
        const SignalChannel& y = demo.channels[3];  // Sine B
        recorder_.AddChannel(x.info);
        recorder_.AddChannel(y.info);
        const float* channels[] = {x.samples.data(), y.samples.data()};
        recorder_.GetRecording().BeginBlock();
        recorder_.GetRecording().Append(channels, x.samples.size());
        window_ = recorder_.OpenWindow(recorder_.LoadBundle(XY_BUNDLE_PATH));
        recorder_.Resize(window_, 480, 400);
        recorder_.ClearSelection();
    }

    double rate_;
    Recorder recorder_;
    WindowRef window_ = nullptr;
};

void BM_Picture(benchmark::State& state)
{
    const auto format = Format(state.range(0));
    const double rate = double(state.range(1));
    Plot& plot = Plot::Of(rate);
    const std::string path =
        (std::filesystem::temp_directory_path() / ("picture_bench_" + std::to_string(getpid()) + "." + kNames[format]))
            .string();
    for (auto _ : state) plot.Host().WritePicture(plot.Window(), path, format == kPngScale2 ? 2 : 1);
    state.counters["bytes"] = double(std::filesystem::file_size(path));
    state.counters["samples"] = rate * 10;
    state.SetLabel(format == kPngScale2 ? "png, scale 2" : kNames[format]);
    std::filesystem::remove(path);
}

}  // namespace

BENCHMARK(BM_Picture)
    ->ArgNames({"format", "rate"})  // the first varies fastest: the recording is made twice
    ->ArgsProduct({{kPng, kSvg, kPdf, kPngScale2}, {1000, 1000000}})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
