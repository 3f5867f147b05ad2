// The built-in recording: a heart's pressure-volume loop, a Lissajous pair
// and a correlated random walk, all from one seed.
#include "signals/DemoSignals.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Uniform and normal numbers from mt19937 alone: the standard distributions
// may differ between library versions, and the seed must replay anywhere.
class Random {
public:
    explicit Random(uint32_t seed) : engine_(seed) {}
    double Uniform() { return (double(engine_()) + 0.5) / 4294967296.0; }  // (0, 1)
    double Normal()
    {
        double u = Uniform(), v = Uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2 * kPi * v);
    }

private:
    std::mt19937 engine_;
};

double Ease(double u) { return 0.5 - 0.5 * std::cos(kPi * std::clamp(u, 0.0, 1.0)); }

// One heartbeat of the left ventricle, traced counter-clockwise in the
// volume-pressure plane: isovolumic contraction, ejection, isovolumic
// relaxation, filling.
struct Beat {
    double period;           // s
    double endDiastolic;     // mL
    double endSystolic;      // mL
    double fillingPressure;  // mmHg at the end of filling
    double openingPressure;  // mmHg when the aortic valve opens
    double closingPressure;  // mmHg when it closes
    double peakRise;         // mmHg above the straight line during ejection
    double minimumPressure;  // mmHg after relaxation

    static constexpr double kContraction = 0.08, kEjection = 0.38, kRelaxation = 0.48;

    // Filling ends where the next beat starts, so the loop closes without a step.
    void At(double phase, const Beat& next, double& volume, double& pressure) const
    {
        if (phase < kContraction) {
            double u = phase / kContraction;
            volume = endDiastolic;
            pressure = fillingPressure + (openingPressure - fillingPressure) * u * u;
        } else if (phase < kEjection) {
            double u = (phase - kContraction) / (kEjection - kContraction);
            volume = endDiastolic - (endDiastolic - endSystolic) * Ease(u);
            pressure = openingPressure + (closingPressure - openingPressure) * u + peakRise * std::sin(kPi * u);
        } else if (phase < kRelaxation) {
            double u = (phase - kEjection) / (kRelaxation - kEjection);
            volume = endSystolic;
            pressure = minimumPressure + (closingPressure - minimumPressure) * (1 - Ease(u));
        } else {
            double u = (phase - kRelaxation) / (1 - kRelaxation);
            double filled = 1 - (1 - u) * (1 - u) * (1 - u);  // rapid early filling
            volume = endSystolic + (next.endDiastolic - endSystolic) * filled;
            pressure = minimumPressure + (next.fillingPressure - minimumPressure) * u * u;
        }
    }
};

Beat NextBeat(Random& random, double time)
{
    // Breathing at 0.25 Hz moves filling; each beat varies a little on its own.
    double breath = std::sin(2 * kPi * 0.25 * time);
    auto jitter = [&](double spread) { return 1 + spread * (2 * random.Uniform() - 1); };
    Beat beat;
    beat.period = 0.8 * jitter(0.04);
    beat.endDiastolic = (120 + 4 * breath) * jitter(0.02);
    beat.endSystolic = 50 * jitter(0.03);
    beat.fillingPressure = (10 + 1.5 * breath) * jitter(0.05);
    beat.openingPressure = 80 * jitter(0.03);
    beat.closingPressure = 95 * jitter(0.03);
    beat.peakRise = 28 * jitter(0.05);
    beat.minimumPressure = 4 * jitter(0.1);
    return beat;
}

}  // namespace

SignalSet MakeDemoSignals(const DemoOptions& options)
{
    if (!(options.sampleRate > 0) || !std::isfinite(options.sampleRate))
        throw std::invalid_argument("the sample rate must be a positive number of hertz");
    if (!(options.duration > 0) || !std::isfinite(options.duration))
        throw std::invalid_argument("the duration must be a positive number of seconds");
    double exact = options.sampleRate * options.duration;
    if (exact > 2147483647.0) throw std::invalid_argument("rate × duration gives more than 2^31 samples");
    size_t count = std::max<size_t>(1, size_t(std::llround(exact)));
    double dt = 1.0 / options.sampleRate;

    SignalSet set;
    set.sampleInterval = dt;
    auto add = [&](const char* title, const char* units, double low, double high, int16_t decimals) {
        SignalChannel channel;
        channel.info = ChannelSettings{title, units, low, high, decimals};
        channel.samples.resize(count);
        set.channels.push_back(std::move(channel));
    };
    add("Volume", "mL", 0, 160, 0);
    add("Pressure", "mmHg", 0, 160, 0);
    add("Sine A", "V", -1, 1, 1);
    add("Sine B", "V", -1, 1, 1);
    add("Noise X", "V", -1, 1, 1);
    add("Noise Y", "V", -1, 1, 1);
    auto channel = [&](int n) -> std::vector<float>& { return set.channels[size_t(n)].samples; };

    // Separate streams per figure, so changing one never moves another.
    Random heartRandom(options.seed);
    Random noiseRandom(options.seed ^ 0x9e3779b9u);

    Beat beat = NextBeat(heartRandom, 0);
    Beat next = NextBeat(heartRandom, beat.period);
    double beatStart = 0;
    // Noise: an Ornstein-Uhlenbeck pair, correlation 0.6, settling in 0.5 s.
    const double theta = 2.0, deviation = 0.25, correlation = 0.6;
    const double decay = std::exp(-theta * dt);
    const double kick = deviation * std::sqrt(1 - decay * decay);
    double noiseX = 0, noiseY = 0;

    for (size_t i = 0; i < count; ++i) {
        double t = double(i) * dt;
        while (t - beatStart >= beat.period) {
            beatStart += beat.period;
            beat = next;
            next = NextBeat(heartRandom, beatStart + beat.period);
        }
        double volume, pressure;
        beat.At((t - beatStart) / beat.period, next, volume, pressure);
        channel(0)[i] = float(volume);
        channel(1)[i] = float(pressure);

        double drift = 2 * kPi * 0.02 * t;  // a full turn every 50 s
        channel(2)[i] = float(0.8 * std::sin(2 * kPi * 3 * t));
        channel(3)[i] = float(0.8 * std::sin(2 * kPi * 2 * t + drift));

        double a = noiseRandom.Normal(), b = noiseRandom.Normal();
        noiseX = decay * noiseX + kick * a;
        noiseY = decay * noiseY + kick * (correlation * a + std::sqrt(1 - correlation * correlation) * b);
        channel(4)[i] = float(std::clamp(noiseX, -0.9, 0.9));
        channel(5)[i] = float(std::clamp(noiseY, -0.9, 0.9));
    }
    return set;
}
