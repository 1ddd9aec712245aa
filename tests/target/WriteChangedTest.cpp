// The changed-only write of both families against the virtual board.
#include <gtest/gtest.h>

#include <algorithm>

#include "TargetRig.h"

namespace hc12::testing {
namespace {

using Frames = std::vector<std::string>;

const char kLinkLost[] = "Utracono połącznie z interfejsem! ";

std::vector<uint8_t> Image(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 13);
    return v;
}

void PutOnBoard(sim::VirtualBoard& board, uint16_t address, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i)
        board.Poke(uint16_t(address + i), bytes[i]);
}

std::vector<uint8_t> FromBoard(sim::VirtualBoard& board, uint16_t address, size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = board.Peek(uint16_t(address + i));
    return v;
}

// The completion polls of ESTAT vary with the command's time: one entry per run.
Frames WithoutRepeatedPolls(const Frames& frames) {
    Frames out;
    for (const std::string& f : frames)
        if (!(f == "C 0115" && !out.empty() && out.back() == "C 0115"))
            out.push_back(f);
    return out;
}

std::string WordFrame(uint16_t address, uint8_t hi, uint8_t lo) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "s %04X %02X %02X", address, hi, lo);
    return buf;
}

TEST(WriteChanged, HcTwelveReadsEveryWordOnceAndWritesOnlyTheChangedOne) {
    WriteRig rig("HC912D60x");
    std::vector<uint8_t> image = Image(16, 0x21);
    PutOnBoard(rig.board, 0x0C00, image);
    image[5] = 0x77;
    rig.view.LoadPage(0x0C00, image);
    EXPECT_TRUE(rig.programmer.WriteChangedEeprom());

    // Every word read first; then the changed one erased and programmed, each pulse
    // after the read of the control register that proves it runs.
    Frames expected = {"U 02",      "C 0012",    "z 0012 01", "z 00F0 FC",
                       "z 00F1 00", "z 00EE 01", "z 00EF 18"};
    for (uint16_t a = 0x0C00; a < 0x0C10; a += 2)
        expected.push_back("L " + FormatHex4(a));
    for (const std::string& f :
         {std::string("z 00F3 B6"), std::string("s 0C04 FF FF"), std::string("z 00F3 B7"),
          std::string("C 00F3"), std::string("z 00F3 B6"), std::string("z 00F3 80"),
          std::string("z 00F3 82"), WordFrame(0x0C04, image[4], 0x77), std::string("z 00F3 83"),
          std::string("C 00F3"), std::string("z 00F3 82"), std::string("z 00F3 80"),
          std::string("L 0C04")})
        expected.push_back(f);
    EXPECT_EQ(rig.NewFrames(), expected);
    EXPECT_EQ(FromBoard(rig.board, 0x0C00, 16), image);
    EXPECT_EQ(rig.view.Status(0), "Zapisano  16  bajtów.");
    EXPECT_EQ(rig.view.Status(1), "Bez zmian: 7");
    EXPECT_TRUE(rig.view.messages.empty());
    EXPECT_FALSE(rig.view.gaugeRunning());
    EXPECT_EQ(rig.view.gaugeEndsAtTotal, 1);
}

TEST(WriteChanged, McNineS12ErasesAndProgramsOnlyTheChangedSector) {
    WriteRig rig("MC9S12DT128");
    const uint16_t s = rig.start();
    std::vector<uint8_t> image = Image(16, 0x30);
    PutOnBoard(rig.board, s, image);
    image[6] = 0x5A;  // sector s + 4
    rig.view.LoadPage(s, image);
    EXPECT_TRUE(rig.programmer.WriteChangedEeprom());

    const Frames frames = WithoutRepeatedPolls(rig.NewFrames());
    EXPECT_EQ(std::count(frames.begin(), frames.end(), "z 0116 41"), 0) << "no bulk erase";
    const std::string s4 = FormatHex4(s + 4), s6 = FormatHex4(s + 6);
    // Every word read first, before anything is written.
    Frames readings;
    for (uint16_t a = s; a < s + 16; a += 2)
        readings.push_back("L " + FormatHex4(a));
    const auto read = std::search(frames.begin(), frames.end(), readings.begin(), readings.end());
    ASSERT_NE(read, frames.end()) << ::testing::PrintToString(frames);
    EXPECT_EQ(std::count_if(frames.begin(), read, [](const std::string& f) { return f[0] == 's'; }),
              0);
    const Frames sector = {"s " + s4 + " FF FF",
                           "z 0116 40",
                           "z 0115 80",
                           "C 0115",
                           WordFrame(uint16_t(s + 4), image[4], image[5]),
                           "z 0116 20",
                           "z 0115 80",
                           "C 0115",
                           "L " + s4,
                           WordFrame(uint16_t(s + 6), 0x5A, image[7]),
                           "z 0116 20",
                           "z 0115 80",
                           "C 0115",
                           "L " + s6};
    const auto at = std::search(frames.begin(), frames.end(), sector.begin(), sector.end());
    EXPECT_NE(at, frames.end()) << ::testing::PrintToString(frames);
    // Every other word was only read.
    EXPECT_EQ(std::count_if(frames.begin(), frames.end(),
                            [](const std::string& f) { return f[0] == 's'; }),
              3);
    EXPECT_EQ(FromBoard(rig.board, s, 16), image);
    EXPECT_EQ(rig.view.Status(1), "Bez zmian: 6");
    EXPECT_TRUE(rig.view.messages.empty());
}

