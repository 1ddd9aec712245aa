#include <utility>

#include <gtest/gtest.h>

#include "ToolbarLayout.h"

namespace hc12 {
namespace {

ToolbarLayoutInput Input(int toolWidth, int freeLeft, int rightEdge,
                         std::array<LayoutSize, kToolbarSlotCount> sizes) {
    ToolbarLayoutInput in;
    in.toolWidth = toolWidth;
    in.freeLeft = freeLeft;
    in.rightEdge = rightEdge;
    in.sizes = sizes;
    return in;
}

bool Overlap(const LayoutRect& a, const LayoutRect& b) {
    return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

TEST(ToolbarLayoutTest, SmallControlsSitAtTheirOffsetsFromTheToolWidth) {
    // 23-pixel tools give X = 73.
    const auto r = LayOutToolbar(Input(23, 168, 705,
                                       {{{25, 17},
                                         {50, 20},
                                         {45, 13},
                                         {50, 17},
                                         {8, 13},
                                         {15, 13},
                                         {50, 17},
                                         {100, 21},
                                         {70, 21}}}));
    EXPECT_EQ(r.anchorX, 73);
    EXPECT_EQ(r.rows, 1);
    EXPECT_EQ(r.rects[kFillValueSlot].x, 173);
    EXPECT_EQ(r.rects[kFillButtonSlot].x, 203);
    EXPECT_EQ(r.rects[kStartFieldSlot].x, 323);
    EXPECT_EQ(r.rects[kCountFieldSlot].x, 423);
    EXPECT_EQ(r.rects[kModelSlot].x, 483);
    EXPECT_EQ(r.rects[kQuartzSlot].x, 613);
    // Labels end two pixels left of their fields, "H" starts two right of the start.
    EXPECT_EQ(r.rects[kStartLabelSlot].right(), 321);
    EXPECT_EQ(r.rects[kCountLabelSlot].right(), 421);
    EXPECT_EQ(r.rects[kHexSuffixSlot].x, 375);
}

TEST(ToolbarLayoutTest, OffsetsAndGapsGrowWithTheScreensDpi) {
    // At 144 DPI: 35-pixel tools, the controls half as large again, and the drawn
    // offsets too (X = 11 * 35 - 270 = 115).
    auto in = Input(35, 252, 1050,
                    {{{37, 26},
                      {75, 30},
                      {68, 20},
                      {75, 26},
                      {12, 20},
                      {23, 20},
                      {75, 26},
                      {150, 32},
                      {105, 32}}});
    in.scale = 1.5;
    const auto r = LayOutToolbar(in);
    EXPECT_EQ(r.anchorX, 115);
    EXPECT_EQ(r.rows, 1);
    const std::pair<int, int> placed[] = {{kFillValueSlot, 265},  {kFillButtonSlot, 310},
                                          {kStartFieldSlot, 490}, {kCountFieldSlot, 640},
                                          {kModelSlot, 730},      {kQuartzSlot, 925}};
    for (const auto& [slot, x] : placed)
        EXPECT_EQ(r.rects[slot].x, x) << slot;
    // The label gaps are three pixels now.
    EXPECT_EQ(r.rects[kStartLabelSlot].right(), 487);
    EXPECT_EQ(r.rects[kCountLabelSlot].right(), 637);
    EXPECT_EQ(r.rects[kHexSuffixSlot].x, 568);
}

TEST(ToolbarLayoutTest, LargeControlsMoveRightAndWrapWithoutOverlapping) {
    // Sizes of a GTK theme: wider tools, taller and wider controls.
    const auto r = LayOutToolbar(Input(37, 300, 697,
                                       {{{40, 34},
                                         {66, 34},
                                         {66, 17},
                                         {60, 34},
                                         {10, 17},
                                         {26, 17},
                                         {75, 34},
                                         {200, 36},
                                         {97, 36}}}));
    EXPECT_EQ(r.anchorX, 227);
    EXPECT_EQ(r.rows, 2);
    EXPECT_EQ(r.rects[kFillValueSlot].x, 327);  // there is room at its own offset
    for (int a = 0; a < kToolbarSlotCount; ++a) {
        SCOPED_TRACE(a);
        EXPECT_GE(r.rects[a].x, 300);
        EXPECT_LE(r.rects[a].right(), 697);
        EXPECT_GE(r.rects[a].y, 0);
        EXPECT_LE(r.rects[a].bottom(), r.height);
        for (int b = a + 1; b < kToolbarSlotCount; ++b)
            EXPECT_FALSE(Overlap(r.rects[a], r.rects[b])) << b;
    }
    // The order stays: left to right on the first row, the combo boxes below it.
    for (int slot = kFillButtonSlot; slot <= kCountFieldSlot; ++slot)
        EXPECT_GT(r.rects[slot].x, r.rects[slot - 1].x) << slot;
    EXPECT_GE(r.rects[kModelSlot].y, r.rects[kCountFieldSlot].bottom());
    EXPECT_GT(r.rects[kQuartzSlot].x, r.rects[kModelSlot].right());
    EXPECT_EQ(r.rects[kStartLabelSlot].right() + 2, r.rects[kStartFieldSlot].x);
}

}  // namespace
}  // namespace hc12
