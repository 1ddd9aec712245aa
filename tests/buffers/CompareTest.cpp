#include <gtest/gtest.h>

#include "Compare.h"

namespace hc12 {
namespace {

TEST(Compare, SummaryAndPluralForms) {
    const std::pair<int32_t, const char*> cases[] = {
        {0, "Razem:  0  różnic."},   {1, "Razem:  1  różnica."},  {2, "Razem:  2  różnice."},
        {4, "Razem:  4  różnice."},  {5, "Razem:  5  różnic."},   {12, "Razem:  12  różnic."},
        {22, "Razem:  22  różnic."}, {24, "Razem:  24  różnic."},
    };
    for (auto [n, text] : cases)
        EXPECT_EQ(CompareSummary(n), text) << n;
    EXPECT_EQ(CompareResultName("Buf0", "dane.bin"), "\"Buf0\" i \"dane.bin\"");
}

TEST(Compare, CountsTextDifferencesAndMarksThem) {
    PageModel a(64), b(32), result(32);
    a.SetCellByte(0, 0x10);
    b.SetCellByte(0, 0x10);   // equal
    a.SetCellByte(1, 0x20);   // differs from an empty B cell
    b.SetCellByte(2, 0x30);   // empty A cell: written as 00, counted
    a.EditCell(0, 3, "123");  // same byte 0x23, other text
    b.SetCellByte(3, 0x23);
    a.EditCell(0, 4, "ab");  // the same text in another case
    b.EditCell(0, 4, "AB");
    a.SetCellByte(40, 0x99);  // beyond B's rows: not compared
    int steps = 0;
    const int32_t d = ComparePages(a, b, result, [&] { ++steps; });
    EXPECT_EQ(steps, 32);
    EXPECT_EQ(d, 3);
    EXPECT_EQ(result.HexText(0), "10");
    EXPECT_FALSE(result.IsRed(0));
    EXPECT_TRUE(result.IsRed(1));
    EXPECT_EQ(result.HexText(2), "00");
    EXPECT_TRUE(result.IsRed(2));
    EXPECT_EQ(result.HexText(3), "23");
    EXPECT_TRUE(result.IsRed(3));
    EXPECT_FALSE(result.IsRed(4));
    EXPECT_TRUE(result.CellEmpty(5));  // both empty: nothing written
}

TEST(Compare, APageAgainstItselfHasNoDifferences) {
    PageModel a(100), result(100);
    for (uint32_t i = 0; i < 50; ++i)
        a.SetCellByte(i, uint8_t(i));
    EXPECT_EQ(CompareLength(a, a), 112u);
    EXPECT_EQ(ComparePages(a, a, result), 0);
    EXPECT_EQ(result.GetCellByte(49), 49);
}

}  // namespace
}  // namespace hc12
