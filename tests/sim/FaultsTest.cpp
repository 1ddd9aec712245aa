// Faults taken on request: silence, line errors, unstable and stuck bytes, fixed
// status registers, a wrong greeting, stray bytes and a missing target.
#include "BoardTestSupport.h"

namespace hc12::sim::test {
namespace {

BoardOptions Hc12B() {
    BoardOptions o;
    o.model = "HC12B";
    return o;
}

TEST_F(BoardTest, FallsSilentFromTheGivenReplyByteOn) {
    BoardOptions o = Hc12B();
    o.silentAfterReplyBytes = 3;
    Make(o);
    Start(ConfigFor(8));
    EXPECT_EQ(ReadWord(0x0D00).size(), 2u);
    EXPECT_EQ(ReadWord(0x0D02).size(), 1u);
    EXPECT_TRUE(ReadWord(0x0D04).empty());
    Pulse();
    EXPECT_TRUE(Receive(1).empty()) << "a silent interface does not greet either";
}

TEST_F(BoardTest, UnpluggedAdapterReportsAnIoErrorAtEveryLookAndHasHungUp) {
    BoardOptions o = Hc12B();
    o.unplugAtReplyByte = 1;
    Make(o);
    Start(ConfigFor(8));
    EXPECT_EQ(ReadByte(0x0D00), 0xFF);
    EXPECT_FALSE(port->HungUp());
    Send({'C', 0x0D, 0x00});
    EXPECT_TRUE(port->HungUp());
    for (int look = 0; look < 2; ++look) {
        EXPECT_TRUE(port->WaitForInput(300));
        EXPECT_EQ(port->ClearErrors().errors, kCeIoe);
    }
    Pulse();
    EXPECT_EQ(port->ClearErrors().bytesWaiting, 0u) << "no greeting through a dead adapter";
}

TEST_F(BoardTest, ReportsALineErrorWhenTheGivenReplyByteIsDue) {
    BoardOptions o = Hc12B();
    o.lineErrorAtReplyByte = 1;
    o.lineErrorBits = kCeFrame | kCeRxParity;
    Make(o);
    Start(ConfigFor(8));
    EXPECT_EQ(ReadByte(0x0D00), 0xFF);
    Send({'C', 0x0D, 0x00});
    ASSERT_TRUE(port->WaitForInput(300));
    const LineStatus status = port->ClearErrors();
    EXPECT_EQ(status.errors, kCeFrame | kCeRxParity);
    EXPECT_EQ(status.bytesWaiting, 0u);
    EXPECT_EQ(port->ClearErrors().errors, 0u) << "reported once, then cleared";
    EXPECT_EQ(ReadByte(0x0D00), 0xFF);
}

TEST_F(BoardTest, UnstableByteDiffersForItsFirstReadings) {
    BoardOptions o = Hc12B();
    o.unstableAddress = 0x0D01;
    o.unstableReadings = 2;
    Make(o);
    board->Poke(0x0D01, 0x3C);
    Start(ConfigFor(8));
    const Bytes first = ReadWord(0x0D00), second = ReadWord(0x0D00), third = ReadWord(0x0D00);
    EXPECT_EQ(first[0], 0xFF);
    EXPECT_NE(first[1], 0x3C);
    EXPECT_NE(second[1], 0x3C);
    EXPECT_NE(first[1], second[1]);
    EXPECT_EQ(third, (Bytes{0xFF, 0x3C}));
    EXPECT_EQ(ReadByte(0x0D01), 0x3C);
}

TEST_F(BoardTest, StuckByteNeverPrograms) {
    BoardOptions o;
    o.model = "MC9S12DBx";
    o.quartzMhz = 4;
    o.stuckAddress = 0x0805;
    Make(o);
    Start(ConfigFor(4));
    WriteByte(0x0110, 0x15);
    for (uint16_t address : {0x0804, 0x0806}) {
        WriteWord(address, 0x00, 0x00);
        WriteByte(0x0116, 0x20);
        WriteByte(0x0115, 0x80);
        clock.SleepMs(2);
    }
    EXPECT_EQ(ReadWord(0x0804), (Bytes{0x00, 0xFF}));
    EXPECT_EQ(ReadWord(0x0806), (Bytes{0x00, 0x00}));
}

TEST_F(BoardTest, FixedRegisterValuesReadBackWhateverIsWritten) {
    BoardOptions o;
    o.model = "MC9S12H256(1K78X)";
    o.quartzMhz = 16;
    o.eprot = 0x7F;
    o.eclkdivLocked = 0x05;
    o.estat = 0xC4;
    Make(o);
    Start(ConfigFor(16));
    WriteByte(0x0114, 0xFF);
    WriteByte(0x0110, 0x4A);
    WriteByte(0x0115, 0xF4);
    EXPECT_EQ(ReadByte(0x0114), 0x7F);
    EXPECT_EQ(ReadByte(0x0110), 0x05);
    EXPECT_EQ(ReadByte(0x0115), 0xC4);
    EXPECT_EQ(ReadByte(0x001C), 0x25);  // 4 KB EEPROM, 12 KB RAM
}

TEST_F(BoardTest, WrongGreetingAndStrayBytes) {
    BoardOptions o = Hc12B();
    o.greeting = "pawx";
    o.strayBytes = {0x5A, 0x00};
    Make(o);
    Pulse();
    EXPECT_EQ(Receive(7), (Bytes{'p', 'a', 'w', 'x', 0x5A, 0x00}));
}

TEST_F(BoardTest, InterfaceWithoutTargetGreetsButNeverAnswers) {
    BoardOptions o = Hc12B();
    o.targetPresent = false;
    Make(o);
    Start(ConfigFor(8));
    Send({'C', 0x00, 0x0F});
    EXPECT_TRUE(Receive(1).empty());
    Send({'L', 0x0D, 0x00});
    EXPECT_TRUE(Receive(1).empty());
}

}  // namespace
}  // namespace hc12::sim::test
