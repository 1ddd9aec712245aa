// Drives the virtual board the way a PC would, with hand-written frames, on a
// virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Clock.h"
#include "VirtualBoard.h"

namespace hc12::sim::test {

using Bytes = std::vector<uint8_t>;

class BoardTest : public ::testing::Test {
  protected:
    // Builds the board (and its port) with these options.
    void Make(BoardOptions options);

    // The RTS pulse: active for holdMs, then inactive, then a 10 ms pause.
    void Pulse(uint32_t holdMs = 200);
    // Up to `count` bytes that arrive, each within 300 ms of the previous one.
    Bytes Receive(size_t count);
    void Send(const Bytes& frame);
    // Pulse, greeting, 'R' and the clock configuration byte.
    void Start(uint8_t config);

    uint8_t ReadByte(uint16_t address);
    Bytes ReadWord(uint16_t address);
    void WriteByte(uint16_t address, uint8_t value) {
        Send({'z', uint8_t(address >> 8), uint8_t(address), value});
    }
    void WriteWord(uint16_t address, uint8_t hi, uint8_t lo) {
        Send({'s', uint8_t(address >> 8), uint8_t(address), hi, lo});
    }

    VirtualClock clock;
    std::unique_ptr<VirtualBoard> board;
    std::unique_ptr<SerialPort> port;
};

// ConfigByte for a quartz in MHz.
uint8_t ConfigFor(int mhz);

}  // namespace hc12::sim::test
