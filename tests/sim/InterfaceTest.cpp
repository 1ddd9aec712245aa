// The interface itself: reset by RTS, greeting, the frames and their replies, the
// wire time, the clock selection and the frame log.
#include "BoardTestSupport.h"

namespace hc12::sim::test {
namespace {

BoardOptions Hc12B() {
    BoardOptions o;
    o.model = "HC12B";
    return o;
}

TEST_F(BoardTest, GreetsOnlyAfterALongEnoughRtsPulse) {
    Make(Hc12B());
    Pulse(50);  // too short to reset
    EXPECT_TRUE(Receive(1).empty());
    Pulse(150);
    EXPECT_EQ(Receive(5), (Bytes{'p', 'a', 'w', 'w'}));
}

TEST_F(BoardTest, IgnoresFramesUntilRunThenAnswersOnlyReads) {
    Make(Hc12B());
    board->Poke(0x0D00, 0x12);
    board->Poke(0x0D01, 0x34);
    Pulse();
    ASSERT_EQ(Receive(4).size(), 4u);
    Send({'U', ConfigFor(8)});
    Send({'C', 0x0D, 0x00});
    EXPECT_TRUE(Receive(1).empty()) << "answered before 'R'";

    Send({'R'});
    Send({'U', ConfigFor(8)});
    Send({'z', 0x30, 0x00, 0x5A});
    Send({'s', 0x30, 0x02, 0xA1, 0xA2});
    // None of R, U, z, s answers: the next byte on the line is the C reply.
    EXPECT_EQ(ReadByte(0x0D00), 0x12);
    EXPECT_EQ(ReadWord(0x0D00), (Bytes{0x12, 0x34}));
    EXPECT_EQ(ReadWord(0x3001), (Bytes{0x00, 0xA1}));
    EXPECT_EQ(board->Peek(0x3000), 0x5A);
    EXPECT_EQ(board->Peek(0x3003), 0xA2);
    EXPECT_TRUE(Receive(1).empty());
}

TEST_F(BoardTest, RepliesTakeWireTimeAndWaitingSleepsOnTheClock) {
    Make(Hc12B());
    Start(ConfigFor(8));
    Send({'L', 0x0D, 0x00});
    // Just written: the reply is still on its way.
    EXPECT_EQ(port->ClearErrors().bytesWaiting, 0u);
    // Waiting wakes with the first byte; the second is still on the wire.
    uint8_t byte = 0;
    ASSERT_TRUE(port->WaitForInput(300));
    EXPECT_EQ(port->ClearErrors().bytesWaiting, 1u);
    EXPECT_EQ(port->Read(&byte, 1), 1u);
    EXPECT_EQ(port->Read(&byte, 1), 0u);
    ASSERT_TRUE(port->WaitForInput(300));
    EXPECT_EQ(port->Read(&byte, 1), 1u);

    // Nothing due: the wait sleeps on the clock up to its deadline.
    const uint32_t before = clock.TickMs();
    EXPECT_FALSE(port->WaitForInput(300));
    EXPECT_EQ(clock.TickMs() - before, 300u);
}

// latency=16: the reply comes 16 ms later than its wire time would allow, and is
// still whole.
TEST_F(BoardTest, LatencyHoldsEveryReply) {
    BoardOptions o = Hc12B();
    o.latencyMs = 16;
    Make(o);
    board->Poke(0x0D00, 0x12);
    board->Poke(0x0D01, 0x34);
    Start(ConfigFor(8));
    Send({'L', 0x0D, 0x00});
    const uint64_t sentUs = clock.NowUs();
    clock.SleepMs(15);
    EXPECT_EQ(port->ClearErrors().bytesWaiting, 0u) << "still held by the adapter";
    EXPECT_EQ(Receive(2), (Bytes{0x12, 0x34}));
    EXPECT_GE(clock.NowUs() - sentUs, 16000u);
    EXPECT_LE(clock.NowUs() - sentUs, 17000u);
}

// exec=1000: the interface carries a frame out for 1 ms after its last byte and
// answers then; meanwhile it holds one received byte and loses the next.
TEST_F(BoardTest, ABusyInterfaceHoldsOneByteAndLosesTheNext) {
    constexpr uint64_t kByteUs = 261;
    BoardOptions o = Hc12B();
    o.execUs = 1000;
    o.strict = true;
    Make(o);
    board->Poke(0x0D00, 0x12);
    Start(ConfigFor(8));
    clock.SleepMs(10);

    // The read may start while the write is carried out, as long as only its first
    // byte arrives before the interface is free.
    WriteByte(0x3000, 0x5A);
    clock.SleepUs(1000 - 2 * kByteUs);
    const uint64_t sentUs = clock.NowUs();
    Send({'C', 0x0D, 0x00});
    EXPECT_EQ(Receive(1), Bytes{0x12});
    EXPECT_GE(clock.NowUs(), sentUs + 3 * kByteUs + 1000 + kByteUs);
    EXPECT_EQ(board->Peek(0x3000), 0x5A);
    EXPECT_EQ(board->LostBytes(), 0u);

    // A microsecond earlier its second byte is lost; the frame waits for a byte more,
    // and the next frame's first byte completes it: the stream is shifted.
    WriteByte(0x3000, 0x5B);
    clock.SleepUs(1000 - 2 * kByteUs - 1);
    Send({'C', 0x0D, 0x00});
    EXPECT_TRUE(Receive(1).empty());
    EXPECT_EQ(board->LostBytes(), 1u);
    const std::vector<std::string> findings = board->Violations();
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].find("byte 0D lost"), 0u) << findings[0];
}

