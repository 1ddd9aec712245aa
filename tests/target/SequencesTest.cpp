// The family sequences: preparation checks, clock dividers, status errors.
#include <gtest/gtest.h>

#include "TargetRig.h"

namespace hc12::testing {
namespace {

using Frames = std::vector<std::string>;

TEST(PrepareEeprom, McNineS12RefusesAProtectedOrUnreadyEeprom) {
    struct Case {
        const char* name;
        std::optional<uint8_t> eprot, eclkdiv, estat;
        const char* message;
    };
    const Case cases[] = {
        {"all protected", 0x7F, {}, {}, "Cały EEPROM jest zabespieczony przed zapisem!"},
        {"top protected", 0x85, {}, {}, "Ostatnie 321bajty EEPROMu są chronione przed zapisem!"},
        {"divider locked", {}, 0x00, {}, "Nie ustawiono ECLKDIV!"},
        {"status", {}, {}, 0xC4, "1: Błędy w rejestrze ESTAT!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardOptions options;
        options.eprot = c.eprot;
        options.eclkdivLocked = c.eclkdiv;
        options.estat = c.estat;
        WriteRig rig("MC9S12DT128", options);
        ASSERT_TRUE(rig.connected);
        const uint16_t start = rig.start();
        rig.view.LoadPage(start, std::vector<uint8_t>(16, 0x00));
        EXPECT_FALSE(rig.programmer.WriteEeprom());
        ASSERT_EQ(rig.view.messages.size(), 1u);
        EXPECT_EQ(rig.view.messages[0].text, c.message);
        EXPECT_EQ(rig.view.messages[0].caption, "Błąd");
        EXPECT_EQ(rig.view.messages[0].icon, MsgIcon::Error);
        const Frames frames = rig.NewFrames();
        EXPECT_EQ(WriteRig::Count(frames, "z 0116 41"), 0);  // nothing erased
        EXPECT_EQ(rig.view.gaugeStarts, 0);
        EXPECT_EQ(rig.view.Status(0), "");
        EXPECT_EQ(rig.board.Peek(start), 0xFF);
    }
}

TEST(PrepareEeprom, LinkLostDuringTheBulkEraseIsReportedAsSuchAndEndsTheExchanges) {
    sim::BoardOptions options;
    // Reply bytes: connect (presence 1, memory map 4), the write's read of 0x0012,
    // EPROT, ECLKDIV twice and ESTAT (5), the first bulk erase's two ESTAT reads.
    options.silentAfterReplyBytes = 5 + 5 + 2;
    WriteRig rig("MC9S12DT128", options);
    ASSERT_TRUE(rig.connected);
    rig.view.LoadPage(rig.start(), std::vector<uint8_t>(16, 0x00));
    EXPECT_FALSE(rig.programmer.WriteEeprom());
    // The zero read over the dead link is no ESTAT value.
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0].text, "Utracono połącznie z interfejsem! ");
    const Frames frames = rig.NewFrames();
    // One check before, two reads of the first erase, the unanswered read of the
    // second erase, and nothing after it.
    EXPECT_EQ(WriteRig::Count(frames, "C 0115"), 1 + 2 + 1);
    EXPECT_EQ(frames.back(), "C 0115");
    EXPECT_EQ(rig.view.Status(3), "Brak połączenia.");
}

// Wherever the link dies in an MC9S12 write, the zeros read after it are not taken
// for register values: the write ends with the lost link, never with a chip message,
// and the request that got no reply is the last frame sent.
TEST(WriteEeprom, McNineS12LinkCutAnywhereIsALostLinkNeverAChipFault) {
    // Reply bytes of the connect (5) and of the whole write, found from a clean run.
    size_t total = 0;
    {
        WriteRig clean("MC9S12DT128");
        clean.view.LoadPage(clean.start(), std::vector<uint8_t>(8, 0x5A));
        ASSERT_TRUE(clean.programmer.WriteEeprom());
        for (const auto& f : clean.board.FrameLog())
            total += f.bytes[0] == 'C' ? 1 : f.bytes[0] == 'L' ? 2 : 0;
    }
    ASSERT_GT(total, 5u + 10u);
    for (size_t cut = 5; cut < total; ++cut) {
        SCOPED_TRACE(cut);
        sim::BoardOptions options;
        options.silentAfterReplyBytes = int64_t(cut);
        WriteRig rig("MC9S12DT128", options);
        ASSERT_TRUE(rig.connected);
        rig.view.LoadPage(rig.start(), std::vector<uint8_t>(8, 0x5A));
        EXPECT_FALSE(rig.programmer.WriteEeprom());
        ASSERT_EQ(rig.view.messages.size(), 1u);
        EXPECT_EQ(rig.view.messages[0].text, "Utracono połącznie z interfejsem! ");
        const Frames frames = rig.NewFrames();
        ASSERT_FALSE(frames.empty());
        EXPECT_TRUE(frames.back()[0] == 'C' || frames.back()[0] == 'L') << frames.back();
        EXPECT_FALSE(rig.view.gaugeRunning());
    }
}

TEST(ProgramWord, StatusErrorStopsTheWriteAndEndsTheGauge) {
    WriteRig rig("MC9S12DT128");
    ASSERT_TRUE(rig.connected);
    // The window runs past the end of the 2 KB EEPROM at 0x2000: the second word is
    // no EEPROM word, and its program command is an access error.
    rig.view.LoadPage(0x27FE, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
    EXPECT_FALSE(rig.programmer.WriteEeprom());
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0].text, "3: Błędy w rejestrze ESTAT ! D1");
    EXPECT_EQ(rig.view.messages[0].caption, "Błąd");
    EXPECT_EQ(rig.view.messages[0].icon, MsgIcon::Error);
    EXPECT_EQ(rig.view.gaugeStarts, 1);
    EXPECT_FALSE(rig.view.gaugeRunning());
    // Earlier words stay written; nothing after the failing one is tried.
    EXPECT_EQ(rig.board.Peek(0x27FE), 0x11);
    EXPECT_EQ(rig.board.Peek(0x27FF), 0x22);
    const Frames frames = rig.NewFrames();
    EXPECT_EQ(WriteRig::Count(frames, "s 2802 55 66"), 0);
    EXPECT_EQ(WriteRig::Count(frames, "s 2800 33 44"), 1);
    EXPECT_EQ(frames.back(), "C 0115");
    EXPECT_EQ(rig.view.Status(0), "");
    EXPECT_EQ(rig.view.Status(1), "2");
}

