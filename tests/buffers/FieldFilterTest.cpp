#include <gtest/gtest.h>

#include "FieldFilter.h"

namespace hc12 {
namespace {

// (text after the keystroke, caret after it, kind, maximum) -> kept text
TEST(FieldFilter, Cases) {
    struct Case {
        const char32_t* text;
        int caret;
        int kind;
        int max;
        const char32_t* kept;
    };
    const Case cases[] = {
        {U"12g34", 3, kHexField, 4, U"1234"},
        {U"12 34", 3, kHexField, 4, U"1234"},
        {U"12a", 3, kHexField, 4, U"12A"},
        {U"12345", 5, kHexField, 4, U"1235"},    // typed at the end of a full field
        {U"91234", 1, kHexField, 4, U"9234"},    // typed at the start overwrites
        {U"12934", 3, kHexField, 4, U"1294"},    // typed inside overwrites the next
        {U"1234567", 7, kHexField, 4, U"1234"},  // a paste at the end of a full field
        {U"ab1234", 2, kHexField, 4, U"AB34"},   // a paste at the start
        {U"5x1a2", 5, kDecimalField, 7, U"512"},
        {U"12345678", 8, kDecimalField, 7, U"1234568"},
        {U"", 0, kDecimalField, 7, U""},
        {U"ąb!", 3, 0, 0, U"ąb!"},
        {U"abcdef", 6, 0, 3, U"abc"},
    };
    for (const Case& c : cases) {
        const FilteredField r = FilterFieldText(c.text, c.caret, c.kind, c.max);
        EXPECT_EQ(r.text, std::u32string(c.kept));
        EXPECT_LE(size_t(r.caret), r.text.size());
    }
}

TEST(FieldFilter, CaretGoesBackWhereItWas) {
    EXPECT_EQ(FilterFieldText(U"1234", 2, kHexField, 4).caret, 2);
    EXPECT_EQ(FilterFieldText(U"12345", 5, kHexField, 4).caret, 4);
}

}  // namespace
}  // namespace hc12
