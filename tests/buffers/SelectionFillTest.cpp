#include <gtest/gtest.h>

#include "Fill.h"
#include "Selection.h"

namespace hc12 {
namespace {

TEST(Selection, MirroringBetweenTheHalves) {
    struct Case {
        CellBlock block;
        std::optional<CellBlock> mirror;
    };
    const Case cases[] = {
        {{1, 2, 3, 5}, CellBlock{1, 19, 3, 22}},
        {{1, 19, 3, 22}, CellBlock{1, 2, 3, 5}},
        {{0, 0, 0, 15}, CellBlock{0, 17, 0, 32}},
        {{0, 17, 9, 32}, CellBlock{0, 0, 9, 15}},
        // Touching the separator: the mirror is cut to the other half.
        {{0, 10, 0, 16}, CellBlock{0, 27, 0, 32}},
        {{0, 16, 0, 20}, CellBlock{0, 0, 0, 3}},
        {{0, 16, 0, 16}, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto m = MirrorBlock(c.block);
        EXPECT_EQ(m, c.mirror) << c.block.left << ".." << c.block.right;
        if (m) {
            EXPECT_GE(m->left, 0);
            EXPECT_LE(m->right, 32);
        }
    }
}

TEST(Selection, ABlockAcrossTheSeparatorStaysAsDragged) {
    EXPECT_FALSE(MirroredSelection({0, 3, 2, 20}).has_value());
    const auto sel = MirroredSelection({1, 2, 3, 5});
    ASSERT_TRUE(sel.has_value());
    EXPECT_EQ(*sel, (std::vector<CellBlock>{{1, 2, 3, 5}, {1, 19, 3, 22}}));
    EXPECT_TRUE(IsSelected(*sel, 3, 22));
    EXPECT_FALSE(IsSelected(*sel, 4, 22));
}

// A cell put in front of the page moves every selected byte one on: a block that
// reaches the last column goes on into the first column of the next rows.
TEST(Selection, HexBlocksMoveOneByteOnAcrossRows) {
    std::vector<CellBlock> blocks = {{1, 2, 3, 5}, {0, 14, 1, 15}, {4, 15, 4, 15}, {0, 17, 2, 32}};
    const std::vector<CellBlock> moved = HexBlocksOneByteOn(blocks);
    EXPECT_EQ(moved,
              (std::vector<CellBlock>{{1, 3, 3, 6}, {0, 15, 1, 15}, {1, 0, 2, 0}, {5, 0, 5, 0}}));
    for (int32_t index = 0; index < 6 * 16; ++index) {
        const bool before = IsSelected(blocks, index / 16, index % 16);
        EXPECT_EQ(IsSelected(moved, (index + 1) / 16, (index + 1) % 16), before) << index;
    }
}

TEST(Fill, RectangularSelectionFillsExactlyItsHexCells) {
    PageModel page(128);
    for (uint32_t i = 0; i < 128; ++i)
        page.SetCellByte(i, 0x11);
    const std::vector<CellBlock> blocks{{1, 2, 3, 5}, {1, 19, 3, 22}};
    EXPECT_EQ(FillSelected(page, 0x41, blocks), 12u);
    for (uint32_t i = 0; i < 128; ++i) {
        const uint32_t row = i / 16, col = i % 16;
        const bool inside = row >= 1 && row <= 3 && col >= 2 && col <= 5;
        EXPECT_EQ(page.GetCellByte(i), inside ? 0x41 : 0x11) << i;
        if (inside) {
            EXPECT_EQ(page.CharText(i), "A");
        }
    }
}

TEST(Fill, CharacterAreaSelectionFillsThroughItsMirror) {
    PageModel page(64);
    const auto sel = MirroredSelection({0, 30, 1, 32});
    ASSERT_TRUE(sel);
    EXPECT_EQ(FillSelected(page, FillValue("F"), *sel), 6u);
    EXPECT_EQ(page.HexText(13), "0F");
    EXPECT_EQ(page.HexText(31), "0F");
    EXPECT_TRUE(page.CellEmpty(12));
}

TEST(Fill, ValueAndEdges) {
    EXPECT_EQ(FillValue(""), 0);
    EXPECT_EQ(FillValue("FF"), 0xFF);
    PageModel page(32);
    EXPECT_EQ(FillSelected(page, 0, {}), 0u);
    // Blocks reaching past the grid fill only what exists.
    EXPECT_EQ(FillSelected(page, 0, {{1, 14, 5, 20}}), 2u);
    EXPECT_EQ(page.HexText(30), "00");
    EXPECT_EQ(page.CharText(31), ".");
}

}  // namespace
}  // namespace hc12
