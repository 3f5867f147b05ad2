// The two drawing paths of the X-Y window - live batches through Main1 and
// RedrawTrace over recorded blocks - each timed in turns with a tight reference
// loop on the same data in the same run. The figure that matters is the counter
// "ratio": the extension's time over the reference's.
//
// The reference does what the extension must and nothing more: the same
// mapping with an inline half-away rounding (no range tests: it knows its data),
// the same clip rectangle, a Bresenham line with the platform's tie rule, and
// nothing drawn twice (a sample on the pen's pixel costs one comparison). Before
// timing, both draw the data once and their pictures must be identical.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "TestHost.h"
#include "XYPlotExtension.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;

// The two data shapes: a Lissajous figure whose phase drifts, so that it turns.
// Steps: the figure at a pace of about 1.4 pixels per sample in this window.
// Dense: the same figure two thousand times slower, so that about one sample
// in a thousand moves the pen to a new pixel.
enum Shape : int { kSteps = 0, kDense = 1 };

void Lissajous(Shape shape, size_t n, size_t offset, std::vector<float>& xs, std::vector<float>& ys)
{
    const double pace = shape == kSteps ? 0.002 : 0.002 / 2000;
    xs.resize(n);
    ys.resize(n);
    for (size_t i = 0; i < n; ++i) {
        double t = double(i + offset) * pace;
        xs[i] = float(0.9 * std::sin(3 * t));
        ys[i] = float(0.9 * std::sin(2 * t + 0.05 * t));
    }
}

const char* ShapeName(Shape shape) { return shape == kSteps ? "steps" : "dense"; }

// The CPU time this thread spends in run().
template <class F>
double CpuSecondsOf(F&& run)
{
    auto now = [] {
        timespec t;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
    };
    const double start = now();
    run();
    return now() - start;
}

// Pixels of a port, copied so that the reference can draw beside the extension.
std::vector<UInt32> PortPixels(CGrafPtr port)
{
    SInt32 width, height;
    const UInt32* pixels = GetPortPixels(port, &width, &height);
    return std::vector<UInt32>(pixels, pixels + size_t(width) * size_t(height));
}

// The tight loop: map, skip a sample on the pen's pixel, else a clipped
// Bresenham line that leaves out its first pixel once that pixel is drawn.
class ReferencePlot {
public:
    ReferencePlot(const LocalDataType& record, std::vector<UInt32> pixels, UInt32 ink)
        : pixels_(std::move(pixels)), ink_(ink), clip_(record.plotRect), xScale_(record.xPixelsPerUnit),
          yScale_(record.yPixelsPerUnit), xOffset_(record.xPixelOffset), yOffset_(record.yPixelOffset)
    {}

    void MoveTo(int h, int v)
    {
        penH_ = h;
        penV_ = v;
        penDrawn_ = false;
    }

    // One polyline through the samples; the first one is moved to when nothing was drawn yet.
    // Not inlined, so that callgrind can tell its instructions from the extension's.
    [[gnu::noinline]] void Polyline(const float* xs, const float* ys, size_t n)
    {
        for (size_t i = 0; i < n; ++i) {
            const int h = xOffset_ + RoundHalfAway(double(xs[i]) * xScale_);
            const int v = yOffset_ + RoundHalfAway(double(ys[i]) * yScale_);
            if (!started_) {
                started_ = true;
                MoveTo(h, v);
                continue;
            }
            if (h == penH_ && v == penV_ && penDrawn_) continue;
            Line(h, v);
        }
    }

    void Restart() { started_ = false; }
    const std::vector<UInt32>& Pixels() const { return pixels_; }

private:
    static int RoundHalfAway(double x)
    {
        auto whole = static_cast<int64_t>(x);
        double fraction = x - double(whole);
        return int(whole + (fraction >= 0.5) - (fraction <= -0.5));
    }

    bool Inside(int h, int v) const
    {
        return unsigned(h - clip_.left) < unsigned(clip_.right - clip_.left) &&
               unsigned(v - clip_.top) < unsigned(clip_.bottom - clip_.top);
    }

    void Plot(int h, int v)
    {
        if (Inside(h, v)) pixels_[size_t(v) * kWidth + size_t(h)] = ink_;
    }

