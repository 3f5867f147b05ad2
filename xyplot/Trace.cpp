// The trace's inner loop, shared by live plotting and the redraw: samples to
// pixels, and a line to each through the toolbox.
#include "XYPlotExtension.h"

int32_t FirstPlacedSample(const PixelMapping& mapping, const float* xs, const float* ys, int32_t first, int32_t end,
                          int16_t* h, int16_t* v)
{
    while (first < end && !mapping.Map(xs[first], ys[first], h, v)) ++first;
    return first;
}

bool LineToSamples(const PixelMapping& mapping, const float* xs, const float* ys, int32_t first, int32_t end,
                   int16_t* h, int16_t* v)
{
    // A line to the pixel the previous line of this call ended on would draw
    // that one pixel again, in the same port, clip and colour, with nothing
    // drawn in between: the sample is passed over. The first line of a call is
    // always drawn, since the caller may have moved the pen or erased.
    constexpr int32_t kNoLine = INT32_MIN;
    int32_t lineH = kNoLine, lineV = kNoLine;
    for (int32_t i = first; i < end; ++i) {
        int16_t sampleH, sampleV;
        if (!mapping.Map(xs[i], ys[i], &sampleH, &sampleV)) continue;
        if (sampleH == lineH && sampleV == lineV) continue;
        LineTo(sampleH, sampleV);
        lineH = sampleH;
        lineV = sampleV;
    }
    if (lineH == kNoLine) return false;
    *h = int16_t(lineH);
    *v = int16_t(lineV);
    return true;
}
