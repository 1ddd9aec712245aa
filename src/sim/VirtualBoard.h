// A virtual programming interface with a target microcontroller behind it: a test
// instrument, and a board anyone can try the program on without hardware.
// It is written from what the interface and the chips do, not from the program's
// own sequences, and it only succeeds when driven the way a real board must be.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Clock.h"
#include "SerialPort.h"

namespace hc12::sim {

struct BoardOptions {
    // Model name from the model table; empty = follow the model the program hints
    // (HintModel), falling back to "HC912D60x".
    std::string model;
    int quartzMhz = 8;          // the target board's quartz: 16, 8 or 4
    bool targetPresent = true;  // false: the interface greets, the target never answers
    // A USB adapter's latency timer: every byte reaches the PC this much after its
    // wire time (so each reply is held that long).
    uint32_t latencyMs = 0;

    // Faults.
    std::string greeting = "paww";            // what the interface sends after reset
    int64_t silentAfterReplyBytes = -1;       // >= 0: no reply bytes after this many
    int64_t lineErrorAtReplyByte = -1;        // >= 0: a line error when this reply byte is due
    uint32_t lineErrorBits = kCeFrame;        // which error bits
    std::optional<uint16_t> unstableAddress;  // this byte reads differently ...
    int unstableReadings = 0;                 // ... for its first N readings
    std::optional<uint16_t> stuckAddress;     // this EEPROM byte never programs
    std::optional<uint8_t> eprot;             // EPROT (HC12: EEPROT) fixed, writes ignored
    std::optional<uint8_t> eclkdivLocked;     // MC9S12: ECLKDIV reads this, writes ignored
    std::optional<uint8_t> estat;             // MC9S12: ESTAT reads this always
    std::vector<uint8_t> strayBytes;          // sent unasked right after the greeting
};

// Parse a port value such as "virtual:model=MC9S12DT128,quartz=4,fail-after=900"
// (or only its options part); the syntax is described in BoardOptions.cpp.
// Unknown keys and bad values give nullopt with an error text.
std::optional<BoardOptions> ParseBoardOptions(const std::string& portValue, std::string* error);

struct FrameRecord {
    std::vector<uint8_t> bytes;  // one whole frame as the PC sent it
    uint64_t timeUs = 0;         // clock time when its last byte arrived
};

class VirtualBoard {
  public:
    VirtualBoard(Clock& clock, BoardOptions options = {});
    ~VirtualBoard();
    VirtualBoard(const VirtualBoard&) = delete;
    VirtualBoard& operator=(const VirtualBoard&) = delete;

    // A port onto this board; the board must outlive it.
    std::unique_ptr<SerialPort> OpenPort();

    // Inspection and set-up for tests.
    const std::vector<FrameRecord>& FrameLog() const;
    void ClearFrameLog();
    uint8_t Peek(uint16_t address) const;        // raw memory, no side effects
    void Poke(uint16_t address, uint8_t value);  // raw memory, no side effects
    uint16_t EepromStart() const;                // where the EEPROM is mapped now
    uint32_t EepromSize() const;
    const BoardOptions& Options() const;
    // The model the board plays now (the option, the hinted model, or the fallback).
    const std::string& ModelName() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace hc12::sim
