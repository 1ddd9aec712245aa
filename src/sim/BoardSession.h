// The virtual board served over a byte stream: bytes from the PC in, bytes to the PC
// out when their wire time is over, and what the line shows of the PC besides
// (a purge of its queues, RTS where the line carries it). Knows nothing of the
// device that carries the bytes (a pseudo-terminal, a network connection).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Clock.h"
#include "SerialPort.h"
#include "VirtualBoard.h"

namespace hc12::sim {

// Quiet needed before the board greets on a line without RTS. The program holds
// RTS for 200 ms, then waits up to 300 ms for each greeting byte: 400 ms of quiet
// lies in between with room on both sides.
inline constexpr uint64_t kQuietResetUs = 400000;

class BoardSession {
  public:
    // options.timedLine as the line allows (off for a pseudo-terminal on the real
    // clock).
    BoardSession(Clock& clock, BoardOptions options);

    VirtualBoard& board() { return board_; }

    // Bytes the PC sent.
    void FromPc(const uint8_t* data, size_t size);
    // The PC discarded its queues.
    void PcPurged();
    // RTS as the PC drives it, on a line that carries it. Once RTS was seen, the
    // board resets on its pulses only, not on quiet.
    void SetRts(bool active);

    // Bytes through the wire by now, at most maxSize. Line errors (kCe* bits) go
    // into *lineErrors where the carrier can report them; otherwise the byte that
    // had one is simply lost.
    size_t ToPc(uint8_t* dest, size_t maxSize, uint32_t* lineErrors = nullptr);
    // Microseconds until ToPc or Tick has something to do; nullopt: nothing due.
    std::optional<uint64_t> UsUntilDue();
    // Lets the line's time run: greets when the line has been quiet long enough.
    void Tick();

  private:
    void NoteFrames();
    uint64_t QuietSinceUs() const;

    Clock& clock_;
    VirtualBoard board_;
    std::unique_ptr<SerialPort> port_;
    bool rtsSeen_ = false;
    // A reset may be under way: the PC purged, or read a byte (the connect resets
    // the interface right after reading the target's presence). Not after a word
    // read: the program verifies with it and may then ask the user, quiet for long.
    bool armed_ = false;
    uint64_t lastPcUs_ = 0;
};

}  // namespace hc12::sim