    // Pixel i along the major axis has the minor offset i * dMinor / dMajor,
    // halves stepping. A line of at most two steps each way is the pixel one
    // step along each moving axis (the end, for one step) and the end; a longer
    // line with both ends inside the clip walks unchecked.
    void Line(int h, int v)
    {
        const int dh = h - penH_, dv = v - penV_;
        if (penDrawn_ && unsigned(dh + 2) <= 4 && unsigned(dv + 2) <= 4) {
            Plot(penH_ + (dh > 0) - (dh < 0), penV_ + (dv > 0) - (dv < 0));
            Plot(h, v);
            penH_ = h;
            penV_ = v;
            return;
        }
        const int sh = dh >= 0 ? 1 : -1, sv = dv >= 0 ? 1 : -1;
        const bool horizontal = std::abs(dh) >= std::abs(dv);
        const int major = std::abs(horizontal ? dh : dv), minor = std::abs(horizontal ? dv : dh);
        if (Inside(penH_, penV_) && Inside(h, v)) {
            const ptrdiff_t hStep = sh, vStep = sv * kWidth;
            const ptrdiff_t majorStep = horizontal ? hStep : vStep, minorStep = horizontal ? vStep : hStep;
            UInt32* p = &pixels_[size_t(penV_) * kWidth + size_t(penH_)];
            if (!penDrawn_) *p = ink_;
            for (int i = 0, error = major; i < major; ++i) {
                p += majorStep;
                error += 2 * minor;
                if (error >= 2 * major) {
                    error -= 2 * major;
                    p += minorStep;
                }
                *p = ink_;
            }
        } else {
            int x = penH_, y = penV_;
            if (!penDrawn_) Plot(x, y);
            for (int i = 0, error = major; i < major; ++i) {
                error += 2 * minor;
                const bool stepMinor = error >= 2 * major;
                if (stepMinor) error -= 2 * major;
                x += horizontal ? sh : (stepMinor ? sh : 0);
                y += horizontal ? (stepMinor ? sv : 0) : sv;
                Plot(x, y);
            }
        }
        penH_ = h;
        penV_ = v;
        penDrawn_ = true;
    }

    std::vector<UInt32> pixels_;
    UInt32 ink_;
    Rect clip_;
    double xScale_, yScale_;
    int xOffset_, yOffset_;
    int penH_ = 0, penV_ = 0;
    bool penDrawn_ = false, started_ = false;
};

// The pen services as a host gives them - the trace colour, then the colour
// from before - without the test host's bookkeeping, which builds each call's
// argument list even when it records nothing: the figures are the extension's.
constexpr RGBColor kTraceInk{0x0000, 0x6666, 0xCCCC};
RGBColor gColourBeforePen;
void SetTracePen(int16_t)
{
    GetForeColor(&gColourBeforePen);
    RGBForeColor(&kTraceInk);
}
void RestoreColour() { RGBForeColor(&gColourBeforePen); }

// A host and an 800 x 600 plot window, opened through Main1.
struct Window {
    TestHost host;
    HostServiceTable services = WithLeanPen(*host.Table());
    ParamBlock block;
    LocalDataHandle instance = nullptr;

    static HostServiceTable WithLeanPen(HostServiceTable table)
    {
        table.HostSetPen = SetTracePen;
        table.HostRestorePen = RestoreColour;
        return table;
    }

    Window()
    {
        static SInt16 resources = OpenResourceFile(XY_RESOURCE_PATH);
        UseResFile(resources);
        host.newWindowBounds = Rect{40, 40, 40 + kHeight, 40 + kWidth};
        host.recordCalls = false;
        instance = ReferenceFrom32<LocalDataHandle>(uint32_t(Main1(6, block.Bytes(), &services)));
    }
    ~Window()
    {
        block.Clear();
        block.SetRef(0, instance);
        Main1(7, block.Bytes(), &services);
    }
    void Notify(int16_t kind, uint32_t data)
    {
        block.Clear();
        block.SetRef(0, instance).Set<int16_t>(4, kind).Set<uint32_t>(6, data);
        Main1(9, block.Bytes(), &services);
    }
    LocalDataType& Record() const { return **instance; }
    CGrafPtr Port() const { return GetWindowPort(Record().window); }

    // A blank plot area, and the reference beside it on a copy of the port.
    ReferencePlot BlankReference()
    {
        SetPortToWindow(Record().window);
        EraseRect(&Record().plotRect);
        return ReferencePlot(Record(), PortPixels(Port()), PackedColour(kTraceInk));
    }

    static UInt32 PackedColour(const RGBColor& colour)
    {
        return (UInt32(colour.red >> 8) << 16) | (UInt32(colour.green >> 8) << 8) | UInt32(colour.blue >> 8);
    }
};

// Times the extension and the reference in turns (alternating which goes
// first) in this thread's CPU time, so that other load on the machine weighs
// on both alike, and reports both per sample and their ratio.
template <class Extension, class Reference>
void TimeInTurns(benchmark::State& state, size_t samplesPerIteration, Extension&& extension, Reference&& reference)
{
    double extensionSeconds = 0, referenceSeconds = 0;
    bool extensionFirst = true;
    for (auto _ : state) {
        double extensionTime, referenceTime;
        if (extensionFirst) {
            extensionTime = CpuSecondsOf(extension);
            referenceTime = CpuSecondsOf(reference);
        } else {
            referenceTime = CpuSecondsOf(reference);
            extensionTime = CpuSecondsOf(extension);
        }
        extensionSeconds += extensionTime;
        referenceSeconds += referenceTime;
        state.SetIterationTime(extensionTime);
        extensionFirst = !extensionFirst;
    }
    const double samples = double(state.iterations()) * double(samplesPerIteration);
    state.counters["ns_per_sample"] = 1e9 * extensionSeconds / samples;
    state.counters["reference_ns_per_sample"] = 1e9 * referenceSeconds / samples;
    state.counters["ratio"] = extensionSeconds / referenceSeconds;
    state.SetItemsProcessed(int64_t(samples));
}

