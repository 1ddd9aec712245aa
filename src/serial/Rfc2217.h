// The COM-PORT-OPTION of Telnet (RFC 2217): the commands a client sends, their
// values, and the line-state bits a server reports, mapped to our line errors.
#pragma once

#include <cstdint>
#include <vector>

namespace hc12::rfc2217 {

// Client to server; the server answers with the same command plus kServerOffset.
inline constexpr uint8_t kSetBaudRate = 1;
inline constexpr uint8_t kSetDataSize = 2;
inline constexpr uint8_t kSetParity = 3;
inline constexpr uint8_t kSetStopSize = 4;
inline constexpr uint8_t kSetControl = 5;
inline constexpr uint8_t kNotifyLineState = 6;
inline constexpr uint8_t kNotifyModemState = 7;
inline constexpr uint8_t kSetLineStateMask = 10;
inline constexpr uint8_t kSetModemStateMask = 11;
inline constexpr uint8_t kPurgeData = 12;
inline constexpr uint8_t kServerOffset = 100;

inline constexpr uint8_t kParityNone = 1;
inline constexpr uint8_t kStopSizeOne = 1;

// SET-CONTROL values.
inline constexpr uint8_t kControlNoFlowControl = 1;
inline constexpr uint8_t kControlDtrOn = 8;
inline constexpr uint8_t kControlDtrOff = 9;
inline constexpr uint8_t kControlRtsOn = 11;
inline constexpr uint8_t kControlRtsOff = 12;

// PURGE-DATA values: the server's receive buffer (from the device), its transmit
// buffer (to the device), or both.
inline constexpr uint8_t kPurgeReceive = 1;
inline constexpr uint8_t kPurgeTransmit = 2;
inline constexpr uint8_t kPurgeBoth = 3;

// NOTIFY-LINESTATE bits.
inline constexpr uint8_t kLineOverrun = 0x02;
inline constexpr uint8_t kLineParity = 0x04;
inline constexpr uint8_t kLineFraming = 0x08;
inline constexpr uint8_t kLineBreak = 0x10;
inline constexpr uint8_t kLineErrorBits = kLineOverrun | kLineParity | kLineFraming | kLineBreak;

// Line-state bits <-> the kCe* error bits of SerialPort.h. Bits that are not
// errors (data ready, shift register empty, ...) map to nothing.
uint32_t LineStateToErrors(uint8_t lineState);
uint8_t ErrorsToLineState(uint32_t errors);

// The whole IAC SB COM-PORT-OPTION command value... IAC SE sequence.
std::vector<uint8_t> Command(uint8_t command, std::vector<uint8_t> value);
std::vector<uint8_t> BaudValue(uint32_t baud);  // four bytes, network order

}  // namespace hc12::rfc2217
