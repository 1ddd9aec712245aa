// The two paces of the family sequences, step by step.
//
// The full write pauses after every step, as the programmer always has: nothing is
// acknowledged, so the pauses are sized for any interface and any chip.
//
// The chip's pace waits only where the chip needs time, and proves it:
// - A register write needs nothing but to be carried out: the serial link already
//   keeps every frame to the interface's frame time, and a later read proves it.
// - An HC12 pulse must last 10 ms, counted from a proof that it runs: the reply to
//   a read sent after the frame that started it (the interface answers in order).
//   The frame that ends it goes 10 ms after that reply left the interface, so the
//   pulse lasts 10 ms plus the reply's way back (the adapter's latency), never less.
// - An MC9S12 command runs until the module sets CCIF: ESTAT is read until it does,
//   back to back, and nothing else touches the EEPROM meanwhile. A lost link ends
//   the polling at once (every read is then refused).
// - No reply is outstanding after an erase, so nothing needs to settle before the
//   programming: only what may wait in the input (stray bytes) is dropped.
#include "Pacing.h"

namespace hc12 {

namespace {

constexpr StepWait Fixed(uint32_t ms) {
    return StepWait{ms, false, 0};
}
constexpr StepWait Carried() {
    return StepWait{};
}
constexpr StepWait ProvenThen(uint32_t us) {
    return StepWait{0, true, us};
}

// The HC12 EEPROM's erase and programming pulse.
constexpr uint32_t kPulseUs = 10000;

struct Row {
    PaceStep step;
    StepWait full;
    StepWait chip;
};

// clang-format off
constexpr Row kRows[] = {
    // step                      full write    chip's pace
    {PaceStep::Register,         Fixed(10),    Carried()},
    {PaceStep::PulseOn,          Fixed(10),    ProvenThen(kPulseUs)},
    {PaceStep::EraseEnd,         Fixed(20),    Carried()},
    {PaceStep::CommandByte,      Fixed(20),    Carried()},
    {PaceStep::CommandLaunch,    Fixed(20),    Carried()},
    {PaceStep::CommandDone,      Fixed(10),    Carried()},
    {PaceStep::BulkEraseEnd,     Fixed(100),   Carried()},
};
// clang-format on

Pace Build(StepWait Row::*column) {
    Pace pace;
    for (const Row& row : kRows)
        pace.after(row.step) = row.*column;
    return pace;
}

}  // namespace

const Pace& FullWritePace() {
    static const Pace pace = [] {
        Pace p = Build(&Row::full);
        // A read, then up to 20 more, 10 ms apart.
        p.pollPauseMs = 10;
        p.maxPolls = 21;
        p.flushAfterErase = true;
        return p;
    }();
    return pace;
}

const Pace& ChipPace() {
    static const Pace pace = [] {
        Pace p = Build(&Row::chip);
        // Reads back to back, for longer than a mass erase at the slowest EEPROM
        // clock the module allows (20000 cycles at 150 kHz: 133 ms).
        p.pollPauseMs = 0;
        p.pollWindowMs = 300;
        p.flushAfterErase = false;
        return p;
    }();
    return pace;
}

}  // namespace hc12
