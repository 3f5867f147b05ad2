// Helpers of the toolbox tests: a current offscreen port and the pixels inked
// in it. What other rooms' tests share too lives in tests/support.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "FakeInput.h"
#include "LeakCheck.h"
#include "PascalText.h"
#include "Pictures.h"
#include "RectMatchers.h"
#include "ResourceFiles.h"
#include "toolbox/Toolbox.h"

constexpr UInt32 kWhite = 0xFFFFFF;
constexpr UInt32 kBlack = 0x000000;
constexpr Rect kWideOpen{-32768, -32768, 32767, 32767};

// Coordinates (h, v) of every pixel of the port that is not white.
inline std::set<std::pair<int, int>> InkedIn(CGrafPtr port)
{
    SInt32 width, height;
    const UInt32* pixels = GetPortPixels(port, &width, &height);
    std::set<std::pair<int, int>> inked;
    for (int v = 0; v < height; ++v)
        for (int h = 0; h < width; ++h)
            if (pixels[v * width + h] != kWhite) inked.insert({h, v});
    return inked;
}

// A fresh offscreen port, current for the test's duration.
class PortTest : public ::testing::Test {
protected:
    void UsePort(SInt16 width, SInt16 height)
    {
        if (port_) DisposeOffscreenPort(port_);
        port_ = CreateOffscreenPort(width, height);
        SetPort(port_);
    }
    void TearDown() override
    {
        if (port_) DisposeOffscreenPort(port_);
        SetPort(nullptr);
    }
    std::set<std::pair<int, int>> Inked() const { return InkedIn(port_); }
    CGrafPtr port_ = nullptr;
};
