// The program's pulses, pauses and waits, measured by the board on the virtual clock.
// The interface acknowledges no frame: these times are all that lets the target
// finish, so they are checked to the microsecond.
#include <gtest/gtest.h>

#include <algorithm>

#include "TargetRig.h"

namespace hc12::testing {
namespace {

using Frames = std::vector<std::string>;

// Quiet time between frame i and the next one: from the end of the frame (or of
// its reply) to the first byte of the next frame.
uint64_t PauseAfter(const std::vector<sim::FrameRecord>& log, size_t i) {
    return log[i + 1].startUs - std::max(log[i].timeUs, log[i].replyUs);
}

struct Step {
    std::string frame;
    uint64_t pauseMs;  // before the next frame
};

// Finds `steps` in the log as a run of consecutive frames from the first frame
// equal to steps[0].frame, and checks the pause after each.
void ExpectPauses(const std::vector<sim::FrameRecord>& log, const std::vector<Step>& steps) {
    size_t at = 0;
    while (at < log.size() && FrameText(log[at].bytes) != steps[0].frame)
        ++at;
    ASSERT_LT(at + steps.size(), log.size()) << "no " << steps[0].frame;
    for (size_t k = 0; k < steps.size(); ++k) {
        SCOPED_TRACE(::testing::Message() << "step " << k << ": " << steps[k].frame);
        EXPECT_EQ(FrameText(log[at + k].bytes), steps[k].frame);
        EXPECT_EQ(PauseAfter(log, at + k), steps[k].pauseMs * 1000);
    }
}

TEST(Timing, ResetPulseOfRtsLastsTwoHundredMilliseconds) {
    TargetRig rig(Board("HC912D60x"));
    rig.ChooseQuartz("8MHz");
    rig.Connect("HC912D60x");
    ASSERT_TRUE(rig.view.commandsEnabled);
    const auto& edges = rig.board.RtsLog();
    ASSERT_EQ(edges.size(), 2u);
    EXPECT_TRUE(edges[0].active);
    EXPECT_FALSE(edges[1].active);
    EXPECT_EQ(edges[1].timeUs - edges[0].timeUs, 200000u);
}

TEST(Timing, HcTwelveHighVoltagePulsesLastTenMillisecondsBeforeTheFrameThatEndsThem) {
    WriteRig rig("HC912D60x");
    rig.view.LoadPage(0x0C00, {0x12, 0x34});
    EXPECT_TRUE(rig.programmer.WriteEeprom());
    const auto log = rig.NewRecords();
    ExpectPauses(log, {{"z 00F3 B6", 10},
                       {"s 0C00 FF FF", 10},
                       {"z 00F3 B7", 10},
                       {"z 00F3 B6", 10},
                       {"z 00F3 80", 20 + 30},  // and a flush pass
                       {"z 00F3 82", 10},
                       {"s 0C00 12 34", 10},
                       {"z 00F3 83", 10},
                       {"z 00F3 82", 10},
                       {"z 00F3 80", 10}});
    // The board's own measure of the two pulses: from the last byte of the frame that
    // switched the voltage on to the first byte of the frame that switched it off.
    const auto& pulses = rig.board.CommandLog();
    ASSERT_EQ(pulses.size(), 2u);
    for (const auto& p : pulses) {
        EXPECT_EQ(p.address, 0x0C00);
        EXPECT_EQ(p.doneUs - p.startUs, 10000u);
    }
    EXPECT_EQ(rig.board.Peek(0x0C00), 0x12);
    EXPECT_EQ(rig.board.Peek(0x0C01), 0x34);
}

// The changed-only write counts each pulse's 10 ms from the reply to a read of the
// control register sent after the frame that started it: the interface answers in
// order, so that reply proves the pulse runs.
TEST(Timing, HcTwelvePulsesOfTheChangedWriteRunTenMillisecondsFromTheirProof) {
    sim::BoardOptions options;
    options.latencyMs = 1;
    WriteRig rig("HC912D60x", options);
    rig.board.Poke(0x0C00, 0x12);
    rig.board.Poke(0x0C01, 0x34);
    rig.view.LoadPage(0x0C00, {0x56, 0x78});
    EXPECT_TRUE(rig.programmer.WriteChangedEeprom());
    const auto log = rig.NewRecords();
    std::vector<std::string> ends;
    for (size_t i = 0; i + 2 < log.size(); ++i) {
        const std::string on = FrameText(log[i].bytes);
        if (on != "z 00F3 B7" && on != "z 00F3 83")
            continue;
        SCOPED_TRACE(on);
        ASSERT_EQ(FrameText(log[i + 1].bytes), "C 00F3");
        // The reply reaches the PC a millisecond after its wire time; the pulse is
        // counted from when it left, a byte's time before its wire time was over.
        EXPECT_EQ(log[i + 2].startUs, log[i + 1].replyUs + 1000 - kByteTimeFloorUs + 10000);
        ends.push_back(FrameText(log[i + 2].bytes));
    }
    EXPECT_EQ(ends, (std::vector<std::string>{"z 00F3 B6", "z 00F3 82"}));
    // As the board measured them: 10 ms from the proof, and the proof's way back.
    const auto& pulses = rig.board.CommandLog();
    ASSERT_EQ(pulses.size(), 2u);
    for (const auto& p : pulses) {
        EXPECT_GE(p.doneUs - p.startUs, 10000u);
        EXPECT_LE(p.doneUs - p.startUs, 15000u);
    }
    EXPECT_EQ(rig.board.Peek(0x0C00), 0x56);
    EXPECT_EQ(rig.board.Peek(0x0C01), 0x78);
}

TEST(Timing, McNineS12PausesAroundEachCommand) {
    WriteRig rig("MC9S12DT128");
    const std::string s = FormatHex4(rig.start());
    rig.view.LoadPage(rig.start(), {0x12, 0x34});
    EXPECT_TRUE(rig.programmer.WriteEeprom());
    const auto log = rig.NewRecords();
    ExpectPauses(log, {{"z 0114 FF", 10},
                       {"C 0114", 0},
                       {"C 0110", 0},
                       {"z 0110 2B", 10},
                       {"C 0110", 0},
                       {"C 0115", 0},
                       {"s " + s + " FF FF", 10},
                       {"z 0116 41", 10},
                       {"C 0115", 0},
                       {"z 0115 C1", 20}});
    ExpectPauses(log, {{"s " + s + " 12 34", 10},
                       {"z 0116 20", 20},
                       {"z 0115 80", 20},
                       {"C 0115", 0},     // complete already
                       {"C 0115", 10}});  // the status check, then the read-back
}

// A command is launched only on an idle module and its status is judged only after
// it completed: the program polls ESTAT until CCIF is set (a mass erase takes 20000
// EEPROM clocks, 110 ms here, longer than the fixed pauses).
TEST(Timing, EveryMcNineS12CommandIsAwaitedUntilComplete) {
    WriteRig rig("MC9S12DT128");
    rig.view.LoadPage(rig.start(), {0x12, 0x34, 0x56, 0x78});
    EXPECT_TRUE(rig.programmer.WriteEeprom());
    const auto& commands = rig.board.CommandLog();
    std::vector<int> kinds;
    for (const auto& c : commands)
        kinds.push_back(c.command);
    EXPECT_EQ(kinds, (std::vector<int>{0x41, 0x41, 0x41, 0x20, 0x20}));
    ASSERT_EQ(commands.size(), 5u);
    EXPECT_GT(commands[0].doneUs - commands[0].startUs, 100000u);
    // After each launch, ESTAT is read again after the command is done and before
    // the module is written again.
    const auto log = rig.NewRecords();
    for (const auto& c : commands) {
        SCOPED_TRACE(::testing::Message() << "command " << int(c.command) << " at " << c.startUs);
        bool awaited = false;
        for (const auto& f : log) {
            if (f.startUs <= c.startUs)
                continue;
            const std::string text = FrameText(f.bytes);
            if (text == "C 0115" && f.timeUs >= c.doneUs) {
                awaited = true;
                break;
            }
            if (text[0] == 'z' || text[0] == 's')
                break;  // written again before the completion was seen
        }
        EXPECT_TRUE(awaited);
    }
}

// A board switched on while the port was idle greets unasked; the greeting waits in
// the PC's queue. The connect flushes it first and reads the true greeting and the
// memory map, not the stale bytes.
TEST(Timing, ConnectDiscardsWhatWaitedOnTheLineBefore) {
    TargetRig rig(Board("MC9S12DT128"));
    rig.ChooseQuartz("8MHz");
    rig.board.SendUnasked({'p', 'a', 'w', 'w'});
    rig.clock.SleepMs(5);
    rig.Connect("MC9S12DT128");
    ASSERT_TRUE(rig.view.commandsEnabled);
    EXPECT_EQ(rig.view.startField, "2000");
    EXPECT_EQ(rig.view.countField, "2048");
    ASSERT_FALSE(rig.board.PurgeLog().empty());
    ASSERT_FALSE(rig.board.RtsLog().empty());
    EXPECT_LT(rig.board.PurgeLog().front(), rig.board.RtsLog().front().timeUs);
}

// The control register is the family's own at every write, also when the model
// changed since the last write in the same run.
TEST(Timing, EachWriteStartsFromTheHcTwelveControlRegister) {
    sim::BoardOptions options;  // the board follows the chosen model
    TargetRig rig(options);
    rig.ChooseQuartz("8MHz");
    rig.Connect("MC9S12DT128");
    ASSERT_TRUE(rig.view.commandsEnabled);
    rig.view.LoadPage(0x2000, {0xA1, 0xA2});
    EXPECT_TRUE(rig.programmer.WriteEeprom());
    EXPECT_EQ(rig.board.Peek(0x2000), 0xA1);

    rig.Connect("HC912D60x");
    ASSERT_TRUE(rig.view.commandsEnabled);
    ASSERT_EQ(rig.board.ModelName(), "HC912D60x");
    rig.SkipFrames();
    rig.view.messages.clear();
    rig.view.LoadPage(0x0C00, {0x12, 0x34});
    EXPECT_TRUE(rig.programmer.WriteEeprom());
    const Frames frames = rig.NewFrames();
    EXPECT_EQ(WriteRig::Count(frames, "z 00F3 83"), 1);
    EXPECT_EQ(WriteRig::Count(frames, "z 0116 82"), 0);
    EXPECT_EQ(rig.board.Peek(0x0C00), 0x12);
    EXPECT_EQ(rig.board.Peek(0x0C01), 0x34);
    EXPECT_TRUE(rig.view.messages.empty());
}

}  // namespace
}  // namespace hc12::testing
