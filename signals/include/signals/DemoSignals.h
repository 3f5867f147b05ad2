// The built-in recording that `xyrecorder demo` samples: six channels in three
// pairs that each make a recognisable X-Y figure.
//
//   1 Volume   mL    left-ventricular volume, about 45..125 mL  } one closed
//   2 Pressure mmHg  left-ventricular pressure, about 4..125    } loop a beat
//   3 Sine A   V     0.8 V at 3 Hz                              } Lissajous 3:2,
//   4 Sine B   V     0.8 V at 2 Hz, phase drifting 7.2 deg/s    } slowly turning
//   5 Noise X  V     correlated random walk pulled back to 0,   } a cloud
//   6 Noise Y  V     standard deviation 0.25 V, within ±0.9 V   } along y = x
//
// Values are in the channels' own units. The sine and noise pairs fit the
// plot's default range of ±0.9765625; the heart's channels carry display
// ranges (0..160 mL, 0..160 mmHg) that the axes adopt to show the loop.
// Everything follows from the seed: the same seed gives the same samples.
#pragma once

#include <cstdint>

#include "signals/Signals.h"

struct DemoOptions {
    double sampleRate = 1000.0;  // Hz
    double duration = 10.0;      // seconds
    uint32_t seed = 20261207;
};

constexpr int kDemoChannelCount = 6;

// Throws std::invalid_argument for a rate or duration that is not positive or
// that gives more than 2^31 samples.
SignalSet MakeDemoSignals(const DemoOptions& options);
