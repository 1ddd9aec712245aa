// Reading the EEPROM against the virtual board.
#include <gtest/gtest.h>

#include <algorithm>

#include "TargetRig.h"

namespace hc12::testing {
namespace {

using Frames = std::vector<std::string>;

// A connected HC912D60x rig with the EEPROM at 0x0C00 holding address-derived bytes.
struct ReadRig : TargetRig {
    explicit ReadRig(sim::BoardOptions options = Board("HC912D60x", 8)) : TargetRig(options) {
        for (uint32_t a = 0x0C00; a < 0x1000; ++a)
            board.Poke(uint16_t(a), Pattern(a));
        ChooseQuartz("8MHz");
        Connect("HC912D60x");
        EXPECT_TRUE(view.commandsEnabled);
        SkipFrames();
        view.messages.clear();
    }
    static uint8_t Pattern(uint32_t a) { return uint8_t(a * 7 + 3); }
};

TEST(ReadEeprom, FillsThePageWordByWordAndReportsTheCount) {
    ReadRig rig;
    rig.view.SetCountField("1030");
    EXPECT_TRUE(rig.programmer.ReadEeprom());

    const Frames frames = rig.NewFrames();
    ASSERT_EQ(frames.size(), 2u + 2u * 515u);
    EXPECT_EQ(frames[0], "U 02");
    EXPECT_EQ(frames[1], "C 0C00");
    EXPECT_EQ(frames[2], "L 0C00");
    EXPECT_EQ(frames[3], "L 0C00");
    EXPECT_EQ(frames[4], "L 0C02");
    EXPECT_EQ(frames.back(), "L 1004");

    for (uint32_t i = 0; i < 1024; ++i)
        ASSERT_EQ(rig.view.Cell(i), ReadRig::Pattern(0x0C00 + i));
    EXPECT_TRUE(rig.view.red.empty());
    EXPECT_EQ(rig.view.Status(0), "Przeczytano  1030  bajtów.");
    EXPECT_TRUE(rig.view.messages.empty());
    EXPECT_EQ(rig.view.gaugeStarts, 1);
    EXPECT_EQ(rig.view.gaugeTotal(), 1030);
    EXPECT_EQ(rig.view.gaugeEndsAtTotal, 1);
    EXPECT_EQ(rig.view.repaints, 515);
    // Scrolled every 512 bytes.
    const auto& ev = rig.view.events;
    EXPECT_EQ(std::count(ev.begin(), ev.end(), "scroll:36"), 1);
    EXPECT_EQ(std::count(ev.begin(), ev.end(), "scroll:73"), 1);
}

TEST(ReadEeprom, WholeWordsOnlyAndTheUnitOfTheCount) {
    struct Case {
        const char* start;
        const char* count;
        const char* startAfter;
        const char* countAfter;
        const char* status;
    };
    const Case cases[] = {
        {"0C00", "5", "0C00", "6", "Przeczytano  6  bajtów."},
        {"0C00", "2", "0C00", "2", "Przeczytano  2  bajty."},
        {"0C00", "3", "0C00", "4", "Przeczytano  4  bajty."},
        // An odd start moves down a byte, an odd end up a byte: the window only grows.
        {"0801", "1", "0800", "2", "Przeczytano  2  bajty."},
        {"0C01", "4", "0C00", "6", "Przeczytano  6  bajtów."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " " + c.count);
        ReadRig rig;
        rig.view.SetStartField(c.start);
        rig.view.SetCountField(c.count);
        EXPECT_TRUE(rig.programmer.ReadEeprom());
        EXPECT_EQ(rig.view.startField, c.startAfter);
        EXPECT_EQ(rig.view.countField, c.countAfter);
        EXPECT_EQ(rig.view.Status(0), c.status);
    }
}

TEST(ReadEeprom, CountZeroRebuildsThePageAndSendsNothing) {
    ReadRig rig;
    rig.view.SetCountField("0");
    EXPECT_TRUE(rig.programmer.ReadEeprom());
    EXPECT_TRUE(rig.NewFrames().empty());
    EXPECT_EQ(rig.view.Status(0), "");
    EXPECT_EQ(rig.view.events.back(), "build:0");
    EXPECT_EQ(rig.view.gaugeStarts, 0);
}

TEST(ReadEeprom, UnstableByteThatSettlesIsNotRed) {
    sim::BoardOptions options = Board("HC912D60x", 8);
    options.unstableAddress = 0x0C05;
    options.unstableReadings = 1;
    ReadRig rig(options);
    rig.view.SetCountField("8");
    EXPECT_TRUE(rig.programmer.ReadEeprom());
    const Frames frames = rig.NewFrames();
    // The word at 0x0C04 is read in two passes, every other word in one.
    EXPECT_EQ(std::count(frames.begin(), frames.end(), "L 0C04"), 4);
    EXPECT_EQ(std::count(frames.begin(), frames.end(), "L 0C06"), 2);
    EXPECT_TRUE(rig.view.red.empty());
    EXPECT_EQ(rig.view.Cell(5), ReadRig::Pattern(0x0C05));
}

TEST(ReadEeprom, UnstableByteThatNeverSettlesIsRedAfterThreePasses) {
    sim::BoardOptions options = Board("HC912D60x", 8);
    options.unstableAddress = 0x0C05;
    options.unstableReadings = 1000;
    ReadRig rig(options);
    rig.view.SetCountField("8");
    EXPECT_TRUE(rig.programmer.ReadEeprom());
    const Frames frames = rig.NewFrames();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), "L 0C04"), 6);
    EXPECT_EQ(rig.view.red, (std::set<uint32_t>{5}));
    EXPECT_EQ(rig.view.Cell(4), ReadRig::Pattern(0x0C04));
    EXPECT_EQ(rig.view.Status(0), "Przeczytano  8  bajtów.");
    EXPECT_TRUE(rig.view.messages.empty());
}

