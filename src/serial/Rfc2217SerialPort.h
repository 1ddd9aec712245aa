// A serial port behind a network serial server that speaks RFC 2217 (Telnet COM
// port control), for port values such as "rfc2217://192.168.1.20:2001".
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "SerialPort.h"

namespace hc12 {

struct Rfc2217Address {
    std::string host;  // a name, an IPv4 address, or an IPv6 address without brackets
    uint16_t port = 0;
};

// Connecting gives up after this long; a host that does not answer must not hang
// the program.
inline constexpr uint32_t kRfc2217ConnectTimeoutMs = 3000;
// How long the open waits for the server to take up COM port control and to
// acknowledge the line settings before it goes on regardless (a server that never
// answers still carries data).
inline constexpr uint32_t kRfc2217NegotiationTimeoutMs = 1000;
// A connection that the server closes or resets while it is being opened (ser2net
// still closing the previous connection to the port) is made again for this long.
inline constexpr uint32_t kRfc2217TurnedAwayRetryMs = 2000;

// Does the value name an RFC 2217 port ("rfc2217://...")? Says nothing of its form.
bool IsRfc2217Value(const std::string& value);
// "rfc2217://HOST:PORT", "rfc2217://[v6]:PORT"; nullopt with an error text when the
// value is not of that form.
std::optional<Rfc2217Address> ParseRfc2217Value(const std::string& value, std::string* error);

// Connects and puts the fixed line settings on the remote port. nullptr when the
// value is malformed, the server cannot be reached, or it kept turning the
// connection away; `error` then says why (with what the server said, if anything).
// A connection that closes later shows as an I/O line error, and the port connects
// again at the next reset pulse or when it is chosen again.
std::unique_ptr<SerialPort> OpenRfc2217SerialPort(const std::string& value, std::string* error);

}  // namespace hc12