// The data shape as this window sees it: how far the pen moves per sample, and how often.
void DescribeShape(benchmark::State& state, const LocalDataType& record, const std::vector<float>& xs,
                   const std::vector<float>& ys)
{
    const PixelMapping mapping = PixelMapping::Of(record);
    double distance = 0;
    size_t moves = 0;
    int16_t h0 = 0, v0 = 0, h = 0, v = 0;
    mapping.Map(xs[0], ys[0], &h0, &v0);
    for (size_t i = 1; i < xs.size(); ++i) {
        mapping.Map(xs[i], ys[i], &h, &v);
        const int step = std::max(std::abs(h - h0), std::abs(v - v0));
        distance += step;
        moves += step != 0;
        h0 = h;
        v0 = v;
    }
    state.counters["pixels_per_sample"] = distance / double(xs.size() - 1);
    state.counters["moves_per_sample"] = double(moves) / double(xs.size() - 1);
}

bool SamePicture(benchmark::State& state, const Window& window, const ReferencePlot& reference)
{
    if (PortPixels(window.Port()) == reference.Pixels()) return true;
    state.SkipWithError("the extension and the reference drew different pixels");
    return false;
}

// Kind-310 batches of state.range(1) samples, through Main1, continuing one
// polyline over 2^20 samples and round again.
void BM_Live(benchmark::State& state)
{
    const auto shape = Shape(state.range(0));
    const auto batchSize = size_t(state.range(1));
    state.SetLabel(ShapeName(shape));
    Window window;
    window.Notify(kNotifySamplingStarted, 0);
    const size_t batches = (size_t(1) << 20) / batchSize;
    std::vector<float> xs, ys;
    Lissajous(shape, batches * batchSize, 0, xs, ys);
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
    auto extension = [&] {
        for (SampleBatch* batch : records) window.Notify(kNotifyNewData, LowAddress(batch));
    };
    ReferencePlot reference = window.BlankReference();
    auto referenceLoop = [&] {
        for (size_t b = 0; b < batches; ++b) reference.Polyline(x + b * batchSize, y + b * batchSize, batchSize);
    };
    extension();
    referenceLoop();
    if (SamePicture(state, window, reference)) {
        DescribeShape(state, window.Record(), xs, ys);
        TimeInTurns(state, xs.size(), extension, referenceLoop);
    }
    for (SampleBatch* batch : records) LowDelete(batch);
    DisposePtr(reinterpret_cast<Ptr>(x));
    DisposePtr(reinterpret_cast<Ptr>(y));
}
BENCHMARK(BM_Live)
    ->ArgNames({"shape", "batch"})
    ->ArgsProduct({{kSteps, kDense}, {100, 1024, 4096}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// RedrawTrace over ten million recorded samples in blocks of 32767, with the
// channel-info check, as a range notification asks.
void BM_Redraw(benchmark::State& state)
{
    const auto shape = Shape(state.range(0));
    state.SetLabel(ShapeName(shape));
    Window window;
    window.host.reuseHandles = true;
    constexpr size_t kSamples = 10'000'000;
    constexpr int16_t kBlock = 32767;
    size_t made = 0;
    while (made < kSamples) {
        FakeBlock block;
        block.length = int16_t(std::min<size_t>(kBlock, kSamples - made));
        Lissajous(shape, size_t(block.length), made, block.channels[1], block.channels[2]);
        made += size_t(block.length);
        window.host.blocks.push_back(std::move(block));
    }
    LocalDataType& record = window.Record();
    record.traceStartSample = 0;
    record.traceEndSample = int32_t(kSamples - 1);
    ReferencePlot reference = window.BlankReference();
    // The host makes each block's handles on first use: that first redraw is the check, untimed.
    auto extension = [&] {
        gExtension.RedrawTrace(record.traceStartSample, record.traceEndSample, window.instance, true);
    };
    auto referenceLoop = [&] {
        reference.Restart();
        for (const FakeBlock& block : window.host.blocks)
            reference.Polyline(block.channels.at(1).data(), block.channels.at(2).data(), size_t(block.length));
    };
    extension();
    referenceLoop();
    if (SamePicture(state, window, reference)) {
        std::vector<float> xs, ys;
        Lissajous(shape, kSamples, 0, xs, ys);
        DescribeShape(state, record, xs, ys);
        TimeInTurns(state, kSamples, extension, referenceLoop);
    }
}
BENCHMARK(BM_Redraw)->ArgNames({"shape"})->Arg(kSteps)->Arg(kDense)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
