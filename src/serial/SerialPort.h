// What the protocol needs of a serial port, and nothing more. Implemented by the
// POSIX (termios) and Win32 ports and by the virtual board.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace hc12 {

// Line-error bits, with the values the Windows driver uses for them, so that the
// message order and texts can be one table on every platform.
inline constexpr uint32_t kCeRxOver = 0x0001;    // input buffer overrun
inline constexpr uint32_t kCeOverrun = 0x0002;   // character-buffer overrun
inline constexpr uint32_t kCeRxParity = 0x0004;  // parity error
inline constexpr uint32_t kCeFrame = 0x0008;     // framing error
inline constexpr uint32_t kCeBreak = 0x0010;     // break condition
inline constexpr uint32_t kCeTxFull = 0x0100;    // output buffer full
inline constexpr uint32_t kCeIoe = 0x0400;       // I/O error (adapter gone)

struct LineStatus {
    uint32_t errors = 0;        // kCe* bits found since the last call (and cleared now)
    uint32_t bytesWaiting = 0;  // bytes in the input queue
};

// An open port with the fixed line settings: 38400 baud, 8 data bits, no parity,
// one stop bit, no flow control, DTR inactive. Closed by the destructor.
class SerialPort {
  public:
    virtual ~SerialPort() = default;

    // Put the fixed line settings on the port again (choosing an open port again).
    virtual void ApplyLineSettings() = 0;
    // Drive RTS: true = active.
    virtual void SetRts(bool active) = 0;
    // Write the bytes and return once they have left the PC. false when the write
    // failed; nothing is reported then (the missing reply times out).
    virtual bool Write(const uint8_t* data, size_t size) = 0;
    // Report and clear the line errors, with the number of bytes waiting.
    virtual LineStatus ClearErrors() = 0;
    // Read up to maxSize of the bytes already waiting; returns the count read.
    virtual size_t Read(uint8_t* dest, size_t maxSize) = 0;
    // Block until input is waiting or timeoutMs have passed, whichever comes first,
    // without spinning. Returns true when input is waiting.
    virtual bool WaitForInput(uint32_t timeoutMs) = 0;
    // Discard both queues.
    virtual void Purge() = 0;
    // True once the device has hung up or failed with an error that means it is gone
    // (adapter unplugged): nothing will pass on this handle again, only a new open
    // can reach the device.
    virtual bool HungUp() { return false; }
    // Which model the window has chosen. Real hardware needs no such hint; the
    // virtual board uses it to play a matching target.
    virtual void HintModel(const std::string& /*modelName*/) {}
};

}  // namespace hc12
