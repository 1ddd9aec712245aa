// MC9S12 EEPROM module: ECLKDIV band, command launch through ESTAT/ECMD, status
// flags, protection, and the write-once memory mapping.
#include "BoardTestSupport.h"

namespace hc12::sim::test {
namespace {

constexpr uint16_t kEclkdiv = 0x0110, kEprot = 0x0114, kEstat = 0x0115, kEcmd = 0x0116;
constexpr uint8_t kPviol = 0x20, kAccerr = 0x10, kCcif = 0x40;

class S12Test : public BoardTest {
  protected:
    void Open(int quartz = 8, std::optional<uint8_t> eprot = std::nullopt) {
        BoardOptions o;
        o.model = "MC9S12DT128";
        o.quartzMhz = quartz;
        o.eprot = eprot;
        Make(o);
        Start(ConfigFor(quartz));
    }
    void Command(uint16_t address, uint8_t hi, uint8_t lo, uint8_t command) {
        WriteWord(address, hi, lo);
        WriteByte(kEcmd, command);
        WriteByte(kEstat, 0x80);
    }
    Bytes Word(uint16_t address) { return {board->Peek(address), board->Peek(address + 1)}; }
};

TEST_F(S12Test, MassEraseAndWordProgramThroughTheCommandRegisters) {
    Open(8);
    EXPECT_EQ(ReadByte(kEstat), 0xC1);
    WriteByte(kEclkdiv, 0x27);  // 8 MHz / 40 = 200 kHz
    EXPECT_EQ(ReadByte(kEclkdiv), 0xA7);
    board->Poke(0x0800, 0x00);
    board->Poke(0x0FFF, 0x12);

    Command(0x0800, 0xFF, 0xFF, 0x41);
    clock.SleepMs(90);
    EXPECT_EQ(ReadByte(kEstat) & kCcif, 0) << "mass erase takes 20000 EEPROM clocks";
    clock.SleepMs(10);
    EXPECT_EQ(ReadByte(kEstat), 0xC1);
    EXPECT_EQ(board->Peek(0x0800), 0xFF);
    EXPECT_EQ(board->Peek(0x0FFF), 0xFF);

    Command(0x0800, 0x12, 0x34, 0x20);
    clock.SleepMs(2);
    EXPECT_EQ(ReadWord(0x0800), (Bytes{0x12, 0x34}));
    Command(0x0802, 0xF0, 0x0F, 0x20);
    clock.SleepMs(2);
    Command(0x0802, 0x0F, 0xF0, 0x20);
    clock.SleepMs(2);
    EXPECT_EQ(Word(0x0802), (Bytes{0x00, 0x00})) << "programming only clears bits";
    EXPECT_EQ(ReadByte(kEstat), 0xC1);
}

// The EEPROM clock, quartz / (PRDIV8 ? 8 : 1) / (EDIV + 1), must lie in 150..200 kHz.
TEST_F(S12Test, ProgramsCompletelyOnlyWithTheEepromClockInBand) {
    struct Case {
        int quartz;
        uint8_t eclkdiv;
        bool inBand;
    };
    for (const Case& c : {Case{16, 0x4A, true}, Case{8, 0x15, false}, Case{4, 0x15, true},
                          Case{16, 0x0A, false}, Case{4, 0x4A, false}}) {
        SCOPED_TRACE(testing::Message() << c.quartz << " MHz, ECLKDIV " << int(c.eclkdiv));
        Open(c.quartz);
        WriteByte(kEclkdiv, c.eclkdiv);
        Command(0x0800, 0x12, 0x34, 0x20);
        clock.SleepMs(2);
        EXPECT_EQ(ReadByte(kEstat), 0xC1) << "no flag tells a wrong clock";
        if (c.inBand)
            EXPECT_EQ(Word(0x0800), (Bytes{0x12, 0x34}));
        else
            EXPECT_NE(Word(0x0800), (Bytes{0x12, 0x34}));
        EXPECT_NE(Word(0x0800), (Bytes{0xFF, 0xFF}));
    }
}

// Sector erase 4000 and mass erase 20000 cycles of the EEPROM clock: 22 ms and 110 ms
// at 16 MHz / 88 = 181.8 kHz. Times run from the launch (the last byte of its frame).
TEST_F(S12Test, EraseCommandsTakeTheDatasheetTimes) {
    struct Case {
        uint8_t command;
        uint32_t busyAtMs, doneAtMs;
    };
    for (const Case& c : {Case{0x40, 21, 23}, Case{0x41, 109, 111}}) {
        SCOPED_TRACE(testing::Message() << "command " << int(c.command));
        Open(16);
        WriteByte(kEclkdiv, 0x4A);
        board->Poke(0x0800, 0x00);
        Command(0x0800, 0xFF, 0xFF, c.command);
        const uint64_t launchUs = clock.NowUs();
        clock.SleepUs(c.busyAtMs * 1000 - (clock.NowUs() - launchUs));
        EXPECT_EQ(board->Peek(0x0800), 0x00);
        EXPECT_EQ(ReadByte(kEstat) & kCcif, 0);
        clock.SleepUs(c.doneAtMs * 1000 - (clock.NowUs() - launchUs));
        EXPECT_EQ(ReadByte(kEstat), 0xC1);
        EXPECT_EQ(board->Peek(0x0800), 0xFF);
    }
}

// Every step of a new command while one runs is an access error, and the running
// command still ends as it would have.
TEST_F(S12Test, ANewCommandWhileOneRunsSetsAccerr) {
    Open(4);
    WriteByte(kEclkdiv, 0x15);
    board->Poke(0x0800, 0x00);
    board->Poke(0x0804, 0x00);
    Command(0x0800, 0xFF, 0xFF, 0x40);
    Command(0x0804, 0xFF, 0xFF, 0x40);  // launched 2 ms into the first erase
    EXPECT_EQ(ReadByte(kEstat) & (kAccerr | kCcif), kAccerr);
    clock.SleepMs(30);
    EXPECT_EQ(ReadByte(kEstat), 0xC1 | kAccerr);
    EXPECT_EQ(board->Peek(0x0800), 0xFF);
    EXPECT_EQ(board->Peek(0x0804), 0x00) << "the second sector was never erased";

    WriteByte(kEstat, kAccerr);
    Command(0x0804, 0xFF, 0xFF, 0x40);
    WriteByte(kEstat, 0x80);  // launch alone, again while busy
    EXPECT_EQ(ReadByte(kEstat) & kAccerr, kAccerr);
}

TEST_F(S12Test, WrongSequenceSetsAccerrUntilCleared) {
    Open(4);
    Command(0x0800, 0x12, 0x34, 0x20);  // ECLKDIV never written
    clock.SleepMs(2);
    EXPECT_EQ(ReadByte(kEstat), 0xC1 | kAccerr);
    EXPECT_EQ(Word(0x0800), (Bytes{0xFF, 0xFF}));
    WriteByte(kEstat, kAccerr);
    EXPECT_EQ(ReadByte(kEstat), 0xC1);

    WriteByte(kEclkdiv, 0x15);
    WriteByte(kEcmd, 0x20);  // command without the word
    EXPECT_EQ(ReadByte(kEstat), 0xC1 | kAccerr);
    WriteByte(kEstat, kAccerr);
    WriteWord(0x0800, 0x12, 0x34);
    WriteByte(kEcmd, 0x7E);  // no such command
    EXPECT_EQ(ReadByte(kEstat), 0xC1 | kAccerr);
    WriteByte(kEstat, kAccerr);
    Command(0x0800, 0x12, 0x34, 0x20);
    clock.SleepMs(2);
    EXPECT_EQ(Word(0x0800), (Bytes{0x12, 0x34}));
}

TEST_F(S12Test, ProtectionSetsPviol) {
    // 0x85: EPOPEN set, EPDIS clear, the top 6 x 64 bytes protected.
    Open(4, 0x85);
    WriteByte(kEprot, 0xFF);
    EXPECT_EQ(ReadByte(kEprot), 0x85);
    WriteByte(kEclkdiv, 0x15);
    board->Poke(0x0800, 0x00);
    Command(0x0800, 0xFF, 0xFF, 0x41);
    clock.SleepMs(25);
    EXPECT_EQ(ReadByte(kEstat), 0xC1 | kPviol);
    EXPECT_EQ(board->Peek(0x0800), 0x00);
    WriteByte(kEstat, kPviol);

    Command(0x0802, 0x12, 0x34, 0x20);  // below the protected range
    clock.SleepMs(2);
    EXPECT_EQ(Word(0x0802), (Bytes{0x12, 0x34}));
    Command(0x0FFE, 0x12, 0x34, 0x20);
    clock.SleepMs(2);
    EXPECT_EQ(ReadByte(kEstat), 0xC1 | kPviol);
    EXPECT_EQ(Word(0x0FFE), (Bytes{0xFF, 0xFF}));
}

TEST_F(S12Test, ProtectionCanOnlyBeRaised) {
    Open(4);
    EXPECT_EQ(ReadByte(kEprot), 0xFF);
    WriteByte(kEprot, 0x7F);
    WriteByte(kEprot, 0xFF);
    EXPECT_EQ(ReadByte(kEprot), 0x7F);
    WriteByte(kEclkdiv, 0x15);
    Command(0x0800, 0x12, 0x34, 0x20);
    EXPECT_EQ(ReadByte(kEstat), 0xC1 | kPviol);
}

TEST_F(S12Test, MappingIsWriteOnceAfterReset) {
    Open(8);
    EXPECT_EQ(board->EepromStart(), 0x0800);
    EXPECT_EQ(ReadByte(0x001C), 0x13);  // 2 KB EEPROM, 8 KB RAM
    board->Poke(0x0800, 0x42);
    WriteByte(0x0012, 0x21);
    WriteByte(0x0012, 0x41);
    EXPECT_EQ(ReadByte(0x0012), 0x21);
    EXPECT_EQ(board->EepromStart(), 0x2000);
    EXPECT_EQ(ReadByte(0x2000), 0x42) << "the EEPROM moved with its contents";
    WriteByte(0x0010, 0x41);
    WriteByte(0x0010, 0x09);
    EXPECT_EQ(ReadByte(0x0010), 0x41);

    Start(ConfigFor(8));  // the interface reset resets the target
    WriteByte(0x0012, 0x41);
    EXPECT_EQ(board->EepromStart(), 0x4000);
}

}  // namespace
}  // namespace hc12::sim::test
