// The low zone and the resource files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "ResourceFiles.h"
#include "toolbox/Math.h"
#include "toolbox/Memory.h"
#include "toolbox/Menus.h"
#include "toolbox/Resources.h"

namespace {

constexpr uint64_t kFourGiB = uint64_t(1) << 32;

bool Low(const void* p) { return reinterpret_cast<uint64_t>(p) < kFourGiB; }

std::string OpenError(const std::string& path)
{
    try {
        OpenResourceFile(path);
    } catch (const ResourceFileError& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace

TEST(Memory, HandlesPointersAndLargeBlocksLieBelow4GiBAndComeBack)
{
    LowZoneStats before = GetLowZoneStats();
    Handle h = NewHandle(100);
    Ptr p = NewPtr(200);
    Ptr big = NewPtr(64 << 20);
    ASSERT_TRUE(h && p && big);
    EXPECT_TRUE(Low(h) && Low(*h) && Low(p) && Low(big) && Low(big + (64 << 20) - 1));
    EXPECT_EQ(GetHandleSize(h), 100);
    EXPECT_EQ(GetPtrSize(big), 64 << 20);
    big[(64 << 20) - 1] = 1;
    LowZoneStats during = GetLowZoneStats();
    EXPECT_EQ(during.liveBlocks, before.liveBlocks + 4);  // the handle has a master pointer
    EXPECT_GE(during.mappedBytes, before.mappedBytes + (64 << 20));
    DisposeHandle(h);
    DisposePtr(p);
    DisposePtr(big);
    LowZoneStats after = GetLowZoneStats();
    EXPECT_EQ(after.liveBlocks, before.liveBlocks);
    EXPECT_EQ(after.liveBytes, before.liveBytes);
    EXPECT_LT(after.mappedBytes, during.mappedBytes - (63 << 20));  // the large block was unmapped
}

TEST(Memory, ABlockOfARecordingsSizeFreedIsTakenAgainWithoutNewAddressSpaceButALimitGetsItBack)
{
    constexpr Size kBlock = 32767 * 4;  // a channel's block of a recording
    Ptr first = NewPtr(kBlock);
    ASSERT_TRUE(first);
    std::memset(first, 0x5A, size_t(kBlock));
    LowZoneStats held = GetLowZoneStats();
    DisposePtr(first);
    EXPECT_EQ(GetLowZoneStats().mappedBytes, held.mappedBytes);  // kept for the next of its length
    for (int i = 0; i < 100; ++i) {
        Ptr again = NewPtr(kBlock);
        ASSERT_TRUE(again);
        // Taken again whole, and filled as a new block is, not as the old one was left.
        EXPECT_EQ(static_cast<unsigned char>(again[kBlock - 1]), kUnsetMemoryByte);
        DisposePtr(again);
    }
    EXPECT_EQ(GetLowZoneStats().mappedBytes, held.mappedBytes);

    // Kept mappings give way to a limit: with no room beyond what is mapped,
    // a large block of another length still comes, in the kept one's room.
    SetLowZoneLimit(GetLowZoneStats().mappedBytes);
    Ptr other = NewPtr(kBlock - 8192);
    EXPECT_TRUE(other);
    DisposePtr(other);
    SetLowZoneLimit(SIZE_MAX);
}

TEST(Memory, NewBlocksShowTheUnsetPatternAndClearVariantsAreZero)
{
    Handle h = NewHandle(16);
    Ptr p = NewPtrClear(16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(static_cast<unsigned char>((*h)[i]), kUnsetMemoryByte);
        EXPECT_EQ(p[i], 0);
    }
    DisposeHandle(h);
    DisposePtr(p);
}

TEST(Memory, LockedHandlesDoNotMoveWhileUnlockedOnesGrow)
{
    Handle h = NewHandle(8);
    std::memcpy(*h, "abcdefg", 8);
    HLock(h);
    EXPECT_TRUE(HIsLocked(h));
    SetHandleSize(h, 100000);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(GetHandleSize(h), 8);
    HUnlock(h);
    SetHandleSize(h, 100000);
    EXPECT_EQ(MemError(), noErr);
    EXPECT_EQ(GetHandleSize(h), 100000);
    EXPECT_STREQ(*h, "abcdefg");
    EXPECT_TRUE(Low(*h));
    SetHandleSize(h, 4);
    EXPECT_EQ(GetHandleSize(h), 4);
    DisposeHandle(h);
    EXPECT_EQ(NewHandle(-1), nullptr);
    EXPECT_EQ(MemError(), paramErr);
}

TEST(Math, RoundtolRoundsHalvesAwayAndSaturates)
{
    EXPECT_EQ(roundtol(2.5), 3);
    EXPECT_EQ(roundtol(-2.5), -3);
    EXPECT_EQ(roundtol(-122.5), -123);
    EXPECT_EQ(roundtol(0.49999999999999994), 0);
    EXPECT_EQ(roundtol(-0.49999999999999994), 0);
    EXPECT_EQ(roundtol(1.5), 2);
    EXPECT_EQ(roundtol(-0.4), 0);
    EXPECT_EQ(roundtol(2147483647.4), 2147483647);
    EXPECT_EQ(roundtol(2147483647.5), INT32_MAX);
    EXPECT_EQ(roundtol(-2147483648.4), INT32_MIN);
    EXPECT_EQ(roundtol(1e300), INT32_MAX);
    EXPECT_EQ(roundtol(-1e300), INT32_MIN);
    EXPECT_EQ(roundtol(__builtin_inf()), INT32_MAX);
    EXPECT_EQ(roundtol(__builtin_nan("")), 0);
}

TEST(Resources, TheChainIsSearchedNewestFirstFromTheCurrentFile)
{
    std::string older = WriteTempFile("older.rsrc.json", R"({"STR#": {"7": ["old one", "old two"]},
        "MENU": {"5": {"title": "M", "items": ["A;B", "(C"]}}})");
    std::string newer = WriteTempFile("newer.rsrc.json", R"({"STR#": {"7": ["new one"]}})");
    SInt16 oldRef = OpenResourceFile(older);
    SInt16 newRef = OpenResourceFile(newer);
    Str255 text;
    GetIndString(text, 7, 1);
    EXPECT_EQ(PascalToString(text), "new one");
    GetIndString(text, 7, 2);  // the newer list has no second string
    EXPECT_EQ(text[0], 0);
    UseResFile(oldRef);
    GetIndString(text, 7, 2);
    EXPECT_EQ(PascalToString(text), "old two");
    UseResFile(newRef);
    MenuRef menu = GetMenu(5);  // found further down the chain
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(CountMenuItems(menu), 3);
    EXPECT_FALSE(IsMenuItemEnabled(menu, 3));
    MenuRef again = GetMenu(5);
    EXPECT_NE(menu, again);  // a fresh copy each time
    DisposeMenu(menu);
    DisposeMenu(again);
    EXPECT_EQ(GetMenu(6), nullptr);
    EXPECT_EQ(ResError(), resNotFound);
    CloseResFile(newRef);
    CloseResFile(oldRef);
}

TEST(Resources, BadFilesNameTheFileAndTheLine)
{
    EXPECT_EQ(OpenError("/nonexistent/x.rsrc.json"), "/nonexistent/x.rsrc.json: cannot open the resource file");
    std::string syntax = WriteTempFile("syntax.rsrc.json", "{\n  \"STR#\": {\n    \"1\": [\"a\",]\n  }\n}\n");
    std::string message = OpenError(syntax);
    EXPECT_EQ(message.rfind(syntax + ":3: syntax error", 0), 0u) << message;
    std::string shape =
        WriteTempFile("shape.rsrc.json", "{\n \"WIND\": {\n  \"1000\": {\"bounds\": [1, 2, 3]}\n }\n}\n");
    message = OpenError(shape);
    EXPECT_EQ(message, shape + ":3: WIND 1000: bounds must be [top, left, bottom, right]");
    std::string id = WriteTempFile("id.rsrc.json", "{\"STR#\": {\"x1\": []}}");
    EXPECT_NE(OpenError(id).find("resource ID \"x1\""), std::string::npos);
}

TEST(Resources, TheBundlesOwnFileHasWhatTheWindowNeeds)
{
    SInt16 ref = OpenResourceFile(XY_RESOURCE_PATH);
    const WindowTemplate* window = GetWindowTemplate(1000);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->growable && window->zoomable);
    const DialogTemplate* dialog = GetDialogTemplate(1000);
    ASSERT_NE(dialog, nullptr);
    ASSERT_GE(dialog->items.size(), 5u);
    EXPECT_EQ(dialog->items[0].kind, DialogItemKind::button);
    EXPECT_EQ(dialog->items[1].kind, DialogItemKind::button);
    EXPECT_EQ(dialog->items[2].kind, DialogItemKind::checkBox);
    EXPECT_EQ(dialog->items[3].kind, DialogItemKind::editText);
    EXPECT_EQ(dialog->items[4].kind, DialogItemKind::staticText);
    Str255 text;
    GetIndString(text, 2015, 3);
    EXPECT_GT(text[0], 0);
    CloseResFile(ref);
}