TEST(ReadEeprom, InterfaceUnpluggedMidwayStopsAndLocksTheCommands) {
    sim::BoardOptions options = Board("HC912D60x", 8);
    // Reply bytes: the connect's presence read (1), the read's own ReadByte (1),
    // three whole words (4 each), then the first byte of the fourth word.
    options.silentAfterReplyBytes = 1 + 1 + 3 * 4 + 1;
    ReadRig rig(options);
    rig.view.SetCountField("16");
    EXPECT_FALSE(rig.programmer.ReadEeprom());

    EXPECT_EQ(rig.view.Status(0), "Przeczytano  6  bajtów.");
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0].text, "Utracono połącznie z interfejsem! ");
    EXPECT_EQ(rig.view.messages[0].caption, "Błąd");
    EXPECT_EQ(rig.view.messages[0].icon, MsgIcon::Error);
    EXPECT_EQ(rig.view.Status(3), "Brak połączenia.");
    EXPECT_FALSE(rig.view.commandsEnabled);
    EXPECT_FALSE(rig.view.gaugeRunning());
    // The word where it stopped shows its first reading as far as it got; the byte
    // that never came stays empty (a 00 there would be programmed by a later write).
    EXPECT_EQ(rig.view.Cell(6), ReadRig::Pattern(0x0C06));
    EXPECT_FALSE(rig.view.Cell(7).has_value());
    EXPECT_FALSE(rig.view.Cell(8).has_value());
    // Nothing was sent after the request that got no reply.
    const Frames frames = rig.NewFrames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back(), "L 0C06");
    EXPECT_EQ(std::count(frames.begin(), frames.end(), "L 0C06"), 1);
}

// A reading cut short is no instability: only two complete readings that differ make
// a byte red.
TEST(ReadEeprom, LinkLostInTheSecondReadingMarksNothingRed) {
    for (int cut = 2; cut < 4; ++cut) {
        SCOPED_TRACE(cut);
        sim::BoardOptions options = Board("HC912D60x", 8);
        // Reply bytes: connect (1), the read's ReadByte (1), two whole words, then
        // the first reading of the third word and `cut - 2` bytes of its second.
        options.silentAfterReplyBytes = 1 + 1 + 2 * 4 + cut;
        ReadRig rig(options);
        rig.view.SetCountField("16");
        EXPECT_FALSE(rig.programmer.ReadEeprom());
        EXPECT_TRUE(rig.view.red.empty());
        EXPECT_EQ(rig.view.Cell(4), ReadRig::Pattern(0x0C04));
        EXPECT_EQ(rig.view.Cell(5), ReadRig::Pattern(0x0C05));
        EXPECT_EQ(rig.view.Status(0), "Przeczytano  4  bajty.");
    }
}

TEST(ReadEeprom, LineErrorShowsItsBoxBeforeTheLostLinkMessage) {
    sim::BoardOptions options = Board("HC912D60x", 8);
    // The second reply byte of the read's third word comes with a framing and a
    // parity error.
    options.lineErrorAtReplyByte = 1 + 1 + 2 * 4 + 1;
    options.lineErrorBits = kCeFrame | kCeRxParity;
    ReadRig rig(options);
    rig.view.SetCountField("16");
    EXPECT_FALSE(rig.programmer.ReadEeprom());
    std::vector<std::string> texts;
    for (const auto& m : rig.view.messages)
        texts.push_back(m.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Wykryto błędy w ramce", "Wykryto błąd parzystości",
                                               "Utracono połącznie z interfejsem! "}));
    EXPECT_EQ(rig.view.Status(0), "Przeczytano  4  bajty.");
    EXPECT_FALSE(rig.view.commandsEnabled);
}

}  // namespace
}  // namespace hc12::testing
