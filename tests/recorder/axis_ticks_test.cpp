// The arithmetic of an axis's scale, without a port: 1-2-5 steps, tick
// indices at the edges of a range, labels, minor subdivisions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "recorder/AxisTicks.h"

namespace {

using recorder::CompactTick;
using recorder::FormatTick;
using recorder::LabelOffset;
using recorder::MinorSubdivisions;
using recorder::NiceStep;
using recorder::NiceStepAtLeast;
using recorder::OffsetTerm;
using recorder::TickIndices;

std::pair<int, int> Parts(NiceStep step) { return {step.mantissa, step.exponent}; }

}  // namespace

TEST(AxisTicks, StepsAreTheSmallestOneTwoFiveAtLeastTheMinimum)
{
    EXPECT_EQ(Parts(NiceStepAtLeast(0.3)), std::make_pair(5, -1));
    EXPECT_EQ(Parts(NiceStepAtLeast(0.1)), std::make_pair(1, -1));  // a power of ten is its own step
    EXPECT_EQ(Parts(NiceStepAtLeast(1.0)), std::make_pair(1, 0));
    EXPECT_EQ(Parts(NiceStepAtLeast(1.0000001)), std::make_pair(2, 0));
    EXPECT_EQ(Parts(NiceStepAtLeast(7)), std::make_pair(1, 1));
    EXPECT_EQ(Parts(NiceStepAtLeast(2.5e-8)), std::make_pair(5, -8));
    EXPECT_EQ(Parts(NiceStep{5, -1}.Next()), std::make_pair(1, 0));
    EXPECT_EQ((NiceStep{2, -3}).Decimals(), 3);
    EXPECT_EQ((NiceStep{5, 2}).Decimals(), 0);
}

TEST(AxisTicks, MultiplesOfADecimalStepAreExact)
{
    // Three tenths is 0.3 itself, not 3 x 0.1 (0.30000000000000004).
    EXPECT_EQ((NiceStep{1, -1}).Times(3), 0.3);
    EXPECT_NE((NiceStep{1, -1}).Value() * 3, 0.3);
    EXPECT_EQ((NiceStep{2, 3}).Times(-4), -8000.0);
}

TEST(AxisTicks, TickIndicesIncludeEndsOnTheStepDespiteRounding)
{
    int64_t first = 0, last = 0;
    ASSERT_TRUE(TickIndices(-1, 1, 0.5, 100, &first, &last));
    EXPECT_EQ(first, -2);
    EXPECT_EQ(last, 2);
    // 0.1 + 0.2 lies a hair above 0.3: the tick at 0.3 still counts.
    ASSERT_TRUE(TickIndices(0.1 + 0.2, 0.7, 0.1, 100, &first, &last));
    EXPECT_EQ(first, 3);
    EXPECT_EQ(last, 7);
    ASSERT_TRUE(TickIndices(0.05, 0.35, 0.1, 100, &first, &last));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 3);
}

TEST(AxisTicks, NoIndicesForTooManyTicksOrOnesADoubleCannotCount)
{
    int64_t first = 7, last = 7;
    EXPECT_FALSE(TickIndices(0, 100, 1, 50, &first, &last));
    EXPECT_FALSE(TickIndices(0.2, 0.8, 1, 50, &first, &last));  // no multiple inside
    EXPECT_FALSE(TickIndices(0, 1, 0, 50, &first, &last));
    EXPECT_FALSE(TickIndices(0, 1, std::nan(""), 50, &first, &last));
    EXPECT_FALSE(TickIndices(1e17, 1e17 + 64, 1, 100, &first, &last));  // beyond 2^52
    EXPECT_EQ(first, 7);                                                // untouched when false
    EXPECT_EQ(last, 7);
}

