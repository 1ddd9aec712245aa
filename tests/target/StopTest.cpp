// A read or write asked to stop ends between two words (MC9S12 changed-only write:
// between two sectors), leaves every word either as it was or as the page wants it,
// and does not report success.
#include <gtest/gtest.h>

#include "TargetRig.h"

namespace hc12::testing {
namespace {

enum class Op { Read, FullWrite, ChangedWrite };

struct StopCase {
    const char* model;
    Op op;
    int asksBeforeStop;  // the stop comes at this ask
    uint32_t doneBytes;  // bytes finished before it
};

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 7);
    return v;
}

class Stop : public ::testing::TestWithParam<StopCase> {};

TEST_P(Stop, EndsBetweenWordsAndReportsNoSuccess) {
    const StopCase c = GetParam();
    WriteRig rig(c.model);
    ASSERT_TRUE(rig.connected);
    const uint16_t start = rig.start();
    const std::vector<uint8_t> old = Pattern(32, 0x11);
    for (uint32_t i = 0; i < old.size(); ++i)
        rig.board.Poke(uint16_t(start + i), old[i]);
    const std::vector<uint8_t> image = Pattern(32, 0x80);
    rig.view.LoadPage(start, image);
    int asks = 0;
    rig.view.stopRequested = [&] { return ++asks > c.asksBeforeStop; };

    bool ok = true;
    switch (c.op) {
        case Op::Read:
            ok = rig.programmer.ReadEeprom();
            break;
        case Op::FullWrite:
            ok = rig.programmer.WriteEeprom();
            break;
        case Op::ChangedWrite:
            ok = rig.programmer.WriteChangedEeprom();
            break;
    }
    EXPECT_FALSE(ok);
    EXPECT_TRUE(rig.programmer.Stopped());
    EXPECT_TRUE(rig.view.messages.empty()) << rig.view.messages.front().text;
    EXPECT_FALSE(rig.view.gaugeRunning());
    const std::string prefix = c.op == Op::Read ? "Przeczytano  " : "Zapisano  ";
    EXPECT_EQ(rig.view.Status(0).rfind(prefix + std::to_string(c.doneBytes) + "  ", 0), 0u)
        << rig.view.Status(0);

    for (uint32_t i = 0; i < old.size(); ++i) {
        const uint8_t now = rig.board.Peek(uint16_t(start + i));
        if (c.op == Op::Read) {
            EXPECT_EQ(now, old[i]);
            if (i < c.doneBytes)
                EXPECT_EQ(rig.view.Cell(i), old[i]) << i;
            else
                EXPECT_FALSE(rig.view.Cell(i).has_value()) << i;
        } else if (i < c.doneBytes) {
            EXPECT_EQ(now, image[i]) << i;
        } else if (c.op == Op::FullWrite && std::string(c.model).rfind("MC9S12", 0) == 0) {
            EXPECT_EQ(now, 0xFF) << i;  // the full write bulk-erased it first
        } else {
            EXPECT_EQ(now, old[i]) << i;
        }
    }
    // A later operation starts afresh.
    rig.view.stopRequested = nullptr;
    EXPECT_TRUE(rig.programmer.ReadEeprom());
    EXPECT_FALSE(rig.programmer.Stopped());
}

INSTANTIATE_TEST_SUITE_P(
    BothFamilies, Stop,
    ::testing::Values(StopCase{"HC912D60x", Op::Read, 3, 6},
                      StopCase{"HC912D60x", Op::FullWrite, 3, 6},
                      // the changed-only write asks at each of its 16 readings first
                      StopCase{"HC912D60x", Op::ChangedWrite, 16 + 3, 6},
                      StopCase{"HC912D60x", Op::ChangedWrite, 5, 0},
                      StopCase{"MC9S12DT128", Op::Read, 0, 0},
                      StopCase{"MC9S12DT128", Op::FullWrite, 5, 10},
                      // sector by sector: three sectors of four bytes
                      StopCase{"MC9S12DT128", Op::ChangedWrite, 16 + 3, 12}));

TEST(ReadWindow, PastFfffIsRefusedBeforeAnythingIsSent) {
    WriteRig rig("HC912D60x");
    rig.view.LoadPage(0xFFF0, std::vector<uint8_t>(32, 0));
    EXPECT_FALSE(rig.programmer.ReadEeprom());
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0].text, "Zakres odczytu wykracza poza adres FFFF!");
    EXPECT_EQ(rig.view.messages[0].caption, "Błąd");
    EXPECT_TRUE(rig.NewFrames().empty());
    // The last word of the address space is still readable.
    rig.view.messages.clear();
    rig.view.LoadPage(0xFFFE, std::vector<uint8_t>(2, 0));
    EXPECT_TRUE(rig.programmer.ReadEeprom());
    EXPECT_TRUE(rig.view.messages.empty());
}

}  // namespace
}  // namespace hc12::testing