// The EEPROM clocks follow the quartz: MC9S12 ECLKDIV for 181.8 kHz, the HC912D
// divider pair 35 x MHz. Only then does the board erase and program completely.
TEST(FamilySequences, ClockDividersFollowTheQuartzAndTheWriteHolds) {
    struct Case {
        const char* model;
        int quartz;
        Frames dividerFrames;
    };
    const Case cases[] = {
        {"MC9S12DT128", 16, {"z 0110 4A"}},
        {"MC9S12DT128", 8, {"z 0110 2B"}},
        {"MC9S12DT128", 4, {"z 0110 15"}},
        {"HC912D60x", 16, {"z 00EE 02", "z 00EF 30"}},
        {"HC912D60x", 8, {"z 00EE 01", "z 00EF 18"}},
        {"HC912D60x", 4, {"z 00EE 00", "z 00EF 8C"}},
        {"HC912Dx128x", 8, {"z 00EE 01", "z 00EF 18"}},
        {"HC812A4", 8, {}},
        {"HC(9)12D60", 8, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.quartz));
        WriteRig rig(c.model, {}, c.quartz);
        ASSERT_TRUE(rig.connected);
        const uint16_t start = rig.start();
        std::vector<uint8_t> bytes(64);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = uint8_t(i * 37 + 0x5A);
        rig.view.LoadPage(start, bytes);
        EXPECT_TRUE(rig.programmer.WriteEeprom());
        Frames dividers;
        for (const auto& f : rig.NewFrames())
            if (f.rfind("z 0110", 0) == 0 || f.rfind("z 00EE", 0) == 0 || f.rfind("z 00EF", 0) == 0)
                dividers.push_back(f);
        EXPECT_EQ(dividers, c.dividerFrames);
        for (uint32_t i = 0; i < bytes.size(); ++i)
            ASSERT_EQ(rig.board.Peek(uint16_t(start + i)), bytes[i]) << i;
        EXPECT_TRUE(rig.view.messages.empty());
    }
}

TEST(FamilySequences, ControlRegisterMovesToTheS12CommandRegister) {
    WriteRig rig("MC9S12DT128");
    ASSERT_TRUE(rig.connected);
    rig.view.LoadPage(rig.start(), {0x01, 0x02});
    EXPECT_TRUE(rig.programmer.WriteEeprom());
    EXPECT_EQ(rig.programmer.ControlRegister(), 0x0116);

    WriteRig hc("HC912D60x");
    hc.view.LoadPage(hc.start(), {0x01, 0x02});
    EXPECT_TRUE(hc.programmer.WriteEeprom());
    EXPECT_EQ(hc.programmer.ControlRegister(), 0x00F3);
    EXPECT_EQ(WriteRig::Count(hc.NewFrames(), "z 0116 20"), 0);
}

}  // namespace
}  // namespace hc12::testing
