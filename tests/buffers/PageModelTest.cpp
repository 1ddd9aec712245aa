#include <gtest/gtest.h>

#include "PageModel.h"

namespace hc12 {
namespace {

TEST(PageModel, RowsForSize) {
    const std::pair<uint32_t, uint32_t> cases[] = {
        {0, 1},  {1, 1},    {15, 1},    {16, 1},
        {17, 2}, {512, 32}, {1024, 64}, {0xFFFFFFFFu, 0x10000000u}};
    for (auto [size, rows] : cases)
        EXPECT_EQ(PageModel::RowsFor(size), rows) << size;
    PageModel page(100);
    EXPECT_EQ(page.rows(), 7u);
    EXPECT_EQ(page.capacity(), 112u);
}

TEST(PageModel, RowLabelsWrapAtSixteenBits) {
    PageModel page(48);
    page.set_start(0xFFF0);
    EXPECT_EQ(page.RowLabel(0), "FFF0");
    EXPECT_EQ(page.RowLabel(1), "0000");
    EXPECT_EQ(page.RowLabel(2), "0010");
    EXPECT_EQ(PageModel::ColumnLabel(0), "00");
    EXPECT_EQ(PageModel::ColumnLabel(15), "0F");
    EXPECT_EQ(PageModel::ColumnLabel(16), "");
    EXPECT_EQ(PageModel::ColumnLabel(17), "A");
    EXPECT_EQ(PageModel::ColumnLabel(21), "I");
    EXPECT_EQ(PageModel::ColumnLabel(22), "");
}

// Every cell moves up one index with its texts and its mark; the page grows a row
// only when its last cell holds something.
TEST(PageModel, AnEmptyCellInFrontMovesEveryCellOn) {
    PageModel page(32);
    page.SetCellByte(0, 0x11);
    page.EditCell(0, 15, "123");  // a typed text that is not the byte's own form
    page.EditCell(1, 17, "ab");   // and one in the character view
    page.MarkRed(0);
    page.InsertEmptyCellInFront();
    EXPECT_EQ(page.rows(), 2u);
    EXPECT_TRUE(page.CellEmpty(0));
    EXPECT_FALSE(page.IsRed(0));
    EXPECT_EQ(page.GetCellByte(1), 0x11);
    EXPECT_TRUE(page.IsRed(1));
    EXPECT_EQ(page.HexText(16), "123");
    EXPECT_EQ(page.CharText(17), "ab");
    EXPECT_EQ(page.HexText(17), "61");

    page.SetCellByte(31, 0x7F);
    page.InsertEmptyCellInFront();
    EXPECT_EQ(page.rows(), 3u);
    EXPECT_EQ(page.GetCellByte(32), 0x7F);
    EXPECT_EQ(page.GetCellByte(2), 0x11);
}

TEST(PageModel, SetCellByteWritesBothCells) {
    PageModel page(512);
    EXPECT_TRUE(page.CellEmpty(35));
    EXPECT_EQ(page.GetCellByte(35), 0);
    page.SetCellByte(35, 0x41);
    EXPECT_EQ(page.CellText(2, 3), "41");
    EXPECT_EQ(page.CellText(2, 20), "A");
    EXPECT_EQ(page.CellText(2, 16), "");
    EXPECT_EQ(page.GetCellByte(35), 0x41);
    EXPECT_FALSE(page.CellEmpty(35));
}

TEST(PageModel, BeyondTheCapacityNothingIsStoredOrRead) {
    PageModel page(16);
    page.SetCellByte(16, 0x12);
    page.MarkRed(16);
    EXPECT_TRUE(page.CellEmpty(16));
    EXPECT_EQ(page.GetCellByte(16), 0);
    EXPECT_FALSE(page.IsRed(16));
    EXPECT_EQ(page.HexText(1000000), "");
    page.SetCellByte(1, 0xAB);
    EXPECT_EQ(page.Image(20), (std::vector<uint8_t>{0, 0xAB, 0, 0, 0, 0, 0, 0, 0, 0,
                                                    0, 0,    0, 0, 0, 0, 0, 0, 0, 0}));
}

// Typing into cells: (column typed into, text) -> hex cell, character cell, byte.
TEST(PageModel, EditRules) {
    struct Case {
        int col;
        const char* typed;
        const char* hex;
        const char* chr;
        uint8_t byte;
        bool empty;
    };
    const Case cases[] = {
        {3, "a", "0A", ".", 0x0A, false},
        {3, "4g", "00", ".", 0x00, false},
        {3, "ff", "FF", ".", 0xFF, false},
        {3, "41", "41", "A", 0x41, false},
        {3, "", "", ".", 0x00, true},
        {3, "1234", "1234", "4", 0x34, false},
        {3, "12 ", "00", ".", 0x00, false},
        {3, "17f", "17F", "\x7F", 0x7F, false},  // the dot rule looks at the whole value
        {3, "81", "81", ".", 0x81, false},       // no character in the code page
        {3, "198", "198", ".", 0x98, false},
        {20, "A", "41", "A", 0x41, false},
        {20, "", "00", "", 0x00, false},
        {20, "xyz", "78", "xyz", 0x78, false},
        {20, "\xC4\x85", "B9", "\xC4\x85", 0xB9, false},  // ą in code page 1250
    };
    for (const Case& c : cases) {
        PageModel page(64);
        page.SetCellByte(3, 0x55);
        page.EditCell(0, c.col, c.typed);
        EXPECT_EQ(page.HexText(3), c.hex) << c.typed;
        EXPECT_EQ(page.CharText(3), c.chr) << c.typed;
        EXPECT_EQ(page.GetCellByte(3), c.byte) << c.typed;
        EXPECT_EQ(page.CellEmpty(3), c.empty) << c.typed;
    }
}

TEST(PageModel, SeparatorAndRowsBeyondTheGridIgnoreEdits) {
    PageModel page(16);
    page.EditCell(0, 16, "12");
    page.EditCell(1, 0, "12");
    EXPECT_EQ(page.CellText(0, 16), "");
    EXPECT_EQ(page.TypedTextCount(), 0u);
}

TEST(PageModel, ByteWriteReplacesTypedTextsAndKeepsTheMark) {
    PageModel page(32);
    page.EditCell(0, 0, "123");
    page.EditCell(0, 18, "hello");
    EXPECT_EQ(page.TypedTextCount(), 2u);
    page.MarkRed(0);
    page.SetCellByte(0, 0x30);
    page.SetCellByte(1, 0x31);
    EXPECT_EQ(page.HexText(0), "30");
    EXPECT_EQ(page.CharText(1), "1");
    EXPECT_EQ(page.TypedTextCount(), 0u);
    EXPECT_TRUE(page.IsRed(0));
    page.Build(32);
    EXPECT_FALSE(page.IsRed(0));
    EXPECT_TRUE(page.CellEmpty(0));
}

TEST(PageModel, BuildKeepsTheAddressWindow) {
    PageModel page(512);
    page.set_start(0x400);
    page.set_count(100);
    page.SetCellByte(0, 1);
    page.Build(17);
    EXPECT_EQ(page.rows(), 2u);
    EXPECT_EQ(page.start(), 0x400u);
    EXPECT_EQ(page.count(), 100u);
    EXPECT_TRUE(page.CellEmpty(0));
}

TEST(PageModel, ChangedRangeCoversEveryWrite) {
    PageModel page(256);
    uint32_t first = 0, last = 0;
    EXPECT_FALSE(page.TakeChanged(first, last));
    page.SetCellByte(40, 1);
    page.MarkRed(7);
    page.EditCell(12, 20, "A");
    ASSERT_TRUE(page.TakeChanged(first, last));
    EXPECT_EQ(first, 7u);
    EXPECT_EQ(last, 12u * 16 + 3);
    EXPECT_FALSE(page.TakeChanged(first, last));
}

TEST(PageModel, AMebibytePageStaysCompact) {
    PageModel page(1u << 20);
    for (uint32_t i = 0; i < page.capacity(); ++i)
        page.SetCellByte(i, uint8_t(i));
    EXPECT_EQ(page.TypedTextCount(), 0u);
    EXPECT_EQ(page.GetCellByte(0xFFFFF), 0xFF);
    EXPECT_EQ(page.HexText(0x12345), "45");
}

}  // namespace
}  // namespace hc12
