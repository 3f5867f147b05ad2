// Helpers shared by the toolbox tests: a current offscreen port, pixel
// queries, and a PNG dump for looking at what a port shows.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <vector>
#include <string>
#include <utility>

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

// Writes the port's pixels as an RGB PNG; returns false when the file can't be written.
bool WritePortPng(CGrafPtr port, const std::string& path);

// A Pascal string from a literal, for toolbox calls: Pstr("Erase Now").
struct Pstr {
    explicit Pstr(std::string_view text) { CopyCStringToPascal(text, bytes); }
    operator ConstStr255Param() const { return bytes; }
    Str255 bytes;
};

// Answers the toolbox's tracking calls from fields a test sets.
class ScriptedInput : public InputSource {
public:
    SInt32 growAnswer = 0;
    bool trackAnswer = false;
    SInt16 dialogAnswer = 0;
    SInt16 menuAnswer = 0;
    Rect lastGrowLimits{0, 0, 0, 0};
    int calls = 0;

    SInt32 GrowWindow(WindowRef, Point, const Rect& limits) override
    {
        ++calls;
        lastGrowLimits = limits;
        return growAnswer;
    }
    bool TrackControl(ControlRef, Point) override { return ++calls, trackAnswer; }
    SInt16 ModalDialogHit(DialogRef) override { return ++calls, dialogAnswer; }
    SInt16 PopUpMenuSelect(MenuRef, Point) override { return ++calls, menuAnswer; }
    Point TrackDrag(WindowRef, Point start) override { return ++calls, start; }
};

// Installs a scripted input source for the scope.
struct InputScope {
    explicit InputScope(InputSource* source) { SetInputSource(source); }
    ~InputScope() { SetInputSource(nullptr); }
};

// A resource file written for the test and opened; closed at the end.
class ResourceScope {
public:
    explicit ResourceScope(const std::string& json);
    ~ResourceScope();

private:
    std::string path_;
    SInt16 refNum_ = 0;
};

inline std::vector<int> Edges(const Rect& r) { return {r.top, r.left, r.bottom, r.right}; }
