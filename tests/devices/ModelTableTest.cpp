#include <gtest/gtest.h>

#include "ModelTable.h"

namespace hc12 {
namespace {

TEST(ModelTable, RowsInDisplayOrderWithTheirWindows) {
    struct Row {
        const char* name;
        uint32_t start, size;
    };
    const Row expected[] = {
        {"Model", 0x0000, 512},          {"HC12B", 0x0D00, 768},
        {"HC812A4", 0xF000, 4096},       {"HC912Dx128x", 0x0800, 2048},
        {"HC912D60x", 0x0C00, 1024},     {"HC(9)12D60", 0x0C00, 1024},
        {"MC9S12 Uniwersalna", 0x0800, 2048}, {"MC9S12DBx", 0x0800, 2048},
        {"MC9S12DT128", 0x0800, 2048},   {"MC9S12DT128", 0x0800, 2048},
        {"MC9S12H256(1K78X)", 0x0800, 4096}, {"MC9S12DP512(1L00M)", 0x0800, 4096},
    };
    const auto& table = ModelTable();
    ASSERT_EQ(table.size(), std::size(expected));
    for (size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(table[i].name, expected[i].name);
        EXPECT_EQ(table[i].eepromStart, expected[i].start);
        EXPECT_EQ(table[i].eepromSize, expected[i].size);
        EXPECT_LE(table[i].eepromStart + table[i].eepromSize, 0x10000u);
    }
}

TEST(ModelTable, NameTestsPickFamilyAndWriteGroup) {
    const auto& t = ModelTable();
    EXPECT_TRUE(IsPlaceholderModel(t[0]));
    for (int i = 1; i < kModelCount; ++i) EXPECT_FALSE(IsPlaceholderModel(t[i])) << i;
    for (int i = 0; i < kModelCount; ++i) EXPECT_EQ(IsS12Model(t[i]), i >= 6) << i;
    // "HC(9)12D60" has the same window as "HC912D60x" but is not of that write group.
    EXPECT_TRUE(IsHc912DModel(t[3]));
    EXPECT_TRUE(IsHc912DModel(t[4]));
    EXPECT_FALSE(IsHc912DModel(t[5]));
    EXPECT_FALSE(IsHc912DModel(t[2]));
}

TEST(ModelTable, QuartzTextsMatchWholeAndExactly) {
    EXPECT_EQ(QuartzMhzForText("16MHz"), 16);
    EXPECT_EQ(QuartzMhzForText("8MHz"), 8);
    EXPECT_EQ(QuartzMhzForText("4MHz"), 4);
    EXPECT_EQ(QuartzMhzForText("Auto"), 0);
    EXPECT_EQ(QuartzMhzForText("8mhz"), 0);
    EXPECT_EQ(QuartzMhzForText("8MHz "), 0);
}

}  // namespace
}  // namespace hc12