// A window that starts and ends in the middle of sectors: the words outside it are
// erased with their sector and programmed back; empty cells keep the target's byte.
TEST(WriteChanged, McNineS12HalfCoveredSectorsKeepTheirOtherWord) {
    WriteRig rig("MC9S12DT128");
    const uint16_t s = rig.start();
    PutOnBoard(rig.board, s, {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17});
    rig.view.LoadPage(uint16_t(s + 2), {0xA2, 0xA3, 0x00, 0xA5});
    rig.view.ClearCell(2);
    EXPECT_TRUE(rig.programmer.WriteChangedEeprom());
    EXPECT_EQ(FromBoard(rig.board, s, 8),
              (std::vector<uint8_t>{0x10, 0x11, 0xA2, 0xA3, 0x14, 0xA5, 0x16, 0x17}));
    const Frames frames = rig.NewFrames();
    EXPECT_EQ(rig.Count(frames, "s " + FormatHex4(s) + " FF FF"), 1);
    EXPECT_EQ(rig.Count(frames, "s " + FormatHex4(s + 4) + " FF FF"), 1);
    EXPECT_EQ(rig.Count(frames, WordFrame(s, 0x10, 0x11)), 1);
    EXPECT_EQ(rig.Count(frames, WordFrame(uint16_t(s + 6), 0x16, 0x17)), 1);
    EXPECT_EQ(rig.view.Status(0), "Zapisano  4  bajtów.");
    EXPECT_EQ(rig.view.Status(1), "Bez zmian: 0");

    // Written again: both sectors hold what the page wants, nothing is erased.
    EXPECT_TRUE(rig.programmer.WriteChangedEeprom());
    const Frames again = rig.NewFrames();
    EXPECT_EQ(
        std::count_if(again.begin(), again.end(), [](const std::string& f) { return f[0] == 's'; }),
        0);
    EXPECT_EQ(rig.view.Status(1), "Bez zmian: 2");
}

TEST(WriteChanged, AStuckByteIsReportedAsInTheFullWrite) {
    for (const std::string model : {"HC912D60x", "MC9S12DT128"}) {
        SCOPED_TRACE(model);
        const bool s12 = model != "HC912D60x";
        const uint16_t start = s12 ? 0x2000 : 0x0C00;
        sim::BoardOptions options;
        options.stuckAddress = uint16_t(start + 3);
        WriteRig rig(model, options);
        ASSERT_EQ(rig.start(), start);
        std::vector<uint8_t> image = Image(64, 0x44);
        PutOnBoard(rig.board, start, image);
        image[3] = 0x00;
        rig.view.LoadPage(start, image);
        EXPECT_FALSE(rig.programmer.WriteChangedEeprom());
        const Frames frames = rig.NewFrames();
        EXPECT_EQ(rig.Count(frames, WordFrame(uint16_t(start + 2), image[2], 0x00)), 5);
        EXPECT_EQ(rig.view.red, (std::set<uint32_t>{3}));
        EXPECT_EQ(rig.view.Status(0), "Zapisano  64  bajtów.");
        // The MC9S12 erases the stuck byte's sector, so its other word is written too.
        const auto& field1 = rig.view.statusHistory[1];
        ASSERT_GE(field1.size(), 2u);
        EXPECT_EQ(field1[field1.size() - 2], std::string("Bez zmian: ") + (s12 ? "30" : "31"));
        EXPECT_EQ(field1.back(), "Nieudanych zapisów:  1");
        ASSERT_EQ(rig.view.messages.size(), 1u);
        EXPECT_EQ(rig.view.messages[0].text, "Nie udało się zapisać 1komórek");
    }
}