TEST(AxisTicks, LabelsAreFixedUpToSixDecimalsThenCompactExponents)
{
    EXPECT_EQ(FormatTick(-0.0, NiceStep{1, -1}, 1, 1.0), "0.0");
    EXPECT_EQ(FormatTick(0.25, NiceStep{5, -2}, 2, 1.0), "0.25");
    EXPECT_EQ(FormatTick(-120, NiceStep{2, 1}, 0, 200), "-120");
    EXPECT_EQ(FormatTick(4e7, NiceStep{1, 7}, 0, 5e7), "4e7");
    EXPECT_EQ(FormatTick(-2.5e-8, NiceStep{5, -9}, 9, 5e-8), "-2.5e-8");
    EXPECT_EQ(FormatTick(0.0, NiceStep{5, -9}, 9, 5e-8), "0");
    EXPECT_EQ(FormatTick(1.5e7, NiceStep{5, 6}, 0, 2e7), "1.5e7");
}

TEST(AxisTicks, CompactLabelsTakeAnSIPrefixWithTheDecimalsTheStepNeeds)
{
    EXPECT_EQ(CompactTick(-200000, NiceStep{5, 4}, 250000), "-200k");
    EXPECT_EQ(CompactTick(-215000, NiceStep{5, 3}, 250000), "-215k");
    EXPECT_EQ(CompactTick(-218360, NiceStep{2, 1}, 218400), "-218.36k");
    EXPECT_EQ(CompactTick(1.5e6, NiceStep{5, 5}, 2e6), "1.5M");
    EXPECT_EQ(CompactTick(2e12, NiceStep{1, 12}, 5e12), "2T");
    EXPECT_EQ(CompactTick(9e14, NiceStep{1, 14}, 9.99999999999999e14), "900T");
    EXPECT_EQ(CompactTick(-0.0015, NiceStep{5, -4}, 0.0025), "-1.5m");
    EXPECT_EQ(CompactTick(2.5e-5, NiceStep{5, -6}, 5e-5), "25\xB5");
    EXPECT_EQ(CompactTick(0.0, NiceStep{5, 4}, 250000), "0");
    // No prefix between 1 and 1000, nor beyond the prefixes.
    EXPECT_EQ(CompactTick(500, NiceStep{1, 2}, 999), "");
    EXPECT_EQ(CompactTick(1, NiceStep{1, 0}, 1), "");
    EXPECT_EQ(CompactTick(2e15, NiceStep{1, 15}, 5e15), "");
    EXPECT_EQ(CompactTick(1e-13, NiceStep{1, -13}, 5e-13), "");
}

TEST(AxisTicks, AnOffsetIsARoundValueNearTheMiddleOfANarrowRangeFarFromZero)
{
    EXPECT_EQ(LabelOffset(-218420, -218300), -218000);
    EXPECT_EQ(LabelOffset(1000.01, 1000.04), 1000);
    EXPECT_EQ(LabelOffset(99950, 100050), 100000);
    EXPECT_EQ(LabelOffset(-5, 5), 0) << "zero in the range";
    EXPECT_EQ(LabelOffset(100, 300), 0) << "within two spans of zero";
    EXPECT_EQ(LabelOffset(1, 1), 0);
    EXPECT_EQ(LabelOffset(0, INFINITY), 0);
    EXPECT_EQ(OffsetTerm(-218000), " + 218000");
    EXPECT_EQ(OffsetTerm(1000), " - 1000");
    EXPECT_EQ(OffsetTerm(1.0001), " - 1.0001");
}

TEST(AxisTicks, MinorTicksCutAStepIntoFiveFourTwoOrNothing)
{
    EXPECT_EQ(MinorSubdivisions(NiceStep{1, 0}, 40, 4), 5);
    EXPECT_EQ(MinorSubdivisions(NiceStep{2, 0}, 40, 4), 4);
    EXPECT_EQ(MinorSubdivisions(NiceStep{5, 0}, 40, 4), 5);
    EXPECT_EQ(MinorSubdivisions(NiceStep{1, 0}, 15, 4), 2);  // fifths would be 3 pixels
    EXPECT_EQ(MinorSubdivisions(NiceStep{2, 0}, 12, 4), 2);
    EXPECT_EQ(MinorSubdivisions(NiceStep{5, 0}, 15, 4), 1);  // fives do not halve into the scale
    EXPECT_EQ(MinorSubdivisions(NiceStep{1, 0}, 7, 4), 1);
}
