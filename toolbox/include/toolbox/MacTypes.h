// Basic types of the classic toolbox, with the widths of the 32-bit platform.
// Rect is top, left, bottom, right; Point is v, h; Pascal strings are a length
// byte followed by up to 255 bytes.
#pragma once

#include <cstdint>

using SInt8 = int8_t;
using UInt8 = uint8_t;
using SInt16 = int16_t;
using UInt16 = uint16_t;
using SInt32 = int32_t;
using UInt32 = uint32_t;
using Boolean = uint8_t;
using OSErr = int16_t;
using OSStatus = int32_t;
using ResType = uint32_t;
using OSType = uint32_t;
using Size = int32_t;
using Ptr = char*;
using Handle = char**;
using StringPtr = unsigned char*;
using ConstStringPtr = const unsigned char*;
using ConstStr255Param = const unsigned char*;
using Str255 = unsigned char[256];

enum : OSErr {
    noErr = 0,
    paramErr = -50,
    memFullErr = -108,
    nilHandleErr = -109,
    memWZErr = -111,
    resNotFound = -192,
    fnfErr = -43,
};

struct Rect {
    SInt16 top;
    SInt16 left;
    SInt16 bottom;
    SInt16 right;
};
static_assert(sizeof(Rect) == 8);

struct Point {
    SInt16 v;
    SInt16 h;
};
static_assert(sizeof(Point) == 4);

struct RGBColor {
    UInt16 red;
    UInt16 green;
    UInt16 blue;
};

// Four-character codes, spelled as on the platform: FourCharCode("WIND").
constexpr uint32_t FourCharCode(const char (&code)[5])
{
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) | (uint32_t(uint8_t(code[2])) << 8) |
           uint32_t(uint8_t(code[3]));
}

// Opaque references. Every object behind them lives in the low memory zone, so
// that its address fits the 32-bit fields of the host ABI.
struct OpaqueWindowPtr;
struct OpaqueControlRef;
struct OpaqueMenuRef;
struct OpaqueDialogPtr;
struct OpaqueGrafPtr;
struct OpaqueRgnHandle;
struct OpaqueEventRef;
struct OpaqueEventHandlerCallRef;
struct OpaqueEventTargetRef;
struct OpaqueEventHandlerRef;

using WindowRef = OpaqueWindowPtr*;
using WindowPtr = WindowRef;
using ControlRef = OpaqueControlRef*;
using ControlHandle = ControlRef;
using MenuRef = OpaqueMenuRef*;
using MenuHandle = MenuRef;
using DialogRef = OpaqueDialogPtr*;
using DialogPtr = DialogRef;
using CGrafPtr = OpaqueGrafPtr*;
using GrafPtr = CGrafPtr;
using RgnHandle = OpaqueRgnHandle*;
using EventRef = OpaqueEventRef*;
using EventHandlerCallRef = OpaqueEventHandlerCallRef*;
using EventTargetRef = OpaqueEventTargetRef*;
using EventHandlerRef = OpaqueEventHandlerRef*;

// Pascal string helpers used across the toolbox and its callers.
#include <string>
#include <string_view>

#pragma GCC visibility push(default)  // the library exports what its headers declare

// Copies text into a length-prefixed buffer of 256 bytes, cutting at 255 bytes.
void CopyCStringToPascal(std::string_view text, unsigned char* out);
// The text of a length-prefixed string.
std::string PascalToString(ConstStringPtr text);

// Mac Roman, the platform's text encoding.
char32_t MacRomanToUnicode(unsigned char c);
std::string MacRomanToUtf8(std::string_view macRoman);
std::string UnicodeToUtf8(std::u32string_view text);
// False (and out unchanged) when the text is not UTF-8 or has a character with no Mac Roman form.
bool Utf8ToMacRoman(std::string_view utf8, std::string* out);

#pragma GCC visibility pop
