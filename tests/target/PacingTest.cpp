// Both writes against a strict board: the HC12 pulses, the MC9S12 commands and the
// interface's own pace checked on the virtual clock, and each check shown to catch
// a pace broken on purpose.
#include <gtest/gtest.h>

#include <algorithm>

#include "TargetRig.h"

namespace hc12::testing {
namespace {

using Bytes = std::vector<uint8_t>;

// What the EEPROM holds before, and what the page asks for: every word differs, and
// none is FFFF.
uint8_t Before(uint32_t i) {
    return uint8_t(i * 7 + 1);
}
uint8_t Wanted(uint32_t i) {
    return uint8_t(0xA5 ^ (i * 13));
}

sim::BoardOptions Strict(uint32_t execUs, uint32_t latencyMs) {
    sim::BoardOptions o;
    o.strict = true;
    o.execUs = execUs;
    o.latencyMs = latencyMs;
    return o;
}

// A connected rig with the EEPROM filled with Before() and a page of Wanted() over
// the first `count` bytes of the EEPROM.
struct PacedRig : WriteRig {
    PacedRig(const std::string& model, sim::BoardOptions options, uint32_t count)
        : WriteRig(model, options) {
        for (uint32_t i = 0; i < board.EepromSize(); ++i)
            board.Poke(uint16_t(board.EepromStart() + i), Before(i));
        Bytes page(count);
        for (uint32_t i = 0; i < count; ++i)
            page[i] = Wanted(i);
        view.LoadPage(start(), page);
        SkipFrames();
    }
    bool Write(bool full) {
        return full ? programmer.WriteEeprom() : programmer.WriteChangedEeprom();
    }
    std::vector<int> Commands() {
        std::vector<int> kinds;
        for (const auto& c : board.CommandLog())
            kinds.push_back(c.command);
        return kinds;
    }
};

TEST(Pacing, AStrictBoardFindsNothingWrongWithEitherWriteAtAnyInterfacePace) {
    struct Case {
        const char* model;
        bool full;
        uint32_t execUs, latencyMs, count;
        int erase;  // the erase command expected on an MC9S12 (0 for HC12)
    };
    const Case cases[] = {
        {"HC912D60x", true, 0, 1, 64, 0},
        {"HC912D60x", true, 1000, 1, 64, 0},
        {"HC912D60x", false, 0, 0, 1024, 0},  // no latency: the proof comes back soonest
        {"HC912D60x", false, 0, 1, 1024, 0},
        {"HC912D60x", false, 1000, 1, 1024, 0},
        {"HC912D60x", false, 1000, 16, 128, 0},
        {"MC9S12DT128", true, 0, 1, 64, 0x41},
        {"MC9S12DT128", true, 1000, 1, 64, 0x41},
        {"MC9S12DT128", false, 0, 1, 64, 0x40},  // a few sectors: erased one by one
        {"MC9S12DT128", false, 1000, 1, 64, 0x40},
        {"MC9S12DT128", false, 0, 1, 2048, 0x41},  // all of it: one mass erase
        {"MC9S12DT128", false, 1000, 16, 2048, 0x41},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.model << (c.full ? " full" : " changed") << " exec " << c.execUs
                     << " latency " << c.latencyMs << " count " << c.count);
        PacedRig rig(c.model, Strict(c.execUs, c.latencyMs), c.count);
        ASSERT_TRUE(rig.connected);
        EXPECT_TRUE(rig.Write(c.full));
        EXPECT_TRUE(rig.view.messages.empty());
        EXPECT_EQ(rig.board.Violations(), std::vector<std::string>{});
        EXPECT_EQ(rig.board.LostBytes(), 0u);
        const Bytes after = rig.board.EepromImage();
        for (uint32_t i = 0; i < after.size(); ++i) {
            // Outside the window the full write's bulk erase leaves FF; the
            // changed-only write leaves every byte as it was.
            const uint8_t expected = i < c.count              ? Wanted(i)
                                     : c.full && c.erase != 0 ? 0xFF
                                                              : Before(i);
            ASSERT_EQ(after[i], expected) << "byte " << i;
        }
        if (c.erase != 0) {
            const std::vector<int> commands = rig.Commands();
            EXPECT_NE(std::find(commands.begin(), commands.end(), c.erase), commands.end());
            const int other = c.erase == 0x41 ? 0x40 : 0x41;
            EXPECT_EQ(std::find(commands.begin(), commands.end(), other), commands.end());
        }
    }
}

// A pace broken on purpose breaks the check that guards against it.
TEST(Pacing, EachCheckOfTheStrictBoardCatchesAPaceBrokenOnPurpose) {
    struct Case {
        const char* name;
        const char* model;
        bool full;
        void (*breakPace)(Pace&);
        const char* finding;  // part of the board's finding
        const char* message;  // the message the write ends with, "" for none
    };
    const Case cases[] = {
        {"pulses of 9 ms", "HC912D60x", false,
         [](Pace& p) {
             p.after(PaceStep::PulseOn) = StepWait{9, false, 0};
         },
         "pulse at 0C00 lasted 9000 us", ""},
        {"pulses measured 20 ms from their proof", "HC912D60x", false,
         [](Pace& p) { p.after(PaceStep::PulseOn).fromProofUs = 20000; }, "pulse at 0C00 lasted",
         ""},
        {"the bulk erases without CCIF polls", "MC9S12DT128", true,
         // The chip flags the early word and the next launch clears the flag again:
         // the write goes through, abusing the chip as the fixed pauses alone did.
         [](Pace& p) { p.pollCcif = false; }, "write to 2000 while command 41 at 2000 ran", ""},
        {"the sector erase without CCIF polls", "MC9S12DT128", false,
         [](Pace& p) { p.pollCcif = false; }, "command 40 at 2000: its completion was never read",
         "2: Błędy w rejestrze ESTAT ! 01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PacedRig rig(c.model, Strict(1000, 1), 64);
        ASSERT_TRUE(rig.connected);
        Pace full = FullWritePace(), changed = ChipPace();
        c.breakPace(c.full ? full : changed);
        rig.programmer.SetWritePaces(full, changed);
        const bool ok = rig.Write(c.full);
        const std::vector<std::string> findings = rig.board.Violations();
        ASSERT_FALSE(findings.empty());
        EXPECT_NE(findings.front().find(c.finding), std::string::npos) << findings.front();
        if (*c.message != '\0') {
            EXPECT_FALSE(ok);
            ASSERT_FALSE(rig.view.messages.empty());
            EXPECT_EQ(rig.view.messages.back().text.rfind(c.message, 0), 0u)
                << rig.view.messages.back().text;
        }
    }
}

}  // namespace
}  // namespace hc12::testing