TEST_F(BoardTest, PurgeDiscardsRepliesAlreadyReceived) {
    Make(Hc12B());
    Start(ConfigFor(8));
    Send({'L', 0x0D, 0x00});
    clock.SleepMs(5);
    port->Purge();
    EXPECT_EQ(port->ClearErrors().bytesWaiting, 0u);
    EXPECT_EQ(ReadByte(0x0D02), 0xFF);
}

TEST_F(BoardTest, FrameLogHoldsEveryFrameInOrder) {
    Make(Hc12B());
    Start(ConfigFor(4));
    WriteWord(0x3000, 1, 2);
    ReadByte(0x000F);
    const auto& log = board->FrameLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].bytes, (Bytes{'R'}));
    EXPECT_EQ(log[1].bytes, (Bytes{'U', 0x01}));
    EXPECT_EQ(log[2].bytes, (Bytes{'s', 0x30, 0x00, 1, 2}));
    EXPECT_EQ(log[3].bytes, (Bytes{'C', 0x00, 0x0F}));
    EXPECT_LT(log[2].timeUs, log[3].timeUs);
    board->ClearFrameLog();
    EXPECT_TRUE(board->FrameLog().empty());
}

// 0x000F reads 0x00 exactly when the interface clock matches the quartz; with the
// wrong clock neither reads nor writes reach the target intact.
TEST_F(BoardTest, InterfaceClockMustMatchQuartz) {
    for (int quartz : {16, 8, 4}) {
        for (int chosen : {16, 8, 4}) {
            SCOPED_TRACE(testing::Message() << "quartz " << quartz << " chosen " << chosen);
            BoardOptions o = Hc12B();
            o.quartzMhz = quartz;
            Make(o);
            Start(ConfigFor(chosen));
            const uint8_t probe = ReadByte(0x000F);
            WriteByte(0x3000, 0x77);
            if (quartz == chosen) {
                EXPECT_EQ(probe, 0x00);
                EXPECT_EQ(board->Peek(0x3000), 0x77);
            } else {
                EXPECT_NE(probe, 0x00);
                EXPECT_EQ(board->Peek(0x3000), 0x00);
            }
        }
    }
}

TEST_F(BoardTest, ResetBringsBackTheDefaultClockAndWaitsForRunAgain) {
    Make(Hc12B());
    Start(ConfigFor(8));
    EXPECT_EQ(ReadByte(0x000F), 0x00);
    Pulse();
    ASSERT_EQ(Receive(4).size(), 4u);
    Send({'C', 0x00, 0x0F});
    EXPECT_TRUE(Receive(1).empty());
    Send({'R'});
    EXPECT_NE(ReadByte(0x000F), 0x00) << "16 MHz after reset, the board runs at 8";
}

TEST_F(BoardTest, PlaysTheHintedModelUnlessOneIsGiven) {
    Make({});
    EXPECT_EQ(board->ModelName(), "HC912D60x");
    port->HintModel("MC9S12DP512(1L00M)");
    EXPECT_EQ(board->ModelName(), "MC9S12DP512(1L00M)");
    EXPECT_EQ(board->EepromSize(), 4096u);
    port->HintModel("Model");  // the placeholder changes nothing
    EXPECT_EQ(board->ModelName(), "MC9S12DP512(1L00M)");

    Make(Hc12B());
    port->HintModel("HC812A4");
    EXPECT_EQ(board->ModelName(), "HC12B");
    EXPECT_EQ(board->EepromStart(), 0x0D00);
}

}  // namespace
}  // namespace hc12::sim::test