// Failed bytes, then the link lost: its message ends the write, without the failure
// box after it; the count still goes to field 1.
TEST(WriteChanged, ALostLinkAfterFailedBytesShowsOneBox) {
    sim::BoardOptions options;
    options.stuckAddress = 0x0C01;
    // Replies: the connect's presence read, the 0x0012 read, the reading of all 32
    // words, the first word's five programmings (a pulse's proof and a read-back
    // each), the second word's proof; its read-back never comes.
    options.silentAfterReplyBytes = 1 + 1 + 32 * 2 + 5 * (1 + 2) + 1;
    WriteRig rig("HC912D60x", options);
    rig.view.LoadPage(0x0C00, std::vector<uint8_t>(64, 0x00));  // one failure: no question
    EXPECT_FALSE(rig.programmer.WriteChangedEeprom());
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0].text, kLinkLost);
    EXPECT_EQ(rig.view.red, (std::set<uint32_t>{1}));
    EXPECT_EQ(rig.view.Status(0), "Zapisano  2  bajty.");
    EXPECT_EQ(rig.view.Status(1), "Nieudanych zapisów:  63");
}

TEST(WriteChanged, SelectionOnlyLeavesTheOtherWordsUnread) {
    WriteRig rig("HC912D60x");
    PutOnBoard(rig.board, 0x0C00, std::vector<uint8_t>(16, 0x00));
    rig.view.LoadPage(0x0C00, std::vector<uint8_t>(16, 0x11));
    rig.view.selectionOnly = true;
    rig.view.Select(9);
    EXPECT_TRUE(rig.programmer.WriteChangedEeprom());
    const Frames frames = rig.NewFrames();
    EXPECT_EQ(std::count_if(frames.begin(), frames.end(),
                            [](const std::string& f) { return f[0] == 'L'; }),
              2);  // read, then verified
    EXPECT_EQ(FromBoard(rig.board, 0x0C06, 6),
              (std::vector<uint8_t>{0x00, 0x00, 0x11, 0x11, 0x00, 0x00}));
    EXPECT_EQ(rig.view.Status(0), "Zapisano  2  bajty.");
    EXPECT_EQ(rig.view.Status(1), "Bez zmian: 0");
}

// The link cut at every reply byte of the write (and a line error at each): the
// write ends with the lost-link message and no chip message, and every word of the
// EEPROM holds its old bytes, the new ones, or is erased: none was programmed with
// bytes that were not asked for.
TEST(WriteChanged, ALostLinkAnywhereProgramsNoWordWithUnknownBytes) {
    for (const std::string model : {"HC912D60x", "MC9S12DT128"}) {
        SCOPED_TRACE(model);
        const bool s12 = model != "HC912D60x";
        const uint16_t start = s12 ? 0x2000 : 0x0C00;
        const std::vector<uint8_t> before = Image(24, 0x05);
        std::vector<uint8_t> page(before.begin() + 2, before.end() - 2);  // half sectors
        for (size_t i = 0; i < page.size(); i += 3)
            page[i] = uint8_t(~page[i]);
        // Empty cells keep the target's byte: the wanted page has it already.
        const size_t emptyCells[] = {3, 8, 13};
        for (size_t i : emptyCells)
            page[i] = before[i + 2];
        const uint16_t pageStart = uint16_t(start + 2);

        // How many reply bytes the connect and the whole write take.
        int64_t connectReplies = 0, writeReplies = 0;
        {
            WriteRig rig(model);
            for (const auto& r : rig.board.FrameLog())
                connectReplies += r.bytes[0] == 'C' ? 1 : r.bytes[0] == 'L' ? 2 : 0;
            PutOnBoard(rig.board, start, before);
            rig.view.LoadPage(pageStart, page);
            for (size_t i : emptyCells)
                rig.view.ClearCell(uint32_t(i));
            ASSERT_TRUE(rig.programmer.WriteChangedEeprom());
            ASSERT_EQ(FromBoard(rig.board, pageStart, page.size()), page);
            for (const std::string& f : rig.NewFrames())
                writeReplies += f[0] == 'C' ? 1 : f[0] == 'L' ? 2 : 0;
        }
        ASSERT_GT(writeReplies, 20);
        for (int64_t cut = 0; cut < writeReplies; ++cut) {
            for (bool lineError : {false, true}) {
                SCOPED_TRACE(::testing::Message()
                             << "reply " << cut << (lineError ? " line error" : ""));
                sim::BoardOptions options;
                (lineError ? options.lineErrorAtReplyByte : options.silentAfterReplyBytes) =
                    connectReplies + cut;
                WriteRig rig(model, options);
                ASSERT_TRUE(rig.connected);
                PutOnBoard(rig.board, start, before);
                rig.view.LoadPage(pageStart, page);
                for (size_t i : emptyCells)
                    rig.view.ClearCell(uint32_t(i));
                EXPECT_FALSE(rig.programmer.WriteChangedEeprom());
                ASSERT_FALSE(rig.view.messages.empty());
                EXPECT_EQ(rig.view.messages.back().text, kLinkLost);
                int lineErrorBoxes = 0;
                for (const Message& m : rig.view.messages) {
                    EXPECT_EQ(m.text.find("ESTAT"), std::string::npos) << m.text;
                    lineErrorBoxes += m.text == "Wykryto błędy w ramce";
                }
                EXPECT_EQ(lineErrorBoxes, lineError ? 1 : 0);
                EXPECT_EQ(rig.view.messages.size(), lineError ? 2u : 1u);
                EXPECT_FALSE(rig.view.gaugeRunning());
                const std::vector<uint8_t> after = FromBoard(rig.board, start, before.size());
                for (size_t i = 0; i < before.size(); i += 2) {
                    const bool old = after[i] == before[i] && after[i + 1] == before[i + 1];
                    const bool erased = after[i] == 0xFF && after[i + 1] == 0xFF;
                    const bool inPage = i >= 2 && i - 2 < page.size();
                    const bool wanted =
                        inPage && after[i] == page[i - 2] && after[i + 1] == page[i - 1];
                    EXPECT_TRUE(old || erased || wanted) << "word at offset " << i;
                }
            }
        }
    }
}

}  // namespace
}  // namespace hc12::testing

