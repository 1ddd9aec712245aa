// Turns a port value into an open port: a device path (or COMn on Windows),
// "virtual[:options]" for the virtual board, or "rfc2217://HOST:PORT" for a port
// behind a network serial server.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "Clock.h"
#include "SerialPort.h"

namespace hc12 {

// What each menu port COM1..COM4 maps to. Defaults: /dev/ttyS0../dev/ttyS3 on
// POSIX, the COM ports themselves on Windows. Overridden by the environment
// (HC12_PORT_COM1=...) and then by command-line "--port COM1=VALUE" pairs.
struct PortMap {
    std::array<std::string, 4> values;
    static PortMap Defaults();
    void ApplyEnvironment();
    // "COM1=/dev/ttyUSB0"; false (with an error text) for a malformed pair.
    bool ApplyAssignment(const std::string& assignment, std::string* error);
};

// Opens a port value on the given clock; nullptr when it cannot be opened, with
// the reason in `error` ("VALUE: reason").
std::unique_ptr<SerialPort> OpenPortValue(const std::string& value, Clock& clock,
                                          std::string* error = nullptr);

}  // namespace hc12
