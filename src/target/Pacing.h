// How long the family sequences wait. The sequences are written once and name each
// step; a pace decides what follows it. Two paces, side by side in Pacing.cpp:
//
//   FullWritePace: the fixed pauses the programmer has always made, long enough for
//                  any interface and chip without looking (the full write).
//   ChipPace:      only what the chip needs, each wait proven by a reply (the
//                  changed-only write).
//
// Either way, no frame goes out before the interface can take it: the serial link
// keeps to the interface's frame time (SerialLink::SetFrameTimeUs).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace hc12 {

enum class PaceStep : size_t {
    Register,       // a register or latch write that the next step only needs carried out
    PulseOn,        // HC12: EEPGM set, the high voltage is on
    EraseEnd,       // HC12: the control register back to idle after an erase
    CommandByte,    // MC9S12: the command written to ECMD
    CommandLaunch,  // MC9S12: CBEIF written, the command runs
    CommandDone,    // MC9S12: a command awaited (and its status judged)
    BulkEraseEnd,   // MC9S12 full write: after the three bulk erases, before the check
    Count,
};

struct StepWait {
    uint32_t pauseMs = 0;  // a fixed pause
    // Read the control register: its reply proves that every frame before it was
    // carried out. Then wait fromProofUs from when that reply began its way back.
    bool proof = false;
    uint32_t fromProofUs = 0;
};

struct Pace {
    std::array<StepWait, size_t(PaceStep::Count)> steps{};
    const StepWait& after(PaceStep step) const { return steps[size_t(step)]; }
    StepWait& after(PaceStep step) { return steps[size_t(step)]; }

    // MC9S12 commands: ESTAT is read until CCIF is set, with pollPauseMs between the
    // reads, at most maxPolls reads (0: no limit) within pollWindowMs (0: no limit).
    // Without pollCcif the command is not awaited at all.
    bool pollCcif = true;
    uint32_t pollPauseMs = 0;
    uint32_t maxPolls = 0;
    uint32_t pollWindowMs = 0;

    // HC12, between a word's erase and its programming: a flush (a settling pause,
    // then both queues purged), or only what waits in the input dropped.
    bool flushAfterErase = true;
};

const Pace& FullWritePace();
const Pace& ChipPace();

}  // namespace hc12
