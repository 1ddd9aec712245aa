#include <gtest/gtest.h>

#include "HexText.h"

namespace hc12 {
namespace {

TEST(HexText, FormatsExactDigitsOfTheLowBits) {
    EXPECT_EQ(FormatHex2(0), "00");
    EXPECT_EQ(FormatHex2(10), "0A");
    EXPECT_EQ(FormatHex2(255), "FF");
    EXPECT_EQ(FormatHex2(0x1AB), "AB");
    EXPECT_EQ(FormatHex4(0), "0000");
    EXPECT_EQ(FormatHex4(0x400), "0400");
    EXPECT_EQ(FormatHex4(0xFFF0), "FFF0");
    EXPECT_EQ(FormatHex4(0x12345), "2345");
}

TEST(HexText, CharacterRule) {
    struct Case {
        uint8_t byte;
        const char* text;
    };
    const Case cases[] = {
        {0x00, "."},
        {0x1F, "."},
        {0x7F, "."},
        {0xFF, "."},
        {0x20, " "},
        {0x2E, "."},
        {0x41, "A"},
        {0x7E, "~"},
        {0xB9, "\xC4\x85"} /* ą */,
        {0xA3, "\xC5\x81"} /* Ł */,
        {0x80, "\xE2\x82\xAC"} /* € */,
        // No character in the code page.
        {0x81, "."},
        {0x83, "."},
        {0x88, "."},
        {0x90, "."},
        {0x98, "."},
        {0x82, "\xE2\x80\x9A"} /* ‚ */,
        {0xA0, "\xC2\xA0"} /* no-break space */,
    };
    for (const Case& c : cases)
        EXPECT_EQ(CharacterText(c.byte), c.text) << int(c.byte);
}

TEST(HexText, CodePageRoundTripsEveryByte) {
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(ByteForCodePoint(CodePointForByte(uint8_t(b))), b) << b;
    EXPECT_EQ(ByteForCodePoint(U'\u4E2D'), '?');
}

TEST(HexText, FirstCodePointOfUtf8) {
    EXPECT_EQ(FirstCodePoint(""), 0u);
    EXPECT_EQ(FirstCodePoint("AB"), U'A');
    EXPECT_EQ(FirstCodePoint("\xC5\x82x"), U'\u0142');
    EXPECT_EQ(FirstCodePoint("\xE2\x82\xAC"), U'\u20AC');
    EXPECT_EQ(FirstCodePoint("\xC5"), 0xC5u);  // cut short: the byte itself
}

TEST(HexText, ParsingStopsAtTheFirstNonDigit) {
    EXPECT_EQ(ParseHex(""), 0u);
    EXPECT_EQ(ParseHex("ffF0"), 0xFFF0u);
    EXPECT_EQ(ParseHex("12g4"), 0x12u);
    EXPECT_EQ(ParseHex("123456789AB") & 0xFF, 0xABu);  // long texts keep their low bits
    EXPECT_EQ(ParseDecimal(""), 0u);
    EXPECT_EQ(ParseDecimal("9999999"), 9999999u);
    EXPECT_EQ(ParseDecimal("51x2"), 51u);
}

}  // namespace
}  // namespace hc12
