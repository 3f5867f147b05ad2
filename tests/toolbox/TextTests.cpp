// Text: widths, metrics, Mac Roman characters, anti-aliased drawing at the
// pen, clipping.
#include "ToolboxTestSupport.h"

namespace {

class TextTest : public PortTest {
protected:
    void SetUp() override
    {
        UsePort(120, 30);
        TextFont(applFont);
        TextSize(12);
        TextFace(normal);
    }
};

TEST_F(TextTest, WidthsAddUpAndFollowFaceAndSize)
{
    EXPECT_EQ(StringWidth(Pstr("")), 0);
    const SInt16 narrow = StringWidth(Pstr("iiii")), wide = StringWidth(Pstr("WWWW"));
    EXPECT_GT(narrow, 0);
    EXPECT_GT(wide, narrow * 2);
    EXPECT_EQ(StringWidth(Pstr("iiiiWWWW")), narrow + wide);
    EXPECT_EQ(TextWidth("xxWWWWyy", 2, 4), wide);
    EXPECT_EQ(TextWidth("WW", 0, 0), 0);
    TextFace(bold);
    EXPECT_GT(StringWidth(Pstr("WWWW")), wide);
    TextFace(normal);
    TextSize(24);
    EXPECT_GT(StringWidth(Pstr("WWWW")), wide * 3 / 2);
}

TEST_F(TextTest, FontInfoFitsTheSize)
{
    FontInfo info;
    GetFontInfo(&info);
    EXPECT_GE(info.ascent, 9);
    EXPECT_LE(info.ascent, 13);
    EXPECT_GE(info.descent, 2);
    EXPECT_LE(info.descent, 4);
    EXPECT_GE(info.widMax, 10);
    TextSize(9);
    FontInfo small;
    GetFontInfo(&small);
    EXPECT_LT(small.ascent, info.ascent);
}

TEST_F(TextTest, MacRomanCharactersHaveGlyphsAndControlCharactersNone)
{
    for (unsigned char c : {0xB5, 0xA1, 0xC9, 0xB1}) {  // µ ° … ±
        const char text[1] = {char(c)};
        EXPECT_GT(TextWidth(text, 0, 1), 0) << "byte " << int(c);
    }
    // "µ" is its own glyph, not a "u".
    const unsigned char micro[] = {1, 0xB5}, u[] = {1, 'u'};
    MoveTo(2, 20);
    DrawString(micro);
    const auto microPixels = Inked();
    const Rect all{0, 0, 30, 120};
    EraseRect(&all);
    MoveTo(2, 20);
    DrawString(u);
    EXPECT_NE(Inked(), microPixels);
    const char control[2] = {0x01, 0x7F};
    EXPECT_EQ(TextWidth(control, 0, 2), 0);
}

TEST_F(TextTest, DrawStringInksNearThePenAndAdvancesIt)
{
    MoveTo(10, 20);
    DrawString(Pstr("Hello"));
    const SInt16 width = StringWidth(Pstr("Hello"));
    Point pen;
    GetPen(&pen);
    EXPECT_EQ(pen.h, 10 + width);
    EXPECT_EQ(pen.v, 20);
    FontInfo info;
    GetFontInfo(&info);
    const auto inked = Inked();
    ASSERT_GT(inked.size(), 20u);
    bool antiAliased = false;
    for (const auto& [h, v] : inked) {
        EXPECT_GE(h, 10);
        EXPECT_LE(h, 10 + width);
        EXPECT_GE(v, 20 - info.ascent);
        EXPECT_LE(v, 20 + info.descent);
        const UInt32 p = GetPortPixel(port_, SInt16(h), SInt16(v));
        antiAliased |= p != kBlack;
    }
    EXPECT_TRUE(antiAliased);
}

TEST_F(TextTest, TextIsClippedAndTakesTheForeColour)
{
    const Rect clip{0, 0, 30, 20};
    ClipRect(&clip);
    const RGBColor red{0xFFFF, 0, 0};
    RGBForeColor(&red);
    MoveTo(5, 20);
    DrawString(Pstr("MMMMMM"));
    const auto inked = Inked();
    ASSERT_FALSE(inked.empty());
    for (const auto& [h, v] : inked) EXPECT_LT(h, 20);
    bool pureRed = false;
    for (const auto& [h, v] : inked) pureRed |= GetPortPixel(port_, SInt16(h), SInt16(v)) == 0xFF0000;
    EXPECT_TRUE(pureRed);
}

}  // namespace
