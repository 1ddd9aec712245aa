// The serial field: how each format lays a number out, what it reads back, the
// largest number it holds, and the fields it refuses.
#include <gtest/gtest.h>

#include "SerialField.h"

namespace hc12::production {
namespace {

TEST(SerialField, LaysNumbersOutAndReadsThemBack) {
    struct Case {
        const char* field;
        uint64_t number;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"0C00:4", 1000, {0x00, 0x00, 0x03, 0xE8}},
        {"0C00:4:be", 0x12345678, {0x12, 0x34, 0x56, 0x78}},
        {"0C00:4:le", 0x12345678, {0x78, 0x56, 0x34, 0x12}},
        {"0C00:2:le", 1, {0x01, 0x00}},
        {"0C00:3:bcd", 12345, {0x01, 0x23, 0x45}},
        {"0C00:1:bcd", 7, {0x07}},
        {"0C00:6:ascii", 4711, {'0', '0', '4', '7', '1', '1'}},
        {"0C00:8", UINT64_MAX, std::vector<uint8_t>(8, 0xFF)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        std::string error;
        const auto field = ParseSerialField(c.field, &error);
        ASSERT_TRUE(field) << error;
        EXPECT_EQ(field->Encode(c.number), c.bytes);
        EXPECT_EQ(field->Decode(c.bytes), c.number);
    }
}

TEST(SerialField, LargestNumbers) {
    struct Case {
        const char* field;
        uint64_t max;
    };
    const Case cases[] = {
        {"0:1", 255},
        {"0:2:le", 65535},
        {"0:4", 0xFFFFFFFFu},
        {"0:2:bcd", 9999},
        {"0:9:bcd", 999999999999999999ull},
        {"0:3:ascii", 999},
        {"0:19:ascii", 9999999999999999999ull},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto field = ParseSerialField(c.field, &error);
        ASSERT_TRUE(field) << c.field << ": " << error;
        EXPECT_EQ(field->MaxValue(), c.max) << c.field;
    }
}

TEST(SerialField, BytesThatHoldNoNumber) {
    std::string error;
    const auto bcd = ParseSerialField("0C00:2:bcd", &error);
    EXPECT_EQ(bcd->Decode({0x12, 0x3A}), std::nullopt);
    const auto ascii = ParseSerialField("0C00:3:ascii", &error);
    EXPECT_EQ(ascii->Decode({'1', ' ', '3'}), std::nullopt);
    EXPECT_EQ(ascii->Decode({'1', '2'}), std::nullopt);  // too short
}

TEST(SerialField, RefusesMalformedFields) {
    for (const char* text :
         {"", "0C00", "0C00:", "0C00:0", "0C00:9", "0C00:10:bcd", "0C00:20:ascii", "0C00:4:hex",
          "10000:2", "xyz:2", "FFFF:2", "0C00:-1"}) {
        std::string error;
        EXPECT_FALSE(ParseSerialField(text, &error)) << text;
        EXPECT_NE(error.find("--serial"), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace hc12::production
