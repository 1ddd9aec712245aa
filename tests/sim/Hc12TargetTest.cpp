// HC12 EEPROM: latch, high-voltage pulse, erase to FF, programming that only clears
// bits, the pulse length, the protection and the HC912D clock divider.
#include <utility>

#include "BoardTestSupport.h"

namespace hc12::sim::test {
namespace {

constexpr uint16_t kEeprog = 0x00F3;
constexpr uint8_t kEelat = 0x02, kEepgm = 0x01, kErase = 0x04, kByte = 0x10;

class Hc12Test : public BoardTest {
  protected:
    void Open(const std::string& model, int quartz = 8, BoardOptions o = {}) {
        o.model = model;
        o.quartzMhz = quartz;
        Make(o);
        Start(ConfigFor(quartz));
        WriteByte(0x0012, 0x01);  // EEPROM on
        WriteByte(0x00F1, 0x00);  // unprotected
    }
    void Divider(uint16_t value) {
        WriteByte(0x00EE, uint8_t(value >> 8));
        WriteByte(0x00EF, uint8_t(value));
    }
    // Latch the word, hold the high voltage for holdMs, release, unlatch.
    void Pulse(uint8_t mode, uint16_t address, uint8_t hi, uint8_t lo, uint32_t holdMs) {
        WriteByte(kEeprog, mode | kEelat);
        WriteWord(address, hi, lo);
        WriteByte(kEeprog, mode | kEelat | kEepgm);
        clock.SleepMs(holdMs);
        WriteByte(kEeprog, mode | kEelat);
        WriteByte(kEeprog, 0x00);
    }
    void Erase(uint16_t address, uint32_t holdMs = 12) {
        Pulse(kErase | kByte, address, 0xFF, 0xFF, holdMs);
    }
    void Program(uint16_t address, uint8_t hi, uint8_t lo, uint32_t holdMs = 12) {
        Pulse(0, address, hi, lo, holdMs);
    }
    Bytes Word(uint16_t address) { return {board->Peek(address), board->Peek(address + 1)}; }
};

TEST_F(Hc12Test, ErasesAndProgramsAWordWhenThePulseIsLongEnough) {
    Open("HC12B");
    board->Poke(0x0D10, 0x12);
    board->Poke(0x0D11, 0x34);
    Erase(0x0D10);
    EXPECT_EQ(Word(0x0D10), (Bytes{0xFF, 0xFF}));
    Program(0x0D10, 0xA5, 0x0F);
    EXPECT_EQ(ReadWord(0x0D10), (Bytes{0xA5, 0x0F}));
    // Programming only clears bits.
    Program(0x0D10, 0xFF, 0xF0);
    EXPECT_EQ(Word(0x0D10), (Bytes{0xA5, 0x00}));
    EXPECT_EQ(Word(0x0D12), (Bytes{0xFF, 0xFF}));
}

TEST_F(Hc12Test, ShortPulseOrPlainWriteChangesNothing) {
    Open("HC812A4");
    board->Poke(0xF000, 0x12);
    Erase(0xF000, 5);
    EXPECT_EQ(board->Peek(0xF000), 0x12);
    Program(0xF002, 0x00, 0x00, 5);
    EXPECT_EQ(Word(0xF002), (Bytes{0xFF, 0xFF}));
    WriteWord(0xF004, 0x00, 0x00);  // not latched: the array ignores it
    EXPECT_EQ(Word(0xF004), (Bytes{0xFF, 0xFF}));
    // The high voltage cannot start before the array was latched and addressed.
    WriteByte(kEeprog, kEelat | kEepgm);
    WriteWord(0xF006, 0x00, 0x00);
    clock.SleepMs(12);
    WriteByte(kEeprog, kEelat);
    EXPECT_EQ(Word(0xF006), (Bytes{0xFF, 0xFF}));
}

// The pulse lasts from the last byte of the frame that switches the voltage on to the
// first byte of the frame that switches it off: the 1.3 ms that frame spends on the
// wire are no part of the pause the program must make.
TEST_F(Hc12Test, PulseIsTimedUpToTheFrameThatEndsIt) {
    for (const auto& [holdMs, programs] : {std::pair{9u, false}, std::pair{10u, true}}) {
        SCOPED_TRACE(holdMs);
        Open("HC12B");
        Program(0x0D10, 0x12, 0x34, holdMs);
        EXPECT_EQ(Word(0x0D10), programs ? (Bytes{0x12, 0x34}) : (Bytes{0xFF, 0xFF}));
    }
}

TEST_F(Hc12Test, ProtectedOrDisabledEepromDoesNotProgram) {
    Open("HC12B");
    WriteByte(0x00F1, 0x01);
    Program(0x0D00, 0x00, 0x00);
    EXPECT_EQ(Word(0x0D00), (Bytes{0xFF, 0xFF}));
    WriteByte(0x00F1, 0x00);
    WriteByte(0x0012, 0x00);  // EEPROM off
    Program(0x0D00, 0x00, 0x00);
    WriteByte(0x0012, 0x01);
    EXPECT_EQ(Word(0x0D00), (Bytes{0xFF, 0xFF}));
}

TEST_F(Hc12Test, FixedEeprotKeepsTheEepromProtected) {
    BoardOptions o;
    o.eprot = 0x01;
    Open("HC12B", 8, o);
    EXPECT_EQ(ReadByte(0x00F1), 0x01);
    Program(0x0D00, 0x00, 0x00);
    EXPECT_EQ(Word(0x0D00), (Bytes{0xFF, 0xFF}));
}

// The later HC912D parts time the EEPROM from EEDIVH:EEDIVL = quartz in MHz x 35;
// the original HC(9)12D60 has no divider and programs whatever the pair holds.
TEST_F(Hc12Test, Hc912DNeedsTheDividerOfItsQuartz) {
    struct Case {
        const char* model;
        int quartz;
        uint16_t divider;
        bool complete;
    };
    for (const Case& c :
         {Case{"HC912D60x", 8, 0x0118, true}, Case{"HC912D60x", 8, 0x008C, false},
          Case{"HC912Dx128x", 16, 0x0230, true}, Case{"HC912Dx128x", 4, 0x008C, true},
          Case{"HC912Dx128x", 16, 0x0000, false}, Case{"HC(9)12D60", 4, 0x0000, true}}) {
        SCOPED_TRACE(testing::Message() << c.model << " " << c.quartz << " MHz " << c.divider);
        Open(c.model, c.quartz);
        Divider(c.divider);
        board->Poke(0x0C00, 0x00);
        board->Poke(0x0C01, 0x3C);
        Erase(0x0C00);
        Program(0x0C02, 0x12, 0x34);
        const Bytes erased = Word(0x0C00);
        const Bytes programmed = Word(0x0C02);
        if (c.complete) {
            EXPECT_EQ(erased, (Bytes{0xFF, 0xFF}));
            EXPECT_EQ(programmed, (Bytes{0x12, 0x34}));
        } else {
            EXPECT_NE(erased, (Bytes{0xFF, 0xFF}));
            EXPECT_NE(erased, (Bytes{0x00, 0x3C}));
            EXPECT_NE(programmed, (Bytes{0x12, 0x34}));
            EXPECT_NE(programmed, (Bytes{0xFF, 0xFF}));
        }
    }
}

}  // namespace
}  // namespace hc12::sim::test
