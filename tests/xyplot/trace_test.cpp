// The trace's pixels against a plain model of the drawing: each sample mapped
// on its own by the mapping's rule and joined with a LineTo of its own, on
// seeded random data (NaN, infinities, huge values, values that saturate,
// exact halves) and axis ranges (far from zero, tiny, infinite and reversed).
#include <cmath>
#include <optional>
#include <random>

#include "PlotFixture.h"

namespace {

constexpr unsigned kSeed = 20260513;

// roundtol's rule on its own terms: nearest, halves away from zero, saturated
// at the 32-bit range, 0 for NaN.
int64_t ModelRound(double x)
{
    if (std::isnan(x)) return 0;
    return int64_t(std::clamp(std::round(x), double(INT32_MIN), double(INT32_MAX)));
}

// origin + round(value x scale), saturated at the 16-bit range; the origin is
// the pixel offset before it is narrowed to 16 bits.
struct ModelMapping {
    double xScale, yScale;
    int64_t xOrigin, yOrigin;

    explicit ModelMapping(const LocalDataType& r)
        : xScale(r.xPixelsPerUnit), yScale(r.yPixelsPerUnit),
          xOrigin(r.plotRect.left - ModelRound(r.xPixelsPerUnit * r.xLeftValue)),
          yOrigin(r.plotRect.top - ModelRound(r.yPixelsPerUnit * r.yTopValue))
    {}

    static int16_t Coordinate(float value, double scale, int64_t origin)
    {
        return int16_t(std::clamp<int64_t>(origin + ModelRound(double(value) * scale), INT16_MIN, INT16_MAX));
    }

    std::optional<Point> Pixel(float x, float y) const
    {
        if (std::isnan(x) || std::isnan(y)) return std::nullopt;
        return Point{Coordinate(y, yScale, yOrigin), Coordinate(x, xScale, xOrigin)};
    }
};

// Axis ends and sample values of the kinds that have tripped mappings up.
class RandomPlot {
public:
    explicit RandomPlot(unsigned seed) : random_(seed) {}

    // Ends of one axis, the low-pixel end first, for an axis `pixels` long.
    std::pair<double, double> Ends(int pixels)
    {
        const double sign = Chance(0.2) ? -1 : 1;  // a reversed axis
        const double centre = Uniform(-10, 10);
        // A power-of-two scale makes products land exactly on halves and on the range limits.
        const double powerOfTwoSpan = pixels / std::ldexp(1.0, Pick(10) - 3);
        switch (Pick(7)) {
        case 0: {  // far from zero: large offsets, beyond roundtol's range for some
            const double farCentre = std::round(std::pow(10.0, Uniform(4, 10))) * (Chance(0.5) ? 1 : -1);
            return Around(farCentre, sign * (Chance(0.5) ? powerOfTwoSpan : Uniform(0.5, 100)));
        }
        case 1:  // a tiny span: huge scales, everything saturates, a subnormal span gives an infinite one
            return Around(centre, sign * std::pow(10.0, -Uniform(6, 320)));
        case 2: {
            const double low = std::round(centre) / 8;
            return {low, low + sign * powerOfTwoSpan};
        }
        case 3:  // infinite or not-a-number ends
            return Chance(0.5) ? std::pair{-double(INFINITY), 1.0} : std::pair{std::nan(""), 2.0};
        case 4:  // equal ends
            return {centre, centre};
        default:
            return Around(centre, sign * Uniform(0.01, 20));
        }
    }

    // A sample for an axis whose ends are (low, high) and whose pixels are origin + value x scale.
    float Value(double low, double high, double scale, int64_t origin)
    {
        const int kind = Pick(20);
        if (kind == 0) return std::nanf("");
        if (kind == 1) return Chance(0.5) ? INFINITY : -INFINITY;
        if (kind == 2) return Chance(0.5) ? 1e30f : -std::numeric_limits<float>::max();
        if (kind == 3) return Chance(0.5) ? 0.0f : std::numeric_limits<float>::denorm_min();
        if (kind <= 6) {  // about the ends of the 16-bit pixel range and of roundtol's
            const double edges[] = {double(INT16_MIN), double(INT16_MAX), -double(INT32_MAX), double(INT32_MAX)};
            const double limit = edges[Pick(4)] - (kind == 6 ? 0.0 : double(origin));
            return float((limit + 0.5 * (Pick(5) - 2)) / scale);
        }
        if (kind == 7) return float((std::round(Uniform(-400, 400)) + 0.5) / scale);  // exact halves
        if (kind == 8) return float(Uniform(-1e6, 1e6) / scale);                      // beyond the 16-bit range
        const double span = high - low;
        return float(low + span * Uniform(-0.2, 1.2));
    }

    bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    double Uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(random_); }

private:
    static std::pair<double, double> Around(double centre, double span)
    {
        return {centre - span / 2, centre + span / 2};
    }
    std::mt19937 random_;
};

class TraceTest : public PlotTest {
protected:
    void SetUp() override
    {
        PlotTest::SetUp();
        instance = NewWindow();
        SInt32 width, height;
        GetPortPixels(WindowPort(), &width, &height);
        model = CreateOffscreenPort(SInt16(width), SInt16(height));
    }
    void TearDown() override
    {
        DisposeOffscreenPort(model);
        PlotTest::TearDown();
    }

    CGrafPtr WindowPort() const { return GetWindowPort((*instance)->window); }

    // New random axis ranges, laid out as a range change would.
    void RandomAxes(RandomPlot& random)
    {
        LocalDataType& r = **instance;
        const Rect plot = r.plotRect;
        std::tie(r.xLeftValue, r.xRightValue) = random.Ends(plot.right - plot.left);
        std::tie(r.yBottomValue, r.yTopValue) = random.Ends(plot.bottom - plot.top);
        LayoutPlot(instance);
    }

    // Values of every kind, one after another or, half the time, mixed into a
    // walk of up to two pixels a sample, as dense data gives; some start with NaN.
    void RandomSamples(RandomPlot& random, size_t n, std::vector<float>& xs, std::vector<float>& ys)
    {
        const LocalDataType& r = **instance;
        const ModelMapping m(r);
        const bool walk = random.Chance(0.5), nanRun = random.Chance(0.2);
        xs.clear();
        ys.clear();
        for (size_t i = 0; i < n; ++i) {
            if (walk && i > 0 && !random.Chance(0.05)) {
                xs.push_back(float(xs.back() + random.Uniform(-2, 2) / m.xScale));
                ys.push_back(float(ys.back() + random.Uniform(-2, 2) / m.yScale));
            } else {
                xs.push_back(random.Value(r.xLeftValue, r.xRightValue, m.xScale, m.xOrigin));
                ys.push_back(random.Value(r.yBottomValue, r.yTopValue, m.yScale, m.yOrigin));
            }
        }
        if (nanRun) std::fill(xs.begin(), xs.begin() + ptrdiff_t(n / 3), std::nanf(""));
    }

    // Both ports blank inside the plot area, the model clipped as the trace is.
    void BlankPlots()
    {
        const Rect plot = (*instance)->plotRect;
        for (CGrafPtr port : {WindowPort(), model}) {
            SetPort(port);
            ClipRect(&plot);
            EraseRect(&plot);
        }
        SetPortToWindow((*instance)->window);
    }

    // The window's port and the model's agree pixel for pixel.
    ::testing::AssertionResult SamePictures() const
    {
        SInt32 width, height;
        const UInt32* drawn = GetPortPixels(WindowPort(), &width, &height);
        const UInt32* expected = GetPortPixels(model, &width, &height);
        const Rect plot = (*instance)->plotRect;
        for (int v = plot.top; v < plot.bottom; ++v)
            for (int h = plot.left; h < plot.right; ++h)
                if (drawn[v * width + h] != expected[v * width + h])
                    return ::testing::AssertionFailure() << "pixel (" << h << ", " << v << ") differs";
        return ::testing::AssertionSuccess();
    }

    LocalDataHandle instance = nullptr;
    CGrafPtr model = nullptr;
};

}  // namespace

TEST_F(TraceTest, MappingAgreesWithTheModelOnEverySample)
{
    std::vector<float> xs, ys;
    for (unsigned n = 0; n < 400; ++n) {
        RandomPlot random(kSeed + n);
        RandomAxes(random);
        RandomSamples(random, 1000, xs, ys);
        const PixelMapping mapping = PixelMapping::Of(**instance);
        const ModelMapping m(**instance);
        for (size_t i = 0; i < xs.size(); ++i) {
            int16_t h = 0, v = 0;
            const bool mapped = mapping.Map(xs[i], ys[i], &h, &v);
            const std::optional<Point> expected = m.Pixel(xs[i], ys[i]);
            ASSERT_EQ(mapped, expected.has_value()) << "seed " << kSeed + n << " sample " << i;
            if (!mapped) continue;
            ASSERT_EQ(h, expected->h) << "seed " << kSeed + n << " x " << xs[i] << " scale " << m.xScale;
            ASSERT_EQ(v, expected->v) << "seed " << kSeed + n << " y " << ys[i] << " scale " << m.yScale;
        }
    }
}

