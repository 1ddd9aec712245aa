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
    // How long the interface takes to carry out a frame after its last byte, in
    // microseconds. Meanwhile it holds one received byte; a further one is lost (an
    // overrun the PC never hears of) and the frames after it come out shifted. A reply
    // goes out when its frame is carried out.
    uint32_t execUs = 0;
    // Check the program's timing as the chip would want it, and record every breach
    // (Violations()): HC12 pulses shorter than 10 ms or longer than 15 ms plus the
    // latency; MC9S12 frames that touch the EEPROM (other than reading ESTAT) while a
    // command runs, and commands whose completion no ESTAT read saw before the EEPROM
    // was touched again; bytes the interface lost.
    bool strict = false;

    // Faults.
    std::string greeting = "paww";            // what the interface sends after reset
    int64_t silentAfterReplyBytes = -1;       // >= 0: no reply bytes after this many
    int64_t lineErrorAtReplyByte = -1;        // >= 0: a line error when this reply byte is due
    int64_t unplugAtReplyByte = -1;           // >= 0: the adapter is pulled out then
    uint32_t lineErrorBits = kCeFrame;        // which error bits
    std::optional<uint16_t> unstableAddress;  // this byte reads differently ...
    int unstableReadings = 0;                 // ... for its first N readings
    std::optional<uint16_t> stuckAddress;     // this EEPROM byte never programs
    std::optional<uint8_t> eprot;             // EPROT (HC12: EEPROT) fixed, writes ignored
    std::optional<uint8_t> eclkdivLocked;     // MC9S12: ECLKDIV reads this, writes ignored
    std::optional<uint8_t> estat;             // MC9S12: ESTAT reads this always
    std::vector<uint8_t> strayBytes;          // sent unasked right after the greeting

    // Not a port-value option: whether the line's timing can be trusted, so that the
    // high-voltage pulses are timed and bytes that arrive while the interface is busy
    // are lost. Always on the virtual clock, where every time is exact. A
    // pseudo-terminal or a network server on the real clock carries no timing the
    // board could trust: the program's write returns before a wire would have carried
    // the bytes, and under load the scheduler delivers two frames 10 ms apart in one
    // read. There the interface still takes its time, but loses nothing.
    bool timedLine = true;
};

// Parse a port value such as "virtual:model=MC9S12DT128,quartz=4,fail-after=900"
// (or only its options part); the syntax is described in BoardOptions.cpp.
// Unknown keys and bad values give nullopt with an error text.
std::optional<BoardOptions> ParseBoardOptions(const std::string& portValue, std::string* error);

struct FrameRecord {
    std::vector<uint8_t> bytes;  // one whole frame as the PC sent it
    uint64_t timeUs = 0;         // clock time when its last byte arrived
    uint64_t startUs = 0;        // clock time when its first byte began on the wire
    uint64_t replyUs = 0;        // when its last reply byte reached the PC; 0: no reply
};

// The edges of RTS as the interface saw them.
struct RtsEdge {
    bool active = false;
    uint64_t timeUs = 0;
};

// An EEPROM command the target ran (MC9S12: mass erase, program, ...), from its
// launch to its completion.
struct CommandRecord {
    uint8_t command = 0;
    uint16_t address = 0;
    uint64_t startUs = 0;
    uint64_t doneUs = 0;
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
    // Clock times of what the PC did to the line besides sending frames.
    const std::vector<RtsEdge>& RtsLog() const;
    const std::vector<uint64_t>& PurgeLog() const;
    // EEPROM commands launched on the target (HC12: high-voltage pulses), in order.
    const std::vector<CommandRecord>& CommandLog() const;
    // What a strict board found wrong with the program's timing (the interface's
    // findings, then the target's, each in order); empty when all was well, or when
    // the board is not strict.
    std::vector<std::string> Violations() const;
    // Bytes the busy interface lost (see BoardOptions::execUs).
    uint64_t LostBytes() const;
    // When the interface's last byte towards the PC is through the wire, and when
    // the next one is (nullopt: nothing on the way).
    uint64_t OutputDoneUs() const;
    std::optional<uint64_t> NextOutputUs() const;
    // The EEPROM's bytes, and a preloaded image (at most EepromSize() bytes; the
    // rest stays erased). false when the image is larger than the EEPROM.
    std::vector<uint8_t> EepromImage() const;
    bool LoadEepromImage(const std::vector<uint8_t>& image);
    // Bytes put on the line towards the PC now, unasked (a board switched on greets).
    void SendUnasked(const std::vector<uint8_t>& bytes);
    // For a line without RTS: greet as after a reset pulse. The interface takes it as
    // a reset only when the PC answers the greeting with 'R'; any other frame shows
    // the greeting went unheard, and the interface goes on as it was.
    void GreetWithoutRts();
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
