// The two hot paths of the X-Y window, through Main1, next to a reference loop
// that maps two float arrays to pixels with exact half-away rounding and draws
// the polyline with Bresenham into an 800 x 600 framebuffer.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "TestHost.h"
#include "XYPlotExtension.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;

// A slowly turning Lissajous figure: steps of a few pixels, as live data gives.
void Lissajous(std::vector<float>& xs, std::vector<float>& ys, size_t n, size_t offset = 0)
{
    xs.resize(n);
    ys.resize(n);
    for (size_t i = 0; i < n; ++i) {
        double t = double(i + offset) * 0.002;
        xs[i] = float(0.9 * std::sin(3 * t));
        ys[i] = float(0.9 * std::sin(2 * t + 0.0001 * double(i + offset)));
    }
}

inline int32_t RoundHalfAway(double x)
{
    auto whole = static_cast<int64_t>(x);
    double fraction = x - double(whole);
    return int32_t(whole + (fraction >= 0.5) - (fraction <= -0.5));
}

void Bresenham(uint32_t* pixels, int x0, int y0, int x1, int y1)
{
    int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        if (unsigned(x0) < unsigned(kWidth) && unsigned(y0) < unsigned(kHeight)) pixels[y0 * kWidth + x0] = 0x0050A0;
        if (x0 == x1 && y0 == y1) break;
        int e2 = 2 * error;
        if (e2 >= dy) {
            error += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

void BM_ReferenceLoop(benchmark::State& state)
{
    std::vector<float> xs, ys;
    Lissajous(xs, ys, 1 << 16);
    std::vector<uint32_t> pixels(kWidth * kHeight);
    const double sx = 367.0, sy = -270.0;
    const int ox = 400, oy = 300;
    for (auto _ : state) {
        int px = ox + RoundHalfAway(double(xs[0]) * sx), py = oy + RoundHalfAway(double(ys[0]) * sy);
        for (size_t i = 1; i < xs.size(); ++i) {
            int x = ox + RoundHalfAway(double(xs[i]) * sx), y = oy + RoundHalfAway(double(ys[i]) * sy);
            Bresenham(pixels.data(), px, py, x, y);
            px = x;
            py = y;
        }
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(xs.size()));
}
BENCHMARK(BM_ReferenceLoop);

// A host and an 800 x 600 plot window, opened through Main1.
struct Window {
    TestHost host;
    LocalDataHandle instance = nullptr;

    Window()
    {
        static SInt16 resources = OpenResourceFile(XY_RESOURCE_PATH);
        UseResFile(resources);
        host.newWindowBounds = Rect{40, 40, 40 + kHeight, 40 + kWidth};
        host.recordCalls = false;
        ParamBlock block;
        instance = ReferenceFrom32<LocalDataHandle>(uint32_t(Send(6, block, host)));
    }
    ~Window()
    {
        ParamBlock block;
        block.SetRef(0, instance);
        Send(7, block, host);
    }
    void Notify(int16_t kind, uint32_t data)
    {
        ParamBlock block;
        block.SetRef(0, instance).Set<int16_t>(4, kind).Set<uint32_t>(6, data);
        Send(9, block, host);
    }
};

void BM_LiveBatches(benchmark::State& state)
{
    const auto batchSize = size_t(state.range(0));
    Window window;
    window.Notify(kNotifySamplingStarted, 0);
    // Enough batches that the figure keeps moving; each batch's arrays in the low zone.
    const size_t batches = std::max<size_t>(1, (size_t(1) << 16) / batchSize);
    std::vector<float> xs, ys;
    Lissajous(xs, ys, batches * batchSize);
    auto* x = reinterpret_cast<float*>(NewPtr(Size(xs.size() * sizeof(float))));
    auto* y = reinterpret_cast<float*>(NewPtr(Size(ys.size() * sizeof(float))));
    std::copy(xs.begin(), xs.end(), x);
    std::copy(ys.begin(), ys.end(), y);
    std::vector<SampleBatch*> records;
    for (size_t b = 0; b < batches; ++b) {
        auto* batch = LowNew<SampleBatch>();
        *batch = SampleBatch{};
        batch->count = int16_t(batchSize);
        batch->channelData[0] = LowAddress(x + b * batchSize);
        batch->channelData[1] = LowAddress(y + b * batchSize);
        records.push_back(batch);
    }
    size_t next = 0;
    for (auto _ : state) {
        window.Notify(kNotifyNewData, LowAddress(records[next]));
        next = (next + 1) % batches;
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(batchSize));
    for (SampleBatch* batch : records) LowDelete(batch);
    DisposePtr(reinterpret_cast<Ptr>(x));
    DisposePtr(reinterpret_cast<Ptr>(y));
}
BENCHMARK(BM_LiveBatches)->RangeMultiplier(4)->Range(64, 4096);

void BM_Redraw10MillionSamples(benchmark::State& state)
{
    Window window;
    window.host.reuseHandles = true;
    constexpr size_t kSamples = 10'000'000;
    constexpr int16_t kBlock = 32767;
    size_t made = 0;
    while (made < kSamples) {
        FakeBlock block;
        block.length = int16_t(std::min<size_t>(kBlock, kSamples - made));
        Lissajous(block.channels[1], block.channels[2], size_t(block.length), made);
        made += size_t(block.length);
        window.host.blocks.push_back(std::move(block));
    }
    LocalDataType& record = **window.instance;
    record.traceStartSample = 0;
    record.traceEndSample = int32_t(kSamples - 1);
    SetPortToWindow(record.window);
    // The host makes each block's handles on first use; keep that out of the timing.
    gExtension.RedrawTrace(record.traceStartSample, record.traceEndSample, window.instance, true);
    for (auto _ : state) gExtension.RedrawTrace(record.traceStartSample, record.traceEndSample, window.instance, true);
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kSamples));
}
BENCHMARK(BM_Redraw10MillionSamples)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