namespace hc12::testing {
namespace {

// No erase where the word (HC12) or the whole sector (MC9S12) reads FFFF already.
TEST(WriteChanged, NothingIsErasedThatIsErasedAlready) {
    for (const std::string model : {"HC912D60x", "MC9S12DT128"}) {
        SCOPED_TRACE(model);
        WriteRig rig(model);
        const uint16_t s = rig.start();
        // Word 0 holds data, words 1 to 3 are erased; every word changes.
        PutOnBoard(rig.board, s, {0x10, 0x11, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
        const std::vector<uint8_t> page = {0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27};
        rig.view.LoadPage(s, page);
        EXPECT_TRUE(rig.programmer.WriteChangedEeprom());
        EXPECT_EQ(FromBoard(rig.board, s, 8), page);
        std::vector<std::string> erased;
        for (const std::string& f : rig.NewFrames())
            if (f[0] == 's' && f.compare(f.size() - 5, 5, "FF FF") == 0)
                erased.push_back(f.substr(2, 4));
        // HC12: only word 0; MC9S12: only the sector of words 0 and 1.
        EXPECT_EQ(erased, std::vector<std::string>{FormatHex4(s)});
    }
}

// The MC9S12 takes one mass erase where most of its EEPROM changes, sectors where
// little does, and none where all is erased already; the words outside the window
// hold what they held.
TEST(WriteChanged, McNineS12ErasesAllAtOnceOnlyWhereThatIsQuicker) {
    struct Case {
        const char* name;
        uint32_t count;         // the window, from the EEPROM's start
        uint32_t changedEvery;  // one word in this many changes (1: every word)
        bool erasedBefore;      // the EEPROM held nothing
        int erase;              // the erase command taken; 0: none
    };
    const Case cases[] = {
        {"all of it changes", 2048, 1, false, 0x41},
        {"three quarters change", 1536, 1, false, 0x41},
        {"a word in 32 changes", 2048, 32, false, 0x40},
        {"written into an erased EEPROM", 2048, 1, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteRig rig("MC9S12DT128");
        const uint16_t s = rig.start();
        const uint32_t size = rig.board.EepromSize();
        std::vector<uint8_t> before = Image(size, 0x05);
        if (c.erasedBefore)
            std::fill(before.begin(), before.end(), 0xFF);
        PutOnBoard(rig.board, s, before);
        std::vector<uint8_t> page(before.begin(), before.begin() + c.count);
        for (uint32_t i = 0; i < c.count; i += 2 * c.changedEvery)
            page[i] = uint8_t(~Image(size, 0x05)[i]);
        rig.view.LoadPage(s, page);
        EXPECT_TRUE(rig.programmer.WriteChangedEeprom());
        std::vector<uint8_t> expected = before;
        std::copy(page.begin(), page.end(), expected.begin());
        EXPECT_EQ(FromBoard(rig.board, s, size), expected);
        std::set<int> erases;
        for (const auto& command : rig.board.CommandLog())
            if (command.command != 0x20)
                erases.insert(command.command);
        EXPECT_EQ(erases, c.erase ? std::set<int>{c.erase} : std::set<int>{});
        EXPECT_TRUE(rig.view.messages.empty());
    }
}

}  // namespace
}  // namespace hc12::testing

namespace hc12::testing {
namespace {

// A No after a mass erase ends the write, and every word the erase took but the
// write did not get to is programmed back with what it held: none gets the page's
// bytes after the No. (An EEPROM clock out of its band makes every byte fail.)
TEST(WriteChanged, ANoAfterAMassEraseProgramsTheRestBackAsItWas) {
    sim::BoardOptions options;
    options.eclkdivLocked = 0x8A;  // 8 MHz / 11: far above 200 kHz
    WriteRig rig("MC9S12DT128", options);
    const uint16_t s = rig.start();
    const std::vector<uint8_t> before = Image(2048, 0x05);
    PutOnBoard(rig.board, s, before);
    std::vector<uint8_t> page(before);
    for (uint8_t& b : page)
        b = uint8_t(~b);
    rig.view.LoadPage(s, page);
    rig.view.answers = {MsgAnswer::No};
    EXPECT_FALSE(rig.programmer.WriteChangedEeprom());
    ASSERT_FALSE(rig.board.CommandLog().empty());
    EXPECT_EQ(rig.board.CommandLog().front().command, 0x41);

    ASSERT_GE(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(rig.view.messages[0].text, "Nie udało się zapisać 102komórek\nCzy kontynuować?");
    const std::string status = rig.view.Status(0);
    ASSERT_EQ(status.rfind("Zapisano  ", 0), 0u) << status;
    const uint32_t stop = uint32_t(std::stoul(status.substr(10)));
    EXPECT_GT(stop, 0u);
    EXPECT_LT(stop, 2048u);
    EXPECT_EQ(rig.view.Status(1), "Nieudanych zapisów:  " + std::to_string(102 + 2048 - stop - 2));

    int restored = 0;
    for (const std::string& f : rig.NewFrames()) {
        if (f[0] != 's' || f.compare(f.size() - 5, 5, "FF FF") == 0)
            continue;
        const uint32_t offset = uint32_t(std::stoul(f.substr(2, 4), nullptr, 16)) - s;
        const std::vector<uint8_t>& wanted = offset <= stop ? page : before;
        EXPECT_EQ(f, WordFrame(uint16_t(s + offset), wanted[offset], wanted[offset + 1]));
        restored += offset > stop;
    }
    EXPECT_GT(restored, 0);
}

// A stop asked for after a mass erase ends the write between two sectors, and what
// the erase took that the write did not get to gets back what it held.
TEST(WriteChanged, AStopAfterAMassErasePutsBackTheRest) {
    WriteRig rig("MC9S12DT128");
    const uint16_t s = rig.start();
    const std::vector<uint8_t> before = Image(2048, 0x05);
    PutOnBoard(rig.board, s, before);
    std::vector<uint8_t> page(before);
    for (uint8_t& b : page)
        b = uint8_t(~b);
    rig.view.LoadPage(s, page);
    // Asked at each word of the reading pass, once before the erase, then before
    // each sector: the 11th ask after the reading stops it.
    const int readingAsks = 2048 / 2;
    int asks = 0;
    rig.view.stopRequested = [&] { return ++asks > readingAsks + 10; };
    EXPECT_FALSE(rig.programmer.WriteChangedEeprom());
    EXPECT_TRUE(rig.programmer.Stopped());
    EXPECT_TRUE(rig.view.messages.empty());
    ASSERT_FALSE(rig.board.CommandLog().empty());
    EXPECT_EQ(rig.board.CommandLog().front().command, 0x41);
    EXPECT_EQ(rig.view.Status(0), "Zapisano  36  bajtów.");
    std::vector<uint8_t> expected(before);
    std::copy(page.begin(), page.begin() + 36, expected.begin());
    EXPECT_EQ(FromBoard(rig.board, s, 2048), expected);
}

}  // namespace
}  // namespace hc12::testing