TEST_F(TraceTest, RedrawDrawsWhatThePlainModelDraws)
{
    std::vector<float> xs, ys;
    for (unsigned n = 0; n < 150; ++n) {
        RandomPlot random(kSeed + n);
        RandomAxes(random);
        // Blocks of random lengths (some empty), one polyline from start to end.
        host.blocks.clear();
        std::vector<float> allX, allY;
        for (int b = random.Pick(5); b >= 0; --b) {
            FakeBlock block;
            block.length = int16_t(random.Chance(0.2) ? 0 : random.Pick(400) + 1);
            RandomSamples(random, size_t(block.length), xs, ys);
            if (block.length > 0) {  // an empty block has no data handles
                block.channels[1] = xs;
                block.channels[2] = ys;
            }
            allX.insert(allX.end(), xs.begin(), xs.end());
            allY.insert(allY.end(), ys.begin(), ys.end());
            host.blocks.push_back(block);
        }
        if (allX.size() < 2) continue;
        const auto end = int32_t(random.Pick(int(allX.size()) - 1) + 1);
        const auto start = int32_t(random.Pick(end + 1));
        BlankPlots();
        MoveTo(0, 0);
        gExtension.RedrawTrace(start, end, instance, random.Chance(0.5));

        SetPort(model);
        MoveTo(0, 0);
        const ModelMapping m(**instance);
        bool first = true;
        for (int32_t i = start; i <= end; ++i) {
            const std::optional<Point> p = m.Pixel(allX[size_t(i)], allY[size_t(i)]);
            if (!p) continue;
            if (first)
                MoveTo(p->h, p->v);
            else
                LineTo(p->h, p->v);
            first = false;
        }
        ASSERT_TRUE(SamePictures()) << "seed " << kSeed + n << ", samples " << start << " to " << end;
        Point pen, modelPen;
        SetPortToWindow((*instance)->window);
        GetPen(&pen);
        SetPort(model);
        GetPen(&modelPen);
        ASSERT_EQ(std::make_pair(pen.h, pen.v), std::make_pair(modelPen.h, modelPen.v)) << "seed " << kSeed + n;
        EXPECT_EQ(host.locked, 0);
    }
}

TEST_F(TraceTest, LiveBatchesDrawWhatThePlainModelDraws)
{
    std::vector<float> xs, ys;
    for (unsigned n = 0; n < 150; ++n) {
        RandomPlot random(kSeed + n);
        RandomAxes(random);
        Notify(instance, kNotifySamplingStarted);
        BlankPlots();
        const ModelMapping m(**instance);
        std::optional<Point> modelPen;  // none until a batch has drawn: the trace restarts
        for (int b = random.Pick(12); b >= 0; --b) {
            RandomSamples(random, size_t(random.Pick(300)), xs, ys);
            const bool hasY = !random.Chance(0.1);
            std::map<int, std::vector<float>> channels{{1, xs}};
            if (hasY) channels[2] = ys;
            const Batch batch(channels, int16_t(xs.size()));
            Notify(instance, kNotifyNewData, batch.Word());
            if (hasY) {
                // The batch continues from the last point drawn, or starts at its first point that has a pixel.
                SetPort(model);
                size_t i = 0;
                if (!modelPen)
                    while (i < xs.size() && !(modelPen = m.Pixel(xs[i], ys[i]))) ++i;
                if (modelPen) MoveTo(modelPen->h, modelPen->v);
                for (; i < xs.size(); ++i) {
                    const std::optional<Point> p = m.Pixel(xs[i], ys[i]);
                    if (!p) continue;
                    LineTo(p->h, p->v);
                    modelPen = p;
                }
            }
            if (random.Chance(0.1)) {
                gExtension.EraseTrace(instance);
                SetPort(model);
                EraseRect(&(*instance)->plotRect);
            }
        }
        ASSERT_TRUE(SamePictures()) << "seed " << kSeed + n;
        ASSERT_EQ((*instance)->restartTrace, modelPen ? 0 : 1) << "seed " << kSeed + n;
        if (modelPen) {
            ASSERT_EQ(std::make_pair((*instance)->penX, (*instance)->penY), std::make_pair(modelPen->h, modelPen->v))
                << "seed " << kSeed + n;
        }
    }
}
