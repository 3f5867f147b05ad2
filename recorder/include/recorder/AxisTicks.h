// The arithmetic of an axis's scale, apart from any port: 1-2-5 steps, the
// multiples of a step within a range, tick labels and minor subdivisions.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace recorder {

// Labels show at most this many decimals in fixed form; more go to exponent form.
constexpr int kMaxTickDecimals = 6;

// A 1-2-5 step: mantissa x 10^exponent.
struct NiceStep {
    int mantissa;
    int exponent;
    double Value() const;
    // k steps, exact for decimal steps as far as a double allows.
    double Times(double k) const;
    NiceStep Next() const;  // 1 -> 2 -> 5 -> 10
    int Decimals() const { return std::max(0, -exponent); }
};

// The smallest 1-2-5 step of at least minimum (a positive, finite value).
NiceStep NiceStepAtLeast(double minimum);

// Tick indices first..last (inclusive) of multiples of step within lo..hi;
// false when there are none, more than maxCount, or indices a double can't
// count exactly.
bool TickIndices(double lo, double hi, double step, int maxCount, int64_t* first, int64_t* last);

// A tick's label: fixed with decimals digits after the point while largest
// (the range's largest magnitude) is below 1e7 and decimals at most
// kMaxTickDecimals; otherwise a compact exponent form ("4e7", "-2.5e-8")
// with as many digits as the step needs. Never "-0".
std::string FormatTick(double value, const NiceStep& step, int decimals, double largest);

// The same tick shorter, for labels that don't fit their room: the value in
// units of the power of 1000 that brings the range's largest magnitude below
// 1000, followed by its SI prefix ("-250k", "1.5M", "25\xB5" in Mac Roman),
// with the decimals the step needs there. Empty when no prefix applies: a
// largest magnitude from 1 to 1000, below 1e-12 or from 1e15 on.
std::string CompactTick(double value, const NiceStep& step, double largest);

// A round value near the middle of lo..hi that labels may be shown less
// (a multiple of the power of ten at least the span); 0 when there is none,
// or when it would not shorten them (0 lies within a span of the range).
double LabelOffset(double lo, double hi);
// How a title names that offset: " - 218000" for 218000, " + 218000" for -218000.
std::string OffsetTerm(double offset);

// Into how many parts minor ticks cut a major step spacing pixels long, each
// part at least leastSpacing pixels: 5 or 4 (for a step of 2), else 2, else 1
// (no minor ticks).
int MinorSubdivisions(const NiceStep& step, double spacing, int leastSpacing);

}  // namespace recorder
