// Helpers shared by the toolbox tests: a current offscreen port, pixel
// queries, and a PNG dump for looking at what a port shows.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "toolbox/Toolbox.h"

constexpr UInt32 kWhite = 0xFFFFFF;
constexpr UInt32 kBlack = 0x000000;
constexpr Rect kWideOpen{-32768, -32768, 32767, 32767};

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
    // Coordinates (h, v) of every pixel that is not white.
    std::set<std::pair<int, int>> Inked() const { return InkedIn(port_); }
    static std::set<std::pair<int, int>> InkedIn(CGrafPtr port)
    {
        SInt32 width, height;
        const UInt32* pixels = GetPortPixels(port, &width, &height);
        std::set<std::pair<int, int>> inked;
        for (int v = 0; v < height; ++v)
            for (int h = 0; h < width; ++h)
                if (pixels[v * width + h] != kWhite) inked.insert({h, v});
        return inked;
    }
    CGrafPtr port_ = nullptr;
};

// Writes the port's pixels as an RGB PNG; returns false when the file can't be written.
bool WritePortPng(CGrafPtr port, const std::string& path);

// A Pascal string from a literal, for toolbox calls: Pstr("Erase Now").
struct Pstr {
    explicit Pstr(std::string_view text) { CopyCStringToPascal(text, bytes); }
    operator ConstStr255Param() const { return bytes; }
    Str255 bytes;
};
