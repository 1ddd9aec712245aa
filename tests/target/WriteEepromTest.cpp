// Writing the EEPROM of both families against the virtual board.
#include <gtest/gtest.h>

#include <algorithm>

#include "TargetRig.h"

namespace hc12::testing {
namespace {

using Frames = std::vector<std::string>;

std::vector<uint8_t> Bytes(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 13);
    return v;
}

TEST(WriteEeprom, HcTwelveWordIsErasedProgrammedAndVerifiedWithEveryPause) {
    WriteRig rig("HC912D60x");
    rig.view.LoadPage(0x0C00, {0x12, 0x34});
    EXPECT_TRUE(rig.programmer.WriteEeprom());
    const auto records = rig.NewRecords();
    Frames frames;
    for (const auto& r : records)
        frames.push_back(FrameText(r.bytes));
    EXPECT_EQ(frames, (Frames{"U 02", "C 0012",
                              // preparation, with the 8 MHz divider 35 x 8
                              "z 0012 01", "z 00F0 FC", "z 00F1 00", "z 00EE 01", "z 00EF 18",
                              // erase
                              "z 00F3 B6", "s 0C00 FF FF", "z 00F3 B7", "z 00F3 B6", "z 00F3 80",
                              // program
                              "z 00F3 82", "s 0C00 12 34", "z 00F3 83", "z 00F3 82", "z 00F3 80",
                              // verify
                              "L 0C00"}));
    // The pause after each frame of the preparation and the word (ms).
    const uint64_t pauses[] = {10, 10, 10, 10, 10 + 20, 10, 10, 10, 10, 20, 10, 10, 10, 10, 10};
    ASSERT_EQ(records.size(), 2 + std::size(pauses) + 1);
    for (size_t i = 0; i < std::size(pauses); ++i) {
        SCOPED_TRACE(frames[2 + i]);
        EXPECT_GE(records[3 + i].timeUs - records[2 + i].timeUs, pauses[i] * 1000);
    }
    EXPECT_EQ(rig.board.Peek(0x0C00), 0x12);
    EXPECT_EQ(rig.board.Peek(0x0C01), 0x34);
    EXPECT_EQ(rig.view.Status(0), "Zapisano  2  bajty.");
    EXPECT_EQ(rig.view.Status(1), "2");
    EXPECT_TRUE(rig.view.messages.empty());
    EXPECT_FALSE(rig.view.gaugeRunning());
}

TEST(WriteEeprom, McNineS12WordIsProgrammedAfterTheBulkErase) {
    WriteRig rig("MC9S12DT128");
    const uint16_t start = rig.start();
    rig.view.LoadPage(start, {0x12, 0x34});
    EXPECT_TRUE(rig.programmer.WriteEeprom());
    const auto records = rig.NewRecords();
    Frames frames;
    for (const auto& r : records)
        frames.push_back(FrameText(r.bytes));
    const std::string s = FormatHex4(start);
    // Preparation up to the bulk erase, ECLKDIV 0x2B for 8 MHz.
    const Frames head = {"U 02",   "C 0012",    "z 0114 FF", "C 0114",
                         "C 0110", "z 0110 2B", "C 0110",    "C 0115"};
    ASSERT_GT(frames.size(), head.size());
    EXPECT_EQ(Frames(frames.begin(), frames.begin() + long(head.size())), head);
    EXPECT_EQ(rig.Count(frames, "s " + s + " FF FF"), 3);
    EXPECT_EQ(rig.Count(frames, "z 0116 41"), 3);
    // The word: data, command, start, wait for completion, check, read back.
    const auto word = std::find(frames.begin(), frames.end(), "s " + s + " 12 34");
    ASSERT_NE(word, frames.end());
    EXPECT_EQ(Frames(word, frames.end()), (Frames{"s " + s + " 12 34", "z 0116 20", "z 0115 80",
                                                  "C 0115", "C 0115", "L " + s}));
    EXPECT_EQ(rig.board.Peek(start), 0x12);
    EXPECT_EQ(rig.board.Peek(uint16_t(start + 1)), 0x34);
    EXPECT_EQ(rig.view.Status(0), "Zapisano  2  bajty.");
    EXPECT_TRUE(rig.view.messages.empty());
}

TEST(WriteEeprom, WholePageOnBothFamiliesReadsBackTheSame) {
    for (const std::string model : {"HC912D60x", "MC9S12DT128", "HC812A4"}) {
        SCOPED_TRACE(model);
        WriteRig rig(model);
        const uint16_t start = rig.start();
        std::vector<uint8_t> bytes = Bytes(256, 0x21);
        bytes[10] = bytes[11] = 0xFF;  // an erased word: not programmed
        rig.view.LoadPage(start, bytes);
        EXPECT_TRUE(rig.programmer.WriteEeprom());
        for (uint32_t i = 0; i < bytes.size(); ++i)
            ASSERT_EQ(rig.board.Peek(uint16_t(start + i)), bytes[i]) << i;
        EXPECT_EQ(rig.view.Status(0), "Zapisano  256  bajtów.");
        EXPECT_EQ(rig.view.Status(1), "256");
        EXPECT_TRUE(rig.view.messages.empty());
        EXPECT_EQ(rig.view.gaugeEndsAtTotal, 1);
        // The selection follows the write: the second byte of the last word.
        EXPECT_EQ(rig.view.selected(), (std::set<uint32_t>{255}));

        EXPECT_TRUE(rig.programmer.ReadEeprom());
        for (uint32_t i = 0; i < bytes.size(); ++i)
            ASSERT_EQ(rig.view.Cell(i), bytes[i]) << i;
    }
}

TEST(WriteEeprom, WordVerifiedOnTheThirdProgrammingIsNeitherRedNorCounted) {
    sim::BoardOptions options;
    options.unstableAddress = 0x0C02;
    options.unstableReadings = 2;
    WriteRig rig("HC912D60x", options);
    rig.view.LoadPage(0x0C00, {0x11, 0x22, 0x33, 0x44});
    EXPECT_TRUE(rig.programmer.WriteEeprom());
    const Frames frames = rig.NewFrames();
    EXPECT_EQ(rig.Count(frames, "s 0C02 33 44"), 3);
    EXPECT_EQ(rig.Count(frames, "s 0C00 11 22"), 1);
    EXPECT_TRUE(rig.view.red.empty());
    EXPECT_TRUE(rig.view.messages.empty());
}

TEST(WriteEeprom, ByteThatWillNotProgramIsRedSelectedAndCounted) {
    sim::BoardOptions options;
    options.stuckAddress = 0x0C03;
    WriteRig rig("HC912D60x", options);
    std::vector<uint8_t> bytes(64, 0x00);
    rig.view.LoadPage(0x0C00, bytes);
    EXPECT_FALSE(rig.programmer.WriteEeprom());
    const Frames frames = rig.NewFrames();
    EXPECT_EQ(rig.Count(frames, "s 0C02 00 00"), 5);  // programmed, then four more times
    EXPECT_EQ(rig.view.red, (std::set<uint32_t>{3}));
    EXPECT_EQ(rig.view.Status(0), "Zapisano  64  bajtów.");
    EXPECT_EQ(rig.view.Status(1), "Nieudanych zapisów:  1");
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0].text, "Nie udało się zapisać 1komórek");
    EXPECT_EQ(rig.view.messages[0].caption, "Błąd");
    EXPECT_EQ(rig.view.messages[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(rig.view.messages[0].icon, MsgIcon::Error);
}

TEST(WriteEeprom, QuestionAtATenthOrATwentiethOfTheCount) {
    struct Case {
        uint32_t count;  // one stuck byte = count / 10 or count / 20
        MsgAnswer answer;
        int questions;  // how often it is asked
        const char* field0;
        const char* field1;
    };
    // The stuck byte is at offset 4; each answer Yes brings the question again
    // after the next word while the count stays.
    const Case cases[] = {
        {20, MsgAnswer::Yes, 8, "Zapisano  20  bajtów.", "Nieudanych zapisów:  1"},
        // No at the word of offset 4: the stuck byte plus bytes 6..19 never attempted;
        // the word itself is not counted again as not attempted.
        {20, MsgAnswer::No, 1, "Zapisano  4  bajtów.", "Nieudanych zapisów:  15"},
        {10, MsgAnswer::Yes, 3, "Zapisano  10  bajtów.", "Nieudanych zapisów:  1"},
        {10, MsgAnswer::No, 1, "Zapisano  4  bajtów.", "Nieudanych zapisów:  5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + (c.answer == MsgAnswer::Yes ? " yes" : " no"));
        sim::BoardOptions options;
        options.stuckAddress = 0x0C04;
        WriteRig rig("HC912D60x", options);
        rig.view.defaultAnswer = c.answer;
        rig.view.LoadPage(0x0C00, std::vector<uint8_t>(c.count, 0x5A));
        EXPECT_FALSE(rig.programmer.WriteEeprom());
        int questions = 0;
        for (const auto& m : rig.view.messages) {
            if (m.buttons != MsgButtons::YesNo)
                continue;
            ++questions;
            EXPECT_EQ(m.text, "Nie udało się zapisać 1komórek\nCzy kontynuować?");
            EXPECT_EQ(m.caption, "Błąd");
            EXPECT_EQ(m.icon, MsgIcon::Error);
        }
        EXPECT_EQ(questions, c.questions);
        EXPECT_EQ(rig.view.Status(0), c.field0);
        EXPECT_EQ(rig.view.Status(1), c.field1);
        EXPECT_FALSE(rig.view.gaugeRunning());
        if (c.answer == MsgAnswer::No) {
            EXPECT_EQ(rig.board.Peek(0x0C06), 0xFF);  // never reached
        }
    }
}

TEST(WriteEeprom, SelectionOnlyWritesTheWordsOfSelectedCells) {
    WriteRig rig("HC912D60x");
    for (uint32_t a = 0x0C00; a < 0x0C10; ++a)
        rig.board.Poke(uint16_t(a), 0xEE);
    rig.view.LoadPage(0x0C00, Bytes(16, 0x40));
    rig.view.selectionOnly = true;
    rig.view.Select(5);
    EXPECT_TRUE(rig.programmer.WriteEeprom());
    const Frames frames = rig.NewFrames();
    EXPECT_EQ(rig.Count(frames, "s 0C04 FF FF"), 1);
    EXPECT_EQ(rig.Count(frames, "s 0C00 FF FF"), 0);
    EXPECT_EQ(rig.board.Peek(0x0C04), Bytes(16, 0x40)[4]);
    EXPECT_EQ(rig.board.Peek(0x0C05), Bytes(16, 0x40)[5]);
    EXPECT_EQ(rig.board.Peek(0x0C06), 0xEE);
    EXPECT_EQ(rig.board.Peek(0x0C03), 0xEE);
    EXPECT_EQ(rig.view.gaugeTotal(), 1);
    EXPECT_EQ(rig.view.gaugeEndsAtTotal, 1);
    // The write moved no selection (the page moves before it dropped the user's).
    EXPECT_TRUE(rig.view.selected().empty());
    EXPECT_EQ(rig.view.Status(1), "6");
    EXPECT_EQ(rig.view.Status(0), "Zapisano  2  bajty.");  // the word it wrote, not the window
}

TEST(WriteEeprom, SelectionOnlyFailedByteJoinsTheSelection) {
    sim::BoardOptions options;
    options.stuckAddress = 0x0C04;
    WriteRig rig("HC912D60x", options);
    rig.view.LoadPage(0x0C00, std::vector<uint8_t>(16, 0x00));
    rig.view.selectionOnly = true;
    rig.view.Select(5);
    rig.view.Select(9);
    EXPECT_FALSE(rig.programmer.WriteEeprom());
    EXPECT_EQ(rig.view.red, (std::set<uint32_t>{4}));
    EXPECT_EQ(rig.view.selected(), (std::set<uint32_t>{4}));
    EXPECT_EQ(rig.view.gaugeTotal(), 2);
    EXPECT_FALSE(rig.view.gaugeRunning());
    // One failure is 16 / 10: asked (Yes) after that word and after the word at 8.
    ASSERT_EQ(rig.view.messages.size(), 3u);
    EXPECT_EQ(rig.view.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(rig.view.messages[1].buttons, MsgButtons::YesNo);
    // The words it did not take are neither written nor failed.
    EXPECT_EQ(rig.view.Status(1), "Nieudanych zapisów:  1");
    EXPECT_EQ(rig.view.Status(0), "Zapisano  4  bajtów.");
}

// Empty cells and the cells beyond the page keep what the target holds, read once
// each: on an MC9S12 before its bulk erase, which takes the rest of the EEPROM.
TEST(WriteEeprom, EmptyCellsAndCellsBeyondThePageKeepTheTargetsBytes) {
    for (const std::string model : {"HC912D60x", "MC9S12DT128"}) {
        SCOPED_TRACE(model);
        WriteRig rig(model);
        const bool s12 = rig.programmer.S12Target();
        const uint16_t start = rig.start();
        for (uint32_t a = start; a < start + 0x40u; ++a)
            rig.board.Poke(uint16_t(a), uint8_t(a + 0x40));
        // A page of one row (16 cells) with a count of 34: 18 bytes lie beyond it.
        rig.view.LoadPage(start, std::vector<uint8_t>(16, 0x00), 34);
        rig.view.ClearCell(3);
        EXPECT_TRUE(rig.programmer.WriteEeprom());
        const Frames frames = rig.NewFrames();
        auto at = [&](uint32_t offset) { return uint16_t(start + offset); };
        EXPECT_EQ(rig.Count(frames, "C " + FormatHex4(at(3))), 1);
        EXPECT_EQ(rig.Count(frames, "C " + FormatHex4(at(2))), 0);
        if (s12) {
            const auto firstErase = std::find(frames.begin(), frames.end(), "z 0116 41");
            ASSERT_NE(firstErase, frames.end());
            for (uint32_t offset : {3u, 0x10u, 0x21u})
                EXPECT_LT(std::find(frames.begin(), frames.end(), "C " + FormatHex4(at(offset))),
                          firstErase)
                    << offset;
        }
        EXPECT_EQ(rig.board.Peek(at(2)), 0x00);
        EXPECT_EQ(rig.board.Peek(at(3)), uint8_t(at(3) + 0x40));
        for (uint32_t offset = 0x10; offset < 0x22; ++offset)
            EXPECT_EQ(rig.board.Peek(at(offset)), uint8_t(at(offset) + 0x40)) << offset;
        // Outside the window: untouched, or bulk-erased with the rest of the EEPROM.
        EXPECT_EQ(rig.board.Peek(at(0x22)), s12 ? 0xFF : uint8_t(at(0x22) + 0x40));
        EXPECT_EQ(rig.view.Status(0), "Zapisano  34  bajtów.");
        EXPECT_TRUE(rig.view.messages.empty());
        // The selection only lands on cells that exist.
        EXPECT_EQ(rig.view.selected(), (std::set<uint32_t>{15}));
    }
}

// A lost link or a stop while an MC9S12 full write reads the bytes it keeps ends it
// before the bulk erase: the EEPROM is as it was, and the write says so.
TEST(WriteEeprom, McNineS12KeptBytesThatCannotBeReadStopTheWriteBeforeTheErase) {
    // The reply bytes of a connect, as a board without faults counts them.
    int64_t connectReplies = 0;
    {
        WriteRig probe("MC9S12DT128");
        for (const auto& record : probe.board.FrameLog())
            connectReplies += record.bytes[0] == 'C' ? 1 : record.bytes[0] == 'L' ? 2 : 0;
    }
    enum class Fault { Stop, TimeOut, LineError };
    for (const Fault fault : {Fault::Stop, Fault::TimeOut, Fault::LineError}) {
        SCOPED_TRACE(int(fault));
        sim::BoardOptions options;
        // After the connect: the write's read of 0x0012, the module's four register
        // reads, then the first kept byte; the second one is lost.
        const int64_t secondKeptByte = connectReplies + 1 + 4 + 1;
        if (fault == Fault::TimeOut)
            options.silentAfterReplyBytes = secondKeptByte;
        if (fault == Fault::LineError)
            options.lineErrorAtReplyByte = secondKeptByte;
        WriteRig rig("MC9S12DT128", options);
        const uint16_t start = rig.start();
        for (uint32_t a = start; a < start + 16u; ++a)
            rig.board.Poke(uint16_t(a), uint8_t(a));
        rig.view.LoadPage(start, std::vector<uint8_t>(16, 0x00));
        rig.view.ClearCell(1);
        rig.view.ClearCell(6);
        if (fault == Fault::Stop)
            rig.view.stopRequested = [&rig] { return rig.view.stopAsks > 1; };
        EXPECT_FALSE(rig.programmer.WriteEeprom());

        const Frames frames = rig.NewFrames();
        EXPECT_EQ(rig.Count(frames, "z 0116 41"), 0);
        EXPECT_EQ(frames.back(), fault == Fault::Stop ? "C " + FormatHex4(start + 1)
                                                      : "C " + FormatHex4(start + 6));
        for (uint32_t a = start; a < start + 16u; ++a)
            EXPECT_EQ(rig.board.Peek(uint16_t(a)), uint8_t(a)) << a;
        EXPECT_EQ(rig.view.Status(0), "Zapisano  0  bajtów.");
        EXPECT_FALSE(rig.view.gaugeRunning());
        if (fault == Fault::Stop) {
            EXPECT_TRUE(rig.programmer.Stopped());
            EXPECT_TRUE(rig.view.messages.empty());
        } else {
            ASSERT_FALSE(rig.view.messages.empty());
            EXPECT_EQ(rig.view.messages.back().text, "Utracono połącznie z interfejsem! ");
        }
    }
}

// Whole words, every byte at its own address: an odd window grows outward, the page
// gains an empty cell in front, and the bytes the widening added keep what the target
// holds, also where the page has a byte beyond the window.
TEST(WriteEeprom, AnOddWindowGrowsToWholeWordsAndEveryByteKeepsItsAddress) {
    struct Case {
        const char* model;
        bool changedOnly;
        bool selectionOnly;  // the cell of 22 selected before the write
    };
    for (const Case c : {Case{"HC912D60x", false, false}, Case{"HC912D60x", true, false},
                         Case{"MC9S12DT128", false, false}, Case{"MC9S12DT128", true, false},
                         Case{"HC912D60x", false, true}, Case{"HC912D60x", true, true}}) {
        SCOPED_TRACE(std::string(c.model) + (c.changedOnly ? " changed only" : " full") +
                     (c.selectionOnly ? ", selection" : ""));
        WriteRig rig(c.model);
        const uint16_t base = rig.start();
        for (uint16_t a = base; a < base + 16; ++a)
            rig.board.Poke(a, 0xAA);
        // 11 22 33 44 at base + 1 ..; the 99 after them lies outside the window.
        rig.view.LoadPage(base + 1, {0x11, 0x22, 0x33, 0x44, 0x99}, 4);
        rig.view.selectionOnly = c.selectionOnly;
        if (c.selectionOnly)
            rig.view.Select(1);
        EXPECT_TRUE(c.changedOnly ? rig.programmer.WriteChangedEeprom()
                                  : rig.programmer.WriteEeprom());
        EXPECT_EQ(rig.view.startField, FormatHex4(base));
        EXPECT_EQ(rig.view.countField, "6");
        // A selection-only write counts the bytes of the words it took.
        EXPECT_EQ(rig.view.Status(0),
                  c.selectionOnly ? "Zapisano  2  bajty." : "Zapisano  6  bajtów.");
        EXPECT_EQ(rig.view.Cell(0), std::nullopt);
        for (uint32_t i = 1; i <= 4; ++i)
            EXPECT_EQ(rig.view.Cell(i), uint8_t(0x11 * i)) << i;
        EXPECT_EQ(rig.view.Cell(5), 0x99);
        std::vector<uint8_t> expected =
            c.selectionOnly ? std::vector<uint8_t>{0xAA, 0xAA, 0x22, 0x33, 0xAA, 0xAA, 0xAA}
                            : std::vector<uint8_t>{0xAA, 0x11, 0x22, 0x33, 0x44, 0xAA, 0xAA};
        if (!c.changedOnly && rig.programmer.S12Target())
            expected[6] = 0xFF;  // outside the window, bulk-erased
        for (uint16_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(rig.board.Peek(uint16_t(base + i)), expected[i]) << FormatHex4(base + i);
        EXPECT_TRUE(rig.view.messages.empty());
    }
}

TEST(WriteEeprom, AnErasedPageIsOnlyErased) {
    WriteRig rig("HC912D60x");
    rig.view.LoadPage(0x0C00, std::vector<uint8_t>(32, 0xFF));
    EXPECT_TRUE(rig.programmer.WriteEeprom());
    const Frames frames = rig.NewFrames();
    EXPECT_EQ(rig.Count(frames, "z 00F3 B7"), 16);
    EXPECT_EQ(rig.Count(frames, "z 00F3 83"), 0);
    EXPECT_EQ(std::count_if(frames.begin(), frames.end(),
                            [](const std::string& f) { return f[0] == 'L'; }),
              0);
    EXPECT_EQ(rig.view.Status(0), "Zapisano  32  bajtów.");
}

TEST(WriteEeprom, WindowPastFfffIsRefusedBeforeAnythingIsSent) {
    // Whole words past 0xFFFF, also when only the widening takes the window there.
    struct Case {
        uint32_t start;
        uint32_t count;
    };
    for (const Case c : {Case{0xFFF0, 32}, Case{0xFFFF, 2}, Case{0xFFFE, 3}, Case{0xFFFD, 4}}) {
        SCOPED_TRACE(c.start);
        SCOPED_TRACE(c.count);
        WriteRig rig("HC912D60x");
        rig.view.LoadPage(c.start, std::vector<uint8_t>(c.count, 0x00));
        const std::string startField = rig.view.startField;
        EXPECT_FALSE(rig.programmer.WriteEeprom());
        EXPECT_TRUE(rig.NewFrames().empty());
        ASSERT_EQ(rig.view.messages.size(), 1u);
        EXPECT_EQ(rig.view.messages[0].text, "Zakres zapisu wykracza poza adres FFFF!");
        EXPECT_EQ(rig.view.messages[0].caption, "Błąd");
        EXPECT_EQ(rig.view.messages[0].icon, MsgIcon::Error);
        EXPECT_EQ(rig.view.gaugeStarts, 0);
        EXPECT_EQ(rig.view.startField, startField);
    }

    // Up to 0xFFFF itself is fine, also after the evening.
    for (const Case c : {Case{0xFFF0, 16}, Case{0xFFFD, 2}, Case{0xFFFE, 1}}) {
        SCOPED_TRACE(c.start);
        WriteRig rig("HC912D60x");
        rig.view.LoadPage(c.start, std::vector<uint8_t>(c.count, 0xFF));
        EXPECT_TRUE(rig.programmer.WriteEeprom());
        EXPECT_TRUE(rig.view.messages.empty());
    }
}

// An empty cell keeps the target's byte, which is read first. When that read is lost,
// the word must not be erased: it would be programmed with a byte nobody knows.
TEST(WriteEeprom, KeptByteThatCannotBeReadStopsBeforeTheErase) {
    struct Case {
        const char* name;
        bool lineError;
    };
    for (const Case c : {Case{"time-out", false}, Case{"line error", true}}) {
        SCOPED_TRACE(c.name);
        sim::BoardOptions options;
        // Reply bytes: connect (1), the write's read of 0x0012 (1), the first word's
        // read-back (2); then the kept byte of the second word.
        const int64_t keptByteReply = 1 + 1 + 2;
        (c.lineError ? options.lineErrorAtReplyByte : options.silentAfterReplyBytes) =
            keptByteReply;
        WriteRig rig("HC912D60x", options);
        rig.board.Poke(0x0C02, 0x12);
        rig.board.Poke(0x0C03, 0x34);
        rig.view.LoadPage(0x0C00, {0x01, 0x02, 0x03, 0x04});
        rig.view.ClearCell(3);
        EXPECT_FALSE(rig.programmer.WriteEeprom());

        EXPECT_EQ(rig.board.Peek(0x0C00), 0x01);
        EXPECT_EQ(rig.board.Peek(0x0C02), 0x12);  // untouched, not erased
        EXPECT_EQ(rig.board.Peek(0x0C03), 0x34);
        const Frames frames = rig.NewFrames();
        EXPECT_EQ(frames.back(), "C 0C03");
        ASSERT_FALSE(rig.view.messages.empty());
        EXPECT_EQ(rig.view.messages.back().text, "Utracono połącznie z interfejsem! ");
        EXPECT_EQ(rig.view.Status(0), "Zapisano  2  bajty.");
    }
}

// The adapter pulled out during a read-back: one line-error box and the lost link,
// not the word's four reprogrammings over the dead link with a box each, and no
// failure count for bytes that were never verified.
TEST(WriteEeprom, LinkLostInAVerificationEndsWithOneBoxOfEachKind) {
    struct Case {
        const char* name;
        bool earlierFailure;  // a byte that will not program, before the link goes
    };
    for (const Case c : {Case{"clean", false}, Case{"with an earlier failed byte", true}}) {
        SCOPED_TRACE(c.name);
        sim::BoardOptions options;
        // Reply bytes: connect (1), the write's read of 0x0012 (1), the first word's
        // read-back (2, five times over when it fails), then the second word's.
        options.lineErrorAtReplyByte = 1 + 1 + (c.earlierFailure ? 5 : 1) * 2;
        options.lineErrorBits = kCeIoe;
        if (c.earlierFailure)
            options.stuckAddress = 0x0C00;
        WriteRig rig("HC912D60x", options);
        rig.view.LoadPage(0x0C00, std::vector<uint8_t>(64, 0x00));
        EXPECT_FALSE(rig.programmer.WriteEeprom());

        std::vector<std::string> texts;
        for (const auto& m : rig.view.messages)
            texts.push_back(m.text);
        EXPECT_EQ(texts, (std::vector<std::string>{"Wykryto błędy I/O",
                                                   "Utracono połącznie z interfejsem! "}));
        const Frames frames = rig.NewFrames();
        EXPECT_EQ(frames.back(), "L 0C02");
        EXPECT_EQ(WriteRig::Count(frames, "s 0C02 00 00"), 1);
        EXPECT_EQ(rig.view.Status(0), "Zapisano  2  bajty.");
        EXPECT_EQ(rig.view.red, c.earlierFailure ? std::set<uint32_t>{0} : std::set<uint32_t>{});
        // With a byte failed before, the count of failed and not attempted bytes
        // still shows in the status bar.
        EXPECT_EQ(rig.view.Status(1), c.earlierFailure ? "Nieudanych zapisów:  63" : "2");
    }
}

TEST(WriteEeprom, InterfaceUnpluggedMidwayEndsWithTheSummary) {
    sim::BoardOptions options;
    // Reply bytes: the connect's presence read (1), the write's read of 0x0012 (1),
    // three words verified (2 each); the fourth word's read-back gets no reply.
    options.silentAfterReplyBytes = 1 + 1 + 3 * 2;
    WriteRig rig("HC912D60x", options);
    rig.view.defaultAnswer = MsgAnswer::Yes;
    rig.view.LoadPage(0x0C00, std::vector<uint8_t>(64, 0x00));
    EXPECT_FALSE(rig.programmer.WriteEeprom());
    EXPECT_EQ(rig.view.Status(3), "Brak połączenia.");
    EXPECT_FALSE(rig.view.commandsEnabled);
    EXPECT_FALSE(rig.view.gaugeRunning());
    bool lostBox = false;
    for (const auto& m : rig.view.messages)
        lostBox |= m.text == "Utracono połącznie z interfejsem! ";
    EXPECT_TRUE(lostBox);
    EXPECT_EQ(rig.view.Status(0), "Zapisano  6  bajtów.");
}

TEST(WriteEeprom, CountZeroSendsNothing) {
    WriteRig rig("HC912D60x");
    rig.view.LoadPage(0x0C00, {}, 0);
    EXPECT_TRUE(rig.programmer.WriteEeprom());
    EXPECT_TRUE(rig.NewFrames().empty());
}

}  // namespace
}  // namespace hc12::testing
