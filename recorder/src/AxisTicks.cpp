// The arithmetic of an axis's scale: 1-2-5 steps, tick indices, labels.
#include "recorder/AxisTicks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace recorder {
namespace {

// Tick indices are counted as integers and turned into doubles; beyond 2^52 a
// double no longer tells neighbouring indices apart, so such a step can't be drawn.
constexpr double kLargestTickIndex = 4503599627370496.0;  // 2^52

}  // namespace

double NiceStep::Value() const
{
    return exponent >= 0 ? mantissa * std::pow(10.0, exponent) : mantissa / std::pow(10.0, -exponent);
}

double NiceStep::Times(double k) const
{
    return exponent >= 0 ? k * mantissa * std::pow(10.0, exponent) : k * mantissa / std::pow(10.0, -exponent);
}

NiceStep NiceStep::Next() const
{
    if (mantissa == 1) return {2, exponent};
    if (mantissa == 2) return {5, exponent};
    return {1, exponent + 1};
}

NiceStep NiceStepAtLeast(double minimum)
{
    int exponent = int(std::floor(std::log10(minimum)));
    NiceStep step{1, exponent};
    while (step.Value() < minimum * (1 - 1e-12)) step = step.Next();
    return step;
}

bool TickIndices(double lo, double hi, double step, int maxCount, int64_t* first, int64_t* last)
{
    if (!(step > 0) || !std::isfinite(step)) return false;
    double i0 = std::ceil(lo / step - 1e-9);
    double i1 = std::floor(hi / step + 1e-9);
    if (!(std::fabs(i0) <= kLargestTickIndex && std::fabs(i1) <= kLargestTickIndex)) return false;  // also NaN
    if (i1 < i0 || i1 - i0 > maxCount) return false;
    *first = int64_t(i0);
    *last = int64_t(i1);
    return true;
}

std::string FormatTick(double value, const NiceStep& step, int decimals, double largest)
{
    if (value == 0) value = 0.0;  // never "-0"
    char text[64];
    if (largest < 1e7 && decimals <= kMaxTickDecimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        return text;
    }
    int significant = int(std::floor(std::log10(largest))) - step.exponent + 1;
    std::snprintf(text, sizeof text, "%.*e", std::clamp(significant, 1, 12) - 1, value);
    std::string s = text;
    size_t e = s.find('e');
    std::string mantissa = s.substr(0, e);
    if (mantissa.find('.') != std::string::npos) {
        while (mantissa.back() == '0') mantissa.pop_back();
        if (mantissa.back() == '.') mantissa.pop_back();
    }
    int exponent = std::atoi(s.c_str() + e + 1);
    return exponent == 0 ? mantissa : mantissa + "e" + std::to_string(exponent);
}

std::string CompactTick(double value, const NiceStep& step, double largest)
{
    static const char* const kPrefixes[] = {"p", "n", "\xB5", "m", "", "k", "M", "G", "T"};  // 10^-12 .. 10^12
    if (!(largest >= 1e-12 && largest < 1e15)) return std::string();
    // Clamped: the nudge that keeps 1000 from falling short of "1k" may carry 999.99...T over.
    int power = std::clamp(3 * int(std::floor(std::log10(largest) / 3 + 1e-12)), -12, 12);
    if (power == 0) return std::string();
    if (value == 0) return "0";
    double scaled = power > 0 ? value / std::pow(10.0, power) : value * std::pow(10.0, -power);
    if (scaled == 0) scaled = 0.0;  // never "-0"
    char text[64];
    std::snprintf(text, sizeof text, "%.*f%s", std::max(0, power - step.exponent), scaled, kPrefixes[power / 3 + 4]);
    return text;
}

double LabelOffset(double lo, double hi)
{
    double span = hi - lo;
    if (!(span > 0) || !std::isfinite(span)) return 0;
    double power = std::pow(10.0, std::ceil(std::log10(span)));
    double offset = std::round((lo / 2 + hi / 2) / power) * power;
    if (!std::isfinite(offset) || std::fabs(offset) < 2 * power) return 0;
    return offset;
}

std::string OffsetTerm(double offset)
{
    double magnitude = std::fabs(offset);
    // The digits down to the offset's last one that is not zero.
    int digits = 0;
    while (digits < 12 && std::fabs(magnitude - std::round(magnitude * std::pow(10.0, digits)) /
                                                    std::pow(10.0, digits)) > magnitude * 1e-12)
        ++digits;
    std::string text = FormatTick(magnitude, NiceStep{1, -digits}, digits, magnitude);
    return (offset > 0 ? " - " : " + ") + text;
}

int MinorSubdivisions(const NiceStep& step, double spacing, int leastSpacing)
{
    int subdivisions = step.mantissa == 2 ? 4 : 5;
    if (spacing / subdivisions < leastSpacing) subdivisions = step.mantissa == 5 ? 1 : 2;
    return subdivisions > 1 && spacing / subdivisions >= leastSpacing ? subdivisions : 1;
}

}  // namespace recorder
