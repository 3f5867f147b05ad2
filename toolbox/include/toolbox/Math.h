// The system math routine the extension uses, inline because it runs for
// every plotted sample.
#pragma once

#include <cstdint>

#include "toolbox/MacTypes.h"

#pragma GCC visibility push(default)  // the library exports what its headers declare

// roundtol without its range tests, for a caller that has made them: x must
// lie strictly inside the 32-bit range (-2147483648.5 < x < 2147483647.5).
inline SInt32 RoundtolInRange(double x)
{
    auto whole = static_cast<int64_t>(x);  // truncates towards zero
    double fraction = x - double(whole);   // exact below 2^52
    whole += (fraction >= 0.5) - (fraction <= -0.5);
    return static_cast<SInt32>(whole);
}

// Nearest 32-bit integer, halves away from zero. Values beyond the 32-bit
// range saturate at its ends; NaN gives 0.
inline SInt32 roundtol(double x)
{
    if (x > -2147483648.5 && x < 2147483647.5) return RoundtolInRange(x);
    if (x != x) return 0;
    return x > 0 ? INT32_MAX : INT32_MIN;
}

#pragma GCC visibility pop
